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

void ShowInState(QWidget& window, int state) {
    if (state == 1)
        window.showMinimized();
    else if (state == 2)
        window.showMaximized();
    else
        window.showNormal();
}

} // namespace kv::platform
