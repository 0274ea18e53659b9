// The sleep-timer window FormTimer ("タイマーの設定"): the minutes, what happens when the time is
// up, "実行" and "解除", and the countdown tick Timer1. UI thread only.
#pragma once
#include "tools/sleep_timer.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace kv::tools {

// What the sleep timer does to the main window and the program.
class SleepTimerHost {
  public:
    virtual ~SleepTimerHost() = default;
    virtual void ShowCountdown(const QString& text) = 0; // the main caption and LabelTimer
    virtual void ShowTimerIndicator(bool shown) = 0;     // ImageTimer and LabelTimer
    virtual void RestoreCaption() = 0;                   // the program's title and version
    // Playback stopped, windows hidden, settings, volume memory and lists saved without a
    // question, the engine released.
    virtual void SaveEverything() = 0;
    virtual void EndProcess() = 0;
};

class FormTimer : public QWidget {
    Q_OBJECT
  public:
    FormTimer(SleepTimerHost& host, PowerOff& powerOff, const MonotonicClock& clock, QWidget* owner);

    void Execute(); // Command1 "実行"
    void Cancel();  // Command2 "解除": idle again, and the window goes
    void Tick();    // Timer1
    // The timer command stops the count until "実行" starts a new one.
    void StopCountdown();
    bool CountdownRunning() const;

    QLineEdit* Text1() const { return text1_; }
    QLabel* Label1() const { return label1_; }
    QRadioButton* Option1() const { return option1_; }
    QRadioButton* Option2() const { return option2_; }
    QPushButton* Command1() const { return command1_; }
    QPushButton* Command2() const { return command2_; }
    QTimer* Timer1() const { return timer1_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Text1Changed(const QString& text);
    void RefuseMinutes();
    void Shutdown();

    SleepTimerHost& host_;
    PowerOff& powerOff_;
    SleepCountdown countdown_;
    QLineEdit* text1_;
    QLabel* label1_;
    QRadioButton* option1_;
    QRadioButton* option2_;
    QPushButton* command1_;
    QPushButton* command2_;
    QTimer* timer1_;
    bool countdownShown_ = false; // the main window shows a count
    bool shuttingDown_ = false;
};

} // namespace kv::tools
