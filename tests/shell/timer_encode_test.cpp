// The sleep timer and the conversion window reached from the main window: their commands, the
// timer indicator, and the timer's shutdown of the whole program.
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playback/sound_play.h"
#include "playlists/form_care.h"
#include "playlists/list_files.h"
#include "playlists/track_list.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/timer_encode.h"
#include "support/audio_files.h"
#include "support/qt_files.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::playlists::TrackEntry;
using kvtest::Q;

namespace {

class FakeClock : public kv::tools::MonotonicClock {
  public:
    qint64 NowMs() const override { return now; }
    qint64 now = 5000;
};

// Notes, at the moment of the request, what the program had already saved.
class RecordingPowerOff : public kv::tools::PowerOff {
  public:
    RecordingPowerOff(QStringList& log, QString folder) : log_(log), folder_(std::move(folder)) {}
    bool Request() override {
        QStringList saved;
        for (const char* name : {"kvp.ini", "volume.cfg"})
            if (kv::platform::FileExists(folder_ + "/" + name)) saved << name;
        log_ << "power-off after " + saved.join(u' ');
        std::fprintf(stderr, "%s\n", qPrintable(log_.back())); // seen from outside an ended process
        return false; // refused: the program must end all the same
    }

  private:
    QStringList& log_;
    QString folder_;
};

class TimerEncode : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetProgramFolder(Q(folder.path()));
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text;
            return kv::platform::MsgAnswer::Ok;
        });
        TrackEntry row;
        row[kv::playlists::ColFile] = "a.wav";
        row[kv::playlists::ColKind] = "wav";
        row[kv::playlists::ColPath] = Q(kvtest::MakeWave(media.file("a.wav"), 2, 22050, 1));
        ASSERT_TRUE(kv::playlists::WriteListFile(Q(folder.file("mylist.kvt")), {row}, false));
        committed = kvtest::Bytes(Q(folder.file("mylist.kvt")));
        OpenWindow();
    }
    void OpenWindow() {
        window = std::make_unique<FormMain>();
        window->InitializeMainWindow(QString(), {});
        glue = window->findChild<TimerEncodeGlue*>();
        ASSERT_NE(glue, nullptr);
        glue->SetClock(clock);
        glue->SetEndProcess([this] { log << "end"; });
    }
    void TearDown() override {
        window->close();
        window.reset();
        kv::tools::SetSystemPowerOff(nullptr);
        kv::platform::SetMessageHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    kv::tools::FormTimer* TimerWindow() const { return glue->TimerWindow(); }
    void StartTimer(const QString& minutes, bool powerOff = false) {
        window->Item("IDMTimer")->trigger();
        ASSERT_NE(TimerWindow(), nullptr);
        (powerOff ? TimerWindow()->Option2() : TimerWindow()->Option1())->setChecked(true);
        TimerWindow()->Text1()->setText(minutes);
        TimerWindow()->Command1()->click();
    }
    bool IndicatorShown() const {
        return !window->Controls().imageTimer->isHidden() && !window->Controls().labelTimer->isHidden();
    }

    kvtest::TempDir folder;
    kvtest::TempDir media;
    FakeClock clock;
    std::unique_ptr<FormMain> window;
    TimerEncodeGlue* glue = nullptr;
    QStringList messages;
    QStringList log;
    QByteArray committed;
};

