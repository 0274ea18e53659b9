#include "playlists/track_rows.h"

#include "playlists/list_text.h"
#include "playlists/track_format.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kv::playlists {

// ---- text table ----

void TextTable::Clear() {
    texts_ = {QString()};
    utf8_ = {QByteArray()};
    index_.clear();
    last_ = 0;
}

qint64 TextTable::Find(QStringView text) const {
    if (text.isEmpty()) return 0;
    if (texts_.at(last_) == text) return last_;
    const auto it = index_.constFind(text.toString());
    return it == index_.cend() ? -1 : qint64(*it);
}

quint32 TextTable::Index(QStringView text) {
    const qint64 found = Find(text);
    if (found >= 0) return last_ = quint32(found);
    last_ = quint32(texts_.size());
    texts_.push_back(text.toString());
    utf8_.push_back(text.toUtf8());
    index_.insert(texts_.back(), last_);
    return last_;
}

quint32 TextTable::Index(const QString& text) {
    return Index(QStringView(text));
}

// ---- records ----
//
// A row's record: a flags byte, the byte count when the padded column holds one, then each
// stored column as a length and its UTF-8 bytes, in the order of kStored. The kind is not in
// the record (the row holds its index), nor are the columns the flags say are derived.

namespace {

enum : quint8 {
    kFileIsName = 1, // the file column is the path's file name
    kBytes = 2,      // the padded column is PadBytes of the stored count
    kSizeShown = 4,  // the size column is FormatSize of the stored count
};
constexpr std::array<int, 9> kStored = {ColFile, ColArtist,      ColTitle, ColSize, ColTime,
                                        ColPath, ColDefaultSize, ColStart, ColEnd};
constexpr size_t kChunkBytes = size_t(1) << 20;
constexpr qsizetype kTrimAfterRows = 10000;

void PutCount(std::string& out, quint64 v) {
    while (v >= 0x80) {
        out += char(v | 0x80);
        v >>= 7;
    }
    out += char(v);
}

quint64 GetCount(const char*& p) {
    quint64 v = 0;
    for (int shift = 0;; shift += 7) {
        const quint8 b = quint8(*p++);
        v |= quint64(b & 0x7f) << shift;
        if (!(b & 0x80)) return v;
    }
}

// Encoded as the list files are, so a text is written exactly as it is kept.
void PutText(std::string& out, QStringView text) {
    char buffer[256];
    std::string encoded;
    const size_t room = size_t(text.size()) * 3;
    char* start = room <= sizeof buffer ? buffer : (encoded.resize(room), encoded.data());
    const size_t size = size_t(PutUtf8(start, text, true) - start);
    PutCount(out, quint64(size));
    out.append(start, size);
}

// n when text is exactly PadBytes(n).
std::optional<qint64> PaddedCount(const QString& text) {
    if (text.size() < 10 || text.size() > 18) return std::nullopt;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return std::nullopt;
    const qint64 n = text.toLongLong();
    if (PadBytes(n) != text) return std::nullopt;
    return n;
}

QString FromUtf8(std::string_view bytes) {
    return bytes.empty() ? QString() : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// Line breaks cannot stand inside a line of a list file.
char* PutLineText(char* o, const char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        *o++ = (c == '\r' || c == '\n') ? ' ' : c;
    }
    return o;
}

} // namespace

// Whether a column is made from others rather than stored, by the record's flags.
static bool IsDerived(quint8 flags, int column) {
    return (column == ColFile && (flags & kFileIsName)) || (column == ColSize && (flags & kSizeShown)) ||
           (column == ColDefaultSize && (flags & kBytes));
}

class TrackRows::Reader {
  public:
    explicit Reader(const char* p) {
        flags = quint8(*p++);
        if (flags & kBytes) bytes = qint64(GetCount(p));
        for (int column : kStored) {
            if (Derived(column)) continue;
            const size_t n = size_t(GetCount(p));
            fields[size_t(column)] = std::string_view(p, n);
            p += n;
        }
        end = p;
    }
    bool Derived(int column) const { return IsDerived(flags, column); }
    QString DerivedText(int column) const {
        return column == ColSize ? FormatSize(bytes) : column == ColDefaultSize ? PadBytes(bytes) : QString();
    }

