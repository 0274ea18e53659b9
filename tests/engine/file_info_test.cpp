// Play time and stream facts from vbmp3_getFileInfo against what a decoder really produces.
#include "engine/media_probe.h"
#include "engine/vbmp3.h"
#include "support/audio_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

struct LengthCase {
    const char* name;
    std::function<std::string(const std::string&)> make;
    int format, layer, rate, channels, hasXing, vbr;
};

std::string Data(const char* name) { return std::string(KAVETTO_TEST_DATA) + "/" + name; }

TEST(FileInfo, PlayTimeIsWithinOneSecondOfTheDecodedLength)
{
    kvtest::TempDir dir;
    using kvtest::MakeMp3;
    const LengthCase cases[] = {
        {"cbr_info.mp3", [](auto p) { return MakeMp3(p, 7.6, 44100, 2, 440, 128, true); }, 1, 3, 44100, 2, 1, 0},
        {"cbr_plain.mp3", [](auto p) { return MakeMp3(p, 7.6, 44100, 2, 440, 128, false); }, 1, 3, 44100, 2, 0, 0},
        {"vbr_xing.mp3", [](auto p) { return MakeMp3(p, 9.3, 44100, 2, 440, 0, true); }, 1, 3, 44100, 2, 1, 1},
        {"vbr_plain.mp3", [](auto p) { return MakeMp3(p, 9.3, 48000, 2, 440, 0, false); }, 1, 3, 48000, 2, 0, -1},
        {"mono_mpeg2.mp3", [](auto p) { return MakeMp3(p, 5.5, 22050, 1, 300, 64, false); }, 1, 3, 22050, 1, 0, 0},
        {"mpeg25.mp3", [](auto p) { return MakeMp3(p, 4.2, 8000, 1, 300, 0, true); }, 1, 3, 8000, 1, 1, 1},
        {"layer1.mp1", [](auto p) { return kvtest::MakeMp1Silence(p, 3.3); }, 1, 1, 44100, 1, 0, 0},
        {"riff.rmp", [](auto p) { return kvtest::MakeRiffMp3(p, 3.7); }, 1, 3, 44100, 2, 0, 0},
        {"tone.wav", [](auto p) { return kvtest::MakeWave(p, 6.5, 44100, 2); }, 2, 0, 44100, 2, 0, 0},
        {"mono8k.wav", [](auto p) { return kvtest::MakeWave(p, 2.25, 8000, 1); }, 2, 0, 8000, 1, 0, 0},
        {"layer2.mp2", [](auto) { return Data("engine_tone_2s.mp2"); }, 1, 2, 44100, 2, 0, 0},
        {"layer2_22k.mp2", [](auto) { return Data("engine_tone_2s_22k.mp2"); }, 1, 2, 22050, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make(dir.file(c.name));
        VBMP3_TAG_INFO tag;
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(path.c_str(), &tag, &info), 1);
        const auto pcm = kvtest::DecodeFile(path);
        ASSERT_GT(pcm.rate, 0);
        const double decoded = double(pcm.Frames()) / pcm.rate;
        EXPECT_NEAR(info.playTime, decoded, 1.0);
        EXPECT_EQ(info.playTime, int(info.samples / info.sampleRate));
        if (c.hasXing)
            EXPECT_NEAR(double(info.samples), double(pcm.Frames()), 1152);
        EXPECT_EQ(info.format, c.format);
        EXPECT_EQ(info.layer, c.layer);
        EXPECT_EQ(info.sampleRate, c.rate);
        EXPECT_EQ(info.channels, c.channels);
        EXPECT_EQ(info.hasXing, c.hasXing);
        if (c.vbr >= 0)
            EXPECT_EQ(info.vbr, c.vbr);
        EXPECT_GT(info.bitRate, 0);
    }
}

// The placeholder first frame LAME writes while encoding, and a file cut mid-frame, are what
// the conversion window sees while an MP3 grows.
TEST(FileInfo, TruncatedVbrWithoutHeaderCountsOnlyWholeFrames)
{
    kvtest::TempDir dir;
    const auto full = kvtest::ReadBytes(kvtest::MakeMp3(dir.file("v.mp3"), 10, 44100, 2, 440, 0, false));
    int last = -1;
    for (double part : {0.25, 0.5, 0.75, 1.0}) {
        auto bytes = full;
        bytes.resize(size_t(bytes.size() * part) - (part < 1 ? 7 : 0));
        const auto p = kvtest::WriteBytes(dir.file("cut.mp3"), bytes);
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), nullptr, &info), 1);
        const double decoded = double(kvtest::DecodeFile(p).Frames()) / 44100;
        EXPECT_NEAR(info.playTime, decoded, 1.0) << part;
        EXPECT_GE(info.playTime, last);
        last = info.playTime;
    }
    EXPECT_GE(last, 9);
}

