// The named playlists kept in the program folder: "name.kvt" is the committed file, "name.backup"
// the working copy that holds unsaved changes while the program runs. Both have one format:
// per row ten lines "index:text" (index 0..9, the TrackEntry columns) and a line "@"; CR LF line
// ends. Written in UTF-8; read as UTF-8, or as CP932 line by line (lists of the Windows program).
//
// Every write here replaces its file by rename: the bytes go to a new temporary file beside the
// target, which is then renamed over it. A crash at any moment leaves either the old or the new
// file, never a mixture. This is also what makes working copies cheap: a working copy may be a
// hard link to its committed file (same inode), and since no writer ever opens either name to
// write in place, a write to one name replaces that name's inode and can never reach the other.
// Anything that writes these files must go through WriteListFile / CopyListFile for that reason.
#pragma once
#include "playlists/track_entry.h"
#include "playlists/track_rows.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <string>

namespace kv::playlists {

inline const QString kCommittedExtension = QStringLiteral(".kvt");
inline const QString kWorkingExtension = QStringLiteral(".backup");

QString CommittedPath(const QString& programFolder, const QString& name);
QString WorkingPath(const QString& programFolder, const QString& name);

// Memory a damaged file may claim while it is read: past these the reading stops (the result
// says it was cut short). Far beyond any real list; 400,000 rows take about a tenth of it.
inline constexpr int kMaxListRows = 4'000'000;
inline constexpr qint64 kMaxListTextChars = qint64(512) * 1024 * 1024;

struct ListReadResult {
    QVector<TrackEntry> rows;
    bool opened = false;
    // Writing these rows back would hold less than the file did: ignored ";"/"K" lines, numbered
    // lines with no row, over-long lines, a read error, or the size limits above. Such a list
    // must not be written back unless the user changes it.
    bool lossy = false;
};

// Reads a list file with the lenient reader rules, then checks each row's file (icon and kind).
ListReadResult ReadListFile(const QString& path, bool checkFiles = true);
// The same for a list file's whole contents in memory.
ListReadResult ReadListBytes(const QByteArray& bytes, bool checkFiles = true);

// The same rows in the form a track view keeps them, made while the file is read: a long list
// is never held as separate texts, nor next to the file's bytes.
struct ListRowsResult {
    TrackRows rows;
    bool opened = false;
    bool lossy = false;
};
ListRowsResult ReadListRows(const QString& path, bool checkFiles = true);

// The icon of every row by whether its file exists: the icon lookup of an added file, or "nothing"
// with kind "nothing". Folders holding many rows are listed once instead of one query per row.
void CheckRowFiles(QVector<TrackEntry>& rows);
void CheckRowFiles(TrackRows& rows);

// The records of the rows, as the file holds them (an empty list gives no bytes).
void EncodeListRecords(const QVector<TrackEntry>& rows, std::string& out);

// Writes the rows to path by replacement. durable: the data reaches the disk before the rename
// (committed files); working copies skip it, they are scratch files of one run.
bool WriteListFile(const QString& path, const QVector<TrackEntry>& rows, bool durable);
bool WriteListRows(const QString& path, const TrackRows& rows, bool durable);

// Replaces `to` with the bytes of `from`: a reflink clone where the file system has them, else a
// hard link, else a copy; always through a temporary name and a rename. False when `from` cannot
// be read, and `to` is then left as it was.
bool CopyListFile(const QString& from, const QString& to, bool durable);

// Names of the lists in the program folder ("*.kvt" less the extension), in the folder's order.
QStringList EnumerateLists(const QString& programFolder);
// Gives every named list a working copy equal to its committed file.
void MakeWorkingCopies(const QString& programFolder, const QStringList& names);
// Deletes every "*.backup" in the program folder (names is no longer needed and is ignored; it is
// kept so existing callers still build).
void DeleteWorkingCopies(const QString& programFolder, const QStringList& names = {});
// Copies the working copy over the committed file. A missing working copy keeps the committed file.
bool CommitWorkingCopy(const QString& programFolder, const QString& name);

// Tests stop a save half-way, as a crash would: the hook is asked before each rename of a
// temporary file over its target; false abandons the save there, leaving the temporary behind.
void SetListSaveHookForTest(std::function<bool(const QString& target)> hook);

} // namespace kv::playlists
