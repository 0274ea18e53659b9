#include "platform/ini.h"
#include "platform/program_folder.h"
#include "playlists/list_files.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/single_instance.h"
#include "shell/startup.h"
#include "support/audio_files.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <csignal>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::platform::ReadSetting;
using kv::platform::WriteSetting;

namespace {

// A copy of the program in a folder of its own, so its settings file is the test's.
struct InstalledCopy {
    kvtest::TempDir dir;
    QString folder = QString::fromStdString(dir.path());
    QString binary = folder + "/kavetto";
    QString ini = folder + "/kvp.ini";
    InstalledCopy() { QFile::copy(QStringLiteral(KAVETTO_BINARY), binary); }

    void Prepare(QProcess& p) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("QT_LOGGING_RULES", "kavetto.shell.info=true");
        p.setProcessEnvironment(env);
        p.setProgram(binary);
    }
    // Waits until the running copy has written its hand-off name.
    bool WaitUntilListening(int ms = 20000) const {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (IsCopyRunning(ReadSetting("PrevInstance", "hWnd", ini))) return true;
            QTest::qWait(50);
        }
        return false;
    }
    int RunSecondCopy(const QStringList& args, int ms = 20000, const QString& workingFolder = {}) const {
        QProcess second;
        Prepare(second);
        second.setArguments(args);
        if (!workingFolder.isEmpty()) second.setWorkingDirectory(workingFolder);
        second.start();
        if (!second.waitForFinished(ms)) {
            second.kill();
            return -1;
        }
        return second.exitCode();
    }
};

} // namespace

TEST(Startup, CommandLineIsTheArgumentsJoined) {
    EXPECT_EQ(CommandLineOf({"kavetto"}), "");
    EXPECT_EQ(CommandLineOf({"kavetto", "/music/my song.mp3"}), "/music/my song.mp3");
    EXPECT_EQ(CommandLineOf({"kavetto", "/music/my", "song.mp3"}), "/music/my song.mp3");
    EXPECT_TRUE(CheckRuntimeFiles());
}

