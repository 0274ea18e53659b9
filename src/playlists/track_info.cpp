#include "playlists/track_info.h"

#include "engine/vbmp3.h"
#include "platform/files.h"
#include "platform/text_codec.h"
#include "playlists/track_format.h"
#include "playlists/track_icons.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <cstring>

namespace kv::playlists {

bool IsSupportedExtension(const QString& ext) {
    return !ext.isEmpty() && kSupportedPattern.contains(ext.toLower());
}

bool IsEngineAudioKind(const QString& ext) {
    static const QStringList kKinds = {QStringLiteral("flac"), QStringLiteral("oga"),  QStringLiteral("ogg"),
                                       QStringLiteral("opus"), QStringLiteral("m4a"),  QStringLiteral("mp4"),
                                       QStringLiteral("aac"),  QStringLiteral("alac"), QStringLiteral("wv"),
                                       QStringLiteral("ape"),  QStringLiteral("tta"),  QStringLiteral("aif"),
                                       QStringLiteral("aiff")};
    return kKinds.contains(ext.toLower());
}

int ReadWaveDuration(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    qint64 length = file.size();
    if (length <= 20) return -1;
    QByteArray header = file.read(44);
    if (header.size() < 32) return -1;
    auto byte = [&](int i) { return quint32(quint8(header[i])); };
    quint32 byteRate = byte(28) | byte(29) << 8 | byte(30) << 16 | byte(31) << 24;
    if (byteRate == 0) return -1;
    qint64 seconds = length / qint64(byteRate);
    if (seconds == 0) return -1;
    return int(std::min<qint64>(seconds, INT_MAX));
}

namespace {
// The scan for a title needs at most its 3000 bytes plus the longest text an event can announce.
constexpr qint64 kMidiScanLimit = 3000;
constexpr qint64 kMidiLongestText = (255 - 128) * 256 + 255;
constexpr qint64 kMidiTitleHeadBytes = 22 + kMidiScanLimit + 4 + kMidiLongestText;
} // namespace

QString ReadMidiTitle(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const qint64 length = file.size();
    if (length <= 20) return QString();
    return ReadMidiTitle(file.read(kMidiTitleHeadBytes), length);
}

QString ReadMidiTitle(const QByteArray& head, qint64 length) {
    if (length <= 20 || head.size() < 22) return QString();
    const QByteArray header = head.first(14);
    if (!header.startsWith("MThd") || header[11] == 0) return QString();
    const QByteArray chunk = head.mid(14, 8);
    if (!chunk.startsWith("MTrk")) return QString();
    auto u8 = [](const QByteArray& b, qint64 i) { return int(quint8(b[i])); };
    qint64 claimed = qint32(quint32(u8(chunk, 4)) << 24 | quint32(u8(chunk, 5)) << 16 |
                            quint32(u8(chunk, 6)) << 8 | quint32(u8(chunk, 7)));
    if (claimed < 0 || claimed > length - 20) return QString();

    // The length check above still lets a chunk claim two bytes more than follow it, and a file
    // may shrink while it is read: the track is only the bytes actually there.
    const QByteArray track = head.mid(22, std::min(claimed, kMidiScanLimit + 4 + kMidiLongestText));
    const qint64 trackLength = std::min<qint64>(claimed, length - 22);
    const qint64 available = track.size();

    const qint64 scanEnd = std::min(trackLength, kMidiScanLimit) - 2;
    for (qint64 i = 0; i <= scanEnd && i + 2 < available; ++i) {
        if (u8(track, i) != 0xFF || (u8(track, i + 1) != 0x01 && u8(track, i + 1) != 0x03)) continue;
        qint64 textLength = u8(track, i + 2);
        qint64 start = i + 3;
        if (textLength > 128) {
            if (i + 3 >= available) return QString();
            textLength = (textLength - 128) * 256 + u8(track, i + 3);
            start = i + 4;
        }
        // The text must lie wholly inside the track data that was read.
        if (start + textLength > available || start + textLength > trackLength) return QString();
        QByteArray text = track.mid(start, textLength);
        qsizetype nul = text.indexOf('\0');
        if (nul >= 0) text.truncate(nul);
        return platform::DecodeText(text);
    }
    return QString();
}

QString LongPath(const QString& path) {
    if (path.isEmpty()) return QString();
    // Links are kept as the user named them: the volume memory, the marks and the list rows all
    // key on this path, and one file must not be known under two names depending on how it was
    // opened.
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return QFileInfo::exists(clean) ? clean : QString();
}

// A fixed-width text of the engine's records: up to the first NUL, blanks trimmed.
static QString RecordText(const char* field, size_t size) {
    size_t used = strnlen(field, size);
    return platform::DecodeText(QByteArray(field, qsizetype(used))).trimmed();
}

std::optional<TrackTag> ReadTrackTag(const QString& path) {
    VBMP3_TAG_INFO tag;
    VBMP3_FILE_INFO info;
    std::memset(&tag, 0, sizeof tag);
    std::memset(&info, 0, sizeof info);
    if (!vbmp3_getFileInfo(QFile::encodeName(path).constData(), &tag, &info)) return std::nullopt;
    TrackTag out;
    out.artist = RecordText(tag.artist, sizeof tag.artist);
    out.title = RecordText(tag.title, sizeof tag.title);
    out.playSeconds = info.playTime;
    return out;
}

TrackEntry MakeFileRow(const QString& path, qint64 length, std::optional<bool> hasLyrics) {
    TrackEntry row;
    QString ext = platform::ExtensionOf(path);
    row[ColFile] = platform::FileNameOf(path);
    row[ColSize] = FormatSize(length);
    row[ColKind] = ext;
    row[ColPath] = path;
    row[ColDefaultSize] = PadBytes(length);
    row.icon = hasLyrics ? IconKey(path, ext, *hasLyrics) : IconKey(path, ext);
    return row;
}

std::optional<TrackEntry> MakeFileRow(const QString& path) {
    if (!platform::FileExists(path)) return std::nullopt;
    std::optional<qint64> length = platform::FileSize(path);
    if (!length) return std::nullopt;
    return MakeFileRow(path, *length);
}

void FillRowInfo(TrackEntry& row) {
    const QString& kind = row[ColKind];
    const QString& path = row[ColPath];
    if (kind == u"mp3" || IsEngineAudioKind(kind)) {
        if (std::optional<TrackTag> tag = ReadTrackTag(path)) {
            row[ColArtist] = tag->artist;
            row[ColTitle] = tag->title;
            row[ColTime] = FormatPlayTime(tag->playSeconds);
        }
    } else if (kind == u"wav" || kind == u"wave") {
        row[ColTime] = FormatPlayTime(ReadWaveDuration(path));
    } else if (kind == u"mid" || kind == u"midi") {
        row[ColTitle] = ReadMidiTitle(path);
    }
    if (row[ColTitle].isEmpty()) row[ColTitle] = QStringLiteral("【") + row[ColFile] + QStringLiteral("】");
}

QStringList ReadTrackInformation(const QString& path) {
    QString ext = platform::ExtensionOf(path);
    QString name = platform::FileNameOf(path);
    if (ext == u"mp1" || ext == u"mp2" || ext == u"mp3" || IsEngineAudioKind(ext)) {
        std::optional<TrackTag> tag = ReadTrackTag(path);
        if (!tag) return {name, QString(), QString(), QString()};
        return {name, tag->artist, tag->title, FormatPlayTime(tag->playSeconds)};
    }
    if (ext == u"wav" || ext == u"wave")
        return {name, QString(), QString(), FormatPlayTime(ReadWaveDuration(path))};
    if (ext == u"mid" || ext == u"midi") return {name, QString(), ReadMidiTitle(path), QString()};
    return {name, QString(), QString(), QString()};
}

} // namespace kv::playlists
