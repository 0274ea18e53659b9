// Tag reading (ID3v2 over ID3v1, CP932 detection) and atomic tag writing.
#include "engine/media_probe.h"
#include "engine/text.h"
#include "engine/vbmp3.h"
#include "support/audio_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

namespace {

std::string Field(const char* f, size_t width) {
    return kv::engine::GetFixedText(f, width);
}

std::vector<uint8_t> Id3v1(const std::string& title, const std::string& artist, uint8_t genre = 13) {
    std::vector<uint8_t> t(128, 0);
    std::memcpy(t.data(), "TAG", 3);
    std::memcpy(t.data() + 3, title.data(), std::min<size_t>(30, title.size()));
    std::memcpy(t.data() + 33, artist.data(), std::min<size_t>(30, artist.size()));
    std::memcpy(t.data() + 93, "1999", 4);
    t[127] = genre;
    return t;
}

// ID3v2.3 with Latin-1 (encoding byte 0) text frames holding raw bytes.
std::vector<uint8_t> Id3v2Latin1(const std::vector<std::pair<std::string, std::string>>& frames) {
    std::vector<uint8_t> body;
    for (const auto& [id, text] : frames) {
        const uint32_t size = uint32_t(text.size() + 1);
        body.insert(body.end(), id.begin(), id.end());
        for (int s : {24, 16, 8, 0})
            body.push_back(uint8_t(size >> s));
        body.push_back(0);
        body.push_back(0);
        body.push_back(0);
        body.insert(body.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    const uint32_t n = uint32_t(body.size());
    for (int s : {21, 14, 7, 0})
        tag.push_back(uint8_t((n >> s) & 0x7f));
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b,
                          const std::vector<uint8_t>& c = {}) {
    a.insert(a.end(), b.begin(), b.end());
    a.insert(a.end(), c.begin(), c.end());
    return a;
}

TEST(Tags, LegacyBytesDecodeAsCp932OnlyWhenTheyLookJapanese) {
    struct Case {
        const char* bytes;
        const char* utf8;
    };
    const Case cases[] = {
        {"Plain ASCII", "Plain ASCII"},
        {"\x93\xfa\x96\x7b\x8c\xea", "日本語"},
        {"\x82\xa0\x82\xa2 abc", "あい abc"},
        {"\x87\x40\xfb\xfc", "①髙"}, // NEC special and IBM kanji: CP932 only
        {"M\xf6tley Cr\xfc"
         "e",
         "Mötley Crüe"}, // Latin-1 that CP932 could also parse
        {"Caf\xe9", "Café"},
        {"\xc5ngstr\xf6m", "Ångström"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kv::engine::DecodeLegacyText(c.bytes, std::strlen(c.bytes)), c.utf8) << c.utf8;
}

TEST(Tags, FixedFieldsAreBlankPaddedAndNeverCutACharacter) {
    char f[8];
    kv::engine::PutFixedText(f, sizeof f, "ab");
    EXPECT_EQ(std::string(f, 8), std::string("ab     \0", 8));
    kv::engine::PutFixedText(f, sizeof f, "xx日本語"); // 2 + 9 bytes: only one kanji fits in 7
    EXPECT_EQ(std::string(f), "xx日  ");
    EXPECT_EQ(Field(f, sizeof f), "xx日");
}

TEST(Tags, Id3v2FirstThenId3v1AndShiftJisInBoth) {
    kvtest::TempDir dir;
    const auto audio = kvtest::ReadBytes(kvtest::MakeMp3(dir.file("a.mp3"), 2.0, 44100, 2, 440, 128, false));
    const auto v2 = Id3v2Latin1({{"TIT2", "\x83\x65\x83\x58\x83\x67"}, {"TALB", "Album"}});
    const auto v1 = Id3v1("v1 title", "\x89\xcc\x8e\xe8");
    const auto p = kvtest::WriteBytes(dir.file("t.mp3"), Join(v2, audio, v1));
    VBMP3_TAG_INFO tag;
    VBMP3_FILE_INFO info;
    ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), &tag, &info), 1);
    EXPECT_EQ(Field(tag.title, 128), "テスト");
    EXPECT_EQ(Field(tag.artist, 128), "歌手"); // empty in ID3v2, taken from ID3v1
    EXPECT_EQ(Field(tag.album, 128), "Album");
    EXPECT_EQ(Field(tag.year, 5), "1999");
    EXPECT_EQ(tag.genre, 13);
    EXPECT_EQ(Field(tag.genreName, 128), "Pop");
    EXPECT_EQ(info.playTime, 2);
    EXPECT_EQ(info.audioOffset, int64_t(v2.size()));
}

TEST(Tags, WritingKeepsAudioFramesPermissionsAndReadsBack) {
    kvtest::TempDir dir;
    const auto p = kvtest::MakeMp3(dir.file("w.mp3"), 3.0, 44100, 2, 440, 0, true);
    chmod(p.c_str(), 0640);
    VBMP3_FILE_INFO before;
    ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), nullptr, &before), 1);
    const auto original = kvtest::ReadBytes(p);
    for (int round = 0; round < 2; ++round) {
        VBMP3_TAG_INFO tag{};
        kv::engine::PutFixedText(tag.title, 128, round ? "短い" : "日本語のタイトル ①");
        kv::engine::PutFixedText(tag.artist, 128, "Mötley Crüe");
        kv::engine::PutFixedText(tag.album, 128, "Album");
        kv::engine::PutFixedText(tag.year, 5, "2024");
        kv::engine::PutFixedText(tag.comment, 128, "comment");
        ASSERT_EQ(vbmp3_setTagInfo(p.c_str(), &tag, 1, 1), 1);
        VBMP3_TAG_INFO back;
        VBMP3_FILE_INFO info;
        ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), &back, &info), 1);
        EXPECT_EQ(Field(back.title, 128), round ? "短い" : "日本語のタイトル ①");
        EXPECT_EQ(Field(back.artist, 128), "Mötley Crüe");
        EXPECT_EQ(Field(back.year, 5), "2024");
        EXPECT_EQ(Field(back.comment, 128), "comment");
        EXPECT_EQ(info.samples, before.samples);
        // The audio frames are the same bytes, only moved behind the new tag.
        const auto now = kvtest::ReadBytes(p);
        ASSERT_GE(now.size(), size_t(info.audioOffset + before.audioBytes));
        EXPECT_TRUE(std::equal(original.begin() + before.audioOffset - 0,
                               original.begin() + before.audioOffset + before.audioBytes,
                               now.begin() + info.audioOffset));
        // ID3v1 carries the Japanese title as CP932.
        if (round == 1) EXPECT_EQ(std::string(now.end() - 125, now.end() - 121), "\x92\x5a\x82\xa2");
    }
    struct stat st {};
    stat(p.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(Tags, AWriteChangesOnlyTheFieldsGivenAndKeepsTheVersion) {
    for (const int version : {3, 4}) {
        SCOPED_TRACE(version);
        kvtest::TempDir dir;
        const auto p = kvtest::MakeForeignTaggedMp3(dir.file("foreign.mp3"), int(version));
        const auto before = kvtest::TagFrames(p);
        const auto v1Before = kvtest::ReadBytes(p);

        // The texts whole, and the comment without a description.
        std::vector<char> buffer(size_t(vbmp3_getTagText(p.c_str(), nullptr, 0)));
        ASSERT_FALSE(buffer.empty());
        ASSERT_EQ(vbmp3_getTagText(p.c_str(), buffer.data(), int(buffer.size())), int(buffer.size()));
        std::vector<std::string> texts;
        for (const char* at = buffer.data(); at < buffer.data() + buffer.size();
             at += texts.back().size() + 1)
            texts.emplace_back(at);
        ASSERT_EQ(texts.size(), 5u);
        EXPECT_EQ(texts[0].size(), 180u) << "sixty kana";
        EXPECT_EQ(texts[3], "2001");
        EXPECT_EQ(texts[4], "Waterbug Records, 2001");

        // The record read and handed back as it is changes nothing, though it cut the title.
        VBMP3_TAG_INFO record;
        ASSERT_EQ(vbmp3_getFileInfo(p.c_str(), &record, nullptr), 1);
        ASSERT_EQ(vbmp3_setTagInfo(p.c_str(), &record, 1, 1), 1);
        EXPECT_EQ(kvtest::ReadBytes(p), v1Before);

        // The same file held in memory is written byte for byte as the file is.
        std::vector<uint8_t> inMemory = v1Before;
        ASSERT_EQ(kv::engine::SetTagInfoInBytes(inMemory, &record, 1, 1), 1);
        EXPECT_EQ(inMemory, v1Before);
        for (const auto& [v2, v1] : {std::pair{0, 1}, std::pair{1, 0}}) {
            kv::engine::PutFixedText(record.artist, 128, v2 ? "歌手二" : "歌手一");
            ASSERT_EQ(kv::engine::SetTagInfoInBytes(inMemory, &record, v2, v1), 1);
            ASSERT_EQ(vbmp3_setTagInfo(p.c_str(), &record, v2, v1), 1);
            EXPECT_EQ(inMemory, kvtest::ReadBytes(p)) << v2 << v1;
        }

        // Only the artist.
        const char* artistOnly[5] = {nullptr, "新しい歌手", nullptr, nullptr, nullptr};
        ASSERT_EQ(vbmp3_setTagText(p.c_str(), artistOnly, 1, 1), 1);
        int now = 0;
        auto after = kvtest::TagFrames(p, &now);
        EXPECT_EQ(now, version);
        EXPECT_EQ(after["TPE1"].substr(0, after["TPE1"].find('|')), "新しい歌手");
        after.erase("TPE1");
        auto expected = before;
        expected.erase("TPE1");
        EXPECT_EQ(after, expected);
        const auto bytes = kvtest::ReadBytes(p);
        const std::string v1(bytes.end() - 128, bytes.end());
        EXPECT_EQ(v1.substr(3, 30), std::string("v1 title").append(22, '\0'));
        EXPECT_EQ(v1.substr(33, 10), "\x90\x56\x82\xb5\x82\xa2\x89\xcc\x8e\xe8");
        EXPECT_EQ(v1.substr(97, 10), "v1 comment");

        // A new comment replaces only the plain one; a long title is cut in ID3v1 only, between
        // two characters.
        std::string title = "a";
        for (int i = 0; i < 40; ++i)
            title += "い";
        const char* titleAndComment[5] = {title.c_str(), nullptr, nullptr, nullptr, "新しいコメント"};
        ASSERT_EQ(vbmp3_setTagText(p.c_str(), titleAndComment, 1, 1), 1);
        after = kvtest::TagFrames(p);
        EXPECT_EQ(after["TIT2"].substr(0, after["TIT2"].find('|')), title);
        EXPECT_EQ(after["COMM/"].substr(0, after["COMM/"].find('|')), "新しいコメント");
        for (const char* kept : {"COMM/iTunes_CDDB_TrackNumber", "COMM/iTunNORM", "COMM/iTunSMPB",
                                 "TXXX/REPLAYGAIN_TRACK_GAIN", "TDRC"})
            EXPECT_EQ(after[kept], before.at(kept)) << kept;
        const auto cut = kvtest::ReadBytes(p);
        // 1 + 14 * 2 bytes: the fifteenth kana would end past the 30th byte.
        EXPECT_EQ(std::string(cut.end() - 125, cut.end() - 95),
                  "a" + kv::engine::EncodeLegacyText(title.substr(1, 14 * 3)) + '\0');
    }
}

TEST(Tags, WritingThroughALinkTagsTheFileItNames) {
    kvtest::TempDir dir;
    std::filesystem::create_directory(dir.file("real"));
    const auto real = kvtest::MakeMp3(dir.file("real/song.mp3"), 0.5);
    const auto symbolic = dir.file("link.mp3");
    std::filesystem::create_symlink("real/song.mp3", symbolic);
    const auto other = dir.file("real/other name.mp3");
    std::filesystem::create_hard_link(real, other);
    struct Case {
        std::string written, title;
    };
    for (const Case& c : {Case{symbolic, "through the link"}, Case{other, "through the other name"}}) {
        const char* texts[5] = {c.title.c_str(), nullptr, nullptr, nullptr, nullptr};
        ASSERT_EQ(vbmp3_setTagText(c.written.c_str(), texts, 1, 1), 1) << c.written;
        EXPECT_TRUE(std::filesystem::is_symlink(symbolic));
        EXPECT_EQ(std::filesystem::hard_link_count(real), 2u) << "still one file";
        EXPECT_TRUE(std::filesystem::equivalent(real, other));
        for (const auto& name : {real, other, symbolic}) {
            VBMP3_TAG_INFO tag;
            ASSERT_EQ(vbmp3_getFileInfo(name.c_str(), &tag, nullptr), 1);
            EXPECT_EQ(Field(tag.title, 128), c.title) << name;
        }
    }
    size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 4u) << "no copy left behind";
}

} // namespace
