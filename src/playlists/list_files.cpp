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
ListRowsResult ReadRowLines(LineReader& reader, bool checkFiles) {
    ListRowsResult result;
    if (!reader.IsOpen()) return result;
    result.opened = true;
    TrackRows& rows = result.rows;
    // A row is complete when the next one starts: numbered lines after an "@" still belong to it.
    TrackEntry row;
    bool haveRow = false;
    qint64 chars = 0;
    std::string_view bytes;
    while (reader.NextView(bytes)) {
        if (bytes.empty()) continue; // the writer never writes one; an added blank row helps nobody
        const char first = bytes[0];
        if (first == '@') continue;
        if (first == ';' || first == 'K') {
            result.lossy = true;
            continue;
        }
        QString text =
            bytes.size() > 2 ? reader.Decode(bytes.data() + 2, qsizetype(bytes.size()) - 2) : QString();
        chars += text.size();
        if (first >= '1' && first <= '9') {
            // No line starts a row but "0".
            if (!haveRow) {
                result.lossy = true;
                continue;
            }
            QString& column = row.columns[first - '0'];
            if (!column.isEmpty() && column != text) result.lossy = true;
            column = std::move(text);
        } else {
            if (rows.Count() + int(haveRow) >= kMaxListRows || chars > kMaxListTextChars) {
                result.lossy = true;
                break;
            }
            if (haveRow) rows.Append(row);
            row = TrackEntry();
            row.columns[ColFile] = std::move(text);
            haveRow = true;
        }
    }
    if (haveRow) rows.Append(row);
    if (reader.AnyLineCut() || reader.ReadFailed()) result.lossy = true;
    if (checkFiles) CheckRowFiles(rows);
    return result;
}

ListReadResult AsEntries(const ListRowsResult& read) {
    ListReadResult result;
    result.opened = read.opened;
    result.lossy = read.lossy;
    result.rows.reserve(read.rows.Count());
    for (int i = 0; i < read.rows.Count(); ++i)
        result.rows.push_back(read.rows.Entry(i));
    return result;
}
} // namespace

ListRowsResult ReadListRows(const QString& path, bool checkFiles) {
    LineReader reader(path);
    return ReadRowLines(reader, checkFiles);
}

ListReadResult ReadListFile(const QString& path, bool checkFiles) {
    return AsEntries(ReadListRows(path, checkFiles));
}

ListReadResult ReadListBytes(const QByteArray& bytes, bool checkFiles) {
    LineReader reader(bytes);
    return AsEntries(ReadRowLines(reader, checkFiles));
}

// Rows in the packed form the lists are kept in.
static TrackRows Packed(const QVector<TrackEntry>& rows) {
    TrackRows packed;
    for (const TrackEntry& row : rows)
        packed.Append(row);
    return packed;
}

void CheckRowFiles(QVector<TrackEntry>& rows) {
    TrackRows packed = Packed(rows);
    CheckRowFiles(packed);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        rows[i].icon = packed.Icon(int(i));
        rows[i].columns[ColKind] = packed.Kind(int(i));
    }
}

void CheckRowFiles(TrackRows& rows) {
    // Rows of one folder: listing the folder once is far cheaper than a query per row when a
    // folder holds several; lone rows are asked about directly. The rows already share their
    // folders by index.
    constexpr int kListFolderFrom = 4;
    const int count = rows.Count();
    std::vector<int> rowsIn;
    for (int i = 0; i < count; ++i) {
        const quint32 folder = rows.FolderIndex(i);
        if (folder >= rowsIn.size()) rowsIn.resize(folder + 1);
        ++rowsIn[folder];
    }
    std::vector<std::optional<QSet<QString>>> listed(rowsIn.size());
    for (quint32 folder = 1; folder < rowsIn.size(); ++folder)
        if (rowsIn[folder] >= kListFolderFrom) listed[folder] = ListFolderFiles(rows.Folder(folder));

    QString lastExt, lastIcon, lastWordsIcon;
    for (int i = 0; i < count; ++i) {
        const quint32 folder = rows.FolderIndex(i);
        bool exists = false;
        bool lyrics = false;
        QString path;
        if (folder != 0 && listed[folder]) {
            const QSet<QString>& names = *listed[folder];
            exists = names.contains(rows.FileName(i));
            if (exists) {
                path = rows.Text(i, ColPath);
                lyrics = names.contains(platform::FileNameOf(LyricsPathOf(path)));
            }
        } else {
            path = rows.Text(i, ColPath);
            exists = platform::FileExists(path);
            if (exists) lyrics = platform::FileExists(LyricsPathOf(path));
        }
        if (exists) {
            // Most rows of a list share a kind: its icon keys are made once.
            const QString ext = platform::ExtensionOf(path);
            if (ext.isEmpty()) {
                rows.SetIcon(i, IconOf(path, ext, lyrics));
            } else {
                if (ext != lastExt) {
                    lastExt = ext;
                    lastIcon = IconOf(path, ext, false);
                    lastWordsIcon = IconOf(path, ext, true);
                }
                rows.SetIcon(i, lyrics ? lastWordsIcon : lastIcon);
            }
        } else {
            rows.SetIcon(i, kIconNothing);
            rows.SetKind(i, kKindNothing);
        }
    }
}

// ---- writing ----

void EncodeListRecords(const QVector<TrackEntry>& rows, std::string& out) {
    const TrackRows packed = Packed(rows);
    size_t room = 0;
    for (int i = 0; i < packed.Count(); ++i)
        room += packed.RecordRoom(i);
    const size_t old = out.size();
    out.resize(old + room);
    char* o = out.data() + old;
    for (int i = 0; i < packed.Count(); ++i)
        o = packed.PutRecord(i, o);
    out.resize(size_t(o - out.data()));
}

bool WriteListRows(const QString& path, const TrackRows& rows, bool durable) {
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
    for (qsizetype i = 0; i < rows.Count() && ok; ++i) {
        const size_t room = rows.RecordRoom(int(i));
        if (size_t(o - block.get()) + room > kBlock) {
            flush(block.get(), size_t(o - block.get()));
            o = block.get();
        }
        if (ok && room > kBlock) {
            large.resize(room);
            flush(large.data(), size_t(rows.PutRecord(int(i), large.data()) - large.data()));
        } else {
            o = rows.PutRecord(int(i), o);
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

bool WriteListFile(const QString& path, const QVector<TrackEntry>& rows, bool durable) {
    return WriteListRows(path, Packed(rows), durable);
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
