// Placing the main window's controls: the layout arithmetic of shell/layout.h applied to the
// widgets, the separators' drag and drop, and showing or hiding the folder tree pane.
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tree.h"
#include "shell/marker_placement.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QToolBar>
#include <QTreeView>

namespace kv::shell {
namespace {
void Place(QWidget* w, const TwipRect& r) {
    if (!w) return;
    // A control that cannot take the size (negative in a tiny window) keeps its old one.
    if (r.width < 0 || r.height < 0) return;
    w->setGeometry(TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width),
                   TwipsToPixels(r.height));
}
} // namespace

void FormMain::InitialArrangement() {
    MainLayout& l = layout_;
    l.scaleWidth = ScaleWidth();
    l.scaleHeight = ScaleHeight();
    // The buttons must be polished (their style decides their size) and laid out before the last
    // one's left edge can be read.
    controls_.toolBar->ensurePolished();
    controls_.toolBar->resize(controls_.toolBar->sizeHint());
    const QSize toolSize = controls_.toolBar->sizeHint();
    if (controls_.toolBar->layout()) {
        controls_.toolBar->layout()->activate();
        controls_.toolBar->layout()->setGeometry(QRect(QPoint(0, 0), toolSize)); // places the buttons now
    }
    l.toolBar = {0, 0, PixelsToTwips(toolSize.width()), PixelsToTwips(toolSize.height())};
    QWidget* last = controls_.toolBar->widgetForAction(controls_.toolActions[12]);
    l.lastButtonLeft = last && last->x() > 0 ? PixelsToTwips(last->x()) : l.toolBar.width;
    l.listOfList.top = std::max(0, (l.toolBar.height - l.listOfList.height) / 2);
    l.volume.width = 360;
    // Design sizes of the display row and the position-bar row.
    l.progBackPicture = {0, l.toolBar.Bottom() + 30 + 1200, 0, 330};
    l.labelCurTime = {60, 30, 1500, 270};
    l.progPicture = {0, 30, 0, 270};
    l.startPos = {0, 0, 900, 240};
    l.endPos = {0, 0, 600, 240};
    l.tree.left = 0;
    l.view0.left = l.separator1.left + kSeparatorWidth;
    l.view1.left = state_.ExplorerShown ? l.separator2.left + kSeparatorWidth : 0;
    kv::shell::InitialArrangement(l);
    // The resize layout gives the position bar its width, and the end marker its place on it.
    LayoutMainWindow();
}

void FormMain::LayoutMainWindow() {
    // The list box stands where the toolbar's last button is now, once the toolbar has placed
    // its buttons: leaving stealth mode shows four of them again, and the last one moves right.
    if (controls_.toolBar->layout()) controls_.toolBar->layout()->activate();
    if (QWidget* last = controls_.toolBar->widgetForAction(controls_.toolActions[12]); last && last->x() > 0)
        layout_.lastButtonLeft = PixelsToTwips(last->x());
    if (state_.StealthActive) {
        display_->LayoutStealth(layout_);
        return;
    }
    layout_.scaleWidth = ScaleWidth();
    layout_.scaleHeight = ScaleHeight();
    kv::shell::LayoutMainWindow(layout_, layout_.separator1.left, layout_.separator2.left, marks_->Shown());
    ApplyLayout();
}

void FormMain::ArrangePanes(double s1, double s2) {
    layout_.scaleWidth = ScaleWidth();
    layout_.scaleHeight = ScaleHeight();
    kv::shell::ArrangePanes(layout_, s1, s2, state_.SeparatorPositions);
    ApplyLayout();
    controls_.listViews[size_t(lists_->ActiveView())]->setFocus();
}

