// A stopped output must not keep SDL's audio thread waking: the device closes a while after a
// stop or a run-out and opens again on the next play, seek or external source.
#include "engine/output.h"
#include "engine_fixture.h"
#include "support/audio_files.h"

namespace {

namespace e = kv::engine;
using IdleOutputTest = EngineTest;

int Heard() {
    int s = 0;
    vbmp3_getState(&s);
    return s;
}

TEST_F(IdleOutputTest, StoppedDeviceClosesAndPlayOpensItAgain) {
    EXPECT_FALSE(e::OutputDeviceOpen()) << "nothing loaded: nothing to keep open";
    kvtest::TempDir dir;
    const std::string p = dir.file("t.mp3");
    kvtest::MakeMp3(p, 3.2, 44100);
    ASSERT_EQ(vbmp3_open(p.c_str(), nullptr), 1);
    EXPECT_FALSE(e::OutputDeviceOpen()) << "loaded but not playing";

    ASSERT_EQ(vbmp3_play(), 1);
    EXPECT_TRUE(e::OutputDeviceOpen());
    ASSERT_TRUE(WaitFor([] { return Heard() >= 1; }, 3.0));
    // A pause keeps the device, so the resume is as quick as ever.
    vbmp3_pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    EXPECT_TRUE(e::OutputDeviceOpen());
    EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STATE_PAUSED);

    // A seek from a closed device plays from there; a run-out lets the device go too, and
    // play opens it again.
    vbmp3_stop();
    EXPECT_TRUE(WaitFor([] { return !e::OutputDeviceOpen(); }, 3.0));
    ASSERT_EQ(vbmp3_seek(2), 1);
    EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STATE_PLAYING);
    EXPECT_TRUE(WaitFor([] { return vbmp3_getState(nullptr) == VBMP3_STATE_STOPPED; }, 3.0));
    EXPECT_EQ(Heard(), 3);
    EXPECT_TRUE(WaitFor([] { return !e::OutputDeviceOpen(); }, 3.0));
    ASSERT_EQ(vbmp3_play(), 1);
    EXPECT_TRUE(e::OutputDeviceOpen());
    EXPECT_TRUE(WaitFor([] { return Heard() >= 1; }, 3.0));
}

TEST_F(IdleOutputTest, StepToTheNextTrackKeepsTheDeviceOpen) {
    kvtest::TempDir dir;
    const std::string p = dir.file("t.wav");
    kvtest::MakeWave(p, 1.0, 44100, 2);
    ASSERT_EQ(vbmp3_open(p.c_str(), nullptr), 1);
    ASSERT_EQ(vbmp3_play(), 1);
    ASSERT_TRUE(WaitFor([] { return vbmp3_getState(nullptr) == VBMP3_STATE_STOPPED; }, 3.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(e::OutputDeviceOpen());
    ASSERT_EQ(vbmp3_open(p.c_str(), nullptr), 1);
    ASSERT_EQ(vbmp3_play(), 1);
    EXPECT_EQ(vbmp3_getState(nullptr), VBMP3_STATE_PLAYING);
    vbmp3_close();
    EXPECT_TRUE(WaitFor([] { return !e::OutputDeviceOpen(); }, 3.0));
}

} // namespace
