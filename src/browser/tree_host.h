// Everything the folder tree reaches outside itself: the folder view, the main window's menus,
// hidden buttons and volume bar, the shell services and the settings file. The main window
// implements it; tests use a recording fake. Every call comes on the UI thread. The defaults do
// nothing, so a host fills in only what it has.
#pragma once
#include "platform/program_folder.h"

#include <QPoint>
#include <QString>

namespace kv::browser {

class TreeHost {
  public:
    virtual ~TreeHost() = default;

    // Refill the folder view ListView(0) from the tree's Path.
    virtual void FillFolderView() {}

    // Menus of the main window, by object name ("IDMListAndExploror", "IDMGoToTrash", ...).
    // PopupMenu returns when the menu has closed (and its command has run).
    virtual void PopupMenu(const QString& menu, const QPoint& globalPos) { (void)menu, (void)globalPos; }
    virtual void SetMenuItemVisible(const QString& item, bool visible) { (void)item, (void)visible; }
    virtual void SetMenuItemEnabled(const QString& item, bool enabled) { (void)item, (void)enabled; }

    virtual void ClickToolBarBack(int button) { (void)button; } // hidden buttons 4 (previous) and 5 (next)
    virtual void ChangeVolumeBar(int delta) { (void)delta; }    // volume bar Value + delta
    virtual void ShowProperties(const QString& path) { (void)path; }
    virtual void SetBusyCursor(bool busy) { (void)busy; }
    // The recycle-bin command; it asks ExpTreeForcus and GetExpTreePath itself.
    virtual void SendSelectionToRecycleBin() {}

    // A drag of rows from the program's own playlist view: ActiveView is 1 and the selected
    // track's full path is what was dropped.
    virtual int ActiveView() const { return 0; }
    virtual QString SelectedPlaylistTrackPath() const { return QString(); }

    virtual QString SettingsFile() const { return platform::SettingsFile(); }
    virtual QString ProgramFolder() const { return platform::ProgramFolder(); }
};

} // namespace kv::browser
