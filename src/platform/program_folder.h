// Where the program keeps its files (settings, lists, volume memory): the folder of the
// executable, or, for an installed copy or when that folder cannot be written, the user's
// configuration folder $XDG_CONFIG_HOME/kavetto.
#pragma once
#include <QString>

namespace kv::platform {

QString ProgramFolder();
// Tests and the second-copy start use their own folder.
void SetProgramFolder(const QString& folder);
QString SettingsFile();                       // ProgramFolder() + "/kvp.ini"

} // namespace kv::platform
