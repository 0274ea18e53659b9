#include "platform/window_box.h"

#include <QWidget>

namespace kv::platform {

void PlaceWindow(QWidget& window, const QRect& box) {
    window.resize(box.size());
    window.move(box.topLeft()); // a window's position includes its frame
}

QRect WindowBox(const QWidget& window) {
    return {window.pos(), window.size()};
}

QRect NormalWindowBox(const QWidget& window) {
    if (!(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) ||
        !window.normalGeometry().isValid())
        return WindowBox(window);
    const QRect normal = window.normalGeometry(); // the client area
    const QPoint frame = window.frameGeometry().topLeft() - window.geometry().topLeft();
    return {normal.topLeft() + frame, normal.size()};
}

} // namespace kv::platform
