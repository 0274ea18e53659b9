// What a screen reader and a keyboard user meet in the main window: the controls' names in the
// program's own words, the LCD panel's text, and a focus order that follows the layout.
#include "shell/form_main.h"
#include "shell/main_display.h"

#include <QAction>
#include <QMenuBar>
#include <QShortcut>

namespace kv::shell {

void FormMain::MakeAccessible() {
    display_->MakePanelReadable();

    controls_.NameForReaders();

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
