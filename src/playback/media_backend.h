// The media controls the player device drives for every file the decoder does not play.
//
// `MediaBackend` is what the device sees: one control with its own units and play-state
// codes (the Media Player control in window `W`, the RealPlayer control in window `Y`).
// `MediaCore` is what actually plays (libmpv, FluidSynth), in seconds with a plain state;
// the two control adapters below translate. Everything here runs on the UI thread.
#pragma once
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

namespace kv::playback {

class MpvCore;

class MediaBackend {
public:
    virtual ~MediaBackend() = default;
    // Gives the control a file; an empty name releases the current one. Opening may finish
    // later: the control then reports ready state 4 through the ready handler.
    virtual void Open(const QString& fileName) = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual double Length() = 0;   // the control's unit
    virtual double Position() = 0; // the control's unit
    virtual void SetPosition(double value) = 0;
    virtual int Volume() = 0; // 0..100
    virtual void SetVolume(int volume) = 0;
    virtual int PlayState() = 0; // the control's own codes
    // Size of the file's picture; empty for sound alone.
    virtual QSize PictureSize() { return {}; }
    // The libmpv core that draws this control's pictures, if it has one.
    virtual MpvCore* VideoCore() { return nullptr; }

    void SetReadyHandler(std::function<void(int readyState)> handler) { ready_ = std::move(handler); }

protected:
    void NotifyReady(int readyState) {
        if (ready_) ready_(readyState);
    }

private:
    std::function<void(int)> ready_;
};

// Media Player play states and ready state.
enum MediaPlayerCode { MpStopped = 0, MpPaused = 1, MpPlaying = 2, MpWaiting = 3, MpClosed = 6 };
enum { ReadyStateComplete = 4 };
// RealPlayer play states (1 contacting and 2 buffering count as playing for the device).
enum RealPlayerCode { RpStopped = 0, RpBuffering = 2, RpPlaying = 3, RpPaused = 4 };

enum class CoreState {
    NotLoaded, // no file, or the file could not be opened
    Opening,   // being opened, no play asked for yet
    Starting,  // play asked for, the file is not open yet
    Stopped,
    Paused,
    Playing,
};

class MediaCore {
public:
    virtual ~MediaCore() = default;
    virtual void Open(const QString& fileName) = 0; // empty releases
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0; // keeps the position, like the controls do
    virtual double Duration() = 0;
    virtual double Position() = 0;
    virtual void SetPosition(double seconds) = 0;
    virtual int Volume() = 0;
    virtual void SetVolume(int volume) = 0;
    virtual CoreState State() = 0;
    virtual QSize PictureSize() { return {}; }
    // Called once per Open, when the file is open and ready to play.
    std::function<void()> onOpened;
};

// The Media Player control of window `W`: seconds; codes 0 stopped, 1 paused, 2 playing,
// 6 not loaded. MIDI files go to their own core, everything else to the general one.
class MediaPlayerControl final : public MediaBackend {
public:
    MediaPlayerControl(std::unique_ptr<MediaCore> general, std::unique_ptr<MediaCore> midi);
    void Open(const QString& fileName) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    double Length() override;
    double Position() override;
    void SetPosition(double seconds) override;
    int Volume() override;
    void SetVolume(int volume) override;
    int PlayState() override;
    QSize PictureSize() override;
    MpvCore* VideoCore() override;

    static bool IsMidiFile(const QString& fileName);

private:
    MediaCore& Current() { return current_ ? *current_ : *general_; }
    std::unique_ptr<MediaCore> general_, midi_;
    MediaCore* current_ = nullptr;
};

// The RealPlayer control of window `Y`: milliseconds; codes 0 stopped, 3 playing, 4 paused.
// Its stop rewinds to the beginning.
class RealPlayerControl final : public MediaBackend {
public:
    explicit RealPlayerControl(std::unique_ptr<MediaCore> core);
    void Open(const QString& fileName) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    double Length() override;
    double Position() override;
    void SetPosition(double milliseconds) override;
    int Volume() override;
    void SetVolume(int volume) override;
    int PlayState() override;
    QSize PictureSize() override;
    MpvCore* VideoCore() override;

private:
    std::unique_ptr<MediaCore> core_;
};

} // namespace kv::playback
