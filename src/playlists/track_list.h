// The track views and every operation on their rows: finding, sorting, shuffling, deleting,
// moving, the drops, the selection totals, the play marker, and turning files and folders into
// rows. Display-free: widgets (TrackView) report events here and follow the models' signals.
//
// Threads: everything runs on the UI thread. The filling loops let pending events run every
// fifth row, so any operation here may run inside another one; the loops therefore keep no row
// index across those points (they work on their own copies or look their row up again).
#pragma once
#include "playlists/track_list_host.h"
#include "playlists/track_list_model.h"

#include <QStringList>
#include <array>
#include <functional>
#include <memory>

namespace kv::playlists {

// The indexed group ListView(0..2) with each view's sort state (kept while the program runs).
class TrackViews {
  public:
    static constexpr int kFolderView = 0;
    static constexpr int kPlaylistView = 1;
    static constexpr int kScratchView = 2; // hidden; empty between operations
    static constexpr int kCount = 3;

    TrackViews();
    TrackListModel& operator[](int view) { return *models_.at(view); }
    const TrackListModel& operator[](int view) const { return *models_.at(view); }
    static bool IsView(int view) { return view >= 0 && view < kCount; }

    struct SortState {
        Qt::SortOrder order = Qt::AscendingOrder; // the list control's default before any click
        int column = ColFile;
    };
    SortState& Sort(int view) { return sort_.at(view); }

  private:
    std::array<std::unique_ptr<TrackListModel>, kCount> models_;
    std::array<SortState, kCount> sort_;
};

class TrackList {
  public:
    explicit TrackList(TrackListHost& host);

    TrackListState& State() { return state_; }
    const TrackListState& State() const { return state_; }
    TrackViews& Views() { return views_; }
    TrackListModel& ListView(int view) { return views_[view]; }

    // The last row whose full path equals path exactly, 1-based; 0 when there is none.
    int FindRow(int view, const QString& path) const;
    // The row the view's commands act on: the focused row, else the first selected; -1 if none.
    int SelectedItem(int view) const;

    // A click on a column header: sort once by that column's text, flipping the order each time.
    void SortByColumn(int view, int column);
    void ShuffleRows(int view);
    void DeleteSelectedRows(int view);
    void SelectAllRows(int view);
    // Rows dragged onto the playlist view from `source`, dropped on targetRow (-1: below the rows).
    void MoveDroppedRows(int source, int targetRow);
    // A drop on a view. hasFiles: the drag data carries files (paths); otherwise it carries rows.
    void DropOnView(int view, const QStringList& paths, bool hasFiles, int targetRow);
    void UpdateSelectionTotals();
    void ShowRowInfo(int view, int row);
    // Gives the playing file's row in `view` the play mark and scrolls to it, when `view` is the
    // playing view. The host calls it after switching lists too.
    void MarkPlayingRow(int view);
    // Deselects every row of views 0 and 1 and gives marked rows their ordinary icon back.
    void ClearPlayMarkers();

    // Events of the view widgets.
    void MousePressed(int view, int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                      const QPoint& globalPos);
    void MouseReleased(int view);
    void RowClicked(int view, int row);
    void FocusEntered(int view);
    void RowActivated(int view); // double click or Enter
    // True when the key was one of the views' own shortcuts.
    bool KeyPressed(int view, int key, Qt::KeyboardModifiers modifiers);
    void KeyReleased(int view, int key);

    // Files into rows.
    void InsertDroppedFiles(const QStringList& paths, int targetRow);
    void FillFolderView();
    void AddFolderRows(const QString& folder);
    bool OpenFolderRow();
    void RefreshLists();
    void OpenTrack(const QString& path);

    // Uniform in [0, 1); tests replace it to make the shuffle repeatable.
    void SetRandomSource(std::function<double()> random) { random_ = std::move(random); }

  private:
    void SaveSelectedList(bool markModified);
    static void LetEventsRun(int rowNumber);
    // Once per action that met them: files whose names hold a line break are not added.
    static void ShowLineBreakNamesRefused();

    TrackListHost& host_;
    TrackListState state_;
    TrackViews views_;
    std::function<double()> random_;
    int folderFillGeneration_ = 0;
};

} // namespace kv::playlists
