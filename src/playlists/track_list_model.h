// The rows of one track view. The model is the single owner of the rows, their icons, their
// selection flags and the focused row; a TrackView mirrors the flags into Qt's selection model,
// so the list logic runs and is tested without any widget.
#pragma once
#include "playlists/track_entry.h"
#include "playlists/track_rows.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QStringView>
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

    int Count() const { return rows_.Count(); }
    bool IsValidRow(int row) const { return rows_.IsValid(row); }
    // A copy: the model keeps its rows packed, so there is no TrackEntry to refer to.
    TrackEntry Row(int row) const;
    // Every row unpacked, for whoever needs them all at once (saving a list, shuffling).
    QVector<TrackEntry> AllRows() const;
    // Made afresh from the packed row at every call (there is no stored QString to view).
    QString Text(int row, int column) const { return rows_.Text(row, column); }
    QString Path(int row) const { return Text(row, ColPath); }
    bool IsDirectory(int row) const { return IsValidRow(row) && rows_.IsDirectory(row); }
    QString Icon(int row) const { return IsValidRow(row) ? rows_.Icon(row) : QString(); }
    // The last row whose full path equals path exactly; -1 when none.
    int LastRowWithPath(const QString& path) const { return rows_.LastRowWithPath(path); }
    // The rows themselves, for writing them to a list file without unpacking them.
    const TrackRows& Rows() const { return rows_; }

    void Clear();
    void AppendRows(QVector<TrackEntry> rows) { InsertRows(Count(), std::move(rows)); }
    // Rows read straight into their compact form (a list file); they replace the model's rows.
    void SetRows(TrackRows rows);
    // One insertion per call however many rows; inserted rows arrive unselected.
    void InsertRows(int position, QVector<TrackEntry> rows);
    // Rows given in any order, duplicates and out-of-range indices ignored; removed from the last
    // to the first in contiguous blocks.
    void RemoveRows(QVector<int> rows);
    void RemoveRowAt(int row) { RemoveRows({row}); }

    void SetText(int row, int column, const QString& text);
    void SetIcon(int row, const QString& key);
    // For a batch of in-place edits: store each row's columns without a signal, then announce
    // the range once with RowsChanged. Icon and selection stay as they are.
    void StoreColumnsQuietly(int row, const TrackEntry& entry);
    void RowsChanged(int first, int last);

    // Reorders the rows by a stable sort of one column's texts; selection, icons and persistent
    // indexes follow them.
    void SortRows(int column, const std::function<bool(QStringView, QStringView)>& less);

    // Selection and focus as the list logic sets them; the view follows through the signals.
    bool IsSelected(int row) const { return IsValidRow(row) && rows_.IsSelected(row); }
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
    TrackRows rows_;
    std::array<QString, kTrackColumnCount> captions_;
    int current_ = -1;
};

} // namespace kv::playlists
