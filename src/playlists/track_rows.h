// The rows of a track view as they are kept in memory. A long list is mostly its rows, so each
// row is a small fixed record plus its texts in UTF-8 in a shared arena; the folder of the path
// (shared by the rows of one folder), the kind and the icon key are indices into tables of their
// own; the file name, the shown size and the padded byte count are not kept when they are what
// the path and the byte count give, and are made again when asked for.
#pragma once
#include "playlists/track_entry.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kv::playlists {

// Texts seen again and again (folders, kinds, icon keys), each kept once; index 0 is the empty text.
class TextTable {
  public:
    TextTable() { Clear(); }
    quint32 Index(const QString& text);
    quint32 Index(QStringView text);
    const QString& At(quint32 index) const { return texts_.at(index); }
    const QByteArray& Utf8(quint32 index) const { return utf8_.at(index); }
    // The index of text when it is in the table, else -1.
    qint64 Find(QStringView text) const;
    void Clear();

  private:
    QStringList texts_;
    std::vector<QByteArray> utf8_; // the same texts as a list file holds them
    QHash<QString, quint32> index_;
    quint32 last_ = 0; // rows of a folder mostly follow each other
};

class TrackRows {
  public:
    TrackRows() = default;
    TrackRows(TrackRows&&) noexcept = default;
    TrackRows& operator=(TrackRows&&) noexcept = default;
    TrackRows(const TrackRows&) = delete;
    TrackRows& operator=(const TrackRows&) = delete;

    int Count() const { return int(rows_.size()); }
    bool IsValid(int row) const { return row >= 0 && row < Count(); }
    void Clear();

    // The entry's columns and icon; rows arrive unselected.
    void Append(const TrackEntry& entry);
    // The entries are emptied as they are taken in, so their texts are freed on the way.
    void Insert(int position, QVector<TrackEntry>& entries);
    // Rows first..last, both included.
    void Remove(int first, int last);
    // Row i of the result is row order[i] of before.
    void Reorder(const QVector<int>& order);

    TrackEntry Entry(int row) const;
    QString Text(int row, int column) const;
    void SetColumns(int row, const TrackEntry& entry);

    const QString& Kind(int row) const { return kinds_.At(rows_[size_t(row)].kind); }
    bool IsDirectory(int row) const { return Kind(row) == kKindDirectory; }
    const QString& Icon(int row) const { return icons_.At(rows_[size_t(row)].icon); }
    void SetIcon(int row, const QString& key) { rows_[size_t(row)].icon = icons_.Index(key); }
    void SetKind(int row, const QString& kind) { rows_[size_t(row)].kind = kinds_.Index(kind); }
    bool IsSelected(int row) const { return rows_[size_t(row)].selected; }
    void SetSelected(int row, bool selected) { rows_[size_t(row)].selected = selected; }

    // The path's folder (the text before its last "/") as an index shared by the rows of that
    // folder; 0 when the path holds no "/".
    quint32 FolderIndex(int row) const { return rows_[size_t(row)].folder; }
    const QString& Folder(quint32 index) const { return folders_.At(index - 1); }
    // The path after its folder and "/" (the whole path when it holds none).
    QString FileName(int row) const;
    // The last row whose path is exactly path, -1 when none; without making every row's path.
    int LastRowWithPath(const QString& path) const;

    // Appends the row's record in the list file format (see list_files.h): UTF-8, CR LF, line
    // breaks inside texts written as blanks. At most RecordRoom(row) bytes.
    size_t RecordRoom(int row) const;
    char* PutRecord(int row, char* out) const;

  private:
    struct Row {
        quint32 chunk = 0;
        quint32 at = 0;
        quint32 folder = 0;
        quint32 kind = 0;
        quint32 icon : 31 = 0;
        quint32 selected : 1 = 0;
    };
    class Reader;
    struct Chunk {
        std::unique_ptr<char[]> bytes;
        size_t size = 0;
        size_t used = 0;
    };

    Row Encode(const TrackEntry& entry);
    // Copies a record into the last chunk (a new one when it is full) and points the row at it.
    void Place(Row& row, const char* record, size_t size);
    const char* Record(const Row& row) const { return chunks_[row.chunk].bytes.get() + row.at; }
    size_t RecordSize(const Row& row) const;
    void Compact();

    std::vector<Row> rows_;
    std::vector<Chunk> chunks_;
    std::string scratch_;
    size_t garbage_ = 0; // bytes of records no row refers to any more
    size_t used_ = 0;
    TextTable folders_, kinds_, icons_;
};

} // namespace kv::playlists
