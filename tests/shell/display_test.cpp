// The display's entry points on the real window, offscreen: start-up with the shutter closed,
// the shutter and stealth commands from every entry point, the colour and bar-type menus, and
// the visualizer's timer following playback.
#include "display/panel_colors.h"
#include "display/panel_view.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/text_colour.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/shell_services.h"
#include "support/audio_files.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kv::shell;

namespace {

class DisplayEntryPoints : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetProgramFolder(QString::fromStdString(folder.path()));
        kv::platform::SetMessageHandler(
            [](const kv::platform::MessageRequest&) { return kv::platform::MsgAnswer::Ok; });
    }
    void Start() {
        window = std::make_unique<FormMain>();
        window->InitializeMainWindow(QString(), {});
        window->Display().SetPointerSource([this] { return pointer; });
    }
    void TearDown() override {
        if (window) window->close();
        window.reset();
        kv::platform::SetMessageHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    int ListTop() const { return window->Controls().listViews[1]->geometry().top(); }
    bool ShutterMarksOpen() const {
        return window->Controls().ToolButton(7)->isChecked() && window->Item("IDMshutter")->isChecked();
    }

    kvtest::TempDir folder;
    kvtest::TempDir media;
    std::unique_ptr<FormMain> window;
    QPoint pointer{5000, 5000};
};

} // namespace

TEST_F(DisplayEntryPoints, StartUpWithTheShutterClosedAndBothToggles) {
    kv::platform::WriteSetting("other", "Shutter", "True", kv::platform::SettingsFile());
    Start();
    EXPECT_TRUE(window->State().ShutterClosed);
    EXPECT_TRUE(window->Controls().pPanel->isHidden());
    EXPECT_FALSE(window->Controls().ToolButton(7)->isChecked());
    EXPECT_FALSE(window->Item("IDMshutter")->isChecked());
    EXPECT_TRUE(window->Controls().backGndLabel->isVisibleTo(window.get()));
    const int closedTop = ListTop();

    window->Item("IDMshutter")->trigger();
    EXPECT_FALSE(window->State().ShutterClosed);
    EXPECT_FALSE(window->Controls().pPanel->isHidden());
    EXPECT_TRUE(ShutterMarksOpen());
    EXPECT_FALSE(window->Controls().backGndLabel->isVisibleTo(window.get()));
    // The lists gain the 800 twips the display gives up.
    EXPECT_NEAR(ListTop() - closedTop, 800 / 15, 1);

    window->Controls().ToolButton(7)->trigger();
    EXPECT_TRUE(window->State().ShutterClosed);
    EXPECT_EQ(ListTop(), closedTop);
    window->close();
    window.reset();
    EXPECT_EQ(kv::platform::ReadSetting("other", "Shutter", kv::platform::SettingsFile()), "True");
}

TEST_F(DisplayEntryPoints, StealthFromEveryEntryPointRestoresTheWindow) {
    Start();
    window->setGeometry(40, 60, 500, 400);
    const QRect normal = window->geometry();
    struct Way {
        const char* enter;
        const char* leave;
    };
    for (Way way : {Way{"IDMStels", "toolbar 9"}, Way{"toolbar 9", "IDMMinMax"}, Way{"IDMStels", "tray"},
                    Way{"IDMStels", "IDMStels"}}) {
        auto fire = [&](const QString& entry) {
            if (entry == "tray")
                window->TrayMessage(kTrayDoubleClick);
            else if (entry.startsWith("toolbar "))
                window->Controls().ToolButton(entry.mid(8).toInt())->trigger();
            else
                window->Item(entry)->trigger();
        };
        fire(way.enter);
        ASSERT_TRUE(window->State().StealthActive) << way.enter;
        EXPECT_TRUE(window->Controls().timer2->isActive());
        EXPECT_TRUE(window->Controls().sList->isVisibleTo(window.get()));
        EXPECT_EQ(window->Controls().sList->text(), "L i s t");
        EXPECT_FALSE(window->Controls().ToolButton(7)->isVisible());
        EXPECT_TRUE(window->Controls().ToolButton(9)->isChecked());
        EXPECT_TRUE(window->Item("IDMStels")->isChecked());
        EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(window->height(), 1925 / 15);

        window->Display().ToggleShutter(); // ignored in stealth mode
        EXPECT_FALSE(window->State().ShutterClosed);

        pointer = {2000, 2000};
        window->Display().StealthTick();
        EXPECT_FALSE(window->isVisible());
        pointer = {10, 0};
        window->Display().StealthTick();
        EXPECT_TRUE(window->isVisible());
        pointer = {2000, 2000};
        window->Display().StealthTick();

        fire(way.leave);
        EXPECT_FALSE(window->State().StealthActive) << way.leave;
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->geometry(), normal) << way.leave;
        EXPECT_FALSE(window->Controls().timer2->isActive());
        EXPECT_FALSE(window->Controls().sList->isVisibleTo(window.get()));
        EXPECT_TRUE(window->Controls().ToolButton(7)->isVisible());
        EXPECT_FALSE(window->Controls().ToolButton(9)->isChecked());
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // The list box goes back beside the buttons the strip hid, not over them.
        QWidget* save = window->Controls().toolBar->widgetForAction(window->Controls().ToolButton(12));
        EXPECT_GE(window->Controls().listOfList->x(), save->x() + save->width()) << way.leave;
    }
}

