#include "display/progress_bar.h"
#include "platform/twips.h"

#include "display/panel_colors.h"
#include "playlists/track_format.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace kv::display {

namespace {
constexpr int kTwips = platform::kTwipsPerPixel;

// A number of seconds as minutes, "：" and two-digit seconds.
QString TimeText(int seconds) { return playlists::FormatPlayTime(std::max(0, seconds)); }

// x / extent × max rounded to the nearest whole number, halves to even.
int Scaled(double numerator, double extent, int max) {
    if (extent <= 0) return 0;
    const double v = std::nearbyint(numerator / extent * max);
    return int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}
} // namespace

QString TimeLabelText(int value, int max) { return TimeText(value) + QStringLiteral("/") + TimeText(max); }

CProgressBar::CProgressBar(ProgressBarHost& host, VolumeMemory* listVol, QObject* parent)
    : QObject(parent), host_(host), listVol_(listVol) {}

CProgressBar::~CProgressBar() {
    if (target_) { // the bar lets go of its picture
        target_->removeEventFilter(this);
        MarkAccessible(target_, false);
    }
}

void CProgressBar::SetTarget(QWidget* picture) {
    if (target_) {
        target_->removeEventFilter(this);
        MarkAccessible(target_, false);
    }
    target_ = picture;
    if (target_) {
        target_->installEventFilter(this);
        target_->setAcceptDrops(true);
        MarkAccessible(target_, true);
    }
    Resized();
}

void CProgressBar::Resized() {
    pixelWidth_ = target_ ? target_->width() : 0;
    pixelHeight_ = target_ ? target_->height() : 0;
    RedrawPanel();
}

void CProgressBar::SetMax(int max) {
    max_ = std::max(0, max); // a negative end would make every clamp below 0
    RedrawPanel();
}

void CProgressBar::SetBarStyle(int style) {
    style_ = style;
    if (style == PositionStyle) value_ = 0, max_ = 0;
    else if (style == VolumeStyle) value_ = 50, max_ = 100;
}

void CProgressBar::SetBackColor(QRgb colour) {
    backColor_ = colour;
    RedrawPanel();
}

int CProgressBar::Width() const { return target_ ? target_->width() * kTwips : 0; }
int CProgressBar::Height() const { return target_ ? target_->height() * kTwips : 0; }
int CProgressBar::Top() const { return target_ ? target_->y() * kTwips : 0; }
int CProgressBar::Left() const { return target_ ? target_->x() * kTwips : 0; }
void CProgressBar::SetWidth(int twips) {
    if (target_) target_->resize(std::max(0, twips / kTwips), target_->height());
    pixelWidth_ = target_ ? target_->width() : 0;
}
void CProgressBar::SetHeight(int twips) {
    if (target_) target_->resize(target_->width(), std::max(0, twips / kTwips));
    pixelHeight_ = target_ ? target_->height() : 0;
}
void CProgressBar::SetTop(int twips) {
    if (target_) target_->move(target_->x(), twips / kTwips);
}
void CProgressBar::SetLeft(int twips) {
    if (target_) target_->move(twips / kTwips, target_->y());
}

void CProgressBar::Clear() {
    const QSize size(std::max(1, pixelWidth_), std::max(1, pixelHeight_));
    if (picture_.size() != size) picture_ = QImage(size, QImage::Format_RGB32);
    picture_.fill(backColor_);
}

void CProgressBar::Refresh() {
    if (target_) target_->update();
}

