// The decoder library as the player device sees it. The device talks to this interface so
// that tests can count what it asks of the decoder without producing sound.
#pragma once
#include "engine/vbmp3.h"

namespace kv::playback {

class DecoderBackend {
  public:
    virtual ~DecoderBackend() = default;
    virtual bool Open(const char* fileName, VBMP3_TRACK_INFO* info) = 0;
    virtual void Close() = 0;
    virtual bool Play() = 0; // true when playback started from the beginning
    virtual void Stop() = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    virtual void Seek(int seconds) = 0;
    virtual int GetState(int* seconds) = 0; // 0 stopped, 1 playing, 2 paused
    // Playing, with the whole file handed to the output (its last moments still to be heard).
    virtual bool Drained() { return false; }
    // The file that follows without a gap (see vbmp3_queueNext); `volume` -1 keeps the volume.
    virtual bool QueueNext(const char* fileName, double start, double end, int volume,
                           VBMP3_TRACK_INFO* info) {
        (void)fileName, (void)start, (void)end, (void)volume, (void)info;
        return false;
    }
    virtual void DropQueue() {}
    virtual void SetEnd(double seconds) { (void)seconds; } // the open file ends there; 0: at its end
    virtual int Switches() { return 0; }                   // times a queued file has taken over
    virtual void GetVolume(int* left, int* right) = 0;
    virtual void SetVolume(int left, int right) = 0;
};

// The real thing: straight calls into the engine's vbmp3_* functions.
class Vbmp3Decoder final : public DecoderBackend {
  public:
    bool Open(const char* fileName, VBMP3_TRACK_INFO* info) override;
    void Close() override;
    bool Play() override;
    void Stop() override;
    void Pause() override;
    void Restart() override;
    void Seek(int seconds) override;
    int GetState(int* seconds) override;
    bool Drained() override;
    bool QueueNext(const char* fileName, double start, double end, int volume,
                   VBMP3_TRACK_INFO* info) override;
    void DropQueue() override;
    void SetEnd(double seconds) override;
    int Switches() override;
    void GetVolume(int* left, int* right) override;
    void SetVolume(int left, int right) override;
};

} // namespace kv::playback
