// The main window's side of the visualizer panel, the display colours, the LCD shutter and stealth
// mode: the arithmetic is in display/, this file moves the widgets it names.
#include "shell/form_main_display.h"

#include "display/panel_colors.h"
#include "display/panel_view.h"
#include "display/progress_bar.h"
#include "engine/vbmp3.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

namespace kv::shell {
namespace {

void PlaceTwips(QWidget* w, int left, int top, int width, int height) {
    if (!w || width < 0 || height < 0) return;
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

// The panel's design size: about the width the dots and the bars were drawn for.
constexpr int kPanelWidth = 3150;
constexpr int kPanelMargin = 60;
constexpr int kSListHeight = 300;

// SList's caption grows while the pointer is over it.
class SListFont : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* button = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
            QFont font = button->font();
            font.setPointSize(event->type() == QEvent::Enter ? 12 : 11);
            button->setFont(font);
        }
        return false;
    }
};

} // namespace

// Host of the shutter and stealth mode.
bool DisplayGlue::IsMaximized() const {
    return w_.isMaximized();
}
bool DisplayGlue::IsMinimized() const {
    return w_.isMinimized();
}
void DisplayGlue::ShowNormal() {
    w_.showNormal();
}
void DisplayGlue::ShowMaximized() {
    w_.showMaximized();
}

// Top and left are the outer window's, as the parking constants mean them (the caption goes
// above the screen); height and width are the client's, as start-up applies them.
display::TwipBox DisplayGlue::WindowBox() const {
    const QRect frame = w_.frameGeometry();
    return {PixelsToTwips(frame.top()), PixelsToTwips(frame.left()), PixelsToTwips(w_.height()),
            PixelsToTwips(w_.width())};
}

display::TwipBox DisplayGlue::NormalWindowBox() const {
    const WindowGeometryValues g = w_.NormalGeometryTwips();
    return {g.top, g.left, g.height, g.width};
}

void DisplayGlue::SetWindowBox(const display::TwipBox& box) {
    int top = TwipsToPixels(box.top);
    // Parking hides the caption, never the strip itself: without a caption (no window manager
    // draws one) the window stays at the top edge.
    if (box.top == display::kStealthParkTop)
        top = std::max(top, w_.frameGeometry().top() - w_.geometry().top());
    w_.move(TwipsToPixels(box.left), top);
    w_.resize(TwipsToPixels(box.width), TwipsToPixels(box.height));
}

void DisplayGlue::SetTopmost(bool on) {
    const display::TwipBox box = WindowBox();
    if (w_.windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
        // Changing the flags re-creates the native window, hidden: show it where it was.
        w_.setWindowFlag(Qt::WindowStaysOnTopHint, on);
        SetWindowBox(box);
    }
    w_.show();
}

void DisplayGlue::ShowWindow(bool shown) {
    w_.setVisible(shown);
}
bool DisplayGlue::WindowShown() const {
    return w_.isVisible();
}
QPoint DisplayGlue::PointerPos() const {
    return pointer ? pointer() : QCursor::pos();
}

void DisplayGlue::SaveNormalGeometry(const display::TwipBox& box, bool maximized) {
    w_.state_.WindowGeometry = {box.top, box.left, box.height, box.width, maximized};
}
bool DisplayGlue::SavedMaximized() const {
    return w_.state_.WindowGeometry.maximized;
}
display::TwipBox DisplayGlue::SavedGeometry() const {
    const auto& g = w_.state_.WindowGeometry;
    return {g.top, g.left, g.height, g.width};
}
int DisplayGlue::StealthWidth() const {
    return std::max(w_.state_.StealthSize.width, display::kStealthMinWidth);
}
int DisplayGlue::StealthHeight() const {
    return std::max(w_.state_.StealthSize.height, 4000);
}

