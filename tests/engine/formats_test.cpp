// The formats FFmpeg decodes for the engine, each made here with ffmpeg: lengths read from the
// headers, decoding, seeking, tags, damaged files.
#include "engine/decoder.h"
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool HaveFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

// A 440 Hz sine of `frames` frames (1 kHz on the second channel) encoded by ffmpeg with `codec`.
std::string Make(const std::string& path, const std::string& codec, int rate, int channels, int64_t frames,
                 const std::string& extra = "") {
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i 'sine=f=440:r=" + std::to_string(rate) +
                            "' -f lavfi -i 'sine=f=1000:r=" + std::to_string(rate) +
                            "' -filter_complex '[0][1]amerge=inputs=2,pan=" +
                            (channels == 6   ? std::string("5.1|c0=c0|c1=c1|c2=c0|c3=c1|c4=c0|c5=c1")
                             : channels == 1 ? "mono|c0=c0"
                                             : "stereo|c0=c0|c1=c1") +
                            ",atrim=end_sample=" + std::to_string(frames) +
                            "' -map_metadata -1 -metadata title='夜の歌' -metadata artist='山田' " +
                            "-metadata album='アルバム' -metadata date=2021 -metadata comment='コメント' " +
                            codec + " " + extra + " '" + path + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return path;
}

struct Format {
    const char* name;
    const char* codec;
    int rate, channels;
    bool exact; // lossless: the stream holds exactly the frames given
    const char* extra = "";
};

const Format kFormats[] = {
    {"a16.flac", "-c:a flac -sample_fmt s16", 44100, 2, true},
    {"a24.flac", "-c:a flac -sample_fmt s32", 96000, 2, true},
    {"b.opus", "-c:a libopus -b:a 96k", 48000, 2, true},
    {"c.ogg", "-c:a libvorbis", 44100, 2, true},
    {"d.m4a", "-c:a aac -b:a 128k", 44100, 2, false},
    {"e.m4a", "-c:a alac", 44100, 2, true},
    {"f.wv", "-c:a wavpack", 48000, 2, true},
    {"g.aiff", "-c:a pcm_s24be", 44100, 2, true, "-write_id3v2 1"},
    {"h.flac", "-c:a flac", 48000, 6, true},
    {"i.tta", "-c:a tta", 44100, 1, true},
    {"j.m4a", "-c:a aac -b:a 160k", 48000, 6, false, "-movflags +faststart"},
};

template <size_t N> std::string Field(const char (&text)[N]) {
    std::string s(text, strnlen(text, N));
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

std::vector<float> DecodeAll(kv::engine::Decoder& d) {
    std::vector<float> all, block(4096 * size_t(d.Channels()));
    for (long n; (n = d.ReadFloat(block.data(), 4096)) > 0;)
        all.insert(all.end(), block.begin(), block.begin() + n * d.Channels());
    return all;
}

class FormatsTest : public EngineTest {
  protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        EngineTest::SetUp();
    }
    kvtest::TempDir dir_;
};

