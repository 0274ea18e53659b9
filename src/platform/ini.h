// The settings file format: "[section]" lines followed by "key=value" lines. Section and key
// names match without regard to letter case. The file is read or rewritten on every call; no
// copy is kept, so another window's write is always seen by the next read.
#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace kv::platform {

// Values are cut to 255 bytes and names to 127 bytes, never inside a character.
inline constexpr int kMaxSettingValueBytes = 255;
inline constexpr int kMaxSettingNameBytes = 127;
// A settings file larger than this is not ours: it reads as absent and is never rewritten.
inline constexpr qint64 kMaxSettingsFileBytes = 4 * 1024 * 1024;

// "" when the file, the section or the key is absent.
QString ReadSetting(const QString& section, const QString& key, const QString& file);
// Replaces the value in place, or adds the key at the end of its section, or the section at the
// end of the file. Every other line is kept. The write is atomic; a failure changes nothing.
void WriteSetting(const QString& section, const QString& key, const QString& value, const QString& file);

// While a batch is open for a file, reads and writes of that file work on one copy in memory,
// and the file is written once, atomically, when the batch closes: a whole save lands at once
// and costs one write instead of one per key. Batches are for one thread (the UI thread).
class SettingsBatch {
  public:
    explicit SettingsBatch(const QString& file);
    // A batch over the file's contents given in memory: the file itself is neither read nor
    // written, and Contents gives what it would hold after the writes.
    SettingsBatch(const QString& file, const QByteArray& contents);
    std::optional<QByteArray> Contents() const;
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;
};

// The one set of conversions every reader of settings uses. Nothing means "unreadable".
std::optional<bool> SettingToBool(const QString& text); // "True"/"False" any case, or a number
std::optional<int> SettingToInt(const QString& text);   // decimal; a fraction rounds to nearest
std::optional<double> SettingToReal(const QString& text);
QString BoolToSetting(bool value);   // "True" / "False"
QString RealToSetting(double value); // shortest single-precision text

} // namespace kv::platform
