#include "playlists/list_files.h"

#include "platform/files.h"
#include "playlists/list_text.h"
#include "playlists/track_icons.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kv::playlists {

namespace {

std::function<bool(const QString&)> g_saveHook;

QByteArray Native(const QString& path) {
    return path.toUtf8();
}

// One temporary name per target, hidden and not matching "*.kvt" or "*.backup", so a crash leaves
// at most one stray file per list that the next save of it replaces.
QByteArray TempPathFor(const QString& target) {
    const QString folder = platform::ParentFolderOf(target);
    const QString name = QStringLiteral(".") + platform::FileNameOf(target) + QStringLiteral(".tmp");
    return Native(folder.isEmpty() ? name : platform::JoinPath(folder, name));
}

// A temporary file is always made afresh (O_EXCL after an unlink): a stray one left by a crash may
// be a hard link to a live list, and opening that to truncate it would empty the live list too.
int CreateTemp(const QByteArray& temp) {
    ::unlink(temp.constData());
    return ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// The last step of every save: the temporary takes the target's name in one rename.
bool ReplaceWith(const QByteArray& temp, const QString& target) {
    if (g_saveHook && !g_saveHook(target)) return false; // a simulated crash: leave everything
    const bool ok = ::rename(temp.constData(), Native(target).constData()) == 0;
    // When the temporary and the target already were one file (a link of a link), rename leaves
    // both names; the temporary must not stay behind.
    ::unlink(temp.constData());
    return ok;
}

bool IsRegularFile(int dirFd, const char* name) {
    struct stat st;
    return ::fstatat(dirFd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

// The regular files of a folder (links followed), or nothing when it cannot be listed.
std::optional<QSet<QString>> ListFolderFiles(const QString& folder) {
    DIR* dir = ::opendir(Native(folder.isEmpty() ? QStringLiteral("/") : folder).constData());
    if (!dir) return std::nullopt;
    QSet<QString> names;
    const int fd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        const unsigned char type = e->d_type;
        if (type == DT_REG || ((type == DT_LNK || type == DT_UNKNOWN) && IsRegularFile(fd, e->d_name)))
            names.insert(QString::fromUtf8(e->d_name));
    }
    ::closedir(dir);
    return names;
}

QString IconOf(const QString& path, const QString& ext, bool hasLyrics) {
    if (ext.isEmpty()) return IconKey(path, ext);
    IconImageList& images = ListViewImage();
    const QString words = QStringLiteral("words") + ext;
    if (!images.Has(ext)) {
        images.Register(ext);
        images.Register(words);
    }
    return hasLyrics ? words : ext;
}

} // namespace

QString CommittedPath(const QString& programFolder, const QString& name) {
    return platform::JoinPath(programFolder, name + kCommittedExtension);
}
QString WorkingPath(const QString& programFolder, const QString& name) {
    return platform::JoinPath(programFolder, name + kWorkingExtension);
}

void SetListSaveHookForTest(std::function<bool(const QString&)> hook) {
    g_saveHook = std::move(hook);
}

// ---- reading ----

namespace {
ListReadResult ReadListLines(LineReader& reader, bool checkFiles) {
    ListReadResult result;
    if (!reader.IsOpen()) return result;
    result.opened = true;
    QVector<TrackEntry>& rows = result.rows;
    qint64 chars = 0;
    std::string_view bytes;
    while (reader.NextView(bytes)) {
        if (bytes.empty()) continue; // the writer never writes one; an added blank row helps nobody
        const char first = bytes[0];
        if (first == '@') continue; // the row is complete; files are checked all at once below
        if (first == ';' || first == 'K') {
            result.lossy = true;
            continue;
        }
        QString text =
            bytes.size() > 2 ? reader.Decode(bytes.data() + 2, qsizetype(bytes.size()) - 2) : QString();
        chars += text.size();
        if (first >= '1' && first <= '9') {
            // Numbered lines after an "@" still belong to the last row: no line starts a row but "0".
            if (rows.isEmpty()) {
                result.lossy = true;
                continue;
            }
            QString& column = rows.last().columns[first - '0'];
            if (!column.isEmpty() && column != text) result.lossy = true;
            column = std::move(text);
        } else {
            if (rows.size() >= kMaxListRows || chars > kMaxListTextChars) {
                result.lossy = true;
                break;
            }
            TrackEntry row;
            row.columns[ColFile] = std::move(text);
            rows.append(std::move(row));
        }
    }
    if (reader.AnyLineCut() || reader.ReadFailed()) result.lossy = true;
    if (checkFiles) CheckRowFiles(rows);
    return result;
}
} // namespace

ListReadResult ReadListFile(const QString& path, bool checkFiles) {
    LineReader reader(path);
    return ReadListLines(reader, checkFiles);
}

ListReadResult ReadListBytes(const QByteArray& bytes, bool checkFiles) {
    LineReader reader(bytes);
    return ReadListLines(reader, checkFiles);
}

void CheckRowFiles(QVector<TrackEntry>& rows) {
    // Rows of one folder: listing the folder once is far cheaper than a query per row when a
    // folder holds several; lone rows are asked about directly. Folders are told apart by views
    // into the rows' own paths, so no row's folder is copied or hashed twice.
    constexpr int kListFolderFrom = 4;
    TrackEntry* const data = rows.data(); // detached now: the views below stay valid
    const qsizetype count = rows.size();
    struct Folder {
        QStringView path;
        int rows = 0;
        std::optional<QSet<QString>> names; // listed when it holds enough rows
    };
    std::vector<Folder> folders;
    QHash<QStringView, int> folderIndex;
    std::vector<int> folderOf(size_t(count), -1);
    for (qsizetype i = 0; i < count; ++i) {
        const QString& path = data[i].Path();
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0) continue;
        const QStringView folder = QStringView(path).left(slash);
        int index = i > 0 ? folderOf[size_t(i - 1)] : -1;
        // Rows of one folder mostly follow each other.
        if (index < 0 || folders[size_t(index)].path != folder) {
            const auto found = folderIndex.constFind(folder);
            if (found != folderIndex.cend()) {
                index = found.value();
            } else {
                index = int(folders.size());
                folders.push_back({folder});
                folderIndex.insert(folder, index);
            }
        }
        folderOf[size_t(i)] = index;
        ++folders[size_t(index)].rows;
    }
    for (Folder& f : folders)
        if (f.rows >= kListFolderFrom) f.names = ListFolderFiles(f.path.toString());

    QString lastExt, lastIcon, lastWordsIcon;
    for (qsizetype i = 0; i < count; ++i) {
        TrackEntry& row = data[i];
        const QString& path = row.Path();
        bool exists = false;
        bool lyrics = false;
        const int index = folderOf[size_t(i)];
        if (index >= 0 && folders[size_t(index)].names) {
            const QSet<QString>& names = *folders[size_t(index)].names;
            const qsizetype slash = folders[size_t(index)].path.size();
            exists = names.contains(path.mid(slash + 1));
            if (exists) lyrics = names.contains(platform::FileNameOf(LyricsPathOf(path)));
        } else {
            exists = platform::FileExists(path);
            if (exists) lyrics = platform::FileExists(LyricsPathOf(path));
        }
        if (exists) {
            // Most rows of a list share a kind: its icon keys are made once.
            const QString ext = platform::ExtensionOf(path);
            if (ext.isEmpty()) {
                row.icon = IconOf(path, ext, lyrics);
            } else {
                if (ext != lastExt) {
                    lastExt = ext;
                    lastIcon = IconOf(path, ext, false);
                    lastWordsIcon = IconOf(path, ext, true);
                }
                row.icon = lyrics ? lastWordsIcon : lastIcon;
            }
        } else {
            row.icon = kIconNothing;
            row.columns[ColKind] = kKindNothing;
        }
    }
}

// ---- writing ----

// The most bytes a row's record can take: three per UTF-16 unit, and the prefixes and line ends.
static size_t RecordRoom(const TrackEntry& row) {
    size_t units = 0;
    for (const QString& text : row.columns)
        units += size_t(text.size());
    return units * 3 + kTrackColumnCount * 4 + 3;
}

// Writes the row's record at o, which has RecordRoom(row) bytes; returns its end.
static char* PutRecord(const TrackEntry& row, char* o) {
    // The column index is written as it is: these numbers are the file format.
    for (int c = 0; c < kTrackColumnCount; ++c) {
        *o++ = char('0' + c);
        *o++ = ':';
        o = PutUtf8(o, row.columns[c]);
        *o++ = '\r';
        *o++ = '\n';
    }
    *o++ = '@';
    *o++ = '\r';
    *o++ = '\n';
    return o;
}

void EncodeListRecords(const QVector<TrackEntry>& rows, std::string& out) {
    size_t room = 0;
    for (const TrackEntry& row : rows)
        room += RecordRoom(row);
    const size_t old = out.size();
    out.resize(old + room);
    char* o = out.data() + old;
    for (const TrackEntry& row : rows)
        o = PutRecord(row, o);
    out.resize(size_t(o - out.data()));
}

bool WriteListFile(const QString& path, const QVector<TrackEntry>& rows, bool durable) {
    const QByteArray temp = TempPathFor(path);
    const int fd = CreateTemp(temp);
    if (fd < 0) return false;
    // Encoded and written in blocks, so a long list never sits in memory twice over.
    constexpr size_t kBlock = 1 << 20;
    std::unique_ptr<char[]> block(new char[kBlock]);
    std::string large; // a row too long for a block
    char* o = block.get();
    bool ok = true;
    off_t written = 0;
    auto flush = [&](const char* data, size_t size) {
        ok = WriteAll(fd, data, size);
        // A durable save starts each block on its way to the disk at once, so the disk works
        // while the next block is encoded and the final sync waits only for the last one.
        if (ok && durable) ::sync_file_range(fd, written, off_t(size), SYNC_FILE_RANGE_WRITE);
        written += off_t(size);
    };
    for (qsizetype i = 0; i < rows.size() && ok; ++i) {
        // Each column's text is a heap block of its own: ask for a later row's while this one
        // is encoded, or every column costs a wait on memory.
        if (i + 4 < rows.size())
            for (const QString& text : rows[i + 4].columns)
                __builtin_prefetch(text.constData());
        const size_t room = RecordRoom(rows[i]);
        if (size_t(o - block.get()) + room > kBlock) {
            flush(block.get(), size_t(o - block.get()));
            o = block.get();
        }
        if (ok && room > kBlock) {
            large.resize(room);
            flush(large.data(), size_t(PutRecord(rows[i], large.data()) - large.data()));
        } else {
            o = PutRecord(rows[i], o);
        }
    }
    if (ok && o != block.get()) flush(block.get(), size_t(o - block.get()));
    if (ok && durable) ok = ::fdatasync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    return ReplaceWith(temp, path);
}

bool CopyListFile(const QString& from, const QString& to, bool durable) {
    const QByteArray source = Native(from);
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return false;
    }
    const QByteArray temp = TempPathFor(to);
    bool ok = false;
    int out = CreateTemp(temp);
    // A clone shares blocks until either side is written, and then only that side changes.
    if (out >= 0 && ::ioctl(out, FICLONE, in) == 0) {
        ok = !durable || ::fdatasync(out) == 0;
        ok = (::close(out) == 0) && ok;
        out = -1;
    } else if (out >= 0) {
        ::close(out);
        ::unlink(temp.constData());
        out = -1;
        // A hard link: safe because every writer of list files replaces by rename (see header).
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) == 0) {
            ok = !durable || ::fdatasync(in) == 0;
        } else if ((out = CreateTemp(temp)) >= 0) {
            ok = true;
            std::string buffer(1 << 20, '\0');
            for (;;) {
                ssize_t n = ::read(in, buffer.data(), buffer.size());
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) ok = false;
                if (n <= 0) break;
                if (!WriteAll(out, buffer.data(), size_t(n))) {
                    ok = false;
                    break;
                }
            }
            if (ok && durable) ok = ::fdatasync(out) == 0;
            ok = (::close(out) == 0) && ok;
        }
    }
    ::close(in);
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    return ReplaceWith(temp, to);
}

