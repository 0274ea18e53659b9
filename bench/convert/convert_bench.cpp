// The conversion window's run against the encoder's own command line:
//  - a 10-minute WAVE to MP3 through FormEncode (press "変換", wait for the run to end)
//    against `lame --noreplaygain -V 2 -q 2` on the same file, the settings the engine's defaults stand for
//    (goal: at most 1.1 times as long);
//  - from the moment the engine reports the file finished to "100%" in the progress window and
//    to the window closing (goal: closed within 1.5 s);
//  - the longest stall of the event loop during the run, with a 10 ms timer watching it
//    (goal: under 100 ms).
// Runs alternate between the two so that a busy machine weighs on both alike; medians shown.
#include "engine/vbmp3.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "tools/form_encode.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Ten minutes of 44.1 kHz stereo: a few drifting tones over quiet noise, so the encoder has
// something like music to work on.
void WriteSourceWave(const QString& path) {
    constexpr int rate = 44100, seconds = 600;
    std::ofstream out(path.toStdString(), std::ios::binary);
    const uint32_t dataBytes = uint32_t(rate) * seconds * 4;
    auto le32 = [&](uint32_t v) { out.put(char(v)).put(char(v >> 8)).put(char(v >> 16)).put(char(v >> 24)); };
    auto le16 = [&](uint16_t v) { out.put(char(v)).put(char(v >> 8)); };
    out.write("RIFF", 4);
    le32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    le32(16);
    le16(1);
    le16(2);
    le32(rate);
    le32(rate * 4);
    le16(4);
    le16(16);
    out.write("data", 4);
    le32(dataBytes);
    std::mt19937 random(7);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    std::vector<int16_t> block(size_t(rate) * 2);
    double phase[3] = {0, 0, 0};
    for (int s = 0; s < seconds; ++s) {
        const double base[3] = {220.0 * (1 + 0.5 * std::sin(s * 0.1)), 330.0 + s % 7 * 20,
                                880.0 + s % 5 * 40};
        for (int i = 0; i < rate; ++i) {
            double v = 0;
            for (int k = 0; k < 3; ++k) {
                phase[k] += 2 * M_PI * base[k] / rate;
                v += 0.2 * std::sin(phase[k]);
            }
            block[size_t(i) * 2] = int16_t(std::lround((v + noise(random)) * 32767 * 0.8));
            block[size_t(i) * 2 + 1] = int16_t(std::lround((v * 0.9 + noise(random)) * 32767 * 0.8));
        }
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(block.size() * 2));
    }
}

// User and system CPU seconds of this process or of its ended children: on a machine shared with
// other work the wall times wander, the CPU each side spends much less.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct RunFigures {
    double total = 0;        // "変換" pressed to the run idle, the MP3 under its final name
    double toHundred = 0;    // engine finished to "100%" shown
    double toClosed = 0;     // engine finished to the progress window hidden
    double longestStall = 0; // longest gap between 10 ms ticks of the event loop
    double cpu = 0;          // CPU seconds of the whole process meanwhile
};

