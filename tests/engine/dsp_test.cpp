// The equalizer's fast path against a plain one-frame-at-a-time cascade of the same filters.
#include "engine/dsp.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace {

using kv::engine::Equalizer;

// Straightforward cascade: each frame through band 0, then band 1, ... in double.
class ReferenceEq {
  public:
    ReferenceEq(double rate, const std::array<int16_t, 10>& gains) {
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
            double x = stereo[i];
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
    // Quiet noise so the limiter never engages.
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
