// Placement of the main window's controls, in twips (15 per pixel), as plain arithmetic:
// the window computes a MainLayout and then moves its widgets to it.
#pragma once
#include "platform/twips.h"
#include "shell/program_state.h"

#include <QString>

namespace kv::shell {

using platform::kTwipsPerPixel;
using platform::PixelsToTwips;
using platform::TwipsToPixels;
inline constexpr int kSeparatorWidth = 40;
inline constexpr int kListOfListDesignWidth = 1530;
inline constexpr int kListOfListMinWidth = 1500;

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
};

struct MainLayout {
    int scaleWidth = 0;
    int scaleHeight = 0;
    TwipRect toolBar;
    int lastButtonLeft = 0; // left edge of toolbar button 13, room of the list box
    TwipRect listOfList{0, 65, kListOfListDesignWidth, 300};
    TwipRect volume;
    TwipRect pPanelBack;
    TwipRect progBackPicture;
    TwipRect labelCurTime;
    TwipRect progPicture; // inside progBackPicture
    TwipRect startPos;    // inside progPicture
    TwipRect endPos;
    QString startPosCaption = QStringLiteral("▲START");
    TwipRect tree;
    TwipRect separator1;
    TwipRect separator2;
    TwipRect view0;
    TwipRect view1;
};

// Start and end marks of the loaded track, for the markers on the position bar.
struct MarkerPositions {
    bool loaded = false;
    double duration = 0;
    double start = 0;
    double end = 0;
};

void InitialArrangement(MainLayout& layout);
// Places the separators and the three panes; stores accepted edges in `stored`.
void ArrangePanes(MainLayout& layout, double s1, double s2, SeparatorPositionsValues& stored);
// The resize layout of normal mode.
void LayoutMainWindow(MainLayout& layout, double s1, double s2, const MarkerPositions& markers);
// The display row's new height (the shutter): the position bar, the panes and the separators move
// up or down with it; the volume bar stays beside both rows.
void ResizeDisplayRow(MainLayout& layout, int height);

} // namespace kv::shell
