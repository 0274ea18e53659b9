// The sleep timer: its input checks, its countdown on a clock the test moves, the order of
// its shutdown, and the login manager's power-off over a private bus with a fake manager.
#include "platform/message_box.h"
#include "tools/form_timer.h"
#include "tools/sleep_timer.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kv::tools;

namespace {

class FakeClock : public MonotonicClock {
  public:
    qint64 NowMs() const override { return now; }
    qint64 now = 1000;
};

class RecordingHost : public SleepTimerHost {
  public:
    explicit RecordingHost(QStringList& log) : log_(log) {}
    void ShowCountdown(const QString& text) override { caption = text; }
    void ShowTimerIndicator(bool shown) override { indicator = shown; }
    void RestoreCaption() override { caption = "Kavetto"; }
    void SaveEverything() override { log_ << "save"; }
    void EndProcess() override { log_ << "end"; }
    QString caption = "Kavetto";
    bool indicator = false;

  private:
    QStringList& log_;
};

class RecordingPowerOff : public PowerOff {
  public:
    explicit RecordingPowerOff(QStringList& log) : log_(log) {}
    bool Request() override {
        log_ << "power-off";
        return accept;
    }
    bool accept = true;

  private:
    QStringList& log_;
};

class SleepTimerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text + u'|' + r.title;
            return kv::platform::MsgAnswer::Ok;
        });
        form = new FormTimer(host, powerOff, clock, nullptr);
        form->show();
    }
    void TearDown() override {
        delete form.data();
        kv::platform::SetMessageHandler({});
    }
    // Moves the clock to `ms` after the start and runs the tick the timer would run.
    void At(qint64 ms) {
        clock.now = start + ms;
        form->Tick();
    }
    void Execute(const QString& minutes) {
        form->Text1()->setText(minutes);
        start = clock.now;
        form->Command1()->click();
    }

    QStringList log;
    RecordingHost host{log};
    RecordingPowerOff powerOff{log};
    FakeClock clock;
    qint64 start = 0;
    QPointer<FormTimer> form;
    QStringList messages;
};

const QString kRefusal = "1～1000の数値を入れてください|エラー";

TEST(SleepTimerText, CountdownTexts) {
    const std::pair<qint64, const char*> cases[] = {
        {90, "タイマー：残り1分"}, {60, "タイマー：残り1分"},    {59, "タイマー：残り59秒"},
        {0, "タイマー：残り0秒"},  {3599, "タイマー：残り59分"}, {60000, "タイマー：残り1000分"}};
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(CountdownText(seconds), QString(text)) << seconds;
}

TEST(SleepTimerText, MinutesAccepted) {
    const QString huge(10000, u'1');
    const std::pair<QString, std::optional<int>> cases[] = {{"0", std::nullopt},
                                                            {"1001", std::nullopt},
                                                            {"abc", std::nullopt},
                                                            {"", std::nullopt},
                                                            {huge, std::nullopt},
                                                            {"0.6", std::nullopt},
                                                            {"-5", std::nullopt},
                                                            {"1000.4", std::nullopt},
                                                            {"1", 1},
                                                            {"1000", 1000},
                                                            {"2.6", 3},
                                                            {"2.5", 2},
                                                            {" 7 ", 7},
                                                            {"1e2", 100}};
    for (const auto& [text, minutes] : cases)
        EXPECT_EQ(AcceptedMinutes(text), minutes) << text.left(20).toStdString();
    EXPECT_TRUE(IsNumericText("2.6"));
    EXPECT_FALSE(IsNumericText(""));
    EXPECT_FALSE(IsNumericText("12a"));
    EXPECT_FALSE(IsNumericText(huge + huge + huge + huge));
}