void DisplayGlue::SetStealthControls(bool stealth) {
    FormMain& w = w_;
    w.toolActions_[8]->setChecked(stealth);
    for (int button : {7, 8, 11, 12})
        w.toolActions_[size_t(button - 1)]->setVisible(!stealth);
    for (const char* menu : {"IDMFile", "IDMEnsou", "IDMView", "IDMoption", "IDMhelp"})
        w.Item(QString::fromLatin1(menu))->setVisible(!stealth);
    auto& playingView = w.tracks_.State().PlayingView;
    if (stealth) {
        if (!w.state_.ExplorerShown && playingView == 0) playingView = 1;
        for (QWidget* pane : std::initializer_list<QWidget*>{w.separator1_, w.separator2_, w.expTree_})
            pane->setVisible(false);
        for (int v = 0; v < 2; ++v)
            w.listViews_[size_t(v)]->setVisible(v == playingView);
        ShowDisplayItems(false);
        w.labelInfo_[0]->move(w.labelInfo_[0]->x(), TwipsToPixels(display::kFirstInfoLabelTop));
        w.timer2_->start();
    } else {
        w.listViews_[1]->setVisible(true); // the panes' own visibility comes back with the layout
        ShowDisplayItems(!w.state_.ShutterClosed);
        w.timer2_->stop();
    }
    w.sList_->setVisible(stealth);
    w.Item(QStringLiteral("IDMStels"))->setChecked(stealth);
    w.backGndLabel_->setVisible(stealth || w.state_.ShutterClosed);
}

void DisplayGlue::Relayout() {
    w_.LayoutMainWindow();
    if (!w_.state_.StealthActive && w_.state_.ExplorerShown)
        w_.ArrangePanes(w_.layout_.separator1.left, w_.layout_.separator2.left);
}

void DisplayGlue::RefreshWindow() {
    w_.update();
    w_.listViews_[size_t(w_.tracks_.State().PlayingView)]->viewport()->update();
}

void DisplayGlue::FocusPlayingView() {
    w_.listViews_[size_t(w_.tracks_.State().PlayingView)]->setFocus();
}

void DisplayGlue::SetShutterMarks(bool open) {
    w_.toolActions_[6]->setChecked(open);
    w_.Item(QStringLiteral("IDMshutter"))->setChecked(open);
}

void DisplayGlue::ShowDisplayItems(bool shown) {
    FormMain& w = w_;
    w.pPanel_->setVisible(shown);
    for (QLabel* label : w.labelTitle_)
        label->setVisible(shown);
    for (QLabel* label : w.labelInfo_)
        label->setVisible(shown);
    const bool timerLabels = shown && w.SleepTimerRunning();
    w.imageTimer_->setVisible(timerLabels);
    w.labelTimer_->setVisible(timerLabels);
    // The collapsed row keeps one line: the track's information on the background label.
    w.backGndLabel_->setVisible(!shown);
    if (!shown) w.labelInfo_[0]->move(w.labelCurTime_->x(), TwipsToPixels(display::kFirstInfoLabelTop));
}

int DisplayGlue::PanelBackHeight() const {
    return w_.layout_.pPanelBack.height;
}

void DisplayGlue::SetPanelBackHeight(int height) {
    MainLayout& l = w_.layout_;
    l.pPanelBack.height = height;
    const display::RowsBelowDisplay rows =
        display::RowsBelow(l.pPanelBack.top, height, l.progBackPicture.height, w_.ScaleHeight());
    l.progBackPicture.top = rows.progTop;
    // The volume bar stays beside both rows; dropped below the display it would cover the lists.
    l.volume.height = rows.paneTop - l.volume.top;
    for (TwipRect* pane : {&l.tree, &l.view0, &l.view1}) {
        pane->top = rows.paneTop;
        pane->height = rows.paneHeight;
    }
    for (TwipRect* sep : {&l.separator1, &l.separator2}) {
        sep->top = rows.paneTop;
        sep->height = rows.separatorHeight;
    }
    w_.ApplyLayout();
}

void DisplayGlue::StartPanelView() {
    w_.panelView_->StartPanelView();
}
void DisplayGlue::StopPanelView() {
    w_.panelView_->StopPanelView();
}

