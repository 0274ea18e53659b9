#include "shell/form_start.h"

#include "platform/text_colour.h"
#include "shell/layout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace kv::shell {

int CLoadPicture::BarRight(int scaleWidthTwips, int value) {
    return int(std::lround(scaleWidthTwips / 100.0 * value / 12.0));
}

void CLoadPicture::SetPictureBox(QLabel* picture) {
    picture_ = picture;
    scaleWidth_ = picture ? PixelsToTwips(picture->width()) : 0;
    value_ = 0;
    if (picture_) {
        QPixmap blank(picture_->size());
        blank.fill(QColor(70, 50, 50));
        picture_->setPixmap(blank);
    }
}

void CLoadPicture::SetValue(int value) {
    value_ = value;
    if (!picture_) return;
    constexpr int kFrameMs = 16;
    if (lastDrawn_.isValid() && lastDrawn_.elapsed() < kFrameMs) {
        if (!drawPending_) {
            drawPending_ = true;
            QTimer::singleShot(kFrameMs - int(lastDrawn_.elapsed()), picture_, [this] { Draw(); });
        }
        return;
    }
    Draw();
}

void CLoadPicture::Draw() {
    drawPending_ = false;
    lastDrawn_.start();
    const int right = std::min(TwipsToPixels(BarRight(scaleWidth_, value_)), picture_->width());
    QPixmap pixmap(picture_->size());
    pixmap.fill(QColor(70, 50, 50));
    QPainter p(&pixmap);
    p.fillRect(QRect(0, 0, right, TwipsToPixels(100) + 1), QColor(240, 0, 0));
    p.setPen(QColor(70, 50, 50));
    p.drawLine(0, 0, right, 0);
    p.end();
    picture_->setPixmap(pixmap);
    picture_->repaint();
}

FormStart::FormStart(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FormStart"));
    setFixedSize(360, 160);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(40, 40, 40));
    setPalette(pal);

    auto* title = new QLabel(QStringLiteral("Kavetto"), this);
    QFont font = title->font();
    font.setPointSize(26);
    font.setBold(true);
    title->setFont(font);
    platform::SetTextColour(title, QColor(250, 250, 250));
    title->setGeometry(24, 28, 312, 60);
    auto* subtitle = new QLabel(QStringLiteral("起動しています…"), this);
    platform::SetTextColour(subtitle, QColor(190, 255, 190));
    subtitle->setGeometry(26, 88, 312, 24);

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("LoadPic"));
    picture_->setGeometry(24, 124, 312, TwipsToPixels(100) + 2);
    loadPic_.SetPictureBox(picture_);

    // Rounded outline with a 20 by 20 corner ellipse.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(1, 1, width() - 1, height() - 1), 10, 10);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

} // namespace kv::shell