TEST(Startup, WaylandSessionsRunThroughXWaylandUnlessTheUserChose) {
    struct Row {
        WindowSystemEnvironment env;
        const char* request;
    };
    const Row rows[] = {
        {{"", false, "wayland-0", "wayland", ":0"}, "xcb"},
        {{"", false, "wayland-0", "", ":0"}, "xcb"},
        {{"", false, "", "wayland", ":1"}, "xcb"},
        {{"", false, "wayland-0", "wayland", ""}, ""}, // no XWayland: Wayland it is
        {{"wayland", false, "wayland-0", "wayland", ":0"}, ""},
        {{"", true, "wayland-0", "wayland", ":0"}, ""}, // -platform given
        {{"", false, "", "x11", ":0"}, ""},
        {{"", false, "", "", ""}, ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(WindowSystemToRequest(r.env), QString::fromLatin1(r.request))
            << r.env.qpaPlatform.toStdString() << "|" << r.env.platformArgument << "|"
            << r.env.waylandDisplay.toStdString() << "|" << r.env.sessionType.toStdString() << "|"
            << r.env.x11Display.toStdString();
}

TEST(Startup, SecondCopyHandsItsFileToTheRunningCopyAndEnds) {
    InstalledCopy copy;
    kvtest::TempDir media;
    // A name with blanks and Japanese: the whole command line is the file.
    const std::string song = kvtest::MakeWave(media.file("my 歌 song.wav"), 0.5);

    QProcess first;
    copy.Prepare(first);
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(copy.WaitUntilListening());

    EXPECT_EQ(copy.RunSecondCopy({QString::fromStdString(song)}), 0);
    EXPECT_EQ(ReadSetting("PrevInstance", "FileName", copy.ini), QString::fromStdString(song));
    // Without a file, or with one that does not exist, the second copy ends and hands nothing.
    EXPECT_EQ(copy.RunSecondCopy({}), 0);
    EXPECT_EQ(copy.RunSecondCopy({"/no/such/file.mp3"}), 0);
    // A name relative to the second copy's folder reaches the running copy as a whole path.
    EXPECT_EQ(copy.RunSecondCopy({"./my 歌 song.wav"}, 20000, QString::fromStdString(media.path())), 0);
    EXPECT_EQ(ReadSetting("PrevInstance", "FileName", copy.ini), QString::fromStdString(song));

    ::kill(first.processId(), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const QString log = QString::fromUtf8(first.readAllStandardError());
    EXPECT_EQ(log.count("OpenTrack:"), 2) << log.toStdString();
    EXPECT_EQ(log.count(QString::fromStdString(song)), 2) << log.toStdString();
    EXPECT_TRUE(log.contains(QString::fromStdString(song))) << log.toStdString();
    // SIGTERM closes as the sleep timer does: settings saved.
    EXPECT_EQ(ReadSetting("Initialform", "Width", copy.ini).isEmpty(), false);
    // The program ends without taking its widgets apart, but never leaves its socket behind.
    const QString name = ReadSetting("PrevInstance", "hWnd", copy.ini);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(QDir(QDir::tempPath()).filePath(name)));
    EXPECT_FALSE(IsCopyRunning(name));
}

TEST(Startup, StaleHandOffNameDoesNotStopANormalStart) {
    InstalledCopy copy;
    WriteSetting("PrevInstance", "hWnd", "kavetto-crashed-long-ago", copy.ini);
    // A socket file left behind under our own name by a copy that crashed.
    const QString ownName = HandOffServerName(copy.folder);
    QProcess first;
    copy.Prepare(first);
    first.setArguments({"/no/such/file.mp3"});
    first.start();
    ASSERT_TRUE(copy.WaitUntilListening());
    EXPECT_EQ(ReadSetting("PrevInstance", "hWnd", copy.ini), ownName);
    ::kill(first.processId(), SIGINT);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0);
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { kv::platform::SetProgramFolder(QString::fromStdString(dir.path())); }
    void TearDown() override { kv::platform::SetProgramFolder(QString()); }
    QString Ini() const { return QString::fromStdString(dir.file("kvp.ini")); }
    kvtest::TempDir dir;
};

TEST_F(MainWindowTest, StartAndCloseLeaveTheExpectedSettingsFile) {
    int progress = 0;
    {
        FormMain window;
        window.InitializeMainWindow(QString(), [&](int amount) { progress += amount; });
        EXPECT_TRUE(window.windowTitle().startsWith("Kavetto "));
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.isEnabled());
        EXPECT_FALSE(window.State().Initializing);
        EXPECT_TRUE(window.Item("IDMContinuePlay")->isChecked());
        EXPECT_TRUE(window.Item("IDMwords")->isChecked());
        EXPECT_TRUE(window.Controls().panelBar[2 - 1]->isChecked());
        EXPECT_TRUE(window.Controls().foreColor[0]->isChecked());
        EXPECT_FALSE(window.Menu("IDMkakusi")->menuAction()->isVisible());
        EXPECT_FALSE(window.Item("IDMEncode")->isVisible());
        EXPECT_EQ(window.Controls().ToolButtonImageKey(12), "notsave");
        EXPECT_FALSE(window.Controls().ToolButton(2)->isEnabled());
        EXPECT_FALSE(window.Controls().ToolButton(3)->isEnabled());
        EXPECT_TRUE(window.Controls().timer1->isActive());
        EXPECT_EQ(window.Controls().listViews[1]->model()->columnCount(), 10);
        EXPECT_TRUE(window.Controls().listViews[1]->isVisible());
        EXPECT_FALSE(window.Controls().listViews[0]->isVisible());
        EXPECT_EQ(window.Controls().listViews[1]->model()->headerData(6, Qt::Horizontal).toString(), "場所");
        EXPECT_EQ(ReadSetting("PrevInstance", "hWnd", Ini()), window.HandOffName());
        window.close();
        EXPECT_FALSE(window.isVisible());
    }
    // Every numbered step and the settings load advanced the splash bar.
    EXPECT_EQ(progress, 139 + 18);
    EXPECT_EQ(ReadSetting("Initialform", "Width", Ini()), "6500");
    EXPECT_EQ(ReadSetting("Initialform", "Sep1", Ini()), "2000");
    EXPECT_EQ(ReadSetting("Menu", "IDMContinuePlay", Ini()), "True");
    EXPECT_EQ(ReadSetting("other", "BarType", Ini()), "2");
    EXPECT_EQ(ReadSetting("other", "Maximize", Ini()), "False");
    EXPECT_EQ(ReadSetting("colwidth", "col1-1", Ini()), "1440");
    EXPECT_EQ(ReadSetting("colwidth", "col1-8", Ini()), "0");
    EXPECT_EQ(ReadSetting("Color", "ForeColor", Ini()), "0");
}