void CProgressBar::Draw() {
    const Shades& shades = ShadeTable();
    QPainter p(&picture_);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (style_ == PositionStyle) {
        // 64-bit: a long track on a wide bar must not overflow the product.
        const int w = max_ == 0 ? 0 : int(qint64(pixelWidth_) * value_ / max_);
        if (w <= 0) return;
        for (int i = 0; i < 5; ++i) {
            p.setPen(QColor(shades[size_t(100 + 28 * i)]));
            // Line ends are exclusive: the band covers columns 0..w-1.
            p.drawLine(0, 5 - i, w - 1, 5 - i);
            p.drawLine(0, 5 + i, w - 1, 5 + i);
        }
    } else if (style_ == VolumeStyle) {
        const int h = max_ == 0 ? 0 : int(qint64(pixelHeight_) * value_ / max_);
        if (h <= 0) return;
        const int bottom = pixelHeight_, top = pixelHeight_ - h;
        for (int i = 0; i < 7; ++i) {
            p.setPen(QColor(shades[size_t(100 + 24 * i)]));
            // From the bottom edge up to, not including, row `top`.
            if (bottom - 1 >= top + 1) {
                p.drawLine(4 - i, bottom - 1, 4 - i, top + 1);
                p.drawLine(4 + i, bottom - 1, 4 + i, top + 1);
            }
        }
    }
}

void CProgressBar::RedrawPanel() {
    Clear();
    if (style_ == PositionStyle && host_.Initializing()) {
        Refresh();
        return;
    }
    Draw();
    Refresh();
}

void CProgressBar::SetValue(int value) {
    const int before = value_;
    value_ = std::clamp(value, 0, std::max(0, max_));
    if (value_ != before) AnnounceValue();
    Clear();
    if (style_ == PositionStyle) {
        if (host_.Initializing()) {
            Refresh();
            return;
        }
        host_.SetTimeLabel(TimeLabelText(value_, max_));
        Draw();
        Refresh();
        return;
    }
    if (style_ != VolumeStyle) {
        Refresh();
        return;
    }
    RememberVolume();
    host_.DeviceSetVolume(value_);
    Draw();
    SyncVolumeBars();
    Refresh();
}

void CProgressBar::RememberVolume() {
    if (!listVol_) return;
    const QString name = host_.DeviceFileName();
    int index = listVol_->Find(name);
    if (index < 0) {
        if (name.isEmpty()) return;
        index = listVol_->Add(name);
    }
    listVol_->SetSubItem(index, 1, QString::number(value_));
}

void CProgressBar::SyncVolumeBars() {
    CProgressBar* main = host_.MainVolumeBar();
    if (main != this) {
        if (main && main->Value() != value_) main->SetValue(value_);
        return;
    }
    for (CProgressBar* bar : host_.MediaVolumeBars())
        if (bar && bar != this && bar->Value() != value_) bar->SetValue(value_);
}

int CProgressBar::ValueAt(QPoint pos) const {
    if (style_ == VolumeStyle) return Scaled(double(pixelHeight_ - pos.y()), pixelHeight_, max_);
    return Scaled(double(pos.x()), pixelWidth_, max_);
}

void CProgressBar::MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos) {
    if (button == Qt::LeftButton) {
        barMove_ = true;
        SetValue(ValueAt(pos));
    } else if (button == Qt::RightButton) {
        host_.ShowPlayPositionMenu(globalPos);
    }
}

void CProgressBar::MouseMove(Qt::MouseButtons buttons, QPoint pos) {
    if ((buttons & Qt::LeftButton) && barMove_) SetValue(ValueAt(pos));
}

void CProgressBar::MouseUp(Qt::MouseButton button, QPoint pos) {
    if (button == Qt::LeftButton) ReleaseAt(ValueAt(pos));
}

bool CProgressBar::MoveTo(int value) {
    if (value < 0 || value > max_) return false;
    ReleaseAt(value);
    return true;
}

void CProgressBar::ReleaseAt(int value) {
    if (style_ == VolumeStyle) {
        SetValue(value);
        return;
    }
    const QString state = host_.DeviceState();
    if (state == u"Paused") {
        host_.PlayOrResume();
    } else if (state == u"Stopped" || state == u"NotLoaded") {
        if (host_.DeviceFileName().isEmpty()) host_.PlaySelected();
        else host_.PlayOrResume();
    }
    SetValue(value);
    host_.DeviceSetPosition(value_);
    barMove_ = false;
}

