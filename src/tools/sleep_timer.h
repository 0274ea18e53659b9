// The sleep timer's logic without widgets: the minutes typed into the box, the countdown on a
// monotonic clock with its texts, and the request that powers the machine off. UI thread only.
#pragma once
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

class QDBusConnection;

namespace kv::tools {

// Milliseconds on a clock that never jumps with the wall time and does not wrap while the
// program runs (a 32-bit millisecond count wraps after 49.7 days).
class MonotonicClock {
  public:
    virtual ~MonotonicClock() = default;
    virtual qint64 NowMs() const = 0;
};
const MonotonicClock& SteadyClock();

// Powers the machine off once the program has saved everything.
class PowerOff {
  public:
    virtual ~PowerOff() = default;
    // False when the request was refused or nobody could take it.
    virtual bool Request() = 0;
};

// The login manager's PowerOff over D-Bus (org.freedesktop.login1), non-interactive: where the
// desktop's policy wants a password it is refused rather than left waiting for one.
class LogindPowerOff : public PowerOff {
  public:
    LogindPowerOff(); // the system bus, connected when the machine is first to be turned off
    explicit LogindPowerOff(const QDBusConnection& bus);
    ~LogindPowerOff() override;
    bool Request() override;

  private:
    std::unique_ptr<QDBusConnection> bus_;
};

// The power-off the sleep timer uses. Until the program installs the login manager's at
// start-up it is one that refuses, so no test can power off the machine it runs on.
PowerOff& SystemPowerOff();
void SetSystemPowerOff(std::unique_ptr<PowerOff> powerOff);

// Numeric as the minutes box has always judged it: blanks, a sign, digits with a decimal point,
// an exponent. Too large to be a number at all ("1" ten thousand times) is not numeric.
bool IsNumericText(const QString& text);
// The minutes "実行" accepts: from 1 to 1000, rounded to a whole number (halves to even).
std::optional<int> AcceptedMinutes(const QString& text);
// "タイマー：残り" + seconds + "秒" under a minute, + whole minutes + "分" from a minute on.
QString CountdownText(qint64 remainingSeconds);

class SleepCountdown {
  public:
    explicit SleepCountdown(const MonotonicClock& clock) : clock_(clock) {}
    void Start(int minutes);
    // Minutes × 60 − whole seconds since the start; below 0 the time is up.
    qint64 RemainingSeconds() const;
    // Until the count of whole seconds next changes, so ticks land just after it.
    int MsToNextSecond() const;

  private:
    const MonotonicClock& clock_;
    qint64 startMs_ = 0;
    int minutes_ = 0;
};

} // namespace kv::tools
