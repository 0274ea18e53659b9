// The main window's commands and what the player, play control and the track list reach in it.
#include "browser/ctree_view.h"
#include "display/progress_bar.h"
#include "platform/files.h"
#include "playback/positions.h"
#include "playlists/list_of_lists.h"
#include "platform/message_box.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/form_main_timer.h"
#include "shell/shell_services.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace kv::shell {


// PlayerHost
void FormMain::OnTrackLoaded() {
    if (play_) play_->OnTrackLoaded();
}

// PlayControlHost
playback::PlayMode FormMain::Mode() const {
    if (Item("IDMContinuePlay")->isChecked()) return playback::PlayMode::Continuous;
    if (Item("IDMRandomPlay")->isChecked()) return playback::PlayMode::Random;
    if (Item("IDMGeneralPlay")->isChecked()) return playback::PlayMode::Single;
    return playback::PlayMode::None;
}

QString FormMain::SelectedListName() const { return listOfList_->currentText(); }

void FormMain::ShowInfoLabels(const std::array<QString, 4>& texts) {
    for (int i = 0; i < 4; ++i) labelInfo_[i]->setText(texts[i]);
    SyncBackGndLabel();
    AnnounceTrack();
}

void FormMain::ShowInfoLabels(const QStringList& texts) {
    for (int i = 0; i < 4; ++i) labelInfo_[i]->setText(texts.value(i));
    SyncBackGndLabel();
    AnnounceTrack();
}

void FormMain::SetCaption(const QString& caption) { setWindowTitle(caption); }

void FormMain::SetTimersEnabled(bool on) {
    SetTimer1Enabled(on);
    SetTimer3Enabled(on);
}

void FormMain::SetPositionBarMax(int seconds) { progBar_->SetMax(seconds); }
void FormMain::SetPositionBarValue(int seconds) { progBar_->SetValue(seconds); }
bool FormMain::PositionBarDragging() const { return progBar_->BarMove(); }
void FormMain::ReadTrackVolume(const QString&) { volumeBar_->ReadVolume(); }
int FormMain::StoredVolume(const QString& path) const { return volumeBar_->StoredVolume(path); }
std::pair<QString, QString> FormMain::StoredMarks(const QString& path) const {
    return positions_ ? positions_->StoredMarks(path) : std::pair<QString, QString>{};
}
void FormMain::PlaceMarkers(double start, double end, double duration) {
    if (positions_) positions_->PlaceMarkers(start, end, duration);
}
// Each track gets a new colour while the random colour is chosen.
void FormMain::RandomColourIfChecked() {
    if (IDMForeColor[0]->isChecked()) ApplyPanelColor(0);
}

QString FormMain::SelectedPath(int view) const {
    const auto& model = const_cast<playlists::TrackList&>(tracks_).Views()[view];
    const int row = tracks_.SelectedItem(view);
    return model.IsValidRow(row) ? model.Text(row, playlists::ColPath) : QString();
}

QString FormMain::ActiveViewSelectedPath() const { return SelectedPath(ActiveView()); }

// TrackListHost
void FormMain::PlaySelected() {
    if (play_) play_->PlaySelected();
}

QString FormMain::PlayingFileName() const { return device_ ? device_->FileName() : QString(); }

void FormMain::DeviceOpen(const QString& path) {
    if (device_) device_->SetFileName(path);
}

void FormMain::SetTrackInformation(const QStringList& fourTexts) {
    if (!play_) return;
    for (int i = 0; i < 4; ++i) play_->Information[i] = fourTexts.value(i);
}

void FormMain::ResetInfoLabelTick() {
    if (play_) play_->LabelTick = 0;
}

void FormMain::ClickToolBarBack(int button) {
    if (button >= 1 && button <= 5) toolBarBack_[button - 1]->click();
}

void FormMain::ChangeVolumeBar(int delta) { volumeBar_->SetValue(volumeBar_->Value() + delta); }

void FormMain::SetEncodeMenuVisible(bool visible) { Item("IDMEncode")->setVisible(visible); }

void FormMain::ShowPopupMenu(int view, const QPoint& globalPos) {
    const bool folder = view == playlists::TrackViews::kFolderView;
    Item("IDMGoToTrash")->setVisible(folder);
    Item("IDMDeleteItem")->setVisible(!folder);
    Item("IDMWriteEmptyCell")->setVisible(!folder);
    Menu("IDMListAndExploror")->popup(globalPos);
}

void FormMain::ShowProperties(const QString& path) {
    setCursor(Qt::BusyCursor);
    kv::shell::ShowProperties(path, this);
    unsetCursor();
}

bool FormMain::MayFillFolderView() const { return isVisible() && state_.ExplorerShown; }
QString FormMain::FolderTreePath() const { return explorTree_->Path(); }
void FormMain::SetFolderTreePath(const QString& folder) { explorTree_->SetPath(folder); }
void FormMain::GoToFolderOf(const QString& filePath) { explorTree_->DragDropToTree(filePath); }
void FormMain::FolderTreeUp() { explorTree_->GoToUpperDir(); }
void FormMain::RefreshFolderTree() { explorTree_->Refresh(); }

