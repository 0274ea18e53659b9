// What a screen reader and a keyboard user meet in the main window: the controls' names in the
// program's own words, the LCD panel's text, and a focus order that follows the layout.
#include "playlists/track_view.h"
#include "shell/form_main.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

namespace kv::shell {
namespace {
constexpr char kPanelProperty[] = "kvPanelWindow";

// The LCD panel reads out what its labels show: the four information texts and the time.
class PanelAccessible final : public QAccessibleWidget {
  public:
    PanelAccessible(QWidget* panel, FormMain* window)
        : QAccessibleWidget(panel, QAccessible::StatusBar), w_(window) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Description && w_) return w_->PanelText();
        return QAccessibleWidget::text(t);
    }

  private:
    QPointer<FormMain> w_;
};

QAccessibleInterface* PanelFactory(const QString&, QObject* object) {
    auto* panel = qobject_cast<QWidget*>(object);
    auto* window =
        panel ? qobject_cast<FormMain*>(panel->property(kPanelProperty).value<QObject*>()) : nullptr;
    return window ? new PanelAccessible(panel, window) : nullptr;
}
} // namespace

QString FormMain::PanelText() const {
    QStringList lines;
    for (QLabel* label : labelInfo_)
        lines << label->text();
    lines << labelCurTime_->text();
    return lines.join(u'\n');
}

void FormMain::MakeAccessible() {
    static const bool installed = (QAccessible::installFactory(PanelFactory), true);
    (void)installed;
    pPanelBack_->setProperty(kPanelProperty, QVariant::fromValue<QObject*>(this));

    const std::pair<QWidget*, const char*> names[] = {
        {listViews_[0], "フォルダ"},     {listViews_[1], "プレイリスト"},
        {listViews_[2], "作業用リスト"}, // rows in passage while a list is reordered, shuffled or dropped on
        {expTree_, "エクスプローラ"},    {listOfList_, "リストの一覧"},
        {progPicture_, "再生位置"},      {volume_, "音量"},
        {startPos_, "開始位置"},         {endPos_, "終了位置"},
        {pPanelBack_, "液晶"},           {sList_, "リスト"},
        {imageTimer_, "タイマー"},
    };
    for (auto [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));
    // On Linux Qt gives a box the name of its current item; what the box is goes in the description.
    listOfList_->setAccessibleDescription(listOfList_->accessibleName());

    // The bars are reached with Tab (a click still leaves the keyboard with the active list).
    for (QWidget* bar : {volume_, progPicture_})
        bar->setFocusPolicy(Qt::TabFocus);
    // Left to right, top to bottom, as the window shows them.
    QWidget* order[] = {listOfList_, volume_, progPicture_, expTree_, listViews_[0], listViews_[1], sList_};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    // F10 opens the menu bar as on other desktops (the menus have no mnemonics of their own).
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, [this] {
        for (QAction* menu : menuBar()->actions())
            if (menu->isVisible()) {
                menuBar()->setActiveAction(menu);
                return;
            }
    });
    // Stealth mode hides the menus and the button that leads back: Escape leaves it.
    auto* leaveStealth = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    leaveStealth->setEnabled(false);
    connect(Item(QStringLiteral("IDMStels")), &QAction::toggled, leaveStealth, &QShortcut::setEnabled);
    connect(leaveStealth, &QShortcut::activated, this, &FormMain::ToggleStealth);
}

// The labels also show a selected row for a while and come back every third tick: only a new
// track is news.
void FormMain::AnnounceTrack() {
    const QString playing = PlayingFileName();
    if (playing.isEmpty() || playing == announcedTrack_) return;
    announcedTrack_ = playing;
    QAccessibleEvent event(pPanelBack_, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
    emit TrackAnnounced();
}

} // namespace kv::shell
