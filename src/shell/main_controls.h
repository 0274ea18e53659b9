// The main window's controls, by the names the rest of the program uses. The window makes them and
// Qt's parent chain owns them; the parts of the window place, fill and read them, but never make
// or delete one. UI thread only.
#pragma once
#include "shell/settings.h"

#include <QMap>
#include <QString>
#include <array>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;
class QToolBar;
class QTreeView;
class QWidget;

namespace kv::playlists {
class TrackList;
class TrackView;
} // namespace kv::playlists

namespace kv::shell {

struct MainControls {
    // The display row, the position bar, the panes and the hidden controls on the window's client
    // area, then the toolbar (the menus come first: the toolbar's menu leads to their items).
    void MakeControls(QMainWindow& window, playlists::TrackList& tracks);
    void MakeToolBar(QMainWindow& window);

    QAction* Item(const QString& name) const { return items.value(name); }             // e.g. "IDMplay"
    QMenu* Menu(const QString& name) const { return menus.value(name); }               // e.g. "IDMkakusi"
    QAction* ToolButton(int index) const { return toolActions.at(size_t(index - 1)); } // 1..13
    QString ToolButtonImageKey(int index) const { return toolImageKeys.at(size_t(index - 1)); }
    void SetToolButtonImageKey(int index, const QString& key);
    void EnableToolButton(int index, bool enabled);
    void ClickToolBarBack(int button); // the hidden buttons 1..5 the keys and other windows press
    bool Checked(const char* item) const;
    // The checks of the play menu, the colour menu (kNoForeColorItem when none) and the panel types.
    PlayModeChecks PlayModes() const;
    void SetPlayModes(const PlayModeChecks& modes);
    int CheckedForeColor() const;
    int CheckedBarType() const; // 2 when none is checked
    // Names for screen readers in the program's own words, and a focus order that follows the layout.
    void NameForReaders();

    QMap<QString, QAction*> items;
    QMap<QString, QMenu*> menus;
    std::array<QAction*, 9> foreColor{}; // IDMForeColor(0..8)
    std::array<QAction*, 5> panelBar{};  // IDMPanelBar(1..5)

    QToolBar* toolBar = nullptr;
    std::array<QAction*, 13> toolActions{};
    std::array<QString, 13> toolImageKeys;
    QComboBox* listOfList = nullptr;

    QWidget* central = nullptr;
    QWidget* volume = nullptr;
    QFrame* pPanelBack = nullptr;
    QWidget* pPanel = nullptr;
    std::array<QLabel*, 8> labelTitle{};
    std::array<QLabel*, 4> labelInfo{};
    QLabel* labelCurTime = nullptr;
    QLabel* backGndLabel = nullptr;
    QLabel* imageTimer = nullptr;
    QLabel* labelTimer = nullptr;
    QFrame* progBackPicture = nullptr;
    QWidget* progPicture = nullptr;
    QLabel* startPos = nullptr;
    QLabel* endPos = nullptr;
    QTreeView* expTree = nullptr;
    QWidget* separator1 = nullptr;
    QWidget* separator2 = nullptr;
    std::array<playlists::TrackView*, 3> listViews{};
    QPushButton* sList = nullptr;
    std::array<QPushButton*, 5> toolBarBack{};
    QPushButton* prevButton = nullptr;
    QScrollBar* hScroll1 = nullptr;
    QTimer* timer1 = nullptr; // the clock, once a second
    QTimer* timer2 = nullptr; // stealth mode's pointer watch
    QTimer* timer3 = nullptr; // the visualizer's frames
};

} // namespace kv::shell
