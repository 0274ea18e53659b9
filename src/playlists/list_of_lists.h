// The list of lists: the drop-down ListOfList, the commands on named lists (new, save, save as,
// rename, delete, import), loading a list into the playlist view, and the modified state shown
// by the list-save button. Runs on the UI thread; ImportList lets events run while it reads
// track information, and refuses to start again meanwhile.
#pragma once
#include "playlists/list_files.h"
#include "playlists/track_list.h"

#include <QSet>
#include <QString>
#include <climits>

class QComboBox;
class QWidget;

namespace kv::playlists {

// What the list of lists reaches in the main window besides ListOfList and the track list.
class ListOfListHost {
  public:
    virtual ~ListOfListHost() = default;
    virtual void SetSaveButtonImage(const QString& key) { (void)key; } // toolbar button 12
    virtual void SetBusyCursor(bool busy) { (void)busy; }              // arrow and hourglass
    virtual void SetTrackListVisible(bool visible) { (void)visible; }  // ListView(1)
    virtual QString PlayingListName() const { return QString(); }
    // Twips from ListOfList's left edge to the right edge of the window's client area.
    virtual int SpaceRightOfListOfList() const { return INT_MAX; }
    virtual QWidget* DialogOwner() const { return nullptr; }
};

// The save-all sentinel of SaveList; a list cannot have this name (":" and "-" aside, it is
// simply never typed).
inline const QString kSaveAllLists = QStringLiteral("AllListFile---Saveing!");
inline const QString kSaveImage = QStringLiteral("save");
inline const QString kNotSaveImage = QStringLiteral("notsave");

// True when the name holds none of \ / : , ; * ? " < > |; otherwise says so (title "不正な文字").
bool ValidateListName(const QString& name);

// The width ListOfList takes for a name textTwips wide, with `space` twips left to the window's
// right edge.
int ListOfListWidthTwips(int textTwips, int space);

class ListOfLists {
  public:
    ListOfLists(QComboBox& listOfList, TrackList& tracks, ListOfListHost& host, QString programFolder);

    // Start-up: the lists of the folder into ListOfList, their working copies, "notsave".
    void StartUp();
    // Shutdown: every working copy goes.
    void ShutDown();

    QString SelectedName() const; // "" when ListOfList is empty
    QStringList Names() const;
    int IndexOf(const QString& name) const; // exact, case-sensitive; -1 when absent

    // The modified state is the save button's image key. "save" also marks the shown list as
    // changed by the user, which lets a list whose file could not be read whole be written.
    QString SaveButtonImage() const { return saveImage_; }
    void SetSaveButtonImage(const QString& key);

    void SaveWorkingCopy(const QString& name);
    void SaveList(const QString& name);
    void LoadList(const QString& name);
    int AskSaveChanges(); // 1: the user cancelled
    // The answer "はい" to AskSaveChanges, for an end where nobody can be asked (the session ends).
    void SaveChangesWithoutAsking();
    void NewList();
    void SaveListAs(const QString& current);
    void RenameList(const QString& current);
    void DeleteList(const QString& current);
    void ImportList();
    void OpenMusicFile();

    // The user chose an entry (QComboBox::activated).
    void ListOfListClick();
    // Selects the entry of that name and loads it, as setting the drop-down's text does.
    void SelectList(const QString& name);

    // The list whose rows the playlist view shows ("" when none).
    QString ShownList() const { return shown_; }

  private:
    TrackListModel& Rows() { return tracks_.ListView(TrackViews::kPlaylistView); }
    bool AskOverwrite();
    QStringList CommitAndDropWorkingCopies(); // the lists that could not be saved
    bool AdoptExistingList(const QString& name);
    void CreatedList(const QString& name, bool select);
    void RemoveSelectedEntry();
    void FitWidth();

    QComboBox& box_;
    TrackList& tracks_;
    ListOfListHost& host_;
    QString folder_;
    QString saveImage_ = kNotSaveImage;
    QString shown_;
    // Lists read with loss and not changed by the user since: their files are never rewritten
    // from the rows, which would hold less. A write asked for meanwhile waits in deferred_.
    QSet<QString> lossy_;
    QString deferred_;
    int highestIndex_ = -1;
    bool importing_ = false;
};

} // namespace kv::playlists
