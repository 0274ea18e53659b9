#include "platform/ini.h"
#include "shell/settings.h"
#include "support/audio_files.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::platform::ReadSetting;
using kv::platform::WriteSetting;

namespace {
const ScreenTwips kScreen{1920 * 15, 1080 * 15};

struct SettingsFile {
    kvtest::TempDir dir;
    QString path = QString::fromStdString(dir.file("kvp.ini"));
    void Write(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};
} // namespace

TEST(Settings, NoFileGivesTheDefaults) {
    SettingsFile ini;
    WindowGeometryValues g = ReadWindowGeometry(ini.path, kScreen);
    EXPECT_EQ(g.top, 0);
    EXPECT_EQ(g.left, 0);
    EXPECT_EQ(g.height, 4500);
    EXPECT_EQ(g.width, 6500);
    EXPECT_FALSE(g.maximized);
    SeparatorPositionsValues s = ReadSeparators(ini.path);
    EXPECT_EQ(s.sep1, 2000);
    EXPECT_EQ(s.sep2, 4000);
    PlayModeChecks modes = ReadPlayModes(ini.path, PlayModeChecks{});
    EXPECT_TRUE(modes.continuous);
    EXPECT_FALSE(modes.general || modes.random);
    EXPECT_TRUE(ReadWordsChecked(ini.path));
    EXPECT_EQ(ReadBarType(ini.path), 2);
    EXPECT_EQ(ReadForeColor(ini.path), 0);
    EXPECT_FALSE(ReadExplorerShown(ini.path));
    EXPECT_FALSE(ReadShutter(ini.path));
    StealthSizeValues stealth = ReadStealthSize(ini.path);
    EXPECT_EQ(stealth.width, 4100);
    EXPECT_EQ(stealth.height, 4000);
    for (const char* prefix : {"Movie", "Words"}) {
        WindowBox box = ReadWindowBox(ini.path, prefix, kScreen);
        EXPECT_EQ(box.width, 4000);
        EXPECT_EQ(box.height, 4000);
        EXPECT_EQ(box.left, 0);
        EXPECT_EQ(box.top, 0);
        EXPECT_EQ(box.state, 0);
        EXPECT_FALSE(box.placed); // nothing stored: it first appears beside the main window
    }
    EXPECT_EQ(ReadInitialList(ini.path), "");
}

TEST(Settings, LimitsOnLoad) {
    SettingsFile ini;
    ini.Write("[Initialform]\ntop=-600\nleft=99999999\nHeight=499\nWidth=abc\nSep1=50\nSep2=3000\n"
              "[other]\nStelswidth=3000\nStelsHeight=5000\nBarType=9\nMovieWidth=500\nMovieHeight=501\n"
              "MovieLeft=-51\nMovieTop=-50\nWordsLeft=999999999\n[Color]\nForeColor=\n"
              "[Menu]\nIDMGeneralPlay=False\nIDMContinuePlay=False\nIDMRandomPlay=False\nIDMWords=False\n");
    WindowGeometryValues g = ReadWindowGeometry(ini.path, kScreen);
    EXPECT_EQ(g.top, 0);
    EXPECT_EQ(g.left, 0);
    EXPECT_EQ(g.height, 4500);
    EXPECT_EQ(g.width, 6500); // not a number: absent
    SeparatorPositionsValues s = ReadSeparators(ini.path);
    EXPECT_EQ(s.sep1, 50); // kept: only both at 100 or less are replaced
    EXPECT_EQ(s.sep2, 3000);
    StealthSizeValues stealth = ReadStealthSize(ini.path);
    EXPECT_EQ(stealth.width, 4100); // "Stelswidth" is the same key as "StelsWidth"
    EXPECT_EQ(stealth.height, 5000);
    EXPECT_EQ(ReadBarType(ini.path), 2);
    EXPECT_EQ(ReadForeColor(ini.path), 0);
    for (const char* outside : {"9", "12", "-1"}) { // no item checked: white, not random
        WriteSetting("Color", "ForeColor", outside, ini.path);
        EXPECT_EQ(ReadForeColor(ini.path), kNoForeColorItem) << outside;
    }
    WindowBox movie = ReadWindowBox(ini.path, "Movie", kScreen);
    EXPECT_EQ(movie.width, 4000);
    EXPECT_EQ(movie.height, 501);
    EXPECT_EQ(movie.left, 0); // off the screen: placed afresh beside the main window
    EXPECT_EQ(movie.top, 0);
    EXPECT_FALSE(movie.placed);
    EXPECT_EQ(ReadWindowBox(ini.path, "Words", kScreen).left, 0);
    EXPECT_FALSE(ReadWindowBox(ini.path, "Words", kScreen).placed); // no "WordsTop" either
    PlayModeChecks modes = ReadPlayModes(ini.path, PlayModeChecks{});
    EXPECT_TRUE(modes.continuous);
    EXPECT_FALSE(ReadWordsChecked(ini.path));
}

TEST(Settings, SeparatorsBothSmallAreReplaced) {
    SettingsFile ini;
    ini.Write("[Initialform]\nSep1=100\nSep2=20\n");
    SeparatorPositionsValues s = ReadSeparators(ini.path);
    EXPECT_EQ(s.sep1, 2000);
    EXPECT_EQ(s.sep2, 4000);
}

TEST(Settings, ColumnWidthsAndPositions) {
    SettingsFile ini;
    ini.Write("[colwidth]\ncol1-2=150\ncol1-3=3000.4\ncol1-8=5000\ncol0-1=x\n[colpos]\ncol1-1=3\ncol1-3="
              "1\ncol0-2=44\n");
    ColumnSettings v0 = ColumnSettings::Design(), v1 = ColumnSettings::Design();
    ReadColumnSettings(ini.path, v0, v1);
    EXPECT_EQ(v1.width[1], 2000); // under 200
    EXPECT_DOUBLE_EQ(v1.width[2], 3000.4);
    EXPECT_EQ(v1.width[7], 0);    // the eighth column is always hidden
    EXPECT_EQ(v0.width[0], 1440); // unreadable: the design width stays
    EXPECT_EQ(v1.position[0], 3);
    EXPECT_EQ(v1.position[2], 1);
    EXPECT_EQ(v0.position[1], 2); // out of range: unchanged
}

TEST(Settings, PlayModesFromAHandEditedFileStayExclusive) {
    SettingsFile ini;
    ini.Write("[Menu]\nIDMGeneralPlay=False\nIDMContinuePlay=True\nIDMRandomPlay=True\n");
    PlayModeChecks modes = ReadPlayModes(ini.path, PlayModeChecks{});
    EXPECT_TRUE(modes.continuous);
    EXPECT_FALSE(modes.random);
}

TEST(Settings, SaveWritesEveryKeyInOrderAndReadsBack) {
    SettingsFile ini;
    WriteSetting("other", "InitialDir", "/music/old", ini.path);
    WriteSetting("other", "InitialFindDir", "/keep", ini.path);
    SettingsSnapshot s;
    s.window = {150, 300, 6000, 9000, true};
    s.separators = {2100.5, 4200};
    s.treeBuilt = false;
    s.initialList = QStringLiteral("お気に入り");
    s.view1.width[1] = 2500.4;
    s.view1.position[0] = 2;
    s.view1.position[1] = 1;
    s.playModes = {false, false, true};
    s.wordsChecked = false;
    s.foreColor = 9;
    s.barType = 5;
    s.shutterClosed = true;
    s.explorerShown = true;
    s.stealthSize = {5000, 4500}; // height, width
    s.conversionFolder = QStringLiteral("/music/変換/");
    s.movieWindow = {4100, 4200, 10, 20, 2};
    s.wordsWindow = {4300, 4400, 30, 40, 1};
    SaveSettings(s, ini.path);

    EXPECT_EQ(ReadSetting("other", "InitialDir", ini.path), "/music/old"); // tree never built
    EXPECT_EQ(ReadSetting("other", "InitialFindDir", ini.path), "/keep");
    EXPECT_EQ(ReadSetting("Initialform", "Sep1", ini.path), "2100.5");
    EXPECT_EQ(ReadSetting("colwidth", "col1-2", ini.path), "2500");
    EXPECT_EQ(ReadSetting("other", "Stelswidth", ini.path), "4500");
    EXPECT_EQ(ReadSetting("Color", "ForeColor", ini.path), "9");

    WindowGeometryValues g = ReadWindowGeometry(ini.path, kScreen);
    EXPECT_EQ(g.top, 150);
    EXPECT_EQ(g.width, 9000);
    EXPECT_TRUE(g.maximized);
    EXPECT_EQ(ReadInitialList(ini.path), QStringLiteral("お気に入り"));
    PlayModeChecks modes = ReadPlayModes(ini.path, {});
    EXPECT_TRUE(modes.random);
    EXPECT_FALSE(ReadWordsChecked(ini.path));
    EXPECT_EQ(ReadBarType(ini.path), 5);
    EXPECT_TRUE(ReadShutter(ini.path));
    EXPECT_TRUE(ReadExplorerShown(ini.path));
    EXPECT_EQ(ReadStealthSize(ini.path).height, 5000);
    EXPECT_EQ(ReadConversionFolder(ini.path), QStringLiteral("/music/変換/"));
    WindowBox movie = ReadWindowBox(ini.path, "Movie", kScreen);
    EXPECT_EQ(movie.width, 4200);
    EXPECT_EQ(movie.state, 2);
    ColumnSettings v0 = ColumnSettings::Design(), v1 = ColumnSettings::Design();
    ReadColumnSettings(ini.path, v0, v1);
    EXPECT_EQ(v1.position[0], 2);
    EXPECT_EQ(v1.position[1], 1);

    // The order of the "other" keys as they stand in the file.
    QFile f(ini.path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    QStringList otherKeys;
    bool inOther = false;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(u'['))
            inOther = line == u"[other]";
        else if (inOther && line.contains(u'='))
            otherKeys << line.section(u'=', 0, 0);
    }
    EXPECT_EQ(otherKeys.join(u','),
              "InitialDir,InitialFindDir,InitialList,BarType,Shutter,ExplorTree,StelsHeight,"
              "Stelswidth,MovieHeight,MovieWidth,MovieLeft,MovieTop,MovieState,WordsHeight,"
              "WordsWidth,WordsLeft,WordsTop,WordsState,Maximize");
}

TEST(Settings, AWindowWithoutAPlaceOfItsOwnLeavesTheStoredPlaceAlone) {
    SettingsFile ini;
    ini.Write("[other]\nWordsLeft=1500\nWordsTop=900\n");
    const WindowBox stored = ReadWindowBox(ini.path, "Words", kScreen);
    EXPECT_TRUE(stored.placed);
    EXPECT_EQ(stored.left, 1500);
    EXPECT_EQ(stored.top, 900);

    SettingsSnapshot v;
    v.wordsWindow = {3000, 4000, 0, 0, 0, false};
    v.movieWindow = {3000, 4000, 600, 450, 0, true};
    SaveSettings(v, ini.path);
    EXPECT_EQ(kv::platform::ReadSetting("other", "WordsLeft", ini.path), "1500");
    EXPECT_EQ(kv::platform::ReadSetting("other", "WordsTop", ini.path), "900");
    EXPECT_EQ(kv::platform::ReadSetting("other", "WordsWidth", ini.path), "4000");
    EXPECT_EQ(kv::platform::ReadSetting("other", "MovieLeft", ini.path), "600");
    EXPECT_EQ(kv::platform::ReadSetting("other", "MovieTop", ini.path), "450");
}
