#include "tools/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kv::tools {

void CentreOnScreen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QSize area = screen->size();
    const QSize size = window.frameGeometry().size();
    window.move((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
}

} // namespace kv::tools
