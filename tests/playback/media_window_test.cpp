// The media windows: real video frames through libmpv's software renderer offscreen, their
// placement, close box, clicks and keys; and media files that cannot be opened.
#include "fakes.h"
#include "playback/media_backend.h"
#include "playback/media_window.h"
#include "playback/mpv_backend.h"
#include "playback/sound_play.h"
#include "support/audio_files.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

using namespace kv::playback;
using namespace kvtest;

namespace {

// A short clip with moving test pictures and a tone, made by ffmpeg; empty when it cannot be.
QString MakeVideo(const TempDir& dir, const std::string& name, const QStringList& codecs) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) return {};
    const QString path = QString::fromStdString(dir.file(name));
    QProcess make;
    make.start(ffmpeg,
               QStringList{"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=96x64:rate=25:duration=2",
                           "-f", "lavfi", "-i", "sine=frequency=440:duration=2"} +
                   codecs + QStringList{path});
    if (!make.waitForFinished(30000) || make.exitCode() != 0) return {};
    return path;
}

struct WindowHost : MediaWindowHost {
    MoviePlacement placement;
    Log log;
    bool closing = false;
    MoviePlacement Placement() const override { return placement; }
    void SetPlacement(const MoviePlacement& p) override { placement = p; }
    void PlayPause() override { log.push_back("playpause"); }
    void StopPlayback() override { log.push_back("stop"); }
    void ShowPlayPositionMenu(const QPoint&) override { log.push_back("menu"); }
    void ClickToolBarBack(int button) override { log.push_back("button " + std::to_string(button)); }
    bool Closing() const override { return closing; }
};

struct MediaWindowTest : ::testing::Test {
    TempDir dir;
    WindowHost host;
    kv::display::ProgressBarHost bars;
    MediaPlayerControl control{std::make_unique<MpvCore>(), nullptr};
    MediaWindow window{"W", control, host, bars, MovieRender::Software};
};

TEST_F(MediaWindowTest, VideoFramesChangeThroughTheSoftwareRenderer) {
    const QString avi = MakeVideo(dir, "clip.avi", {"-c:v", "mpeg4", "-c:a", "pcm_s16le"});
    if (avi.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the clip";
    int ready = 0;
    control.SetReadyHandler([&](int) { ++ready; });
    control.Open(avi);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready == 1; }, 5000));
    EXPECT_EQ(control.PictureSize(), QSize(96, 64)); // known before any picture is decoded

    window.SetCaptionFile(avi);
    window.ShowWindow();
    ASSERT_NE(window.Movie(), nullptr);
    EXPECT_FALSE(window.Movie()->UsesOpenGL());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("【movie】 clip.avi"));
    control.Play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Movie()->FramesDrawn() >= 3; }, 5000));
    const QImage first = window.Movie()->LastFrame();
    EXPECT_EQ(first.size(), window.Movie()->Widget()->size());
    const int drawn = window.Movie()->FramesDrawn();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Movie()->FramesDrawn() >= drawn + 10; }, 5000));
    const QImage later = window.Movie()->LastFrame();
    EXPECT_NE(first, later); // testsrc moves from frame to frame
    // The test picture has colour bars: not one flat colour.
    const QRgb corner = later.pixel(0, 0) & 0xFFFFFF;
    bool varied = false;
    for (int x = 0; x < later.width() && !varied; x += 4)
        varied = (later.pixel(x, later.height() / 2) & 0xFFFFFF) != corner;
    EXPECT_TRUE(varied);
    control.Stop();
}

TEST_F(MediaWindowTest, PlacementIsTheNormalOneThroughMinimiseAndMaximise) {
    host.placement = {3007, 4800, 1500, 1200, 0}; // 3007 twips are 200 pixels and stay 3007
    window.ShowWindow();
    EXPECT_EQ(window.size(), QSize(320, 200));
    const MoviePlacement normal = host.placement;
    for (auto [change, state] :
         {std::pair{&QWidget::showMaximized, 2}, std::pair{&QWidget::showMinimized, 1}}) {
        (window.*change)();
        window.HideWindow();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(host.placement.state, state);
        EXPECT_EQ(host.placement.width, normal.width);
        EXPECT_EQ(host.placement.height, 3007);
        EXPECT_EQ(host.placement.left, normal.left);
        EXPECT_EQ(host.placement.top, normal.top);
        window.ShowWindow(); // comes back in the stored state
        EXPECT_EQ(state == 2, window.isMaximized());
        window.HideWindow();
        host.placement.state = 0;
        window.ShowWindow();
    }
    window.ShowWindow(); // already visible: nothing changes
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MediaWindowTest, CloseBoxHidesAndStopsButTheWindowStays) {
    window.ShowWindow();
    EXPECT_FALSE(window.close()); // the close is refused: the window stays loaded
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(host.log, Log{"stop"});

    host.closing = true; // the program's own close neither stops nor is refused
    host.log.clear();
    window.ShowWindow();
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(host.log.empty());
}

