#include "shell/main_tree.h"

#include "browser/ctree_view.h"
#include "browser/tree_image_list.h"
#include "playlists/track_view.h"
#include "shell/main_controls.h"
#include "shell/main_lists.h"

#include <QAction>
#include <QMenu>

namespace kv::shell {

MainTree::MainTree(MainControls& controls, MainLists& lists)
    : c_(controls), lists_(lists), images_(std::make_unique<browser::TreeImageList>()),
      tree_(std::make_unique<browser::CTreeView>(*this)) {}

MainTree::~MainTree() = default;

void MainTree::Build(QTreeView* view) {
    tree_->FormatTree(view, images_.get());
}

void MainTree::FillFolderView() {
    lists_.Tracks().FillFolderView();
}
void MainTree::PopupMenu(const QString& menu, const QPoint& globalPos) {
    if (QMenu* m = c_.Menu(menu)) m->exec(globalPos);
}
void MainTree::SetMenuItemVisible(const QString& item, bool visible) {
    if (QAction* a = c_.Item(item)) a->setVisible(visible);
}
void MainTree::SetMenuItemEnabled(const QString& item, bool enabled) {
    if (QAction* a = c_.Item(item)) a->setEnabled(enabled);
}
void MainTree::ClickToolBarBack(int button) {
    c_.ClickToolBarBack(button);
}
void MainTree::ChangeVolumeBar(int delta) {
    lists_.ChangeVolumeBar(delta);
}
void MainTree::ShowProperties(const QString& path) {
    lists_.ShowProperties(path);
}
void MainTree::SetBusyCursor(bool busy) {
    lists_.SetBusyCursor(busy);
}
void MainTree::SendSelectionToRecycleBin() {
    lists_.SendSelectionToRecycleBin();
}
int MainTree::ActiveView() const {
    return lists_.ActiveView();
}
QString MainTree::SelectedPlaylistTrackPath() const {
    return lists_.SelectedPath(playlists::TrackViews::kPlaylistView);
}

} // namespace kv::shell
