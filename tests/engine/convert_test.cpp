// WAVE to MP3 and back in the background, with the output readable while it grows.
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ConvertTest = EngineTest;

double Correlation(const kvtest::Pcm& a, const kvtest::Pcm& b, size_t offset, size_t frames)
{
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < frames; ++i) {
        const double x = a.samples[i * a.channels], y = b.samples[(i + offset) * b.channels];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return ab / std::sqrt(aa * bb + 1e-20);
}

// Best match over small shifts: encoders may add a little delay at the start.
double BestCorrelation(const kvtest::Pcm& a, const kvtest::Pcm& b)
{
    double best = -1;
    kvtest::Pcm window = a;
    window.samples.assign(a.samples.begin() + 44100 * a.channels, a.samples.begin() + 2 * 44100 * a.channels);
    for (size_t off = 44100 - 1500; off < 44100 + 3000; ++off)
        best = std::max(best, Correlation(window, b, off, 44100));
    return best;
}

// The length a file-size reader sees in a WAVE: file size / header byte rate.
int WaveSeconds(const std::string& p)
{
    const auto b = kvtest::ReadBytes(p);
    if (b.size() <= 44)
        return 0;
    uint32_t rate;
    std::memcpy(&rate, b.data() + 28, 4);
    return rate ? int(b.size() / rate) : 0;
}

// The output is readable with its length so far while it grows. The encoder writes into a pipe
// that the test drains at its own pace, a few kilobytes at a time, into the file it reads: the
// samples are taken at the same points of the stream however fast either side runs.
TEST_F(ConvertTest, TheGrowingMp3ShowsItsLengthSoFar)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 30.0, 44100, 2, 1000, 0.5);
    const auto pipe = dir.file("out.fifo");
    const auto growing = dir.file("growing.mp3");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int in = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); // so the encoder's open does not wait
    ASSERT_GE(in, 0);
    ASSERT_EQ(fcntl(in, F_SETFL, 0), 0);
    VBMP3_ENCODE_OPTIONS defaults{};
    ASSERT_EQ(vbmp3_encodeOpen(wav.c_str(), &defaults), 1);
    ASSERT_EQ(vbmp3_encodeStart(pipe.c_str()), 1);
    std::vector<int> seen;
    {
        std::ofstream out(growing, std::ios::binary);
        char buffer[4096];
        size_t total = 0, sampledAt = 0;
        for (ssize_t n; (n = read(in, buffer, sizeof buffer)) > 0;) {
            out.write(buffer, n);
            total += size_t(n);
            if (total - sampledAt < 16384)
                continue;
            sampledAt = total;
            out.flush();
            VBMP3_FILE_INFO info{};
            vbmp3_getFileInfo(growing.c_str(), nullptr, &info);
            seen.push_back(info.playTime);
        }
    }
    close(in);
    vbmp3_encodeStop();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LT(seen.front(), seen.back());
    EXPECT_GT(seen.back(), 20);
    EXPECT_LE(seen.back(), 30);
}

TEST_F(ConvertTest, WaveToMp3AndBackKeepsTheSignal)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 30.0, 44100, 2, 1000, 0.5);
    const auto mp3 = dir.file("out.mp3");
    VBMP3_ENCODE_OPTIONS defaults{};
    ASSERT_EQ(vbmp3_encodeOpen(wav.c_str(), &defaults), 1);
    ASSERT_EQ(vbmp3_encodeStart(mp3.c_str()), 1);
    ASSERT_TRUE(WaitFor([&] {
        VBMP3_FILE_INFO info{};
        vbmp3_getFileInfo(mp3.c_str(), nullptr, &info);
        return info.playTime >= WaveSeconds(wav);
    }, 30));
    vbmp3_encodeStop();
    VBMP3_FILE_INFO info;
    ASSERT_EQ(vbmp3_getFileInfo(mp3.c_str(), nullptr, &info), 1);
    EXPECT_EQ(info.hasXing, 1);
    EXPECT_EQ(info.vbr, 1);
    EXPECT_EQ(info.playTime, 30);
    const auto original = kvtest::DecodeFile(wav);
    EXPECT_NEAR(double(info.samples), double(original.Frames()), 1152);
    EXPECT_GT(BestCorrelation(original, kvtest::DecodeFile(mp3)), 0.99);

    // And back to WAVE after opening the MP3.
    const auto back = dir.file("back.wav");
    VBMP3_TRACK_INFO track;
    ASSERT_EQ(vbmp3_open(mp3.c_str(), &track), 1);
    ASSERT_EQ(vbmp3_decodeWave(back.c_str()), 1);
    ASSERT_TRUE(WaitFor([&] { return WaveSeconds(back) >= track.totalSec; }, 30));
    vbmp3_close();
    const auto decoded = kvtest::DecodeFile(back);
    EXPECT_EQ(decoded.rate, 44100);
    EXPECT_NEAR(double(decoded.Frames()), double(original.Frames()), 44100);
    EXPECT_GT(BestCorrelation(original, decoded), 0.99);
    ASSERT_EQ(vbmp3_getFileInfo(back.c_str(), nullptr, &info), 1);
    EXPECT_EQ(info.playTime, 30);
}