int FormMain::ListOfListCount() const { return listOfList_->count(); }
QString FormMain::ListOfListText() const { return listOfList_->currentText(); }

// The track list's changes go through the list of lists, which keeps the modified state.
void FormMain::SaveWorkingCopy(const QString& listName) { lists_->SaveWorkingCopy(listName); }
void FormMain::SetSaveButtonImage(const QString& key) { lists_->SetSaveButtonImage(key); }

void FormMain::MoveToRecycleBin(const QStringList&) { SendSelectionToRecycleBin(); }

void FormMain::SendSelectionToRecycleBin() {
    using platform::MsgAnswer;
    if (explorTree_->ExpTreeForcus()) {
        const QString folder = explorTree_->GetExpTreePath();
        if (folder.isEmpty()) return;
        if (platform::ShowMessage(QStringLiteral("「%1」をごみ箱に移してもよろしいですか？").arg(folder),
                                  platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                  QStringLiteral("フォルダの削除の確認")) != MsgAnswer::Yes)
            return;
        kv::shell::MoveToRecycleBin(folder);
        explorTree_->Refresh();
        tracks_.FillFolderView();
        return;
    }
    auto& folderView = tracks_.ListView(playlists::TrackViews::kFolderView);
    const QVector<int> selected = folderView.SelectedRows();
    QString question;
    if (selected.size() < 2) {
        const int row = selected.isEmpty() ? folderView.CurrentRow() : selected.first();
        if (!folderView.IsValidRow(row)) return;
        question = QStringLiteral("「%1」をごみ箱に移してもよろしいですか？").arg(folderView.Text(row, playlists::ColFile));
    } else {
        question = QStringLiteral("%1個のファイルをごみ箱に移してもよろしいですか？").arg(selected.size());
    }
    if (platform::ShowMessage(question, platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                              QStringLiteral("ファイルの削除の確認")) != MsgAnswer::Yes)
        return;
    const QString playing = PlayingFileName();
    QStringList paths;
    for (int row : selected) paths << folderView.Text(row, playlists::ColPath);
    for (const QString& path : paths)
        if (path != playing) kv::shell::MoveToRecycleBin(path);
    explorTree_->Refresh();
    tracks_.FillFolderView();
    if (tracks_.State().PlayingView == playlists::TrackViews::kFolderView && play_)
        play_->PlayIndex = tracks_.FindRow(playlists::TrackViews::kFolderView, playing);
}

// A right click anywhere on the window's own surfaces pops up the play-position menu.
void FormMain::contextMenuEvent(QContextMenuEvent* event) {
    Menu(QStringLiteral("IDMPlayPosition"))->popup(event->globalPos());
    event->accept();
}

void FormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() || event->mimeData()->hasFormat(playlists::TrackListModel::kRowsMimeType))
        event->acceptProposedAction();
}

// A file dropped on the window opens its first file; rows dragged from a view open the
// selected row of the active view.
void FormMain::dropEvent(QDropEvent* event) {
    QString path;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty()) path = urls.first().toLocalFile();
    if (path.isEmpty()) path = ActiveViewSelectedPath();
    event->acceptProposedAction();
    if (!path.isEmpty()) OpenTrack(path);
}

// Commands
void FormMain::PlayButton() {
    if (!play_) return;
    if (device_->FileName().isEmpty()) play_->PlaySelected();
    else play_->PlayOrResume();
}

void FormMain::PlayPauseCommand() {
    if (!play_) return;
    if (device_->CurrentState() == QStringLiteral("Playing")) play_->PausePlayback();
    else play_->PlayOrResume();
}

void FormMain::NextCommand() {
    if (!play_) return;
    if (Item("IDMRandomPlay")->isChecked()) play_->PlayRandom();
    else play_->PlayNext();
}