TEST_F(TimerEncode, EveryEntryPointOfTheTimerWindow) {
    window->Item("IDMTimer")->trigger();
    ASSERT_NE(TimerWindow(), nullptr);
    EXPECT_TRUE(TimerWindow()->isVisible());
    EXPECT_EQ(TimerWindow()->windowModality(), Qt::ApplicationModal);
    TimerWindow()->Text1()->setText("5");
    TimerWindow()->Command1()->click();
    EXPECT_FALSE(TimerWindow()->isVisible());
    EXPECT_TRUE(window->Tools().SleepTimerRunning());
    EXPECT_TRUE(IndicatorShown());
    EXPECT_FALSE(window->Controls().imageTimer->pixmap().isNull()) << "the clock picture";
    EXPECT_EQ(window->windowTitle(), "タイマー：残り5分");
    EXPECT_EQ(window->Controls().labelTimer->text(), "タイマー：残り5分");

    // A double click on the indicator shows the window without stopping the count.
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->Controls().labelTimer, &click);
    EXPECT_TRUE(TimerWindow()->isVisible());
    EXPECT_EQ(TimerWindow()->windowModality(), Qt::NonModal);
    EXPECT_TRUE(window->Tools().SleepTimerRunning());

    // The timer command stops the count until "実行".
    window->Item("IDMTimer")->trigger();
    EXPECT_FALSE(window->Tools().SleepTimerRunning());
    EXPECT_EQ(TimerWindow()->windowModality(), Qt::ApplicationModal);
    TimerWindow()->Command2()->click();
    EXPECT_FALSE(IndicatorShown());
    EXPECT_EQ(window->windowTitle(), ProgramCaption());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TimerEncode, TheTimeUpSavesEverythingWithoutAQuestionThenPowersOffAndEnds) {
    kv::tools::SetSystemPowerOff(std::make_unique<RecordingPowerOff>(log, Q(folder.path())));
    // The list is changed and not saved: the change is dropped, the committed list stays.
    TrackEntry extra;
    extra[kv::playlists::ColFile] = "b.wav";
    extra[kv::playlists::ColKind] = "wav";
    extra[kv::playlists::ColPath] = Q(kvtest::MakeWave(media.file("b.wav"), 1, 22050, 1));
    window->Lists().Tracks().ListView(1).AppendRows({extra});
    window->Lists().SaveWorkingCopy("mylist");
    window->Lists().SetSaveButtonImage("save");
    window->Lists().Tracks().State().ActiveView = 1;
    window->Lists().Tracks().ListView(1).SelectOnly({0});
    window->Player().PlayButton();
    ASSERT_EQ(window->Player().Device()->CurrentState(), "Playing");

    StartTimer("1", true);
    clock.now += 1000;
    TimerWindow()->Tick();
    EXPECT_EQ(window->windowTitle(), "タイマー：残り59秒");
    clock.now += 59'999;
    TimerWindow()->Tick();
    EXPECT_TRUE(log.isEmpty());
    clock.now += 1;
    TimerWindow()->Tick();
    EXPECT_EQ(log, (QStringList{"power-off after kvp.ini volume.cfg", "end"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(kvtest::Bytes(Q(folder.file("mylist.kvt"))), committed);
    EXPECT_TRUE(QDir(Q(folder.path())).entryList({"*.backup"}).isEmpty());
    EXPECT_EQ(kv::platform::ReadSetting("other", "InitialList", kv::platform::SettingsFile()), "mylist");
}

// The time runs out while a link search walks its folders in an event loop of its own. The
// program saves and ends there and then: the walk must not go on over the engine the shutdown
// freed, nor write again the working copy it deleted.
TEST_F(TimerEncode, TheTimeUpDuringALinkSearchEndsTheProcessThereAndThen) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: the window has threads
    auto runOut = [this] {
        kv::platform::SetMessageHandler([](const kv::platform::MessageRequest&) {
            return kv::platform::MsgAnswer::Yes; // search for the broken link
        });
        kv::tools::SetSystemPowerOff(std::make_unique<RecordingPowerOff>(log, Q(folder.path())));
        // A tree whose walk lasts long enough to let events run on the way (every 40 ms).
        const QString tree = Q(media.path()) + "/library";
        for (int i = 0; i < 150; ++i)
            for (int j = 0; j < 100; ++j)
                QDir().mkpath(QStringLiteral("%1/%2/%3").arg(tree).arg(i).arg(j));
        kvtest::MakeWave(media.file("library/99/99/moved.wav"), 1, 22050, 1);
        TrackEntry moved;
        moved[kv::playlists::ColFile] = "moved.wav";
        moved[kv::playlists::ColKind] = "wav";
        moved[kv::playlists::ColPath] = Q(media.file("moved.wav"));
        window->Lists().Tracks().ListView(1).AppendRows({moved});
        window->Lists().Tracks().State().ActiveView = 1;
        kv::platform::WriteSetting("other", "InitialFindDir", tree, kv::platform::SettingsFile());
        StartTimer("1", true);
        glue->SetEndProcess({});

        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* search = qobject_cast<kv::playlists::FormCare2*>(top);
                if (!search || !search->isVisible()) continue;
                poll->stop();
                // The first events let run come from inside the walk: the time is up then.
                QTimer::singleShot(0, search, [this, search] {
                    const bool walking =
                        search->Command2()->text() == "中止" &&
                        search->ListHS().ListBox()->findItems("【", Qt::MatchContains).isEmpty();
                    if (!walking) { // the process then never ends, and the test fails
                        std::fprintf(stderr, "the time ran out outside the walk\n");
                        return;
                    }
                    clock.now += 61'000;
                    TimerWindow()->Tick();
                });
                search->Command2()->click();
                search->Command3()->click();
                return;
            }
        });
        poll->start(20);
        window->Item("IDMWriteEmptyCell")->trigger();
    };
    EXPECT_EXIT(runOut(), ::testing::ExitedWithCode(0), "power-off after kvp.ini volume.cfg");
}

