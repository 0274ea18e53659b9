#include "tools/tool_window.h"

#include <QScreen>
#include <QShortcut>
#include <QWidget>

namespace kv::tools {

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2);
}

void TakeOwnersIcon(QWidget* window, QWidget* owner) {
    if (owner) window->setWindowIcon(owner->window()->windowIcon());
}

void CloseWithEscape(QWidget* window) {
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), window), &QShortcut::activated, window,
                     &QWidget::close);
}

} // namespace kv::tools
