#include "shell/timer_encode.h"

#include "display/panel_colors.h"
#include "platform/text_colour.h"
#include "shell/main_controls.h"
#include "shell/shell_services.h"
#include "shell/startup.h"
#include "tools/form_encode.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QtMath>

namespace kv::shell {
namespace {

constexpr int kClockSize = 16; // px, one text line of the display row

// The clock picture of ImageTimer, in the display colour, drawn for the screen's pixel ratio.
QPixmap ClockPicture(QColor colour, qreal ratio) {
    QPixmap picture(QSize(kClockSize, kClockSize) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(kClockSize / 2.0, kClockSize / 2.0);
    const qreal radius = kClockSize / 2.0 - 1;
    p.setPen(QPen(colour, 1.2));
    p.drawEllipse(centre, radius, radius);
    for (int hour = 0; hour < 12; hour += 3) {
        const qreal a = qDegreesToRadians(hour * 30.0);
        p.drawPoint(centre + QPointF(std::sin(a), -std::cos(a)) * (radius - 2));
    }
    // Hands at ten past ten, the way clocks are pictured.
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre,
               centre + QPointF(std::sin(qDegreesToRadians(305.0)), -std::cos(qDegreesToRadians(305.0))) *
                            (radius - 3.5));
    p.setPen(QPen(colour, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre,
               centre + QPointF(std::sin(qDegreesToRadians(60.0)), -std::cos(qDegreesToRadians(60.0))) *
                            (radius - 1.5));
    return picture;
}

QString FirstDroppedFile(const QMimeData* mime) {
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return QString();
}

} // namespace

QString ProgramCaption() {
    return QStringLiteral("Kavetto %1.%2.%3")
        .arg(KAVETTO_VERSION_MAJOR)
        .arg(KAVETTO_VERSION_MINOR)
        .arg(KAVETTO_VERSION_PATCH);
}

TimerEncodeGlue::TimerEncodeGlue(MainControls& controls, ProgramState& state, QWidget& window,
                                 std::function<void()> saveEverything,
                                 std::function<void(const QString&)> openTrack)
    : QObject(&window), c_(controls), state_(state), window_(window),
      saveEverything_(std::move(saveEverything)), openTrack_(std::move(openTrack)),
      clock_(&tools::SteadyClock()) {
    setObjectName(QStringLiteral("TimerEncodeGlue"));
    connect(c_.Item(QStringLiteral("IDMTimer")), &QAction::triggered, this,
            [this] { ShowTimerWindow(true); });
    connect(c_.Item(QStringLiteral("IDMEncode")), &QAction::triggered, this, [this] { ShowEncodeWindow(); });
    for (QLabel* label : {c_.imageTimer, c_.labelTimer}) {
        label->setAcceptDrops(true);
        label->installEventFilter(this);
    }
    c_.labelTimer->setToolTip(QStringLiteral("ダブルクリックでタイマーの設定"));
    c_.imageTimer->setFixedSize(kClockSize, kClockSize);
    c_.imageTimer->parentWidget()->installEventFilter(this);
    imageTimer_ = c_.imageTimer;
    labelTimer_ = c_.labelTimer;
    panel_ = c_.imageTimer->parentWidget();
}

bool TimerEncodeGlue::TimerRunning() const {
    return timerWindow_ && timerWindow_->CountdownRunning();
}

void TimerEncodeGlue::ShowTimerWindow(bool fromTimerCommand) {
    if (!timerWindow_) timerWindow_ = new tools::FormTimer(*this, tools::SystemPowerOff(), *clock_, &window_);
    tools::FormTimer* form = timerWindow_;
    if (fromTimerCommand) form->StopCountdown();
    const Qt::WindowModality modality = fromTimerCommand ? Qt::ApplicationModal : Qt::NonModal;
    if (form->windowModality() != modality) {
        // Modality takes effect only on a hidden window.
        form->hide();
        form->setWindowModality(modality);
    }
    form->show();
    form->raise();
    form->activateWindow();
}

void TimerEncodeGlue::ShowEncodeWindow() {
    if (!encodeWindow_) {
        auto* form = new tools::FormEncode(&window_);
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->setWindowModality(Qt::ApplicationModal);
        form->showProperties = [](const QString& path, QWidget* owner) { ShowProperties(path, owner); };
        // The main window writes the folder again at exit; it must write this one.
        connect(form, &tools::FormEncode::SaveFolderWritten, this,
                [this](const QString& folder) { state_.ConversionSaveFolder = folder; });
        encodeWindow_ = form;
    }
    encodeWindow_->show();
    encodeWindow_->raise();
    encodeWindow_->activateWindow();
}

void TimerEncodeGlue::ShowCountdown(const QString& text) {
    window_.setWindowTitle(text);
    c_.labelTimer->setText(text);
    c_.labelTimer->adjustSize();
    PlaceIndicator();
}

void TimerEncodeGlue::ShowTimerIndicator(bool shown) {
    // Stealth mode hides the indicator; it comes back with the normal window while the count runs.
    const bool visible = shown && !state_.StealthActive;
    QLabel* image = c_.imageTimer;
    QLabel* label = c_.labelTimer;
    if (visible) {
        const QColor colour = QColor::fromRgb(display::ShadeTable()[99]);
        image->setPixmap(ClockPicture(colour, image->devicePixelRatioF()));
        platform::SetTextColour(label, colour);
    }
    image->setVisible(visible);
    label->setVisible(visible);
    PlaceIndicator();
}

void TimerEncodeGlue::RestoreCaption() {
    window_.setWindowTitle(ProgramCaption());
}

void TimerEncodeGlue::SaveEverything() {
    saveEverything_();
}

void TimerEncodeGlue::EndProcess() {
    if (endProcess_) {
        endProcess_();
        return;
    }
    // The time may run out while a link search walks or the repair waits for the player, in
    // an event loop of their own: nothing of theirs may run after the shutdown.
    EndProcessNow(0);
}

void TimerEncodeGlue::PlaceIndicator() {
    // Top right of the display panel, clear of the information labels on the left.
    QLabel* image = c_.imageTimer;
    QLabel* label = c_.labelTimer;
    const QWidget* panel = image->parentWidget();
    const int labelWidth = label->sizeHint().width();
    const int labelHeight = std::max(kClockSize, label->sizeHint().height());
    const int right = panel->width() - 8;
    label->setGeometry(right - labelWidth, 4, labelWidth, labelHeight);
    image->move(right - labelWidth - 4 - kClockSize, 4 + (labelHeight - kClockSize) / 2);
    image->raise();
    label->raise();
}

bool TimerEncodeGlue::eventFilter(QObject* watched, QEvent* event) {
    const bool indicator = watched == imageTimer_ || watched == labelTimer_;
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == panel_) PlaceIndicator();
        break;
    case QEvent::MouseButtonDblClick:
        if (indicator) {
            ShowTimerWindow(false);
            return true;
        }
        break;
    case QEvent::DragEnter:
        if (indicator) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (!FirstDroppedFile(drag->mimeData()).isEmpty()) drag->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop:
        if (indicator) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = FirstDroppedFile(drop->mimeData());
            drop->acceptProposedAction();
            // As a drop anywhere else on the main window: the file is opened for playing.
            if (!path.isEmpty()) openTrack_(path);
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kv::shell
