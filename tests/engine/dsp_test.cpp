// The equalizer's fast path against a plain one-frame-at-a-time cascade of the same filters.
#include "engine/dsp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace {

using kv::engine::Equalizer;

// Straightforward cascade: each frame lowered by the largest boost, then through band 0,
// band 1, ... in double.
class ReferenceEq {
  public:
    ReferenceEq(double rate, const std::array<int16_t, 10>& gains) {
        const int boost = std::max(0, int(*std::max_element(gains.begin(), gains.end())));
        preamp_ = float(std::pow(10.0, -boost / 200.0));
        for (int b = 0; b < 10; ++b) {
            const double a = std::pow(10.0, gains[b] / 10.0 / 40.0);
            const double w = 2 * M_PI * Equalizer::kCentres[b] / rate;
            const double alpha = std::sin(w) / (2 * std::sqrt(2.0)), a0 = 1 + alpha / a;
            c_[b] = {(1 + alpha * a) / a0, -2 * std::cos(w) / a0, (1 - alpha * a) / a0, -2 * std::cos(w) / a0,
                     (1 - alpha / a) / a0};
        }
    }
    void Process(std::vector<float>& stereo) {
        for (size_t i = 0; i < stereo.size(); ++i) {
            double x = stereo[i] * preamp_;
            for (int b = 0; b < 10; ++b) {
                auto& z = z_[b][i % 2];
                const auto& c = c_[b];
                const double y = c[0] * x + z[0];
                z[0] = c[1] * x - c[3] * y + z[1];
                z[1] = c[2] * x - c[4] * y;
                x = y;
            }
            stereo[i] = float(x);
        }
    }

  private:
    float preamp_ = 1;
    std::array<std::array<double, 5>, 10> c_{};
    double z_[10][2][2] = {};
};

std::vector<float> Noise(size_t frames, unsigned seed, float amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-amplitude, amplitude);
    std::vector<float> v(frames * 2);
    for (auto& x : v)
        x = d(rng);
    return v;
}

// Feeds `signal` in chunks whose sizes cycle through `sizes`.
void ProcessChunked(Equalizer& eq, std::vector<float>& signal, const std::vector<int>& sizes) {
    const int frames = int(signal.size() / 2);
    for (int at = 0, i = 0; at < frames; ++i) {
        const int n = std::min(sizes[size_t(i) % sizes.size()], frames - at);
        eq.Process(signal.data() + at * 2, n);
        at += n;
    }
}

TEST(Equalizer, MatchesAPlainCascadeForEveryBandCountAndBufferSize) {
    // Quiet noise so the limiter never engages. A few samples are not finite numbers: they go
    // in as silence and leave no trace in what follows.
    // Curves with 1, 3, 8, 9 and 10 active bands: odd and even counts for the paired path.
    const std::array<std::array<int16_t, 10>, 5> curves = {{
        {0, 0, 0, 0, 0, 120, 0, 0, 0, 0},
        {30, -30, 30, -30, 30, 0, 30, -30, 30, -30},
        {-120, 0, 0, 0, 55, 0, 0, 0, 0, 90},
        {60, 40, 20, 0, -20, -20, 0, 20, 40, 60},
        {120, -120, 120, -120, 120, -120, 120, -120, 120, -120},
    }};
    const std::vector<std::vector<int>> chunkings = {{4096}, {1}, {2, 7, 1, 13}, {9, 31, 1000}};
    // Both vector paths where the processor has AVX2 (the SSE2 one only, elsewhere).
    for (bool avx2 : {true, false})
        for (size_t c = 0; c < curves.size(); ++c) {
            for (const auto& sizes : chunkings) {
                kv::engine::EqualizerAllowAvx2(avx2);
                SCOPED_TRACE(testing::Message() << (avx2 ? "AVX2 allowed" : "SSE2") << ", curve " << c
                                                << ", first chunk " << sizes[0]);
                Equalizer eq(44100);
                eq.SetGains(curves[c]);
                // Let the glide from flat finish, on silence so both sides start from rest.
                std::vector<float> silence(44100 * 2, 0.0f);
                eq.Process(silence.data(), 44100);
                ASSERT_FALSE(eq.Bypassed());
                auto fast = Noise(20000, unsigned(c), 0.05f), plain = fast;
                for (size_t at : {101, 5000, 5001, 17777}) {
                    fast[at] = at % 2 ? -INFINITY : at > 10000 ? INFINITY : NAN;
                    plain[at] = 0;
                }
                ProcessChunked(eq, fast, sizes);
                ReferenceEq(44100, curves[c]).Process(plain);
                double worst = 0;
                for (size_t i = 0; i < fast.size(); ++i)
                    worst = std::max(worst, double(std::fabs(fast[i] - plain[i])));
                EXPECT_LT(worst, 1e-6);
            }
        }
    kv::engine::EqualizerAllowAvx2(true);
}

// A loud tone in a boosted band comes out as loud as it went in, clear of the limiter's knee;
// a cut lowers nothing else.
TEST(Equalizer, BoostsAreTakenBackBeforeTheBands) {
    struct Case {
        std::array<int16_t, 10> gains;
        double hz, expected;
    } cases[] = {
        {{0, 0, 0, 0, 0, 120, 0, 0, 0, 0}, 1000, 0.7},           // +12 dB at 1 kHz
        {{80, 65, 50, 35, 20, 5, 0, 0, 0, 0}, 31.25, 0.7 * 1.18}, // "Bass Boost": its neighbours add a little
        {{0, 0, 0, 0, 0, -120, 0, 0, 0, 0}, 8000, 0.7},          // a cut only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        Equalizer eq(44100);
        eq.SetGains(c.gains);
        std::vector<float> tone(44100 * 2);
        for (size_t i = 0; i < tone.size() / 2; ++i)
            tone[i * 2] = tone[i * 2 + 1] = float(0.7 * std::sin(2 * M_PI * c.hz * double(i) / 44100));
        eq.Process(tone.data(), 44100);
        float peak = 0;
        for (size_t i = tone.size() / 2; i < tone.size(); ++i)
            peak = std::max(peak, std::fabs(tone[i]));
        EXPECT_NEAR(peak, c.expected, 0.03);
        EXPECT_LT(peak, 0.9f) << "the limiter's knee";
    }
}

TEST(Equalizer, FlatCurveGlidesOutToBypassAndLimiterBendsPeaks) {
    Equalizer eq(44100);
    eq.SetGains({0, 0, 0, 0, 0, 120, 0, 0, 0, 0});
    EXPECT_FALSE(eq.Bypassed());
    eq.SetGains({});
    std::vector<float> buf(44100 * 2, 0.0f);
    eq.Process(buf.data(), 44100);
    EXPECT_TRUE(eq.Bypassed());
    auto same = Noise(1000, 7, 0.5f), in = same;
    eq.Process(same.data(), 1000);
    EXPECT_EQ(same, in);

    std::vector<float> loud = {0.5f, -0.95f, 1.5f, -3.0f, 0.9f};
    kv::engine::SoftLimit(loud.data(), int(loud.size()));
    EXPECT_EQ(loud[0], 0.5f);
    EXPECT_EQ(loud[4], 0.9f);
    EXPECT_LT(loud[1], -0.9f);
    EXPECT_GT(loud[1], -0.95f);
    EXPECT_GT(loud[2], 0.99f);
    EXPECT_LE(loud[2], 1.0f);
    EXPECT_LT(loud[3], -0.99f);
    EXPECT_GE(loud[3], -1.0f);
}

} // namespace
