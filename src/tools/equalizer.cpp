#include "tools/equalizer.h"

#include "engine/vbmp3.h"
#include "platform/ini.h"

#include <algorithm>

namespace kv::tools {
namespace {
const QString kSection = QStringLiteral("Equalizer");
// Key names are stored in users' settings files: they must not change.
QString CustomKey(int band) {
    return QStringLiteral("Custom1%1").arg(band);
}
} // namespace

QStringList PresetNames() {
    return {QStringLiteral("Normal"),       QStringLiteral("Custom"),    QStringLiteral("Pop"),
            QStringLiteral("Rock"),         QStringLiteral("Jaz"),       QStringLiteral("Country"),
            QStringLiteral("Treble Boost"), QStringLiteral("Bass Boost")};
}

std::array<std::optional<int>, kBands> FixedPresetGains(int index) {
    static const std::array<std::initializer_list<int>, 8> table = {{
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {},
        {20, 30, 40, 60, 60, 40, 30, 20, 0, 0},
        {60, 40, 20, 0, -20, -20, 0, 20, 40, 60},
        {0, 0, 0, 30, 40, 30, 10, 20, 30, 40},
        {-20, 0, 10, 40, 30, 0, 10, 30, 40},
        {0, 0, 0, 0, 5, 20, 35, 50, 65, 80},
        {80, 65, 50, 35, 20, 5, 0, 0, 0, 0},
    }};
    std::array<std::optional<int>, kBands> gains;
    if (index < 0 || index >= int(table.size())) return gains;
    int band = 0;
    for (int g : table[size_t(index)])
        gains[size_t(band++)] = g;
    return gains;
}

int DefaultCustomGain(int band) {
    return 100 - 22 * band;
}

Gains ReadCustomGains(const QString& settingsFile, Gains current) {
    for (int i = 0; i < kBands; ++i) {
        // A hand-edited value is held to the sliders' range: negated as it stands, the lowest
        // int would have no positive counterpart.
        if (auto v = platform::SettingToInt(platform::ReadSetting(kSection, CustomKey(i), settingsFile)))
            current[size_t(i)] = std::clamp(*v, -kGainLimit, kGainLimit);
        // A stored 0 is never shown: it stands for "not set" and takes the default.
        if (current[size_t(i)] == 0) current[size_t(i)] = DefaultCustomGain(i);
    }
    return current;
}

void WriteCustomGains(const QString& settingsFile, const Gains& gains) {
    platform::SettingsBatch batch(settingsFile);
    for (int i = 0; i < kBands; ++i)
        platform::WriteSetting(kSection, CustomKey(i), QString::number(gains[size_t(i)]), settingsFile);
}

Gains SlidersForPreset(int index, const Gains& sliders, Gains& customInMemory, const QString& settingsFile) {
    Gains result = sliders;
    if (index == PresetCustom) {
        customInMemory = ReadCustomGains(settingsFile, customInMemory);
        for (int i = 0; i < kBands; ++i)
            result[size_t(i)] = -customInMemory[size_t(i)];
        return result;
    }
    const auto fixed = FixedPresetGains(index);
    for (int i = 0; i < kBands; ++i)
        if (fixed[size_t(i)]) result[size_t(i)] = -*fixed[size_t(i)];
    return result;
}

std::array<int16_t, kBands> GainsFromSliders(const Gains& sliders) {
    std::array<int16_t, kBands> gains{};
    for (int i = 0; i < kBands; ++i)
        gains[size_t(i)] = int16_t(std::clamp(-sliders[size_t(i)], -kGainLimit, kGainLimit));
    return gains;
}

EqualizerEngine EqualizerEngine::Real() {
    return {[](const std::array<int16_t, kBands>& gains) { vbmp3_setEqualizer(gains.data()); },
            [] { vbmp3_reload(); }};
}

} // namespace kv::tools
