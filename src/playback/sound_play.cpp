#include "playback/sound_play.h"

#include "playback/decoder_backend.h"
#include "playback/media_backend.h"
#include "playback/player_host.h"
#include "playlists/track_info.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cmath>

namespace kv::playback {

namespace {

const QString kPlaying = QStringLiteral("Playing");
const QString kPaused = QStringLiteral("Paused");
const QString kStopped = QStringLiteral("Stopped");
const QString kNotLoaded = QStringLiteral("NotLoaded");

bool OneOf(const QString& ext, std::initializer_list<const char*> list) {
    for (const char* item : list)
        if (ext == QLatin1String(item)) return true;
    return false;
}

// Whole seconds and milliseconds are rounded the way the original controls' callers did:
// to the nearest integer, halves to even.
int RoundToInt(double value) {
    return static_cast<int>(std::lrint(value));
}

// Whether an MP4 file has a video track: a handler box of type "vide" in its movie box.
bool Mp4HasVideo(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    qint64 pos = 0;
    for (int boxes = 0; boxes < 64 && pos + 8 <= file.size(); ++boxes) {
        file.seek(pos);
        const QByteArray head = file.read(16);
        if (head.size() < 8) return false;
        auto be32 = [&](int at) {
            return quint32(quint8(head[at])) << 24 | quint8(head[at + 1]) << 16 | quint8(head[at + 2]) << 8 |
                   quint8(head[at + 3]);
        };
        qint64 size = be32(0);
        int header = 8;
        if (size == 1 && head.size() >= 16) {
            size = qint64(be32(8)) << 32 | be32(12);
            header = 16;
        } else if (size == 0) {
            size = file.size() - pos;
        }
        if (size < header) return false;
        if (head.mid(4, 4) == "moov") {
            const QByteArray moov = file.read(std::min<qint64>(size - header, 64 << 20));
            for (qsizetype at = moov.indexOf("hdlr"); at >= 0; at = moov.indexOf("hdlr", at + 4))
                if (moov.mid(at + 12, 4) == "vide") return true;
            return false;
        }
        pos += size;
    }
    return false;
}

} // namespace

CSoundPlay::CSoundPlay(PlayerHost& host, DecoderBackend& decoder, MediaBackend& mediaPlayer,
                       MediaBackend& realPlayer)
    : host_(host), decoder_(decoder), media_(mediaPlayer), real_(realPlayer) {
    media_.SetReadyHandler([this](int readyState) { OnMediaReady(readyState); });
    // A file the control cannot open sends no ready notification at all; without this watch
    // play control would wait for it forever and continuous play would stop at that row.
    mediaOpenWatch_ = std::make_unique<QTimer>();
    mediaOpenWatch_->setInterval(100);
    mediaOpenWatch_->callOnTimeout([this] { WatchMediaOpen(); });
}

CSoundPlay::~CSoundPlay() {
    media_.SetReadyHandler({});
}

CSoundPlay::Route CSoundPlay::RouteOf(const QString& kakutyosi) {
    const QString ext = kakutyosi.toLower();
    if (ext.isEmpty()) return Route::None;
    if (OneOf(ext, {"mp1", "mp2", "mp3", "rmp", "wav"}) || playlists::IsEngineAudioKind(ext))
        return Route::Decoder;
    if (OneOf(ext, {"rm", "ra", "ram"})) return Route::Real;
    return Route::Media;
}

void CSoundPlay::SetFileName(const QString& fileName) {
    host_.SetTimer1Enabled(false);
    host_.SetTimer3Enabled(false);
    host_.StopVisualizer();
    if (!mediaWindowLoaded_) {
        mediaWindowLoaded_ = true;
        host_.LoadMediaWindow();
    }

    queuedName_.clear(); // opening a file drops the engine's queue
    fileName_ = fileName;
    const QString ext = QFileInfo(fileName).suffix().toLower();
    const bool videoMp4 = ext == u"mp4" && Mp4HasVideo(fileName);
    const Route next = videoMp4 ? Route::Media : RouteOf(ext);
    // Only a change of back end releases the old one: an MP3 after a WAVE stays with the
    // decoder, whose open replaces the current file by itself.
    if ((ext != Kakutyosi || videoMp4 != videoMp4_) && next != CurrentRoute()) StopCurrentDevice();
    Kakutyosi = ext;
    videoMp4_ = videoMp4;

    switch (CurrentRoute()) {
    case Route::Decoder:
        track_ = VBMP3_TRACK_INFO{};
        // A damaged file of the newer kinds is one that cannot be opened: a list marks it and
        // plays the next row. MP3 and WAVE files open as they always did.
        if (!decoder_.Open(fileName.toUtf8().constData(), &track_) && playlists::IsEngineAudioKind(ext)) {
            host_.OnTrackFailed();
            break;
        }
        host_.OnTrackLoaded();
        break;
    case Route::Real:
        realWindowLoaded_ = true;
        real_.Open(fileName);
        host_.OnTrackLoaded();
        break;
    case Route::Media:
        bDontMoveMediaPlayer = false;
        SyncMediaVolume();
        media_.Open(fileName); // the control's ready notification runs the track-loaded routine
        mediaOpenClock_.start();
        mediaOpenWatch_->start();
        break;
    case Route::None:
        break;
    }
}

void CSoundPlay::PlayStart() {
    StopByHuman = false;
    host_.EnableToolbarButton(2, true);
    host_.EnableToolbarButton(3, true);
    switch (CurrentRoute()) {
    case Route::Decoder:
        if (!decoder_.Play()) {
            StopByHuman = true; // a start that failed is not a track that ran out
            return;
        }
        host_.StartVisualizer();
        break;
    case Route::Real:
        real_.Play();
        if (!WaitForRealState(RpPlaying)) StopByHuman = true;
        break;
    case Route::Media:
        media_.Play();
        break;
    case Route::None:
        break;
    }
}

void CSoundPlay::PlayAgain() {
    StopByHuman = false;
    host_.EnableToolbarButton(2, true);
    host_.EnableToolbarButton(3, true);
    const Route route = CurrentRoute();
    const QString state = CurrentState();
    if (state != kPaused) DropQueue(); // played again from the start: what followed is chosen anew

    if (state == kPaused) {
        // Resume where the pause left off; the start mark does not apply.
        switch (route) {
        case Route::Decoder:
            decoder_.Restart();
            host_.StartVisualizer();
            break;
        case Route::Real:
            real_.Play();
            break;
        case Route::Media:
            media_.Play();
            break;
        case Route::None:
            break;
        }
    } else {
        bool started = true;
        if (state == kPlaying) {
            switch (route) {
            case Route::Decoder:
                decoder_.Stop();
                started = decoder_.Play();
                if (started) host_.StartVisualizer();
                break;
            case Route::Real:
                real_.Stop();
                WaitForRealState(RpStopped);
                real_.Play();
                break;
            case Route::Media:
                media_.Stop();
                media_.SetPosition(0);
                media_.Play();
                break;
            case Route::None:
                break;
            }
        } else {
            switch (route) {
            case Route::Decoder:
                started = decoder_.Play();
                if (started) host_.StartVisualizer();
                break;
            case Route::Real:
                real_.Play();
                break;
            case Route::Media:
                media_.Play();
                break;
            case Route::None:
                break;
            }
        }
        if (!started)
            StopByHuman = true;
        else if (selectionStart_ > 0.5)
            SetCurrentPosition(selectionStart_);
    }

    // Every file of the Media Player control asks for W, which the window shows only for a
    // picture: a list of video extensions would hide the window of any video not in it.
    if (route == Route::Media)
        host_.ShowMediaWindow(true);
    else if (mediaWindowLoaded_)
        host_.ShowMediaWindow(false);
    if (route == Route::Real)
        host_.ShowRealWindow(true);
    else if (realWindowLoaded_)
        host_.ShowRealWindow(false);
}

void CSoundPlay::PausePlay() {
    StopByHuman = true;
    host_.StopVisualizer();
    host_.EnableToolbarButton(3, true);
    switch (CurrentRoute()) {
    case Route::Decoder:
        decoder_.Pause();
        break;
    case Route::Real:
        real_.Pause();
        break;
    case Route::Media:
        media_.Pause();
        break;
    case Route::None:
        break;
    }
}

void CSoundPlay::StopPlay() {
    StopByHuman = true;
    DropQueue();
    host_.StopVisualizer();
    host_.EnableToolbarButton(2, false);
    host_.EnableToolbarButton(3, false);
    host_.SetPositionBar(0);
    switch (CurrentRoute()) {
    case Route::Decoder:
        decoder_.Stop();
        break;
    case Route::Real:
        real_.Stop();
        WaitForRealState(RpStopped);
        break;
    case Route::Media:
        media_.Stop();
        media_.SetPosition(0);
        break;
    case Route::None:
        break;
    }
}

void CSoundPlay::StopCurrentDevice() {
    StopByHuman = true;
    DropQueue();
    host_.EnableToolbarButton(2, false);
    host_.EnableToolbarButton(3, false);
    host_.SetPositionBar(0);
    switch (CurrentRoute()) {
    case Route::Decoder:
        decoder_.Stop();
        decoder_.Close();
        break;
    case Route::Real:
        real_.Stop();
        WaitForRealState(RpStopped);
        real_.Open(QString());
        break;
    case Route::Media:
        mediaOpenWatch_->stop();
        media_.Stop();
        media_.Open(QString());
        break;
    case Route::None:
        break;
    }
}

double CSoundPlay::Duration() {
    switch (CurrentRoute()) {
    case Route::Decoder:
        return track_.totalSec;
    case Route::Real:
        return real_.Length() / 1000.0;
    case Route::Media:
        return media_.Length();
    case Route::None:
        break;
    }
    return 0;
}

double CSoundPlay::CurrentPosition() {
    double position = 0;
    switch (CurrentRoute()) {
    case Route::Decoder: {
        int seconds = 0;
        lastState_ = decoder_.GetState(&seconds);
        lastPosition_ = seconds;
        position = seconds;
        break;
    }
    case Route::Real:
        position = real_.Position() / 1000.0;
        break;
    case Route::Media:
        position = media_.Position();
        break;
    case Route::None:
        break;
    }
    return position == -1 ? 0 : position;
}

void CSoundPlay::SetCurrentPosition(double seconds) {
    switch (CurrentRoute()) {
    case Route::Decoder:
        decoder_.Seek(RoundToInt(seconds));
        break;
    case Route::Real:
        // The RealPlayer control only seeks reliably from a fresh start.
        host_.SetBusyCursor(true);
        host_.SetTimer1Enabled(false);
        real_.Stop();
        real_.Play();
        real_.SetPosition(RoundToInt(seconds * 1000.0));
        host_.SetTimer1Enabled(true);
        host_.SetBusyCursor(false);
        break;
    case Route::Media:
        media_.SetPosition(seconds);
        break;
    case Route::None:
        break;
    }
}

int CSoundPlay::GetVolume() {
    int volume = 0;
    if (CurrentRoute() == Route::Real) {
        volume = real_.Volume();
    } else {
        int left = 0, right = 0;
        decoder_.GetVolume(&left, &right);
        volume = (left + right) / 2;
    }
    lastVolume_ = volume;
    volumeKnown_ = true;
    return volume;
}

void CSoundPlay::SetVolume(int volume) {
    if (volumeKnown_ && volume == lastVolume_) return;
    lastVolume_ = volume;
    volumeKnown_ = true;
    if (CurrentRoute() == Route::Real) {
        real_.SetVolume(volume);
    } else {
        decoder_.SetVolume(volume, volume);
        // The Media Player kinds follow the engine's output volume; MIDI plays through that
        // output, libmpv has an output of its own that is kept at the same value.
        media_.SetVolume(volume);
    }
}

bool CSoundPlay::QueueNext(const QString& fileName, double start, double end, int volume) {
    DropQueue();
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (CurrentRoute() != Route::Decoder || RouteOf(ext) != Route::Decoder ||
        (ext == u"mp4" && Mp4HasVideo(fileName)))
        return false;
    VBMP3_TRACK_INFO info{};
    switchesBefore_ = decoder_.Switches();
    if (!decoder_.QueueNext(fileName.toUtf8().constData(), start, end, volume, &info)) return false;
    // A stored end mark ends the playing file in the engine, so the next one follows right there.
    if (selectionEndMarked_) decoder_.SetEnd(selectionEnd_);
    queuedName_ = fileName;
    queuedTrack_ = info;
    return true;
}

void CSoundPlay::SetSelectionEnd(double seconds, bool marked) {
    const bool changed = marked != selectionEndMarked_ || (marked && seconds != selectionEnd_);
    selectionEnd_ = seconds;
    selectionEndMarked_ = marked;
    // With a follower queued the engine ends the playing file: marks discarded meanwhile let it
    // play to its own end there too.
    if (changed && !queuedName_.isEmpty()) decoder_.SetEnd(marked ? seconds : 0);
}

void CSoundPlay::DropQueue() {
    if (queuedName_.isEmpty()) return;
    queuedName_.clear();
    decoder_.DropQueue();
    // Without a follower the end mark is the tick's again, as it always was.
    if (selectionEndMarked_) decoder_.SetEnd(0);
}

bool CSoundPlay::TookQueued() {
    if (queuedName_.isEmpty() || decoder_.Switches() == switchesBefore_) return false;
    fileName_ = queuedName_;
    Kakutyosi = QFileInfo(fileName_).suffix().toLower();
    videoMp4_ = false;
    track_ = queuedTrack_;
    queuedName_.clear();
    return true;
}

bool CSoundPlay::RanOut() {
    if (StopByHuman || fileName_.isEmpty()) return false;
    if (CurrentRoute() == Route::Decoder && decoder_.Drained()) return true;
    return CurrentState() != kPlaying;
}

QString CSoundPlay::CurrentState() {
    switch (CurrentRoute()) {
    case Route::Decoder: {
        int seconds = 0;
        lastState_ = decoder_.GetState(&seconds);
        lastPosition_ = seconds;
        switch (lastState_) {
        case VBMP3_STATE_STOPPED:
            return kStopped;
        case VBMP3_STATE_PLAYING:
            return kPlaying;
        case VBMP3_STATE_PAUSED:
            return kPaused;
        default:
            return QString();
        }
    }
    case Route::Real:
        switch (real_.PlayState()) {
        case RpStopped:
            return kStopped;
        case RpPaused:
            return kPaused;
        default:
            return kPlaying;
        }
    case Route::Media:
        switch (media_.PlayState()) {
        case MpStopped:
            return kStopped;
        case MpPaused:
            return kPaused;
        case MpPlaying:
            return kPlaying;
        case MpClosed:
            return kNotLoaded;
        default:
            return QString();
        }
    case Route::None:
        break;
    }
    return kNotLoaded;
}

bool CSoundPlay::WaitForRealState(int code) {
    QElapsedTimer clock;
    clock.start();
    // The control reports its state changes through events; this timer only makes sure the
    // wait wakes up when the limit passes.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (real_.PlayState() != code) {
        const qint64 left = realWaitLimitMs_ - clock.elapsed();
        if (left <= 0 || !QCoreApplication::instance()) return false;
        wake.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void CSoundPlay::OnMediaReady(int readyState) {
    // Later notifications for the same file must not start it again.
    if (readyState != ReadyStateComplete || bDontMoveMediaPlayer) return;
    host_.OnTrackLoaded();
    bDontMoveMediaPlayer = true;
}

void CSoundPlay::WatchMediaOpen() {
    if (bDontMoveMediaPlayer || CurrentRoute() != Route::Media) {
        mediaOpenWatch_->stop();
        return;
    }
    const bool closed = media_.PlayState() == MpClosed;
    if (!closed && mediaOpenClock_.elapsed() < mediaOpenLimitMs_) return;
    mediaOpenWatch_->stop();
    // Later notifications for this file are ignored, as after a ready one.
    bDontMoveMediaPlayer = true;
    if (!closed) media_.Open(QString());
    host_.OnTrackFailed();
}

void CSoundPlay::SyncMediaVolume() {
    int left = 0, right = 0;
    decoder_.GetVolume(&left, &right);
    media_.SetVolume((left + right) / 2);
}

} // namespace kv::playback