RunFigures WindowRun(const QString& source, const QString& folder) {
    kv::tools::FormEncode form(nullptr);
    form.show();
    form.AddDroppedFiles({source});
    form.TextSave()->setText(folder);
    QApplication::processEvents();

    Clock::time_point finished{}, hundred{}, closed{};
    std::atomic<bool> watching{true};
    std::atomic<Clock::time_point::rep> finishedAt{0};
    // The engine's own report, read as often as possible from another thread.
    std::thread watcher([&] {
        bool running = false;
        while (watching) {
            const int state = vbmp3_getEncodeState(nullptr);
            if (state == VBMP3_CONVERT_RUNNING) running = true;
            if (running && state == VBMP3_CONVERT_FINISHED) {
                finishedAt = Clock::now().time_since_epoch().count();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    QObject::connect(form.Progress()->EncodeBar(), &QProgressBar::valueChanged, [&](int v) {
        if (v == 100 && hundred == Clock::time_point{}) hundred = Clock::now();
    });

    RunFigures figures;
    QEventLoop loop;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(10);
    Clock::time_point lastTick = Clock::now();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        figures.longestStall = std::max(figures.longestStall, Seconds(lastTick, now));
        lastTick = now;
        if (closed == Clock::time_point{} && !form.Progress()->isVisible()) closed = now;
        if (form.Run().CurrentState() == kv::tools::EncodeRun::kIdle) loop.quit();
    });
    const Clock::time_point start = Clock::now();
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    watch.start();
    lastTick = Clock::now();
    form.CommandEncode()->click();
    loop.exec();
    const Clock::time_point end = Clock::now();
    figures.cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    watching = false;
    watcher.join();
    finished = Clock::time_point(Clock::duration(finishedAt.load()));
    figures.total = Seconds(start, end);
    figures.toHundred = Seconds(finished, hundred);
    figures.toClosed = Seconds(finished, closed);
    return figures;
}

struct LameFigures {
    double wall = 0;
    double cpu = 0;
};

LameFigures LameRun(const QString& source, const QString& target) {
    const double cpuBefore = CpuSeconds(RUSAGE_CHILDREN);
    QProcess lame;
    const Clock::time_point start = Clock::now();
    // The library computes no ReplayGain for the engine; the command line would by default.
    lame.start(QStringLiteral("lame"), {"--quiet", "--noreplaygain", "-V", "2", "-q", "2", source, target});
    lame.waitForFinished(-1);
    return {Seconds(start, Clock::now()), CpuSeconds(RUSAGE_CHILDREN) - cpuBefore};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty()) {
        std::printf("lame is not installed\n");
        return 1;
    }
    QTemporaryDir dir;
    kv::platform::SetProgramFolder(dir.path());
    kv::platform::SetMessageHandler([](const kv::platform::MessageRequest& r) {
        std::printf("(message: %s)\n", qPrintable(r.text));
        return kv::platform::MsgAnswer::Ok;
    });
    const QString source = dir.filePath(QStringLiteral("ten minutes.wav"));
    WriteSourceWave(source);
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::vector<double> lame, lameCpu, total, runCpu, hundred, closed, stall;
    for (int i = 0; i < rounds; ++i) {
        const LameFigures reference = LameRun(source, dir.filePath(QStringLiteral("lame.mp3")));
        lame.push_back(reference.wall);
        lameCpu.push_back(reference.cpu);
        QFile::remove(out + QStringLiteral("/ten minutes.mp3"));
        const RunFigures run = WindowRun(source, out);
        total.push_back(run.total);
        runCpu.push_back(run.cpu);
        hundred.push_back(run.toHundred);
        closed.push_back(run.toClosed);
        stall.push_back(run.longestStall);
        std::printf(
            "round %d: lame %.2f s, window run %.2f s (%.3fx), 100%% after %.3f s, closed after %.3f s, "
            "longest stall %.0f ms\n",
            i + 1, lame.back(), run.total, run.total / lame.back(), run.toHundred, run.toClosed,
            run.longestStall * 1000);
        std::fflush(stdout);
    }
    const double ratio = Median(total) / Median(lame);
    std::printf("10-minute WAVE to MP3: window run %.2f s, lame --noreplaygain -V 2 -q 2 %.2f s: %.3fx (goal "
                "<= 1.1x) %s\n",
                Median(total), Median(lame), ratio, ratio <= 1.1 ? "ok" : "OVER");
    const double fastest =
        *std::min_element(total.begin(), total.end()) / *std::min_element(lame.begin(), lame.end());
    std::printf("  fastest of each: %.3fx\n", fastest);
    std::printf("  CPU seconds: window run %.2f, lame %.2f: %.3fx\n", Median(runCpu), Median(lameCpu),
                Median(runCpu) / Median(lameCpu));
    std::printf("engine finished -> 100%% shown %.3f s, progress window closed %.3f s (goal <= 1.5 s) %s\n",
                Median(hundred), Median(closed), Median(closed) <= 1.5 ? "ok" : "OVER");
    const double worstStall = *std::max_element(stall.begin(), stall.end()) * 1000;
    std::printf("longest event-loop stall during the runs %.0f ms (goal < 100 ms) %s\n", worstStall,
                worstStall < 100 ? "ok" : "OVER");
    return 0;
}
