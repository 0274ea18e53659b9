// Small file-system operations named for what they do. Paths are native (UTF-8 on this platform).
#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace kv::platform {

bool FileExists(const QString& path);        // an existing regular file (links followed)
bool FolderExists(const QString& path);
// CR or LF: a name holding one cannot be kept in the program's line-based files.
bool HasLineBreak(const QString& text);
std::optional<qint64> FileSize(const QString& path);

// Reads a whole file; nothing when it cannot be read or is larger than maxBytes.
std::optional<QByteArray> ReadWholeFile(const QString& path, qint64 maxBytes = qint64(1) << 31);

// Writes a temporary file beside the target and renames it over the target, so a crash never
// leaves a half-written file. False (target untouched) when anything fails.
bool WriteFileAtomic(const QString& path, const QByteArray& bytes);

// Path joining as the program does it everywhere: folder, separator, name.
QString JoinPath(const QString& folder, const QString& name);
QString FileNameOf(const QString& path);     // last component
QString ParentFolderOf(const QString& path);
QString ExtensionOf(const QString& path);    // lower case, no dot; "" when none

} // namespace kv::platform
