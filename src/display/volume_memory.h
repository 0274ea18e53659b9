// ListVol, the volume memory: per track file its volume and its start and end marks, kept in
// memory while the program runs and in "volume.cfg" beside the settings between runs.
//
// "volume.cfg" format (stored files rely on it; it must not change): per entry the lines
// "0:" + full path, "1:" + volume, "2:" + start mark, "3:" + end mark, then "@"; CR LF ends.
// Written in UTF-8; read as UTF-8, or CP932 line by line.
#pragma once
#include <QHash>
#include <QString>
#include <QVector>
#include <array>
#include <functional>
#include <optional>
#include <string>

namespace kv::playlists {
class LineReader;
}

namespace kv::display {

inline constexpr int kVolumeSubItems = 3;       // volume, start, end: sub-items 1..3
inline constexpr int kKeepEveryEntryUpTo = 500; // beyond this, entries of missing files are not saved
// A file claiming more entries than this is damaged; the rest of it is carried over unread.
inline constexpr int kMaxVolumeEntries = 1'000'000;

struct VolumeEntry {
    QString path;
    std::array<QString, kVolumeSubItems> subItems; // [0] is sub-item 1
};

class VolumeMemory {
  public:
    int Count() const { return int(entries_.size()); }
    const VolumeEntry& Entry(int index) const { return entries_.at(index); }
    // The first entry whose path equals `path` without regard to letter case; -1 when none.
    int Find(const QString& path) const;
    int Add(const QString& path); // appended at the end; returns its index (-1: a line break)
    // The entry now belongs to another path (its file was found elsewhere); it keeps its place.
    void Rename(int index, const QString& path);
    // Sub-items 1..3; "" for anything out of range.
    QString SubItem(int index, int subItem) const;
    void SetSubItem(int index, int subItem, const QString& text);
    void Clear();

    // LoadVolume: appends the entries of the file (nothing when it does not exist).
    void Load(const QString& file);
    // SaveVolume: replaces the file with the entries (the 500-entry rule). False when nothing
    // was written: the file could not be written, or it could not be read whole at load and
    // would lose what was not read.
    bool Save(const QString& file) const;
    // The same with the file's contents in memory. SaveBytes gives nothing where Save would
    // write nothing, and also for a load cut short (the rest lies only in a file).
    void LoadBytes(const QByteArray& bytes);
    std::optional<QByteArray> SaveBytes() const;

  private:
    void LoadLines(playlists::LineReader& reader, const QString& file);
    // Hands the encoded entries to write block by block; false when a write failed.
    bool EncodeEntries(const std::function<bool(const std::string&)>& write, qint64* written) const;
    static QString Key(const QString& path) { return path.toCaseFolded(); }
    QVector<VolumeEntry> entries_;
    QHash<QString, int> index_; // case-folded path -> first entry
    // Where loading stopped in a file too large to hold: the rest is copied on save.
    // After a save the rest lies in the new file, after what was written: both move with it.
    mutable QString tailFile_;
    mutable qint64 tailOffset_ = -1;
    bool readFailed_ = false;
};

// "volume.cfg" in the program folder.
QString VolumeFile();

} // namespace kv::display
