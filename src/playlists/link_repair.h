// The broken-link repair ("リストの修復") as plain steps over the playlist view's rows: the
// re-check pass, the count of broken rows, and the search that rewrites them. The windows
// FormCare and FormCare2 (form_care.h) drive these. UI thread only.
#pragma once
#include "playlists/link_search.h"
#include "playlists/track_entry.h"

#include <QString>
#include <functional>
#include <optional>

namespace kv::playlists {

class TrackListModel;

// What the repair reaches outside the rows: the player, the volume memory, the list files.
class RepairHost {
  public:
    virtual ~RepairHost() = default;
    struct Clip {
        QString title, author;
        double seconds = 0;
    };
    // Opens a file in the Media Player control and reads what it reports; nothing when it
    // cannot be opened.
    virtual std::optional<Clip> ReadClip(const QString& path) {
        (void)path;
        return std::nullopt;
    }
    // Before the re-check: media windows hidden, playback stopped. After it: the player's file back.
    virtual void StopForCheck() {}
    virtual void RestorePlayer() {}
    virtual void SetNoAutoStart(bool on) { (void)on; }
    // The per-track entry of the volume memory follows its file.
    virtual void RenameVolumeEntry(const QString& from, const QString& to) { (void)from, (void)to; }
    // The selected list's working copy is written and the lists are marked modified.
    virtual void SaveWorkingCopy() {}
    virtual void LetEventsRun() {}
    virtual void Beep() {}
};

// Fresh information for a row whose file exists, by its kind (the re-check pass).
void RecheckRow(TrackEntry& row, RepairHost& host);

// FileSearch's count: rows whose file is missing get kind and icon "nothing", the others their
// ordinary icon. Returns the number of missing ones.
int MarkBrokenRows(TrackListModel& rows);

// The row after its file was found at `newPath`: name, kind, sizes, icon and information of
// the new file; its start and end marks stay.
TrackEntry MovedRow(const TrackEntry& old, const QString& newPath);

// SearchBrokenLinks from a start folder: one walk of the tree, then every row marked "nothing"
// is looked up, first under the folder of the previous find. `log` gets the log lines;
// `stopped` is true once the user asked to stop (tested after each folder and each row).
class LinkSearch {
  public:
    LinkSearch(TrackListModel& rows, RepairHost& host) : rows_(rows), host_(host) {}
    // True when every broken row was looked at (not stopped).
    bool Run(const QString& startFolder, const std::function<void(const QString&)>& log,
             const std::function<bool()>& stopped);

    QString LastFoundFolder;
    int Rewritten = 0;

  private:
    TrackListModel& rows_;
    RepairHost& host_;
};

} // namespace kv::playlists