TEST_F(MediaWindowTest, ClicksAndAltKeys) {
    window.ShowWindow();
    QWidget* picture = window.findChild<QWidget*>("MediaPlayer");
    ASSERT_NE(picture, nullptr);
    QTest::mouseClick(picture, Qt::LeftButton);
    QTest::mouseClick(picture, Qt::RightButton);
    window.showFullScreen();
    window.PictureClicked(); // leaves full screen only
    EXPECT_FALSE(window.isFullScreen());
    EXPECT_EQ(host.log, (Log{"playpause", "menu"}));

    host.log.clear();
    window.VolumeBar().SetValue(50);
    QTest::keyClick(picture, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(picture, Qt::Key_Right, Qt::AltModifier);
    QTest::keyClick(picture, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(window.VolumeBar().Value(), 48);
    QTest::keyClick(picture, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(picture, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(window.VolumeBar().Value(), 52);
    QTest::keyClick(picture, Qt::Key_Left); // without Alt: nothing
    EXPECT_EQ(host.log, (Log{"button 4", "button 5"}));
}

TEST(MediaWindowLayout, ControlsFollowTheClientSizeInTwips) {
    struct Case {
        int width, height;
        QRect volume, media, prog;
    } cases[] = {
        {4800, 3600, {0, 0, 270, 3600}, {285, 0, 4515, 3350}, {280, 3375, 4520, 240}},
        {300, 200, {0, 0, 270, 200}, {285, 0, 15, 0}, {280, 25, 20, 240}},
    };
    for (const Case& c : cases) {
        const MediaWindowLayout l = ArrangeMediaWindow(c.width, c.height);
        EXPECT_EQ(l.volume, c.volume) << c.width;
        EXPECT_EQ(l.media, c.media) << c.width;
        EXPECT_EQ(l.progPic, c.prog) << c.width;
    }
    EXPECT_EQ(MovieCaption("/home/u/動画/clip.wmv"), QStringLiteral("【movie】 clip.wmv"));
}

// A media file that cannot be opened counts as failed, whatever the reason, and soon.
struct FailedOpen : ::testing::Test {
    TempDir dir;
    Log log;
    FakeHost host{log};
    FakeDecoder decoder{log};
    MediaPlayerControl mediaPlayer{std::make_unique<MpvCore>(), nullptr};
    RealPlayerControl realPlayer{std::make_unique<MpvCore>()};
    CSoundPlay device{host, decoder, mediaPlayer, realPlayer};
};

TEST_F(FailedOpen, DamagedWmvAndAviReportFailureInsteadOfWaiting) {
    const QString avi = MakeVideo(dir, "good.avi", {"-c:v", "mpeg4", "-c:a", "pcm_s16le"});
    if (avi.isEmpty()) GTEST_SKIP() << "ffmpeg could not make the clip";
    // The AVI keeps its RIFF header and loses everything after it; the WMV is an ASF header
    // object followed by noise.
    std::vector<uint8_t> aviBytes = ReadBytes(avi.toStdString());
    aviBytes.resize(64);
    aviBytes.resize(6000, 0x5A);
    std::vector<uint8_t> wmvBytes = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    wmvBytes.resize(6000, 0xA5);
    for (const std::string& file :
         {WriteBytes(dir.file("damaged.avi"), aviBytes), WriteBytes(dir.file("damaged.wmv"), wmvBytes)}) {
        log.clear();
        QElapsedTimer clock;
        clock.start();
        device.SetFileName(QString::fromStdString(file));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Only(log, {"host.failed"}).empty(); }, 5000)) << file;
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_TRUE(Only(log, {"host.loaded"}).empty()) << file;
        EXPECT_TRUE(device.bDontMoveMediaPlayer);
    }
}

TEST(FailedOpenWatch, AFileThatNeverBecomesReadyFailsAfterTheLimitAndLateNewsIsIgnored) {
    Log log;
    FakeHost host{log};
    FakeDecoder decoder{log};
    FakeMedia media{log, "mp", FakeMedia::kMediaPlayer};
    FakeMedia real{log, "rp", FakeMedia::kRealPlayer};
    CSoundPlay device{host, decoder, media, real};
    device.SetMediaOpenLimit(1000);
    device.SetFileName("/nowhere/slow.wma"); // the fake opens but never reports ready
    QTest::qWait(150);
    EXPECT_TRUE(Only(log, {"host.failed"}).empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Only(log, {"host.failed"}).empty(); }, 4000));
    EXPECT_EQ(Only(log, {"mp.open"}).back(), "mp.open "); // let go of the file
    media.Ready(ReadyStateComplete);
    EXPECT_TRUE(Only(log, {"host.loaded"}).empty());

    // A file that is ready in time is never reported as failed.
    log.clear();
    device.SetFileName("/nowhere/quick.wma");
    media.Ready(ReadyStateComplete);
    QTest::qWait(1200); // past the limit
    EXPECT_EQ(Only(log, {"host.loaded", "host.failed"}), Log{"host.loaded"});
}

} // namespace
