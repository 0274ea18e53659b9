#include "playlists/list_import.h"

#include "platform/files.h"
#include "playlists/list_text.h"
#include "playlists/track_info.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace kv::playlists {

namespace {
const QSet<QString>& ListedExtensions() {
    static const QSet<QString> set = [] {
        QSet<QString> s;
        // Entries are "*.ext"; "*,m1v" is written with a comma and counts as "m1v".
        for (const QString& entry : kSupportedPattern.split(u';', Qt::SkipEmptyParts))
            if (entry.size() > 2) s.insert(entry.mid(2).toLower());
        return s;
    }();
    return set;
}
} // namespace

bool IsListedExtension(const QString& ext) {
    return !ext.isEmpty() && ListedExtensions().contains(ext);
}

QString ImportLinePath(const QString& line, const QString& listFolder, bool playlistFile) {
    QString s = line.trimmed();
    if (s.isEmpty() || s.startsWith(u'#') || s.startsWith(u'['))
        return QString(); // M3U comments, PLS sections
    // PLS: "File1=/music/a.mp3"; other keys (Title1=, Length1=) name no file.
    static const QRegularExpression plsEntry(QStringLiteral("^[Ff][Ii][Ll][Ee][0-9]+=(.*)$"));
    static const QRegularExpression plsOther(QStringLiteral("^[A-Za-z]+[0-9]*="));
    if (auto m = plsEntry.match(s); m.hasMatch())
        s = m.captured(1).trimmed();
    else if (playlistFile && plsOther.match(s).hasMatch())
        return QString();
    if (s.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        s = QUrl(s).toLocalFile();
        if (s.isEmpty()) return QString();
    } else if (s.contains(QStringLiteral("://"))) {
        return QString(); // streams and other places are not files
    }

    // The extension: the letters and digits after the last dot, which must be a whole entry of
    // the pattern; whatever follows them on the line (lengths, blanks) is not part of the path.
    const qsizetype dot = s.lastIndexOf(u'.');
    if (dot <= 0) return QString();
    qsizetype end = dot + 1;
    while (end < s.size() && s[end].isLetterOrNumber() && s[end].unicode() < 0x80)
        ++end;
    if (!IsListedExtension(s.mid(dot + 1, end - dot - 1).toLower())) return QString();
    s.truncate(end);

    if (s.startsWith(u'/')) return QDir::cleanPath(s);
    if (!playlistFile) return QString();
    if (s.size() >= 2 && s[1] == u':') return QString(); // "C:\..." or "C:music.mp3": a Windows drive
    s.replace(u'\\', u'/');
    return QDir::cleanPath(QDir(listFolder).absoluteFilePath(s));
}

namespace {
QStringList ReadImportLines(LineReader& reader, const QString& file) {
    QStringList paths;
    if (!reader.IsOpen()) return paths;
    const QString ext = platform::ExtensionOf(file);
    bool playlist = ext == u"m3u" || ext == u"m3u8" || ext == u"pls";
    const QString folder = platform::ParentFolderOf(file);
    QSet<QString> seen;
    QString line;
    bool first = true;
    while (reader.Next(line)) {
        if (first) {
            first = false;
            const QString head = line.trimmed();
            if (head.startsWith(QStringLiteral("#EXTM3U")) ||
                head.compare(QStringLiteral("[playlist]"), Qt::CaseInsensitive) == 0)
                playlist = true;
        }
        QString path = ImportLinePath(line, folder, playlist);
        if (path.isEmpty() || seen.contains(path)) continue;
        seen.insert(path);
        paths.append(path);
    }
    return paths;
}
} // namespace

QStringList ReadImportPaths(const QString& file) {
    LineReader reader(file);
    return ReadImportLines(reader, file);
}

QStringList ReadImportBytes(const QByteArray& bytes, const QString& file) {
    LineReader reader(bytes);
    return ReadImportLines(reader, file);
}

} // namespace kv::playlists
