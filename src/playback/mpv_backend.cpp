// Threads: see mpv_backend.h. mpv calls Wakeup() on its own threads; everything else runs on
// the UI thread.
#include "playback/mpv_backend.h"

#include "engine/dsp.h"

#include <QMetaObject>
#include <algorithm>
#include <clocale>
#include <cmath>
#include "playback/mpv_library.h"

namespace kv::playback {

namespace {

// mpv's volume is cubic (gain = (v/100)^3); the engine has its own curve. Giving mpv the
// cube root of the engine's gain makes a volume bar position sound the same on both.
double MpvVolume(int volume) {
    return 100.0 * std::cbrt(double(engine::VolumeToGain(volume)));
}

} // namespace

MpvCore::MpvCore() = default;

MpvCore::~MpvCore() {
    if (!mpv_) return;
    if (onDestroying) onDestroying();
    // After this returns mpv no longer calls Wakeup(); the queued calls already posted die
    // with this QObject.
    Mpv()->set_wakeup_callback(mpv_, nullptr, nullptr);
    Mpv()->terminate_destroy(mpv_);
}

bool MpvCore::Ensure() {
    if (mpv_) return true;
    if (createFailed_) return false;
    // libmpv parses numbers with the C library and needs the "C" numeric locale; the
    // application object may have set the user's.
    std::setlocale(LC_NUMERIC, "C");
    if (!Mpv()) {
        createFailed_ = true;
        return false;
    }
    mpv_ = Mpv()->create();
    if (!mpv_) {
        createFailed_ = true;
        return false;
    }
    // Pictures go only to a render context of a media window (vo "libmpv"); until one exists
    // no video is decoded at all. Without a sound device mpv plays on silently instead of
    // failing.
    const char* options[][2] = {
        {"vo", "libmpv"},
        {"vid", videoEnabled_ ? "auto" : "no"},
        {"audio-fallback-to-null", "yes"},
        {"idle", "yes"},
        {"keep-open", "no"},
        {"terminal", "no"},
        {"config", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"osc", "no"},
        {"input-default-bindings", "no"},
        {"audio-client-name", "Kavetto"},
    };
    for (auto& option : options)
        Mpv()->set_option_string(mpv_, option[0], option[1]);
    const QByteArray volume = QByteArray::number(MpvVolume(volume_), 'f', 3);
    Mpv()->set_option_string(mpv_, "volume", volume.constData());
    if (Mpv()->initialize(mpv_) < 0) {
        Mpv()->terminate_destroy(mpv_);
        mpv_ = nullptr;
        createFailed_ = true;
        return false;
    }
    Mpv()->set_wakeup_callback(mpv_, &MpvCore::Wakeup, this);
    if (onCreated) onCreated();
    return true;
}

QString MpvCore::Metadata(const char* key) const {
    if (!mpv_ || !loaded_) return QString();
    char* value = Mpv()->get_property_string(mpv_, (QByteArray("metadata/by-key/") + key).constData());
    const QString text = value ? QString::fromUtf8(value) : QString();
    Mpv()->free(value);
    return text;
}

void MpvCore::SetVideoEnabled(bool on) {
    if (videoEnabled_ == on) return;
    videoEnabled_ = on;
    if (mpv_) Mpv()->set_property_string(mpv_, "vid", on ? "auto" : "no");
}

void MpvCore::Wakeup(void* self) {
    auto* core = static_cast<MpvCore*>(self);
    if (core->drainPosted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        core, [core] { core->DrainEvents(); }, Qt::QueuedConnection);
}

void MpvCore::DrainEvents() {
    drainPosted_.store(false);
    while (mpv_) {
        const mpv_event* event = Mpv()->wait_event(mpv_, 0);
        if (!event || event->event_id == MPV_EVENT_NONE) break;
        Handle(*event);
    }
}

void MpvCore::Handle(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE: {
        const auto* start = static_cast<const mpv_event_start_file*>(event.data);
        highestId_ = std::max(highestId_, start->playlist_entry_id);
        // Entries at or after our loadfile are ours, including the ones a playlist file
        // (.m3u) expands into.
        if (start->playlist_entry_id >= firstCurrentId_ && !file_.isEmpty()) {
            currentId_ = start->playlist_entry_id;
            loading_ = true;
            loaded_ = false;
        }
        break;
    }
    case MPV_EVENT_FILE_LOADED: {
        if (!loading_) break;
        loading_ = false;
        loaded_ = true;
        double duration = 0;
        if (Mpv()->get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 && duration > 0)
            duration_ = duration;
        if (pendingSeek_) {
            pendingSeek_ = false;
            if (pendingPosition_ > 0) Seek(pendingPosition_);
        }
        if (!opened_) {
            opened_ = true;
            if (onOpened) onOpened();
        }
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        highestId_ = std::max(highestId_, end->playlist_entry_id);
        if (end->playlist_insert_num_entries > 0)
            highestId_ = std::max(highestId_, end->playlist_insert_id + end->playlist_insert_num_entries - 1);
        if (end->playlist_entry_id != currentId_ || end->playlist_entry_id < firstCurrentId_) break;
        switch (end->reason) {
        case MPV_END_FILE_REASON_REDIRECT:
            break; // the playlist's entries follow
        case MPV_END_FILE_REASON_EOF:
            loading_ = loaded_ = false;
            intent_ = Intent::Stopped;
            pendingPosition_ = 0;
            pendingSeek_ = false;
            break;
        case MPV_END_FILE_REASON_ERROR:
            loading_ = loaded_ = false;
            if (!opened_) failed_ = true;
            intent_ = Intent::Stopped;
            break;
        default:
            loading_ = loaded_ = false;
            break;
        }
        break;
    }
    default:
        break;
    }
}

