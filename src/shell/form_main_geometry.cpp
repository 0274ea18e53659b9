// The main window's normal geometry, kept as the window moves and resizes in the normal state, so
// what is saved never depends on when the window manager answers a change of state.
#include "shell/form_main.h"

#include "platform/window_box.h"

#include <QMoveEvent>

namespace kv::shell {

void FormMain::KeepNormalGeometry() {
    // The stealth strip is no normal geometry: the one from before it comes back on leaving.
    if (state_.Closing || state_.StealthActive ||
        (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        return;
    normalRect_ = platform::WindowBox(*this);
}

WindowGeometryValues FormMain::NormalGeometryTwips() const {
    // Not geometry() after showNormal: the window manager may take its time to give the window
    // its normal size back.
    const QRect normal = normalRect_.isValid() ? normalRect_ : platform::NormalWindowBox(*this);
    // Twips that round to the pixels the window has are kept, so an unmoved window saves
    // exactly what it loaded.
    auto twips = [](int pixels, int stored) {
        return TwipsToPixels(stored) == pixels ? stored : PixelsToTwips(pixels);
    };
    const WindowGeometryValues& g = state_.WindowGeometry;
    return {twips(normal.top(), g.top), twips(normal.left(), g.left), twips(normal.height(), g.height),
            twips(normal.width(), g.width), g.maximized};
}

void FormMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    KeepNormalGeometry();
}

} // namespace kv::shell
