// The shared test makers must produce what they claim, or every test built on them lies.
#include "support/audio_files.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(AudioFiles, WaveAndMp3DecodeToTheRequestedLength)
{
    kvtest::TempDir dir;
    struct Case { const char* name; int rate; int channels; int kbps; bool xing; bool mp3; };
    const Case cases[] = {
        {"a.wav", 44100, 2, 0, false, false}, {"b.wav", 22050, 1, 0, false, false},
        {"c.mp3", 44100, 2, 128, true, true}, {"d.mp3", 48000, 1, 0, true, true},
        {"e.mp3", 32000, 2, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string p = dir.file(c.name);
        if (c.mp3)
            kvtest::MakeMp3(p, 1.5, c.rate, c.channels, 440, c.kbps, c.xing);
        else
            kvtest::MakeWave(p, 1.5, c.rate, c.channels);
        const auto pcm = kvtest::DecodeFile(p);
        EXPECT_EQ(pcm.rate, c.rate);
        EXPECT_EQ(pcm.channels, c.channels);
        // Without a LAME tag the decoder keeps encoder delay and padding (under 3 frames).
        EXPECT_NEAR(double(pcm.Frames()) / c.rate, 1.5, c.mp3 && !c.xing ? 0.08 : 0.002);
    }
}

TEST(AudioFiles, TempDirIsRemoved)
{
    std::string where;
    {
        kvtest::TempDir dir;
        where = dir.path();
        kvtest::WriteBytes(dir.file("x"), {1, 2, 3});
        EXPECT_EQ(kvtest::ReadBytes(dir.file("x")).size(), 3u);
    }
    EXPECT_TRUE(kvtest::ReadBytes(where + "/x").empty());
}

} // namespace
