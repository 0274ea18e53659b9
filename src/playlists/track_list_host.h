// Everything the track list reaches outside itself: play control, the player device, the
// information labels, the toolbar and volume bar, the list of lists and its working copies, the
// folder tree and the shell. The main window implements it; tests use a recording fake. Every
// call comes on the UI thread. The defaults do nothing, so a host fills in only what it has.
#pragma once
#include <QPoint>
#include <QString>
#include <QStringList>

namespace kv::playlists {

// Program-wide state of the track views, living as long as the process.
struct TrackListState {
    int ActiveView = 1;    // 0 folder view, 1 playlist view: the view last pressed with the mouse
    int PlayingView = 0;   // the view holding the playing row; set by play control and OpenTrack
    bool CtrlHeld = false; // the Ctrl key is held over a view or ListOfList
};

class TrackListHost {
  public:
    virtual ~TrackListHost() = default;

    // Play control and the player device.
    virtual void PlaySelected() {}                                // double click / Enter on a file row
    virtual QString PlayingFileName() const { return QString(); } // the device's FileName
    virtual void DeviceOpen(const QString& path) { (void)path; }  // give the path to the device's FileName
    // The playing track's four strings (file, artist, title, play time), kept by play control.
    virtual void SetTrackInformation(const QStringList& fourTexts) { (void)fourTexts; }
    virtual void ShowInfoLabels(const QStringList& fourTexts) { (void)fourTexts; } // LabelInfo(0..3)
    virtual void ResetInfoLabelTick() {} // the user pressed or clicked a row

    // Main window controls.
    virtual void ClickToolBarBack(int button) { (void)button; }        // hidden buttons 4 and 5
    virtual void ChangeVolumeBar(int delta) { (void)delta; }           // volume bar value + delta
    virtual void SetEncodeMenuVisible(bool visible) { (void)visible; } // IDMEncode, follows Ctrl
    virtual void ShowPopupMenu(int view, const QPoint& globalPos) { (void)view, (void)globalPos; }
    virtual void ShowProperties(const QString& path) { (void)path; }
    virtual void SetBusyCursor(bool busy) { (void)busy; }   // arrow and hourglass
    virtual bool MayFillFolderView() const { return true; } // main window and folder tree visible

    // The list of lists.
    virtual int ListOfListCount() const { return 0; }
    virtual QString ListOfListText() const { return QString(); } // the selected list's name
    virtual void SaveWorkingCopy(const QString& listName) { (void)listName; }
    virtual void SetSaveButtonImage(const QString& key) { (void)key; } // "save" / "notsave"

    // Folder tree and shell.
    virtual QString FolderTreePath() const { return QString(); } // the tree's current folder
    virtual void SetFolderTreePath(const QString& folder) { (void)folder; }
    virtual void GoToFolderOf(const QString& filePath) { (void)filePath; }
    virtual void FolderTreeUp() {}
    virtual void RefreshFolderTree() {}
    virtual void MoveToRecycleBin(const QStringList& paths) { (void)paths; }
};

} // namespace kv::playlists
