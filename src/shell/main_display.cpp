#include "shell/main_display.h"

#include "display/panel_colors.h"
#include "display/panel_view.h"
#include "display/progress_bar.h"
#include "engine/vbmp3.h"
#include "platform/text_colour.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/main_controls.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QPointer>
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

constexpr char kPanelProperty[] = "kvPanelWindow";

// The LCD panel reads out what its labels show: the four information texts and the time.
class PanelAccessible final : public QAccessibleWidget {
  public:
    PanelAccessible(QWidget* panel, MainDisplay* display)
        : QAccessibleWidget(panel, QAccessible::StatusBar), display_(display) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description && display_) return display_->PanelText();
        return QAccessibleWidget::text(t);
    }

  private:
    QPointer<MainDisplay> display_;
};

QAccessibleInterface* PanelFactory(const QString&, QObject* object) {
    auto* panel = qobject_cast<QWidget*>(object);
    auto* display =
        panel ? qobject_cast<MainDisplay*>(panel->property(kPanelProperty).value<QObject*>()) : nullptr;
    return display ? new PanelAccessible(panel, display) : nullptr;
}
} // namespace

MainDisplay::MainDisplay(MainControls& controls, ProgramState& state, QMainWindow& window)
    : c_(controls), state_(state), window_(window) {
    setObjectName(QStringLiteral("MainDisplay"));
    modes_ = std::make_unique<display::DisplayModes>(*this, state_.ShutterClosed, state_.StealthActive);
    modes_->AllowHiding(display::StealthCanHide(QGuiApplication::platformName()));
    display::PanelViewHooks hooks;
    hooks.getWave = [](int32_t* l, int32_t* r) { vbmp3_getWave(l, r); };
    hooks.checkBarType = [this](int type) {
        for (int i = 0; i < 5; ++i)
            c_.panelBar[size_t(i)]->setChecked(i + 1 == type);
    };
    hooks.decoderPlaying = [this] { return DecoderPlaying(); };
    hooks.mustStayIdle = [this] { return state_.ShutterClosed || state_.StealthActive; };
    panelView_ = std::make_unique<display::CPanelView>(std::move(hooks));

    c_.toolActions[8]->setCheckable(true);
    c_.Item(QStringLiteral("IDMStels"))->setCheckable(true);
    c_.sList->setText(QStringLiteral("L i s t"));
    c_.sList->setFocusPolicy(Qt::NoFocus);
    c_.sList->installEventFilter(new SListFont(c_.sList));
    c_.backGndLabel->setIndent(4);
    c_.hScroll1->setRange(1, 250);

    connect(c_.timer3, &QTimer::timeout, this, [this] { panelView_->DrawPanel(); });
    connect(c_.timer2, &QTimer::timeout, this, &MainDisplay::StealthTick);
    // The menu item and the button are checkable for their marks only: the toggles set them.
    connect(c_.Item(QStringLiteral("IDMshutter")), &QAction::triggered, this, &MainDisplay::ToggleShutter);
    connect(c_.toolActions[6], &QAction::triggered, this, &MainDisplay::ToggleShutter);
    connect(c_.Item(QStringLiteral("IDMStels")), &QAction::triggered, this, &MainDisplay::ToggleStealth);
    connect(c_.toolActions[8], &QAction::triggered, this, &MainDisplay::ToggleStealth);
    connect(c_.sList, &QPushButton::pressed, this, &MainDisplay::ToggleStealthHeight);
    connect(c_.hScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        QFont font = c_.pPanel->font();
        font.setPointSize(18);
        c_.pPanel->setFont(font);
        panelView_->StartPanelView2(value);
        window_.setWindowTitle(QString::number(value));
    });
    for (int i = 0; i < 9; ++i)
        connect(c_.foreColor[size_t(i)], &QAction::triggered, this, [this, i] { CheckForeColor(i); });
    for (int i = 0; i < 5; ++i)
        connect(c_.panelBar[size_t(i)], &QAction::triggered, this, [this, i] { SetBarType(i + 1); });
}

MainDisplay::~MainDisplay() = default;

void MainDisplay::Connect(MainPlayer& player, MainLists& lists, MainTools& tools, DisplayLayoutHooks layout) {
    player_ = &player;
    lists_ = &lists;
    tools_ = &tools;
    layout_ = std::move(layout);
}

void MainDisplay::AttachPanelView() {
    panelView_->SetTimerTarget(c_.timer3);
    panelView_->SetPanelTarget(c_.pPanel);
}

void MainDisplay::StartVisualizer() {
    panelView_->StartPanelView();
}
void MainDisplay::StopVisualizer() {
    panelView_->StopPanelView();
}