// The volume keys step as the lists' Alt+arrows (2) and the menu (10) do; the position moves by
// 5 and 30 seconds.
bool CProgressBar::KeyPressed(int key) {
    const bool volume = style_ == VolumeStyle;
    const int step = volume ? 2 : 5, page = volume ? 10 : 30;
    int to;
    switch (key) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        to = value_ + step;
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        to = value_ - step;
        break;
    case Qt::Key_PageUp:
        to = value_ + page;
        break;
    case Qt::Key_PageDown:
        to = value_ - page;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = max_;
        break;
    default:
        return false;
    }
    MoveTo(std::clamp(to, 0, max_));
    return true;
}

// Only while a screen reader listens: the position bar changes every second.
void CProgressBar::AnnounceValue() {
    if (!target_ || !QAccessible::isActive()) return;
    QAccessibleValueChangeEvent event(target_, value_);
    QAccessible::updateAccessibility(&event);
}

void CProgressBar::Dropped(const QStringList& files) {
    const QString first = files.isEmpty() ? QString() : files.first();
    const QString path = first.isEmpty() ? host_.ActiveViewSelectedPath() : first;
    if (!path.isEmpty()) host_.OpenTrack(path);
}

int CProgressBar::StoredVolume(const QString& name) const {
    const int index = listVol_ ? listVol_->Find(name) : -1;
    if (index < 0) return -1;
    bool ok = false;
    const double stored = listVol_->SubItem(index, 1).trimmed().toDouble(&ok);
    // Not a number leaves the bar's value; any number is brought into range.
    if (!ok || !std::isfinite(stored)) return -1;
    return std::clamp(int(std::nearbyint(std::clamp(stored, -1e9, 1e9))), 0, std::max(0, max_));
}

void CProgressBar::ReadVolume() {
    if (!listVol_) return;
    const QString name = host_.DeviceFileName();
    int volume = value_;
    if (listVol_->Find(name) >= 0) {
        if (const int stored = StoredVolume(name); stored >= 0) volume = stored;
    } else if (!name.isEmpty()) {
        listVol_->SetSubItem(listVol_->Add(name), 1, QString::number(value_));
    }
    SetValue(volume);
}

void CProgressBar::LoadVolume(const QString& file) {
    if (listVol_) listVol_->Load(file);
}

bool CProgressBar::SaveVolume(const QString& file) { return listVol_ && listVol_->Save(file); }

bool CProgressBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != target_) return false;
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter p(target_);
        p.drawImage(0, 0, picture_);
        if (target_->hasFocus()) {
            // Where the keys act, for those who use them without a screen reader.
            p.setPen(QPen(QColor(foreColor_), 1, Qt::DotLine));
            p.drawRect(target_->rect().adjusted(0, 0, -1, -1));
        }
        return true;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        target_->update();
        return false;
    case QEvent::Resize:
        Resized();
        return false;
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        MouseDown(e->button(), e->position().toPoint(), e->globalPosition().toPoint());
        return true;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        MouseMove(e->buttons(), e->position().toPoint());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        MouseUp(e->button(), e->position().toPoint());
        return true;
    }
    case QEvent::KeyPress: {
        auto* e = static_cast<QKeyEvent*>(event);
        // With a modifier the key is a command of the window's (Alt+arrows and the like).
        return (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && KeyPressed(e->key());
    }
    case QEvent::ContextMenu:
        // The menu key or Shift+F10 opens what the right button opens.
        if (static_cast<QContextMenuEvent*>(event)->reason() != QContextMenuEvent::Keyboard) return false;
        host_.ShowPlayPositionMenu(target_->mapToGlobal(target_->rect().center()));
        return true;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        static_cast<QDropEvent*>(event)->acceptProposedAction();
        return true;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        QStringList files;
        // Only the first file counts; a drag of track rows carries no files.
        for (const QUrl& url : e->mimeData()->urls())
            if (url.isLocalFile()) {
                files.append(url.toLocalFile());
                break;
            }
        Dropped(files);
        e->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

} // namespace kv::display
