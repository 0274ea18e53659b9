// The media windows and the list repair as the main window runs them, offscreen with the real
// player: videos show W with their caption, sound alone never does, a damaged file moves on to
// the next row, W's place is saved with the settings; and the repair from the menu.
#include "platform/ini.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/window_box.h"
#include "playback/media_window.h"
#include "playback/sound_play.h"
#include "playlists/form_care.h"
#include "playlists/track_list.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/media_windows.h"
#include "support/audio_files.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::playlists::TrackEntry;
namespace pl = kv::playlists;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool Ffmpeg(const QStringList& args) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) return false;
    QProcess make;
    make.start(ffmpeg, QStringList{"-v", "error", "-y"} + args);
    return make.waitForFinished(30000) && make.exitCode() == 0;
}

TrackEntry Row(const QString& path, const QString& kind) {
    TrackEntry row;
    row[pl::ColFile] = QFileInfo(path).fileName();
    row[pl::ColKind] = kind;
    row[pl::ColPath] = path;
    return row;
}

struct MainWindow : ::testing::Test {
    kvtest::TempDir folder;
    kvtest::TempDir media;
    std::unique_ptr<FormMain> window;
    QStringList messages;

    void SetUp() override {
        kv::platform::SetProgramFolder(Q(folder.path()));
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text;
            return kv::platform::MsgAnswer::Yes;
        });
        window = std::make_unique<FormMain>();
        window->InitializeMainWindow(QString(), {});
        window->Lists().Tracks().State().ActiveView = 1;
        window->Item("IDMContinuePlay")->trigger();
    }
    void TearDown() override {
        if (window) window->close();
        window.reset();
        kv::platform::SetMessageHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    void PlayRow(int row) {
        window->Lists().Tracks().ListView(1).SelectOnly({row - 1});
        window->Lists().Tracks().ListView(1).SetCurrentRow(row - 1);
        window->Player().PlaySelected();
    }
    QString Playing() const { return QFileInfo(window->Player().Device()->FileName()).fileName(); }
};

TEST_F(MainWindow, VideoShowsWSoundAloneNeverDoesAndADamagedFileIsSkipped) {
    const QString avi = Q(media.file("clip.avi")), wma = Q(media.file("tone.wma"));
    if (!Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25:duration=3", "-f", "lavfi", "-i",
                 "sine=duration=3", "-c:v", "mpeg4", "-c:a", "pcm_s16le", avi}) ||
        !Ffmpeg({"-f", "lavfi", "-i", "sine=duration=3", "-c:a", "wmav2", wma}))
        GTEST_SKIP() << "ffmpeg could not make the files";
    std::vector<uint8_t> noise(8000, 0x5A);
    const QString damaged = Q(kvtest::WriteBytes(media.file("damaged.wmv"), noise));
    window->Lists().Tracks().ListView(1).AppendRows({Row(damaged, "wmv"), Row(avi, "avi"), Row(wma, "wma")});

    PlayRow(1); // the damaged file fails to open: the next row plays instead
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Player().MediaWindowVisible(); }, 8000));
    EXPECT_EQ(Playing(), "clip.avi");
    EXPECT_EQ(window->Lists().Tracks().ListView(1).Text(0, pl::ColKind), pl::kKindNothing);
    EXPECT_EQ(window->Lists().Tracks().ListView(1).Icon(0), pl::kIconNothing);
    kv::playback::MediaWindow* w = window->Player().Media().W();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("【movie】 clip.avi"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->Movie() && w->Movie()->FramesDrawn() > 2; }, 5000));
    EXPECT_TRUE(window->Controls().timer1->isActive());

    kv::platform::PlaceWindow(*w, QRect(150, 120, 400, 300));
    PlayRow(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Playing() == "tone.wma" && !w->isVisible(); }, 5000));
    QTest::qWait(300);
    EXPECT_FALSE(window->Player().MediaWindowVisible());

    // The shared placement goes to the settings file at shutdown.
    window->close();
    window.reset();
    const QString ini = kv::platform::SettingsFile();
    EXPECT_EQ(kv::platform::ReadSetting("other", "MovieWidth", ini), "6000");
    EXPECT_EQ(kv::platform::ReadSetting("other", "MovieHeight", ini), "4500");
    EXPECT_EQ(kv::platform::ReadSetting("other", "MovieLeft", ini), "2250");
}

