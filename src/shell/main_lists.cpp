#include "shell/main_lists.h"

#include "browser/ctree_view.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playback/play_control.h"
#include "playback/sound_play.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_view.h"
#include "shell/main_controls.h"
#include "shell/main_display.h"
#include "shell/main_player.h"
#include "shell/main_tree.h"
#include "shell/shell_services.h"

#include <QAction>
#include <QComboBox>
#include <QLoggingCategory>
#include <QMenu>
#include <QWidget>

namespace kv::shell {

Q_LOGGING_CATEGORY(lcLists, "kavetto.shell", QtWarningMsg)

// The list of lists' view of the window. Apart from the track list's side, since like-named calls
// differ: the list of lists' "save" image is the toolbar's, the track list's goes through the
// list of lists.
class MainLists::ListsHost final : public playlists::ListOfListHost {
  public:
    explicit ListsHost(MainLists& lists) : l_(lists) {}
    void SetSaveButtonImage(const QString& key) override { l_.c_.SetToolButtonImageKey(12, key); }
    void SetBusyCursor(bool busy) override { l_.SetBusyCursor(busy); }
    void SetTrackListVisible(bool visible) override {
        // Hidden while a list is filled so the view does not redraw row by row.
        l_.c_.listViews[playlists::TrackViews::kPlaylistView]->setUpdatesEnabled(visible);
    }
    QString PlayingListName() const override {
        return l_.player_ && l_.player_->Play() ? l_.player_->Play()->PlayingListName : QString();
    }
    int SpaceRightOfListOfList() const override {
        return PixelsToTwips(l_.c_.central->width()) - l_.layout_.listOfList.left;
    }
    QWidget* DialogOwner() const override { return &l_.window_; }