TEST_F(FormatsTest, LengthTagsDecodingAndSeeking) {
    constexpr double kSeconds = 2.5;
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const int64_t frames = int64_t(kSeconds * f.rate) + 7;
        const std::string p = Make(dir_.file(f.name), f.codec, f.rate, f.channels, frames, f.extra);
        VBMP3_TAG_INFO tag;
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), &tag, &info), 1);
        EXPECT_EQ(info.format, 3);
        EXPECT_EQ(info.sampleRate, f.rate);
        EXPECT_EQ(info.channels, f.channels);
        EXPECT_EQ(info.playTime, 2);
        EXPECT_GT(info.bitRate, 0);
        if (f.exact)
            EXPECT_EQ(info.samples, frames);
        else
            EXPECT_NEAR(double(info.samples), double(frames), 1024);
        EXPECT_EQ(Field(tag.title), "夜の歌");
        EXPECT_EQ(Field(tag.artist), "山田");
        EXPECT_EQ(Field(tag.album), "アルバム");
        EXPECT_EQ(Field(tag.year), "2021");
        EXPECT_EQ(Field(tag.comment), "コメント");

        auto d = kv::engine::OpenDecoder(p, info.format);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->Rate(), f.rate);
        EXPECT_EQ(d->Channels(), std::min(f.channels, 2));
        const std::vector<float> all = DecodeAll(*d);
        const int ch = d->Channels();
        // The stream's own count and what decoding gives are the same number.
        EXPECT_EQ(int64_t(all.size() / ch), info.samples);

        // A seek lands on the sample asked for, not on a packet boundary.
        const int64_t target = int64_t(1.3 * f.rate) + 3;
        ASSERT_TRUE(d->Seek(target));
        std::vector<float> got(256 * size_t(ch));
        ASSERT_EQ(d->ReadFloat(got.data(), 256), 256);
        double best = 1e9;
        int bestLag = 99;
        for (int lag = -3; lag <= 3; ++lag) {
            double err = 0;
            for (size_t i = 0; i < got.size(); ++i)
                err += std::fabs(got[i] - all[size_t(target + lag) * ch + i]);
            if (err < best) best = err, bestLag = lag;
        }
        EXPECT_LE(std::abs(bestLag), f.exact ? 0 : 1);
        EXPECT_LT(best / double(got.size()), 0.02);
    }
}

// Every tag ffprobe sees but the title, and the streams (a cover is a stream), as sorted
// "key=value" lines. Keys are compared without case, and APE's YEAR is the DATE TagLib
// writes for it: TagLib spells keys its own way, the values are what must stay.
std::vector<std::string> Probe(const std::string& path) {
    std::vector<std::string> out;
    FILE* f = popen(
        ("ffprobe -v error -show_entries format_tags:stream_tags:stream=codec_name,disposition -of flat '" +
         path + "'")
            .c_str(),
        "r");
    char line[4096];
    while (f && std::fgets(line, sizeof line, f)) {
        std::string l = line;
        const size_t eq = l.find('=');
        for (size_t i = 0; i < eq && eq != std::string::npos; ++i)
            l[i] = char(std::tolower(static_cast<unsigned char>(l[i])));
        if (l.find("tags.title=") != std::string::npos) continue;
        if (const size_t y = l.find("tags.year="); y != std::string::npos) l.replace(y, 10, "tags.date=");
        out.push_back(l);
    }
    if (f) pclose(f);
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(FormatsTest, TagEditWritesOnlyTheChangedFieldAndKeepsPicturesAndTheRest) {
    const std::string cover = dir_.file("cover.png");
    ASSERT_EQ(std::system(
                  ("ffmpeg -v error -y -f lavfi -i color=c=red:s=16x16 -frames:v 1 '" + cover + "'").c_str()),
              0);
    const char* extra = "-metadata REPLAYGAIN_TRACK_GAIN='-6.5 dB' -metadata MUSICBRAINZ_TRACKID=abc-123";
    struct Case {
        const char* name;
        const char* codec;
        bool picture;
    };
    const Case cases[] = {
        {"t.flac", "-c:a flac", true},      {"t.m4a", "-c:a alac", true},
        {"t.opus", "-c:a libopus", false},  {"t.wv", "-c:a wavpack", false},
        {"t.ogg", "-c:a libvorbis", false}, {"t.aiff", "-c:a pcm_s16be -write_id3v2 1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plain =
            Make(dir_.file(std::string("plain-") + c.name), c.codec, 44100, 2, 44100, extra);
        std::string p = plain;
        if (c.picture) {
            p = dir_.file(c.name);
            ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + plain + "' -i '" + cover +
                                   "' -map 0 -map 1 -c copy -disposition:v attached_pic '" + p + "'")
                                      .c_str()),
                      0);
        }
        const auto before = Probe(p);
        // The editor's way: only the title given, the other texts left as they are.
        const char* texts[5] = {"新しい題名", nullptr, nullptr, nullptr, nullptr};
        ASSERT_EQ(vbmp3_setTagText(p.c_str(), texts, 1, 1), 1);
        VBMP3_TAG_INFO tag;
        ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), &tag, nullptr), 1);
        EXPECT_EQ(Field(tag.title), "新しい題名");
        EXPECT_EQ(Field(tag.artist), "山田");
        EXPECT_EQ(Field(tag.comment), "コメント");
        EXPECT_EQ(Probe(p), before);
        // A record handed back unchanged changes nothing at all.
        const auto bytes = kvtest::ReadBytes(p);
        ASSERT_EQ(vbmp3_setTagInfo(p.c_str(), &tag, 1, 1), 1);
        EXPECT_EQ(kvtest::ReadBytes(p), bytes);
    }
}

