// How a background conversion ends: finished, failed half-way, or stopped, and which
// conversions the player's own opening and closing of tracks may end.
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::atomic<ino_t> g_unreadableFile{0};
std::atomic<off_t> g_unreadableFrom{0}, g_unreadableTo{0};
} // namespace

// Every read of this program passes here. Reads of the file a test names fail in the stretch
// of it the test names, as on a damaged disk; all others go to the system.
extern "C" ssize_t read(int fd, void* buffer, size_t count)
{
    const ino_t file = g_unreadableFile;
    struct stat st;
    if (file != 0 && fstat(fd, &st) == 0 && st.st_ino == file) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= g_unreadableFrom && at < g_unreadableTo) {
            errno = EIO;
            return -1;
        }
    }
    return syscall(SYS_read, fd, buffer, count);
}

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

// A WAVE file with a LIST chunk of `extraBytes` after its data, as tag editors write one.
std::string WithChunkAfterData(const std::string& wav, size_t extraBytes)
{
    std::vector<uint8_t> bytes = kvtest::ReadBytes(wav);
    const uint8_t head[8] = {'L', 'I', 'S', 'T', uint8_t(extraBytes), uint8_t(extraBytes >> 8),
                             uint8_t(extraBytes >> 16), uint8_t(extraBytes >> 24)};
    bytes.insert(bytes.end(), head, head + 8);
    bytes.resize(bytes.size() + extraBytes, 'x');
    const uint32_t riff = uint32_t(bytes.size() - 8);
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = uint8_t(riff >> (8 * i));
    return kvtest::WriteBytes(wav, bytes);
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
    // Two seconds' worth of bytes after the sound: none of it is sound to encode.
    const auto tagged = WithChunkAfterData(kvtest::MakeWave(dir.file("tagged.wav"), 6.0, 44100, 2), 2 * 176400);
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> start;
    } cases[] = {
        {"wave to mp3", [&](const std::string& out) { return StartWaveToMp3(wav, out); }},
        {"wave with a chunk after its data to mp3", [&](const std::string& out) { return StartWaveToMp3(tagged, out); }},
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

TEST_F(ConvertStateTest, AReadThatFailsHalfWayIsReportedAsFailed)
{
    kvtest::TempDir dir;
    const auto mp3 = kvtest::MakeMp3(dir.file("in.mp3"), 20.0);
    struct stat st;
    ASSERT_EQ(stat(mp3.c_str(), &st), 0);
    g_unreadableFile = st.st_ino;
    // The middle: the start and the end, where the length and the tags are read, stay readable.
    g_unreadableFrom = st.st_size / 2;
    g_unreadableTo = st.st_size * 3 / 4;
    const bool started = vbmp3_decodeFile(mp3.c_str(), dir.file("out.wav").c_str()) == 1;
    const int state = started ? WaitForEnd() : 0;
    g_unreadableFile = 0;
    ASSERT_TRUE(started);
    EXPECT_EQ(state, VBMP3_CONVERT_FAILED) << "not the end of the sound, padded with silence";
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