  private:
    MainLists& l_;
};

MainLists::MainLists(MainControls& controls, ProgramState& state, const MainLayout& layout, QWidget& window)
    : c_(controls), state_(state), layout_(layout), window_(window), tracks_(*this),
      listsHost_(std::make_unique<ListsHost>(*this)) {}

MainLists::~MainLists() = default;

void MainLists::Attach() {
    lists_ = std::make_unique<playlists::ListOfLists>(*c_.listOfList, tracks_, *listsHost_,
                                                      platform::ProgramFolder());
}

void MainLists::Connect(MainPlayer& player, MainTree& tree, MainDisplay& display) {
    player_ = &player;
    tree_ = &tree;
    display_ = &display;
}

QString MainLists::SelectedPath(int view) const {
    const auto& model = const_cast<playlists::TrackList&>(tracks_).Views()[view];
    const int row = tracks_.SelectedItem(view);
    return model.IsValidRow(row) ? model.Text(row, playlists::ColPath) : QString();
}

QString MainLists::ActiveViewSelectedPath() const {
    return SelectedPath(ActiveView());
}

void MainLists::ApplyColumnSettings(const ColumnSettings& view0, const ColumnSettings& view1) {
    const ColumnSettings* settings[2] = {&view0, &view1};
    for (int v = 0; v < 3; ++v) {
        const ColumnSettings& s = *settings[v == 2 ? 1 : v];
        playlists::TrackView* view = c_.listViews[v];
        for (int c = 0; c < kColumnCount; ++c)
            view->SetColumnWidthTwips(c, int(s.width[c]));
        // Positions are 1-based in the file; place columns in the order of their target.
        for (int target = 0; target < kColumnCount; ++target)
            for (int c = 0; c < kColumnCount; ++c)
                if (s.position[c] - 1 == target) view->SetColumnPosition(c, target);
    }
}

ColumnSettings MainLists::CollectColumnSettings(int view) const {
    ColumnSettings s;
    for (int c = 0; c < kColumnCount; ++c) {
        s.position[c] = c_.listViews[view]->ColumnPosition(c) + 1;
        s.width[c] = c_.listViews[view]->ColumnWidthTwips(c);
    }
    return s;
}

void MainLists::OpenInitialList(const QString& stored) {
    QString& name = state_.PlayingListName;
    name = stored;
    if (name.isEmpty() && c_.listOfList->count() > 0) name = c_.listOfList->itemText(0);
    player_->Play()->PlayingListName = name;
    c_.listOfList->hide();
    // A name that is no longer a list leaves the selection as it was; that list is opened.
    const QString initial = lists_->IndexOf(name) >= 0 ? name : lists_->SelectedName();
    c_.listOfList->show();
    if (!initial.isEmpty()) lists_->SelectList(initial);
}

void MainLists::OpenTrack(const QString& path) {
    qCInfo(lcLists) << "OpenTrack:" << path;
    lastOpenedTrack_ = path;
    tracks_.OpenTrack(path);
}

void MainLists::SendSelectionToRecycleBin() {
    using platform::MsgAnswer;
    browser::CTreeView& tree = tree_->ExplorTree();
    if (tree.ExpTreeForcus()) {
        const QString folder = tree.GetExpTreePath();
        if (folder.isEmpty()) return;
        if (platform::ShowMessage(QStringLiteral("「%1」をごみ箱に移してもよろしいですか？").arg(folder),
                                  platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                                  QStringLiteral("フォルダの削除の確認")) != MsgAnswer::Yes)
            return;
        kv::shell::MoveToRecycleBin(folder);
        tree.Refresh();
        tracks_.FillFolderView();
        return;
    }
    auto& folderView = tracks_.ListView(playlists::TrackViews::kFolderView);
    const QVector<int> selected = folderView.SelectedRows();
    QString question;
    if (selected.size() < 2) {
        const int row = selected.isEmpty() ? folderView.CurrentRow() : selected.first();
        if (!folderView.IsValidRow(row)) return;
        question = QStringLiteral("「%1」をごみ箱に移してもよろしいですか？")
                       .arg(folderView.Text(row, playlists::ColFile));
    } else {
        question = QStringLiteral("%1個のファイルをごみ箱に移してもよろしいですか？").arg(selected.size());
    }
    if (platform::ShowMessage(question, platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                              QStringLiteral("ファイルの削除の確認")) != MsgAnswer::Yes)
        return;
    const QString playing = PlayingFileName();
    QStringList paths;
    for (int row : selected)
        paths << folderView.Text(row, playlists::ColPath);
    for (const QString& path : paths)
        if (path != playing) kv::shell::MoveToRecycleBin(path);
    tree.Refresh();
    tracks_.FillFolderView();
    if (tracks_.State().PlayingView == playlists::TrackViews::kFolderView && player_->Play())
        player_->Play()->PlayIndex = tracks_.FindRow(playlists::TrackViews::kFolderView, playing);
}

void MainLists::FollowRenamedFolder(const QString& from, const QString& to) {
    playback::CSoundPlay* device = player_->Device();
    if (!device || !player_->Play()) return;
    const QString playing = device->FileName();
    if (!playing.startsWith(from + u'/')) return;
    const QString moved = to + playing.mid(from.size());
    // The device keeps the file it has open; only its name changes.
    device->FileMoved(moved);
    const int view = tracks_.State().PlayingView;
    if (!playlists::TrackViews::IsView(view)) return;
    auto& model = tracks_.ListView(view);
    const int row = player_->Play()->PlayIndex - 1;
    if (!model.IsValidRow(row) || model.Text(row, playlists::ColPath) != playing) return;
    model.SetText(row, playlists::ColPath, moved);
    if (view == playlists::TrackViews::kPlaylistView) {
        SaveWorkingCopy(ListOfListText());
        SetSaveButtonImage(playlists::kSaveImage);
    }
}

// TrackListHost
void MainLists::PlaySelected() {
    player_->PlaySelected();
}
QString MainLists::PlayingFileName() const {
    return player_ ? player_->PlayingFileName() : QString();
}
void MainLists::DeviceOpen(const QString& path) {
    player_->DeviceOpen(path);
}
void MainLists::SetTrackInformation(const QStringList& fourTexts) {
    player_->SetTrackInformation(fourTexts);
}
void MainLists::ShowInfoLabels(const QStringList& fourTexts) {
    display_->ShowInfoLabels(
        {fourTexts.value(0), fourTexts.value(1), fourTexts.value(2), fourTexts.value(3)});
}
void MainLists::ResetInfoLabelTick() {
    player_->ResetInfoLabelTick();
}
void MainLists::ClickToolBarBack(int button) {
    c_.ClickToolBarBack(button);
}
void MainLists::ChangeVolumeBar(int delta) {
    player_->ChangeVolumeBar(delta);
}
void MainLists::SetEncodeMenuVisible(bool visible) {
    c_.Item(QStringLiteral("IDMEncode"))->setVisible(visible);
}

void MainLists::ShowPopupMenu(int view, const QPoint& globalPos) {
    const bool folder = view == playlists::TrackViews::kFolderView;
    c_.Item(QStringLiteral("IDMGoToTrash"))->setVisible(folder);
    c_.Item(QStringLiteral("IDMDeleteItem"))->setVisible(!folder);
    c_.Item(QStringLiteral("IDMWriteEmptyCell"))->setVisible(!folder);
    c_.Menu(QStringLiteral("IDMListAndExploror"))->popup(globalPos);
}

void MainLists::ShowProperties(const QString& path) {
    SetBusyCursor(true);
    kv::shell::ShowProperties(path, &window_);
    SetBusyCursor(false);
}

// The cursor is the window's: the player keeps it.
void MainLists::SetBusyCursor(bool busy) {
    player_->SetBusyCursor(busy);
}

bool MainLists::MayFillFolderView() const {
    return window_.isVisible() && state_.ExplorerShown;
}
QString MainLists::FolderTreePath() const {
    return tree_->ExplorTree().Path();
}
void MainLists::SetFolderTreePath(const QString& folder) {
    tree_->ExplorTree().SetPath(folder);
}
void MainLists::GoToFolderOf(const QString& filePath) {
    tree_->ExplorTree().DragDropToTree(filePath);
}
void MainLists::FolderTreeUp() {
    tree_->ExplorTree().GoToUpperDir();
}
void MainLists::RefreshFolderTree() {
    tree_->ExplorTree().Refresh();
}

int MainLists::ListOfListCount() const {
    return c_.listOfList->count();
}
QString MainLists::ListOfListText() const {
    return c_.listOfList->currentText();
}

// The track list's changes go through the list of lists, which keeps the modified state.
void MainLists::SaveWorkingCopy(const QString& listName) {
    lists_->SaveWorkingCopy(listName);
}
void MainLists::SetSaveButtonImage(const QString& key) {
    lists_->SetSaveButtonImage(key);
}
void MainLists::MoveToRecycleBin(const QStringList&) {
    SendSelectionToRecycleBin();
}

} // namespace kv::shell
