// Start-up and shutdown of the main window, the hand-off click and the commands of the window
// itself.
#include "browser/ctree_view.h"
#include "display/panel_view.h"
#include "display/progress_bar.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/program_folder.h"
#include "platform/window_box.h"
#include "playback/sound_play.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_view.h"
#include "shell/focus_to_list.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/mpris.h"
#include "shell/shell_services.h"
#include "shell/timer_encode.h"
#include "shell/single_instance.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace kv::shell {
using platform::ReadSetting;
using platform::WriteSetting;

namespace {

ScreenTwips ScreenSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize size = screen ? screen->size() : QSize(1024, 768);
    return {PixelsToTwips(size.width()), PixelsToTwips(size.height())};
}
} // namespace

QString FormMain::HandOffName() const {
    return handOff_ ? handOff_->Name() : QString();
}

void FormMain::InitializeMainWindow(const QString& commandLine, std::function<void(int)> advance) {
    if (!advance) advance = [](int) {};
    // 1
    state_.Initializing = true;
    const QString ini = platform::SettingsFile();
    advance(2);
    // 2, 3: the player device, the engine and the bars
    player_->Start();
    advance(2);
    display_->AttachPanelView();
    advance(2);
    // 4
    setWindowTitle(ProgramCaption());
    // 5, 6
    state_.WindowGeometry = ReadWindowGeometry(ini, ScreenSize());
    ApplyWindowGeometry();
    advance(2);
    if (state_.WindowGeometry.maximized) setWindowState(windowState() | Qt::WindowMaximized);
    advance(1);
    // 7
    display_->CheckForeColor(ReadForeColor(ini));
    advance(1);
    // 8
    InitialArrangement();
    for (int i = 1; i <= 13; ++i)
        controls_.SetToolButtonImageKey(i, controls_.ToolButtonImageKey(i));
    controls_.SetToolButtonImageKey(12, QStringLiteral("notsave"));
    controls_.EnableToolButton(2, false);
    controls_.EnableToolButton(3, false);
    Menu(QStringLiteral("IDMkakusi"))->menuAction()->setVisible(false);
    advance(2);
    // 9
    state_.ShutterClosed = false;
    if (ReadShutter(ini)) display_->ToggleShutter();
    controls_.toolActions[6]->setChecked(!state_.ShutterClosed);
    Item(QStringLiteral("IDMshutter"))->setChecked(!state_.ShutterClosed);
    advance(2);
    // 10
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
    // The splash lets events run at every step; painting the window there over again as each
    // step changes it cost more than the steps. It is painted once, when start-up is over.
    setUpdatesEnabled(false);
    show();
    advance(2);
    // 11
    tray_ = new TrayIcon([this](int message) { TrayMessage(message); }, this);
    tray_->AddTrayIcon(windowIcon(), QStringLiteral("Kavetto"));
    advance(2);
    // 12
    state_.SeparatorPositions = ReadSeparators(ini);
    layout_.separator1.left = int(state_.SeparatorPositions.sep1);
    layout_.separator2.left = int(state_.SeparatorPositions.sep2);
    LayoutMainWindow();
    advance(2);
    // 13
    for (auto& text : state_.TrackInfoStrings)
        text = QStringLiteral("-----");
    advance(3);
    // 14, 15: the lists of the folder and their working copies
    lists_->ListOfLists().StartUp();
    advance(3);
    advance(3);
    // 16
    player_->CVolume().LoadVolume();
    advance(3);
    // 17
    LoadSettings(advance);
    advance(3);
    // 18: the visualizer's idle panel
    display_->StopVisualizer();
    display_->PanelView().DrawPanel();
    advance(2);
    // 19: a path may contain blanks, so the whole command line is the file.
    if (!commandLine.isEmpty() && platform::FileExists(commandLine)) OpenTrack(commandLine);
    // 20
    handOff_ = new PrevButtonServer(
        [this](const QString& fileName) {
            handOffFileName_ = fileName;
            controls_.prevButton->click();
            handOffFileName_.clear();
        },
        this);
    if (handOff_->Listen(HandOffServerName(platform::ProgramFolder())))
        WriteSetting(QStringLiteral("PrevInstance"), QStringLiteral("hWnd"), handOff_->Name(), ini);
    advance(2);
    // 21
    if (ReadExplorerShown(ini)) {
        state_.ExplorerShown = false;
        ToggleExplorerPane();
    }
    advance(100);
    // 22
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    setUpdatesEnabled(true);
    controls_.listViews[size_t(lists_->ActiveView())]->setFocus();
    // After the bars have their own filters, so this one comes first.
    const MainControls& c = controls_;
    KeepFocusOnList(this, [this]() -> QWidget* { return controls_.listViews[size_t(lists_->ActiveView())]; },
                    {c.pPanelBack, c.pPanel, c.progBackPicture, c.progPicture, c.volume, c.toolBarBack[0],
                     c.toolBarBack[1], c.toolBarBack[2], c.toolBarBack[3], c.toolBarBack[4]});
    controls_.timer1->start();
    state_.Initializing = false;
    if (closeAfterStartUp_)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    else // the desktop's media keys can wait until the window is up
        QTimer::singleShot(0, this, [this] { StartMpris(*this); });
}

void FormMain::ApplyWindowGeometry() {
    const auto& g = state_.WindowGeometry;
    platform::PlaceWindow(*this, {TwipsToPixels(g.left), TwipsToPixels(g.top), TwipsToPixels(g.width),
                                  TwipsToPixels(g.height)});
}

