#include "playlists/track_list_model.h"

#include <QSet>

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

QString TrackListModel::Text(int row, int column) const {
    if (!IsValidRow(row) || column < 0 || column >= kTrackColumnCount) return QString();
    return rows_[row].columns[column];
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsValidRow(index.row()) || index.column() >= kTrackColumnCount) return {};
    const TrackEntry& entry = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return entry.columns[index.column()];
    case Qt::TextAlignmentRole:
        if (IsRightAligned(index.column())) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DecorationRole:
        if (index.column() == ColFile && !entry.icon.isEmpty()) return ListViewImage().Icon(entry.icon);
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
            path = rows_[i.row()].Path();
            break;
        }
    if (IsValidRow(current_)) path = rows_[current_].Path();
    mime->setData(kRowsMimeType, path.toUtf8());
    return mime;
}

void TrackListModel::Clear() {
    if (rows_.isEmpty() && current_ < 0) return;
    beginResetModel();
    rows_.clear();
    current_ = -1;
    endResetModel();
}

namespace {
// Kinds, icon keys, shown sizes and play times repeat from row to row; rows share one copy of
// each such text instead of holding their own (a long list is mostly these short texts).
void ShareRepeatedTexts(TrackEntry& row) {
    static QSet<QString> pool;
    if (pool.size() > 200000) pool.clear(); // sizes and times of a huge library: start afresh
    auto share = [](QString& text) {
        if (text.isEmpty()) return;
        auto it = pool.constFind(text);
        if (it != pool.cend()) text = *it;
        else pool.insert(text);
    };
    share(row.columns[ColKind]);
    share(row.columns[ColSize]);
    share(row.columns[ColTime]);
    share(row.columns[ColArtist]);
    share(row.icon);
}
} // namespace

void TrackListModel::InsertRows(int position, QVector<TrackEntry> rows) {
    if (rows.isEmpty()) return;
    position = std::clamp(position, 0, Count());
    for (TrackEntry& r : rows) {
        r.selected = false;
        ShareRepeatedTexts(r);
    }
    beginInsertRows(QModelIndex(), position, position + int(rows.size()) - 1);
    QVector<TrackEntry> merged;
    merged.reserve(rows_.size() + rows.size());
    for (int i = 0; i < position; ++i)
        merged.push_back(std::move(rows_[i]));
    for (TrackEntry& r : rows)
        merged.push_back(std::move(r));
    for (qsizetype i = position; i < rows_.size(); ++i)
        merged.push_back(std::move(rows_[i]));
    rows_ = std::move(merged);
    if (current_ >= position) current_ += int(rows.size());
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
        rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
        if (current_ > last)
            current_ -= last - first + 1;
        else if (current_ >= first)
            current_ = -1;
        endRemoveRows();
    }
}

void TrackListModel::SetText(int row, int column, const QString& text) {
    if (!IsValidRow(row) || column < 0 || column >= kTrackColumnCount) return;
    if (rows_[row].columns[column] == text) return;
    rows_[row].columns[column] = text;
    emit dataChanged(index(row, column), index(row, column));
}

void TrackListModel::SetIcon(int row, const QString& key) {
    if (!IsValidRow(row) || rows_[row].icon == key) return;
    rows_[row].icon = key;
    emit dataChanged(index(row, ColFile), index(row, ColFile), {Qt::DecorationRole});
}

void TrackListModel::RowsChanged(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    emit dataChanged(index(first, 0), index(last, kTrackColumnCount - 1));
}

void TrackListModel::SortRows(const std::function<bool(const TrackEntry&, const TrackEntry&)>& less) {
    if (rows_.size() < 2) return;
    QVector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(rows_[a], rows_[b]); });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QVector<int> newRowOf(rows_.size());
    QVector<TrackEntry> sorted;
    sorted.reserve(rows_.size());
    for (int i = 0; i < order.size(); ++i) {
        newRowOf[order[i]] = i;
        sorted.push_back(std::move(rows_[order[i]]));
    }
    rows_ = std::move(sorted);
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
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_[i].selected) out.push_back(i);
    return out;
}

int TrackListModel::SelectedCount() const {
    return int(std::count_if(rows_.begin(), rows_.end(), [](const TrackEntry& e) { return e.selected; }));
}

void TrackListModel::SetSelected(int row, bool selected) {
    if (!IsValidRow(row) || rows_[row].selected == selected) return;
    rows_[row].selected = selected;
    emit SelectionFlagsChanged();
}

void TrackListModel::SelectOnly(const QVector<int>& selectedRows) {
    for (TrackEntry& e : rows_)
        e.selected = false;
    for (int r : selectedRows)
        if (IsValidRow(r)) rows_[r].selected = true;
    emit SelectionFlagsChanged();
}

void TrackListModel::SetAllSelected(bool selected) {
    for (TrackEntry& e : rows_)
        e.selected = selected;
    emit SelectionFlagsChanged();
}

void TrackListModel::SetCurrentRow(int row) {
    current_ = IsValidRow(row) ? row : -1;
    emit CurrentRowSet(current_);
}

void TrackListModel::SyncSelectedFromView(int row, bool selected) {
    if (IsValidRow(row)) rows_[row].selected = selected;
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
