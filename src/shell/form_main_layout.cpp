// Placing the main window's controls: the layout arithmetic of shell/layout.h applied to the
// widgets, the separators' drag and drop, and showing or hiding the folder tree pane.
#include "browser/ctree_view.h"
#include "playlists/track_list.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

namespace kv::shell {
namespace {
void Place(QWidget* w, const TwipRect& r) {
    if (!w) return;
    // A control that cannot take the size (negative in a tiny window) keeps its old one.
    if (r.width < 0 || r.height < 0) return;
    w->setGeometry(TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width), TwipsToPixels(r.height));
}
} // namespace

void FormMain::InitialArrangement() {
    MainLayout& l = layout_;
    l.scaleWidth = ScaleWidth();
    l.scaleHeight = ScaleHeight();
    // The buttons must be polished (their style decides their size) and laid out before the last
    // one's left edge can be read.
    toolBar_->ensurePolished();
    toolBar_->resize(toolBar_->sizeHint());
    const QSize toolSize = toolBar_->sizeHint();
    if (toolBar_->layout()) {
        toolBar_->layout()->activate();
        toolBar_->layout()->setGeometry(QRect(QPoint(0, 0), toolSize)); // places the buttons now
    }
    l.toolBar = {0, 0, PixelsToTwips(toolSize.width()), PixelsToTwips(toolSize.height())};
    QWidget* last = toolBar_->widgetForAction(toolActions_[12]);
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
    // The list box stands where the toolbar's last button is now.
    if (QWidget* last = toolBar_->widgetForAction(toolActions_[12]); last && last->x() > 0)
        layout_.lastButtonLeft = PixelsToTwips(last->x());
    if (state_.StealthActive) {
        LayoutStealth();
        return;
    }
    layout_.scaleWidth = ScaleWidth();
    layout_.scaleHeight = ScaleHeight();
    kv::shell::LayoutMainWindow(layout_, layout_.separator1.left, layout_.separator2.left, markers_);
    ApplyLayout();
}

void FormMain::ArrangePanes(double s1, double s2) {
    layout_.scaleWidth = ScaleWidth();
    layout_.scaleHeight = ScaleHeight();
    kv::shell::ArrangePanes(layout_, s1, s2, state_.SeparatorPositions);
    ApplyLayout();
    listViews_[ActiveView()]->setFocus();
}

void FormMain::ApplyLayout() {
    const MainLayout& l = layout_;
    // The toolbar keeps the room its own layout wants (less would fold buttons away); the list
    // box is raised over the part beyond the last button.
    Place(toolBar_, {l.toolBar.left, l.toolBar.top,
                     std::max({l.toolBar.width, l.lastButtonLeft, PixelsToTwips(toolBar_->sizeHint().width())}),
                     l.toolBar.height});
    Place(listOfList_, l.listOfList);
    listOfList_->raise();
    Place(volume_, l.volume);
    Place(pPanelBack_, l.pPanelBack);
    PlaceDisplayRow();
    Place(progBackPicture_, l.progBackPicture);
    Place(labelCurTime_, l.labelCurTime);
    Place(progPicture_, l.progPicture);
    Place(startPos_, l.startPos);
    Place(endPos_, l.endPos);
    startPos_->setText(l.startPosCaption);
    const bool explorer = state_.ExplorerShown;
    for (QWidget* w : std::initializer_list<QWidget*>{expTree_, listViews_[0], separator1_, separator2_})
        w->setVisible(explorer);
    if (explorer) {
        Place(expTree_, l.tree);
        Place(separator1_, l.separator1);
        Place(separator2_, l.separator2);
        Place(listViews_[0], l.view0);
    }
    Place(listViews_[1], l.view1);
}

void FormMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    KeepNormalGeometry();
    if (layout_.toolBar.height == 0) return; // before the first arrangement
    LayoutMainWindow();
}

void FormMain::ToggleExplorerPane() {
    SetTimersEnabled(false);
    if (state_.ExplorerShown) {
        toolActions_[7]->setChecked(false);
        state_.ExplorerShown = false;
        layout_.view1.left = 0;
        layout_.view1.width = ScaleWidth();
        ApplyLayout();
        Item("IDMShowExplorTree")->setChecked(false);
    } else {
        toolActions_[7]->setChecked(true);
        state_.ExplorerShown = true;
        ArrangePanes(layout_.separator1.left, layout_.separator2.left);
        if (!state_.TreeBuilt) {
            explorTree_->FormatTree(expTree_, explorImageList_.get());
            state_.TreeBuilt = true;
            tracks_.FillFolderView();
        }
        Item("IDMShowExplorTree")->setChecked(true);
    }
    // The clock runs again only when a track is loaded, as after any change of file.
    SetTimer1Enabled(true);
    if (device_ && device_->CurrentState() == QStringLiteral("Playing")) SetTimer3Enabled(true);
}

// The separators are dragged with the mouse held; where the button comes up decides, as a drop
// on the control under the pointer would.
bool FormMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched != separator1_ && watched != separator2_) return QMainWindow::eventFilter(watched, event);
    auto* separator = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        separatorDragStart_ = PixelsToTwips(separator->x());
        return true;
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        separator->move(central_->mapFromGlobal(move->globalPosition().toPoint()).x(), separator->y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        DropSeparator(separator, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    default: return QMainWindow::eventFilter(watched, event);
    }
}

void FormMain::DragSeparator(int which, const QPoint& globalDropPos) {
    QWidget* separator = which == 1 ? separator1_ : separator2_;
    separatorDragStart_ = PixelsToTwips(separator->x());
    DropSeparator(separator, globalDropPos);
}

void FormMain::DropSeparator(QWidget* separator, const QPoint& globalPos) {
    const int view0Left = layout_.view0.left;
    const int view1Left = layout_.view1.left;
    auto xIn = [&](QWidget* target) { return PixelsToTwips(target->mapFromGlobal(globalPos).x()); };
    auto inside = [&](QWidget* target) { return target->isVisible() && target->rect().contains(target->mapFromGlobal(globalPos)); };
    if (inside(expTree_)) {
        ArrangePanes(xIn(expTree_), view1Left - 50);
        listViews_[0]->setFocus();
    } else if (inside(listViews_[0])) {
        const int x = view0Left + xIn(listViews_[0]);
        if (separatorDragStart_ < view0Left) {
            ArrangePanes(x, view1Left - 50);
            listViews_[0]->setFocus();
        } else {
            ArrangePanes(view0Left - 50, x);
            listViews_[1]->setFocus();
        }
    } else if (inside(listViews_[1])) {
        ArrangePanes(view0Left - 50, view1Left + xIn(listViews_[1]));
        listViews_[0]->setFocus();
    } else {
        ApplyLayout(); // let go elsewhere: the separator goes back
    }
    (void)separator;
}

} // namespace kv::shell