TEST_F(MainWindow, AnAviOfSoundAloneShowsNoWindowEvenWhenResumed) {
    const QString avi = Q(media.file("sound.avi"));
    if (!Ffmpeg({"-f", "lavfi", "-i", "sine=duration=3", "-c:a", "pcm_s16le", avi}))
        GTEST_SKIP() << "ffmpeg could not make the file";
    window->Lists().Tracks().ListView(1).AppendRows({Row(avi, "avi")});
    PlayRow(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Player().Device()->CurrentState() == "Playing"; }, 5000));
    window->Item("IDMplay")->trigger(); // pause
    window->Item("IDMplay")->trigger(); // the device's resume asks for W by the extension
    EXPECT_EQ(window->Player().Device()->CurrentState(), "Playing");
    EXPECT_FALSE(window->Player().MediaWindowVisible());
}

TEST_F(MainWindow, RealMediaWithAPictureShowsYAndNotW) {
    const QString rm = Q(media.file("clip.rm"));
    // ffmpeg writes RealMedia with usable timestamps only with a video stream beside the sound.
    if (!Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=32x24:rate=5:duration=2", "-f", "lavfi", "-i",
                 "sine=duration=2", "-c:v", "rv20", "-c:a", "ac3", "-b:a", "64k", rm}))
        GTEST_SKIP() << "ffmpeg could not make the file";
    window->Lists().Tracks().ListView(1).AppendRows({Row(rm, "rm")});
    PlayRow(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Player().MediaWindowVisible(); }, 5000));
    kv::playback::MediaWindow* y = window->Player().Media().Y();
    ASSERT_NE(y, nullptr);
    EXPECT_TRUE(y->isVisible());
    EXPECT_EQ(y->windowTitle(), QStringLiteral("【movie】 clip.rm"));
    EXPECT_FALSE(window->Player().Media().W() && window->Player().Media().W()->isVisible());
    EXPECT_TRUE(window->State().RealWindowLoaded);
}

struct RepairFromMenu : MainWindow {
    QString tree = Q(media.path()) + "/library";
    // Clicks through the search window once it is up: start the search, then close.
    void DriveSearchWindow() {
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* search = qobject_cast<pl::FormCare2*>(top);
                if (!search || !search->isVisible()) continue;
                poll->stop();
                search->Command2()->click(); // runs the whole search
                search->Command3()->click();
                poll->deleteLater();
                return;
            }
        });
        poll->start(20);
    }
};

TEST_F(RepairFromMenu, MovedFilesAreFoundRewrittenAndKeepTheirVolume) {
    QStringList old;
    for (const char* name : {"one.wav", "two.wav"})
        old << Q(kvtest::MakeWave(media.file(name), 1.0, 8000, 1));
    const QString kept = Q(kvtest::MakeWave(media.file("kept.wav"), 1.0, 8000, 1));
    QDir().mkpath(tree + "/a/b");
    ASSERT_TRUE(QFile::rename(old[0], tree + "/a/b/one.wav"));
    ASSERT_TRUE(QFile::rename(old[1], tree + "/a/b/two.wav"));
    window->Lists().Tracks().ListView(1).AppendRows({Row(old[0], "wav"), Row(kept, "wav"), Row(old[1], "wav")});
    const int volume = window->Lists().ListVol().Add(old[0]);
    window->Lists().ListVol().SetSubItem(volume, 1, "33");
    kv::platform::WriteSetting("other", "InitialFindDir", tree, kv::platform::SettingsFile());

    DriveSearchWindow();
    window->Item("IDMWriteEmptyCell")->trigger();

    auto& rows = window->Lists().Tracks().ListView(1);
    EXPECT_EQ(rows.Path(0), tree + "/a/b/one.wav");
    EXPECT_EQ(rows.Path(1), kept);
    EXPECT_EQ(rows.Path(2), tree + "/a/b/two.wav");
    EXPECT_EQ(rows.Text(2, pl::ColTime), "0：01");
    EXPECT_EQ(rows.Text(1, pl::ColTime), "0：01"); // the re-check refreshed the row that was there
    EXPECT_EQ(window->Lists().ListVol().Find(old[0]), -1);
    EXPECT_EQ(window->Lists().ListVol().SubItem(window->Lists().ListVol().Find(tree + "/a/b/one.wav"), 1), "33");
    EXPECT_EQ(
        messages,
        QStringList{"リンクが切れたデータが2個ありました。\r\n\r\nこれらのデータのリンク切れを回復しますか？"
                    "（場合によっては数十分かかります。）"});
    EXPECT_EQ(window->Controls().ToolButtonImageKey(12), "save");
    EXPECT_EQ(kv::platform::ReadSetting("other", "InitialFindDir", kv::platform::SettingsFile()), tree);
    EXPECT_TRUE(window->Controls().timer1->isActive());
    EXPECT_FALSE(window->Player().Play()->NoAutoStart);
}

