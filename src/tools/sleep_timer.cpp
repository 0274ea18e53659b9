#include "tools/sleep_timer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLocale>

#include <chrono>
#include <cmath>

namespace kv::tools {
namespace {

class Steady : public MonotonicClock {
  public:
    qint64 NowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

class Refusing : public PowerOff {
  public:
    bool Request() override { return false; }
};

std::unique_ptr<PowerOff>& Installed() {
    static std::unique_ptr<PowerOff> installed = std::make_unique<Refusing>();
    return installed;
}

std::optional<double> NumberOf(const QString& text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

} // namespace

const MonotonicClock& SteadyClock() {
    static const Steady clock;
    return clock;
}

// Connecting to the system bus at start-up cost the program a connection thread and a
// handshake that only the sleep timer's end ever needs.
LogindPowerOff::LogindPowerOff() = default;
LogindPowerOff::LogindPowerOff(const QDBusConnection& bus) : bus_(std::make_unique<QDBusConnection>(bus)) {}
LogindPowerOff::~LogindPowerOff() = default;

bool LogindPowerOff::Request() {
    if (!bus_) bus_ = std::make_unique<QDBusConnection>(QDBusConnection::systemBus());
    if (!bus_->isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // interactive: no password prompt
    const QDBusMessage reply = bus_->call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

PowerOff& SystemPowerOff() {
    return *Installed();
}

void SetSystemPowerOff(std::unique_ptr<PowerOff> powerOff) {
    Installed() = powerOff ? std::move(powerOff) : std::make_unique<Refusing>();
}

bool IsNumericText(const QString& text) {
    return NumberOf(text).has_value();
}

std::optional<int> AcceptedMinutes(const QString& text) {
    const std::optional<double> value = NumberOf(text);
    if (!value || *value < 1 || *value > 1000) return std::nullopt;
    return int(std::nearbyint(*value));
}

QString CountdownText(qint64 remainingSeconds) {
    if (remainingSeconds < 60) return QStringLiteral("タイマー：残り%1秒").arg(remainingSeconds);
    return QStringLiteral("タイマー：残り%1分").arg(remainingSeconds / 60);
}

void SleepCountdown::Start(int minutes) {
    startMs_ = clock_.NowMs();
    minutes_ = minutes;
}

qint64 SleepCountdown::RemainingSeconds() const {
    return qint64(minutes_) * 60 - (clock_.NowMs() - startMs_) / 1000;
}

int SleepCountdown::MsToNextSecond() const {
    const qint64 elapsed = std::max<qint64>(0, clock_.NowMs() - startMs_);
    return int(1000 - elapsed % 1000);
}

} // namespace kv::tools
