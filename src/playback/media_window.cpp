#include "playback/media_window.h"

#include "platform/files.h"
#include "platform/twips.h"
#include "platform/window_box.h"
#include "playback/media_backend.h"
#include "playback/mpv_backend.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>

namespace kv::playback {

using platform::PixelsToTwips;
using platform::TwipsToPixels;

namespace {
constexpr int kVolumeWidth = 270;   // twips
constexpr int kProgPicHeight = 240; // twips

QRect ToPixels(const QRect& twips) {
    return QRect(TwipsToPixels(twips.left()), TwipsToPixels(twips.top()), TwipsToPixels(twips.width()),
                 TwipsToPixels(twips.height()));
}

QWidget* MakeBarPicture(QWidget* parent, const char* name) {
    auto* picture = new QWidget(parent);
    picture->setObjectName(QString::fromLatin1(name));
    picture->setAttribute(Qt::WA_OpaquePaintEvent);
    return picture;
}
} // namespace

MediaWindowLayout ArrangeMediaWindow(int scaleWidth, int scaleHeight) {
    MediaWindowLayout l;
    l.volume = QRect(0, 0, kVolumeWidth, std::max(0, scaleHeight));
    const int mediaLeft = kVolumeWidth + 15;
    const int mediaHeight = std::max(0, scaleHeight - kProgPicHeight - 10);
    l.media = QRect(mediaLeft, 0, std::max(0, scaleWidth - mediaLeft), mediaHeight);
    const int progLeft = kVolumeWidth + 10;
    l.progPic = QRect(progLeft, mediaHeight + 25, std::max(0, scaleWidth - progLeft), kProgPicHeight);
    return l;
}

QString MovieCaption(const QString& path) {
    return QStringLiteral("【movie】 ") + platform::FileNameOf(path);
}

MediaWindow::MediaWindow(const QString& name, MediaBackend& control, MediaWindowHost& host,
                         display::ProgressBarHost& bars, MovieRender render)
    : QWidget(nullptr, Qt::Window), control_(control), render_(render), host_(host), progBar_(bars),
      volumeBar_(bars) {
    setObjectName(name);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(320, 260);

    volume_ = MakeBarPicture(this, "Volume");
    progPic_ = MakeBarPicture(this, "ProgPic");
    blank_ = new QWidget(this);
    blank_->setFocusPolicy(Qt::StrongFocus);
    blank_->installEventFilter(this);

    progBar_.SetTarget(progPic_);
    progBar_.SetBarStyle(display::CProgressBar::PositionStyle);
    volumeBar_.SetTarget(volume_);
    volumeBar_.SetBarStyle(display::CProgressBar::VolumeStyle);
    // After the bars' own filters, so these run first and the bars still see every event.
    progPic_->installEventFilter(this);
    volume_->installEventFilter(this);
}

MovieView* MediaWindow::EnsureMovie() {
    if (movie_) return movie_;
    MpvCore* core = control_.VideoCore();
    if (!core) return nullptr;
    movie_ = CreateMovieView(*core, this, render_);
    QWidget* picture = movie_->Widget();
    picture->setObjectName(objectName() == QLatin1String("Y") ? QStringLiteral("RealPlayer")
                                                              : QStringLiteral("MediaPlayer"));
    picture->setFocusPolicy(Qt::StrongFocus);
    picture->installEventFilter(this);
    delete blank_;
    blank_ = nullptr;
    Arrange();
    picture->show();
    return movie_;
}

QWidget* MediaWindow::Picture() const {
    return movie_ ? movie_->Widget() : blank_;
}

MediaWindow::~MediaWindow() = default;

void MediaWindow::ShowWindow() {
    if (isVisible()) return;
    EnsureMovie();
    const MoviePlacement p = host_.Placement();
    // The same box both ways (outer corner, client size), so a window shown and hidden again keeps
    // its place exactly.
    const QSize size =
        p.width > 0 && p.height > 0 ? QSize(TwipsToPixels(p.width), TwipsToPixels(p.height)) : this->size();
    const QPoint at = p.placed ? QPoint(TwipsToPixels(p.left), TwipsToPixels(p.top))
                               : platform::BesideWindow(host_.Owner(), size);
    platform::PlaceWindow(*this, QRect(at, size));
    platform::ShowInState(*this, p.state);
}

void MediaWindow::HideWindow() {
    if (!isVisible()) return;
    MoviePlacement p = host_.Placement();
    p.state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    // The normal placement is what is kept, whatever state the window is in now.
    const QRect normal = platform::NormalWindowBox(*this);
    if (windowState() != Qt::WindowNoState) setWindowState(Qt::WindowNoState);
    hide();
    p.width = platform::KeepTwips(normal.width(), p.width);
    p.height = platform::KeepTwips(normal.height(), p.height);
    p.left = platform::KeepTwips(normal.x(), p.left);
    p.top = platform::KeepTwips(normal.y(), p.top);
    p.placed = true;
    host_.SetPlacement(p);
}

void MediaWindow::PictureClicked() {
    // Full screen is left for the window size first; only then does a click pause or play.
    if (isFullScreen()) {
        showNormal();
        return;
    }
    host_.PlayPause();
}

void MediaWindow::closeEvent(QCloseEvent* event) {
    // The program itself closes these windows only while it closes; any other close is the
    // user's close box.
    const bool byUser = !host_.Closing();
    HideWindow();
    if (byUser) host_.StopPlayback();
    if (host_.Closing())
        event->accept();
    else
        event->ignore(); // the window stays, hidden, for the next video
}

void MediaWindow::resizeEvent(QResizeEvent*) {
    Arrange();
}

void MediaWindow::Arrange() {
    const MediaWindowLayout l = ArrangeMediaWindow(PixelsToTwips(width()), PixelsToTwips(height()));
    volume_->setGeometry(ToPixels(l.volume));
    Picture()->setGeometry(ToPixels(l.media));
    progPic_->setGeometry(ToPixels(l.progPic));
    update();
}

bool MediaWindow::AltKey(int key) {
    switch (key) {
    case Qt::Key_Left:
        host_.ClickToolBarBack(4);
        return true;
    case Qt::Key_Right:
        host_.ClickToolBarBack(5);
        return true;
    case Qt::Key_Down:
        volumeBar_.SetValue(volumeBar_.Value() - 2);
        return true;
    case Qt::Key_Up:
        volumeBar_.SetValue(volumeBar_.Value() + 2);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The control's own full-screen key.
        if (isFullScreen())
            showNormal();
        else
            showFullScreen();
        return true;
    default:
        return false;
    }
}

void MediaWindow::keyPressEvent(QKeyEvent* event) {
    if ((event->modifiers() & Qt::AltModifier) && AltKey(event->key())) return;
    QWidget::keyPressEvent(event);
}

bool MediaWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == progPic_ || watched == volume_) {
        if (event->type() == QEvent::MouseButtonRelease) {
            // So the Alt keys keep working after a bar was used.
            Picture()->setFocus(Qt::MouseFocusReason);
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton) {
            PictureClicked();
            return true;
        }
        if (e->button() == Qt::RightButton) {
            host_.ShowPlayPositionMenu(e->globalPosition().toPoint());
            return true;
        }
        return false;
    }
    case QEvent::KeyPress: {
        auto* e = static_cast<QKeyEvent*>(event);
        return (e->modifiers() & Qt::AltModifier) && AltKey(e->key());
    }
    default:
        return false;
    }
}

} // namespace kv::playback
