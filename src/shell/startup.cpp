#include "shell/startup.h"

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/program_folder.h"
#include "shell/form_main.h"
#include "shell/form_start.h"
#include "shell/single_instance.h"
#include "tools/sleep_timer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace kv::shell {
namespace {
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    char byte = 1;
    [[maybe_unused]] auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT (the desktop session ends) close without a question; the user's list edits
// are saved, as the answer "はい" would.
void InstallTerminationHandlers(FormMain& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        char byte;
        [[maybe_unused]] auto got = ::read(g_signalPipe[0], &byte, 1);
        notifier->setEnabled(false);
        window.CloseKeepingListChanges();
        // The signal may have come while a walk or a wait ran events: it must not go on.
        if (window.ShutdownDone()) EndProcessNow(0);
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
} // namespace

bool CheckRuntimeFiles() {
    return true;
}

void EndProcessNow(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

QString CommandLineOf(const QStringList& arguments) {
    return arguments.mid(1).join(u' ');
}

QString WindowSystemToRequest(const WindowSystemEnvironment& env) {
    if (!env.qpaPlatform.isEmpty() || env.platformArgument) return {};
    const bool wayland = !env.waylandDisplay.isEmpty() || env.sessionType == u"wayland";
    return wayland && !env.x11Display.isEmpty() ? QStringLiteral("xcb") : QString();
}

int RunProgram(int argc, char** argv) {
    WindowSystemEnvironment env{qEnvironmentVariable("QT_QPA_PLATFORM"), false,
                                qEnvironmentVariable("WAYLAND_DISPLAY"),
                                qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("DISPLAY")};
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            env.platformArgument = true;
    if (const QString platform = WindowSystemToRequest(env); !platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform.toLatin1());
    QApplication app(argc, argv);
    // The media back end needs C number formatting whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Kavetto"));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    if (!CheckRuntimeFiles()) return 0;
    // Only the program itself ever asks the login manager; tests keep the refusing default.
    tools::SetSystemPowerOff(std::make_unique<tools::LogindPowerOff>());
    const QString ini = platform::SettingsFile();
    const QString commandLine = CommandLineOf(QApplication::arguments());

    const QString running =
        platform::ReadSetting(QStringLiteral("PrevInstance"), QStringLiteral("hWnd"), ini);
    if (IsCopyRunning(running)) {
        if (commandLine.isEmpty() || !platform::FileExists(commandLine)) return 0;
        // The running copy has a current folder of its own: a relative name means this one's.
        const QString file = QDir::cleanPath(QFileInfo(commandLine).absoluteFilePath());
        platform::WriteSetting(QStringLiteral("PrevInstance"), QStringLiteral("FileName"), file, ini);
        SendClickToRunningCopy(running, file);
        return 0;
    }

    auto* splash = new FormStart;
    splash->show();
    splash->repaint();
    splash->Advance(7);
    FormMain window;
    InstallTerminationHandlers(window);
    window.InitializeMainWindow(commandLine, [splash](int amount) {
        splash->Advance(amount);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    delete splash;
    const int status = QApplication::exec();
    // Settings, lists and volumes are saved, the working copies are gone and the engine is down.
    if (window.ShutdownDone()) EndProcessNow(status);
    return status;
}

} // namespace kv::shell
