// The media windows: loading them, the track-loaded preparation, the shared placement, and
// their unloading at shutdown.
#include "shell/media_windows.h"

#include "playback/player_backends.h"
#include "playback/sound_play.h"
#include "shell/main_controls.h"
#include "shell/main_player.h"

#include <QMenu>

namespace kv::shell {
using playback::MediaWindow;

MediaWindows::~MediaWindows() {
    Unload();
}

MediaWindow* MediaWindows::Load(const QString& name, QPointer<MediaWindow>& slot, bool real) {
    playback::StandardBackends* backends = player_.Backends();
    if (slot || !backends) return slot;
    playback::MediaBackend& control =
        real ? static_cast<playback::MediaBackend&>(backends->realPlayer) : backends->mediaPlayer;
    slot = new MediaWindow(name, control, *this, player_);
    slot->setWindowIcon(owner_.windowIcon());
    slot->ProgBar().SetForeColor(player_.CProgBar().ForeColor());
    slot->VolumeBar().SetForeColor(player_.CVolume().ForeColor());
    if (real) {
        state_.RealWindowLoaded = true;
    } else {
        state_.MediaWindowLoaded = true;
        if (player_.Device()) player_.Device()->bDontMoveMediaPlayer = true;
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
    show->ProgBar().SetMax(player_.CProgBar().Max());
    show->ProgBar().SetValue(0);
    show->VolumeBar().SetValue(player_.CVolume().Value());
    if (other) other->HideWindow();
    show->SetCaptionFile(player_.Device()->FileName());
    show->ShowWindow();
}

void MediaWindows::Prepare(bool decoderFile) {
    playback::CSoundPlay* device = player_.Device();
    playback::StandardBackends* backends = player_.Backends();
    if (!device || !backends) return;
    const bool real = playback::CSoundPlay::RouteOf(device->Kakutyosi) == playback::CSoundPlay::Route::Real;
    const QSize picture = decoderFile ? QSize()
                          : real      ? backends->realPlayer.PictureSize()
                                      : backends->mediaPlayer.PictureSize();
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
    const WindowBox& b = state_.MovieWindowGeometry;
    return {b.height, b.width, b.left, b.top, b.state, b.placed};
}

void MediaWindows::SetPlacement(const playback::MoviePlacement& p) {
    state_.MovieWindowGeometry = {p.height, p.width, p.left, p.top, p.state, p.placed};
}

void MediaWindows::PlayPause() {
    player_.PlayPauseCommand();
}
void MediaWindows::StopPlayback() {
    if (player_.Play()) player_.Play()->StopPlayback();
}
void MediaWindows::ShowPlayPositionMenu(const QPoint& globalPos) {
    c_.Menu(QStringLiteral("IDMPlayPosition"))->popup(globalPos);
}
void MediaWindows::ClickToolBarBack(int button) {
    c_.ClickToolBarBack(button);
}
bool MediaWindows::Closing() const {
    return state_.Closing;
}

QWidget* MediaWindows::Owner() const {
    return &owner_;
}

} // namespace kv::shell