bool DisplayGlue::DecoderPlaying() const {
    playback::CSoundPlay* device = w_.device_.get();
    return device && device->CurrentRoute() == playback::CSoundPlay::Route::Decoder &&
           device->CurrentState() == QStringLiteral("Playing");
}

// FormMain
void FormMain::BuildDisplay() {
    displayGlue_ = std::make_unique<DisplayGlue>(*this);
    displayModes_ =
        std::make_unique<display::DisplayModes>(*displayGlue_, state_.ShutterClosed, state_.StealthActive);
    displayModes_->AllowHiding(display::StealthCanHide(QGuiApplication::platformName()));
    display::PanelViewHooks hooks;
    hooks.getWave = [](int32_t* l, int32_t* r) { vbmp3_getWave(l, r); };
    hooks.checkBarType = [this](int type) {
        for (int i = 0; i < 5; ++i)
            IDMPanelBar[size_t(i)]->setChecked(i + 1 == type);
    };
    hooks.decoderPlaying = [this] { return displayGlue_->DecoderPlaying(); };
    hooks.mustStayIdle = [this] { return state_.ShutterClosed || state_.StealthActive; };
    panelView_ = std::make_unique<display::CPanelView>(std::move(hooks));

    toolActions_[8]->setCheckable(true);
    Item(QStringLiteral("IDMStels"))->setCheckable(true);
    sList_->setText(QStringLiteral("L i s t"));
    sList_->setFocusPolicy(Qt::NoFocus);
    sList_->installEventFilter(new SListFont(sList_));
    backGndLabel_->setIndent(4);
    hScroll1_->setRange(1, 250);

    connect(timer3_, &QTimer::timeout, this, [this] { panelView_->DrawPanel(); });
    connect(timer2_, &QTimer::timeout, this, &FormMain::StealthTick);
    // The menu item and the button are checkable for their marks only: the toggles set them.
    connect(Item(QStringLiteral("IDMshutter")), &QAction::triggered, this, &FormMain::ToggleShutter);
    connect(toolActions_[6], &QAction::triggered, this, &FormMain::ToggleShutter);
    connect(Item(QStringLiteral("IDMStels")), &QAction::triggered, this, &FormMain::ToggleStealth);
    connect(toolActions_[8], &QAction::triggered, this, &FormMain::ToggleStealth);
    connect(sList_, &QPushButton::pressed, this, &FormMain::ToggleStealthHeight);
    connect(hScroll1_, &QScrollBar::valueChanged, this, [this](int value) {
        QFont font = pPanel_->font();
        font.setPointSize(18);
        pPanel_->setFont(font);
        panelView_->StartPanelView2(value);
        setWindowTitle(QString::number(value));
    });
}

void FormMain::AttachPanelView() {
    panelView_->SetTimerTarget(timer3_);
    panelView_->SetPanelTarget(pPanel_);
}

void FormMain::StartVisualizer() {
    panelView_->StartPanelView();
}
void FormMain::StopVisualizer() {
    panelView_->StopPanelView();
}

void FormMain::ToggleShutter() {
    displayModes_->ToggleShutter();
    // A press while stealth mode is on changes nothing, the marks included.
    displayGlue_->SetShutterMarks(!state_.ShutterClosed);
}

void FormMain::ToggleStealth() {
    displayModes_->ToggleStealth();
    toolActions_[8]->setChecked(state_.StealthActive);
    Item(QStringLiteral("IDMStels"))->setChecked(state_.StealthActive);
}

void FormMain::StealthTick() {
    // Closing hides the window for good; a tick running inside the shutdown must not show it.
    if (!state_.Closing) displayModes_->StealthTick();
}
void FormMain::ToggleStealthHeight() {
    displayModes_->ToggleStealthHeight();
}
void FormMain::SetPointerSource(std::function<QPoint()> source) {
    displayGlue_->pointer = std::move(source);
}

