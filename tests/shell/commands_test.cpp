// The main window's entry points, triggered on the real window offscreen with the real player.
#include "browser/ctree_view.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playback/play_control.h"
#include "playback/sound_play.h"
#include "playlists/track_list.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/shell_services.h"
#include "support/audio_files.h"
#include "tools/form_tag.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace kv::shell;
using kv::playlists::TrackEntry;

namespace {

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetProgramFolder(QString::fromStdString(folder.path()));
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text;
            return kv::platform::MsgAnswer::Ok;
        });
        window = std::make_unique<FormMain>();
        window->InitializeMainWindow(QString(), {});
        QVector<TrackEntry> rows;
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
            TrackEntry row;
            row[kv::playlists::ColFile] = name;
            row[kv::playlists::ColKind] = "wav";
            row[kv::playlists::ColPath] =
                QString::fromStdString(kvtest::MakeWave(media.file(name), 3, 22050, 1));
            rows.push_back(row);
        }
        window->Lists().Tracks().ListView(1).AppendRows(rows);
        window->Lists().Tracks().State().ActiveView = 1;
        Select(1);
    }
    void TearDown() override {
        window->close();
        window.reset();
        kv::platform::SetMessageHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    void Select(int row) {
        window->Lists().Tracks().ListView(1).SelectOnly({row - 1});
        window->Lists().Tracks().ListView(1).SetCurrentRow(row - 1);
    }
    QString State() const { return window->Player().Device()->CurrentState(); }
    QString Playing() const { return QFileInfo(window->Player().Device()->FileName()).fileName(); }
    void Trigger(const QString& entry) {
        if (entry.startsWith("toolbar "))
            window->Controls().ToolButton(entry.mid(8).toInt())->trigger();
        else if (entry.startsWith("ToolBarBack "))
            window->Controls().ClickToolBarBack(entry.mid(12).toInt());
        else
            window->Item(entry)->trigger();
    }

    kvtest::TempDir folder;
    kvtest::TempDir media;
    std::unique_ptr<FormMain> window;
    QStringList messages;
};

TEST_F(Commands, FirstPlayButtonPlaysTheSelectedRowWhilePlayMenuResumes) {
    Trigger("IDMplay"); // nothing loaded: play or resume has nothing to play
    EXPECT_EQ(State(), "NotLoaded");
    Select(2);
    Trigger("toolbar 1");
    EXPECT_EQ(Playing(), "b.wav");
    EXPECT_EQ(State(), "Playing");
    EXPECT_TRUE(window->Controls().ToolButton(2)->isEnabled());
    EXPECT_TRUE(window->Controls().ToolButton(3)->isEnabled());
}

TEST_F(Commands, PauseEntryPoints) {
    Trigger("toolbar 1");
    for (const char* entry : {"IDMplay", "IDMPlay2", "IDMPlay3", "toolbar 2"}) {
        Trigger(entry);
        EXPECT_EQ(State(), "Paused") << entry;
        Trigger(entry);
        EXPECT_EQ(State(), "Playing") << entry;
    }
    Trigger("ToolBarBack 2");
    EXPECT_EQ(State(), "Paused");
    Trigger("ToolBarBack 2"); // always pauses
    EXPECT_EQ(State(), "Paused");
    Trigger("ToolBarBack 1");
    EXPECT_EQ(State(), "Playing");
}

TEST_F(Commands, StopEntryPoints) {
    for (const char* entry : {"IDMstop", "IDMstop2", "IDMstop3", "toolbar 3", "ToolBarBack 3"}) {
        Trigger("toolbar 1");
        ASSERT_EQ(State(), "Playing");
        Trigger(entry);
        EXPECT_EQ(State(), "Stopped") << entry;
        EXPECT_FALSE(window->Controls().ToolButton(3)->isEnabled()) << entry;
    }
}

