// The reference for the start-up benchmark: a bare Qt Widgets window of the same kind, which
// writes a marker file once shown and ends on SIGTERM.
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

static int g_pipe[2];

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("ファイル"));
    window.resize(433, 300);
    window.show();
    socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe);
    QSocketNotifier notifier(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
    signal(SIGTERM, [](int) { [[maybe_unused]] auto r = write(g_pipe[1], "x", 1); });
    QTimer::singleShot(0, [&] {
        QFile marker(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shown"));
        if (marker.open(QIODevice::WriteOnly)) marker.write("shown");
    });
    return app.exec();
}
