// The main window's track lists: the three views' rows, the list of lists with its working copies,
// and the volume memory. It implements what the track list asks of the window. UI thread only.
#pragma once
#include "display/volume_memory.h"
#include "playlists/track_list.h"
#include "playlists/track_list_host.h"
#include "shell/layout.h"
#include "shell/program_state.h"
#include "shell/settings.h"

#include <memory>

class QWidget;

namespace kv::playlists {
class ListOfLists;
}

namespace kv::shell {

struct MainControls;
class MainDisplay;
class MainPlayer;
class MainTree;

class MainLists final : public playlists::TrackListHost {
  public:
    MainLists(MainControls& controls, ProgramState& state, const MainLayout& layout, QWidget& window);
    ~MainLists() override;
    // Once the window's controls are made: the list of lists on its box.
    void Attach();
    void Connect(MainPlayer& player, MainTree& tree, MainDisplay& display);

    playlists::TrackList& Tracks() { return tracks_; }
    playlists::ListOfLists& ListOfLists() const { return *lists_; }
    display::VolumeMemory& ListVol() { return listVol_; }
    int ActiveView() const { return tracks_.State().ActiveView; }
    // The full path of the selected row of a view, or of the active view ("" when none).
    QString SelectedPath(int view) const;
    QString ActiveViewSelectedPath() const;

    // The views' column widths and order; the third view takes the second's.
    void ApplyColumnSettings(const ColumnSettings& view0, const ColumnSettings& view1);
    ColumnSettings CollectColumnSettings(int view) const;

    // Start-up: the list the settings name (the first list when none) becomes the playing one.
    void OpenInitialList(const QString& stored);

    // A file to play, from the command line, a drop, another copy of the program or the desktop.
    void OpenTrack(const QString& path);
    const QString& LastOpenedTrack() const { return lastOpenedTrack_; }
    // The tree's folder, or the folder view's selected files, to the recycle bin (asked first).
    void SendSelectionToRecycleBin();
    // A folder was renamed: the player device and the playing row follow a track under it, so
    // the next play finds the file. Other rows are left as they are.
    void FollowRenamedFolder(const QString& from, const QString& to);

    // TrackListHost
    void PlaySelected() override;
    QString PlayingFileName() const override;
    void DeviceOpen(const QString& path) override;
    void SetTrackInformation(const QStringList& fourTexts) override;
    void ShowInfoLabels(const QStringList& fourTexts) override;
    void ResetInfoLabelTick() override;
    void ClickToolBarBack(int button) override;
    void ChangeVolumeBar(int delta) override;
    void SetEncodeMenuVisible(bool visible) override;
    void ShowPopupMenu(int view, const QPoint& globalPos) override;
    void ShowProperties(const QString& path) override;
    void SetBusyCursor(bool busy) override;
    bool MayFillFolderView() const override;
    QString FolderTreePath() const override;
    void SetFolderTreePath(const QString& folder) override;
    void GoToFolderOf(const QString& filePath) override;
    void FolderTreeUp() override;
    void RefreshFolderTree() override;
    int ListOfListCount() const override;
    QString ListOfListText() const override;
    void SaveWorkingCopy(const QString& listName) override;
    void SetSaveButtonImage(const QString& key) override;
    void MoveToRecycleBin(const QStringList& paths) override;

  private:
    class ListsHost;

    MainControls& c_;
    ProgramState& state_;
    const MainLayout& layout_;
    QWidget& window_;
    MainPlayer* player_ = nullptr;
    MainTree* tree_ = nullptr;
    MainDisplay* display_ = nullptr;
    playlists::TrackList tracks_;
    display::VolumeMemory listVol_;
    std::unique_ptr<ListsHost> listsHost_;
    std::unique_ptr<playlists::ListOfLists> lists_;
    QString lastOpenedTrack_;
};

} // namespace kv::shell
