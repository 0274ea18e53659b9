#include "platform/program_folder.h"

#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace kv::platform {
namespace {
QString g_folder;

QString ChooseFolder() {
    QString exeFolder = QCoreApplication::applicationDirPath();
    if (exeFolder.isEmpty()) exeFolder = QDir::currentPath();
    // An installed copy (<prefix>/bin beside <prefix>/share/applications/kavetto.desktop) never
    // writes into bin, even where the user may, as with a prefix in the home folder.
    const bool installed = QFileInfo::exists(exeFolder + QStringLiteral("/../share/applications/kavetto.desktop"));
    if (!installed && ::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0) return exeFolder;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
    QString folder = config + QStringLiteral("/kavetto");
    QDir().mkpath(folder);
    return folder;
}
} // namespace

QString ProgramFolder() {
    if (g_folder.isEmpty()) g_folder = ChooseFolder();
    return g_folder;
}

void SetProgramFolder(const QString& folder) { g_folder = folder; }

QString SettingsFile() { return JoinPath(ProgramFolder(), QStringLiteral("kvp.ini")); }

} // namespace kv::platform
