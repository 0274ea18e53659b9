#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text_codec.h"
#include "support/audio_files.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kv::platform;

namespace {

struct IniFile {
    kvtest::TempDir dir;
    QString path = QString::fromStdString(dir.file("kvp.ini"));
    void Write(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Bytes() const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST(Ini, AbsentFileSectionOrKeyReadsEmpty) {
    IniFile ini;
    EXPECT_EQ(ReadSetting("other", "BarType", ini.path), "");
    ini.Write("[other]\nBarType=3\n");
    EXPECT_EQ(ReadSetting("Menu", "BarType", ini.path), "");
    EXPECT_EQ(ReadSetting("other", "Shutter", ini.path), "");
    EXPECT_EQ(ReadSetting("OTHER", "bartype", ini.path), "3");
}

TEST(Ini, WriteKeepsEveryOtherLineAndPlacesNewKeysAtTheEndOfTheirSection) {
    IniFile ini;
    ini.Write("; written by hand\n[Initialform]\ntop=10\nUnknownKey=keep me\n\n[other]\nBarType=3\n");
    WriteSetting("initialFORM", "TOP", "20", ini.path);     // replaced in place, any case
    WriteSetting("Initialform", "Sep1", "2000", ini.path);  // new key: end of its section
    WriteSetting("Color", "ForeColor", "4", ini.path);      // new section: end of file
    EXPECT_EQ(ini.Bytes(), "; written by hand\n[Initialform]\nTOP=20\nUnknownKey=keep me\nSep1=2000\n\n"
                           "[other]\nBarType=3\n[Color]\nForeColor=4\n");
    EXPECT_EQ(ReadSetting("initialform", "top", ini.path), "20");
}

TEST(Ini, WindowsFileInCp932WithCrLfReadsAndStaysCrLf) {
    IniFile ini;
    // "[Words]\r\nFontName=ＭＳ ゴシック\r\n[other]\r\nInitialList=お気に入り①\r\n" in CP932
    ini.Write(QByteArray("[Words]\r\nFontName=\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e\r\n"
                         "[other]\r\nInitialList=\x82\xa8\x8b\x43\x82\xc9\x93\xfc\x82\xe8\x87\x40\r\n"));
    EXPECT_EQ(ReadSetting("Words", "FontName", ini.path), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(ReadSetting("other", "InitialList", ini.path), QStringLiteral("お気に入り①"));
    WriteSetting("other", "BarType", "2", ini.path);
    QByteArray after = ini.Bytes();
    EXPECT_TRUE(IsValidUtf8(after.toStdString()));
    EXPECT_TRUE(after.contains("\r\nBarType=2\r\n"));
    EXPECT_EQ(ReadSetting("Words", "FontName", ini.path), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(ReadSetting("other", "InitialList", ini.path), QStringLiteral("お気に入り①"));
}

TEST(Ini, ValuesAreCutAt255BytesNeverInsideACharacter) {
    IniFile ini;
    WriteSetting("other", "InitialDir", QString(300, u'a'), ini.path);
    EXPECT_EQ(ReadSetting("other", "InitialDir", ini.path), QString(255, u'a'));
    QString japanese(100, QChar(0x3042)); // three bytes each: 85 fit in 255
    WriteSetting("other", "InitialDir", japanese, ini.path);
    EXPECT_EQ(ReadSetting("other", "InitialDir", ini.path), QString(85, QChar(0x3042)));
}

TEST(Ini, LineBreaksInAValueCannotSplitTheFile) {
    IniFile ini;
    WriteSetting("PrevInstance", "FileName", "a\nb\r\n[evil]\nx=1", ini.path);
    EXPECT_EQ(ReadSetting("evil", "x", ini.path), "");
    EXPECT_EQ(ReadSetting("PrevInstance", "FileName", ini.path), "a b  [evil] x=1");
}

TEST(Ini, GarbageAndHugeFilesReadAsAbsentWithoutHanging) {
    IniFile ini;
    QByteArray garbage;
    for (int i = 0; i < 5000; ++i) garbage.append(char((i * 7919) & 0xFF));
    ini.Write(garbage);
    EXPECT_EQ(ReadSetting("other", "BarType", ini.path), "");
    WriteSetting("other", "BarType", "4", ini.path);
    EXPECT_EQ(ReadSetting("other", "BarType", ini.path), "4");

    ini.Write("[other]\nLong=" + QByteArray(100 * 1024, 'x') + "\nBarType=5\n");
    EXPECT_EQ(ReadSetting("other", "BarType", ini.path), "5");
    EXPECT_EQ(ReadSetting("other", "Long", ini.path).size(), 255);

    QByteArray huge = "[other]\nBarType=1\n" + QByteArray(kMaxSettingsFileBytes + 1, 'z');
    ini.Write(huge);
    EXPECT_EQ(ReadSetting("other", "BarType", ini.path), "");
    WriteSetting("other", "BarType", "3", ini.path); // not ours: left as it is
    EXPECT_EQ(ini.Bytes().size(), huge.size());
}

TEST(Ini, AFileThatCannotBeWrittenKeepsItsOldValues) {
    kvtest::TempDir dir;
    const QString missingFolder = QString::fromStdString(dir.file("missing/kvp.ini"));
    WriteSetting("other", "BarType", "3", missingFolder);
    EXPECT_FALSE(FileExists(missingFolder));

    const QString folderInTheWay = QString::fromStdString(dir.path()); // a folder, not a file
    WriteSetting("other", "BarType", "3", folderInTheWay);
    EXPECT_TRUE(FolderExists(folderInTheWay));
    EXPECT_EQ(ReadSetting("other", "BarType", folderInTheWay), "");
}

TEST(Ini, Conversions) {
    struct BoolCase {
        const char* text;
        std::optional<bool> value;
    };
    for (auto c : {BoolCase{"True", true}, {"false", false}, {"TRUE", true}, {"0", false}, {"-1", true},
                   {"2.5", true}, {"", std::nullopt}, {"yes", std::nullopt}})
        EXPECT_EQ(SettingToBool(c.text), c.value) << c.text;

    struct IntCase {
        const char* text;
        std::optional<int> value;
    };
    for (auto c : {IntCase{"4500", 4500}, {" -600 ", -600}, {"12.5", 12}, {"13.5", 14}, {"1234.6", 1235},
                   {"", std::nullopt}, {"abc", std::nullopt}, {"1e12", std::nullopt}, {"nan", std::nullopt}})
        EXPECT_EQ(SettingToInt(c.text), c.value) << c.text;

    EXPECT_EQ(RealToSetting(1234), "1234");
    EXPECT_EQ(RealToSetting(1234.5), "1234.5");
    EXPECT_EQ(RealToSetting(0.1), "0.1");
    EXPECT_EQ(BoolToSetting(true), "True");
}

TEST(TextCodec, DecodesUtf8OrCp932WithoutLosingBytes) {
    EXPECT_EQ(DecodeText(QByteArray("\xEF\xBB\xBF" "abc")), "abc");
    EXPECT_EQ(DecodeText(QByteArray("\xe9\xab\x99")), QStringLiteral("髙"));     // UTF-8
    EXPECT_EQ(DecodeText(QByteArray("\xfb\xfc")), QStringLiteral("髙"));         // CP932 IBM kanji
    EXPECT_EQ(DecodeText(QByteArray("\x81\x60")), QStringLiteral("～"));          // CP932 wave dash
    // 0xA0 and 0xFD are not CP932: kept as the characters of the same value.
    EXPECT_EQ(DecodeText(QByteArray("a\xfd" "b")), QString::fromUtf16(u"a\u00fdb"));
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd\r\n"), QStringList({"a", "b", "c", "d"}));
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));       // overlong
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));   // surrogate
    EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x8e\xb5"));
}

TEST(Files, AtomicWriteReplacesWholeOrNothing) {
    kvtest::TempDir dir;
    const QString path = QString::fromStdString(dir.file("list.kvt"));
    ASSERT_TRUE(WriteFileAtomic(path, "first"));
    ASSERT_TRUE(WriteFileAtomic(path, "second"));
    EXPECT_EQ(*ReadWholeFile(path), "second");
    EXPECT_FALSE(WriteFileAtomic(QString::fromStdString(dir.file("no/such/folder")), "x"));
    EXPECT_EQ(ExtensionOf("/a/b.MP3"), "mp3");
    EXPECT_EQ(ExtensionOf("/a.b/c"), "");
    EXPECT_EQ(ParentFolderOf("/a/b.mp3"), "/a");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
}

TEST(Ini, ABatchWritesTheFileOnceWhenItCloses) {
    IniFile ini;
    ini.Write("[other]\nBarType=3\n");
    {
        SettingsBatch batch(ini.path);
        WriteSetting("other", "BarType", "4", ini.path);
        WriteSetting("Menu", "IDMWords", "True", ini.path);
        {
            SettingsBatch nested(ini.path);
            WriteSetting("other", "Shutter", "False", ini.path);
        }
        EXPECT_EQ(ini.Bytes(), "[other]\nBarType=3\n"); // nothing on disk yet
        EXPECT_EQ(ReadSetting("other", "barType", ini.path), "4");
    }
    EXPECT_EQ(ini.Bytes(), "[other]\nBarType=4\nShutter=False\n[Menu]\nIDMWords=True\n");
    { SettingsBatch readOnly(ini.path); }
    EXPECT_EQ(ini.Bytes(), "[other]\nBarType=4\nShutter=False\n[Menu]\nIDMWords=True\n");
}
