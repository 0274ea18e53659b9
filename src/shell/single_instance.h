// The hand-off between a second start and the running copy. The running copy listens on a
// local socket whose name it writes to "PrevInstance"/"hWnd"; a second copy writes its file to
// "PrevInstance"/"FileName", connects and sends a click, and waits until the running copy has
// handled it (the click is synchronous, as a button click sent to another window is).
#pragma once
#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

namespace kv::shell {

// A name of our own per program folder and user, so copies kept in two folders stay apart.
QString HandOffServerName(const QString& programFolder);

// True when a running copy answered the click within the time limit. The file name travels
// with the click too: the settings file holds at most 255 bytes of it, which a long path passes.
bool SendClickToRunningCopy(const QString& serverName, const QString& fileName, int timeoutMs = 30000);
// True when a copy is listening under that name (a stale name left by a crash gives false).
bool IsCopyRunning(const QString& serverName);

class PrevButtonServer : public QObject {
    Q_OBJECT
public:
    PrevButtonServer(std::function<void(const QString&)> onClick, QObject* parent = nullptr);
    bool Listen(const QString& name); // replaces a stale socket left by a copy that crashed
    QString Name() const;

private:
    void OnConnection();
    std::function<void(const QString&)> onClick_;
    QLocalServer* server_;
};

} // namespace kv::shell
