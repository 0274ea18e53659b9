// The main window: the menus, the toolbar, the display row, the position bar and the panes, laid
// out; the commands wired to the parts that run them; start-up and shutdown in their order.
// The parts are the player (MainPlayer), the track lists (MainLists), the display row and its
// modes (MainDisplay), the folder tree (MainTree) and the tool windows (MainTools). Everything
// happens on the UI thread.
#pragma once
#include "shell/layout.h"
#include "shell/main_controls.h"
#include "shell/program_state.h"
#include "shell/settings.h"

#include <QMainWindow>
#include <functional>
#include <memory>

namespace kv::shell {

class PrevButtonServer;
class TrayIcon;
class MainPlayer;
class MainLists;
class MainDisplay;
class MainTree;
class MainTools;
class MarkerPlacement;

class FormMain : public QMainWindow {
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
    QString HandOffName() const;

    // The parts of the window, and its controls by the names the rest of the program uses.
    MainControls& Controls() { return controls_; }
    MainPlayer& Player() const { return *player_; }
    MainLists& Lists() const { return *lists_; }
    MainDisplay& Display() const { return *display_; }
    MainTree& Tree() const { return *tree_; }
    MainTools& Tools() const { return *tools_; }
    QAction* Item(const QString& name) const { return controls_.Item(name); }
    QMenu* Menu(const QString& name) const { return controls_.Menu(name); }
    ProgramState& State() { return state_; }

    void ToggleExplorerPane();
    const MainLayout& Layout() const { return layout_; }
    // A separator dragged and let go at a point of the screen.
    void DragSeparator(int which, const QPoint& globalDropPos);
    // Twips of the client area (ScaleWidth, ScaleHeight).
    int ScaleWidth() const;
    int ScaleHeight() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenus();
    void ConnectRoles();
    void ConnectCommands();
    void ApplyWindowGeometry();
    void KeepNormalGeometry();
    // The normal-state geometry in twips, the stored twips where they still fit the window.
    WindowGeometryValues NormalGeometryTwips() const;
    void LoadSettings(const std::function<void(int)>& advance);
    SettingsSnapshot CollectSettings() const;
    // Layout of the controls, kept in twips in layout_ and applied to the widgets.
    void InitialArrangement();
    void LayoutMainWindow();
    void ArrangePanes(double s1, double s2);
    void ApplyLayout();
    void DropSeparator(const QPoint& globalPos);
    void CheckPlayMode(QAction* chosen);
    // Names, focus order and keys for screen readers and the keyboard (form_main_access.cpp).
    void MakeAccessible();

    QAction* AddItem(QMenu* menu, const QString& name, const QString& caption,
                     const QKeySequence& shortcut = {});
    QMenu* AddMenu(QMenu* parent, const QString& name, const QString& caption);

    ProgramState state_;
    MainControls controls_;
    MainLayout layout_;
    std::unique_ptr<MarkerPlacement> marks_;
    std::unique_ptr<MainLists> lists_;
    std::unique_ptr<MainTree> tree_;
    std::unique_ptr<MainPlayer> player_;
    std::unique_ptr<MainDisplay> display_;
    std::unique_ptr<MainTools> tools_;

    double separatorDragStart_ = 0;
    PrevButtonServer* handOff_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QString handOffFileName_;
    bool shutdownDone_ = false;
    bool askOnClose_ = true;
    bool closeAfterStartUp_ = false;
    bool saveListsOnClose_ = false;
    QRect normalRect_; // the geometry of the last move or resize in the normal state
};

} // namespace kv::shell
