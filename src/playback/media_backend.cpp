#include "playback/media_backend.h"

#include "playback/mpv_backend.h"

#include <QFileInfo>
#include <cmath>

namespace kv::playback {

MediaPlayerControl::MediaPlayerControl(std::unique_ptr<MediaCore> general, std::unique_ptr<MediaCore> midi)
    : general_(std::move(general)), midi_(std::move(midi)) {
    for (MediaCore* core : {general_.get(), midi_.get()})
        if (core) core->onOpened = [this] { NotifyReady(ReadyStateComplete); };
}

bool MediaPlayerControl::IsMidiFile(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    return ext == QLatin1String("mid") || ext == QLatin1String("midi") || ext == QLatin1String("rmi");
}

void MediaPlayerControl::Open(const QString& fileName) {
    MediaCore* next = (midi_ && IsMidiFile(fileName)) ? midi_.get() : general_.get();
    // The control plays one file at a time: whatever the other core holds goes first.
    if (current_ && current_ != next) current_->Open(QString());
    current_ = fileName.isEmpty() ? nullptr : next;
    next->Open(fileName);
}

void MediaPlayerControl::Play() {
    Current().Play();
}
void MediaPlayerControl::Pause() {
    Current().Pause();
}
void MediaPlayerControl::Stop() {
    Current().Stop();
}
double MediaPlayerControl::Length() {
    return Current().Duration();
}
double MediaPlayerControl::Position() {
    return Current().Position();
}
void MediaPlayerControl::SetPosition(double seconds) {
    Current().SetPosition(seconds);
}
// MIDI plays through the engine's output, which already carries the engine's volume; only the
// general core has a volume of its own.
int MediaPlayerControl::Volume() {
    return general_->Volume();
}
void MediaPlayerControl::SetVolume(int volume) {
    general_->SetVolume(volume);
}
QSize MediaPlayerControl::PictureSize() {
    return Current().PictureSize();
}

MpvCore* MediaPlayerControl::VideoCore() {
    return dynamic_cast<MpvCore*>(general_.get());
}

int MediaPlayerControl::PlayState() {
    switch (Current().State()) {
    case CoreState::NotLoaded:
        return MpClosed;
    case CoreState::Opening:
        return MpWaiting;
    case CoreState::Stopped:
        return MpStopped;
    case CoreState::Paused:
        return MpPaused;
    // A file being reloaded after its end must not read as stopped, or play control's clock
    // would take it for a track that ran out.
    case CoreState::Starting:
    case CoreState::Playing:
        return MpPlaying;
    }
    return MpClosed;
}

RealPlayerControl::RealPlayerControl(std::unique_ptr<MediaCore> core) : core_(std::move(core)) {
    core_->onOpened = [this] { NotifyReady(ReadyStateComplete); };
}

void RealPlayerControl::Open(const QString& fileName) {
    core_->Open(fileName);
}
void RealPlayerControl::Play() {
    core_->Play();
}
void RealPlayerControl::Pause() {
    core_->Pause();
}
void RealPlayerControl::Stop() {
    core_->Stop();
    core_->SetPosition(0);
}
double RealPlayerControl::Length() {
    return std::round(core_->Duration() * 1000.0);
}
double RealPlayerControl::Position() {
    return std::round(core_->Position() * 1000.0);
}
void RealPlayerControl::SetPosition(double milliseconds) {
    core_->SetPosition(milliseconds / 1000.0);
}
int RealPlayerControl::Volume() {
    return core_->Volume();
}
void RealPlayerControl::SetVolume(int volume) {
    core_->SetVolume(volume);
}
QSize RealPlayerControl::PictureSize() {
    return core_->PictureSize();
}

MpvCore* RealPlayerControl::VideoCore() {
    return dynamic_cast<MpvCore*>(core_.get());
}

int RealPlayerControl::PlayState() {
    switch (core_->State()) {
    case CoreState::NotLoaded:
    case CoreState::Opening:
    case CoreState::Stopped:
        return RpStopped;
    case CoreState::Starting:
        return RpBuffering;
    case CoreState::Paused:
        return RpPaused;
    case CoreState::Playing:
        return RpPlaying;
    }
    return RpStopped;
}

} // namespace kv::playback