void MainDisplay::CheckForeColor(int index) {
    for (QAction* a : c_.foreColor)
        a->setChecked(false);
    if (index >= 0 && index < 9) c_.foreColor[size_t(index)]->setChecked(true);
    ApplyPanelColor(index);
}

void MainDisplay::ApplyPanelColor(int index) {
    const int chosen = display::SetPanelColor(index);
    const QColor colour = QColor::fromRgb(display::DisplayColour(chosen));
    for (QLabel* label : c_.labelInfo)
        platform::SetTextColour(label, colour);
    for (QLabel* label : c_.labelTitle)
        platform::SetTextColour(label, colour);
    for (QLabel* label : {c_.labelCurTime, c_.startPos, c_.endPos, c_.backGndLabel})
        platform::SetTextColour(label, colour);
    panelView_->SetBackColor(display::kPanelBackColor);
    panelView_->ShadesChanged();
    if (!player_) return;
    for (display::CProgressBar* bar : {&player_->CProgBar(), &player_->CVolume()}) {
        bar->SetForeColor(display::DisplayColour(chosen));
        bar->RedrawPanel();
    }
}

void MainDisplay::RandomColourIfChecked() {
    if (c_.foreColor[0]->isChecked()) ApplyPanelColor(0);
}

void MainDisplay::SetBarType(int type) {
    for (QAction* a : c_.panelBar)
        a->setChecked(false);
    if (type >= 1 && type <= 5) c_.panelBar[size_t(type - 1)]->setChecked(true);
    panelView_->SetBarType(type);
}

void MainDisplay::ShowInfoLabels(const std::array<QString, 4>& texts) {
    for (int i = 0; i < 4; ++i)
        c_.labelInfo[size_t(i)]->setText(texts[size_t(i)]);
    SyncBackGndLabel();
    AnnounceTrack();
}

void MainDisplay::MakePanelReadable() {
    static const bool installed = (QAccessible::installFactory(PanelFactory), true);
    (void)installed;
    c_.pPanelBack->setProperty(kPanelProperty, QVariant::fromValue<QObject*>(this));
}

QString MainDisplay::PanelText() const {
    QStringList lines;
    for (QLabel* label : c_.labelInfo)
        lines << label->text();
    lines << c_.labelCurTime->text();
    return lines.join(u'\n');
}

