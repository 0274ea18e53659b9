// The tool windows from the main window's commands: the equalizer and tag editor items, the
// lyrics item and the lyrics that come with each loaded track, and their geometry in the settings.
#include "platform/ini.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/window_box.h"
#include "playback/sound_play.h"
#include "playlists/track_info.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "support/audio_files.h"
#include "tools/form_equalizer.h"
#include "tools/form_words.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::platform::ReadSetting;
using kv::platform::WriteSetting;

namespace {

class ToolEntryTest : public ::testing::Test {
  protected:
    void SetUp() override { kv::platform::SetProgramFolder(QString::fromStdString(dir.path())); }
    void TearDown() override { kv::platform::SetProgramFolder(QString()); }
    QString Ini() const { return QString::fromStdString(dir.file("kvp.ini")); }
    QString Song(const char* name) { return QString::fromStdString(kvtest::MakeMp3(media.file(name), 1.0)); }
    void PutLyrics(const char* name, const QByteArray& text) {
        QFile f(QString::fromStdString(media.file(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    kvtest::TempDir dir;
    kvtest::TempDir media;
};

} // namespace

TEST_F(ToolEntryTest, EqualizerItemShowsOneModelessWindow) {
    FormMain window;
    window.InitializeMainWindow(QString(), {});
    EXPECT_EQ(window.Tools().Equalizer(), nullptr) << "made on first use";
    window.Item("IDMEqualizer")->trigger();
    ASSERT_NE(window.Tools().Equalizer(), nullptr);
    EXPECT_TRUE(window.Tools().Equalizer()->isVisible());
    EXPECT_FALSE(window.Tools().Equalizer()->isModal());
    EXPECT_EQ(window.Tools().Equalizer()->windowTitle(), QStringLiteral("音質調整"));
    auto* first = window.Tools().Equalizer();
    window.Tools().Equalizer()->close();
    window.Item("IDMEqualizer")->trigger();
    EXPECT_EQ(window.Tools().Equalizer(), first);
    EXPECT_TRUE(first->isVisible());
    window.close();
}

TEST_F(ToolEntryTest, LyricsFollowTheLoadedTrackAndTheItemAndKeepTheirPlace) {
    WriteSetting("other", "WordsLeft", "1500", Ini());
    WriteSetting("other", "WordsTop", "3000", Ini());
    WriteSetting("other", "WordsWidth", "4500", Ini());
    WriteSetting("other", "WordsHeight", "6000", Ini());
    const QString a = Song("a.mp3");
    PutLyrics("a.txt", "la la\r\n");
    {
        FormMain window;
        window.InitializeMainWindow(a, {});
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.Tools().Words() && window.Tools().Words()->isVisible(); }, 10000));
        EXPECT_EQ(window.Tools().Words()->TextWords()->toPlainText(), QStringLiteral("la la\n"));
        EXPECT_EQ(kv::platform::WindowBox(*window.Tools().Words()), QRect(100, 200, 300, 400));

        window.Item("IDMwords")->trigger(); // off
        EXPECT_FALSE(window.Tools().Words()->isVisible());
        window.Item("IDMwords")->trigger(); // on: the current track's lyrics again
        EXPECT_TRUE(window.Tools().Words()->isVisible());

        kv::platform::PlaceWindow(*window.Tools().Words(), QRect(110, 210, 320, 420));
        window.OpenTrack(Song("b.mp3")); // no b.txt
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Tools().Words()->isVisible(); }, 10000));
        window.OpenTrack(a);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.Tools().Words()->isVisible(); }, 10000));
        EXPECT_EQ(kv::platform::WindowBox(*window.Tools().Words()), QRect(110, 210, 320, 420));
        window.close(); // still shown: its place is saved all the same
    }
    EXPECT_EQ(ReadSetting("other", "WordsLeft", Ini()), "1650");
    EXPECT_EQ(ReadSetting("other", "WordsTop", Ini()), "3150");
    EXPECT_EQ(ReadSetting("other", "WordsWidth", Ini()), "4800");
    EXPECT_EQ(ReadSetting("other", "WordsHeight", Ini()), "6300");
}

TEST_F(ToolEntryTest, LyricsWithoutAStoredPlaceFirstAppearBesideTheMainWindow) {
    WriteSetting("Initialform", "left", "0", Ini());
    WriteSetting("Initialform", "top", "0", Ini());
    const QString a = Song("a.mp3");
    PutLyrics("a.txt", "la la\r\n");
    QPoint shownAt;
    {
        FormMain window;
        window.InitializeMainWindow(a, {});
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.Tools().Words() && window.Tools().Words()->isVisible(); }, 10000));
        const QRect words = window.Tools().Words()->frameGeometry();
        EXPECT_FALSE(words.intersects(window.frameGeometry()))
            << words.x() << "," << words.y() << " over " << window.frameGeometry().width();
        shownAt = kv::platform::WindowBox(*window.Tools().Words()).topLeft();
        window.close();
    }
    // From then on it has a place of its own.
    EXPECT_EQ(ReadSetting("other", "WordsLeft", Ini()).toInt(), shownAt.x() * 15);
    EXPECT_EQ(ReadSetting("other", "WordsTop", Ini()).toInt(), shownAt.y() * 15);
    // A size given in twips that are not whole pixels comes back as it was given, not a few less.
    EXPECT_EQ(ReadSetting("other", "WordsWidth", Ini()), "4000");
    EXPECT_EQ(ReadSetting("other", "WordsHeight", Ini()), "4000");
}

TEST_F(ToolEntryTest, EditFileItemOpensTheTagEditorOnTheSelectedRowOnly) {
    FormMain window;
    window.InitializeMainWindow(QString(), {});
    QStringList opened;
    auto answer = [&] {
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened << dialog->windowTitle();
                dialog->reject();
            }
        });
    };
    answer();
    window.Item("IDMEditFile")->trigger(); // no row selected: nothing to edit
    QTest::qWait(20);
    EXPECT_TRUE(opened.isEmpty());

    const QString a = Song("a.mp3");
    auto& playlist = window.Lists().Tracks().ListView(1);
    playlist.AppendRows({kv::playlists::MakeFileRow(a, QFileInfo(a).size())});
    window.Lists().Tracks().State().ActiveView = 1;
    playlist.SetCurrentRow(0);
    answer();
    window.Item("IDMEditFile")->trigger();
    EXPECT_EQ(opened, QStringList{QStringLiteral("タグ編集")});
    window.close();
}