TEST_F(ConvertTest, LosslessSourcesInOtherContainersEncodeToMp3AndAacDoesNot) {
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 6.0, 44100, 2, 1000, 0.5);
    const auto original = kvtest::DecodeFile(wav);
    struct Case {
        const char* name;
        const char* codec;
        bool accepted;
    };
    const Case cases[] = {{"a.flac", "flac", true},      {"b.wv", "wavpack", true}, {"c.m4a", "alac", true},
                          {"d.aiff", "pcm_s16be", true}, {"e.tta", "tta", true},    {"f.m4a", "aac", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string source = dir.file(c.name), mp3 = dir.file(std::string(c.name) + ".mp3");
        ASSERT_EQ(std::system(
                      ("ffmpeg -v error -y -i '" + wav + "' -c:a " + c.codec + " '" + source + "'").c_str()),
                  0);
        VBMP3_ENCODE_OPTIONS defaults{};
        ASSERT_EQ(vbmp3_encodeOpen(source.c_str(), &defaults), c.accepted ? 1 : 0);
        if (!c.accepted) continue;
        ASSERT_EQ(vbmp3_encodeStart(mp3.c_str()), 1);
        ASSERT_TRUE(WaitFor([] { return vbmp3_getEncodeState(nullptr) != VBMP3_CONVERT_RUNNING; }, 30));
        EXPECT_EQ(vbmp3_getEncodeState(nullptr), VBMP3_CONVERT_FINISHED);
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(mp3.c_str(), nullptr, &info), 1);
        EXPECT_NEAR(double(info.samples), double(original.Frames()), 1152);
        EXPECT_GT(BestCorrelation(original, kvtest::DecodeFile(mp3)), 0.99);
    }
}

TEST_F(ConvertTest, CbrOptionsAndAbortLeaveAPlayableFile)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("long.wav"), 240.0, 22050, 1, 440, 0.3);
    const auto mp3 = dir.file("cut.mp3");
    VBMP3_ENCODE_OPTIONS cbr{};
    cbr.bitRate = 64;
    cbr.algorithmQuality = 7;
    ASSERT_EQ(vbmp3_encodeOpen(wav.c_str(), &cbr), 1);
    ASSERT_EQ(vbmp3_encodeStart(mp3.c_str()), 1);
    // A little output, far from the end: cut short.
    ASSERT_TRUE(WaitFor([] { int sec = 0; vbmp3_getEncodeState(&sec); return sec >= 60; }, 10));
    vbmp3_encodeStop();
    VBMP3_FILE_INFO info;
    ASSERT_EQ(vbmp3_getFileInfo(mp3.c_str(), nullptr, &info), 1);
    EXPECT_EQ(info.vbr, 0);
    EXPECT_EQ(info.bitRate, 64);
    EXPECT_GT(info.playTime, 0);
    EXPECT_LT(info.playTime, 240);
    EXPECT_NEAR(double(kvtest::DecodeFile(mp3).Frames()) / 22050, info.playTime, 1.0);
    // Starting needs an opened source; a non-audio source does not open.
    EXPECT_EQ(vbmp3_encodeStart(dir.file("x.mp3").c_str()), 0);
    const auto junk = kvtest::WriteBytes(dir.file("junk.wav"), {1, 2, 3, 4, 5});
    EXPECT_EQ(vbmp3_encodeOpen(junk.c_str(), &cbr), 0);
}

} // namespace
