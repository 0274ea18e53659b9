// A second way into the engine's output: an external PCM source (the MIDI synthesiser)
// plays through the same device, volume and wave snapshot as decoded files.
// The source's Read() is called on the audio thread; everything else on the UI thread.
#pragma once
#include <memory>

namespace kv::engine {

class PcmSource {
public:
    virtual ~PcmSource() = default;
    virtual int SampleRate() const = 0;             // frames per second of Read()'s output
    // Fills up to `frames` interleaved stereo float frames; returns how many, 0 at the end.
    virtual int Read(float* stereo, int frames) = 0;
    virtual bool Seek(double seconds) = 0;          // called with the output locked
    virtual double Duration() const = 0;            // seconds
};

// Replaces whatever the engine plays (an open vbmp3 track is stopped, not closed).
bool ExternalPlay(std::shared_ptr<PcmSource> source);
void ExternalPause();
void ExternalResume();
void ExternalStop();                                // releases the source
bool ExternalSeek(double seconds);
double ExternalPosition();                          // seconds heard
int ExternalState();                                // 0 stopped (also run out), 1 playing, 2 paused

} // namespace kv::engine
