// The equalizer's presets, the user's own curve in the settings file and the hand-over of a
// curve to the engine. Slider values are the negated gains: a slider pushed up raises its band.
#pragma once
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace kv::tools {

inline constexpr int kBands = 10;
inline constexpr int kGainLimit = 120; // gains and slider values run from -120 to 120

using Gains = std::array<int, kBands>;

// The preset list in the order of the drop-down; the list index is what the code uses.
enum PresetIndex : int { PresetNormal = 0, PresetCustom = 1 };
QStringList PresetNames();

// The fixed gains of a preset; bands a preset does not name are empty (Country leaves the
// treble band where it is). Custom has no fixed gains: it comes from the settings.
std::array<std::optional<int>, kBands> FixedPresetGains(int index);

// The user's curve: keys "Custom10".."Custom19" of section "Equalizer". An unreadable value
// leaves that band of `current` as it is; a band that is then 0 takes its default.
Gains ReadCustomGains(const QString& settingsFile, Gains current);
void WriteCustomGains(const QString& settingsFile, const Gains& gains);
int DefaultCustomGain(int band); // 100 - 22 * band

// Slider values after choosing a preset: bands the preset does not name keep their slider.
Gains SlidersForPreset(int index, const Gains& sliders, Gains& customInMemory, const QString& settingsFile);

// The engine side: set the ten 16-bit gains, then make the playing file take them. Tests put
// a recorder in place of the real engine calls.
struct EqualizerEngine {
    std::function<void(const std::array<int16_t, kBands>&)> setEqualizer;
    std::function<void()> reload;
    static EqualizerEngine Real();
};

// The gains handed to the engine for the sliders as they stand.
std::array<int16_t, kBands> GainsFromSliders(const Gains& sliders);

} // namespace kv::tools
