// The visualizer's frame arithmetic replayed from recorded wave snapshots, and the panel's timer.
#include "display/panel_colors.h"
#include "display/panel_view.h"

#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace kv::display;

namespace {

struct Wave {
    int left;
    int right;
};

// Every value of both channels set to one amplitude.
void Fill(PanelFrames& f, Wave w) {
    f.WaveL.fill(w.left);
    f.WaveR.fill(w.right);
}

PanelFrames Frames(int type, int width = 210, int height = 72) {
    PanelFrames f;
    f.SetSize(width, height);
    f.SetBarType(type);
    return f;
}

} // namespace

TEST(SineTable, SoftTopWithTheConstantUsed) {
    const auto& t = SineTable();
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 2);     // 1.57
    EXPECT_EQ(t[50], 71);   // 70.68
    EXPECT_EQ(t[80], 95);   // 95.10
    EXPECT_EQ(t[100], 100); // 99.99997, not a full quarter turn
    for (int i = 1; i <= 100; ++i)
        EXPECT_GE(t[size_t(i)], t[size_t(i - 1)]);
}

TEST(PanelFrames, BarTypeTable) {
    struct Row {
        int type, n, s, pen;
    };
    PanelFrames f = Frames(2, 210);
    for (Row r :
         {Row{1, 20, 12, 9}, Row{2, 40, 6, 4}, Row{3, 18, 14, 3}, Row{4, 26, 9, 1}, Row{5, 250, 1, 1}}) {
        f.SetBarType(r.type);
        EXPECT_EQ(f.BarType(), r.type);
        EXPECT_EQ(f.BarCount(), r.n) << r.type;
        EXPECT_EQ(f.Step(), r.s) << r.type;
        EXPECT_EQ(f.PenWidth(), r.pen) << r.type; // the dots keep the scope's pen
    }
    f.SetBarType(0);
    f.SetBarType(6);
    EXPECT_EQ(f.BarType(), 5);
    f.SetBarCount(0); // nothing to divide by: ignored
    EXPECT_EQ(f.BarCount(), 250);
    f.SetBarCount(30);
    EXPECT_EQ(f.Step(), 8);
    EXPECT_EQ(f.PenWidth(), 210 / 30 - 1);
}