TEST_F(Commands, PreviousAndNextEntryPoints) {
    Select(2);
    Trigger("toolbar 1");
    for (const char* entry : {"IDMnext", "IDMnext2", "IDMnext3", "toolbar 5", "ToolBarBack 5"}) {
        const int before = window->Player().Play()->PlayIndex;
        Trigger(entry);
        EXPECT_EQ(window->Player().Play()->PlayIndex, before == 3 ? 1 : before + 1) << entry;
    }
    for (const char* entry : {"IDMbefore", "IDMbefore2", "IDMbefore3", "toolbar 4", "ToolBarBack 4"}) {
        const int before = window->Player().Play()->PlayIndex;
        Trigger(entry);
        EXPECT_EQ(window->Player().Play()->PlayIndex, std::max(1, before - 1)) << entry;
    }
}

TEST_F(Commands, NextIsRandomInRandomModeAndPreviousNeverIs) {
    Trigger("IDMRandomPlay");
    EXPECT_TRUE(window->Item("IDMRandomPlay")->isChecked());
    EXPECT_FALSE(window->Item("IDMContinuePlay")->isChecked());
    EXPECT_FALSE(window->Item("IDMGeneralPlay")->isChecked());
    window->Player().Play()->SetRandomSource([] { return 0.0; }); // always the first row
    Select(3);
    Trigger("toolbar 1");
    for (const char* entry : {"IDMnext", "IDMnext2", "IDMnext3", "toolbar 5", "ToolBarBack 5"}) {
        Select(3);
        window->Player().Play()->PlayIndex = 3;
        Trigger(entry);
        EXPECT_EQ(window->Player().Play()->PlayIndex, 1) << entry;
    }
    window->Player().Play()->PlayIndex = 3;
    Trigger("IDMbefore");
    EXPECT_EQ(window->Player().Play()->PlayIndex, 2);
}

TEST_F(Commands, VolumeStepsByTen) {
    window->Player().Device()->SetVolume(50);
    Trigger("IDMVolUp");
    EXPECT_EQ(window->Player().Device()->GetVolume(), 60);
    Trigger("IDMVolDown");
    Trigger("IDMVolDown");
    EXPECT_EQ(window->Player().Device()->GetVolume(), 40);
}

TEST_F(Commands, ColourAndPanelTypeItemsAreRadioGroups) {
    window->Controls().foreColor[3]->trigger();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(window->Controls().foreColor[i]->isChecked(), i == 3);
    window->Controls().panelBar[5 - 1]->trigger();
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(window->Controls().panelBar[i - 1]->isChecked(), i == 5);
}

TEST_F(Commands, HelpWithoutItsFileSaysSo) {
    Trigger("IDMPlayerhelp");
    EXPECT_EQ(messages, QStringList{"ヘルプファイル「KAVETTO.HLP」が存在しません。"});
}

TEST_F(Commands, ExplorerToggleShowsAndHidesTheFolderPanes) {
    Trigger("toolbar 8");
    EXPECT_TRUE(window->State().ExplorerShown);
    EXPECT_TRUE(window->Item("IDMShowExplorTree")->isChecked());
    EXPECT_TRUE(window->Controls().listViews[0]->isVisible());
    EXPECT_EQ(window->Layout().separator1.left, 2000);
    EXPECT_EQ(window->Layout().separator2.left, 4000);
    Trigger("IDMShowExplorTree");
    EXPECT_FALSE(window->State().ExplorerShown);
    EXPECT_FALSE(window->Controls().listViews[0]->isVisible());
    EXPECT_EQ(window->Controls().listViews[1]->x(), 0);
    EXPECT_EQ(window->Controls().listViews[1]->width(), window->centralWidget()->width());
    Trigger("IDMShowExplorTree");
    EXPECT_EQ(window->Layout().separator1.left, 2000); // back where they were
    EXPECT_EQ(window->Layout().separator2.left, 4000);
}