    quint8 flags = 0;
    qint64 bytes = 0;
    std::array<std::string_view, kTrackColumnCount> fields;
    const char* end = nullptr;
};

TrackRows::Row TrackRows::Encode(const TrackEntry& entry) {
    Row row;
    const QString& path = entry[ColPath];
    const qsizetype slash = path.lastIndexOf(u'/');
    const QStringView name = slash < 0 ? QStringView(path) : QStringView(path).sliced(slash + 1);
    if (slash >= 0) row.folder = folders_.Index(QStringView(path).first(slash)) + 1;
    row.kind = kinds_.Index(entry[ColKind]);
    row.icon = icons_.Index(entry.icon) & 0x7fffffff;

    quint8 flags = 0;
    const std::optional<qint64> bytes = PaddedCount(entry[ColDefaultSize]);
    if (name == entry[ColFile]) flags |= kFileIsName;
    if (bytes) {
        flags |= kBytes;
        if (entry[ColSize] == FormatSize(*bytes)) flags |= kSizeShown;
    }
    std::string& out = scratch_;
    out.clear();
    out += char(flags);
    if (bytes) PutCount(out, quint64(*bytes));
    for (int column : kStored) {
        if (IsDerived(flags, column)) continue;
        PutText(out, column == ColPath ? name : QStringView(entry[column]));
    }
    Place(row, out.data(), out.size());
    return row;
}

void TrackRows::Place(Row& row, const char* record, size_t size) {
    if (chunks_.empty() || chunks_.back().used + size > chunks_.back().size) {
        Chunk chunk;
        chunk.size = std::max(kChunkBytes, size);
        chunk.bytes.reset(new char[chunk.size]);
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    row.chunk = quint32(chunks_.size() - 1);
    row.at = quint32(chunk.used);
    std::memcpy(chunk.bytes.get() + chunk.used, record, size);
    chunk.used += size;
    used_ += size;
}

size_t TrackRows::RecordSize(const Row& row) const {
    const char* start = Record(row);
    return size_t(Reader(start).end - start);
}

void TrackRows::Compact() {
    // Removed and rewritten rows leave their old records behind; once those outweigh the live
    // ones, the live ones are copied together and the old chunks freed.
    if (garbage_ < kChunkBytes || garbage_ < used_ / 2) return;
    std::vector<Chunk> old;
    old.swap(chunks_);
    used_ = 0;
    garbage_ = 0;
    for (Row& row : rows_) {
        const char* start = old[row.chunk].bytes.get() + row.at;
        Place(row, start, size_t(Reader(start).end - start));
    }
}

// ---- rows ----

void TrackRows::Clear() {
    std::vector<Row>().swap(rows_);
    std::vector<Chunk>().swap(chunks_);
    std::string().swap(scratch_);
    garbage_ = used_ = 0;
    folders_.Clear();
    kinds_.Clear();
    icons_.Clear();
}

void TrackRows::Append(const TrackEntry& entry) {
    rows_.push_back(Encode(entry));
}

void TrackRows::Insert(int position, QVector<TrackEntry>& entries) {
    position = std::clamp(position, 0, Count());
    std::vector<Row> added;
    added.reserve(size_t(entries.size()));
    // A list the caller still shares is only read: emptying it would copy it first.
    const bool own = entries.isDetached();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        added.push_back(Encode(std::as_const(entries)[i]));
        if (own) entries[i] = TrackEntry();
    }
    rows_.insert(rows_.begin() + position, added.begin(), added.end());
#ifdef __GLIBC__
    // The separate texts of many rows leave the heap full of small free blocks that this
    // process will not soon use again; handing their pages back keeps what stays resident
    // what the rows now take.
    if (entries.size() >= kTrimAfterRows) malloc_trim(0);
#endif
}

void TrackRows::Remove(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    for (int i = first; i <= last; ++i)
        garbage_ += RecordSize(rows_[size_t(i)]);
    rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
    if (rows_.empty())
        Clear();
    else
        Compact();
}

void TrackRows::Reorder(const QVector<int>& order) {
    std::vector<Row> reordered;
    reordered.reserve(size_t(order.size()));
    for (int i : order)
        reordered.push_back(rows_[size_t(i)]);
    rows_.swap(reordered);
}

