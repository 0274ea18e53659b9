// Start and end marks: the marker arithmetic, where marks are kept, and when they take effect.
#include "fakes.h"
#include "playback/positions.h"

#include <gtest/gtest.h>

using namespace kv::playback;

namespace {
struct Labels : MarkerHost {
    MarkerLayout m;
    int width = 4800; // twips
    Labels() {
        m.startWidth = 700;
        m.endWidth = 400;
        m.scaleWidth = 4800;
        m.endLeft = 4400;
    }
    MarkerLayout Markers() const override { return m; }
    void SetMarkers(const MarkerLayout& l) override { m = l; }
    int BarWidth() const override { return width; }
};

struct Fixture {
    kvtest::Log log;
    kvtest::FakeHost host{log};
    kvtest::FakeDecoder decoder{log};
    kvtest::FakeMedia w{log, "W", kvtest::FakeMedia::kMediaPlayer};
    kvtest::FakeMedia y{log, "Y", kvtest::FakeMedia::kRealPlayer};
    CSoundPlay device{host, decoder, w, y};
    kv::display::VolumeMemory listVol;
    Labels markers;
    StartEndPositions positions{device, listVol, markers};
    Fixture() {
        decoder.totalSec = 240;
        device.SetFileName("/music/a.mp3");
        device.PlayStart();
    }
    void At(int seconds) { device.SetCurrentPosition(seconds); }
};
} // namespace

TEST(MarkerArithmetic, PlacementsAndCorrections) {
    MarkerLayout m;
    m.startWidth = 700, m.endWidth = 400, m.scaleWidth = 4800, m.endLeft = 4400;
    EXPECT_TRUE(PlaceStartMark(m, 0, 240, 4800)); // -300 + 200 < 0: at the left edge
    EXPECT_EQ(m.startLeft, 0);
    EXPECT_TRUE(PlaceEndMark(m, 240, 240, 4800)); // 4700 + 400 passes 4800: pulled back
    EXPECT_EQ(m.endLeft, 4400);
    EXPECT_TRUE(PlaceStartMark(m, 120, 240, 4800));
    EXPECT_EQ(m.startLeft, 2300);
    EXPECT_EQ(m.startCaption, kStartCaption);
    EXPECT_FALSE(PlaceEndMark(m, 60, 240, 4800)); // before the start mark: ignored
    EXPECT_EQ(m.endLeft, 4400);
    EXPECT_TRUE(PlaceEndMark(m, 130, 240, 4800)); // 2500: closer than the start label is wide
    EXPECT_EQ(m.startCaption, kStartCaptionShort);
    EXPECT_FALSE(PlaceStartMark(m, 200, 240, 4800)); // after the end mark: ignored
    PlaceDiscarded(m, 4800);
    EXPECT_EQ(m.startLeft, 0);
    EXPECT_EQ(m.endLeft, 4400);
    EXPECT_EQ(MarkerLeft(1, 0, 4800, 100), -100); // no duration: no division by zero
}

TEST(StartEndPositions, MarksAreStoredByFileAndTakeEffectAtTheNextStart) {
    Fixture f;
    f.At(30);
    f.positions.SetEndPosition();
    f.At(12);
    f.positions.SetStartPosition();
    const int entry = f.listVol.Find("/MUSIC/A.mp3");
    ASSERT_EQ(entry, 0);
    EXPECT_EQ(f.listVol.SubItem(entry, 2), QStringLiteral("12"));
    EXPECT_EQ(f.listVol.SubItem(entry, 3), QStringLiteral("30"));
    EXPECT_EQ(f.device.SelectionStart(), 0); // not yet
    EXPECT_EQ(f.device.SelectionEnd(), 0);
    f.positions.ApplyPositions();
    EXPECT_EQ(f.device.SelectionStart(), 12);
    EXPECT_EQ(f.device.SelectionEnd(), 30);
    EXPECT_EQ(f.markers.m.startLeft, 140); // 12/240 × 4800 − 100
    EXPECT_EQ(f.markers.m.endLeft, 500);

    // With the next file queued the engine ends this one at the mark; discarding the marks
    // lets it play to its own end there as well.
    ASSERT_TRUE(f.device.QueueNext("/music/b.mp3", 0, 0, -1));
    EXPECT_EQ(f.log.back(), "dec.end 30");
    f.positions.DiscardPositions();
    EXPECT_EQ(f.log.back(), "dec.end 0");
    EXPECT_EQ(f.device.SelectionStart(), 0);
    EXPECT_EQ(f.device.SelectionEnd(), 240);
    EXPECT_EQ(f.listVol.SubItem(entry, 2), QString());
    EXPECT_EQ(f.markers.m.startLeft, 0);
    EXPECT_EQ(f.markers.m.endLeft, 4400);
}

TEST(StartEndPositions, DamagedMarksAndNoTrackDoNotFail) {
    Fixture f;
    const int entry = f.listVol.Add("/music/a.mp3");
    for (auto [start, end, s, e] : std::vector<std::tuple<QString, QString, double, double>>{
             {"abc", "-4", 0, 240}, {"1e308", "inf", 240, 240}, {"12.5", "", 12.5, 240}}) {
        f.listVol.SetSubItem(entry, 2, start);
        f.listVol.SetSubItem(entry, 3, end);
        f.positions.ApplyPositions();
        EXPECT_EQ(f.device.SelectionStart(), s) << start.toStdString();
        EXPECT_EQ(f.device.SelectionEnd(), e) << end.toStdString();
    }
    Fixture none;
    none.decoder.totalSec = 0;
    none.device.SetFileName("/b.mp3");
    const MarkerLayout before = none.markers.m;
    none.positions.SetStartPosition();
    none.positions.SetEndPosition();
    none.positions.ApplyPositions();
    EXPECT_EQ(none.markers.m.startLeft, before.startLeft);
    EXPECT_EQ(none.markers.m.endLeft, before.endLeft);
    EXPECT_EQ(none.listVol.Count(), 0);
}