// A right click is a press and then a context-menu event; each view's menu comes with the press,
// and the window's play-position menu must not come on top of it.
TEST_F(Commands, ARightClickOnAViewOrTheTreeOpensOneMenu) {
    Trigger("toolbar 8"); // the folder panes
    QMenu* playPosition = window->Menu("IDMPlayPosition");
    QList<QMenu*> seen;
    auto takeMenus = [&seen] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* menu = qobject_cast<QMenu*>(w); menu && menu->isVisible()) {
                seen << menu;
                menu->hide();
            }
    };
    QTreeView* tree = window->Tree().ExplorTree().TreeView();
    ASSERT_NE(tree, nullptr);
    const QModelIndex node = tree->model()->index(0, 0);
    struct Case {
        const char* name;
        QWidget* surface;
        QPoint at;
    } cases[] = {{"playlist", window->Controls().listViews[1]->viewport(), {20, 5}},
                 {"folder view", window->Controls().listViews[0]->viewport(), {20, 5}},
                 {"tree", tree->viewport(), tree->visualRect(node).center()}};
    for (const Case& c : cases) {
        seen.clear();
        QTimer::singleShot(100, takeMenus); // the tree's menu runs its own loop until it closes
        QTest::mousePress(c.surface, Qt::RightButton, {}, c.at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, c.at, c.surface->mapToGlobal(c.at));
        QApplication::sendEvent(c.surface, &menuEvent);
        QTest::mouseRelease(c.surface, Qt::RightButton, {}, c.at);
        takeMenus();
        EXPECT_EQ(seen.size(), 1) << c.name;
        EXPECT_FALSE(seen.contains(playPosition)) << c.name;
        QTest::qWait(120); // the armed timer has fired
    }
    // The window's own surfaces keep their menu.
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, {5, 5}, window->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(window.get(), &menuEvent);
    EXPECT_TRUE(playPosition->isVisible());
    playPosition->hide();
}

TEST_F(Commands, MarkersStandOnTheBarAtStartUpAndFollowItsWidth) {
    const QLabel* startPos = window->findChild<QLabel*>("StartPos");
    const QLabel* endPos = window->findChild<QLabel*>("EndPos");
    ASSERT_TRUE(startPos && endPos);
    const QWidget* bar = endPos->parentWidget();
    auto endsAtTheBarsEnd = [&] { return std::abs(endPos->geometry().right() + 1 - bar->width()) <= 1; };
    EXPECT_GT(bar->width(), 0);
    EXPECT_EQ(startPos->x(), 0);
    EXPECT_TRUE(endsAtTheBarsEnd()) << endPos->x() << " " << bar->width();

    Trigger("toolbar 1"); // a track loads: its marks are the whole track
    ASSERT_EQ(State(), "Playing");
    EXPECT_TRUE(endsAtTheBarsEnd());
    for (int widen : {300, -150}) {
        window->resize(window->width() + widen, window->height());
        QTest::qWait(20);
        EXPECT_TRUE(endsAtTheBarsEnd()) << widen << ": " << endPos->x() << " " << bar->width();
        EXPECT_EQ(startPos->x(), 0);
    }
}

TEST_F(Commands, PropertiesShowTheTreesFolderWhileTheTreeHasTheFocus) {
    Trigger("toolbar 8");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QString folder = QString::fromStdString(media.path());
    window->Lists().SetFolderTreePath(folder);
    QStringList shown;
    auto properties = [&] {
        QTimer::singleShot(50, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == "FormProperties" && w->isVisible()) {
                    shown << w->windowTitle();
                    w->close();
                }
        });
        Trigger("IDMproperty");
    };
    window->Tree().ExplorTree().TreeView()->setFocus();
    QTest::qWait(10);
    ASSERT_TRUE(window->Tree().ExplorTree().ExpTreeForcus());
    properties();
    window->Controls().listViews[1]->setFocus();
    QTest::qWait(10);
    properties();
    EXPECT_EQ(shown, (QStringList{QFileInfo(folder).fileName() + "のプロパティ", "a.wavのプロパティ"}));
}

