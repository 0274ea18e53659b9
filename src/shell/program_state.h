// Program-wide variables that live as long as the process. Everything runs on the UI thread.
#pragma once
#include <QString>
#include <array>

namespace kv::shell {

// Main window normal geometry, twips.
struct WindowGeometryValues {
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;
    bool maximized = false;
};

// Size and placement of a secondary window (media player, lyrics), twips; state 0 normal,
// 1 minimised, 2 maximised.
struct WindowBox {
    int height = 0;
    int width = 0;
    int left = 0;
    int top = 0;
    int state = 0;
    // False until the window has a place of its own (none stored, or one off the screen): it
    // then first appears beside the main window, and no place is saved for it.
    bool placed = true;
};

struct StealthSizeValues {
    int height = 0;
    int width = 0;
};

struct SeparatorPositionsValues {
    double sep1 = 0;
    double sep2 = 0;
};

struct ProgramState {
    bool Initializing = false;
    bool Closing = false;
    WindowGeometryValues WindowGeometry;
    int StartVolume = 0;
    bool MediaWindowLoaded = false;
    bool RealWindowLoaded = false;
    std::array<QString, 4> TrackInfoStrings{"-----", "-----", "-----", "-----"};
    SeparatorPositionsValues SeparatorPositions;
    bool ExplorerShown = false;
    bool TreeBuilt = false;
    bool ShutterClosed = false;
    bool StealthActive = false;
    StealthSizeValues StealthSize;
    WindowBox MovieWindowGeometry;
    WindowBox WordsWindowGeometry;
    QString ConversionSaveFolder;
    QString PlayingListName;
};

} // namespace kv::shell