// Not a number is refused as it is typed; a number out of range when "実行" is pressed.
TEST_F(SleepTimerTest, InputChecks) {
    EXPECT_EQ(form->windowTitle(), "タイマーの設定");
    EXPECT_EQ(form->Text1()->text(), "30");
    EXPECT_TRUE(form->Option1()->isChecked());
    const QString inputs[] = {"abc", "", QString(10000, u'1'), "0", "1001", "0.4"};
    for (const QString& typed : inputs) {
        messages.clear();
        form->Text1()->setText(typed);
        if (form->Text1()->text() == typed) form->Command1()->click(); // a number: checked on "実行"
        EXPECT_EQ(messages, QStringList{kRefusal}) << typed.left(10).toStdString();
        EXPECT_EQ(form->Text1()->text(), "1");
        EXPECT_FALSE(form->CountdownRunning());
        EXPECT_FALSE(host.indicator);
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(SleepTimerTest, CountdownTextsFollowTheClock) {
    Execute("2.6");
    EXPECT_EQ(form->Text1()->text(), "3");
    EXPECT_TRUE(form->CountdownRunning());
    EXPECT_TRUE(host.indicator);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(host.caption, "タイマー：残り3分");
    const std::pair<qint64, const char*> steps[] = {{90'000, "タイマー：残り1分"},
                                                    {120'000, "タイマー：残り1分"},
                                                    {121'000, "タイマー：残り59秒"},
                                                    {180'999, "タイマー：残り0秒"}};
    for (const auto& [ms, text] : steps) {
        At(ms);
        EXPECT_EQ(host.caption, QString(text)) << ms;
    }
    EXPECT_TRUE(log.isEmpty()) << "0 seconds left is not yet the end";
    At(181'000);
    EXPECT_EQ(log, (QStringList{"save", "end"}));
}

TEST_F(SleepTimerTest, OneMinuteReads59AfterTheFirstSecondAndEndsAfter61) {
    // Near 2^32 ms: where a 32-bit millisecond count wraps, the count must not.
    clock.now = 0xFFFFFFFFLL - 400;
    Execute("1");
    At(1000);
    EXPECT_EQ(host.caption, "タイマー：残り59秒");
    At(60'999);
    EXPECT_TRUE(log.isEmpty());
    At(61'000);
    EXPECT_EQ(log, (QStringList{"save", "end"}));
    EXPECT_FALSE(form->CountdownRunning());
}

TEST_F(SleepTimerTest, ShutdownOrder) {
    struct Case {
        bool powerOff;
        bool accepted;
        QStringList expected;
    } cases[] = {
        {false, true, {"save", "end"}},
        {true, true, {"save", "power-off", "end"}},
        {true, false, {"save", "power-off", "end"}}, // refused: everything is saved, the program ends
    };
    for (const Case& c : cases) {
        log.clear();
        delete form.data();
        form = new FormTimer(host, powerOff, clock, nullptr);
        (c.powerOff ? form->Option2() : form->Option1())->setChecked(true);
        powerOff.accept = c.accepted;
        Execute("1");
        At(61'000);
        At(62'000); // a late tick after the end does nothing more
        EXPECT_EQ(log, c.expected);
    }
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SleepTimerTest, CancelReturnsToIdleAndUnloadsTheWindow) {
    Execute("5");
    At(10'000);
    form->show();
    form->Command2()->click();
    EXPECT_FALSE(host.indicator);
    EXPECT_EQ(host.caption, "Kavetto");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST_F(SleepTimerTest, TheCountUsesTheMinutesOfItsStart) {
    Execute("1");
    form->show(); // opened again from the indicator; the count goes on
    At(10'000);
    form->Text1()->setText("1000");
    At(11'000);
    EXPECT_EQ(host.caption, "タイマー：残り49秒");
    form->Text1()->setText(""); // refused and reset to "1": still no change to the count
    At(30'000);
    EXPECT_EQ(host.caption, "タイマー：残り30秒");
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(SleepTimerTest, AStoppedCountClosedWithoutStartingAgainIsNoLongerShown) {
    Execute("5");
    form->StopCountdown(); // the timer command
    form->show();
    EXPECT_TRUE(host.indicator) << "the caption keeps its last text while the window is open";
    form->close();
    EXPECT_FALSE(host.indicator);
    EXPECT_EQ(host.caption, "Kavetto");
    // A running count closed from its window keeps running.
    Execute("5");
    form->show();
    form->close();
    EXPECT_TRUE(form->CountdownRunning());
    EXPECT_TRUE(host.indicator);
}

TEST_F(SleepTimerTest, RealClockFirstSecond) {
    delete form.data();
    form = new FormTimer(host, powerOff, SteadyClock(), nullptr);
    form->Text1()->setText("1");
    QElapsedTimer clock;
    clock.start();
    form->Command1()->click();
    EXPECT_EQ(host.caption, "タイマー：残り1分");
    // The first tick lands just after the first whole second and shows 59. A loaded machine may
    // run it late and show less, by no more than the time waited; only a fault keeps the count
    // from moving for ten seconds.
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.caption != "タイマー：残り1分"; }, 10'000));
    const qint64 waited = clock.elapsed();
    const QRegularExpressionMatch seconds =
        QRegularExpression("^タイマー：残り(\\d+)秒$").match(host.caption);
    ASSERT_TRUE(seconds.hasMatch()) << host.caption.toStdString();
    EXPECT_LE(seconds.captured(1).toInt(), 59);
    EXPECT_GE(seconds.captured(1).toInt(), 59 - waited / 1000);
}

// The login manager's side of the bus, as far as the program uses it.
class FakeLoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
  public:
    QList<bool> calls;
  public slots:
    void PowerOff(bool interactive) { calls << interactive; }
};

TEST(LogindPowerOffTest, AsksTheLoginManagerNonInteractively) {
    // A private bus of our own: the machine's system bus is never touched.
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    QProcess bus;
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    {
        QDBusConnection connection = QDBusConnection::connectToBus(address, "kv-power-off-test");
        ASSERT_TRUE(connection.isConnected());
        EXPECT_FALSE(LogindPowerOff(connection).Request()) << "no login manager on the bus";
        FakeLoginManager manager;
        ASSERT_TRUE(connection.registerService("org.freedesktop.login1"));
        ASSERT_TRUE(
            connection.registerObject("/org/freedesktop/login1", &manager, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(LogindPowerOff(connection).Request());
        EXPECT_EQ(manager.calls, QList<bool>{false});
        connection.unregisterObject("/org/freedesktop/login1");
    }
    QDBusConnection::disconnectFromBus("kv-power-off-test");
    bus.kill();
    bus.waitForFinished();
    // Until the program installs the login manager's, the power-off refuses.
    EXPECT_FALSE(SystemPowerOff().Request());
}

} // namespace

#include "sleep_timer_test.moc"
