#include "shell/layout.h"

#include "display/display_modes.h"

#include <algorithm>
#include <cmath>

namespace kv::shell {

void InitialArrangement(MainLayout& l) {
    const int paneTop = l.progBackPicture.Bottom();
    const int paneHeight = l.scaleHeight - paneTop;
    const int rowTop = l.toolBar.Bottom() + 30;
    const int rowHeight = l.progBackPicture.top - rowTop;

    l.volume.left = 0;
    l.volume.top = rowTop;
    l.volume.height = paneTop - rowTop;

    l.pPanelBack.left = l.volume.Right();
    l.pPanelBack.width = l.scaleWidth - l.volume.width;
    l.pPanelBack.top = rowTop;
    l.pPanelBack.height = rowHeight;

    l.progBackPicture.left = l.volume.Right();
    l.progPicture.left = l.labelCurTime.Right() + 300;

    l.startPos.top = l.progPicture.height - l.startPos.height;
    l.endPos.top = l.progPicture.height - l.endPos.height;
    l.startPos.left = 0;
    l.endPos.left = l.progPicture.width - l.endPos.width;

    for (TwipRect* pane : {&l.tree, &l.view0, &l.view1}) {
        pane->top = paneTop;
        pane->height = paneHeight;
    }
}

void ArrangePanes(MainLayout& l, double s1, double s2, SeparatorPositionsValues& stored) {
    s1 = std::max(s1, 500.0);
    s2 = std::max(s2, 500.0);
    if (s1 + 500 > s2) s2 = s1 + 500;
    for (auto [sep, x] : {std::pair{&l.separator1, s1}, std::pair{&l.separator2, s2}}) {
        sep->left = int(std::lround(x));
        sep->top = l.view1.top;
        sep->height = l.scaleHeight + 3000;
        sep->width = kSeparatorWidth;
    }
    l.tree.width = l.separator1.left - l.tree.left;
    l.view0.left = l.separator1.left + kSeparatorWidth;
    l.view0.width = l.separator2.left - l.view0.left;
    l.view1.left = l.separator2.left + kSeparatorWidth;
    l.view1.width = l.scaleWidth - l.view1.left;
    if (l.separator1.left > 50 && l.separator2.left > 50)
        stored = {double(l.separator1.left), double(l.separator2.left)};
}

void LayoutMainWindow(MainLayout& l, double s1, double s2, const MarkerPositions& m) {
    const int paneTop = l.progBackPicture.Bottom();
    const int paneHeight = l.scaleHeight - paneTop;

    // Toolbar up to its last button; the list box sits in that button's room.
    l.toolBar.width = l.lastButtonLeft;
    l.listOfList.left = l.lastButtonLeft;
    l.listOfList.width = kListOfListDesignWidth;
    if (l.listOfList.Right() >= l.scaleWidth) l.listOfList.width = l.scaleWidth - l.listOfList.left;
    if (l.listOfList.width < kListOfListMinWidth) l.listOfList.width = kListOfListMinWidth;

    l.pPanelBack.width = l.scaleWidth - l.volume.width;
    l.progBackPicture.width = l.scaleWidth - l.progBackPicture.left;
    l.progPicture.width = l.progBackPicture.width - l.progPicture.left;

    // The markers follow the bar's width on every layout; with no track they stand at its two
    // ends, as start-up places them.
    {
        const bool marks = m.loaded && m.duration != 0;
        const double inner = l.progPicture.width;
        l.startPos.left = marks ? int(std::lround(m.start / m.duration * inner)) : 0;
        l.endPos.left = marks ? int(std::lround(m.end / m.duration * inner)) : int(inner);
        if (l.startPos.left < 0) l.startPos.left = 0;
        if (l.endPos.Right() > inner) l.endPos.left = int(inner) - l.endPos.width;
        l.startPosCaption = (l.endPos.left - l.startPos.left < l.startPos.width) ? QStringLiteral("▲        ")
                                                                                 : QStringLiteral("▲START");
    }

    for (TwipRect* pane : {&l.tree, &l.view0, &l.view1}) {
        pane->top = paneTop;
        pane->height = paneHeight;
    }
    l.tree.width = int(std::lround(s1)) - l.tree.left + 5;
    l.view0.width = int(std::lround(s2)) - l.view0.left + 5;
    l.view1.width = l.scaleWidth - l.view1.left;
    if (s1 >= l.scaleWidth)
        l.tree.width = l.scaleWidth - l.tree.left + 5;
    else if (s2 >= l.scaleWidth)
        l.view0.width = l.scaleWidth - l.view0.left + 5;
}

void ResizeDisplayRow(MainLayout& l, int height) {
    l.pPanelBack.height = height;
    const display::RowsBelowDisplay rows =
        display::RowsBelow(l.pPanelBack.top, height, l.progBackPicture.height, l.scaleHeight);
    l.progBackPicture.top = rows.progTop;
    // Dropped below the display, the volume bar would cover the lists.
    l.volume.height = rows.paneTop - l.volume.top;
    for (TwipRect* pane : {&l.tree, &l.view0, &l.view1}) {
        pane->top = rows.paneTop;
        pane->height = rows.paneHeight;
    }
    for (TwipRect* sep : {&l.separator1, &l.separator2}) {
        sep->top = rows.paneTop;
        sep->height = rows.separatorHeight;
    }
}

} // namespace kv::shell
