#include "tools/lyrics.h"

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text_codec.h"

#include <QFile>

namespace kv::tools {
namespace {
// Section and key names are stored in users' settings files: they must not change.
const QString kWords = QStringLiteral("Words");
} // namespace

QString LyricsFileOf(const QString& fileName, const QString& extension) {
    if (extension.isEmpty() || fileName.size() <= extension.size()) return QString();
    return fileName.left(fileName.size() - extension.size()) + QStringLiteral("txt");
}

QString ReadLyricsText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const QString decoded =
        platform::DecodeText(file.read(kMaxLyricsBytes)); // an error keeps what came before
    // One pass: CR LF and lone CR become line ends, every line gets one, controls are marked.
    QString text(decoded.size() + decoded.size() / kLongestLyricsLine + 1, Qt::Uninitialized);
    QChar* out = text.data();
    qsizetype run = 0;
    const QChar* in = decoded.constData();
    const QChar* const end = in + decoded.size();
    for (; in != end; ++in) {
        QChar c = *in;
        if (c == u'\r') {
            if (in + 1 != end && in[1] == u'\n') ++in;
            c = u'\n';
        }
        if (c == u'\n') {
            run = 0;
        } else {
            if (c.unicode() < 0x20 && c != u'\t') c = QChar::ReplacementCharacter;
            if (++run > kLongestLyricsLine) {
                *out++ = u'\n';
                run = 1;
            }
        }
        *out++ = c;
    }
    if (out != text.constData() && out[-1] != u'\n') *out++ = u'\n';
    text.truncate(out - text.constData());
    return text;
}

int ColorToSetting(const QColor& color) {
    return color.red() | color.green() << 8 | color.blue() << 16;
}

QColor SettingToColor(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

WordsFont ReadWordsFont(const QString& settingsFile, WordsFont design) {
    platform::SettingsBatch batch(settingsFile);
    auto read = [&](const char* key) {
        return platform::ReadSetting(kWords, QString::fromLatin1(key), settingsFile);
    };
    if (const QString name = read("FontName"); !name.isEmpty()) design.font.setFamily(name);
    if (auto size = platform::SettingToReal(read("FontSize")); size && *size > 0)
        design.font.setPointSizeF(*size);
    if (auto b = platform::SettingToBool(read("FontBold"))) design.font.setBold(*b);
    if (auto b = platform::SettingToBool(read("FontItalic"))) design.font.setItalic(*b);
    if (auto b = platform::SettingToBool(read("FontStrikethrough"))) design.font.setStrikeOut(*b);
    if (auto b = platform::SettingToBool(read("FontUnderline"))) design.font.setUnderline(*b);
    if (auto c = platform::SettingToInt(read("FontColor"))) design.color = SettingToColor(*c);
    return design;
}

void WriteWordsFont(const QString& settingsFile, const WordsFont& chosen) {
    platform::SettingsBatch batch(settingsFile);
    auto write = [&](const char* key, const QString& value) {
        platform::WriteSetting(kWords, QString::fromLatin1(key), value, settingsFile);
    };
    write("FontName", chosen.font.family());
    write("FontSize", QString::number(chosen.font.pointSizeF()));
    write("FontBold", platform::BoolToSetting(chosen.font.bold()));
    write("FontItalic", platform::BoolToSetting(chosen.font.italic()));
    write("FontStrikethrough", platform::BoolToSetting(chosen.font.strikeOut()));
    write("FontUnderline", platform::BoolToSetting(chosen.font.underline()));
    write("FontColor", QString::number(ColorToSetting(chosen.color)));
}

} // namespace kv::tools