void FormMain::ApplyLayout() {
    const MainLayout& l = layout_;
    // The toolbar keeps the room its own layout wants (less would fold buttons away); the list
    // box is raised over the part beyond the last button.
    Place(controls_.toolBar, {l.toolBar.left, l.toolBar.top,
                              std::max({l.toolBar.width, l.lastButtonLeft,
                                        PixelsToTwips(controls_.toolBar->sizeHint().width())}),
                              l.toolBar.height});
    Place(controls_.listOfList, l.listOfList);
    controls_.listOfList->raise();
    Place(controls_.volume, l.volume);
    Place(controls_.pPanelBack, l.pPanelBack);
    display_->PlaceDisplayRow(l.pPanelBack);
    Place(controls_.progBackPicture, l.progBackPicture);
    Place(controls_.labelCurTime, l.labelCurTime);
    Place(controls_.progPicture, l.progPicture);
    Place(controls_.startPos, l.startPos);
    Place(controls_.endPos, l.endPos);
    controls_.startPos->setText(l.startPosCaption);
    const bool explorer = state_.ExplorerShown;
    for (QWidget* w : std::initializer_list<QWidget*>{controls_.expTree, controls_.listViews[0],
                                                      controls_.separator1, controls_.separator2})
        w->setVisible(explorer);
    if (explorer) {
        Place(controls_.expTree, l.tree);
        Place(controls_.separator1, l.separator1);
        Place(controls_.separator2, l.separator2);
        Place(controls_.listViews[0], l.view0);
    }
    Place(controls_.listViews[1], l.view1);
}

void FormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    KeepNormalGeometry();
    if (layout_.toolBar.height == 0) return; // before the first arrangement
    LayoutMainWindow();
}

void FormMain::ToggleExplorerPane() {
    player_->SetTimersEnabled(false);
    if (state_.ExplorerShown) {
        controls_.toolActions[7]->setChecked(false);
        state_.ExplorerShown = false;
        layout_.view1.left = 0;
        layout_.view1.width = ScaleWidth();
        ApplyLayout();
        Item("IDMShowExplorTree")->setChecked(false);
    } else {
        controls_.toolActions[7]->setChecked(true);
        state_.ExplorerShown = true;
        ArrangePanes(layout_.separator1.left, layout_.separator2.left);
        if (!state_.TreeBuilt) {
            tree_->Build(controls_.expTree);
            state_.TreeBuilt = true;
            lists_->Tracks().FillFolderView();
        }
        Item("IDMShowExplorTree")->setChecked(true);
    }
    player_->ResumeTimers();
}

// The separators are dragged with the mouse held; where the button comes up decides, as a drop
// on the control under the pointer would.
bool FormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != controls_.separator1 && watched != controls_.separator2)
        return QMainWindow::eventFilter(watched, event);
    auto* separator = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        separatorDragStart_ = PixelsToTwips(separator->x());
        return true;
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        separator->move(controls_.central->mapFromGlobal(move->globalPosition().toPoint()).x(),
                        separator->y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        DropSeparator(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void FormMain::DragSeparator(int which, const QPoint& globalDropPos) {
    QWidget* separator = which == 1 ? controls_.separator1 : controls_.separator2;
    separatorDragStart_ = PixelsToTwips(separator->x());
    DropSeparator(globalDropPos);
}

void FormMain::DropSeparator(const QPoint& globalPos) {
    const int view0Left = layout_.view0.left;
    const int view1Left = layout_.view1.left;
    auto xIn = [&](QWidget* target) { return PixelsToTwips(target->mapFromGlobal(globalPos).x()); };
    auto inside = [&](QWidget* target) {
        return target->isVisible() && target->rect().contains(target->mapFromGlobal(globalPos));
    };
    if (inside(controls_.expTree)) {
        ArrangePanes(xIn(controls_.expTree), view1Left - 50);
        controls_.listViews[0]->setFocus();
    } else if (inside(controls_.listViews[0])) {
        const int x = view0Left + xIn(controls_.listViews[0]);
        if (separatorDragStart_ < view0Left) {
            ArrangePanes(x, view1Left - 50);
            controls_.listViews[0]->setFocus();
        } else {
            ArrangePanes(view0Left - 50, x);
            controls_.listViews[1]->setFocus();
        }
    } else if (inside(controls_.listViews[1])) {
        ArrangePanes(view0Left - 50, view1Left + xIn(controls_.listViews[1]));
        controls_.listViews[0]->setFocus();
    } else {
        ApplyLayout(); // let go elsewhere: the separator goes back
    }
}

} // namespace kv::shell
