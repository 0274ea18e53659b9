// The named playlists kept in the program folder: "name.kvt" committed, "name.backup" the
// working copy that holds unsaved changes while the program runs.
#pragma once
#include <QString>
#include <QStringList>

namespace kv::playlists {

// Names of the lists in the program folder, in the order the folder lists them.
QStringList EnumerateLists(const QString& programFolder);
// Copies every committed list to its working copy.
void MakeWorkingCopies(const QString& programFolder, const QStringList& names);
// Deletes the working copies at the end of a run.
void DeleteWorkingCopies(const QString& programFolder, const QStringList& names);

} // namespace kv::playlists