TEST_F(RepairFromMenu, OtherKindsAreReadThroughTheMediaPlayerControl) {
    const QString wma = Q(media.file("tagged.wma"));
    if (!Ffmpeg({"-f", "lavfi", "-i", "sine=duration=3", "-metadata", "title=Tone", "-metadata",
                 "artist=Maker", "-c:a", "wmav2", wma}))
        GTEST_SKIP() << "ffmpeg could not make the file";
    window->Lists().Tracks().ListView(1).AppendRows({Row(wma, "wma")});
    window->Item("IDMWriteEmptyCell")->trigger();
    auto& rows = window->Lists().Tracks().ListView(1);
    EXPECT_EQ(rows.Text(0, pl::ColTitle), "Tone");
    EXPECT_EQ(rows.Text(0, pl::ColArtist), "Maker");
    EXPECT_EQ(rows.Text(0, pl::ColTime), "0：03");
    EXPECT_EQ(window->Player().Device()->CurrentState(), "NotLoaded"); // nothing was started meanwhile
}

TEST_F(RepairFromMenu, TheLoadedVideosWindowComesBackOnlyIfItWasShown) {
    const QString avi = Q(media.file("clip.avi"));
    if (!Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=96x64:rate=25:duration=3", "-f", "lavfi", "-i",
                 "sine=duration=3", "-c:v", "mpeg4", "-c:a", "pcm_s16le", avi}))
        GTEST_SKIP() << "ffmpeg could not make the file";
    const QString wav = Q(kvtest::MakeWave(media.file("here.wav"), 1.0, 8000, 1));
    window->Lists().Tracks().ListView(1).AppendRows({Row(avi, "avi"), Row(wav, "wav")});
    PlayRow(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Player().MediaWindowVisible(); }, 8000));

    window->Item("IDMWriteEmptyCell")->trigger();
    EXPECT_EQ(Playing(), "clip.avi");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Player().MediaWindowVisible(); }, 3000));

    window->Player().Media().W()->close(); // the close box: hidden, and playback stops
    ASSERT_FALSE(window->Player().MediaWindowVisible());
    window->Item("IDMWriteEmptyCell")->trigger();
    EXPECT_EQ(Playing(), "clip.avi");
    QTest::qWait(500); // a late ready report of the reloaded file must not bring it back either
    EXPECT_FALSE(window->Player().MediaWindowVisible());
}

TEST_F(RepairFromMenu, NothingBrokenSaysSoAndNeverSearches) {
    const QString here = Q(kvtest::MakeWave(media.file("here.wav"), 1.0, 8000, 1));
    window->Lists().Tracks().ListView(1).AppendRows({Row(here, "wav")});
    window->Item("IDMWriteEmptyCell")->trigger();
    EXPECT_EQ(messages, QStringList{"リンクが切れたデータはありませんでした。"});
    EXPECT_EQ(window->Lists().Tracks().ListView(1).Icon(0), "wav");
}

} // namespace
