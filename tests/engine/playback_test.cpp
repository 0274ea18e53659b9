// Real-time playback through SDL's dummy driver on short files made by the test.
#include "engine/pcm_source.h"
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <cmath>
#include <cstdlib>

namespace {

int State(int* sec = nullptr)
{
    int s = 0;
    const int state = vbmp3_getState(&s);
    if (sec)
        *sec = s;
    return state;
}

using PlaybackTest = EngineTest;

TEST_F(PlaybackTest, PlayPauseRestartAndRunOut)
{
    kvtest::TempDir dir;
    for (const char* name : {"t.mp3", "t.wav", "t.flac"}) {
        SCOPED_TRACE(name);
        const std::string p = dir.file(name);
        name[2] == 'm' ? kvtest::MakeMp3(p, 2.2, 48000) : kvtest::MakeWave(p, 2.2, 22050, 1);
        if (name[2] == 'f')
            ASSERT_EQ(
                std::system(("ffmpeg -v error -y -f wav -i '" + kvtest::MakeWave(p + ".wav", 2.2, 96000) +
                             "' -c:a flac -f flac '" + p + "'")
                                .c_str()),
                0);
        VBMP3_TRACK_INFO info;
        ASSERT_EQ(vbmp3_open(p.c_str(), &info), 1);
        EXPECT_EQ(info.totalSec, 2);
        EXPECT_EQ(State(), VBMP3_STATE_STOPPED);
        ASSERT_EQ(vbmp3_play(), 1);
        EXPECT_EQ(State(), VBMP3_STATE_PLAYING);
        ASSERT_TRUE(WaitFor([] { int s; return State(&s) == 1 && s >= 1; }, 3.0));
        vbmp3_pause();
        int paused = -1;
        EXPECT_EQ(State(&paused), VBMP3_STATE_PAUSED);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        int later = -1;
        EXPECT_EQ(State(&later), VBMP3_STATE_PAUSED);
        EXPECT_EQ(later, paused);
        vbmp3_restart();
        EXPECT_EQ(State(), VBMP3_STATE_PLAYING);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(WaitFor([] { return State() == VBMP3_STATE_STOPPED; }, 3.0));
        // The rest (about 1.2 s) plays in real time, not at once.
        EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(700));
        int end = -1;
        State(&end);
        EXPECT_EQ(end, 2);
        // A finished track plays again from the start.
        ASSERT_EQ(vbmp3_play(), 1);
        int sec = -1;
        EXPECT_EQ(State(&sec), VBMP3_STATE_PLAYING);
        EXPECT_EQ(sec, 0);
        vbmp3_stop();
        EXPECT_EQ(State(&sec), VBMP3_STATE_STOPPED);
        EXPECT_EQ(sec, 0);
    }
}

