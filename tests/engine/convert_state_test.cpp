// How a background conversion ends: finished, failed half-way, or stopped, and which
// conversions the player's own opening and closing of tracks may end.
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <csignal>
#include <sys/resource.h>

namespace {

using ConvertStateTest = EngineTest;

int State(int* sec = nullptr)
{
    int s = 0;
    const int state = vbmp3_getEncodeState(&s);
    if (sec)
        *sec = s;
    return state;
}

// Polls until the conversion is no longer running; the seconds reported must never go back.
int WaitForEnd(std::vector<int>* seen = nullptr)
{
    int state = VBMP3_CONVERT_RUNNING;
    WaitFor([&] {
        int sec = 0;
        state = State(&sec);
        if (seen && (seen->empty() || seen->back() != sec))
            seen->push_back(sec);
        return state != VBMP3_CONVERT_RUNNING;
    }, 30);
    return state;
}

bool StartWaveToMp3(const std::string& wav, const std::string& mp3)
{
    VBMP3_ENCODE_OPTIONS defaults{};
    return vbmp3_encodeOpen(wav.c_str(), &defaults) == 1 && vbmp3_encodeStart(mp3.c_str()) == 1;
}

// Output files may grow only to `bytes`; a write beyond fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(ConvertStateTest, BothDirectionsFinishWithTheirWholeLength)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 6.0, 44100, 2, 1000, 0.5);
    const auto mp3 = kvtest::MakeMp3(dir.file("in.mp3"), 6.0);
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> start;
    } cases[] = {
        {"wave to mp3", [&](const std::string& out) { return StartWaveToMp3(wav, out); }},
        {"mp3 to wave", [&](const std::string& out) { return vbmp3_decodeFile(mp3.c_str(), out.c_str()) == 1; }},
        {"wave to wave", [&](const std::string& out) { return vbmp3_decodeFile(wav.c_str(), out.c_str()) == 1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto out = dir.file(std::string(c.name) + ".out");
        ASSERT_TRUE(c.start(out));
        std::vector<int> seen;
        EXPECT_EQ(WaitForEnd(&seen), VBMP3_CONVERT_FINISHED);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        int sec = 0;
        EXPECT_EQ(State(&sec), VBMP3_CONVERT_FINISHED) << "the outcome stays until the next conversion";
        EXPECT_EQ(sec, 6);
        vbmp3_encodeStop();
        VBMP3_FILE_INFO info{};
        ASSERT_EQ(vbmp3_getFileInfo(out.c_str(), nullptr, &info), 1);
        EXPECT_EQ(info.playTime, 6);
    }
}

TEST_F(ConvertStateTest, AWriteThatFailsHalfWayIsReportedAsFailed)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 20.0, 44100, 2);
    const auto mp3 = kvtest::MakeMp3(dir.file("in.mp3"), 20.0);
    // The sources are written; now every file may grow to 64 KB only.
    FileSizeLimit limit(64 * 1024);
    ASSERT_TRUE(StartWaveToMp3(wav, dir.file("full.mp3")));
    EXPECT_EQ(WaitForEnd(), VBMP3_CONVERT_FAILED);
    ASSERT_EQ(vbmp3_decodeFile(mp3.c_str(), dir.file("full.wav").c_str()), 1);
    EXPECT_EQ(WaitForEnd(), VBMP3_CONVERT_FAILED);
}

TEST_F(ConvertStateTest, StopFarFromTheEndIsReportedAsStopped)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("long.wav"), 240.0, 22050, 1);
    ASSERT_TRUE(StartWaveToMp3(wav, dir.file("cut.mp3")));
    EXPECT_EQ(State(), VBMP3_CONVERT_RUNNING);
    vbmp3_encodeStop();
    EXPECT_EQ(State(), VBMP3_CONVERT_STOPPED);
    // Opening the next source clears the outcome.
    VBMP3_ENCODE_OPTIONS defaults{};
    ASSERT_EQ(vbmp3_encodeOpen(wav.c_str(), &defaults), 1);
    EXPECT_EQ(State(), VBMP3_CONVERT_IDLE);
}

TEST_F(ConvertStateTest, TheSourcesThatCannotBeConvertedAreRefusedAtTheStart)
{
    kvtest::TempDir dir;
    const auto junk = kvtest::WriteBytes(dir.file("junk.mp3"), {1, 2, 3, 4, 5});
    const auto empty = kvtest::WriteBytes(dir.file("empty.wav"), {});
    const auto mp3 = kvtest::MakeMp3(dir.file("in.mp3"), 1.0);
    EXPECT_EQ(vbmp3_decodeFile(junk.c_str(), dir.file("a.wav").c_str()), 0);
    EXPECT_EQ(vbmp3_decodeFile(empty.c_str(), dir.file("b.wav").c_str()), 0);
    EXPECT_EQ(vbmp3_decodeFile(dir.file("missing.mp3").c_str(), dir.file("c.wav").c_str()), 0);
    EXPECT_EQ(vbmp3_decodeFile(mp3.c_str(), dir.file("no/such/folder.wav").c_str()), 0);
    EXPECT_EQ(vbmp3_decodeFile(nullptr, dir.file("d.wav").c_str()), 0);
    EXPECT_EQ(State(), VBMP3_CONVERT_IDLE);
}

TEST_F(ConvertStateTest, AShortSourceFinishesAtZeroSeconds)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("tiny.wav"), 0.2, 44100, 2);
    ASSERT_TRUE(StartWaveToMp3(wav, dir.file("tiny.mp3")));
    int sec = -1;
    EXPECT_EQ(WaitForEnd(), VBMP3_CONVERT_FINISHED);
    State(&sec);
    EXPECT_EQ(sec, 0);
}

TEST_F(ConvertStateTest, ThePlayerOpeningTracksLeavesAConversionByNameRunning)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 60.0, 44100, 2);
    const auto mp3 = kvtest::MakeMp3(dir.file("in.mp3"), 60.0);
    const auto other = kvtest::MakeWave(dir.file("other.wav"), 2.0);
    VBMP3_TRACK_INFO track{};
    for (int direction = 0; direction < 2; ++direction) {
        SCOPED_TRACE(direction);
        ASSERT_EQ(vbmp3_open(other.c_str(), &track), 1);
        ASSERT_EQ(vbmp3_play(), 1);
        if (direction == 0)
            ASSERT_TRUE(StartWaveToMp3(wav, dir.file("out.mp3")));
        else
            ASSERT_EQ(vbmp3_decodeFile(mp3.c_str(), dir.file("out.wav").c_str()), 1);
        int sec = 0;
        EXPECT_EQ(vbmp3_getState(&sec), VBMP3_STATE_PLAYING) << "the playing track is left alone";
        ASSERT_EQ(vbmp3_open(wav.c_str(), &track), 1);
        vbmp3_close();
        EXPECT_EQ(WaitForEnd(), VBMP3_CONVERT_FINISHED);
    }
    // A conversion of the open track itself still ends with the track.
    const auto longMp3 = kvtest::MakeMp3(dir.file("long.mp3"), 120.0, 22050, 1, 440, 32);
    ASSERT_EQ(vbmp3_open(longMp3.c_str(), &track), 1);
    ASSERT_EQ(vbmp3_decodeWave(dir.file("track.wav").c_str()), 1);
    vbmp3_close();
    EXPECT_EQ(State(), VBMP3_CONVERT_STOPPED);
}

} // namespace
