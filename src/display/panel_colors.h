// The display colour scheme shared by the visualizer, the bars and the information labels.
#pragma once
#include <QRgb>
#include <array>
#include <functional>

namespace kv::display {

inline constexpr QRgb kPanelBackColor = qRgb(40, 40, 40);
inline constexpr int kDisplayColourCount = 8; // menu items 1..8; item 0 is "random"

// The base colour of a display colour menu item; any other number gives white (250, 250, 250).
QRgb DisplayColour(int index);

// 256 shades: entry i = base + 99 - i in each component, capped at 255 (never below 0 with the
// menu's colours; clamped there too for any other base).
using Shades = std::array<QRgb, 256>;
Shades MakeShadeTable(QRgb base);

// The table in use, shared by every drawing of the display.
const Shades& ShadeTable();

// Picks the colour (index 0: one of 1..8 from random01 in [0, 1)), fills ShadeTable with it and
// returns the index actually chosen. The caller paints labels and redraws the bars and panel.
int SetPanelColor(int index, const std::function<double()>& random01 = {});

} // namespace kv::display