// The tag editor renames the tree's folder: the playing track's folder takes the player and the
// playing row with it, and the program's own folder is refused.
TEST_F(Commands, RenamingAFolderFromTheTreeTakesThePlayingTrackAlong) {
    const QString album = QString::fromStdString(media.file("Album"));
    ASSERT_TRUE(QDir().mkdir(album));
    Trigger("toolbar 8");
    TrackEntry row;
    row[kv::playlists::ColFile] = "d.wav";
    row[kv::playlists::ColKind] = "wav";
    row[kv::playlists::ColPath] =
        QString::fromStdString(kvtest::MakeWave(media.file("Album/d.wav"), 3, 22050, 1));
    window->Lists().Tracks().ListView(1).AppendRows({row});
    Select(4);
    Trigger("toolbar 1");
    ASSERT_EQ(window->Player().Device()->FileName(), album + "/d.wav");
    auto rename = [&](const QString& folder, const QString& name) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->Lists().SetFolderTreePath(folder);
        window->Tree().ExplorTree().TreeView()->setFocus();
        QTest::qWait(10);
        ASSERT_TRUE(window->Tree().ExplorTree().ExpTreeForcus());
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<kv::tools::FormTag*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            form->Text2()->setText(name);
            form->Command1()->click();
            if (form->isVisible()) form->reject();
        });
        Trigger("IDMEditFile");
    };

    rename(album, "Album 2");
    const QString moved = QString::fromStdString(media.file("Album 2")) + "/d.wav";
    ASSERT_TRUE(QFileInfo::exists(moved));
    EXPECT_EQ(window->Player().Device()->FileName(), moved);
    EXPECT_EQ(window->Lists().Tracks().ListView(1).Text(3, kv::playlists::ColPath), moved);
    EXPECT_EQ(State(), "Playing");
    Trigger("toolbar 3");
    window->Player().Play()->PlaySelected(); // opens the row's file anew
    EXPECT_EQ(State(), "Playing");
    EXPECT_EQ(window->Player().Device()->FileName(), moved);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();

    const QString program = QString::fromStdString(folder.path());
    rename(program, "elsewhere");
    EXPECT_TRUE(QFileInfo(program).isDir());
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("「%1」はこのプログラムのフォルダなので、名前を変更できません。")
                              .arg(QFileInfo(program).fileName())});
}

TEST_F(Commands, TrayClicksAndTheRestoreItemFollowTheWindowsState) {
    QAction* minMax = window->Item("IDMMinMax");
    QMenu* taskMenu = window->Menu("IDMTaskIcon");
    struct Case {
        const char* name;
        Qt::WindowState state;
        bool enabled; // IDMMinMax after a right click on the icon
    } cases[] = {{"normal", Qt::WindowNoState, false},
                 {"minimised", Qt::WindowMinimized, true},
                 {"maximised", Qt::WindowMaximized, false}};
    for (const Case& c : cases) {
        window->setWindowState(c.state);
        QTest::qWait(10);
        window->TrayMessage(kTrayRightDown);
        EXPECT_EQ(minMax->isEnabled(), c.enabled) << c.name;
        EXPECT_TRUE(taskMenu->isVisible());
        taskMenu->hide();
        // A double click restores a minimised window only; a maximised one stays maximised.
        window->TrayMessage(kTrayDoubleClick);
        QTest::qWait(10);
        EXPECT_FALSE(window->isMinimized()) << c.name;
        EXPECT_EQ(window->isMaximized(), c.state == Qt::WindowMaximized) << c.name;
        if (c.state == Qt::WindowMinimized) EXPECT_FALSE(minMax->isEnabled());
    }
    window->showNormal();
    // One left click brings the window in front of another.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window->TrayMessage(kTrayLeftDown);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

TEST_F(Commands, AClickOnThePanelOrTheBarsGivesTheFocusToTheActiveList) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    for (const char* name : {"PPanelBack", "PPanel", "Volume", "ProgBackPicture"}) {
        window->Controls().listOfList->setFocus();
        QTest::qWait(5);
        ASSERT_EQ(QApplication::focusWidget(), window->Controls().listOfList);
        QWidget* surface = window->findChild<QWidget*>(name);
        ASSERT_NE(surface, nullptr) << name;
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_EQ(QApplication::focusWidget(), window->Controls().listViews[1]) << name;
    }
}

// The conversion item shows while Ctrl is held in a list; a Ctrl shortcut that moves the keyboard
// elsewhere (its dialog takes the key's release) must not leave it shown.
TEST_F(Commands, TheConversionItemGoesWhenTheKeyboardLeavesTheList) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->Controls().listViews[1]->setFocus();
    QTest::keyPress(window->Controls().listViews[1], Qt::Key_Control);
    EXPECT_TRUE(window->Item("IDMEncode")->isVisible());
    window->Controls().listOfList->setFocus(Qt::OtherFocusReason);
    EXPECT_FALSE(window->Item("IDMEncode")->isVisible());
}