TrackEntry TrackRows::Entry(int row) const {
    const Row& r = rows_[size_t(row)];
    const Reader fields(Record(r));
    TrackEntry entry;
    for (int column : kStored)
        entry[column] =
            fields.Derived(column) ? fields.DerivedText(column) : FromUtf8(fields.fields[size_t(column)]);
    const QString name = entry[ColPath];
    if (fields.flags & kFileIsName) entry[ColFile] = name;
    if (r.folder != 0) entry[ColPath] = Folder(r.folder) + u'/' + name;
    entry[ColKind] = Kind(row);
    entry.icon = Icon(row);
    entry.selected = r.selected;
    return entry;
}

QString TrackRows::FileName(int row) const {
    return FromUtf8(Reader(Record(rows_[size_t(row)])).fields[ColPath]);
}

QString TrackRows::Text(int row, int column) const {
    if (!IsValid(row) || column < 0 || column >= kTrackColumnCount) return QString();
    if (column == ColKind) return Kind(row);
    const Row& r = rows_[size_t(row)];
    const Reader fields(Record(r));
    if (column == ColPath || (column == ColFile && (fields.flags & kFileIsName))) {
        const QString name = FromUtf8(fields.fields[ColPath]);
        return column == ColPath && r.folder != 0 ? Folder(r.folder) + u'/' + name : name;
    }
    return fields.Derived(column) ? fields.DerivedText(column) : FromUtf8(fields.fields[size_t(column)]);
}

void TrackRows::SetColumns(int row, const TrackEntry& entry) {
    Row& old = rows_[size_t(row)];
    garbage_ += RecordSize(old);
    Row fresh = Encode(entry);
    fresh.icon = old.icon;
    fresh.selected = old.selected;
    rows_[size_t(row)] = fresh;
    Compact();
}

int TrackRows::LastRowWithPath(const QString& path) const {
    const qsizetype slash = path.lastIndexOf(u'/');
    quint32 folder = 0;
    if (slash >= 0) {
        const qint64 found = folders_.Find(QStringView(path).first(slash));
        if (found < 0) return -1;
        folder = quint32(found) + 1;
    }
    const QByteArray name = QStringView(path).sliced(slash + 1).toUtf8();
    const std::string_view wanted(name.constData(), size_t(name.size()));
    for (int i = Count() - 1; i >= 0; --i) {
        const Row& r = rows_[size_t(i)];
        if (r.folder == folder && Reader(Record(r)).fields[ColPath] == wanted) return i;
    }
    return -1;
}

size_t TrackRows::RecordRoom(int row) const {
    const Row& r = rows_[size_t(row)];
    const Reader fields(Record(r));
    const size_t name = fields.fields[ColPath].size();
    const size_t folder = r.folder != 0 ? size_t(folders_.Utf8(r.folder - 1).size()) + 1 : 0;
    return size_t(fields.end - Record(r)) + folder + name + size_t(kinds_.Utf8(r.kind).size()) + 2 * 20 +
           kTrackColumnCount * 4 + 3;
}

char* TrackRows::PutRecord(int row, char* o) const {
    const Row& r = rows_[size_t(row)];
    const Reader fields(Record(r));
    const std::string_view name = fields.fields[ColPath];
    auto put = [&](std::string_view bytes) { o = PutLineText(o, bytes.data(), bytes.size()); };
    auto putUtf8 = [&](const QByteArray& bytes) {
        put(std::string_view(bytes.constData(), size_t(bytes.size())));
    };
    // The column index is written as it is: these numbers are the file format.
    for (int c = 0; c < kTrackColumnCount; ++c) {
        *o++ = char('0' + c);
        *o++ = ':';
        if (c == ColKind) {
            putUtf8(kinds_.Utf8(r.kind));
        } else if (c == ColPath) {
            if (r.folder != 0) {
                putUtf8(folders_.Utf8(r.folder - 1));
                *o++ = '/';
            }
            put(name);
        } else if (c == ColFile && (fields.flags & kFileIsName)) {
            put(name);
        } else if (fields.Derived(c)) {
            putUtf8(fields.DerivedText(c).toUtf8());
        } else {
            put(fields.fields[size_t(c)]);
        }
        *o++ = '\r';
        *o++ = '\n';
    }
    *o++ = '@';
    *o++ = '\r';
    *o++ = '\n';
    return o;
}

} // namespace kv::playlists