TEST_F(TimerEncode, AConversionCutShortByTheProgramsEndLeavesNoPartialFile) {
    const QString wav = Q(kvtest::MakeWave(media.file("long.wav"), 60, 22050, 1));
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"the sleep timer",
         [this] {
             StartTimer("1");
             clock.now += 61'000;
             TimerWindow()->Tick();
         }},
        {"the session's end", [this] { window->CloseKeepingListChanges(); }},
    };
    for (const auto& [name, end] : ends) {
        SCOPED_TRACE(name);
        if (window->ShutdownDone()) OpenWindow();
        kvtest::TempDir out;
        window->Lists().SetEncodeMenuVisible(true);
        window->Item("IDMEncode")->trigger();
        kv::tools::FormEncode* form = glue->EncodeWindow();
        ASSERT_NE(form, nullptr);
        form->TextSave()->setText(Q(out.path()));
        form->AddDroppedFiles({wav});
        form->Run().CommandEncode();
        form->Run().Tick();
        ASSERT_EQ(form->Run().CurrentState(), kv::tools::EncodeRun::kConverting);
        const QDir destination(Q(out.path()));
        ASSERT_EQ(destination.entryList({".*.part"}, QDir::Files | QDir::Hidden).size(), 1);
        end();
        EXPECT_TRUE(window->ShutdownDone());
        EXPECT_TRUE(destination.entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

TEST_F(TimerEncode, AFileDroppedOnTheIndicatorIsOpened) {
    const QString song = Q(kvtest::MakeWave(media.file("dropped.wav"), 1, 22050, 1));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(song)});
    for (QLabel* target : {window->Controls().imageTimer, window->Controls().labelTimer}) {
        // As a drag from the desktop arrives: the entry makes the label the drop's target.
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(window->Lists().LastOpenedTrack(), song) << target->objectName().toStdString();
    }
}

TEST_F(TimerEncode, TheConversionWindowsFolderIsTheOneSavedAtExit) {
    window->Lists().SetEncodeMenuVisible(true); // Ctrl held in a list
    window->Item("IDMEncode")->trigger();
    kv::tools::FormEncode* form = glue->EncodeWindow();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowModality(), Qt::ApplicationModal);
    form->TextSave()->setText(Q(media.path()));
    form->CommandEnd()->click();
    EXPECT_EQ(window->State().ConversionSaveFolder, Q(media.path()));
    window->close();
    EXPECT_EQ(kv::platform::ReadSetting("Encode", "SaveDir", kv::platform::SettingsFile()), Q(media.path()));
}

} // namespace
