#include "playlists/list_files.h"

#include "platform/files.h"

#include <QDir>
#include <QFile>

namespace kv::playlists {

QStringList EnumerateLists(const QString& programFolder) {
    QStringList names;
    QDir folder(programFolder);
    for (const QString& file : folder.entryList({QStringLiteral("*.kvt")}, QDir::Files, QDir::Unsorted)) {
        QString name = file.left(file.size() - 4);
        if (!name.isEmpty()) names.append(name);
    }
    return names;
}

void MakeWorkingCopies(const QString& programFolder, const QStringList& names) {
    for (const QString& name : names) {
        auto bytes =
            platform::ReadWholeFile(platform::JoinPath(programFolder, name + QStringLiteral(".kvt")));
        if (bytes)
            platform::WriteFileAtomic(platform::JoinPath(programFolder, name + QStringLiteral(".backup")),
                                      *bytes);
    }
}

void DeleteWorkingCopies(const QString& programFolder, const QStringList& names) {
    for (const QString& name : names)
        QFile::remove(platform::JoinPath(programFolder, name + QStringLiteral(".backup")));
}

} // namespace kv::playlists
