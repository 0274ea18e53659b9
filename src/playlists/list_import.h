// Reading a foreign text playlist: which lines name a track and which track. Plain text lists
// of absolute paths, M3U/M3U8 (with #EXTM3U/#EXTINF comments, relative entries, file:// URLs)
// and PLS ("FileN=" entries) are understood.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kv::playlists {

// True for an extension (lower case, no dot) that is one whole entry of the supported pattern.
bool IsListedExtension(const QString& ext);

// The path a line names, or "" when it names no playable track. The path ends with its
// extension (anything after it on the line is dropped). Absolute paths are taken from any list;
// relative ones only from a playlist file (M3U/PLS), resolved against its folder. Windows paths
// with a drive letter cannot name a file here and are skipped.
QString ImportLinePath(const QString& line, const QString& listFolder, bool playlistFile);

// The tracks a foreign list names, in order, each path once. Streams the file.
QStringList ReadImportPaths(const QString& file);
// The same for the list's contents in memory; `file` only gives the extension and the folder.
QStringList ReadImportBytes(const QByteArray& bytes, const QString& file);

} // namespace kv::playlists