// A burst then silence while playing, worked out by hand: the level falls 12 a frame, the peak
// rises 3 then 1, then falls 1, 3, 5 ...
TEST(PanelFrames, BarsReplayLevelsAndPeaks) {
    for (int type : {1, 2}) {
        PanelFrames f = Frames(type);
        const int s = f.Step();
        const std::vector<Wave> waves = {{60, -40}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
        const int level[] = {71, 59, 47, 35, 23, 11, 0, 0};
        const int peak[] = {71, 74, 75, 74, 71, 66, 59, 50};
        for (size_t k = 0; k < waves.size(); ++k) {
            Fill(f, waves[k]);
            f.Advance();
            for (int i = s; i <= 250; i += s) {
                EXPECT_EQ(f.Level[size_t(i)], level[k])
                    << "type " << type << " frame " << k << " column " << i;
                EXPECT_EQ(f.Peak[size_t(i)], peak[k]) << "type " << type << " frame " << k << " column " << i;
            }
        }
        EXPECT_FALSE(f.AtRest()); // peaks still up
    }
}

TEST(PanelFrames, BarsColumnUsesTheLoudestOfItsSamples) {
    PanelFrames f = Frames(1);
    Fill(f, {0, 0});
    f.WaveL[20] = 100; // inside the column i = 12 (12..23)
    f.WaveR[20] = -100;
    f.WaveL[24] = 50; // column 24: (50 + 0) / 2 = 25
    f.Advance();
    EXPECT_EQ(f.Level[12], 100);
    EXPECT_EQ(f.Level[24], SineTable()[25]);
    EXPECT_EQ(f.Level[36], 0);
    // First column: x = d, bar from the bottom up to H × (120 − level) / 120, then its peak mark.
    const int d = 210 * 12 / 256 + 1;
    const PanelStroke& bar = f.Strokes()[0];
    EXPECT_EQ(bar.x1, d);
    EXPECT_EQ(bar.y1, 72);
    EXPECT_EQ(bar.y2, 72 * 20 / 120);
    EXPECT_EQ(bar.shade, 12 / 2 + 100);
    const PanelStroke& mark = f.Strokes()[1];
    EXPECT_EQ(mark.y1, 72 * 20 / 120);
    EXPECT_EQ(mark.y2, 72 * 10 / 110);
    EXPECT_EQ(mark.shade, 12 / 2 + 85);
    EXPECT_EQ(f.StrokeCount(), 4); // silent columns draw nothing
}

TEST(PanelFrames, OneColumnPerValueDrawsEveryColumn) {
    for (int type : {1, 3}) {
        PanelFrames f = Frames(type);
        f.SetBarCount(250); // s = 1: columns 1 to 250, two strokes each
        Fill(f, {100, 100});
        EXPECT_EQ(f.Advance(), 500) << type;
        EXPECT_EQ(f.Strokes()[499].x2, 250) << type;
    }
}

TEST(PanelFrames, ScopeFallsNinePerFrame) {
    for (int type : {3, 4}) {
        PanelFrames f = Frames(type);
        const int s = f.Step();
        const std::vector<Wave> waves = {{100, 30}, {0, 0}, {0, 0}, {-20, 0}};
        const int level[] = {100, 91, 82, 73};
        const int peak[] = {SineTable()[30], SineTable()[30] - 9, SineTable()[30] - 18, SineTable()[30] - 27};
        for (size_t k = 0; k < waves.size(); ++k) {
            Fill(f, waves[k]);
            f.Advance();
            EXPECT_EQ(f.Level[size_t(s)], level[k]) << type << " " << k;
            EXPECT_EQ(f.Peak[size_t(s)], peak[k]) << type << " " << k;
        }
        // The trace zigzags from the middle: left channel below it, right channel above.
        const int M = 36, d = 210 * s / 256 + 1;
        const PanelStroke& down = f.Strokes()[0];
        EXPECT_EQ(down.x1, 0);
        EXPECT_EQ(down.y1, M);
        EXPECT_EQ(down.x2, d - (d - 1) / 2);
        EXPECT_EQ(down.y2, M * (100 + 73) / 100);
        EXPECT_EQ(f.Strokes()[1].y2, M * (100 - peak[3]) / 100);
        f.Stopped = true;
        for (int k = 0; k < 12; ++k)
            f.Advance();
        EXPECT_TRUE(f.AtRest());
    }
}

TEST(PanelFrames, DotsShowOnlyThePeaks) {
    PanelFrames f = Frames(5);
    Fill(f, {0, 0});
    f.WaveL[7] = 100;
    f.WaveR[7] = 100;
    f.Advance();
    EXPECT_EQ(f.Peak[7], 100);
    EXPECT_EQ(f.Peak[8], 0);
    EXPECT_EQ(f.StrokeCount(), 205);
    const PanelStroke& dot = f.Strokes()[6]; // i = 7, x = 7
    EXPECT_TRUE(dot.pixel);
    EXPECT_EQ(dot.x1, 7);
    EXPECT_EQ(dot.y1, 72 * 10 / 111);
    EXPECT_EQ(dot.shade, 7 / 2 + 30);
}

TEST(PanelFrames, StoppedDecaysToRest) {
    for (int type = 1; type <= 5; ++type) {
        PanelFrames f = Frames(type);
        Fill(f, {100, 100});
        f.Advance();
        f.Stopped = true;
        int frames = 0;
        while (!f.AtRest() && frames < 100) {
            f.Advance();
            ++frames;
        }
        EXPECT_TRUE(f.AtRest()) << type;
        EXPECT_LT(frames, 20) << type;
        if (type == 5) continue; // the dots' bottom row moves with every small peak
        for (int k = 0; k < 8; ++k)
            f.Advance();                              // levels reach −100
        EXPECT_TRUE(f.SameStrokesAsBefore()) << type; // nothing new to show
    }
}

// A sample drawn with the dots leaves columns past 205 that the dots never move: the panel must
// still come to rest (and its timer stop).
TEST(PanelFrames, DotsComeToRestAfterASample) {
    PanelFrames f = Frames(5);
    f.Sample(3);
    EXPECT_GT(f.Peak[230], 0);
    f.Stopped = true;
    for (int k = 0; k < 30; ++k)
        f.Advance();
    EXPECT_TRUE(f.AtRest());
}

// A library that misbehaves: amplitudes beyond ±100 have no table entry and the level keeps its
// previous value; nothing overflows and everything drawn stays inside the panel.
TEST(PanelFrames, ExtremeWavesKeepThePreviousLevels) {
    for (int type = 1; type <= 5; ++type) {
        PanelFrames f = Frames(type);
        Fill(f, {40, 40});
        f.Advance();
        const auto level = f.Level;
        for (Wave w : {Wave{101, 101}, Wave{-1000, 1000}, Wave{INT_MIN, INT_MAX}, Wave{INT_MAX, INT_MAX}}) {
            Fill(f, w);
            f.Advance();
            for (int i = 1; i <= 250; ++i) {
                ASSERT_LE(f.Level[size_t(i)], 100) << type;
                ASSERT_LE(f.Peak[size_t(i)], 104) << type;
            }
        }
        EXPECT_EQ(f.Level, level) << type;
    }
}

TEST(CPanelView, ExtremeWavesDrawWithinThePanel) {
    QWidget panel;
    panel.resize(210, 72);
    int32_t value = INT_MIN;
    PanelViewHooks hooks;
    hooks.getWave = [&](int32_t* l, int32_t* r) {
        for (int i = 0; i < 256; ++i)
            l[i] = r[i] = (i % 2) ? value : 100;
    };
    CPanelView view(hooks);
    view.SetPanelTarget(&panel);
    for (int type = 1; type <= 5; ++type) {
        view.SetBarType(type);
        for (int32_t v : {INT_MIN, -101, 100, INT_MAX}) {
            value = v;
            view.DrawPanel();
        }
        EXPECT_EQ(view.Image().size(), QSize(210, 72));
    }
}

TEST(CPanelView, TimerStopsOnceThePanelIsAtRest) {
    QWidget panel;
    panel.resize(210, 72);
    QTimer timer;
    int32_t amplitude = 80;
    PanelViewHooks hooks;
    hooks.getWave = [&](int32_t* l, int32_t* r) {
        std::fill(l, l + 256, amplitude);
        std::fill(r, r + 256, amplitude);
    };
    CPanelView view(hooks);
    view.SetTimerTarget(&timer);
    view.SetPanelTarget(&panel);
    view.StartPanelView();
    EXPECT_TRUE(timer.isActive());
    for (int k = 0; k < 5; ++k)
        view.DrawPanel();
    amplitude = 0;
    for (int k = 0; k < 40; ++k)
        view.DrawPanel();
    EXPECT_TRUE(timer.isActive()); // silence while playing: the timer keeps running
    view.StopPanelView();
    int frames = 0;
    while (timer.isActive() && frames < 100) {
        view.DrawPanel();
        ++frames;
    }
    EXPECT_FALSE(timer.isActive());
    view.StartPanelView();
    EXPECT_TRUE(timer.isActive());
}

TEST(CPanelView, CollapsedOrStealthKeepsItIdle) {
    QTimer timer;
    bool idle = true;
    PanelViewHooks hooks;
    hooks.mustStayIdle = [&] { return idle; };
    CPanelView view(hooks);
    view.SetTimerTarget(&timer);
    view.StartPanelView();
    EXPECT_FALSE(timer.isActive());
    EXPECT_TRUE(view.Frames().Stopped);
    idle = false;
    view.StartPanelView();
    EXPECT_TRUE(timer.isActive());
    EXPECT_FALSE(view.Frames().Stopped);
}

TEST(CPanelView, DoubleClickStepsTheTypeAndShowsASampleWhenNotPlaying) {
    QWidget panel;
    panel.resize(210, 72);
    QTimer timer;
    bool playing = false;
    int ticked = 0;
    PanelViewHooks hooks;
    hooks.checkBarType = [&](int type) { ticked = type; };
    hooks.decoderPlaying = [&] { return playing; };
    hooks.random01 = [] { return 0.5; }; // k = 3.5 rounds to 4
    CPanelView view(hooks);
    view.SetTimerTarget(&timer);
    view.SetPanelTarget(&panel);
    view.SetBarType(4);
    view.StopPanelView();
    view.ChangePanelWhenDblClick();
    EXPECT_EQ(view.BarType(), 5);
    EXPECT_EQ(ticked, 5);
    EXPECT_TRUE(timer.isActive());
    // k = 4 arches: column 16 is at the top of the first one and its peak holds for a frame.
    EXPECT_EQ(view.Frames().Peak[16], 100);
    view.ChangePanelWhenDblClick();
    EXPECT_EQ(view.BarType(), 1); // wraps
    timer.stop();
    view.Frames().Peak.fill(0);
    playing = true;
    view.ChangePanelWhenDblClick();
    EXPECT_EQ(view.BarType(), 2);
    EXPECT_FALSE(timer.isActive()); // the live animation shows the new type
}

TEST(CPanelView, FrameUsesTheShadesOfTheColour) {
    QWidget panel;
    panel.resize(210, 72);
    PanelViewHooks hooks;
    hooks.getWave = [](int32_t* l, int32_t* r) {
        std::fill(l, l + 256, 100);
        std::fill(r, r + 256, 100);
    };
    CPanelView view(hooks);
    view.SetPanelTarget(&panel);
    view.SetBarType(1);
    SetPanelColor(6);
    view.ShadesChanged();
    const int d = 210 * 12 / 256 + 1;
    EXPECT_EQ(view.Image().pixel(d, 70), ShadeTable()[12 / 2 + 100]);
    EXPECT_EQ(view.Image().pixel(209, 0), kPanelBackColor);
    SetPanelColor(1);
}

// Each frame clears only where the last one drew: over a changing wave it must show exactly what
// a panel repainted whole each frame shows.
TEST(CPanelView, PartialClearShowsTheSameFramesAsWholeRepaints) {
    QWidget panel, reference;
    panel.resize(210, 72);
    reference.resize(210, 72);
    int frame = 0;
    PanelViewHooks hooks;
    hooks.getWave = [&](int32_t* l, int32_t* r) {
        for (int i = 0; i < 256; ++i) {
            l[i] = (i * 7 + frame * 13) % 101;
            r[i] = frame % 9 < 3 ? 0 : (i * 3 + frame * 29) % 101; // with falls to silence
        }
    };
    CPanelView partial(hooks), whole(hooks);
    partial.SetPanelTarget(&panel);
    whole.SetPanelTarget(&reference);
    for (int type = 1; type <= 5; ++type) {
        partial.SetBarType(type);
        whole.SetBarType(type);
        for (int k = 0; k < 30; ++k, ++frame) {
            partial.DrawPanel();
            whole.SetBackColor(whole.BackColor()); // the whole image is repainted
            whole.DrawPanel();
            ASSERT_EQ(partial.Image(), whole.Image()) << "type " << type << " frame " << k;
        }
    }
}