// At the default width the list-of-lists box shows whole, at its design width, beside the buttons.
TEST_F(Commands, AtTheDefaultWidthTheListBoxShowsWholeBesideTheToolbar) {
    ASSERT_NEAR(window->ScaleWidth(), 6500, 15); // whole pixels
    const QRect box = window->Controls().listOfList->geometry();
    const QWidget* lastButton =
        window->findChild<QToolBar*>("ToolBar")->widgetForAction(window->Controls().ToolButton(12));
    ASSERT_NE(lastButton, nullptr);
    EXPECT_LE(box.right() + 1, window->centralWidget()->width())
        << box.right() << " " << lastButton->geometry().right();
    EXPECT_GE(box.width(), 1500 / 15);                     // as wide as its text asks, 1500 twips when empty
    EXPECT_GE(box.left(), lastButton->geometry().right()); // not over the list-save button
    for (int i : {1, 2, 3, 4, 5, 7, 8, 9, 11, 12}) {
        const QWidget* button =
            window->findChild<QToolBar*>("ToolBar")->widgetForAction(window->Controls().ToolButton(i));
        EXPECT_TRUE(button && button->isVisible() && button->width() >= 16) << i;
    }
}

TEST_F(Commands, EndClosesTheWindow) {
    Trigger("IDMEnd");
    EXPECT_FALSE(window->isVisible());
}

} // namespace

namespace {

class Trash : public Commands {
  protected:
    void SetUp() override {
        Commands::SetUp();
        oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.file("share")));
        QVector<TrackEntry> rows;
        for (const char* name : {"x.wav", "y.wav", "z.wav"}) {
            TrackEntry row;
            row[kv::playlists::ColFile] = name;
            row[kv::playlists::ColKind] = "wav";
            row[kv::playlists::ColPath] =
                QString::fromStdString(kvtest::MakeWave(folderFiles.file(name), 1, 22050, 1));
            rows.push_back(row);
        }
        window->Lists().Tracks().ListView(0).AppendRows(rows);
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text + u'|' + r.title;
            return answer;
        });
    }
    void TearDown() override {
        if (oldData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", oldData);
        Commands::TearDown();
    }
    bool Exists(const char* name) const {
        return QFileInfo::exists(QString::fromStdString(folderFiles.file(name)));
    }

    kvtest::TempDir home;
    kvtest::TempDir folderFiles;
    QByteArray oldData;
    kv::platform::MsgAnswer answer = kv::platform::MsgAnswer::Yes;
};

TEST_F(Trash, SeveralFilesAreAskedAboutByCountAndThePlayingFileStays) {
    window->OpenTrack(QString::fromStdString(folderFiles.file("y.wav")));
    ASSERT_EQ(Playing(), "y.wav");
    window->Lists().Tracks().ListView(0).SelectOnly({0, 1, 2});
    Trigger("IDMGoToTrash");
    EXPECT_EQ(messages, QStringList{"3個のファイルをごみ箱に移してもよろしいですか？|ファイルの削除の確認"});
    EXPECT_FALSE(Exists("x.wav"));
    EXPECT_TRUE(Exists("y.wav"));
    EXPECT_FALSE(Exists("z.wav"));
}

TEST_F(Trash, OneFileIsAskedAboutByNameAndNoKeepsIt) {
    answer = kv::platform::MsgAnswer::No;
    window->Lists().Tracks().ListView(0).SelectOnly({2});
    Trigger("IDMGoToTrash");
    EXPECT_EQ(messages, QStringList{"「z.wav」をごみ箱に移してもよろしいですか？|ファイルの削除の確認"});
    EXPECT_TRUE(Exists("z.wav"));
}

TEST_F(Trash, ListRepairWithAnEmptyListSaysSo) {
    window->Lists().Tracks().ListView(1).Clear();
    Trigger("IDMWriteEmptyCell");
    EXPECT_EQ(messages, QStringList{"リストに曲がありません。|Kavetto"});
    EXPECT_TRUE(window->Controls().timer1->isActive());
}

} // namespace
