#include "platform/ini.h"

#include "platform/files.h"
#include "platform/text_codec.h"

#include <QStringList>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kv::platform {
namespace {

QString CutToBytes(const QString& text, int maxBytes) {
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes) return text;
    int cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return Utf8ToString(std::string_view(utf8.constData(), size_t(cut)));
}

struct IniLines {
    QStringList lines;
    bool crlf = false;
};

IniLines ParseLines(QByteArray bytes) {
    IniLines ini;
    ini.crlf = bytes.contains("\r\n");
    // Everything after a NUL is not text any more; Windows stops there too.
    qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes.truncate(nul);
    ini.lines = SplitLines(DecodeText(bytes));
    return ini;
}

std::optional<IniLines> LoadLines(const QString& file, bool* tooLarge = nullptr) {
    auto size = FileSize(file);
    if (size && *size > kMaxSettingsFileBytes) {
        if (tooLarge) *tooLarge = true;
        static bool warned = false;
        if (!warned) {
            std::fprintf(stderr, "kavetto: %s is too large to be a settings file; using defaults\n",
                         qPrintable(file));
            warned = true;
        }
        return std::nullopt;
    }
    auto bytes = ReadWholeFile(file, kMaxSettingsFileBytes);
    if (!bytes) return std::nullopt;
    return ParseLines(std::move(*bytes));
}

// A "[name]" line gives the section name; anything else gives nothing.
std::optional<QString> SectionOf(const QString& line) {
    QString t = line.trimmed();
    if (!t.startsWith(u'[')) return std::nullopt;
    qsizetype close = t.indexOf(u']');
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

std::optional<QString> KeyOf(const QString& line) {
    qsizetype eq = line.indexOf(u'=');
    if (eq < 0) return std::nullopt;
    return line.left(eq).trimmed();
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct OpenBatch {
    QString file;
    std::optional<IniLines> lines; // nothing: the file is absent or not ours
    bool tooLarge = false;
    bool dirty = false;
    bool inMemory = false; // never read from nor written to the file
    int depth = 0;
};
std::optional<OpenBatch> g_batch;

OpenBatch* BatchFor(const QString& file) {
    return g_batch && g_batch->file == file ? &*g_batch : nullptr;
}

QByteArray Serialize(const IniLines& ini) {
    const char* eol = ini.crlf ? "\r\n" : "\n";
    QByteArray out;
    for (const QString& line : ini.lines) {
        out += line.toUtf8();
        out += eol;
    }
    return out;
}

// Index of the "[section]" line, or -1.
qsizetype FindSection(const QStringList& lines, const QString& section) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto name = SectionOf(lines[i]);
        if (name && SameName(*name, section)) return i;
    }
    return -1;
}

QString StripQuotes(QString value) {
    value = value.trimmed();
    if (value.size() >= 2) {
        QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first) return value.mid(1, value.size() - 2);
    }
    return value;
}

} // namespace

QString ReadSetting(const QString& section, const QString& key, const QString& file) {
    OpenBatch* batch = BatchFor(file);
    auto ini = batch ? batch->lines : LoadLines(file);
    if (!ini) return QString();
    const QString sectionName = CutToBytes(section, kMaxSettingNameBytes);
    const QString keyName = CutToBytes(key, kMaxSettingNameBytes);
    qsizetype start = FindSection(ini->lines, sectionName);
    if (start < 0) return QString();
    for (qsizetype i = start + 1; i < ini->lines.size(); ++i) {
        const QString& line = ini->lines[i];
        if (SectionOf(line)) break;
        auto k = KeyOf(line);
        if (k && SameName(*k, keyName)) {
            QString value = StripQuotes(line.mid(line.indexOf(u'=') + 1));
            qsizetype nul = value.indexOf(QChar(0));
            if (nul >= 0) value.truncate(nul);
            return CutToBytes(value, kMaxSettingValueBytes);
        }
    }
    return QString();
}

void WriteSetting(const QString& section, const QString& key, const QString& value, const QString& file) {
    OpenBatch* batch = BatchFor(file);
    bool tooLarge = false;
    std::optional<IniLines> loaded = batch ? batch->lines : LoadLines(file, &tooLarge);
    if (batch) tooLarge = batch->tooLarge;
    if (tooLarge) return;
    IniLines ini = loaded.value_or(IniLines{});
    const QString sectionName = CutToBytes(section, kMaxSettingNameBytes);
    const QString keyName = CutToBytes(key, kMaxSettingNameBytes);
    // A line break inside a value would split it into lines of its own and corrupt the file.
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString newLine = keyName + u'=' + clean;

    QStringList& lines = ini.lines;
    qsizetype start = FindSection(lines, sectionName);
    if (start < 0) {
        lines.append(u'[' + sectionName + u']');
        lines.append(newLine);
    } else {
        qsizetype end = start + 1;
        qsizetype lastContent = start;
        bool replaced = false;
        for (; end < lines.size(); ++end) {
            const QString& line = lines[end];
            if (SectionOf(line)) break;
            if (!line.trimmed().isEmpty()) lastContent = end;
            auto k = KeyOf(line);
            if (k && SameName(*k, keyName)) {
                lines[end] = newLine;
                replaced = true;
                break;
            }
        }
        if (!replaced) lines.insert(lastContent + 1, newLine);
    }

    if (batch) {
        batch->lines = std::move(ini);
        batch->dirty = true;
        return;
    }
    WriteFileAtomic(file, Serialize(ini));
}

SettingsBatch::SettingsBatch(const QString& file) {
    if (g_batch) {
        ++g_batch->depth; // nested or for another file: the outer batch decides
        return;
    }
    g_batch.emplace();
    g_batch->file = file;
    g_batch->lines = LoadLines(file, &g_batch->tooLarge);
    g_batch->depth = 1;
}

SettingsBatch::SettingsBatch(const QString& file, const QByteArray& contents) {
    if (g_batch) {
        ++g_batch->depth;
        return;
    }
    g_batch.emplace();
    g_batch->file = file;
    g_batch->inMemory = true;
    g_batch->tooLarge = contents.size() > kMaxSettingsFileBytes;
    if (!g_batch->tooLarge) g_batch->lines = ParseLines(contents);
    g_batch->depth = 1;
}

std::optional<QByteArray> SettingsBatch::Contents() const {
    if (!g_batch || !g_batch->lines) return std::nullopt;
    return Serialize(*g_batch->lines);
}

SettingsBatch::~SettingsBatch() {
    if (!g_batch || --g_batch->depth > 0) return;
    if (g_batch->dirty && g_batch->lines && !g_batch->inMemory)
        WriteFileAtomic(g_batch->file, Serialize(*g_batch->lines));
    g_batch.reset();
}

std::optional<bool> SettingToBool(const QString& text) {
    QString t = text.trimmed();
    if (SameName(t, QStringLiteral("True"))) return true;
    if (SameName(t, QStringLiteral("False"))) return false;
    if (auto number = SettingToReal(t)) return *number != 0.0;
    return std::nullopt;
}

std::optional<double> SettingToReal(const QString& text) {
    bool ok = false;
    double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> SettingToInt(const QString& text) {
    auto value = SettingToReal(text);
    if (!value) return std::nullopt;
    double rounded = std::nearbyint(*value); // to nearest, halves to even as the original did
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

QString BoolToSetting(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString RealToSetting(double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value), std::chars_format::fixed);
    if (result.ec != std::errc()) return QString::number(value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace kv::platform