// Tags some taggers append after the audio; the length of a CBR file without a Xing frame is
// taken from the audio bytes, which must not include them.
TEST(FileInfo, TrailingTagsAreNotAudio)
{
    using Bytes = std::vector<uint8_t>;
    auto synchSafe = [](size_t n) {
        return Bytes{uint8_t(n >> 21 & 0x7f), uint8_t(n >> 14 & 0x7f), uint8_t(n >> 7 & 0x7f), uint8_t(n & 0x7f)};
    };
    auto id3v2 = [&](uint8_t version, size_t bodySize, bool footer) {
        Bytes body = {'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 0, 't', 'i', 't', 'l', 'e'};
        body.resize(bodySize, 0); // padding
        Bytes tag = {'I', 'D', '3', version, 0, uint8_t(footer ? 0x10 : 0)};
        const Bytes size = synchSafe(bodySize);
        tag.insert(tag.end(), size.begin(), size.end());
        tag.insert(tag.end(), body.begin(), body.end());
        if (footer) {
            tag.insert(tag.end(), {'3', 'D', 'I', version, 0, 0x10});
            tag.insert(tag.end(), size.begin(), size.end());
        }
        return tag;
    };
    auto ape = [] {
        Bytes item = {5, 0, 0, 0, 0, 0, 0, 0, 'T', 'i', 't', 'l', 'e', 0, 't', 'i', 't', 'l', 'e'};
        auto frame = [&](uint32_t flags) {
            Bytes f = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0};
            const uint32_t size = uint32_t(item.size() + 32), values[] = {size, 1, flags};
            for (uint32_t v : values)
                f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
            f.resize(32, 0);
            return f;
        };
        Bytes tag = frame(0xA0000000u);
        tag.insert(tag.end(), item.begin(), item.end());
        const Bytes footer = frame(0x80000000u);
        tag.insert(tag.end(), footer.begin(), footer.end());
        return tag;
    };
    Bytes id3v1 = {'T', 'A', 'G'};
    id3v1.resize(128, 0);

    kvtest::TempDir dir;
    const Bytes audio = kvtest::ReadBytes(kvtest::MakeMp3(dir.file("plain.mp3"), 3.73, 44100, 2, 440, 128, false));
    VBMP3_FILE_INFO plain;
    ASSERT_EQ(vbmp3_getFileInfo(dir.file("plain.mp3").c_str(), nullptr, &plain), 1);
    const struct {
        const char* name;
        std::vector<Bytes> after;
    } cases[] = {
        {"ID3v2.3, no footer", {id3v2(3, 3600, false)}},
        {"ID3v2.3, then ID3v1", {id3v2(3, 3600, false), id3v1}},
        {"ID3v2.4 with footer", {id3v2(4, 70000, true)}},
        {"APEv2, then ID3v1", {ape(), id3v1}},
        {"ID3v2 and APEv2", {id3v2(3, 500, false), ape()}},
    };
    for (const auto& c : cases) {
        Bytes bytes = audio;
        for (const Bytes& tag : c.after)
            bytes.insert(bytes.end(), tag.begin(), tag.end());
        const auto path = kvtest::WriteBytes(dir.file("tagged.mp3"), bytes);
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(path.c_str(), nullptr, &info), 1) << c.name;
        EXPECT_EQ(info.samples, plain.samples) << c.name;
        EXPECT_EQ(info.audioBytes, plain.audioBytes) << c.name;
        EXPECT_EQ(info.playTime, 3) << c.name;
    }
}

TEST(FileInfo, WaveLengthSurvivesLyingHeaders)
{
    kvtest::TempDir dir;
    auto bytes = kvtest::ReadBytes(kvtest::MakeWave(dir.file("w.wav"), 4.0, 44100, 2));
    struct Case { const char* name; uint32_t dataSize; uint32_t byteRate; };
    for (const Case& c : {Case{"huge data", 0x7ffffff0u, 176400}, Case{"zero data", 0, 176400},
                          Case{"bad byte rate", 4 * 176400, 1234}}) {
        SCOPED_TRACE(c.name);
        auto b = bytes;
        std::memcpy(b.data() + 40, &c.dataSize, 4);
        std::memcpy(b.data() + 28, &c.byteRate, 4);
        const auto p = kvtest::WriteBytes(dir.file("lie.wav"), b);
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), nullptr, &info), 1);
        EXPECT_EQ(info.playTime, 4);
        EXPECT_EQ(info.samples, 4 * 44100);
    }
}

TEST(FileInfo, WaveReaderFindsDataAfterOtherChunks)
{
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E',
                              'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0, // odd size, padded
                              'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1f, 0, 0,
                              0x80, 0x3e, 0, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a', 0x80, 0x3e, 0, 0};
    b.resize(b.size() + 16000);
    kv::engine::WaveHeader w;
    ASSERT_TRUE(kv::engine::ParseWaveHeader(b.data(), b.size(), int64_t(b.size()), &w));
    EXPECT_EQ(w.sampleRate, 8000);
    EXPECT_EQ(w.dataBytes, 16000);
    EXPECT_EQ(w.dataOffset, int64_t(b.size() - 16000));
}

} // namespace
