// One frame of the visualizer panel (the arithmetic and the drawing into its image) for each bar
// type, against a plain QPainter fill of the same image, and the heap allocations made per frame.
#include "display/panel_colors.h"
#include "display/panel_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

static std::atomic<long> g_allocations{0};
void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int kFrames = 20000;

// Median of five runs of `frames` calls, in microseconds per call.
template <class F> double PerCall(F f) {
    double runs[5];
    for (double& r : runs) {
        QElapsedTimer t;
        t.start();
        for (int k = 0; k < kFrames; ++k)
            f(k);
        r = double(t.nsecsElapsed()) / 1000.0 / kFrames;
    }
    std::sort(runs, runs + 5);
    return runs[2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv::display::SetPanelColor(3);
    // The panel at its design size in the main window.
    QWidget panel;
    panel.resize(210, 72);

    // A wave that changes every frame like music: two tones and a slow swell.
    int frame = 0;
    kv::display::PanelViewHooks hooks;
    // Recorded beforehand, so that the timing is the panel's and not the making of the wave.
    static int32_t waves[64][2][256];
    for (int f = 0; f < 64; ++f) {
        const double swell = 0.5 + 0.5 * std::sin(f * 0.4);
        for (int i = 0; i < 256; ++i) {
            waves[f][0][i] = int32_t(std::lround(100 * swell * std::sin((i + f * 11) * 0.13)));
            waves[f][1][i] = int32_t(std::lround(90 * swell * std::sin((i + f * 7) * 0.31)));
        }
    }
    hooks.getWave = [&frame](int32_t* l, int32_t* r) {
        std::copy_n(waves[frame & 63][0], 256, l);
        std::copy_n(waves[frame & 63][1], 256, r);
    };
    kv::display::CPanelView view(hooks);
    view.SetPanelTarget(&panel);

    QImage plain(210, 72, QImage::Format_RGB32);
    const double fill = PerCall([&](int k) {
        QPainter p(&plain);
        p.fillRect(plain.rect(), QColor(40 + (k & 1), 40, 40));
    });
    std::printf("plain QPainter fill of a 210x72 image: %.2f us\n", fill);
    double worst = 0;
    for (int type = 1; type <= 5; ++type) {
        view.SetBarType(type);
        view.StartPanelView();
        const double us = PerCall([&](int k) {
            frame = k;
            view.DrawPanel();
        });
        const long before = g_allocations.load();
        for (int k = 0; k < 1000; ++k) {
            frame = k;
            view.DrawPanel();
        }
        const double allocs = double(g_allocations.load() - before) / 1000;
        worst = std::max(worst, us);
        std::printf("bar type %d: %.2f us a frame (%.1f x the plain fill), %.2f allocations a frame\n", type,
                    us, us / fill, allocs);
    }
    std::printf("slowest frame %.3f ms (goal: under 0.3 ms)\n", worst / 1000);
    return worst < 300 ? 0 : 1;
}
