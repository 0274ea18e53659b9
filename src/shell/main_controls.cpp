#include "shell/main_controls.h"

#include "shell/toolbar_icons.h"

#include <QAction>
#include <QPushButton>

namespace kv::shell {

void MainControls::SetToolButtonImageKey(int index, const QString& key) {
    toolImageKeys.at(size_t(index - 1)) = key;
    toolActions.at(size_t(index - 1))->setIcon(ToolbarIcon(key));
}

void MainControls::EnableToolButton(int index, bool enabled) {
    if (index >= 1 && index <= 13) toolActions[size_t(index - 1)]->setEnabled(enabled);
}

void MainControls::ClickToolBarBack(int button) {
    if (button >= 1 && button <= 5) toolBarBack[size_t(button - 1)]->click();
}

bool MainControls::Checked(const char* item) const {
    const QAction* action = Item(QString::fromLatin1(item));
    return action && action->isChecked();
}

} // namespace kv::shell
