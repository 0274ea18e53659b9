// libmpv as a media core: one mpv instance per control window (the Media Player control of
// `W` and the RealPlayer control of `Y` each own one).
//
// Threads: mpv runs its own threads; the only thing they touch here is the wakeup callback,
// which posts one queued call to the UI thread (the atomic `drainPosted_` keeps it to one at a
// time). Every other member is used on the UI thread only, so no lock is needed.
#pragma once
#include "playback/media_backend.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>

struct mpv_handle;
struct mpv_event;

namespace kv::playback {

class MpvCore final : public QObject, public MediaCore {
public:
    MpvCore();
    ~MpvCore() override;

    void Open(const QString& fileName) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    double Duration() override;
    double Position() override;
    void SetPosition(double seconds) override;
    int Volume() override { return volume_; }
    void SetVolume(int volume) override;
    CoreState State() override;
    QSize PictureSize() override;

    // The mpv instance, or nullptr before the first file (libmpv is loaded on first use).
    mpv_handle* Handle() const { return mpv_; }
    // Pictures are decoded only while a media window has a render context to draw them in.
    void SetVideoEnabled(bool on);
    // A tag of the open file as mpv reports it ("title", "artist"); empty when there is none.
    QString Metadata(const char* key) const;
    // Runs once, when the mpv instance has been created (a render context can then be made).
    std::function<void()> onCreated;
    // Runs before the mpv instance is destroyed: its render context must go first.
    std::function<void()> onDestroying;

private:
    enum class Intent { Stopped, Paused, Playing };

    bool Ensure();
    void Load(bool play);
    void SetPause(bool pause);
    void Seek(double seconds);
    void DrainEvents();
    void Handle(const mpv_event& event);
    static void Wakeup(void* self);

    mpv_handle* mpv_ = nullptr;
    bool createFailed_ = false;
    bool videoEnabled_ = false;
    std::atomic<bool> drainPosted_{false};

    QString file_;
    Intent intent_ = Intent::Stopped;
    bool loading_ = false; // a loadfile of ours is under way
    bool loaded_ = false;  // mpv has the file open
    bool failed_ = false;  // the file could not be opened
    bool opened_ = false;  // onOpened ran for this file
    double duration_ = 0;
    double pendingPosition_ = 0;
    bool pendingSeek_ = false;
    int volume_ = 100;

    // mpv numbers its playlist entries in increasing order. Events for entries older than
    // our latest loadfile belong to a file we have already replaced.
    int64_t firstCurrentId_ = 0;
    int64_t currentId_ = -1;
    int64_t highestId_ = 0;
};

} // namespace kv::playback
