// The LCD shutter and stealth mode against a recording window: geometry kept and restored, the
// pointer decisions of Timer2, and the order of the visualizer calls.
#include "display/display_modes.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace kv::display;

namespace {

class FakeWindow : public DisplayModesHost {
  public:
    bool maximized = false;
    bool minimized = false;
    bool shown = true;
    bool topmost = false;
    TwipBox box{1500, 3000, 6000, 9000};
    TwipBox normal = box; // kept while maximised
    TwipBox saved;
    bool savedMax = false;
    QPoint pointer;
    int panelBackHeight = 1200;
    bool decoderPlaying = false;
    bool stealthControls = false;
    bool shutterOpen = true;
    bool displayItems = true;
    QStringList calls;
    int boxSets = 0;

    bool IsMaximized() const override { return maximized; }
    bool IsMinimized() const override { return minimized; }
    void ShowNormal() override { maximized = minimized = false; }
    void ShowMaximized() override { maximized = true; }
    TwipBox WindowBox() const override { return box; }
    TwipBox NormalWindowBox() const override { return maximized ? normal : box; }
    void SetWindowBox(const TwipBox& b) override {
        box = b;
        ++boxSets;
    }
    void SetTopmost(bool on) override {
        topmost = on;
        shown = true;
    }
    void ShowWindow(bool s) override { shown = s; }
    bool WindowShown() const override { return shown; }
    QPoint PointerPos() const override { return pointer; }
    void SaveNormalGeometry(const TwipBox& b, bool max) override {
        saved = b;
        savedMax = max;
    }
    bool SavedMaximized() const override { return savedMax; }
    TwipBox SavedGeometry() const override { return saved; }
    int StealthWidth() const override { return 4500; }
    int StealthHeight() const override { return 5000; }
    void SetStealthControls(bool on) override { stealthControls = on; }
    void Relayout() override { calls << "Relayout"; }
    void RefreshWindow() override { calls << "Refresh"; }
    void FocusPlayingView() override { calls << "Focus"; }
    void SetShutterMarks(bool open) override { shutterOpen = open; }
    void ShowDisplayItems(bool s) override { displayItems = s; }
    int PanelBackHeight() const override { return panelBackHeight; }
    void SetPanelBackHeight(int h) override { panelBackHeight = h; }
    void StartPanelView() override { calls << "Start"; }
    void StopPanelView() override { calls << "Stop"; }
    bool DecoderPlaying() const override { return decoderPlaying; }
};

struct Modes {
    FakeWindow window;
    bool shutterClosed = false;
    bool stealthActive = false;
    DisplayModes modes{window, shutterClosed, stealthActive};
};

} // namespace

TEST(StealthDecision, PointerLines) {
    // Window 300 px wide, compact: width line 330, height line 1925 / 15 + 50 = 178.
    struct Row {
        QPoint pointer;
        int heightTwips;
        StealthAction action;
    };
    const Row rows[] = {
        {{0, 0}, 1925, StealthAction::PopOut},   {{329, 2}, 1925, StealthAction::PopOut},
        {{330, 0}, 1925, StealthAction::None},   {{331, 0}, 1925, StealthAction::Hide},
        {{100, 3}, 1925, StealthAction::None},   {{100, 178}, 1925, StealthAction::None},
        {{100, 179}, 1925, StealthAction::Hide}, {{100, 179}, 2200, StealthAction::Hide},
        {{100, 300}, 5000, StealthAction::None}, {{100, 384}, 5000, StealthAction::Hide},
        {{-5, -5}, 1925, StealthAction::PopOut},
    };
    for (const Row& r : rows)
        EXPECT_EQ(StealthDecision(r.pointer, 300, r.heightTwips), r.action)
            << r.pointer.x() << "," << r.pointer.y() << " h " << r.heightTwips;
}

TEST(Stealth, EnterParksAndLeaveRestoresGeometryAndMaximised) {
    for (bool maximized : {false, true}) {
        Modes m;
        m.window.maximized = maximized;
        // Maximised, the window keeps the screen's box after ShowNormal until the window
        // manager answers.
        if (maximized) m.window.box = {-60, -60, 11000, 19000};
        const TwipBox normal = m.window.normal;
        m.modes.ToggleStealth();
        EXPECT_TRUE(m.stealthActive);
        EXPECT_FALSE(m.window.maximized);
        EXPECT_EQ(m.window.saved, normal);
        EXPECT_EQ(m.window.box, (TwipBox{-380, -30, 1925, 4500}));
        EXPECT_TRUE(m.window.topmost);
        EXPECT_TRUE(m.window.stealthControls);
        EXPECT_EQ(m.window.calls, (QStringList{"Stop", "Relayout"}));

        m.window.calls.clear();
        m.window.decoderPlaying = true;
        m.window.shown = false; // hidden by Timer2 when the tray asks to leave
        m.modes.ToggleStealth();
        EXPECT_FALSE(m.stealthActive);
        EXPECT_EQ(m.window.box, normal);
        EXPECT_EQ(m.window.maximized, maximized);
        EXPECT_FALSE(m.window.topmost);
        EXPECT_TRUE(m.window.shown);
        EXPECT_FALSE(m.window.stealthControls);
        EXPECT_EQ(m.window.calls, (QStringList{"Relayout", "Start"}));
    }
}