TEST_F(DisplayEntryPoints, ListButtonExpandsTheStrip) {
    Start();
    window->Item("IDMStels")->trigger();
    kv::playlists::TrackView* list = window->Controls().listViews[size_t(window->Lists().Tracks().State().PlayingView)];
    // The low strip has no room for the list: none of it shows, not a header under a scroll bar.
    EXPECT_FALSE(list->isVisibleTo(window.get()));
    QTest::mousePress(window->Controls().sList, Qt::LeftButton);
    QTest::mouseRelease(window->Controls().sList, Qt::LeftButton);
    EXPECT_EQ(window->height(), 4000 / 15);
    ASSERT_TRUE(list->isVisibleTo(window.get()));
    EXPECT_GE(list->viewport()->height(), list->fontMetrics().height());
    QTest::mousePress(window->Controls().sList, Qt::LeftButton);
    QTest::mouseRelease(window->Controls().sList, Qt::LeftButton);
    EXPECT_EQ(window->height(), 1925 / 15);
    EXPECT_FALSE(list->isVisibleTo(window.get()));
    window->Item("IDMStels")->trigger();
    EXPECT_TRUE(window->Controls().listViews[1]->isVisibleTo(window.get()));
}

TEST_F(DisplayEntryPoints, ColourAndBarTypeMenus) {
    Start();
    window->Controls().foreColor[4]->trigger();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(window->Controls().foreColor[i]->isChecked(), i == 4);
    EXPECT_EQ(kv::display::ShadeTable(), kv::display::MakeShadeTable(kv::display::DisplayColour(4)));
    EXPECT_EQ(kv::platform::TextColour(window->Controls().backGndLabel), QColor(190, 190, 255));
    for (int type = 1; type <= 5; ++type) {
        window->Controls().panelBar[type - 1]->trigger();
        EXPECT_EQ(window->Display().PanelView().BarType(), type);
        for (int i = 1; i <= 5; ++i)
            EXPECT_EQ(window->Controls().panelBar[i - 1]->isChecked(), i == type);
    }
    QTest::mouseDClick(window->Controls().pPanel, Qt::LeftButton);
    EXPECT_EQ(window->Display().PanelView().BarType(), 1);
    EXPECT_TRUE(window->Controls().panelBar[1 - 1]->isChecked());
    window->close();
    window.reset();
    EXPECT_EQ(kv::platform::ReadSetting("other", "BarType", kv::platform::SettingsFile()), "1");
    EXPECT_EQ(kv::platform::ReadSetting("Color", "ForeColor", kv::platform::SettingsFile()), "4");
}

TEST_F(DisplayEntryPoints, VisualizerRunsWhilePlayingAndRestsAfterStop) {
    Start();
    EXPECT_FALSE(window->Controls().timer3->isActive()); // the idle panel of start-up
    const QString wave = QString::fromStdString(kvtest::MakeWave(media.file("a.wav"), 3, 22050, 2));
    window->OpenTrack(wave);
    ASSERT_EQ(window->Player().Device()->CurrentState(), "Playing");
    EXPECT_TRUE(window->Controls().timer3->isActive());
    EXPECT_FALSE(window->Display().PanelView().Frames().Stopped);
    QTest::qWait(150);
    window->Item("IDMstop")->trigger();
    EXPECT_TRUE(window->Display().PanelView().Frames().Stopped);
    for (int k = 0; k < 100 && window->Controls().timer3->isActive(); ++k)
        QTest::qWait(35);
    EXPECT_FALSE(window->Controls().timer3->isActive());
}

TEST_F(DisplayEntryPoints, HiddenScrollBarRestartsWithItsBarCount) {
    Start();
    window->Controls().hScroll1->setValue(30);
    EXPECT_EQ(window->Display().PanelView().Frames().BarCount(), 30);
    EXPECT_EQ(window->Display().PanelView().Frames().Step(), 255 / 30);
    EXPECT_EQ(window->windowTitle(), "30");
    EXPECT_EQ(window->Controls().pPanel->font().pointSize(), 18);
}
