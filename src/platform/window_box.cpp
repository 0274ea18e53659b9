#include "platform/window_box.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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

QPoint BesideBox(const QRect& ownerFrame, const QRect& screen, const QSize& size) {
    // Room for the window manager's frame around the client size.
    constexpr int kGap = 8, kFrame = 40;
    const int w = size.width() + kGap, h = size.height() + kFrame;
    const int top = std::max(screen.top(), std::min(ownerFrame.top(), screen.bottom() + 1 - h));
    if (ownerFrame.isValid()) {
        if (ownerFrame.right() + 1 + w <= screen.right() + 1) return {ownerFrame.right() + 1 + kGap, top};
        if (ownerFrame.left() - w >= screen.left()) return {ownerFrame.left() - w, top};
    }
    return {screen.left() + std::max(0, (screen.width() - w) / 2), screen.top() + std::max(0, (screen.height() - h) / 2)};
}

QPoint BesideWindow(const QWidget* owner, const QSize& size) {
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return BesideBox(owner && owner->isVisible() ? owner->frameGeometry() : QRect(), area, size);
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