// The labels also show a selected row for a while and come back every third tick: only a new
// track is news.
void MainDisplay::AnnounceTrack() {
    const QString playing = player_ ? player_->PlayingFileName() : QString();
    if (playing.isEmpty() || playing == announcedTrack_) return;
    announcedTrack_ = playing;
    QAccessibleEvent event(c_.pPanelBack, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
    emit TrackAnnounced();
}

void MainDisplay::SyncBackGndLabel() {
    c_.backGndLabel->setText(c_.labelInfo[0]->text());
}

void MainDisplay::ToggleShutter() {
    modes_->ToggleShutter();
    // A press while stealth mode is on changes nothing, the marks included.
    SetShutterMarks(!state_.ShutterClosed);
}

void MainDisplay::ToggleStealth() {
    modes_->ToggleStealth();
    c_.toolActions[8]->setChecked(state_.StealthActive);
    c_.Item(QStringLiteral("IDMStels"))->setChecked(state_.StealthActive);
}

void MainDisplay::StealthTick() {
    // Closing hides the window for good; a tick running inside the shutdown must not show it.
    if (!state_.Closing) modes_->StealthTick();
}
void MainDisplay::ToggleStealthHeight() {
    modes_->ToggleStealthHeight();
}

// The panel stands at the right of the display row, the information labels to its left.
void MainDisplay::PlaceDisplayRow(const TwipRect& row) {
    const int width = std::min(kPanelWidth, row.width / 2);
    const int left = row.width - width - kPanelMargin;
    PlaceTwips(c_.pPanel, left, kPanelMargin, width, row.height - 2 * kPanelMargin);
    const int labelsWidth = std::max(0, left - 2 * kPanelMargin);
    for (int i = 0; i < 4; ++i)
        c_.labelInfo[size_t(i)]->setGeometry(8, 4 + i * 16, TwipsToPixels(labelsWidth), 16);
    PlaceTwips(c_.backGndLabel, 0, 0, row.width, row.height);
}

// The compact branch of the resize layout: the strip keeps the toolbar, a one-line display row,
// the position bar, SList and the list that holds the playing track.
void MainDisplay::LayoutStealth(const MainLayout& l) {
    const int width = PixelsToTwips(window_.width()), height = PixelsToTwips(window_.height());
    if (width < display::kStealthMinWidth || height < display::kStealthCompactHeight) {
        window_.resize(TwipsToPixels(std::max(width, display::kStealthMinWidth)),
                       TwipsToPixels(std::max(height, display::kStealthCompactHeight)));
    }
    state_.StealthSize.width = PixelsToTwips(window_.width());
    if (PixelsToTwips(window_.height()) > display::kStealthExpandSwitch)
        state_.StealthSize.height = PixelsToTwips(window_.height());

    const int scaleWidth = PixelsToTwips(c_.central->width()),
              scaleHeight = PixelsToTwips(c_.central->height());
    // The list box follows the last button, which moves left with the buttons the strip hides.
    if (c_.toolBar->layout()) c_.toolBar->layout()->activate();
    if (QWidget* last = c_.toolBar->widgetForAction(c_.toolActions[12])) {
        const int boxLeft = PixelsToTwips(last->x());
        const int boxWidth =
            std::max(kListOfListMinWidth, std::min(kListOfListDesignWidth, scaleWidth - boxLeft));
        PlaceTwips(c_.listOfList, boxLeft, l.listOfList.top, boxWidth, l.listOfList.height);
    }
    const int rowTop = l.pPanelBack.top;
    const int left = l.volume.Right();
    const display::RowsBelowDisplay rows =
        display::RowsBelow(rowTop, display::kCollapsedDisplayHeight, l.progBackPicture.height, scaleHeight);
    PlaceTwips(c_.volume, l.volume.left, rowTop, l.volume.width, rows.paneTop - rowTop);
    PlaceTwips(c_.pPanelBack, left, rowTop, scaleWidth - left, display::kCollapsedDisplayHeight);
    PlaceTwips(c_.backGndLabel, 0, 0, scaleWidth - left, display::kCollapsedDisplayHeight);
    PlaceTwips(c_.progBackPicture, left, rows.progTop, scaleWidth - left, l.progBackPicture.height);
    PlaceTwips(c_.progPicture, l.progPicture.left, l.progPicture.top, scaleWidth - left - l.progPicture.left,
               l.progPicture.height);
    PlaceTwips(c_.sList, 0, rows.paneTop, scaleWidth, kSListHeight);
    const int listTop = rows.paneTop + kSListHeight;
    auto* view = static_cast<playlists::TrackView*>(PlayingView());
    PlaceTwips(view, 0, listTop, scaleWidth, scaleHeight - listTop);
    // The low strip shows no list rather than a header cut in half by the scroll bar: the list
    // comes with the room for its header, a row and the scroll bar ("L i s t" gives it that).
    const int needed = view->header()->sizeHint().height() + view->fontMetrics().height() + 4 +
                       view->horizontalScrollBar()->sizeHint().height() + 2 * view->frameWidth();
    view->setVisible(TwipsToPixels(scaleHeight - listTop) >= needed);
}

QWidget* MainDisplay::PlayingView() const {
    return c_.listViews[size_t(lists_->Tracks().State().PlayingView)];
}

// Host of the shutter and stealth mode.
bool MainDisplay::IsMaximized() const {
    return window_.isMaximized();
}
bool MainDisplay::IsMinimized() const {
    return window_.isMinimized();
}
void MainDisplay::ShowNormal() {
    window_.showNormal();
}
void MainDisplay::ShowMaximized() {
    window_.showMaximized();
}

// Top and left are the outer window's, as the parking constants mean them (the caption goes
// above the screen); height and width are the client's, as start-up applies them.
display::TwipBox MainDisplay::WindowBox() const {
    const QRect frame = window_.frameGeometry();
    return {PixelsToTwips(frame.top()), PixelsToTwips(frame.left()), PixelsToTwips(window_.height()),
            PixelsToTwips(window_.width())};
}

display::TwipBox MainDisplay::NormalWindowBox() const {
    return layout_.normalWindowBox();
}

void MainDisplay::SetWindowBox(const display::TwipBox& box) {
    int top = TwipsToPixels(box.top);
    // Parking hides the caption, never the strip itself: without a caption (no window manager
    // draws one) the window stays at the top edge.
    if (box.top == display::kStealthParkTop)
        top = std::max(top, window_.frameGeometry().top() - window_.geometry().top());
    window_.move(TwipsToPixels(box.left), top);
    window_.resize(TwipsToPixels(box.width), TwipsToPixels(box.height));
}

void MainDisplay::SetTopmost(bool on) {
    const display::TwipBox box = WindowBox();
    if (window_.windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
        // Changing the flags re-creates the native window, hidden: show it where it was.
        window_.setWindowFlag(Qt::WindowStaysOnTopHint, on);
        SetWindowBox(box);
    }
    window_.show();
}

void MainDisplay::ShowWindow(bool shown) {
    window_.setVisible(shown);
}
bool MainDisplay::WindowShown() const {
    return window_.isVisible();
}
QPoint MainDisplay::PointerPos() const {
    return pointer_ ? pointer_() : QCursor::pos();
}

void MainDisplay::SaveNormalGeometry(const display::TwipBox& box, bool maximized) {
    state_.WindowGeometry = {box.top, box.left, box.height, box.width, maximized};
}
bool MainDisplay::SavedMaximized() const {
    return state_.WindowGeometry.maximized;
}
display::TwipBox MainDisplay::SavedGeometry() const {
    const auto& g = state_.WindowGeometry;
    return {g.top, g.left, g.height, g.width};
}
int MainDisplay::StealthWidth() const {
    return std::max(state_.StealthSize.width, display::kStealthMinWidth);
}
int MainDisplay::StealthHeight() const {
    return std::max(state_.StealthSize.height, 4000);
}

void MainDisplay::SetStealthControls(bool stealth) {
    c_.toolActions[8]->setChecked(stealth);
    for (int button : {7, 8, 11, 12})
        c_.toolActions[size_t(button - 1)]->setVisible(!stealth);
    for (const char* menu : {"IDMFile", "IDMEnsou", "IDMView", "IDMoption", "IDMhelp"})
        c_.Item(QString::fromLatin1(menu))->setVisible(!stealth);
    auto& playingView = lists_->Tracks().State().PlayingView;
    if (stealth) {
        if (!state_.ExplorerShown && playingView == 0) playingView = 1;
        for (QWidget* pane : std::initializer_list<QWidget*>{c_.separator1, c_.separator2, c_.expTree})
            pane->setVisible(false);
        for (int v = 0; v < 2; ++v)
            c_.listViews[size_t(v)]->setVisible(v == playingView);
        ShowDisplayItems(false);
        c_.labelInfo[0]->move(c_.labelInfo[0]->x(), TwipsToPixels(display::kFirstInfoLabelTop));
        c_.timer2->start();
    } else {
        c_.listViews[1]->setVisible(true); // the panes' own visibility comes back with the layout
        ShowDisplayItems(!state_.ShutterClosed);
        c_.timer2->stop();
    }
    c_.sList->setVisible(stealth);
    c_.Item(QStringLiteral("IDMStels"))->setChecked(stealth);
    c_.backGndLabel->setVisible(stealth || state_.ShutterClosed);
}

void MainDisplay::Relayout() {
    layout_.relayout();
}

void MainDisplay::RefreshWindow() {
    window_.update();
    static_cast<playlists::TrackView*>(PlayingView())->viewport()->update();
}

void MainDisplay::FocusPlayingView() {
    PlayingView()->setFocus();
}

void MainDisplay::SetShutterMarks(bool open) {
    c_.toolActions[6]->setChecked(open);
    c_.Item(QStringLiteral("IDMshutter"))->setChecked(open);
}

void MainDisplay::ShowDisplayItems(bool shown) {
    c_.pPanel->setVisible(shown);
    for (QLabel* label : c_.labelTitle)
        label->setVisible(shown);
    for (QLabel* label : c_.labelInfo)
        label->setVisible(shown);
    const bool timerLabels = shown && tools_ && tools_->SleepTimerRunning();
    c_.imageTimer->setVisible(timerLabels);
    c_.labelTimer->setVisible(timerLabels);
    // The collapsed row keeps one line: the track's information on the background label.
    c_.backGndLabel->setVisible(!shown);
    if (!shown) c_.labelInfo[0]->move(c_.labelCurTime->x(), TwipsToPixels(display::kFirstInfoLabelTop));
}

int MainDisplay::PanelBackHeight() const {
    return layout_.panelBackHeight();
}

void MainDisplay::SetPanelBackHeight(int height) {
    layout_.setPanelBackHeight(height);
}

void MainDisplay::StartPanelView() {
    panelView_->StartPanelView();
}
void MainDisplay::StopPanelView() {
    panelView_->StopPanelView();
}

bool MainDisplay::DecoderPlaying() const {
    playback::CSoundPlay* device = player_ ? player_->Device() : nullptr;
    return device && device->CurrentRoute() == playback::CSoundPlay::Route::Decoder &&
           device->CurrentState() == QStringLiteral("Playing");
}

} // namespace kv::shell