TEST_F(MainWindowTest, SettingsOfOneRunComeBackInTheNext) {
    {
        FormMain window;
        window.InitializeMainWindow(QString(), {});
        window.Item("IDMRandomPlay")->trigger();
        window.Controls().foreColor[5]->trigger();
        window.Controls().panelBar[4 - 1]->trigger();
        window.Item("IDMwords")->trigger();
        window.close();
    }
    FormMain window;
    window.InitializeMainWindow(QString(), {});
    EXPECT_TRUE(window.Item("IDMRandomPlay")->isChecked());
    EXPECT_FALSE(window.Item("IDMContinuePlay")->isChecked());
    EXPECT_TRUE(window.Controls().foreColor[5]->isChecked());
    EXPECT_FALSE(window.Controls().foreColor[0]->isChecked());
    EXPECT_TRUE(window.Controls().panelBar[4 - 1]->isChecked());
    EXPECT_FALSE(window.Item("IDMwords")->isChecked());
    window.close();
}

TEST_F(MainWindowTest, CommandLineFileIsOpenedWhole) {
    kvtest::TempDir media;
    const QString song = QString::fromStdString(kvtest::MakeWave(media.file("a b.wav"), 0.2));
    FormMain window;
    window.InitializeMainWindow(song, {});
    EXPECT_EQ(window.Lists().LastOpenedTrack(), song);
    window.close();
}

TEST_F(MainWindowTest, GarbageSettingsFileStartsWithDefaults) {
    {
        QFile f(Ini());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20000; ++i)
            f.putChar(char((i * 131) ^ (i >> 3)));
    }
    FormMain window;
    window.InitializeMainWindow(QString(), {});
    EXPECT_TRUE(window.Item("IDMContinuePlay")->isChecked());
    EXPECT_TRUE(window.Controls().panelBar[2 - 1]->isChecked());
    window.close();
    EXPECT_EQ(ReadSetting("other", "BarType", Ini()), "2");
}

TEST_F(MainWindowTest, ATerminationSignalDuringStartUpClosesOnceStartUpIsOver) {
    FormMain window;
    bool asked = false;
    window.InitializeMainWindow(QString(), [&](int) {
        if (!asked) {
            asked = true;
            window.CloseWithoutQuestion(); // as the signal handler would, inside the splash's events
        }
    });
    EXPECT_TRUE(window.isVisible());
    QTest::qWait(50);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(ReadSetting("Initialform", "Width", Ini()).isEmpty()); // closed as a shutdown does
}

TEST_F(MainWindowTest, TheSessionsEndSavesChangedListsWhereTheSleepTimersEndDropsThem) {
    using namespace kv::playlists;
    for (const bool sessionEnd : {true, false}) {
        const QString kvt = CommittedPath(QString::fromStdString(dir.path()), "a");
        TrackEntry row;
        row[ColFile] = "a1.mp3";
        row[ColPath] = "/nowhere/a1.mp3";
        ASSERT_TRUE(WriteListFile(kvt, {row}, true));
        FormMain window;
        window.InitializeMainWindow(QString(), {});
        window.Lists().ListOfLists().SelectList("a");
        row[ColFile] = "a2.mp3";
        window.Lists().Tracks().ListView(TrackViews::kPlaylistView).AppendRows({row});
        window.Lists().SaveWorkingCopy("a");
        window.Lists().SetSaveButtonImage(kSaveImage);
        if (sessionEnd)
            window.CloseKeepingListChanges();
        else
            window.CloseWithoutQuestion();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(ReadListFile(kvt, false).rows.size(), sessionEnd ? 2 : 1) << sessionEnd;
        EXPECT_FALSE(QFile::exists(WorkingPath(QString::fromStdString(dir.path()), "a")));
    }
}

TEST_F(MainWindowTest, ClosingWhileMaximisedSavesTheLastNormalGeometry) {
    {
        FormMain window;
        window.InitializeMainWindow(QString(), {});
        window.resize(500, 320);
        QTest::qWait(10);
        window.showMaximized();
        QTest::qWait(10);
        ASSERT_TRUE(window.isMaximized());
        window.close();
    }
    EXPECT_EQ(ReadSetting("other", "Maximize", Ini()), "True");
    EXPECT_EQ(ReadSetting("Initialform", "Width", Ini()), "7500");
    EXPECT_EQ(ReadSetting("Initialform", "Height", Ini()), "4800");
}
