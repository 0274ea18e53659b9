#include "shell/layout.h"

#include <gtest/gtest.h>

using namespace kv::shell;

namespace {
MainLayout Window(int width, int height) {
    MainLayout l;
    l.scaleWidth = width;
    l.scaleHeight = height;
    l.toolBar = {0, 0, 4000, 420};
    l.lastButtonLeft = 4200;
    l.volume.width = 360;
    l.progBackPicture = {0, 1650, 0, 330};
    l.labelCurTime = {60, 30, 1500, 270};
    l.progPicture = {0, 30, 0, 270};
    l.startPos = {0, 0, 900, 240};
    l.endPos = {0, 0, 600, 240};
    InitialArrangement(l);
    return l;
}
} // namespace

TEST(Layout, ArrangePanesKeepsSeparatorsApartAndStoresThem) {
    struct Case {
        double s1, s2;
        int left1, left2;
    };
    for (Case c : {Case{100, 300, 500, 1000}, Case{2000, 2200, 2000, 2500}, Case{2000, 4000, 2000, 4000},
                   Case{-50, 9000, 500, 9000}}) {
        MainLayout l = Window(12000, 9000);
        SeparatorPositionsValues stored{1, 2};
        ArrangePanes(l, c.s1, c.s2, stored);
        EXPECT_EQ(l.separator1.left, c.left1) << c.s1 << "," << c.s2;
        EXPECT_EQ(l.separator2.left, c.left2) << c.s1 << "," << c.s2;
        EXPECT_EQ(stored.sep1, c.left1);
        EXPECT_EQ(stored.sep2, c.left2);
        EXPECT_EQ(l.view0.left, c.left1 + kSeparatorWidth);
        EXPECT_EQ(l.view0.width, c.left2 - l.view0.left);
        EXPECT_EQ(l.view1.left, c.left2 + kSeparatorWidth);
        EXPECT_EQ(l.view1.width, 12000 - l.view1.left);
        EXPECT_EQ(l.tree.width, c.left1);
        EXPECT_EQ(l.separator1.height, 9000 + 3000);
    }
}

TEST(Layout, InitialArrangementStacksTheRows) {
    MainLayout l = Window(9750, 6000);
    EXPECT_EQ(l.volume.left, 0);
    EXPECT_EQ(l.volume.top, 420 + 30);
    EXPECT_EQ(l.volume.Bottom(), l.progBackPicture.Bottom());
    EXPECT_EQ(l.pPanelBack.left, 360);
    EXPECT_EQ(l.pPanelBack.width, 9750 - 360);
    EXPECT_EQ(l.pPanelBack.Bottom(), l.progBackPicture.top);
    EXPECT_EQ(l.progPicture.left, 60 + 1500 + 300);
    EXPECT_EQ(l.view1.top, l.progBackPicture.Bottom());
    EXPECT_EQ(l.view1.height, 6000 - l.progBackPicture.Bottom());
}

TEST(Layout, ListBoxShrinksToTheWindowButNeverBelow1500) {
    struct Case {
        int width, expected;
    };
    for (Case c : {Case{20000, kListOfListDesignWidth}, Case{4200 + 1530, 1530}, Case{4200 + 1520, 1520},
                   Case{4200 + 1600, 1530}, Case{4200 + 1400, 1500}, Case{5000, 1500}}) {
        MainLayout l = Window(c.width, 6000);
        LayoutMainWindow(l, 2000, 4000, {});
        EXPECT_EQ(l.listOfList.left, 4200);
        EXPECT_EQ(l.listOfList.width, c.expected) << c.width;
        EXPECT_EQ(l.toolBar.width, 4200);
    }
}

TEST(Layout, MarkersFollowTheMarksAndTheStartCaptionNarrows) {
    MainLayout l = Window(12000, 6000);
    LayoutMainWindow(l, 2000, 4000, {true, 100, 10, 80});
    const int inner = l.progPicture.width;
    EXPECT_EQ(l.startPos.left, int(std::lround(10.0 / 100 * inner)));
    EXPECT_EQ(l.endPos.left, int(std::lround(80.0 / 100 * inner)));
    EXPECT_EQ(l.startPosCaption, "▲START");

    LayoutMainWindow(l, 2000, 4000, {true, 100, 50, 51});
    EXPECT_EQ(l.startPosCaption, "▲        ");

    LayoutMainWindow(l, 2000, 4000, {true, 100, -5, 100});
    EXPECT_EQ(l.startPos.left, 0);
    EXPECT_EQ(l.endPos.Right(), inner); // never past the bar's end
}

TEST(Layout, WithoutATrackTheMarkersStandAtTheBarsEndsAtEveryWidth) {
    for (int width : {6500, 9000, 20000}) {
        MainLayout l = Window(width, 6000);
        InitialArrangement(l);
        LayoutMainWindow(l, 2000, 4000, {});
        EXPECT_GT(l.progPicture.width, 0) << width;
        EXPECT_EQ(l.startPos.left, 0) << width;
        EXPECT_EQ(l.endPos.Right(), l.progPicture.width) << width;
        EXPECT_EQ(l.startPosCaption, "▲START") << width;
    }
    // With marks, the same marks at another width stand at the same share of the bar.
    MainLayout l = Window(8000, 6000);
    LayoutMainWindow(l, 2000, 4000, {true, 100, 25, 50});
    const double startShare = double(l.startPos.left) / l.progPicture.width;
    l.scaleWidth = 16000;
    LayoutMainWindow(l, 2000, 4000, {true, 100, 25, 50});
    EXPECT_NEAR(double(l.startPos.left) / l.progPicture.width, startShare, 0.001);
    EXPECT_NEAR(double(l.endPos.left) / l.progPicture.width, 0.5, 0.001);
}

TEST(Layout, PanesFollowTheSeparatorsAndTheWindowEdge) {
    MainLayout l = Window(12000, 6000);
    SeparatorPositionsValues stored;
    ArrangePanes(l, 2000, 4000, stored);
    LayoutMainWindow(l, 2000, 4000, {});
    EXPECT_EQ(l.tree.width, 2000 + 5);
    EXPECT_EQ(l.view0.width, 4000 - l.view0.left + 5);
    EXPECT_EQ(l.view1.width, 12000 - l.view1.left);

    LayoutMainWindow(l, 13000, 14000, {}); // the first separator beyond the window
    EXPECT_EQ(l.tree.width, 12000 + 5);
    LayoutMainWindow(l, 2000, 14000, {}); // only the second
    EXPECT_EQ(l.view0.width, 12000 - l.view0.left + 5);
}
