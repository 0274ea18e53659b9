// What a screen reader and a keyboard user meet in the main window: the controls' names in the
// program's own words, the LCD panel's text, and a focus order that follows the layout.
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/main_display.h"

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

void FormMain::MakeAccessible() {
    static const bool installed = (QAccessible::installFactory(PanelFactory), true);
    (void)installed;
    controls_.pPanelBack->setProperty(kPanelProperty, QVariant::fromValue<QObject*>(display_.get()));

    const std::pair<QWidget*, const char*> names[] = {
        {controls_.listViews[0], "フォルダ"},     {controls_.listViews[1], "プレイリスト"},
        {controls_.listViews[2], "作業用リスト"}, // rows in passage while a list is reordered, shuffled or
                                                  // dropped on
        {controls_.expTree, "エクスプローラ"},    {controls_.listOfList, "リストの一覧"},
        {controls_.progPicture, "再生位置"},      {controls_.volume, "音量"},
        {controls_.startPos, "開始位置"},         {controls_.endPos, "終了位置"},
        {controls_.pPanelBack, "液晶"},           {controls_.sList, "リスト"},
        {controls_.imageTimer, "タイマー"},
    };
    for (auto [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));
    // On Linux Qt gives a box the name of its current item; what the box is goes in the description.
    controls_.listOfList->setAccessibleDescription(controls_.listOfList->accessibleName());

    // The bars are reached with Tab (a click still leaves the keyboard with the active list).
    for (QWidget* bar : {controls_.volume, controls_.progPicture})
        bar->setFocusPolicy(Qt::TabFocus);
    // Left to right, top to bottom, as the window shows them.
    QWidget* order[] = {controls_.listOfList, controls_.volume,       controls_.progPicture,
                        controls_.expTree,    controls_.listViews[0], controls_.listViews[1],
                        controls_.sList};
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
    connect(leaveStealth, &QShortcut::activated, display_.get(), &MainDisplay::ToggleStealth);
}

} // namespace kv::shell
