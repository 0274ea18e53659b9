// The main window as a screen reader sees it, through Qt's own accessibility interfaces: the
// controls' names, the bars' values, and the LCD panel's text with one announcement per track.
#include "display/progress_bar.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playback/play_control.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "support/audio_files.h"
#include "tools/form_equalizer.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace kv::shell;

namespace {

QAccessibleInterface* Face(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
QString Name(QObject* o) { return Face(o) ? Face(o)->text(QAccessible::Name) : QStringLiteral("<none>"); }

class Access : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetProgramFolder(QString::fromStdString(folder.path()));
        kv::platform::SetMessageHandler(
            [](const kv::platform::MessageRequest&) { return kv::platform::MsgAnswer::Ok; });
        window = std::make_unique<FormMain>();
        window->InitializeMainWindow(QString(), {});
    }
    void TearDown() override {
        window->close();
        window.reset();
        kv::platform::SetMessageHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    template <class T> T* Child(const char* name) { return window->findChild<T*>(QString::fromLatin1(name)); }

    kvtest::TempDir folder;
    kvtest::TempDir media;
    std::unique_ptr<FormMain> window;
};

TEST_F(Access, EveryControlHasItsName) {
    window->Tools().ShowEqualizer();
    const std::pair<QObject*, const char*> table[] = {
        {window->Controls().listViews[0], "フォルダ"},
        {window->Controls().listViews[1], "プレイリスト"},
        {window->Controls().listViews[2], "作業用リスト"},
        {Child<QTreeView>("ExpTree"), "エクスプローラ"},
        {window->Controls().listOfList, "リストの一覧"},
        {Child<QWidget>("ProgPicture"), "再生位置"},
        {Child<QWidget>("Volume"), "音量"},
        {Child<QLabel>("StartPos"), "開始位置"},
        {Child<QLabel>("EndPos"), "終了位置"},
        {Child<QWidget>("PPanelBack"), "液晶"},
        {window->Controls().sList, "リスト"},
        {window->Controls().imageTimer, "タイマー"},
        {window->Tools().Equalizer()->VScroll1(0), "低音"},
        {window->Tools().Equalizer()->VScroll1(4), "帯域5"},
    };
    for (auto [object, name] : table) {
        ASSERT_NE(object, nullptr) << name;
        EXPECT_EQ(Name(object), QString::fromUtf8(name)) << object->objectName().toStdString();
    }
    EXPECT_EQ(Face(Child<QWidget>("ProgPicture"))->role(), QAccessible::Slider);
}

TEST_F(Access, BarsReportAndTakeValuesInTheirRangeAndTheKeysMoveThem) {
    const QString wave = QString::fromStdString(kvtest::MakeWave(media.file("a.wav"), 20, 8000, 1));
    window->OpenTrack(wave);
    ASSERT_EQ(window->Player().Device()->CurrentState(), "Playing");
    window->Item("IDMplay")->trigger(); // paused: a set position resumes play, as a drag does
    ASSERT_EQ(window->Player().Device()->CurrentState(), "Paused");

    QAccessibleValueInterface* position = Face(Child<QWidget>("ProgPicture"))->valueInterface();
    QAccessibleValueInterface* volume = Face(Child<QWidget>("Volume"))->valueInterface();
    ASSERT_TRUE(position && volume);
    EXPECT_EQ(position->minimumValue().toInt(), 0);
    EXPECT_EQ(position->maximumValue().toInt(), 20);
    EXPECT_EQ(volume->maximumValue().toInt(), 100);

    position->setCurrentValue(12);
    EXPECT_EQ(position->currentValue().toInt(), 12);
    EXPECT_EQ(window->Player().Device()->CurrentState(), "Playing");
    EXPECT_NEAR(window->Player().Device()->CurrentPosition(), 12, 1);
    for (int outside : {-1, 21}) {
        position->setCurrentValue(outside);
        volume->setCurrentValue(outside * 5);
    }
    EXPECT_EQ(window->Player().CProgBar().Value(), 12);
    EXPECT_NEAR(window->Player().Device()->CurrentPosition(), 12, 1);

    volume->setCurrentValue(30);
    EXPECT_EQ(window->Player().CVolume().Value(), 30);
    EXPECT_EQ(volume->currentValue().toInt(), 30);
    EXPECT_EQ(window->Player().CVolume().Value(), window->Player().Device()->GetVolume());

    // The keys, with the bar focused by Tab: arrows, pages, Home and End; Alt+arrows stay the lists'.
    QWidget* volumeBar = Child<QWidget>("Volume");
    EXPECT_EQ(volumeBar->focusPolicy(), Qt::TabFocus);
    QTest::keyClick(volumeBar, Qt::Key_Up);
    EXPECT_EQ(window->Player().CVolume().Value(), 32);
    QTest::keyClick(volumeBar, Qt::Key_PageDown);
    EXPECT_EQ(window->Player().CVolume().Value(), 22);
    QTest::keyClick(volumeBar, Qt::Key_End);
    EXPECT_EQ(window->Player().CVolume().Value(), 100);
    QTest::keyClick(Child<QWidget>("ProgPicture"), Qt::Key_Home);
    EXPECT_EQ(window->Player().CProgBar().Value(), 0);
    QTest::keyClick(Child<QWidget>("ProgPicture"), Qt::Key_Right);
    EXPECT_EQ(window->Player().CProgBar().Value(), 5);
}

TEST_F(Access, PanelDescribesTheTrackAndAnnouncesEachTrackOnce) {
    QSignalSpy announced(&window->Display(), &MainDisplay::TrackAnnounced);
    QWidget* panel = Child<QWidget>("PPanelBack");
    for (const char* name : {"a.wav", "b.wav"}) {
        window->OpenTrack(QString::fromStdString(kvtest::MakeWave(media.file(name), 3, 8000, 1)));
        // A row shown for a while, then the track again on the third tick: no new track.
        window->Lists().Tracks().RowClicked(1, 0);
        for (int tick = 0; tick < 4; ++tick) window->Player().Play()->Timer1Tick();
    }
    EXPECT_EQ(announced.count(), 2);
    const QString text = Face(panel)->text(QAccessible::Description);
    EXPECT_TRUE(text.startsWith(QStringLiteral("b.wav\n"))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(Child<QLabel>("LabelCurTime")->text())) << text.toStdString();
}

TEST_F(Access, TheKeyboardReachesTheBarsAndLeavesStealthModeAndTheToolWindows) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->Controls().listOfList->setFocus(Qt::TabFocusReason);
    QTest::keyClick(window->Controls().listOfList, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>("Volume"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Child<QWidget>("ProgPicture"));
    // A key with Alt is the lists' even from a bar: Alt+Up raises the volume by their step.
    const int volume = window->Player().CVolume().Value();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(window->Player().CVolume().Value(), volume + 2);

    QTest::keyClick(window.get(), Qt::Key_F10);
    EXPECT_EQ(window->menuBar()->activeAction(), window->Item("IDMFile"));
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);

    window->Display().ToggleStealth();
    ASSERT_TRUE(window->State().StealthActive);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->State().StealthActive);

    window->Tools().ShowEqualizer();
    QApplication::setActiveWindow(window->Tools().Equalizer()); // offscreen, nothing else activates it
    ASSERT_TRUE(QTest::qWaitForWindowActive(window->Tools().Equalizer()));
    QTest::keyClick(window->Tools().Equalizer(), Qt::Key_Escape);
    EXPECT_FALSE(window->Tools().Equalizer()->isVisible());
}

} // namespace
