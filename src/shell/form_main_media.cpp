// The main window's side of the media windows: loading them, the track-loaded preparation, the
// clock's position, the shared placement, and their unloading at shutdown.
#include "shell/form_main_media.h"

#include "playback/player_backends.h"
#include "playback/sound_play.h"
#include "shell/form_main.h"
#include "shell/form_main_hosts.h"

#include <QMenu>

namespace kv::shell {
using playback::MediaWindow;

MediaWindows::~MediaWindows() {
    Unload();
}

MediaWindow* MediaWindows::Load(const QString& name, QPointer<MediaWindow>& slot, bool real) {
    if (slot || !w_.backends_) return slot;
    playback::MediaBackend& control =
        real ? static_cast<playback::MediaBackend&>(w_.backends_->realPlayer) : w_.backends_->mediaPlayer;
    slot = new MediaWindow(name, control, *this, *w_.barsHost_);
    slot->setWindowIcon(w_.windowIcon());
    slot->ProgBar().SetForeColor(w_.progBar_->ForeColor());
    slot->VolumeBar().SetForeColor(w_.volumeBar_->ForeColor());
    if (real) {
        w_.state_.RealWindowLoaded = true;
    } else {
        w_.state_.MediaWindowLoaded = true;
        if (w_.device_) w_.device_->bDontMoveMediaPlayer = true;
    }
    return slot;
}

MediaWindow* MediaWindows::LoadW() {
    return Load(QStringLiteral("W"), w_window_, false);
}
MediaWindow* MediaWindows::LoadY() {
    return Load(QStringLiteral("Y"), y_window_, true);
}

void MediaWindows::ShowFor(MediaWindow* show, MediaWindow* other) {
    if (!show) return;
    show->ProgBar().SetMax(w_.progBar_->Max());
    show->ProgBar().SetValue(0);
    show->VolumeBar().SetValue(w_.volumeBar_->Value());
    if (other) other->HideWindow();
    show->SetCaptionFile(w_.device_->FileName());
    show->ShowWindow();
}

void MediaWindows::Prepare(bool decoderFile) {
    if (!w_.device_ || !w_.backends_) return;
    const bool real =
        playback::CSoundPlay::RouteOf(w_.device_->Kakutyosi) == playback::CSoundPlay::Route::Real;
    const QSize picture = decoderFile ? QSize()
                          : real      ? w_.backends_->realPlayer.PictureSize()
                                      : w_.backends_->mediaPlayer.PictureSize();
    if (picture.width() + picture.height() > 0) {
        if (real)
            ShowFor(LoadY(), w_window_);
        else
            ShowFor(LoadW(), y_window_);
        return;
    }
    if (y_window_) y_window_->HideWindow();
    if (w_window_) w_window_->HideWindow();
}

void MediaWindows::Unload() {
    // Hidden first, so their placement is kept; then gone before the back ends they draw.
    for (QPointer<MediaWindow>* slot : {&y_window_, &w_window_}) {
        if (!*slot) continue;
        (*slot)->HideWindow();
        delete slot->data();
    }
}

playback::MoviePlacement MediaWindows::Placement() const {
    const WindowBox& b = w_.state_.MovieWindowGeometry;
    return {b.height, b.width, b.left, b.top, b.state, b.placed};
}

void MediaWindows::SetPlacement(const playback::MoviePlacement& p) {
    w_.state_.MovieWindowGeometry = {p.height, p.width, p.left, p.top, p.state, p.placed};
}

void MediaWindows::PlayPause() {
    w_.PlayPauseCommand();
}
void MediaWindows::StopPlayback() {
    if (w_.play_) w_.play_->StopPlayback();
}
void MediaWindows::ShowPlayPositionMenu(const QPoint& globalPos) {
    w_.Menu(QStringLiteral("IDMPlayPosition"))->popup(globalPos);
}
void MediaWindows::ClickToolBarBack(int button) {
    w_.ClickToolBarBack(button);
}
bool MediaWindows::Closing() const {
    return w_.state_.Closing;
}

QWidget* MediaWindows::Owner() const {
    return &w_;
}

// FormMain's part

MediaWindows& FormMain::Media() {
    if (!mediaWindows_) mediaWindows_ = std::make_unique<MediaWindows>(*this);
    return *mediaWindows_;
}

bool FormMain::MediaWindowVisible() const {
    if (!mediaWindows_) return false;
    for (MediaWindow* window : {mediaWindows_->W(), mediaWindows_->Y()})
        if (window && window->isVisible()) return true;
    return false;
}

void FormMain::LoadMediaWindow() {
    Media().LoadW();
}

// The device asks for W by the file's extension and for Y for every RealMedia file; a file of
// those kinds that holds sound alone would get an empty window, so only a picture shows one.
void FormMain::ShowMediaWindow(bool show) {
    if (show && backends_ && !backends_->mediaPlayer.PictureSize().isEmpty()) {
        if (MediaWindow* w = Media().LoadW()) w->ShowWindow();
    } else if (MediaWindow* w = Media().W()) {
        w->HideWindow();
    }
}

void FormMain::ShowRealWindow(bool show) {
    if (show && backends_ && !backends_->realPlayer.PictureSize().isEmpty()) {
        if (MediaWindow* y = Media().LoadY()) y->ShowWindow();
    } else if (MediaWindow* y = Media().Y()) {
        y->HideWindow();
    }
}

void FormMain::OnTrackFailed() {
    if (play_) play_->OnTrackFailed();
}

void FormMain::PrepareMediaWindows(bool decoderFile) {
    Media().Prepare(decoderFile);
}

void FormMain::MediaWindowPositions(int seconds) {
    if (!mediaWindows_) return;
    for (MediaWindow* window : {mediaWindows_->W(), mediaWindows_->Y()})
        if (window && window->isVisible() && !window->ProgBar().BarMove())
            window->ProgBar().SetValue(seconds);
}

QVector<display::CProgressBar*> FormMain::MediaVolumeBars() {
    QVector<display::CProgressBar*> bars;
    if (!mediaWindows_ || !backends_) return bars;
    if (MediaWindow* w = mediaWindows_->W(); w && w->isVisible()) bars.push_back(&w->VolumeBar());
    if (MediaWindow* y = mediaWindows_->Y(); y && y->isVisible() && backends_->realPlayer.PlayState() != 5)
        bars.push_back(&y->VolumeBar());
    return bars;
}

void FormMain::UnloadMediaWindows() {
    if (mediaWindows_) mediaWindows_->Unload();
}

} // namespace kv::shell
