// The "kvp.ini" reader on arbitrary bytes: every start-up read, then one write, which must read
// back and leave every other value as it was. Built twice: on the contents in memory (a settings
// batch that never touches the file), and (KVFUZZ_ON_DISK) through the file.
#include "fuzz_input_file.h"
#include "platform/ini.h"
#include "shell/settings.h"

#include <array>
#include <optional>
#include <utility>

using namespace kv;

namespace {
const std::array<std::pair<const char*, const char*>, 10> kProbes = {{{"Initialform", "top"},
                                                                      {"Initialform", "Sep1"},
                                                                      {"other", "Maximize"},
                                                                      {"other", "InitialDir"},
                                                                      {"OTHER", "bartype"},
                                                                      {"Menu", "IDMWords"},
                                                                      {"colpos", "col0-1"},
                                                                      {"colwidth", "col1-10"},
                                                                      {"Color", "ForeColor"},
                                                                      {"Encode", "SaveDir"}}};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#if KVFUZZ_ON_DISK
    const std::string path = kvfuzz::WriteInput("kvp.ini", data, size);
    if (path.empty()) return 0;
    const QString file = QString::fromStdString(path);
#else
    const QString file = QStringLiteral("/settings/kvp.ini");
    std::optional<platform::SettingsBatch> batch(std::in_place, file, kvfuzz::Bytes(data, size));
#endif
    const shell::ScreenTwips screen{1280 * 15, 1024 * 15};
    shell::ReadWindowGeometry(file, screen);
    shell::ReadForeColor(file);
    shell::ReadShutter(file);
    shell::ReadSeparators(file);
    shell::ReadExplorerShown(file);
    shell::ColumnSettings view0 = shell::ColumnSettings::Design(), view1 = view0;
    shell::ReadColumnSettings(file, view0, view1);
    shell::ReadPlayModes(file, {});
    shell::ReadWordsChecked(file);
    const int bar = shell::ReadBarType(file);
    kvfuzz::Require(bar >= 1 && bar <= 5, "bar type out of range");
    shell::ReadStealthSize(file);
    shell::ReadWindowBox(file, QStringLiteral("Movie"), screen);
    shell::ReadConversionFolder(file);

    std::array<QString, kProbes.size()> before;
    for (size_t i = 0; i < kProbes.size(); ++i)
        before[i] = platform::ReadSetting(kProbes[i].first, kProbes[i].second, file);
    const QString list = QStringLiteral("リスト=1 [a]");
    platform::WriteSetting(QStringLiteral("other"), QStringLiteral("InitialList"), list, file);
    if (size > size_t(platform::kMaxSettingsFileBytes)) return 0;
#if !KVFUZZ_ON_DISK
    // What was written is read back from its text, as the next start would read the file.
    const std::optional<QByteArray> written = batch->Contents();
    kvfuzz::Require(written.has_value(), "nothing written");
    batch.reset();
    batch.emplace(file, *written);
#endif
    kvfuzz::Require(shell::ReadInitialList(file) == list, "written value does not read back");
    for (size_t i = 0; i < kProbes.size(); ++i)
        kvfuzz::Require(platform::ReadSetting(kProbes[i].first, kProbes[i].second, file) == before[i],
                        "a write changed another value");
    return 0;
}