TEST(Stealth, TimerPopsOutAndHidesFromThePointer) {
    Modes m;
    m.modes.StealthTick(); // not in stealth mode: nothing
    EXPECT_TRUE(m.window.shown);
    m.modes.ToggleStealth();
    m.window.calls.clear();

    m.window.pointer = {600, 600};
    m.modes.StealthTick();
    EXPECT_FALSE(m.window.shown);
    m.window.pointer = {10, 0};
    m.modes.StealthTick();
    EXPECT_TRUE(m.window.shown);
    EXPECT_TRUE(m.modes.Shown());
    // Still at the edge: refreshed only on the first show, and neither moved nor resized again
    // though the parked top reads back in whole pixels.
    m.window.box.top = -375;
    const int boxSets = m.window.boxSets;
    m.modes.StealthTick();
    m.modes.StealthTick();
    EXPECT_EQ(m.window.calls, QStringList{"Refresh"});
    EXPECT_EQ(m.window.boxSets, boxSets);

    m.window.pointer = {50, 100}; // inside the window: nothing changes
    m.modes.ToggleStealthHeight();
    EXPECT_EQ(m.window.box.height, 5000);
    m.modes.StealthTick();
    EXPECT_TRUE(m.window.shown);
    m.window.pointer = {50, 5000 / 15 + 51}; // below the expanded window
    m.modes.StealthTick();
    EXPECT_FALSE(m.window.shown);
    EXPECT_EQ(m.window.box.height, 1925);
    EXPECT_EQ(m.window.box.width, 4500);
    EXPECT_FALSE(m.modes.Shown());
}

TEST(Stealth, WithoutHidingTheStripStaysInSight) {
    for (const char* name : {"xcb", "offscreen", "minimal"})
        EXPECT_TRUE(StealthCanHide(QString::fromLatin1(name))) << name;
    for (const char* name : {"wayland", "wayland-egl"})
        EXPECT_FALSE(StealthCanHide(QString::fromLatin1(name))) << name;

    Modes m;
    m.modes.AllowHiding(false);
    m.modes.ToggleStealth();
    m.window.pointer = {600, 600};
    m.modes.StealthTick();
    EXPECT_TRUE(m.window.shown);
    m.window.shown = false; // hidden by anything else: the timer brings it back
    m.modes.StealthTick();
    EXPECT_TRUE(m.window.shown);
}

TEST(Stealth, ListButtonSwitchesBetweenTheTwoHeights) {
    Modes m;
    m.modes.ToggleStealth();
    for (int expected : {5000, 1925, 5000}) {
        m.modes.ToggleStealthHeight();
        EXPECT_EQ(m.window.box.height, expected);
    }
    m.window.box.height = 2499;
    m.modes.ToggleStealthHeight();
    EXPECT_EQ(m.window.box.height, 5000);
    EXPECT_EQ(m.window.calls.count("Focus"), 4);
}

TEST(Shutter, CollapseAndRestore) {
    for (bool playing : {false, true}) {
        Modes m;
        m.window.decoderPlaying = playing;
        m.modes.ToggleShutter();
        EXPECT_TRUE(m.shutterClosed);
        EXPECT_EQ(m.window.panelBackHeight, 400);
        EXPECT_EQ(m.modes.SavedDisplayHeight(), 1200);
        EXPECT_FALSE(m.window.shutterOpen);
        EXPECT_FALSE(m.window.displayItems);
        m.window.calls.clear();
        m.modes.ToggleShutter();
        EXPECT_FALSE(m.shutterClosed);
        EXPECT_EQ(m.window.panelBackHeight, 1200);
        EXPECT_TRUE(m.window.shutterOpen);
        EXPECT_TRUE(m.window.displayItems);
        EXPECT_EQ(m.window.calls, QStringList{playing ? "Start" : "Stop"});
    }
}

TEST(Shutter, DoesNothingInStealthMode) {
    Modes m;
    m.modes.ToggleStealth();
    m.modes.ToggleShutter();
    EXPECT_FALSE(m.shutterClosed);
    EXPECT_EQ(m.window.panelBackHeight, 1200);
}

TEST(Shutter, RowsBelowTheDisplay) {
    // Toolbar bottom 420 + 30: the collapsed row, the 330-twip position row, then the panes.
    const RowsBelowDisplay r = RowsBelow(450, 400, 330, 6000);
    EXPECT_EQ(r.progTop, 850);
    EXPECT_EQ(r.paneTop, 1180);
    EXPECT_EQ(r.paneHeight, 4820);
    EXPECT_EQ(r.separatorHeight, 7820);
}
