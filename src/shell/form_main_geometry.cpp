// The main window's normal geometry, kept as the window moves and resizes in the normal state, so
// what is saved never depends on when the window manager answers a change of state.
#include "shell/form_main.h"

#include "platform/window_box.h"

#include <QMoveEvent>

namespace kv::shell {

void FormMain::KeepNormalGeometry() {
    if (state_.Closing ||
        (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    normalRect_ = platform::WindowBox(*this);
}

void FormMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    KeepNormalGeometry();
}

} // namespace kv::shell
