#include "shell/program_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <map>

namespace kv::shell {

QImage DrawProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64-unit square: a dark rounded tile, a disc ringed in the panel's red, a beamed
    // pair of notes.
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x28, 0x28, 0x28));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    p.setBrush(QColor(0x3c, 0x3c, 0x3c));
    p.setPen(QPen(QColor(0xf0, 0x00, 0x00), 3));
    p.drawEllipse(QPointF(32, 32), 22, 22);

    QPainterPath note;
    note.addEllipse(QPointF(21, 40), 6, 5);
    note.addEllipse(QPointF(39, 34), 6, 5);
    note.addRect(QRectF(23, 15, 3, 25));
    note.addRect(QRectF(41, 11, 3, 23));
    QPolygonF beam;
    beam << QPointF(23, 15) << QPointF(44, 10) << QPointF(44, 15) << QPointF(23, 20);
    note.addPolygon(beam);
    note.setFillRule(Qt::WindingFill);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xfa, 0xfa, 0xfa));
    p.drawPath(note);
    return image;
}

namespace {

// Draws a size only when something asks for it: drawing all seven up front was a noticeable
// part of start-up, and most of them are never shown.
class ProgramIconEngine : public QIconEngine {
  public:
    // The program's picture looks the same in every mode.
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::clamp(std::min(size.width(), size.height()), 1, 1024);
        QPixmap& cached = cache_[side];
        if (cached.isNull()) cached = QPixmap::fromImage(DrawProgramIcon(side));
        return cached;
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size() * painter->device()->devicePixelRatio(), mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (int side : {16, 24, 32, 48, 64, 128, 256})
            sizes.append(QSize(side, side));
        return sizes;
    }
    QIconEngine* clone() const override { return new ProgramIconEngine(*this); }
    QString key() const override { return QStringLiteral("KavettoProgramIcon"); }

  private:
    std::map<int, QPixmap> cache_;
};

} // namespace

QIcon ProgramIcon() {
    return QIcon(new ProgramIconEngine);
}

} // namespace kv::shell
