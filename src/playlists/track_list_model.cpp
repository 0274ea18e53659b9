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

namespace {
// An empty column reads as a null text, as it was before it was packed.
QString ToText(QStringView view) {
    return view.isEmpty() ? QString() : view.toString();
}
} // namespace

QStringView TrackListModel::Slice(const QString& texts, int column) {
    if (texts.isEmpty()) return {};
    const QStringView all(texts);
    qsizetype start = 0;
    for (int c = 0; c < column; ++c) {
        const qsizetype nul = all.indexOf(QChar(0), start);
        if (nul < 0) return {};
        start = nul + 1;
    }
    qsizetype end = all.indexOf(QChar(0), start);
    if (end < 0) end = all.size();
    return all.sliced(start, end - start);
}

QString TrackListModel::Pack(const TrackEntry& entry) {
    qsizetype length = 0;
    for (const QString& text : entry.columns)
        length += text.size();
    if (length == 0) return QString();
    QString texts;
    texts.reserve(length + kTrackColumnCount - 1);
    for (int c = 0; c < kTrackColumnCount; ++c) {
        if (c > 0) texts.append(QChar(0));
        // U+0000 separates the columns, so a text is taken up to its first NUL, as texts from
        // tags and settings are; otherwise a damaged list file could shift a row's columns.
        const QString& text = entry.columns[c];
        const qsizetype nul = text.indexOf(QChar(0));
        texts.append(nul < 0 ? QStringView(text) : QStringView(text).first(nul));
    }
    // Exactly the joined length: the spare capacity of every row would add up.
    texts.squeeze();
    return texts;
}

quint32 TrackListModel::IconIndex(const QString& key) {
    if (key.isEmpty()) return 0;
    auto it = iconIndex_.constFind(key);
    if (it != iconIndex_.cend()) return *it;
    const quint32 index = quint32(iconKeys_.size());
    iconKeys_.push_back(key);
    iconIndex_.insert(key, index);
    return index;
}

PackedTrackRow TrackListModel::Pack(const TrackEntry& entry, bool selected) {
    PackedTrackRow packed;
    packed.texts = Pack(entry);
    packed.icon = IconIndex(entry.icon);
    packed.selected = selected;
    return packed;
}

TrackEntry TrackListModel::Unpack(const PackedTrackRow& row) const {
    TrackEntry entry;
    if (!row.texts.isEmpty()) {
        const QStringView all(row.texts);
        qsizetype start = 0;
        for (int c = 0; c < kTrackColumnCount; ++c) {
            qsizetype end = all.indexOf(QChar(0), start);
            if (end < 0) end = all.size();
            entry.columns[c] = ToText(all.sliced(start, end - start));
            start = std::min(end + 1, all.size());
        }
    }
    entry.icon = iconKeys_.at(row.icon);
    entry.selected = row.selected;
    return entry;
}

TrackEntry TrackListModel::Row(int row) const {
    return Unpack(rows_.at(row));
}

QVector<TrackEntry> TrackListModel::AllRows() const {
    QVector<TrackEntry> out;
    out.reserve(rows_.size());
    for (const PackedTrackRow& r : rows_)
        out.push_back(Unpack(r));
    return out;
}

QString TrackListModel::Icon(int row) const {
    return IsValidRow(row) ? iconKeys_.at(rows_[row].icon) : QString();
}

QStringView TrackListModel::TextView(int row, int column) const {
    if (!IsValidRow(row) || column < 0 || column >= kTrackColumnCount) return {};
    return Slice(rows_[row].texts, column);
}

QString TrackListModel::Text(int row, int column) const {
    return ToText(TextView(row, column));
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsValidRow(index.row()) || index.column() >= kTrackColumnCount) return {};
    const PackedTrackRow& entry = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return ToText(Slice(entry.texts, index.column()));
    case Qt::TextAlignmentRole:
        if (IsRightAligned(index.column())) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DecorationRole:
        if (index.column() == ColFile && entry.icon != 0)
            return ListViewImage().Icon(iconKeys_.at(entry.icon));
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
    if (rows_.isEmpty() && current_ < 0) return;
    beginResetModel();
    rows_.clear();
    current_ = -1;
    endResetModel();
}

void TrackListModel::InsertRows(int position, QVector<TrackEntry> rows) {
    if (rows.isEmpty()) return;
    position = std::clamp(position, 0, Count());
    const int added = int(rows.size());
    QVector<PackedTrackRow> packed;
    packed.reserve(added);
    for (TrackEntry& r : rows) {
        packed.push_back(Pack(r, false));
        // Freed at once, so the next rows' joined texts can take the place of these.
        r = TrackEntry();
    }
    rows.clear();
    rows.squeeze();
    beginInsertRows(QModelIndex(), position, position + added - 1);
    QVector<PackedTrackRow> merged;
    merged.reserve(rows_.size() + added);
    for (int i = 0; i < position; ++i)
        merged.push_back(std::move(rows_[i]));
    for (PackedTrackRow& r : packed)
        merged.push_back(std::move(r));
    for (qsizetype i = position; i < rows_.size(); ++i)
        merged.push_back(std::move(rows_[i]));
    rows_ = std::move(merged);
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
    if (Slice(rows_[row].texts, column) == text) return;
    TrackEntry entry = Unpack(rows_[row]);
    entry.columns[column] = text;
    rows_[row].texts = Pack(entry);
    emit dataChanged(index(row, column), index(row, column));
}

void TrackListModel::SetIcon(int row, const QString& key) {
    if (!IsValidRow(row) || iconKeys_.at(rows_[row].icon) == key) return;
    rows_[row].icon = IconIndex(key);
    emit dataChanged(index(row, ColFile), index(row, ColFile), {Qt::DecorationRole});
}

void TrackListModel::StoreColumnsQuietly(int row, const TrackEntry& entry) {
    if (IsValidRow(row)) rows_[row].texts = Pack(entry);
}

void TrackListModel::RowsChanged(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    emit dataChanged(index(first, 0), index(last, kTrackColumnCount - 1));
}

void TrackListModel::SortRows(int column, const std::function<bool(QStringView, QStringView)>& less) {
    if (rows_.size() < 2 || column < 0 || column >= kTrackColumnCount) return;
    // The column of every row found once, not twice per comparison.
    QVector<QStringView> keys;
    keys.reserve(rows_.size());
    for (const PackedTrackRow& r : rows_)
        keys.push_back(Slice(r.texts, column));
    QVector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(keys[a], keys[b]); });
    keys.clear();

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QVector<int> newRowOf(rows_.size());
    QVector<PackedTrackRow> sorted;
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
    return int(std::count_if(rows_.begin(), rows_.end(), [](const PackedTrackRow& e) { return e.selected; }));
}

void TrackListModel::SetSelected(int row, bool selected) {
    if (!IsValidRow(row) || rows_[row].selected == selected) return;
    rows_[row].selected = selected;
    emit SelectionFlagsChanged();
}

void TrackListModel::SelectOnly(const QVector<int>& selectedRows) {
    for (PackedTrackRow& e : rows_)
        e.selected = false;
    for (int r : selectedRows)
        if (IsValidRow(r)) rows_[r].selected = true;
    emit SelectionFlagsChanged();
}

void TrackListModel::SetAllSelected(bool selected) {
    for (PackedTrackRow& e : rows_)
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
