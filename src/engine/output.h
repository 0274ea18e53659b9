// The one audio output: an SDL device with our own volume, equalizer and wave snapshot, fed
// by whichever source currently owns it (the open vbmp3 track or an external PCM source).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace kv::engine {

class Source {
  public:
    virtual ~Source() = default;
    virtual int Rate() const = 0;
    virtual int Channels() const = 0;
    virtual long Read(float* interleaved, long frames) = 0; // at Rate()/Channels(); 0 at the end
    virtual bool Seek(double seconds) = 0;                  // called with the output locked
};

enum class Owner { Track, External };
enum class PlayState { Stopped = 0, Playing = 1, Paused = 2 };

bool OutputInit();
void OutputShutdown();
int OutputRate();
// Whether the SDL device is open: only from a start until a while after the output stops.
bool OutputDeviceOpen();

// Each call acts only when `who` owns the output (Start takes it over).
bool OutputStart(Owner who, std::shared_ptr<Source> source, double fromSeconds);
void OutputPause(Owner who);
void OutputResume(Owner who);
void OutputStop(Owner who, bool release);
bool OutputSeek(Owner who, double seconds);
PlayState OutputState(Owner who, double* heardSeconds);
// True while playing when the source has handed over its last frame: the rest is in the device
// and is heard within one device buffer. A next source started now follows it without a gap.
bool OutputDrained(Owner who);
// The source that follows the playing one of `who` in the same device buffer, at the last frame
// of the current one, when both have the same rate (another rate needs the device reopened, so
// the current one simply runs out). `volL`/`volR` (0..100, or -1 to keep the volume) take effect
// at the new source's first frame with a ramp of a few milliseconds. Replaces any queued source.
// `fromSeconds` is where the new source stands (its start mark), for the position reported.
bool OutputQueue(Owner who, std::shared_ptr<Source> next, double fromSeconds, int volL, int volR);
void OutputDropQueue();
// Runs `f` where the audio thread cannot read the sources meanwhile.
void OutputLocked(const std::function<void()>& f);
// How many times playback has moved on to a queued source, counted once its first frame is
// heard; the position reported is the new source's from then on.
uint64_t OutputSwitches();

void OutputSetVolume(int left, int right);
void OutputGetVolume(int* left, int* right);
void OutputSetEqualizer(const std::array<int16_t, 10>& gains);
void OutputWave(int32_t* left, int32_t* right); // 256 each, -100..100

} // namespace kv::engine
