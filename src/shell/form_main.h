// The main window: menus, toolbar, the display row, the position bar, the panes and the timers.
// It owns the controls; start-up and shutdown run through InitializeMainWindow and
// ShutdownMainWindow. Everything happens on the UI thread.
#pragma once
#include "display/volume_memory.h"
#include "playback/play_control.h"
#include "playback/player_host.h"
#include "playlists/track_list.h"
#include "playlists/track_list_host.h"
#include "shell/layout.h"
#include "shell/program_state.h"
#include "shell/settings.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;
class QAbstractItemView;
class QFrame;

namespace kv::playback {
struct StandardBackends;
class CSoundPlay;
} // namespace kv::playback
namespace kv::playlists {
class TrackView;
class ListOfLists;
} // namespace kv::playlists
namespace kv::display {
class CProgressBar;
class CPanelView;
class DisplayModes;
} // namespace kv::display
namespace kv::browser {
class CTreeView;
class TreeImageList;
} // namespace kv::browser
namespace kv::playback {
class StartEndPositions;
}
namespace kv::tools {
class FormEqualizer;
class FormWords;
} // namespace kv::tools

namespace kv::shell {

// The maker's home page and mail address, shown in the about window.
inline constexpr char kHomePage[] = "https://kavetto.invalid/";
inline constexpr char kMailAddress[] = "kavetto@kavetto.invalid";

class PrevButtonServer;
class TrayIcon;
class ListsHost;
class BarsHost;
class MarksHost;
class TreeHostAdapter;
class MediaWindows;
class DisplayGlue;

class FormMain : public QMainWindow,
                 public playback::PlayerHost,
                 public playback::PlayControlHost,
                 public playlists::TrackListHost {
    Q_OBJECT
  public:
    explicit FormMain(QWidget* parent = nullptr);
    ~FormMain() override;

    // Start-up; `advance` grows the splash progress by the amounts of each step.
    void InitializeMainWindow(const QString& commandLine, std::function<void(int)> advance);
    // Returns false when the user cancelled the save question (the window stays open).
    bool ShutdownMainWindow(bool askQuestion = true);
    // True once ShutdownMainWindow has saved everything and let the engine go.
    bool ShutdownDone() const { return shutdownDone_; }
    // Closes as the sleep timer's shutdown does: no question, settings saved, working copies gone.
    void CloseWithoutQuestion();
    // The end of the desktop session (SIGTERM, SIGINT): as above, but changed lists are saved,
    // since nobody is there to be asked.
    void CloseKeepingListChanges();

    void OpenTrack(const QString& path);
    // Tray notifications (513 left down, 515 double click, 516 right down).
    void TrayMessage(int message);
    void BringToFront();
    TrayIcon* Tray() const { return tray_; }
    void PrevButtonClick();

    // Controls, by the names the rest of the program uses.
    QAction* Item(const QString& name) const; // a menu item, e.g. "IDMplay"
    QMenu* Menu(const QString& name) const;   // a menu, e.g. "IDMkakusi"
    QAction* ForeColorItem(int index) const { return IDMForeColor.at(index); }
    QAction* PanelBarItem(int index) const { return IDMPanelBar.at(index - 1); }
    QAction* ToolButton(int index) const { return toolActions_.at(index - 1); } // 1..13
    QString ToolButtonImageKey(int index) const;
    void SetToolButtonImageKey(int index, const QString& key);
    QComboBox* ListOfList() const { return listOfList_; }
    playlists::TrackView* ListView(int index) const { return listViews_.at(index); }
    playlists::TrackList& Tracks() { return tracks_; }
    playback::CSoundPlay* Device() const { return device_.get(); }
    playback::PlayControl* Play() const { return play_.get(); }
    int ActiveView() const { return tracks_.State().ActiveView; }
    playlists::ListOfLists& Lists() const { return *lists_; }
    display::CProgressBar& CProgBar() const { return *progBar_; }
    display::CProgressBar& CVolume() const { return *volumeBar_; }
    playback::StartEndPositions& Positions() const { return *positions_; }
    browser::CTreeView& ExplorTree() const { return *explorTree_; }
    display::VolumeMemory& ListVol() { return listVol_; }
    // The full path of the selected row of a view, or of the active view ("" when none).
    QString SelectedPath(int view) const;
    QString ActiveViewSelectedPath() const;
    // Display colour i (0 picks one at random) on the labels, the panel and the bars.
    void ApplyPanelColor(int index);
    QPushButton* ToolBarBack(int index) const { return toolBarBack_.at(index - 1); }
    QPushButton* PrevButton() const { return prevButton_; }
    QTimer* Timer1() const { return timer1_; }
    QTimer* Timer2() const { return timer2_; }
    QTimer* Timer3() const { return timer3_; }
    QLabel* ImageTimer() const { return imageTimer_; }
    QLabel* LabelTimer() const { return labelTimer_; }
    QLabel* BackGndLabel() const { return backGndLabel_; }
    // True while the sleep timer counts down.
    bool SleepTimerRunning() const;
    // Tool windows (form_main_tools.cpp).
    void ShowEqualizer();
    void ShowTagEditor();
    // A folder was renamed: the player device and the playing row follow a track under it, so
    // the next play finds the file. Other rows are left as they are.
    void FollowRenamedFolder(const QString& from, const QString& to);
    void LoadLyrics(const QString& path = QString()) override;
    tools::FormEqualizer* Equalizer() const { return formEqualizer_; }
    tools::FormWords* Words() const { return formWords_; }
    // The visualizer, the LCD shutter and stealth mode (form_main_display.cpp).
    display::CPanelView& PanelView() const { return *panelView_; }
    QWidget* PPanel() const { return pPanel_; }
    QPushButton* SList() const { return sList_; }
    QScrollBar* HScroll1() const { return hScroll1_; }
    void ToggleShutter();
    void ToggleStealth();
    void StealthTick();
    void ToggleStealthHeight();
    // The LCD panel's text as a screen reader reads it: the four information texts and the time.
    QString PanelText() const;
    // Where Timer2 reads the pointer (screen pixels); tests give their own.
    void SetPointerSource(std::function<QPoint()> source);
    ProgramState& State() { return state_; }
    const QString& LastOpenedTrack() const { return lastOpenedTrack_; }
    QString HandOffName() const;

    void ToggleExplorerPane();
    const MainLayout& Layout() const { return layout_; }
    // A separator dragged and let go at a point of the screen.
    void DragSeparator(int which, const QPoint& globalDropPos);

    // Twips of the client area (ScaleWidth, ScaleHeight).
    int ScaleWidth() const;
    int ScaleHeight() const;

    // PlayerHost
    void EnableToolbarButton(int index, bool enabled) override;
    void SetPositionBar(double seconds) override;
    void SetTimer1Enabled(bool on) override;
    void SetTimer3Enabled(bool on) override;
    void StartVisualizer() override;
    void StopVisualizer() override;
    void SetBusyCursor(bool busy) override;
    void OnTrackLoaded() override;
    void OnTrackFailed() override;
    void LoadMediaWindow() override;
    void ShowMediaWindow(bool show) override;
    void ShowRealWindow(bool show) override;

    // Media windows W and Y (form_main_media.cpp). True while either shows a video; the lyrics
    // window stays hidden then.
    bool MediaWindowVisible() const;
    MediaWindows& Media();
    QVector<display::CProgressBar*> MediaVolumeBars();
    void UnloadMediaWindows();
    // IDMWriteEmptyCell: the list repair (form_main_repair.cpp).
    void RepairList();

    // PlayControlHost
    playback::PlayMode Mode() const override;
    bool PositionBarDragging() const override;
    void ReadTrackVolume(const QString& path) override;
    int StoredVolume(const QString& path) const override;
    std::pair<QString, QString> StoredMarks(const QString& path) const override;
    void PlaceMarkers(double start, double end, double duration) override;
    void RandomColourIfChecked() override;
    QString SelectedListName() const override;
    void ShowInfoLabels(const std::array<QString, 4>& texts) override;
    void SetCaption(const QString& caption) override;
    void SetTimersEnabled(bool on) override;
    void SetPositionBarMax(int seconds) override;
    void SetPositionBarValue(int seconds) override;
    void PrepareMediaWindows(bool decoderFile) override;
    void MediaWindowPositions(int seconds) override;

    // TrackListHost
    void PlaySelected() override;
    QString PlayingFileName() const override;
    void DeviceOpen(const QString& path) override;
    void SetTrackInformation(const QStringList& fourTexts) override;
    void ShowInfoLabels(const QStringList& fourTexts) override;
    void ResetInfoLabelTick() override;
    void ClickToolBarBack(int button) override;
    void ChangeVolumeBar(int delta) override;
    void SetEncodeMenuVisible(bool visible) override;
    void ShowPopupMenu(int view, const QPoint& globalPos) override;
    void ShowProperties(const QString& path) override;
    bool MayFillFolderView() const override;
    QString FolderTreePath() const override;
    void SetFolderTreePath(const QString& folder) override;
    void GoToFolderOf(const QString& filePath) override;
    void FolderTreeUp() override;
    void RefreshFolderTree() override;
    int ListOfListCount() const override;
    QString ListOfListText() const override;
    void SaveWorkingCopy(const QString& listName) override;
    void SetSaveButtonImage(const QString& key) override;
    void MoveToRecycleBin(const QStringList& paths) override;

    // Commands of the main window, by the operation they run.
    void PlayButton();       // toolbar 1: the selected row when nothing is loaded
    void PlayPauseCommand(); // IDMplay: pause while playing, otherwise play or resume
    void NextCommand();      // random pick in random mode
    void SendSelectionToRecycleBin();

  signals:
    // The LCD panel told a screen reader of a new track, once per track (tests watch it: Qt sends
    // accessibility events only while a reader listens).
    void TrackAnnounced();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    friend class ListsHost;
    friend class BarsHost;
    friend class MarksHost;
    friend class TreeHostAdapter;
    friend class MediaWindows;
    friend class RepairHostAdapter;
    friend class DisplayGlue;
    void BuildDisplay();
    void AttachPanelView();
    void PlaceDisplayRow();
    void LayoutStealth();
    void SyncBackGndLabel();
    void BuildMenus();
    void BuildToolBar();
    void BuildControls();
    void ConnectCommands();
    void ApplyWindowGeometry();
    void KeepNormalGeometry();
    // The normal-state geometry in twips, the stored twips where they still fit the window.
    WindowGeometryValues NormalGeometryTwips() const;
    void KeepFocusOnActiveList();
    void ApplyColumnSettings(const ColumnSettings& view0, const ColumnSettings& view1);
    ColumnSettings CollectColumnSettings(int view) const;
    void LoadSettings(const std::function<void(int)>& advance);
    SettingsSnapshot CollectSettings() const;
    // Layout of the controls, kept in twips in layout_ and applied to the widgets.
    void InitialArrangement();
    void LayoutMainWindow();
    void ArrangePanes(double s1, double s2);
    void ApplyLayout();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void DropSeparator(QWidget* separator, const QPoint& globalPos);
    void CheckPlayMode(QAction* chosen);
    void CheckForeColor(int index);
    void SetBarType(int type);
    void ShowHelp();
    void ShowAbout();
    void ConnectToolCommands();
    void CloseToolWindows();
    // Names, focus order and keys for screen readers and the keyboard (form_main_access.cpp).
    void MakeAccessible();
    void AnnounceTrack();

    QAction* AddItem(QMenu* menu, const QString& name, const QString& caption,
                     const QKeySequence& shortcut = {});
    QMenu* AddMenu(QMenu* parent, const QString& name, const QString& caption);

    ProgramState state_;
    QMap<QString, QAction*> items_;
    QMap<QString, QMenu*> menus_;
    std::array<QAction*, 9> IDMForeColor{};
    std::array<QAction*, 5> IDMPanelBar{};
    QActionGroup* playModeGroup_ = nullptr;

    QToolBar* toolBar_ = nullptr;
    std::array<QAction*, 13> toolActions_{};
    std::array<QString, 13> toolImageKeys_;
    QMenu* saveListMenu_ = nullptr;
    QComboBox* listOfList_ = nullptr;

    QWidget* central_ = nullptr;
    QWidget* volume_ = nullptr;
    QFrame* pPanelBack_ = nullptr;
    QWidget* pPanel_ = nullptr;
    std::array<QLabel*, 8> labelTitle_{};
    std::array<QLabel*, 4> labelInfo_{};
    QLabel* labelCurTime_ = nullptr;
    QLabel* backGndLabel_ = nullptr;
    QLabel* imageTimer_ = nullptr;
    QLabel* labelTimer_ = nullptr;
    QFrame* progBackPicture_ = nullptr;
    QWidget* progPicture_ = nullptr;
    QLabel* startPos_ = nullptr;
    QLabel* endPos_ = nullptr;
    QTreeView* expTree_ = nullptr;
    QWidget* separator1_ = nullptr;
    QWidget* separator2_ = nullptr;
    playlists::TrackList tracks_;
    std::array<playlists::TrackView*, 3> listViews_{};
    std::unique_ptr<playback::StandardBackends> backends_;
    std::unique_ptr<playback::CSoundPlay> device_;
    std::unique_ptr<playback::PlayControl> play_;
    display::VolumeMemory listVol_;
    std::unique_ptr<ListsHost> listsHost_;
    std::unique_ptr<BarsHost> barsHost_;
    std::unique_ptr<MarksHost> marksHost_;
    std::unique_ptr<playlists::ListOfLists> lists_;
    std::unique_ptr<display::CProgressBar> progBar_;
    std::unique_ptr<display::CProgressBar> volumeBar_;
    std::unique_ptr<playback::StartEndPositions> positions_;
    std::unique_ptr<TreeHostAdapter> treeHost_;
    std::unique_ptr<browser::TreeImageList> explorImageList_;
    std::unique_ptr<browser::CTreeView> explorTree_;
    std::unique_ptr<MediaWindows> mediaWindows_;
    QPushButton* sList_ = nullptr;
    std::array<QPushButton*, 5> toolBarBack_{};
    QPushButton* prevButton_ = nullptr;
    QScrollBar* hScroll1_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    QTimer* timer3_ = nullptr;
    tools::FormEqualizer* formEqualizer_ = nullptr;
    tools::FormWords* formWords_ = nullptr;
    std::unique_ptr<display::CPanelView> panelView_;
    std::unique_ptr<DisplayGlue> displayGlue_;
    std::unique_ptr<display::DisplayModes> displayModes_;

    MainLayout layout_;
    MarkerPositions markers_; // what StartPos and EndPos show
    double separatorDragStart_ = 0;
    PrevButtonServer* handOff_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QString lastOpenedTrack_;
    QString handOffFileName_;
    bool shutdownDone_ = false;
    bool askOnClose_ = true;
    bool closeAfterStartUp_ = false;
    bool saveListsOnClose_ = false;
    QRect normalRect_; // the geometry of the last move or resize in the normal state
    QString announcedTrack_; // the file the LCD panel last announced
};

} // namespace kv::shell
