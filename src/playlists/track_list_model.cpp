#include "playlists/track_list_model.h"

#include "playlists/track_icons.h"

#include <QMimeData>
#include <algorithm>
#include <numeric>

namespace kv::playlists {

TrackListModel::TrackListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int c = 0; c < kTrackColumnCount; ++c)
        captions_[c] = ColumnCaption(c);
}

int TrackListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int TrackListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTrackColumnCount;
}

TrackEntry TrackListModel::Row(int row) const {
    return IsValidRow(row) ? rows_.Entry(row) : TrackEntry();
}

QVector<TrackEntry> TrackListModel::AllRows() const {
    QVector<TrackEntry> out;
    out.reserve(Count());
    for (int row = 0; row < Count(); ++row)
        out.push_back(rows_.Entry(row));
    return out;
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsValidRow(index.row()) || index.column() >= kTrackColumnCount) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return rows_.Text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (IsRightAligned(index.column())) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DecorationRole:
        if (index.column() == ColFile && !rows_.Icon(index.row()).isEmpty())
            return ListViewImage().Icon(rows_.Icon(index.row()));
        return {};
    default:
        return {};
    }
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kTrackColumnCount) return {};
    if (role == Qt::DisplayRole) return captions_[section];
    if (role == Qt::TextAlignmentRole && IsRightAligned(section))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TrackListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsDropEnabled;
    if (index.isValid())
        f |= Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    return f;
}

Qt::DropActions TrackListModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}
Qt::DropActions TrackListModel::supportedDragActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}
QStringList TrackListModel::mimeTypes() const {
    return {kRowsMimeType};
}

QMimeData* TrackListModel::mimeData(const QModelIndexList& indexes) const {
    // The rows themselves travel through the selection of the source view; the data only says
    // "rows" and names the focused row's file for drops outside the views.
    auto* mime = new QMimeData;
    QString path;
    for (const QModelIndex& i : indexes)
        if (IsValidRow(i.row())) {
            path = Path(i.row());
            break;
        }
    if (IsValidRow(current_)) path = Path(current_);
    mime->setData(kRowsMimeType, path.toUtf8());
    return mime;
}

void TrackListModel::Clear() {
    if (rows_.Count() == 0 && current_ < 0) return;
    beginResetModel();
    rows_.Clear();
    current_ = -1;
    endResetModel();
}

void TrackListModel::SetRows(TrackRows rows) {
    beginResetModel();
    rows_ = std::move(rows);
    for (int row = 0; row < Count(); ++row)
        rows_.SetSelected(row, false);
    current_ = -1;
    endResetModel();
}

void TrackListModel::InsertRows(int position, QVector<TrackEntry> rows) {
    if (rows.isEmpty()) return;
    position = std::clamp(position, 0, Count());
    const int added = int(rows.size());
    beginInsertRows(QModelIndex(), position, position + added - 1);
    rows_.Insert(position, rows);
    if (current_ >= position) current_ += added;
    endInsertRows();
}

void TrackListModel::RemoveRows(QVector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](int r) { return !IsValidRow(r); }), rows.end());
    // Last block first, so the earlier indices stay valid.
    int i = int(rows.size()) - 1;
    while (i >= 0) {
        int last = rows[i];
        int first = last;
        while (i > 0 && rows[i - 1] == first - 1)
            first = rows[--i];
        --i;
        beginRemoveRows(QModelIndex(), first, last);
        rows_.Remove(first, last);
        if (current_ > last)
            current_ -= last - first + 1;
        else if (current_ >= first)
            current_ = -1;
        endRemoveRows();
    }
}

void TrackListModel::SetText(int row, int column, const QString& text) {
    if (!IsValidRow(row) || column < 0 || column >= kTrackColumnCount) return;
    TrackEntry entry = rows_.Entry(row);
    if (entry.columns[column] == text) return;
    entry.columns[column] = text;
    rows_.SetColumns(row, entry);
    emit dataChanged(index(row, column), index(row, column));
}

void TrackListModel::SetIcon(int row, const QString& key) {
    if (!IsValidRow(row) || rows_.Icon(row) == key) return;
    rows_.SetIcon(row, key);
    emit dataChanged(index(row, ColFile), index(row, ColFile), {Qt::DecorationRole});
}

void TrackListModel::StoreColumnsQuietly(int row, const TrackEntry& entry) {
    if (IsValidRow(row)) rows_.SetColumns(row, entry);
}

void TrackListModel::RowsChanged(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    emit dataChanged(index(first, 0), index(last, kTrackColumnCount - 1));
}

void TrackListModel::SortRows(int column, const std::function<bool(QStringView, QStringView)>& less) {
    if (Count() < 2 || column < 0 || column >= kTrackColumnCount) return;
    // The column of every row made once, not twice per comparison.
    QVector<QString> keys;
    keys.reserve(Count());
    for (int row = 0; row < Count(); ++row)
        keys.push_back(rows_.Text(row, column));
    QVector<int> order(Count());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(keys[a], keys[b]); });
    keys = {};

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QVector<int> newRowOf(Count());
    for (int i = 0; i < order.size(); ++i)
        newRowOf[order[i]] = i;
    rows_.Reorder(order);
    if (current_ >= 0) current_ = newRowOf[current_];
    QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.push_back(index(newRowOf[i.row()], i.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QVector<int> TrackListModel::SelectedRows() const {
    QVector<int> out;
    for (int i = 0; i < Count(); ++i)
        if (rows_.IsSelected(i)) out.push_back(i);
    return out;
}

int TrackListModel::SelectedCount() const {
    int count = 0;
    for (int i = 0; i < Count(); ++i)
        count += rows_.IsSelected(i);
    return count;
}

void TrackListModel::SetSelected(int row, bool selected) {
    if (!IsValidRow(row) || rows_.IsSelected(row) == selected) return;
    rows_.SetSelected(row, selected);
    emit SelectionFlagsChanged();
}

void TrackListModel::SelectOnly(const QVector<int>& selectedRows) {
    for (int i = 0; i < Count(); ++i)
        rows_.SetSelected(i, false);
    for (int r : selectedRows)
        if (IsValidRow(r)) rows_.SetSelected(r, true);
    emit SelectionFlagsChanged();
}

void TrackListModel::SetAllSelected(bool selected) {
    for (int i = 0; i < Count(); ++i)
        rows_.SetSelected(i, selected);
    emit SelectionFlagsChanged();
}

void TrackListModel::SetCurrentRow(int row) {
    current_ = IsValidRow(row) ? row : -1;
    emit CurrentRowSet(current_);
}

void TrackListModel::SyncSelectedFromView(int row, bool selected) {
    if (IsValidRow(row)) rows_.SetSelected(row, selected);
}

void TrackListModel::SyncCurrentFromView(int row) {
    current_ = IsValidRow(row) ? row : -1;
}

QString TrackListModel::HeaderCaption(int column) const {
    if (column < 0 || column >= kTrackColumnCount) return QString();
    return captions_[column];
}

void TrackListModel::SetHeaderCaption(int column, const QString& caption) {
    if (column < 0 || column >= kTrackColumnCount || captions_[column] == caption) return;
    captions_[column] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

} // namespace kv::playlists