// ---- the set of lists ----

QStringList EnumerateLists(const QString& programFolder) {
    QStringList names;
    QDir folder(programFolder);
    // Hidden files too: a list named ".mix" is as much a list as any other.
    for (const QString& file :
         folder.entryList({QStringLiteral("*.kvt")}, QDir::Files | QDir::Hidden, QDir::Unsorted)) {
        if (!file.endsWith(kCommittedExtension)) continue; // the pattern ignores letter case; we do not
        QString name = file.left(file.size() - kCommittedExtension.size());
        if (!name.isEmpty()) names.append(name);
    }
    return names;
}

void MakeWorkingCopies(const QString& programFolder, const QStringList& names) {
    for (const QString& name : names)
        CopyListFile(CommittedPath(programFolder, name), WorkingPath(programFolder, name), false);
}

void DeleteWorkingCopies(const QString& programFolder, const QStringList& names) {
    (void)names;
    QDir folder(programFolder);
    for (const QString& file :
         folder.entryList({QStringLiteral("*.backup")}, QDir::Files | QDir::Hidden, QDir::Unsorted))
        if (file.endsWith(kWorkingExtension)) QFile::remove(folder.filePath(file));
}

bool CommitWorkingCopy(const QString& programFolder, const QString& name) {
    const QString working = WorkingPath(programFolder, name);
    if (!platform::FileExists(working)) return false; // keep the committed file as it is
    return CopyListFile(working, CommittedPath(programFolder, name), true);
}

} // namespace kv::playlists
