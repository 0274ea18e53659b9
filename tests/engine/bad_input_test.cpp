// Damaged and disguised files: no crash, no hang, nothing written, clean failures.
#include "engine_fixture.h"
#include "support/audio_files.h"

#include <cstring>
#include <random>

namespace {

using BadInputTest = EngineTest;

TEST_F(BadInputTest, UnplayableFilesFailCleanlyAndStayUntouched)
{
    kvtest::TempDir dir;
    const auto mp3 = kvtest::ReadBytes(kvtest::MakeMp3(dir.file("good.mp3"), 2.0));
    std::mt19937 rng(7);
    std::vector<uint8_t> random(200000);
    for (auto& b : random)
        b = uint8_t(rng());
    std::vector<uint8_t> hugeTag = {'I', 'D', '3', 4, 0, 0, 0x7f, 0x7f, 0x7f, 0x7f};
    hugeTag.insert(hugeTag.end(), mp3.begin(), mp3.end());
    std::vector<uint8_t> tagOnly = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    tagOnly.resize(30, 0);
    std::vector<uint8_t> v1Only(128, ' ');
    std::memcpy(v1Only.data(), "TAG", 3);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    png.resize(5000, 0x42);
    std::vector<uint8_t> waveHeaderOnly = kvtest::ReadBytes(kvtest::MakeWave(dir.file("w.wav"), 0.1));
    waveHeaderOnly.resize(44);
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"empty.mp3", {}},
        {"truncated.mp3", std::vector<uint8_t>(mp3.begin(), mp3.begin() + 300)},
        {"random.mp3", random},
        {"tagonly.mp3", tagOnly},
        {"v1only.mp3", v1Only},
        {"hugetag.mp3", hugeTag},
        {"picture.mp3", png},
        {"headeronly.wav", waveHeaderOnly},
        {"random.wav", std::vector<uint8_t>(random.begin(), random.begin() + 1000)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const auto p = kvtest::WriteBytes(dir.file(name), bytes);
        VBMP3_TAG_INFO tag;
        VBMP3_FILE_INFO info;
        std::memset(&info, 0x55, sizeof info);
        EXPECT_EQ(vbmp3_getFileInfo(p.c_str(), &tag, &info), 0);
        EXPECT_EQ(info.playTime, 0);
        EXPECT_EQ(info.format, 0);
        EXPECT_EQ(tag.title[0], ' ');
        VBMP3_TRACK_INFO track;
        EXPECT_EQ(vbmp3_open(p.c_str(), &track), 0);
        EXPECT_EQ(vbmp3_play(), 0);
        EXPECT_EQ(vbmp3_getState(nullptr), 0);
        EXPECT_EQ(kvtest::ReadBytes(p), bytes);
    }
    EXPECT_EQ(vbmp3_getFileInfo("/nonexistent/file.mp3", nullptr, nullptr), 0);
    EXPECT_EQ(vbmp3_getFileInfo(dir.path().c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(vbmp3_open(nullptr, nullptr), 0);
}

TEST_F(BadInputTest, ContentDecidesNotTheExtension)
{
    kvtest::TempDir dir;
    const auto wav = kvtest::MakeWave(dir.file("really_wave.mp3"), 1.5);
    const auto mp3 = kvtest::MakeMp3(dir.file("really_mp3.wav"), 1.5);
    VBMP3_FILE_INFO info;
    ASSERT_EQ(vbmp3_getFileInfo(wav.c_str(), nullptr, &info), 1);
    EXPECT_EQ(info.format, 2);
    ASSERT_EQ(vbmp3_getFileInfo(mp3.c_str(), nullptr, &info), 1);
    EXPECT_EQ(info.format, 1);
    EXPECT_EQ(vbmp3_open(mp3.c_str(), nullptr), 1);
    EXPECT_EQ(vbmp3_play(), 1);
    // Tags are never written into a WAVE, whatever its name.
    VBMP3_TAG_INFO tag{};
    EXPECT_EQ(vbmp3_setTagInfo(wav.c_str(), &tag, 1, 1), 0);
}

TEST(Lifecycle, InitAndFreeAreSafeToRepeat)
{
    EXPECT_EQ(vbmp3_init(), 1);
    EXPECT_EQ(vbmp3_init(), 1);
    vbmp3_free();
    vbmp3_free();
    EXPECT_EQ(vbmp3_play(), 0);
    EXPECT_EQ(vbmp3_init(), 1);
    vbmp3_free();
}

} // namespace