// The panel stands at the right of the display row, the information labels to its left.
void FormMain::PlaceDisplayRow() {
    const TwipRect& row = layout_.pPanelBack;
    const int width = std::min(kPanelWidth, row.width / 2);
    const int left = row.width - width - kPanelMargin;
    PlaceTwips(pPanel_, left, kPanelMargin, width, row.height - 2 * kPanelMargin);
    const int labelsWidth = std::max(0, left - 2 * kPanelMargin);
    for (int i = 0; i < 4; ++i)
        labelInfo_[size_t(i)]->setGeometry(8, 4 + i * 16, TwipsToPixels(labelsWidth), 16);
    PlaceTwips(backGndLabel_, 0, 0, row.width, row.height);
}

// The compact branch of the resize layout: the strip keeps the toolbar, a one-line display row,
// the position bar, SList and the list that holds the playing track.
void FormMain::LayoutStealth() {
    const int width = PixelsToTwips(this->width()), height = PixelsToTwips(this->height());
    if (width < display::kStealthMinWidth || height < display::kStealthCompactHeight) {
        resize(TwipsToPixels(std::max(width, display::kStealthMinWidth)),
               TwipsToPixels(std::max(height, display::kStealthCompactHeight)));
    }
    state_.StealthSize.width = PixelsToTwips(this->width());
    if (PixelsToTwips(this->height()) > display::kStealthExpandSwitch)
        state_.StealthSize.height = PixelsToTwips(this->height());

    const MainLayout& l = layout_;
    const int scaleWidth = ScaleWidth(), scaleHeight = ScaleHeight();
    // The list box follows the last button, which moves left with the buttons the strip hides.
    if (toolBar_->layout()) toolBar_->layout()->activate();
    if (QWidget* last = toolBar_->widgetForAction(toolActions_[12])) {
        const int boxLeft = PixelsToTwips(last->x());
        const int boxWidth =
            std::max(kListOfListMinWidth, std::min(kListOfListDesignWidth, scaleWidth - boxLeft));
        PlaceTwips(listOfList_, boxLeft, l.listOfList.top, boxWidth, l.listOfList.height);
    }
    const int rowTop = l.pPanelBack.top;
    const int left = l.volume.Right();
    const display::RowsBelowDisplay rows =
        display::RowsBelow(rowTop, display::kCollapsedDisplayHeight, l.progBackPicture.height, scaleHeight);
    PlaceTwips(volume_, l.volume.left, rowTop, l.volume.width, rows.paneTop - rowTop);
    PlaceTwips(pPanelBack_, left, rowTop, scaleWidth - left, display::kCollapsedDisplayHeight);
    PlaceTwips(backGndLabel_, 0, 0, scaleWidth - left, display::kCollapsedDisplayHeight);
    PlaceTwips(progBackPicture_, left, rows.progTop, scaleWidth - left, l.progBackPicture.height);
    PlaceTwips(progPicture_, l.progPicture.left, l.progPicture.top, scaleWidth - left - l.progPicture.left,
               l.progPicture.height);
    PlaceTwips(sList_, 0, rows.paneTop, scaleWidth, kSListHeight);
    const int listTop = rows.paneTop + kSListHeight;
    playlists::TrackView* view = listViews_[size_t(tracks_.State().PlayingView)];
    PlaceTwips(view, 0, listTop, scaleWidth, scaleHeight - listTop);
    // The low strip shows no list rather than a header cut in half by the scroll bar: the list
    // comes with the room for its header, a row and the scroll bar ("L i s t" gives it that).
    const int needed = view->header()->sizeHint().height() + view->fontMetrics().height() + 4 +
                       view->horizontalScrollBar()->sizeHint().height() + 2 * view->frameWidth();
    view->setVisible(TwipsToPixels(scaleHeight - listTop) >= needed);
}

void FormMain::SyncBackGndLabel() {
    backGndLabel_->setText(labelInfo_[0]->text());
}

} // namespace kv::shell
