// The main window's commands: the menus, the toolbar and the hidden buttons wired to the parts
// that run them, and what the window's own surfaces do with clicks and drops.
#include "browser/ctree_view.h"
#include "playback/positions.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tree.h"
#include "shell/shell_services.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>

namespace kv::shell {

// A right click anywhere on the window's own surfaces pops up the play-position menu.
void FormMain::contextMenuEvent(QContextMenuEvent* event) {
    Menu(QStringLiteral("IDMPlayPosition"))->popup(event->globalPos());
    event->accept();
}

void FormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() ||
        event->mimeData()->hasFormat(playlists::TrackListModel::kRowsMimeType))
        event->acceptProposedAction();
}

// A file dropped on the window opens its first file; rows dragged from a view open the
// selected row of the active view.
void FormMain::dropEvent(QDropEvent* event) {
    QString path;
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty()) path = urls.first().toLocalFile();
    if (path.isEmpty()) path = lists_->ActiveViewSelectedPath();
    event->acceptProposedAction();
    if (!path.isEmpty()) OpenTrack(path);
}

void FormMain::ConnectCommands() {
    auto on = [this](const char* name, auto&& slot) {
        connect(Item(QString::fromLatin1(name)), &QAction::triggered, this, slot);
    };
    auto tool = [this](int index, auto&& slot) {
        connect(controls_.ToolButton(index), &QAction::triggered, this, slot);
    };
    auto back = [this](int index, auto&& slot) {
        connect(controls_.toolBarBack[size_t(index - 1)], &QPushButton::clicked, this, slot);
    };
    MainPlayer* player = player_.get();
    auto withPlay = [player](void (playback::PlayControl::*op)()) {
        return [player, op] {
            if (playback::PlayControl* play = player->Play()) (play->*op)();
        };
    };

    on("IDMEnd", [this] { close(); });
    on("IDMEnd2", [this] { close(); });

    for (const char* name : {"IDMplay", "IDMPlay2", "IDMPlay3"})
        on(name, [player] { player->PlayPauseCommand(); });
    tool(1, [player] { player->PlayButton(); });
    back(1, [player] { player->PlayButton(); });
    tool(2, [player] { player->PlayPauseCommand(); });
    back(2, withPlay(&playback::PlayControl::PausePlayback));
    for (const char* name : {"IDMstop", "IDMstop2", "IDMstop3"})
        on(name, withPlay(&playback::PlayControl::StopPlayback));
    tool(3, withPlay(&playback::PlayControl::StopPlayback));
    back(3, withPlay(&playback::PlayControl::StopPlayback));
    for (const char* name : {"IDMbefore", "IDMbefore2", "IDMbefore3"})
        on(name, withPlay(&playback::PlayControl::PlayPrevious));
    tool(4, withPlay(&playback::PlayControl::PlayPrevious));
    back(4, withPlay(&playback::PlayControl::PlayPrevious));
    for (const char* name : {"IDMnext", "IDMnext2", "IDMnext3"})
        on(name, [player] { player->NextCommand(); });
    tool(5, [player] { player->NextCommand(); });
    back(5, [player] { player->NextCommand(); });
    on("IDMVolUp", [player] { player->ChangeVolumeBar(10); }); // the menu steps by 10, the keys by 2
    on("IDMVolDown", [player] { player->ChangeVolumeBar(-10); });
    for (const char* name : {"IDMGeneralPlay", "IDMContinuePlay", "IDMRandomPlay"})
        on(name, [this, name] { CheckPlayMode(Item(QString::fromLatin1(name))); });

    on("IDMShowExplorTree", [this] {
        // Checkable for its mark only; the toggle keeps the mark in step with the pane.
        Item("IDMShowExplorTree")->setChecked(state_.ExplorerShown);
        ToggleExplorerPane();
    });
    tool(8, [this] { ToggleExplorerPane(); });
    on("IDMrefresh", [this] { lists_->Tracks().RefreshLists(); });
    on("IDMrefresh2", [this] { lists_->Tracks().RefreshLists(); });
    on("IDMshufle", [this] { lists_->Tracks().ShuffleRows(lists_->ActiveView()); });
    on("IDMDeleteItem",
       [this] { lists_->Tracks().DeleteSelectedRows(playlists::TrackViews::kPlaylistView); });
    on("IDMGoToTrash", [this] { lists_->SendSelectionToRecycleBin(); });
    on("IDMMinMax", [this] {
        if (isMinimized()) showNormal();
        if (state_.StealthActive) display_->ToggleStealth();
        BringToFront();
    });
    on("IDMproperty", [this] {
        // The tree counts as focused while its own menu is open, so its menu's command is about
        // the tree's folder.
        const browser::CTreeView& tree = tree_->ExplorTree();
        const QString path = tree.ExpTreeForcus() ? tree.GetExpTreePath() : lists_->ActiveViewSelectedPath();
        if (!path.isEmpty()) lists_->ShowProperties(path);
    });

    // Lists
    playlists::ListOfLists* lists = &lists_->ListOfLists();
    on("IDMOpenFile", [lists] { lists->OpenMusicFile(); });
    on("IDMOpenList", [lists] { lists->ImportList(); });
    on("IDMnewlist", [lists] { lists->NewList(); });
    tool(11, [lists] { lists->NewList(); });
    on("IDMsave", [lists] { lists->SaveList(playlists::kSaveAllLists); });
    tool(12, [lists] { lists->SaveList(playlists::kSaveAllLists); });
    on("IDMsaveother", [lists] { lists->SaveListAs(lists->SelectedName()); });
    on("IDMRenameList", [lists] { lists->RenameList(lists->SelectedName()); });
    on("IDMDeletelist", [lists] { lists->DeleteList(lists->SelectedName()); });
    connect(controls_.listOfList, &QComboBox::activated, this, [lists] { lists->ListOfListClick(); });

    // Start and end marks
    auto withMarks = [player](void (playback::StartEndPositions::*op)()) {
        return [player, op] {
            if (player->Play()) (player->Positions().*op)();
        };
    };
    on("IDMPlayStartPos", withMarks(&playback::StartEndPositions::SetStartPosition));
    on("IDMPlayEndPos", withMarks(&playback::StartEndPositions::SetEndPosition));
    on("IDMDesartPos", withMarks(&playback::StartEndPositions::DiscardPositions));

    on("IDMPlayerhelp", [] { OpenHelpFile(); });
    on("IDMversion", [this] { ShowAboutWindow(this); });
    on("IDMGoToHomePage", [this] { CShell().ShellX(QString::fromLatin1(kHomePage), this, false); });
    connect(controls_.prevButton, &QPushButton::clicked, this, &FormMain::PrevButtonClick);
    connect(controls_.timer1, &QTimer::timeout, this, [player] {
        if (player->Play()) player->Play()->Timer1Tick();
    });
}

} // namespace kv::shell