void FormMain::ConnectCommands() {
    auto on = [this](const char* name, auto&& slot) {
        connect(Item(QString::fromLatin1(name)), &QAction::triggered, this, slot);
    };
    auto tool = [this](int index, auto&& slot) { connect(toolActions_[index - 1], &QAction::triggered, this, slot); };
    auto back = [this](int index, auto&& slot) { connect(toolBarBack_[index - 1], &QPushButton::clicked, this, slot); };
    auto withPlay = [this](void (playback::PlayControl::*op)()) {
        return [this, op] {
            if (play_) (play_.get()->*op)();
        };
    };

    on("IDMEnd", [this] { close(); });
    on("IDMEnd2", [this] { close(); });

    for (const char* name : {"IDMplay", "IDMPlay2", "IDMPlay3"}) on(name, [this] { PlayPauseCommand(); });
    tool(1, [this] { PlayButton(); });
    back(1, [this] { PlayButton(); });
    tool(2, [this] { PlayPauseCommand(); });
    back(2, withPlay(&playback::PlayControl::PausePlayback));
    for (const char* name : {"IDMstop", "IDMstop2", "IDMstop3"}) on(name, withPlay(&playback::PlayControl::StopPlayback));
    tool(3, withPlay(&playback::PlayControl::StopPlayback));
    back(3, withPlay(&playback::PlayControl::StopPlayback));
    for (const char* name : {"IDMbefore", "IDMbefore2", "IDMbefore3"}) on(name, withPlay(&playback::PlayControl::PlayPrevious));
    tool(4, withPlay(&playback::PlayControl::PlayPrevious));
    back(4, withPlay(&playback::PlayControl::PlayPrevious));
    for (const char* name : {"IDMnext", "IDMnext2", "IDMnext3"}) on(name, [this] { NextCommand(); });
    tool(5, [this] { NextCommand(); });
    back(5, [this] { NextCommand(); });
    on("IDMVolUp", [this] { ChangeVolumeBar(10); });  // the menu steps by 10, the keys by 2
    on("IDMVolDown", [this] { ChangeVolumeBar(-10); });
    for (const char* name : {"IDMGeneralPlay", "IDMContinuePlay", "IDMRandomPlay"})
        on(name, [this, name] { CheckPlayMode(Item(QString::fromLatin1(name))); });

    for (int i = 0; i < 9; ++i) connect(IDMForeColor[i], &QAction::triggered, this, [this, i] { CheckForeColor(i); });
    for (int i = 0; i < 5; ++i) connect(IDMPanelBar[i], &QAction::triggered, this, [this, i] { SetBarType(i + 1); });

    on("IDMShowExplorTree", [this] {
        // Checkable for its mark only; the toggle keeps the mark in step with the pane.
        Item("IDMShowExplorTree")->setChecked(state_.ExplorerShown);
        ToggleExplorerPane();
    });
    tool(8, [this] { ToggleExplorerPane(); });
    on("IDMrefresh", [this] { tracks_.RefreshLists(); });
    on("IDMrefresh2", [this] { tracks_.RefreshLists(); });
    on("IDMshufle", [this] { tracks_.ShuffleRows(ActiveView()); });
    on("IDMDeleteItem", [this] { tracks_.DeleteSelectedRows(playlists::TrackViews::kPlaylistView); });
    on("IDMGoToTrash", [this] { SendSelectionToRecycleBin(); });
    on("IDMWriteEmptyCell", [this] { RepairList(); });
    on("IDMMinMax", [this] {
        if (isMinimized()) showNormal();
        if (state_.StealthActive) ToggleStealth();
        BringToFront();
    });
    on("IDMproperty", [this] {
        // The tree counts as focused while its own menu is open, so its menu's command is about
        // the tree's folder.
        const QString path = explorTree_->ExpTreeForcus() ? explorTree_->GetExpTreePath() : ActiveViewSelectedPath();
        if (!path.isEmpty()) ShowProperties(path);
    });

    // Lists
    on("IDMOpenFile", [this] { lists_->OpenMusicFile(); });
    on("IDMOpenList", [this] { lists_->ImportList(); });
    on("IDMnewlist", [this] { lists_->NewList(); });
    tool(11, [this] { lists_->NewList(); });
    on("IDMsave", [this] { lists_->SaveList(playlists::kSaveAllLists); });
    tool(12, [this] { lists_->SaveList(playlists::kSaveAllLists); });
    on("IDMsaveother", [this] { lists_->SaveListAs(lists_->SelectedName()); });
    on("IDMRenameList", [this] { lists_->RenameList(lists_->SelectedName()); });
    on("IDMDeletelist", [this] { lists_->DeleteList(lists_->SelectedName()); });
    connect(listOfList_, &QComboBox::activated, this, [this] { lists_->ListOfListClick(); });

    // Start and end marks
    auto withMarks = [this](void (playback::StartEndPositions::*op)()) {
        return [this, op] {
            if (positions_) (positions_.get()->*op)();
        };
    };
    on("IDMPlayStartPos", withMarks(&playback::StartEndPositions::SetStartPosition));
    on("IDMPlayEndPos", withMarks(&playback::StartEndPositions::SetEndPosition));
    on("IDMDesartPos", withMarks(&playback::StartEndPositions::DiscardPositions));

    on("IDMPlayerhelp", [this] { ShowHelp(); });
    on("IDMversion", [this] { ShowAbout(); });
    on("IDMGoToHomePage", [this] { CShell().ShellX(QString::fromLatin1(kHomePage), this, false); });
    connect(prevButton_, &QPushButton::clicked, this, &FormMain::PrevButtonClick);
    connect(timer1_, &QTimer::timeout, this, [this] {
        if (play_) play_->Timer1Tick();
    });
    new TimerEncodeGlue(*this); // IDMTimer, IDMEncode and the timer indicator
}

} // namespace kv::shell
