#include "shell/form_main_hosts.h"

#include "display/panel_colors.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QAction>
#include <QMenu>

namespace kv::shell {

// The list of lists
void ListsHost::SetSaveButtonImage(const QString& key) { w_.SetToolButtonImageKey(12, key); }
void ListsHost::SetBusyCursor(bool busy) { w_.SetBusyCursor(busy); }
void ListsHost::SetTrackListVisible(bool visible) {
    // Hidden while a list is filled so the view does not redraw row by row.
    w_.listViews_[playlists::TrackViews::kPlaylistView]->setUpdatesEnabled(visible);
}
QString ListsHost::PlayingListName() const { return w_.play_ ? w_.play_->PlayingListName : QString(); }
int ListsHost::SpaceRightOfListOfList() const { return w_.ScaleWidth() - w_.layout_.listOfList.left; }
QWidget* ListsHost::DialogOwner() const { return &w_; }

// The bars
QString BarsHost::DeviceFileName() const { return w_.PlayingFileName(); }
QString BarsHost::DeviceState() { return w_.device_ ? w_.device_->CurrentState() : QStringLiteral("NotLoaded"); }
void BarsHost::DeviceSetVolume(int volume) {
    if (w_.device_) w_.device_->SetVolume(volume);
}
void BarsHost::DeviceSetPosition(double seconds) {
    if (w_.device_) w_.device_->SetCurrentPosition(seconds);
}
void BarsHost::PlayOrResume() {
    if (w_.play_) w_.play_->PlayOrResume();
}
void BarsHost::PlaySelected() { w_.PlaySelected(); }
void BarsHost::OpenTrack(const QString& path) { w_.OpenTrack(path); }
QString BarsHost::ActiveViewSelectedPath() const { return w_.ActiveViewSelectedPath(); }
bool BarsHost::Initializing() const { return w_.state_.Initializing; }
void BarsHost::SetTimeLabel(const QString& text) { w_.labelCurTime_->setText(text); }
void BarsHost::ShowPlayPositionMenu(const QPoint& globalPos) {
    w_.Menu(QStringLiteral("IDMPlayPosition"))->popup(globalPos);
}
display::CProgressBar* BarsHost::MainVolumeBar() { return w_.volumeBar_.get(); }
QVector<display::CProgressBar*> BarsHost::MediaVolumeBars() { return w_.MediaVolumeBars(); }

// The start and end markers, in the position bar's twips
playback::MarkerLayout MarksHost::Markers() const {
    const MainLayout& l = w_.layout_;
    playback::MarkerLayout m;
    m.startLeft = l.startPos.left;
    m.endLeft = l.endPos.left;
    m.startWidth = l.startPos.width;
    m.endWidth = l.endPos.width;
    m.scaleWidth = l.progPicture.width;
    m.startCaption = l.startPosCaption;
    m.start = w_.markers_.start;
    m.end = w_.markers_.end;
    m.duration = w_.markers_.duration;
    return m;
}

void MarksHost::SetMarkers(const playback::MarkerLayout& m) {
    MainLayout& l = w_.layout_;
    l.startPos.left = m.startLeft;
    l.endPos.left = m.endLeft;
    l.startPosCaption = m.startCaption;
    w_.markers_ = {m.duration > 0, m.duration, m.start, m.end};
    w_.ApplyLayout();
}

int MarksHost::BarWidth() const { return w_.layout_.progPicture.width; }

// The folder tree
void TreeHostAdapter::FillFolderView() { w_.tracks_.FillFolderView(); }
void TreeHostAdapter::PopupMenu(const QString& menu, const QPoint& globalPos) {
    if (QMenu* m = w_.Menu(menu)) m->exec(globalPos);
}
void TreeHostAdapter::SetMenuItemVisible(const QString& item, bool visible) {
    if (QAction* a = w_.Item(item)) a->setVisible(visible);
}
void TreeHostAdapter::SetMenuItemEnabled(const QString& item, bool enabled) {
    if (QAction* a = w_.Item(item)) a->setEnabled(enabled);
}
void TreeHostAdapter::ClickToolBarBack(int button) { w_.ClickToolBarBack(button); }
void TreeHostAdapter::ChangeVolumeBar(int delta) { w_.ChangeVolumeBar(delta); }
void TreeHostAdapter::ShowProperties(const QString& path) { w_.ShowProperties(path); }
void TreeHostAdapter::SetBusyCursor(bool busy) { w_.SetBusyCursor(busy); }
void TreeHostAdapter::SendSelectionToRecycleBin() { w_.SendSelectionToRecycleBin(); }
int TreeHostAdapter::ActiveView() const { return w_.ActiveView(); }
QString TreeHostAdapter::SelectedPlaylistTrackPath() const {
    return w_.SelectedPath(playlists::TrackViews::kPlaylistView);
}

} // namespace kv::shell
