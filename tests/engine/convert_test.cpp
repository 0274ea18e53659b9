// WAVE to MP3 and back in the background, with the output readable while it grows.
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <cmath>
#include <cstring>
#include <sys/stat.h>

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

TEST_F(ConvertTest, WaveToMp3AndBackKeepsTheSignal)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("in.wav"), 30.0, 44100, 2, 1000, 0.5);
    const auto mp3 = dir.file("out.mp3");
    VBMP3_ENCODE_OPTIONS defaults{};
    ASSERT_EQ(vbmp3_encodeOpen(wav.c_str(), &defaults), 1);
    ASSERT_EQ(vbmp3_encodeStart(mp3.c_str()), 1);
    // The conversion window polls the growing output and stops when it is long enough.
    std::vector<int> seen;
    ASSERT_TRUE(WaitFor([&] {
        VBMP3_FILE_INFO info{};
        vbmp3_getFileInfo(mp3.c_str(), nullptr, &info);
        if (seen.empty() || seen.back() != info.playTime)
            seen.push_back(info.playTime);
        return info.playTime >= WaveSeconds(wav);
    }, 30));
    vbmp3_encodeStop();
    EXPECT_GE(seen.size(), 3u) << "length should be visible while the file grows";
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
