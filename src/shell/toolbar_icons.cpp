#include "shell/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kv::shell {
namespace {
constexpr int kSize = 32;

void DrawTriangle(QPainter& p, bool right, qreal x, qreal w) {
    QPainterPath path;
    if (right) {
        path.moveTo(x, 7);
        path.lineTo(x + w, 16);
        path.lineTo(x, 25);
    } else {
        path.moveTo(x + w, 7);
        path.lineTo(x, 16);
        path.lineTo(x + w, 25);
    }
    path.closeSubpath();
    p.drawPath(path);
}
} // namespace

QIcon ToolbarIcon(const QString& key) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(50, 50, 60);
    const QColor accent(220, 40, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);

    if (key == u"play") {
        p.setBrush(QColor(30, 150, 60));
        DrawTriangle(p, true, 10, 15);
    } else if (key == u"pause") {
        p.drawRect(QRectF(9, 8, 5, 16));
        p.drawRect(QRectF(18, 8, 5, 16));
    } else if (key == u"stop") {
        p.drawRect(QRectF(9, 9, 14, 14));
    } else if (key == u"before") {
        p.drawRect(QRectF(6, 8, 3, 16));
        DrawTriangle(p, false, 9, 9);
        DrawTriangle(p, false, 17, 9);
    } else if (key == u"next") {
        DrawTriangle(p, true, 6, 9);
        DrawTriangle(p, true, 14, 9);
        p.drawRect(QRectF(23, 8, 3, 16));
    } else if (key == u"panel") {
        p.setBrush(QColor(40, 40, 40));
        p.drawRoundedRect(QRectF(4, 7, 24, 18), 3, 3);
        p.setBrush(QColor(190, 255, 190));
        for (int i = 0; i < 5; ++i) p.drawRect(QRectF(8 + i * 4, 21 - (i % 3 + 1) * 4, 3, (i % 3 + 1) * 4));
    } else if (key == u"explorer") {
        p.setBrush(QColor(230, 180, 60));
        p.drawRoundedRect(QRectF(4, 9, 24, 16), 2, 2);
        p.drawRoundedRect(QRectF(4, 6, 10, 5), 1, 1);
    } else if (key == u"stels") {
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(5, 6, 22, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRect(QRectF(5, 6, 22, 5));
    } else if (key == u"newlist") {
        p.setBrush(Qt::white);
        p.setPen(QPen(ink, 1.5));
        p.drawRect(QRectF(7, 4, 16, 22));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRect(QRectF(19, 18, 10, 3));
        p.drawRect(QRectF(22.5, 14.5, 3, 10));
    } else if (key == u"save" || key == u"notsave") {
        p.setBrush(key == u"save" ? QColor(40, 90, 200) : QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(5, 5, 22, 22), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 5, 14, 8));
        p.drawRect(QRectF(9, 17, 14, 10));
        if (key == u"save") {
            p.setBrush(accent);
            p.drawEllipse(QRectF(20, 1, 10, 10));
        }
    } else {
        return QIcon();
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace kv::shell