TEST_F(PlaybackTest, SeekContinuesFromThePositionHeard)
{
    kvtest::TempDir dir;
    const auto p = kvtest::MakeMp3(dir.file("s.mp3"), 8.0, 44100, 2, 440, 0, true);
    ASSERT_EQ(vbmp3_open(p.c_str(), nullptr), 1);
    ASSERT_EQ(vbmp3_play(), 1);
    ASSERT_EQ(vbmp3_seek(5), 1);
    int sec = -1;
    EXPECT_EQ(State(&sec), VBMP3_STATE_PLAYING);
    EXPECT_EQ(sec, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(State(&sec), VBMP3_STATE_PLAYING);
    EXPECT_EQ(sec, 6);
    // Seeking while paused continues playing; seeking past the end runs out.
    vbmp3_pause();
    ASSERT_EQ(vbmp3_seek(2), 1);
    EXPECT_EQ(State(&sec), VBMP3_STATE_PLAYING);
    EXPECT_EQ(sec, 2);
    vbmp3_seek(60);
    EXPECT_TRUE(WaitFor([] { return State() == VBMP3_STATE_STOPPED; }, 1.0));
}

TEST_F(PlaybackTest, WaveSnapshotFollowsTheSoundHeard)
{
    kvtest::TempDir dir;
    const auto p = kvtest::MakeWave(dir.file("w.wav"), 3.0, 44100, 2, 440, 0.5);
    int32_t l[256], r[256];
    ASSERT_EQ(vbmp3_open(p.c_str(), nullptr), 1);
    vbmp3_getWave(l, r);
    EXPECT_EQ(*std::max_element(l, l + 256), 0);
    ASSERT_EQ(vbmp3_play(), 1);
    ASSERT_TRUE(WaitFor([] { int s; State(&s); return s >= 1; }, 3.0));
    vbmp3_getWave(l, r);
    const int peak = *std::max_element(l, l + 256);
    EXPECT_GE(peak, 45);
    EXPECT_LE(peak, 51);
    EXPECT_LE(*std::max_element(r, r + 256), 51);
    EXPECT_GE(*std::min_element(r, r + 256), -51);
    vbmp3_pause();
    vbmp3_getWave(l, r);
    EXPECT_EQ(*std::max_element(l, l + 256), 0);
}

TEST_F(PlaybackTest, VolumeIsOursAndClamped)
{
    int l = -1, r = -1;
    vbmp3_getVolume(&l, &r);
    EXPECT_EQ(l, 100);
    EXPECT_EQ(r, 100);
    vbmp3_setVolume(40, 140);
    vbmp3_getVolume(&l, &r);
    EXPECT_EQ(l, 40);
    EXPECT_EQ(r, 100);
}

TEST_F(PlaybackTest, NothingOpenMeansNothingPlays)
{
    EXPECT_EQ(vbmp3_play(), 0);
    EXPECT_EQ(State(), VBMP3_STATE_STOPPED);
    EXPECT_EQ(vbmp3_seek(3), 0);
    vbmp3_pause();
    vbmp3_restart();
    EXPECT_EQ(State(), VBMP3_STATE_STOPPED);
    EXPECT_EQ(vbmp3_decodeWave("/nonexistent/x.wav"), 0);
}

class Tone : public kv::engine::PcmSource {
public:
    explicit Tone(double seconds) : frames_(int(seconds * 32000)) {}
    int SampleRate() const override { return 32000; }
    int Read(float* stereo, int frames) override
    {
        const int n = std::min(frames, frames_ - pos_);
        for (int i = 0; i < n; ++i, ++pos_)
            stereo[i * 2] = stereo[i * 2 + 1] = float(0.3 * std::sin(2 * M_PI * 500 * pos_ / 32000.0));
        return std::max(n, 0);
    }
    bool Seek(double s) override { pos_ = std::min(frames_, int(s * 32000)); return true; }
    double Duration() const override { return double(frames_) / 32000; }

private:
    int frames_;
    int pos_ = 0;
};

TEST_F(PlaybackTest, ExternalSourceTakesOverTheOutput)
{
    kvtest::TempDir dir;
    const auto p = kvtest::MakeWave(dir.file("w.wav"), 5.0);
    ASSERT_EQ(vbmp3_open(p.c_str(), nullptr), 1);
    ASSERT_EQ(vbmp3_play(), 1);
    namespace e = kv::engine;
    ASSERT_TRUE(e::ExternalPlay(std::make_shared<Tone>(1.5)));
    EXPECT_EQ(State(), VBMP3_STATE_STOPPED); // stopped, not closed
    EXPECT_EQ(e::ExternalState(), 1);
    ASSERT_TRUE(WaitFor([] { return e::ExternalPosition() >= 0.5; }, 2.0));
    int32_t l[256], r[256];
    vbmp3_getWave(l, r);
    EXPECT_GE(*std::max_element(l, l + 256), 25);
    e::ExternalPause();
    EXPECT_EQ(e::ExternalState(), 2);
    e::ExternalResume();
    ASSERT_TRUE(e::ExternalSeek(1.0));
    EXPECT_NEAR(e::ExternalPosition(), 1.0, 0.05);
    ASSERT_TRUE(WaitFor([] { return e::ExternalState() == 0; }, 2.0));
    EXPECT_NEAR(e::ExternalPosition(), 1.5, 0.05);
    // The track is still open and plays again.
    EXPECT_EQ(vbmp3_play(), 1);
    EXPECT_EQ(e::ExternalState(), 0);
    e::ExternalStop();
    EXPECT_EQ(State(), VBMP3_STATE_PLAYING);
}

} // namespace

namespace {

TEST_F(PlaybackTest, PositionMovesSmoothlyAndNeverBackwardsAcrossPause)
{
    namespace e = kv::engine;
    ASSERT_TRUE(e::ExternalPlay(std::make_shared<Tone>(5.0)));
    ASSERT_TRUE(WaitFor([] { return e::ExternalPosition() > 0.2; }, 2.0));
    // A device buffer lasts about 93 ms; the position still advances between callbacks.
    std::vector<double> seen;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (std::chrono::steady_clock::now() < end) {
        seen.push_back(e::ExternalPosition());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int changes = 0;
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]);
        changes += seen[i] != seen[i - 1];
    }
    EXPECT_GE(changes, 20);
    const double before = e::ExternalPosition();
    e::ExternalPause();
    const double paused = e::ExternalPosition();
    EXPECT_GE(paused, before);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(e::ExternalPosition(), paused);
    e::ExternalResume();
    EXPECT_GE(e::ExternalPosition(), paused);
    ASSERT_TRUE(WaitFor([&] { return e::ExternalPosition() > paused + 0.3; }, 2.0));
    e::ExternalStop();
}

} // namespace