void FormMain::LoadSettings(const std::function<void(int)>& advance) {
    const QString ini = platform::SettingsFile();
    platform::SettingsBatch batch(ini); // one read of the file for all of its keys
    ColumnSettings view0 = lists_->CollectColumnSettings(0), view1 = lists_->CollectColumnSettings(1);
    ReadColumnSettings(ini, view0, view1);
    advance(1);
    lists_->ApplyColumnSettings(view0, view1);
    advance(3);
    lists_->OpenInitialList(ReadInitialList(ini));
    advance(5);
    controls_.SetPlayModes(ReadPlayModes(ini, controls_.PlayModes()));
    Item("IDMwords")->setChecked(ReadWordsChecked(ini));
    display_->SetBarType(ReadBarType(ini));
    advance(3);
    state_.StealthSize = ReadStealthSize(ini);
    advance(3);
    state_.MovieWindowGeometry = ReadWindowBox(ini, QStringLiteral("Movie"), ScreenSize());
    advance(3);
    state_.WordsWindowGeometry = ReadWindowBox(ini, QStringLiteral("Words"), ScreenSize());
    state_.ConversionSaveFolder = ReadConversionFolder(ini);
}

SettingsSnapshot FormMain::CollectSettings() const {
    SettingsSnapshot s;
    // In stealth mode the window is the strip; the normal box was put aside on entering it.
    s.window = state_.StealthActive ? state_.WindowGeometry : NormalGeometryTwips();
    s.separators = state_.SeparatorPositions;
    s.treeBuilt = state_.TreeBuilt;
    s.treePath = tree_->ExplorTree().Path();
    s.initialList = controls_.listOfList->currentText();
    s.view0 = lists_->CollectColumnSettings(0);
    s.view1 = lists_->CollectColumnSettings(1);
    s.playModes = controls_.PlayModes();
    s.wordsChecked = controls_.Checked("IDMwords");
    s.foreColor = controls_.CheckedForeColor();
    s.barType = controls_.CheckedBarType();
    s.shutterClosed = state_.ShutterClosed;
    s.explorerShown = state_.ExplorerShown;
    s.stealthSize = state_.StealthSize;
    s.conversionFolder = state_.ConversionSaveFolder;
    s.movieWindow = state_.MovieWindowGeometry;
    s.wordsWindow = state_.WordsWindowGeometry;
    return s;
}

bool FormMain::ShutdownMainWindow(bool askQuestion) {
    if (shutdownDone_) return true;
    // 1
    playlists::ListOfLists& lists = lists_->ListOfLists();
    if (askQuestion && lists.AskSaveChanges() == 1) return false;
    if (!askQuestion && saveListsOnClose_) lists.SaveChangesWithoutAsking();
    // 2
    state_.Closing = true;
    tools_->CloseToolWindows();
    // In stealth mode the window is never maximised: the flag kept on entering it holds.
    if (!state_.StealthActive) state_.WindowGeometry.maximized = isMaximized();
    if (isMinimized() || isMaximized()) showNormal();
    // 3
    player_->UnloadMediaWindows();
    hide();
    // 4: playing stops, and the output volume found at start-up comes back. However the program
    // ends (the desktop session, a signal, the sleep timer), a conversion cut short leaves no
    // hidden partial file in the user's folder.
    player_->Stop();
    tools_->CutConversionShort();
    // 5
    if (tray_) tray_->RemoveTrayIcon();
    // 7
    const QString folder = platform::ProgramFolder();
    kv::shell::SaveSettings(CollectSettings(), platform::SettingsFile());
    player_->CVolume().SaveVolume();
    lists.ShutDown();
    // 8, 9
    player_->Release();
    controls_.timer1->stop();
    controls_.timer2->stop();
    controls_.timer3->stop();
    // A copy started from now on starts on its own instead of handing its file to this one.
    delete handOff_;
    handOff_ = nullptr;
    shutdownDone_ = true;
    return true;
}

void FormMain::CloseWithoutQuestion() {
    askOnClose_ = false;
    // A signal that arrives while the window is still being built (the splash lets events run)
    // closes it once start-up is over, from the event loop.
    if (state_.Initializing) {
        closeAfterStartUp_ = true;
        return;
    }
    close();
}

void FormMain::CloseKeepingListChanges() {
    saveListsOnClose_ = true;
    CloseWithoutQuestion();
}

void FormMain::closeEvent(QCloseEvent* event) {
    if (!ShutdownMainWindow(askOnClose_)) {
        askOnClose_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void FormMain::TrayMessage(int message) {
    switch (message) {
    case kTrayLeftDown:
        if (!state_.StealthActive) BringToFront();
        break;
    case kTrayDoubleClick:
        if (state_.StealthActive) {
            display_->ToggleStealth();
            BringToFront();
        } else if (isMinimized()) {
            showNormal();
            BringToFront();
            Item(QStringLiteral("IDMMinMax"))->setEnabled(false);
        }
        break;
    case kTrayRightDown:
        Item(QStringLiteral("IDMMinMax"))->setEnabled(isMinimized() || state_.StealthActive);
        QCoreApplication::processEvents();
        Menu(QStringLiteral("IDMTaskIcon"))->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

void FormMain::BringToFront() {
    raise();
    activateWindow();
}

void FormMain::PrevButtonClick() {
    QString fileName =
        ReadSetting(QStringLiteral("PrevInstance"), QStringLiteral("FileName"), platform::SettingsFile());
    // The stored name is cut at 255 bytes; the click carries the whole of it.
    if (handOffFileName_.size() > fileName.size() && handOffFileName_.startsWith(fileName))
        fileName = handOffFileName_;
    OpenTrack(fileName);
}

void FormMain::OpenTrack(const QString& path) {
    lists_->OpenTrack(path);
}

} // namespace kv::shell
