#include "engine/dsp.h"

#include <algorithm>
#include <cmath>

namespace kv::engine {

float VolumeToGain(int volume)
{
    const float v = std::clamp(volume, 0, 100) / 100.0f;
    return v * v;
}

Equalizer::Equalizer(int sampleRate) : rate_(sampleRate)
{
    Retarget();
    current_ = target_;
    preamp_ = targetPreamp_;
}

void Equalizer::SetSampleRate(int rate)
{
    if (rate == rate_ || rate <= 0)
        return;
    rate_ = rate;
    Retarget();
    current_ = target_;
    preamp_ = targetPreamp_;
    Reset();
}

void Equalizer::SetGains(const std::array<int16_t, kBands>& tenthsDb)
{
    for (int i = 0; i < kBands; ++i)
        gains_[i] = static_cast<int16_t>(std::clamp<int>(tenthsDb[i], -120, 120));
    Retarget();
}

void Equalizer::Reset()
{
    for (int b = 0; b < kBands; ++b)
        z1_[b] = z2_[b] = Pair{0, 0};
}

// Robert Bristow-Johnson's peaking filter, one octave wide (Q = sqrt(2)).
Equalizer::Coeffs Equalizer::Peaking(double rate, double freq, double gainDb)
{
    Coeffs c;
    if (gainDb == 0 || freq >= rate * 0.49)
        return c;
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2 * M_PI * freq / rate;
    const double alpha = std::sin(w) / (2 * std::sqrt(2.0));
    const double cw = std::cos(w);
    const double a0 = 1 + alpha / a;
    c.b0 = (1 + alpha * a) / a0;
    c.b1 = -2 * cw / a0;
    c.b2 = (1 - alpha * a) / a0;
    c.a1 = -2 * cw / a0;
    c.a2 = (1 - alpha / a) / a0;
    return c;
}

void Equalizer::Retarget()
{
    bool flat = true;
    int boost = 0;
    for (int i = 0; i < kBands; ++i) {
        target_[i] = Peaking(rate_, kCentres[i], gains_[i] / 10.0);
        flat = flat && gains_[i] == 0;
        boost = std::max<int>(boost, gains_[i]);
    }
    targetPreamp_ = std::pow(10.0, -boost / 200.0);
    gliding_ = true;
    if (bypass_ && !flat) {
        // Coming out of bypass: start from a flat response with clean state.
        for (auto& c : current_)
            c = Coeffs{};
        preamp_ = 1;
        Reset();
    }
    bypass_ = false;
}

void Equalizer::Process(float* stereo, int frames)
{
    if (bypass_)
        return;
    if (!gliding_) {
        Filter(stereo, frames);
        return;
    }
    // While gliding, the coefficients move a step every 32 frames.
    constexpr int kBlock = 32;
    for (int start = 0; start < frames; start += kBlock) {
        const int n = std::min(kBlock, frames - start);
        if (gliding_) {
            // A convex mix of two stable biquads is stable, so gliding the coefficients is safe.
            bool done = true;
            auto step = [&](double& x, double y) {
                x += (y - x) * 0.08;
                if (std::abs(y - x) > 1e-7)
                    done = false;
                else
                    x = y;
            };
            for (int b = 0; b < kBands; ++b) {
                Coeffs& c = current_[b];
                const Coeffs& t = target_[b];
                step(c.b0, t.b0); step(c.b1, t.b1); step(c.b2, t.b2); step(c.a1, t.a1); step(c.a2, t.a2);
            }
            step(preamp_, targetPreamp_);
            if (done) {
                gliding_ = false;
                bool flat = std::all_of(gains_.begin(), gains_.end(), [](int16_t g) { return g == 0; });
                if (flat) {
                    bypass_ = true;
                    Reset();
                    return;
                }
            }
        }
        Filter(stereo + start * 2, n);
    }
}

namespace {

using Pair = double __attribute__((vector_size(16)));

struct Chain {
    Pair b0[Equalizer::kBands], b1[Equalizer::kBands], b2[Equalizer::kBands];
    Pair a1[Equalizer::kBands], a2[Equalizer::kBands];
    Pair z1[Equalizer::kBands], z2[Equalizer::kBands];
    Pair pipe[Equalizer::kBands + 1]; // pipe[k]: the frame band k takes next
};

// One step of the chain for bands hi down to lo (downwards: band k reads pipe[k] before
// band k-1 overwrites it).
template <typename Z, typename P>
inline void Step(const Chain& c, Z& z1, Z& z2, P& pipe, int k)
{
    const Pair x = pipe[k];
    const Pair y = c.b0[k] * x + z1[k];
    z1[k] = c.b1[k] * x - c.a1[k] * y + z2[k];
    z2[k] = c.b2[k] * x - c.a2[k] * y;
    pipe[k + 1] = y;
}

// The steps where every band has a frame, with the band count fixed so the loop unrolls and
// the state stays in registers.
template <int N>
void Steady(Chain& c, float* p, int t0, int t1)
{
    Pair z1[N], z2[N], pipe[N + 1];
    for (int k = 0; k < N; ++k) {
        z1[k] = c.z1[k];
        z2[k] = c.z2[k];
        pipe[k] = c.pipe[k];
    }
    for (int t = t0; t < t1; ++t) {
        pipe[0] = Pair{p[t * 2], p[t * 2 + 1]};
#pragma GCC unroll 10
        for (int k = N - 1; k >= 0; --k)
            Step(c, z1, z2, pipe, k);
        p[(t - N + 1) * 2] = static_cast<float>(pipe[N][0]);
        p[(t - N + 1) * 2 + 1] = static_cast<float>(pipe[N][1]);
    }
    for (int k = 0; k < N; ++k) {
        c.z1[k] = z1[k];
        c.z2[k] = z2[k];
        c.pipe[k] = pipe[k];
    }
}

// The same steps with AVX2: bands j and j + N/2 (both channels of each) share one 256-bit
// operation, so the pair's output is at once the next pair's input and no lanes are shuffled
// but where the lower half of the chain feeds the upper one. An odd top band goes alone. The
// operations and their order are those of Steady, so the output is the same to the bit.
// Chosen at run time, as SSE2 is all that x86-64 promises.
using Quad = double __attribute__((vector_size(32)));

__attribute__((target("avx2"), always_inline)) inline Quad MakeQuad(const Pair& lo, const Pair& hi)
{
    return Quad{lo[0], lo[1], hi[0], hi[1]};
}

template <int N>
    requires(N >= 2)
__attribute__((target("avx2"))) void SteadyAvx2(Chain& c, float* p, int t0, int t1)
{
    constexpr int P = N / 2;
    constexpr bool odd = N % 2 == 1;
    // pipe[j] holds the chain's pipe[j] and pipe[j + P].
    Quad b0[P + 1], b1[P + 1], b2[P + 1], a1[P + 1], a2[P + 1], z1[P + 1], z2[P + 1], pipe[P + 1];
    for (int j = 0; j < P; ++j) {
        b0[j] = MakeQuad(c.b0[j], c.b0[j + P]);
        b1[j] = MakeQuad(c.b1[j], c.b1[j + P]);
        b2[j] = MakeQuad(c.b2[j], c.b2[j + P]);
        a1[j] = MakeQuad(c.a1[j], c.a1[j + P]);
        a2[j] = MakeQuad(c.a2[j], c.a2[j + P]);
        z1[j] = MakeQuad(c.z1[j], c.z1[j + P]);
        z2[j] = MakeQuad(c.z2[j], c.z2[j + P]);
    }
    for (int j = 0; j <= P; ++j)
        pipe[j] = MakeQuad(c.pipe[j], c.pipe[j + P]);
    Pair top1 = c.z1[N - 1], top2 = c.z2[N - 1], out = c.pipe[N];
    for (int t = t0; t < t1; ++t) {
        const Pair middle{pipe[P][0], pipe[P][1]}, last{pipe[P][2], pipe[P][3]};
        if constexpr (odd) {
            const int k = N - 1;
            const Pair y = c.b0[k] * last + top1;
            top1 = c.b1[k] * last - c.a1[k] * y + top2;
            top2 = c.b2[k] * last - c.a2[k] * y;
            out = y;
        } else {
            out = last;
        }
        pipe[0] = MakeQuad(Pair{p[t * 2], p[t * 2 + 1]}, middle);
#pragma GCC unroll 5
        for (int j = P - 1; j >= 0; --j) {
            const Quad x = pipe[j];
            const Quad y = b0[j] * x + z1[j];
            z1[j] = b1[j] * x - a1[j] * y + z2[j];
            z2[j] = b2[j] * x - a2[j] * y;
            pipe[j + 1] = y;
        }
        const Pair y = odd ? out : Pair{pipe[P][2], pipe[P][3]};
        p[(t - N + 1) * 2] = static_cast<float>(y[0]);
        p[(t - N + 1) * 2 + 1] = static_cast<float>(y[1]);
    }
    for (int j = 0; j < P; ++j) {
        c.z1[j] = Pair{z1[j][0], z1[j][1]};
        c.z1[j + P] = Pair{z1[j][2], z1[j][3]};
        c.z2[j] = Pair{z2[j][0], z2[j][1]};
        c.z2[j + P] = Pair{z2[j][2], z2[j][3]};
    }
    for (int j = 0; j <= P; ++j) {
        c.pipe[j] = Pair{pipe[j][0], pipe[j][1]};
        c.pipe[j + P] = Pair{pipe[j][2], pipe[j][3]};
    }
    if constexpr (odd) {
        c.z1[N - 1] = top1;
        c.z2[N - 1] = top2;
        c.pipe[N] = out;
    }
}

using SteadyFn = void (*)(Chain&, float*, int, int);
constexpr SteadyFn kSteady[Equalizer::kBands + 1] = {nullptr, Steady<1>, Steady<2>, Steady<3>, Steady<4>, Steady<5>,
                                                     Steady<6>, Steady<7>, Steady<8>, Steady<9>, Steady<10>};
// One band alone has nothing to pair with.
constexpr SteadyFn kSteadyAvx2[Equalizer::kBands + 1] = {
    nullptr,        Steady<1>,     SteadyAvx2<2>, SteadyAvx2<3>, SteadyAvx2<4>, SteadyAvx2<5>,
    SteadyAvx2<6>, SteadyAvx2<7>, SteadyAvx2<8>, SteadyAvx2<9>, SteadyAvx2<10>};

bool g_avx2Allowed = true;

const SteadyFn* SteadyTable()
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 && g_avx2Allowed ? kSteadyAvx2 : kSteady;
}

} // namespace

