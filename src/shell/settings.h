// Reading and writing the program's settings: the values each start-up step and LoadSettings
// take from "kvp.ini", with their defaults and limits, and the exact order SaveSettings writes.
// These functions know nothing of widgets; the main window applies and collects the values.
#pragma once
#include "shell/program_state.h"

#include <QString>
#include <array>
#include <optional>

namespace kv::shell {

inline constexpr int kColumnCount = 10;

// Per list view: display positions (1-based, as stored) and widths in twips of columns 1..10.
struct ColumnSettings {
    std::array<int, kColumnCount> position{};
    std::array<double, kColumnCount> width{};
    static ColumnSettings Design();
};

struct PlayModeChecks {
    bool general = false;
    bool continuous = true;
    bool random = false;
};

// Screen size in twips, for the on-screen limits.
struct ScreenTwips {
    int width = 0;
    int height = 0;
};

// Start-up reads.
WindowGeometryValues ReadWindowGeometry(const QString& file, ScreenTwips screen);
// The colour item's number when none of the nine is checked: the display is white.
inline constexpr int kNoForeColorItem = 9;
int ReadForeColor(const QString& file); // 0..8, empty counts as 0, any other number kNoForeColorItem
bool ReadShutter(const QString& file);
SeparatorPositionsValues ReadSeparators(const QString& file);
bool ReadExplorerShown(const QString& file);

// LoadSettings reads; each starts from the value the target has now and changes it only where
// the stored value is readable, then applies the limits.
void ReadColumnSettings(const QString& file, ColumnSettings& view0, ColumnSettings& view1);
QString ReadInitialList(const QString& file);
PlayModeChecks ReadPlayModes(const QString& file, PlayModeChecks current);
bool ReadWordsChecked(const QString& file);
int ReadBarType(const QString& file); // 1..5, empty means 2
StealthSizeValues ReadStealthSize(const QString& file);
WindowBox ReadWindowBox(const QString& file, const QString& prefix, ScreenTwips screen); // "Movie" / "Words"
QString ReadConversionFolder(const QString& file);

// Everything SaveSettings writes, collected from the window and the program variables.
struct SettingsSnapshot {
    WindowGeometryValues window; // current normal geometry and the maximised flag
    SeparatorPositionsValues separators;
    bool treeBuilt = false;
    QString treePath;
    QString initialList;
    ColumnSettings view0 = ColumnSettings::Design();
    ColumnSettings view1 = ColumnSettings::Design();
    PlayModeChecks playModes;
    bool wordsChecked = true;
    int foreColor = 0; // first checked colour item, 9 when none
    int barType = 2;
    bool shutterClosed = false;
    bool explorerShown = false;
    StealthSizeValues stealthSize;
    QString conversionFolder;
    WindowBox movieWindow;
    WindowBox wordsWindow;
};

void SaveSettings(const SettingsSnapshot& values, const QString& file);

} // namespace kv::shell
