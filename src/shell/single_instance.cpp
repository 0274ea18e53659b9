#include "shell/single_instance.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <unistd.h>

namespace kv::shell {
namespace {
constexpr char kClick[] = "BM_CLICK\n";
constexpr char kDone[] = "DONE\n";
} // namespace

QString HandOffServerName(const QString& programFolder) {
    QByteArray hash = QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("kavetto-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool IsCopyRunning(const QString& serverName) {
    if (serverName.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    bool connected = socket.waitForConnected(2000);
    socket.abort();
    return connected;
}

bool SendClickToRunningCopy(const QString& serverName, const QString& fileName, int timeoutMs) {
    if (serverName.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(2000)) return false;
    socket.write(QByteArray(kClick, sizeof kClick - 2) + ' ' + fileName.toUtf8().toPercentEncoding() + '\n');
    if (!socket.waitForBytesWritten(2000)) return false;
    QElapsedTimer timer;
    timer.start();
    QByteArray reply;
    while (!reply.contains('\n') && timer.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(int(timeoutMs - timer.elapsed()))) break;
        reply += socket.readAll();
    }
    return reply.startsWith("DONE");
}

PrevButtonServer::PrevButtonServer(std::function<void(const QString&)> onClick, QObject* parent)
    : QObject(parent), onClick_(std::move(onClick)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &PrevButtonServer::OnConnection);
}

bool PrevButtonServer::Listen(const QString& name) {
    if (server_->listen(name)) return true;
    if (IsCopyRunning(name)) return false;
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

QString PrevButtonServer::Name() const { return server_->serverName(); }

void PrevButtonServer::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
            while (pending.contains('\n')) {
                QByteArray line = pending.left(pending.indexOf('\n') + 1);
                pending.remove(0, line.size());
                if (line.startsWith(QByteArray(kClick, sizeof kClick - 2)) && onClick_) {
                    QByteArray payload = line.mid(sizeof kClick - 1).trimmed();
                    onClick_(QString::fromUtf8(QByteArray::fromPercentEncoding(payload)));
                }
                socket->write(kDone);
                socket->flush();
            }
            socket->setProperty("pending", pending);
        });
    }
}

} // namespace kv::shell