void Equalizer::Filter(float* p, int frames)
{
    // Only bands away from flat cost anything. Doubles keep the 31 Hz band's poles (about
    // 0.002 inside the unit circle) and its feedback noise where they belong.
    int active[kBands];
    int count = 0;
    for (int b = 0; b < kBands; ++b) {
        const Coeffs& c = current_[b];
        if (!(c.b1 == 0 && c.a1 == 0 && c.b0 == 1))
            active[count++] = b;
    }
    // One pass before the bands, the same for every path below: the headroom, and no sample
    // that is not a finite number (a damaged float WAVE) into the filters' state, where it
    // would stay for every track after it.
    const float preamp = static_cast<float>(preamp_);
    for (int i = 0; i < frames * 2; ++i) {
        const float x = p[i] * preamp;
        p[i] = std::isfinite(x) ? x : 0.0f;
    }
    if (count > 0 && frames > 0) {
        Chain ch;
        for (int k = 0; k < count; ++k) {
            const Coeffs& c = current_[active[k]];
            ch.b0[k] = Pair{c.b0, c.b0};
            ch.b1[k] = Pair{c.b1, c.b1};
            ch.b2[k] = Pair{c.b2, c.b2};
            ch.a1[k] = Pair{c.a1, c.a1};
            ch.a2[k] = Pair{c.a2, c.a2};
            ch.z1[k] = z1_[active[k]];
            ch.z2[k] = z2_[active[k]];
        }
        // The bands form a chain, and each band also waits on its own previous output, so
        // taking one frame through every band before the next leaves the processor waiting
        // most of the time. Instead band k works on frame t - k at step t: within a step no
        // band needs another's result. The first and last count-1 steps fill and drain the
        // chain. The arithmetic per band and frame is unchanged, and so is the output.
        const int last = count - 1;
        auto partial = [&](int t) {
            if (t < frames)
                ch.pipe[0] = Pair{p[t * 2], p[t * 2 + 1]};
            for (int k = std::min(last, t); k >= std::max(0, t - frames + 1); --k)
                Step(ch, ch.z1, ch.z2, ch.pipe, k);
            if (t >= last) {
                p[(t - last) * 2] = static_cast<float>(ch.pipe[count][0]);
                p[(t - last) * 2 + 1] = static_cast<float>(ch.pipe[count][1]);
            }
        };
        const int fillEnd = std::min(last, frames);
        for (int t = 0; t < fillEnd; ++t)
            partial(t);
        if (frames > last)
            SteadyTable()[count](ch, p, last, frames);
        for (int t = std::max(fillEnd, frames); t < frames + last; ++t)
            partial(t);
        // Flush denormals that a decaying filter would otherwise crawl through.
        auto flush = [](Pair v) {
            return Pair{std::abs(v[0]) < 1e-20 ? 0 : v[0], std::abs(v[1]) < 1e-20 ? 0 : v[1]};
        };
        for (int k = 0; k < count; ++k) {
            z1_[active[k]] = flush(ch.z1[k]);
            z2_[active[k]] = flush(ch.z2[k]);
        }
    }
    SoftLimit(p, frames * 2);
}

void EqualizerAllowAvx2(bool allowed) { g_avx2Allowed = allowed; }

void SoftLimit(float* samples, int count)
{
    // Nearly every buffer stays below the knee: find that out with a loop the compiler
    // vectorises, and pay for tanh only on the samples above it.
    float peak = 0;
    for (int i = 0; i < count; ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    if (peak <= 0.9f)
        return;
    for (int i = 0; i < count; ++i) {
        const float x = samples[i];
        const float ax = std::fabs(x);
        if (ax > 0.9f) {
            const float y = 0.9f + 0.1f * std::tanh((ax - 0.9f) / 0.1f);
            samples[i] = x < 0 ? -y : y;
        }
    }
}

} // namespace kv::engine
