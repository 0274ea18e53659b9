#include "tools/form_timer.h"

#include "platform/message_box.h"
#include "tools/tool_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kv::tools {

FormTimer::FormTimer(SleepTimerHost& host, PowerOff& powerOff, const MonotonicClock& clock, QWidget* owner)
    : QWidget(owner, Qt::Dialog), host_(host), powerOff_(powerOff), countdown_(clock) {
    setObjectName(QStringLiteral("FormTimer"));
    setWindowTitle(QStringLiteral("タイマーの設定"));
    TakeOwnersIcon(this, owner);
    CloseWithEscape(this);

    text1_ = new QLineEdit(QStringLiteral("30"), this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setAlignment(Qt::AlignRight);
    text1_->setMaximumWidth(80);
    label1_ = new QLabel(QStringLiteral("分後"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setBuddy(text1_); // a label's buddy is the box's name for a screen reader
    auto* frame = new QGroupBox(this);
    option1_ = new QRadioButton(QStringLiteral("Kavetto を終了する。"), frame);
    option1_->setObjectName(QStringLiteral("Option1"));
    option2_ = new QRadioButton(QStringLiteral("ウインドウズを終了する。"), frame);
    option2_->setObjectName(QStringLiteral("Option2"));
    // One choice is always made: with neither, the time running out would leave a hidden
    // program with nothing loaded running on.
    option1_->setChecked(true);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(option1_);
    frameLayout->addWidget(option2_);
    command1_ = new QPushButton(QStringLiteral("実行"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command2_ = new QPushButton(QStringLiteral("解除"), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setTimerType(Qt::PreciseTimer);
    timer1_->setInterval(1000);

    auto* minutes = new QHBoxLayout;
    minutes->addWidget(text1_);
    minutes->addWidget(label1_);
    minutes->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(command1_);
    buttons->addWidget(command2_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(minutes);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    adjustSize();
    CentreOnScreen(this);

    connect(text1_, &QLineEdit::textChanged, this, &FormTimer::Text1Changed);
    connect(command1_, &QPushButton::clicked, this, &FormTimer::Execute);
    connect(command2_, &QPushButton::clicked, this, &FormTimer::Cancel);
    connect(timer1_, &QTimer::timeout, this, &FormTimer::Tick);
}

void FormTimer::RefuseMinutes() {
    platform::ShowMessage(QStringLiteral("1～1000の数値を入れてください"), platform::MsgButtons::Ok,
                          platform::MsgIcon::None, QStringLiteral("エラー"));
    text1_->setText(QStringLiteral("1"));
}

void FormTimer::Text1Changed(const QString& text) {
    if (!IsNumericText(text)) RefuseMinutes();
}

void FormTimer::Execute() {
    const std::optional<int> minutes = AcceptedMinutes(text1_->text());
    if (!minutes) {
        RefuseMinutes();
        return;
    }
    text1_->setText(QString::number(*minutes));
    // The count runs on the minutes taken here: typing in the box while it runs changes nothing
    // until "実行" is pressed again.
    countdown_.Start(*minutes);
    timer1_->start();
    countdownShown_ = true;
    host_.ShowTimerIndicator(true);
    Tick();
    hide();
}

void FormTimer::Cancel() {
    timer1_->stop();
    countdownShown_ = false;
    host_.ShowTimerIndicator(false);
    host_.RestoreCaption();
    hide();
    deleteLater();
}

void FormTimer::StopCountdown() {
    timer1_->stop();
}

bool FormTimer::CountdownRunning() const {
    return timer1_->isActive();
}

void FormTimer::Tick() {
    if (shuttingDown_) return;
    const qint64 remaining = countdown_.RemainingSeconds();
    host_.ShowCountdown(CountdownText(remaining));
    if (remaining < 0) {
        Shutdown();
        return;
    }
    // The next tick lands just after the next whole second, however late this one was.
    timer1_->start(countdown_.MsToNextSecond() + 5);
}

void FormTimer::Shutdown() {
    shuttingDown_ = true;
    timer1_->stop();
    host_.SaveEverything();
    // A refused or unavailable power-off still ends the program: everything is saved already.
    if (option2_->isChecked()) powerOff_.Request();
    host_.EndProcess();
}

void FormTimer::closeEvent(QCloseEvent* event) {
    // Tool windows are hidden, not unloaded. A count that the timer command stopped and that
    // was not started again is no count: the main window stops showing it.
    if (!CountdownRunning() && countdownShown_) {
        countdownShown_ = false;
        host_.ShowTimerIndicator(false);
        host_.RestoreCaption();
    }
    event->accept();
    hide();
}

} // namespace kv::tools
