#include "engine/dsp.h"

#include <algorithm>
#include <cmath>

namespace kv::engine {

float VolumeToGain(int volume)
{
    const float v = std::clamp(volume, 0, 100) / 100.0f;
    return v * v;
}

Equalizer::Equalizer(int sampleRate) : rate_(sampleRate) { Retarget(); current_ = target_; }

void Equalizer::SetSampleRate(int rate)
{
    if (rate == rate_ || rate <= 0)
        return;
    rate_ = rate;
    Retarget();
    current_ = target_;
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
    for (auto& band : state_)
        for (auto& ch : band)
            ch[0] = ch[1] = 0;
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
    for (int i = 0; i < kBands; ++i) {
        target_[i] = Peaking(rate_, kCentres[i], gains_[i] / 10.0);
        flat = flat && gains_[i] == 0;
    }
    gliding_ = true;
    if (bypass_ && !flat) {
        // Coming out of bypass: start from a flat response with clean state.
        for (auto& c : current_)
            c = Coeffs{};
        Reset();
    }
    bypass_ = false;
}

void Equalizer::Process(float* stereo, int frames)
{
    if (bypass_)
        return;
    constexpr int kBlock = 32;
    for (int start = 0; start < frames; start += kBlock) {
        const int n = std::min(kBlock, frames - start);
        if (gliding_) {
            // A convex mix of two stable biquads is stable, so gliding the coefficients is safe.
            bool done = true;
            for (int b = 0; b < kBands; ++b) {
                Coeffs& c = current_[b];
                const Coeffs& t = target_[b];
                auto step = [&](double& x, double y) {
                    x += (y - x) * 0.08;
                    if (std::abs(y - x) > 1e-7)
                        done = false;
                    else
                        x = y;
                };
                step(c.b0, t.b0); step(c.b1, t.b1); step(c.b2, t.b2); step(c.a1, t.a1); step(c.a2, t.a2);
            }
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
        float* p = stereo + start * 2;
        for (int b = 0; b < kBands; ++b) {
            const Coeffs c = current_[b];
            if (c.b1 == 0 && c.a1 == 0 && c.b0 == 1)
                continue;
            for (int ch = 0; ch < 2; ++ch) {
                double z1 = state_[b][ch][0], z2 = state_[b][ch][1];
                for (int i = 0; i < n; ++i) {
                    const double x = p[i * 2 + ch];
                    const double y = c.b0 * x + z1;
                    z1 = c.b1 * x - c.a1 * y + z2;
                    z2 = c.b2 * x - c.a2 * y;
                    p[i * 2 + ch] = static_cast<float>(y);
                }
                // Flush denormals that a decaying filter would otherwise crawl through.
                state_[b][ch][0] = std::abs(z1) < 1e-20 ? 0 : z1;
                state_[b][ch][1] = std::abs(z2) < 1e-20 ? 0 : z2;
            }
        }
        SoftLimit(p, n * 2);
    }
}

void SoftLimit(float* samples, int count)
{
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
