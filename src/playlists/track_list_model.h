// The rows of one track view. The model is the single owner of the rows, their icons, their
// selection flags and the focused row; a TrackView mirrors the flags into Qt's selection model,
// so the list logic runs and is tested without any widget.
#pragma once
#include "playlists/track_entry.h"

#include <QAbstractTableModel>
#include <QVector>
#include <array>
#include <functional>

namespace kv::playlists {

class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // The drag of rows between views carries only this format, never file URLs: a drop without
    // files is a row move.
    static inline const QString kRowsMimeType = QStringLiteral("application/x-kavetto-track-rows");

    explicit TrackListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    int Count() const { return int(rows_.size()); }
    bool IsValidRow(int row) const { return row >= 0 && row < rows_.size(); }
    const TrackEntry& Row(int row) const { return rows_.at(row); }
    const QVector<TrackEntry>& Rows() const { return rows_; }
    QString Text(int row, int column) const;

    void Clear();
    void AppendRows(QVector<TrackEntry> rows) { InsertRows(Count(), std::move(rows)); }
    // One insertion per call however many rows; inserted rows arrive unselected.
    void InsertRows(int position, QVector<TrackEntry> rows);
    // Rows given in any order, duplicates and out-of-range indices ignored; removed from the last
    // to the first in contiguous blocks.
    void RemoveRows(QVector<int> rows);
    void RemoveRowAt(int row) { RemoveRows({row}); }

    void SetText(int row, int column, const QString& text);
    void SetIcon(int row, const QString& key);
    // For a batch of in-place edits: change rows through MutableRow, then announce the range once.
    TrackEntry& MutableRow(int row) { return rows_[row]; }
    void RowsChanged(int first, int last);

    // Reorders the rows by a stable sort; selection, icons and persistent indexes follow them.
    void SortRows(const std::function<bool(const TrackEntry&, const TrackEntry&)>& less);

    // Selection and focus as the list logic sets them; the view follows through the signals.
    bool IsSelected(int row) const { return IsValidRow(row) && rows_[row].selected; }
    QVector<int> SelectedRows() const;
    int SelectedCount() const;
    void SetSelected(int row, bool selected);
    void SelectOnly(const QVector<int>& rows);
    void SetAllSelected(bool selected);
    int CurrentRow() const { return current_; }
    void SetCurrentRow(int row);
    // The view reports what the user did; these change the flags without echoing back.
    void SyncSelectedFromView(int row, bool selected);
    void SyncCurrentFromView(int row);

    QString HeaderCaption(int column) const;
    void SetHeaderCaption(int column, const QString& caption);

    void RequestScrollTo(int row) {
        if (IsValidRow(row)) emit ScrollToRowRequested(row);
    }
    void RequestFocus() { emit FocusRequested(); }

  signals:
    void SelectionFlagsChanged();
    void CurrentRowSet(int row);
    void ScrollToRowRequested(int row);
    void FocusRequested();

  private:
    QVector<TrackEntry> rows_;
    std::array<QString, kTrackColumnCount> captions_;
    int current_ = -1;
};

} // namespace kv::playlists
