// Real libmpv playback in real time, with no sound device (mpv falls back to no output).
#include "fakes.h"
#include "playback/media_backend.h"
#include "playback/mpv_backend.h"
#include "playback/sound_play.h"
#include "support/audio_files.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>

using namespace kv::playback;
using namespace kvtest;

namespace {

// A sine tone as 16-bit AIFF named .aifc: a kind the decoder does not take, so it goes to libmpv.
std::string MakeAiff(const std::string& path, double seconds, int rate = 44100) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return {};
    const long frames = long(seconds * rate);
    std::vector<float> samples(size_t(frames) * 2);
    for (long i = 0; i < frames; ++i)
        samples[size_t(2 * i)] = samples[size_t(2 * i + 1)] =
            0.3f * float(std::sin(2 * M_PI * 440.0 * double(i) / rate));
    sf_writef_float(f, samples.data(), frames);
    sf_close(f);
    return path;
}

constexpr double kToneSeconds = 1.2;

struct MpvTest : ::testing::Test {
    TempDir dir;
    std::string aiff = MakeAiff(dir.file("tone.aifc"), kToneSeconds);
};

TEST_F(MpvTest, MediaPlayerOpensPlaysSeeksAndEnds) {
    MediaPlayerControl control(std::make_unique<MpvCore>(), nullptr);
    int ready = 0;
    control.SetReadyHandler([&](int state) { ready += state == ReadyStateComplete; });
    control.Open(QString::fromStdString(aiff));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready == 1; }, 5000));
    EXPECT_EQ(control.PlayState(), MpStopped); // opened, not started
    EXPECT_NEAR(control.Length(), kToneSeconds, 0.05);
    EXPECT_EQ(control.PictureSize(), QSize());

    control.Play();
    EXPECT_EQ(control.PlayState(), MpPlaying);
    QTest::qWait(400);
    const double played = control.Position();
    EXPECT_GT(played, 0.15);
    EXPECT_LT(played, 1.0); // libmpv's null output keeps wall-clock time, loosely under load

    control.Pause();
    EXPECT_EQ(control.PlayState(), MpPaused);
    control.SetPosition(0.8);
    QTest::qWait(150);
    EXPECT_NEAR(control.Position(), 0.8, 0.05); // a paused file stays where it was put

    control.Play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return control.PlayState() == MpStopped; }, 3000));
    EXPECT_EQ(control.Position(), 0);

    // After its end the file plays again from the beginning, without a second announcement.
    control.Play();
    EXPECT_EQ(control.PlayState(), MpPlaying);
    ASSERT_TRUE(QTest::qWaitFor([&] { return control.Position() > 0.1; }, 3000));
    EXPECT_LT(control.Position(), 0.8);
    control.Stop();
    EXPECT_EQ(control.PlayState(), MpStopped);
    EXPECT_EQ(ready, 1);
}

TEST_F(MpvTest, PlaylistFileIsFollowedToItsEntry) {
    const QString m3u = QString::fromStdString(dir.file("list.m3u"));
    QFile f(m3u);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#EXTM3U\ntone.aifc\n");
    f.close();
    MediaPlayerControl control(std::make_unique<MpvCore>(), nullptr);
    int ready = 0;
    control.SetReadyHandler([&](int) { ++ready; });
    control.Open(m3u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready == 1; }, 5000));
    EXPECT_NEAR(control.Length(), kToneSeconds, 0.05);
    control.Play();
    QTest::qWait(200);
    EXPECT_EQ(control.PlayState(), MpPlaying);
    ASSERT_TRUE(QTest::qWaitFor([&] { return control.PlayState() == MpStopped; }, 4000));
}

TEST_F(MpvTest, FileThatCannotBeOpenedIsNotLoaded) {
    const QString bad =
        QString::fromStdString(WriteBytes(dir.file("noise.ogg"), std::vector<uint8_t>(4000, 0x5A)));
    MediaPlayerControl control(std::make_unique<MpvCore>(), nullptr);
    int ready = 0;
    control.SetReadyHandler([&](int) { ++ready; });
    for (const QString& name : {bad, QString::fromStdString(dir.file("missing.wma"))}) {
        control.Open(name);
        EXPECT_TRUE(QTest::qWaitFor([&] { return control.PlayState() == MpClosed; }, 5000))
            << name.toStdString();
        control.Play();
        QTest::qWait(50);
        EXPECT_EQ(control.PlayState(), MpClosed);
    }
    EXPECT_EQ(ready, 0);
}

// The whole road through the device, with play control's track-loaded routine reduced to
// its first step: start playing.
struct DeviceOverMpv : MpvTest {
    Log log;
    FakeHost host{log};
    FakeDecoder decoder{log};
    MediaPlayerControl mediaPlayer{std::make_unique<MpvCore>(), nullptr};
    RealPlayerControl realPlayer{std::make_unique<MpvCore>()};
    CSoundPlay device{host, decoder, mediaPlayer, realPlayer};
    DeviceOverMpv() {
        host.onTrackLoaded = [this] { device.PlayStart(); };
    }
};

TEST_F(DeviceOverMpv, MediaFilePlaysPausesResumesAndRunsOut) {
    device.SetFileName(QString::fromStdString(aiff));
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Playing"; }, 5000));
    EXPECT_TRUE(device.bDontMoveMediaPlayer);
    EXPECT_NEAR(device.Duration(), kToneSeconds, 0.05);
    QTest::qWait(300);
    device.PausePlay();
    EXPECT_EQ(device.CurrentState(), "Paused");
    const double paused = device.CurrentPosition();
    EXPECT_GT(paused, 0.1);

    device.SetSelectionStart(0.9); // a paused track resumes where it was, not at the mark
    device.PlayAgain();
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_NEAR(device.CurrentPosition(), paused, 0.1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Stopped"; }, 3000));
    EXPECT_FALSE(device.StopByHuman); // ran out by itself
    EXPECT_EQ(Only(log, {"host.loaded"}).size(), 1u);
}

TEST_F(DeviceOverMpv, RealMediaFilePlaysThroughTheSecondInstance) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) GTEST_SKIP() << "ffmpeg is not installed";
    // ffmpeg writes RealMedia with usable timestamps only with a video stream beside the sound.
    const QString rm = QString::fromStdString(dir.file("clip.rm"));
    QProcess make;
    make.start(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=32x24:rate=5:duration=1.5",
                        "-f", "lavfi", "-i", "sine=frequency=440:duration=1.5", "-c:v", "rv20", "-c:a", "ac3",
                        "-b:a", "64k", rm});
    ASSERT_TRUE(make.waitForFinished(30000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();

    device.SetFileName(rm); // runs the track-loaded routine, which waits for the player to play
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_FALSE(device.StopByHuman);
    EXPECT_EQ(realPlayer.PlayState(), RpPlaying);
    EXPECT_NEAR(device.Duration(), 1.5, 0.2); // whole AC-3 frames
    EXPECT_EQ(realPlayer.PictureSize(), QSize(32, 24));
    EXPECT_EQ(mediaPlayer.PlayState(), MpClosed); // window W's instance is not involved

    device.SetCurrentPosition(0.8);
    QTest::qWait(100);
    EXPECT_NEAR(device.CurrentPosition(), 0.85, 0.15);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Stopped"; }, 3000));
    EXPECT_FALSE(device.StopByHuman);

    device.PlayAgain();
    EXPECT_EQ(device.CurrentState(), "Playing");
    device.StopPlay(); // waits for the stop and rewinds
    EXPECT_EQ(device.CurrentState(), "Stopped");
    EXPECT_EQ(device.CurrentPosition(), 0);
}

} // namespace
