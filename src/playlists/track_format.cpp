#include "playlists/track_format.h"

namespace kv::playlists {

QString FormatPlayTime(qint64 seconds) {
    if (seconds < 0) return QString();
    qint64 minutes = seconds / 60;
    qint64 rest = seconds % 60;
    return QString::number(minutes) + (rest > 9 ? QStringLiteral("：") : QStringLiteral("：0")) +
           QString::number(rest);
}

static QString Hundredths(qint64 hundredths) {
    qint64 rest = hundredths % 100;
    return QString::number(hundredths / 100) + u'.' + (rest < 10 ? QStringLiteral("0") : QString()) +
           QString::number(rest);
}

QString FormatSize(qint64 bytes) {
    if (bytes < 0) bytes = 0;
    if (bytes < 1000) return QString::number(bytes) + u'B';
    if (bytes < 1000000) return Hundredths(bytes / 10) + QStringLiteral("KB");
    if (bytes < 1000000000) return Hundredths(bytes / 10000) + QStringLiteral("MB");
    return Hundredths(bytes / 10000000) + QStringLiteral("GB");
}

QString PadBytes(qint64 bytes) {
    if (bytes < 0) bytes = 0;
    return QString::number(bytes).rightJustified(10, u'0');
}

qint64 ParsePlayTime(const QString& text) {
    if (text.size() < 3) return 0;
    bool minutesOk = false, secondsOk = false;
    qint64 minutes = text.left(text.size() - 3).toLongLong(&minutesOk);
    qint64 seconds = text.right(2).toLongLong(&secondsOk);
    if (!minutesOk || !secondsOk) return 0;
    return minutes * 60 + seconds;
}

} // namespace kv::playlists
