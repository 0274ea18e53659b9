#include "display/panel_colors.h"

#include <QRandomGenerator>
#include <algorithm>

namespace kv::display {

namespace {
Shades g_shades = MakeShadeTable(qRgb(250, 250, 250));
}

QRgb DisplayColour(int index) {
    switch (index) {
    case 1: return qRgb(250, 250, 250);
    case 2: return qRgb(210, 210, 210);
    case 3: return qRgb(190, 255, 190);
    case 4: return qRgb(190, 190, 255);
    case 5: return qRgb(225, 180, 250);
    case 6: return qRgb(255, 190, 190);
    case 7: return qRgb(255, 220, 160);
    case 8: return qRgb(255, 255, 160);
    default: return qRgb(250, 250, 250);
    }
}

Shades MakeShadeTable(QRgb base) {
    Shades table{};
    auto shade = [](int c, int i) { return std::clamp(c + 99 - i, 0, 255); };
    for (int i = 0; i < 256; ++i)
        table[size_t(i)] = qRgb(shade(qRed(base), i), shade(qGreen(base), i), shade(qBlue(base), i));
    return table;
}

const Shades& ShadeTable() { return g_shades; }

int SetPanelColor(int index, const std::function<double()>& random01) {
    if (index == 0) {
        const double r = random01 ? random01() : QRandomGenerator::global()->generateDouble();
        index = std::clamp(int(kDisplayColourCount * r) + 1, 1, kDisplayColourCount);
    }
    g_shades = MakeShadeTable(DisplayColour(index));
    return index;
}

} // namespace kv::display
