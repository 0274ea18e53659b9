#include "platform/ini.h"

#include "platform/files.h"
#include "platform/text_codec.h"

#include <QStringList>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

namespace kv::platform {
namespace {

QString CutToBytes(const QString& text, int maxBytes) {
    // No UTF-16 unit takes more than three bytes: short names need no conversion.
    if (text.size() * 3 <= maxBytes) return text;
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= maxBytes) return text;
    int cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return Utf8ToString(std::string_view(utf8.constData(), size_t(cut)));
}

// What one line is to the reader: a "[name]" line, a "key=value" line, other text, or blank.
struct LineKind {
    enum Kind : uint8_t { Section, Key, Text, Blank } kind;
    std::pair<qsizetype, qsizetype> name; // where the section or key name, trimmed, stands in the line
};

LineKind KindOf(const QString& line);

struct IniLines {
    QStringList lines;
    // One entry per line, kept in step with `lines`: a batch answers many reads from one text,
    // and each would otherwise trim and cut every line again.
    std::vector<LineKind> kinds;
    bool crlf = false;

    QStringView NameAt(qsizetype i) const {
        const auto [from, length] = kinds[size_t(i)].name;
        return QStringView(lines[i]).mid(from, length);
    }
    void Set(qsizetype i, const QString& line) {
        lines[i] = line;
        kinds[size_t(i)] = KindOf(line);
    }
    void Insert(qsizetype i, const QString& line) {
        lines.insert(i, line);
        kinds.insert(kinds.begin() + i, KindOf(line));
    }
};

IniLines ParseLines(QByteArray bytes) {
    IniLines ini;
    ini.crlf = bytes.contains("\r\n");
    // Everything after a NUL is not text any more; Windows stops there too.
    qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes.truncate(nul);
    ini.lines = SplitLines(DecodeText(bytes));
    ini.kinds.reserve(size_t(ini.lines.size()));
    for (const QString& line : ini.lines)
        ini.kinds.push_back(KindOf(line));
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
std::optional<QStringView> SectionOf(QStringView line) {
    QStringView t = line.trimmed();
    if (!t.startsWith(u'[')) return std::nullopt;
    qsizetype close = t.indexOf(u']');
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

std::optional<QStringView> KeyOf(QStringView line) {
    qsizetype eq = line.indexOf(u'=');
    if (eq < 0) return std::nullopt;
    return line.left(eq).trimmed();
}

bool SameName(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

LineKind KindOf(const QString& line) {
    // The name is kept as its place in the line: parsing a long file allocates nothing per line.
    auto place = [&](QStringView name) {
        return name.isEmpty() ? std::pair<qsizetype, qsizetype>(0, 0)
                              : std::pair<qsizetype, qsizetype>(name.data() - line.constData(), name.size());
    };
    if (auto section = SectionOf(line)) return {LineKind::Section, place(*section)};
    if (auto key = KeyOf(line)) return {LineKind::Key, place(*key)};
    return {QStringView(line).trimmed().isEmpty() ? LineKind::Blank : LineKind::Text, {0, 0}};
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
qsizetype FindSection(const IniLines& ini, const QString& section) {
    for (size_t i = 0; i < ini.kinds.size(); ++i)
        if (ini.kinds[i].kind == LineKind::Section && SameName(ini.NameAt(qsizetype(i)), section))
            return qsizetype(i);
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
    std::optional<IniLines> loaded;
    if (!batch) loaded = LoadLines(file);
    const std::optional<IniLines>& ini = batch ? batch->lines : loaded;
    if (!ini) return QString();
    const QString sectionName = CutToBytes(section, kMaxSettingNameBytes);
    const QString keyName = CutToBytes(key, kMaxSettingNameBytes);
    qsizetype start = FindSection(*ini, sectionName);
    if (start < 0) return QString();
    for (qsizetype i = start + 1; i < ini->lines.size(); ++i) {
        const LineKind& kind = ini->kinds[size_t(i)];
        if (kind.kind == LineKind::Section) break;
        if (kind.kind == LineKind::Key && SameName(ini->NameAt(i), keyName)) {
            const QString& line = ini->lines[i];
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
    std::optional<IniLines> loaded;
    if (!batch) loaded = LoadLines(file, &tooLarge);
    if (batch) tooLarge = batch->tooLarge;
    if (tooLarge) return;
    // A batch's copy is changed where it stands.
    std::optional<IniLines>& target = batch ? batch->lines : loaded;
    if (!target) target.emplace();
    IniLines& ini = *target;
    const QString sectionName = CutToBytes(section, kMaxSettingNameBytes);
    const QString keyName = CutToBytes(key, kMaxSettingNameBytes);
    // A line break inside a value would split it into lines of its own and corrupt the file.
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString newLine = keyName + u'=' + clean;

    qsizetype start = FindSection(ini, sectionName);
    if (start < 0) {
        ini.Insert(ini.lines.size(), u'[' + sectionName + u']');
        ini.Insert(ini.lines.size(), newLine);
    } else {
        qsizetype end = start + 1;
        qsizetype lastContent = start;
        bool replaced = false;
        for (; end < ini.lines.size(); ++end) {
            const LineKind& kind = ini.kinds[size_t(end)];
            if (kind.kind == LineKind::Section) break;
            if (kind.kind != LineKind::Blank) lastContent = end;
            if (kind.kind == LineKind::Key && SameName(ini.NameAt(end), keyName)) {
                ini.Set(end, newLine);
                replaced = true;
                break;
            }
        }
        if (!replaced) ini.Insert(lastContent + 1, newLine);
    }

    if (batch) {
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
