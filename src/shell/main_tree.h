// The main window's folder tree: the tree control, its images, and what it asks of the window.
// UI thread only.
#pragma once
#include "browser/tree_host.h"

#include <memory>

class QTreeView;

namespace kv::browser {
class CTreeView;
class TreeImageList;
} // namespace kv::browser

namespace kv::shell {

struct MainControls;
class MainLists;

class MainTree final : public browser::TreeHost {
  public:
    MainTree(MainControls& controls, MainLists& lists);
    ~MainTree() override;

    browser::CTreeView& ExplorTree() const { return *tree_; }
    // The tree is built the first time its pane shows.
    void Build(QTreeView* view);

    // TreeHost
    void FillFolderView() override;
    void PopupMenu(const QString& menu, const QPoint& globalPos) override;
    void SetMenuItemVisible(const QString& item, bool visible) override;
    void SetMenuItemEnabled(const QString& item, bool enabled) override;
    void ClickToolBarBack(int button) override;
    void ChangeVolumeBar(int delta) override;
    void ShowProperties(const QString& path) override;
    void SetBusyCursor(bool busy) override;
    void SendSelectionToRecycleBin() override;
    int ActiveView() const override;
    QString SelectedPlaylistTrackPath() const override;

  private:
    MainControls& c_;
    MainLists& lists_;
    std::unique_ptr<browser::TreeImageList> images_;
    std::unique_ptr<browser::CTreeView> tree_;
};

} // namespace kv::shell
