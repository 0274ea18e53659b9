// The window's side of the sleep timer and of the conversion window: their commands, the timer
// indicator ImageTimer/LabelTimer in the display row, and the timer's shutdown.
#pragma once
#include "shell/program_state.h"
#include "tools/form_encode.h"
#include "tools/form_timer.h"

#include <QObject>
#include <QPointer>
#include <functional>

namespace kv::shell {

struct MainControls;

// The main caption at start-up: the program's title and version.
QString ProgramCaption();

class TimerEncodeGlue : public QObject, public tools::SleepTimerHost {
    Q_OBJECT
  public:
    // `saveEverything` is the window's shutdown without a question; `openTrack` plays a file
    // dropped on the indicator.
    TimerEncodeGlue(MainControls& controls, ProgramState& state, QWidget& window,
                    std::function<void()> saveEverything, std::function<void(const QString&)> openTrack);

    // IDMTimer (modal, the count stopped first) and the indicator's double click (not modal).
    void ShowTimerWindow(bool fromTimerCommand);
    void ShowEncodeWindow(); // IDMEncode
    tools::FormTimer* TimerWindow() const { return timerWindow_; }
    tools::FormEncode* EncodeWindow() const { return encodeWindow_; }
    bool TimerRunning() const;

    // Tests count on a clock of their own and may end no process (an empty function: the
    // process ends at once, as the program's own end).
    void SetClock(const tools::MonotonicClock& clock) { clock_ = &clock; }
    void SetEndProcess(std::function<void()> endProcess) { endProcess_ = std::move(endProcess); }

    // SleepTimerHost
    void ShowCountdown(const QString& text) override;
    void ShowTimerIndicator(bool shown) override;
    void RestoreCaption() override;
    void SaveEverything() override;
    void EndProcess() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PlaceIndicator();

    MainControls& c_;
    ProgramState& state_;
    QWidget& window_;
    std::function<void()> saveEverything_;
    std::function<void(const QString&)> openTrack_;
    // What the filter watches, as plain objects: events still arrive while the window is being
    // destroyed, when it must no longer be called.
    const QObject* imageTimer_ = nullptr;
    const QObject* labelTimer_ = nullptr;
    const QObject* panel_ = nullptr;
    QPointer<tools::FormTimer> timerWindow_;
    QPointer<tools::FormEncode> encodeWindow_;
    const tools::MonotonicClock* clock_;
    std::function<void()> endProcess_;
};

} // namespace kv::shell