void MpvCore::Load(bool play) {
    SetPause(!play);
    firstCurrentId_ = highestId_ + 1;
    loading_ = true;
    loaded_ = false;
    const QByteArray path = file_.toUtf8();
    const char* command[] = {"loadfile", path.constData(), "replace", nullptr};
    if (Mpv()->command(mpv_, command) < 0) {
        loading_ = false;
        failed_ = true;
    }
}

void MpvCore::SetPause(bool pause) {
    if (!mpv_) return;
    int flag = pause ? 1 : 0;
    Mpv()->set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvCore::Seek(double seconds) {
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    const char* command[] = {"seek", target.constData(), "absolute+exact", nullptr};
    Mpv()->command(mpv_, command);
}

void MpvCore::Open(const QString& fileName) {
    file_ = fileName;
    intent_ = Intent::Stopped;
    loading_ = loaded_ = failed_ = opened_ = false;
    duration_ = 0;
    pendingPosition_ = 0;
    pendingSeek_ = false;
    if (fileName.isEmpty()) {
        if (mpv_) {
            firstCurrentId_ = highestId_ + 1;
            const char* command[] = {"stop", nullptr};
            Mpv()->command(mpv_, command);
        }
        return;
    }
    if (!Ensure()) {
        failed_ = true;
        return;
    }
    Load(false);
}

void MpvCore::Play() {
    if (file_.isEmpty() || failed_ || !mpv_) return;
    intent_ = Intent::Playing;
    // After the end of the file mpv has let it go: load it again.
    if (loaded_ || loading_)
        SetPause(false);
    else
        Load(true);
}

void MpvCore::Pause() {
    if (!loaded_ && !loading_) return;
    SetPause(true);
    if (intent_ == Intent::Playing) intent_ = Intent::Paused;
}

void MpvCore::Stop() {
    if (file_.isEmpty() || failed_) return;
    SetPause(true);
    intent_ = Intent::Stopped;
}

double MpvCore::Duration() {
    if (loaded_) {
        double duration = 0;
        if (Mpv()->get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 && duration > 0)
            duration_ = duration;
    }
    return duration_;
}

double MpvCore::Position() {
    if (loaded_) {
        double position = 0;
        if (Mpv()->get_property(mpv_, "time-pos", MPV_FORMAT_DOUBLE, &position) >= 0)
            return std::max(0.0, position);
    }
    return pendingPosition_;
}

void MpvCore::SetPosition(double seconds) {
    seconds = std::max(0.0, seconds);
    pendingPosition_ = seconds;
    if (loaded_) {
        Seek(seconds);
    } else {
        pendingSeek_ = true; // applied once the file is (re)loaded
    }
}

void MpvCore::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    if (!mpv_) return;
    double value = MpvVolume(volume_);
    Mpv()->set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &value);
}

CoreState MpvCore::State() {
    if (file_.isEmpty() || failed_) return CoreState::NotLoaded;
    if (loading_) {
        if (intent_ == Intent::Playing) return CoreState::Starting;
        if (!opened_) return CoreState::Opening;
    }
    switch (intent_) {
    case Intent::Playing:
        return loaded_ ? CoreState::Playing : CoreState::Stopped;
    case Intent::Paused:
        return CoreState::Paused;
    case Intent::Stopped:
        break;
    }
    return CoreState::Stopped;
}

QSize MpvCore::PictureSize() {
    if (!loaded_) return {};
    int64_t count = 0;
    if (Mpv()->get_property(mpv_, "track-list/count", MPV_FORMAT_INT64, &count) < 0) return {};
    for (int64_t i = 0; i < count; ++i) {
        const QByteArray base = "track-list/" + QByteArray::number(i) + "/";
        char* type = Mpv()->get_property_string(mpv_, (base + "type").constData());
        const bool video = type && qstrcmp(type, "video") == 0;
        Mpv()->free(type);
        int albumArt = 0;
        Mpv()->get_property(mpv_, (base + "albumart").constData(), MPV_FORMAT_FLAG, &albumArt);
        if (!video || albumArt) continue;
        int64_t width = 0, height = 0;
        Mpv()->get_property(mpv_, (base + "demux-w").constData(), MPV_FORMAT_INT64, &width);
        Mpv()->get_property(mpv_, (base + "demux-h").constData(), MPV_FORMAT_INT64, &height);
        if (width > 0 && height > 0) return QSize(int(width), int(height));
    }
    return {};
}

} // namespace kv::playback
