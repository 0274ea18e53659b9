// The program's own back ends end to end: MIDI through FluidSynth and the engine's output,
// WAVE through the engine's decoder, in real time on SDL's dummy driver.
#include "fakes.h"
#include "midi_files.h"
#include "playback/player_backends.h"
#include "playback/sound_play.h"
#include "support/audio_files.h"

#include <QElapsedTimer>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

using namespace kv::playback;
using namespace kvtest;

namespace {

struct EnginePlayback : ::testing::Test {
    static void SetUpTestSuite() { ASSERT_NE(vbmp3_init(), 0); }
    static void TearDownTestSuite() { vbmp3_free(); }

    TempDir dir;
    Log log;
    FakeHost host{log};
    StandardBackends backends;
    CSoundPlay device{host, backends.decoder, backends.mediaPlayer, backends.realPlayer};
    EnginePlayback() {
        host.onTrackLoaded = [this] { device.PlayStart(); };
    }
    QString Midi(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir.file(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
        return QString::fromStdString(dir.file(name));
    }
};

TEST_F(EnginePlayback, MidiPlaysThroughTheEngineForItsComputedLength) {
    device.SetFileName(Midi("tune.MID", Tune()));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Playing"; }, 3000));
    EXPECT_DOUBLE_EQ(device.Duration(), kTuneSeconds);
    QTest::qWait(500);
    const double position = device.CurrentPosition();
    EXPECT_GT(position, 0.2);
    EXPECT_LT(position, 0.9);

    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Stopped"; }, 4000));
    EXPECT_GT(clock.elapsed(), 1200);
    EXPECT_FALSE(device.StopByHuman);

    // Played again from a mark: it starts there and still ends on time.
    device.SetSelectionStart(1.0);
    device.PlayAgain();
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_NEAR(device.CurrentPosition(), 1.0, 0.15);
    clock.restart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Stopped"; }, 3000));
    EXPECT_LT(clock.elapsed(), 2500); // half a second of music, with room for a busy machine
}

TEST_F(EnginePlayback, DecoderTakesOverFromMidiAndTheVolumeIsTheEngines) {
    device.SetFileName(Midi("tune.rmi", Rmi(Tune())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Playing"; }, 3000));
    device.SetVolume(30);
    EXPECT_EQ(device.GetVolume(), 30);

    const QString wave = QString::fromStdString(MakeWave(dir.file("tone.wav"), 1.0));
    device.SetFileName(wave);
    EXPECT_EQ(backends.mediaPlayer.PlayState(), MpClosed); // MIDI let go of the output
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_EQ(device.Duration(), 1);
    device.PausePlay();
    EXPECT_EQ(device.CurrentState(), "Paused");
    device.StopPlay();
    EXPECT_EQ(device.CurrentState(), "Stopped");
    EXPECT_EQ(device.GetVolume(), 30);
}

} // namespace