TEST_F(FormatsTest, DamagedFilesAreUnreadableOrEndEarlyNeverHang) {
    const std::string flac = Make(dir_.file("good.flac"), "-c:a flac", 44100, 2, 44100 * 3);
    const std::string m4a = Make(dir_.file("good.m4a"), "-c:a alac", 44100, 2, 44100 * 3);
    const std::string opus = Make(dir_.file("good.opus"), "-c:a libopus", 48000, 2, 48000 * 3);
    const std::string aac =
        Make(dir_.file("good-aac.m4a"), "-c:a aac", 44100, 2, 44100 * 3, "-movflags +faststart");
    const auto bytes = kvtest::ReadBytes(flac);
    auto head = [](const std::vector<uint8_t>& b, size_t n) {
        return std::vector<uint8_t>(b.begin(), b.begin() + n);
    };
    // STREAMINFO's 36-bit sample count (bytes 21..25 of the file) claiming 2^35 samples.
    std::vector<uint8_t> claims = bytes;
    claims[21] = (claims[21] & 0xf0) | 0x08;
    std::vector<uint8_t> garbage = {'f', 'L', 'a', 'C'};
    garbage.resize(4096, 0x5a);
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        bool readable; // the header still gives a length
    };
    const std::vector<Case> cases = {
        {"empty.flac", {}, false},
        {"half.flac", head(bytes, bytes.size() / 2), true},
        {"header-only.flac", head(bytes, 200), false},
        {"claims.flac", claims, true},
        {"garbage.flac", garbage, false},
        {"flac-named.mp3", bytes, true},
        {"half.m4a", head(kvtest::ReadBytes(m4a), kvtest::ReadBytes(m4a).size() / 2), false},
        // Its atoms come first and are whole: the length stands, the sound ends where the file does.
        {"half-aac.m4a", head(kvtest::ReadBytes(aac), kvtest::ReadBytes(aac).size() / 2), true},
        {"half.opus", head(kvtest::ReadBytes(opus), kvtest::ReadBytes(opus).size() / 2), true},
        {"text.ogg", {'O', 'g', 'g', 'S', 'h', 'i'}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string p = kvtest::WriteBytes(dir_.file(c.name), c.bytes);
        const auto start = std::chrono::steady_clock::now();
        VBMP3_FILE_INFO info;
        const int ok = vbmp3_getFileInfo(p.c_str(), nullptr, &info);
        EXPECT_EQ(ok, c.readable ? 1 : 0);
        VBMP3_TRACK_INFO track;
        if (vbmp3_open(p.c_str(), &track)) {
            auto d = kv::engine::OpenDecoder(p, info.format);
            ASSERT_TRUE(d);
            const std::vector<float> all = DecodeAll(*d);
            EXPECT_LE(int64_t(all.size()) / d->Channels(), int64_t(44100 * 3 / 2 + 48000 * 3 / 2));
            EXPECT_TRUE(d->Seek(info.samples - 10)); // past what the file holds: reading just ends
            float tail[64];
            EXPECT_GE(d->ReadFloat(tail, 32 / d->Channels()), 0);
        }
        vbmp3_close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

} // namespace
