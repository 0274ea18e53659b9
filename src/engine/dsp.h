// Output-side signal processing shared by every source: the volume curve, the ten-band
// equalizer and the soft limiter that keeps boosted bands from clipping.
#pragma once
#include <array>
#include <cstdint>

namespace kv::engine {

// Volume position 0..100 to linear gain: a square law, so 50 is a quarter (-12 dB),
// 10 is -40 dB and 0 is silence. Loudness is heard roughly logarithmically, and the square
// law spends the slider's travel far more evenly over it than a straight line would.
float VolumeToGain(int volume);

// Peaking filters on the octave bands 31.25 Hz .. 16 kHz, gains in tenths of a dB (-120..120).
// New gains glide in over about 20 ms so a change never clicks. With every gain at 0 the
// processing is skipped entirely once the glide has ended. Like a preamp, the signal is first
// lowered by the largest boost, so a boosted band of a loud track stays clear of the limiter;
// samples that are not finite numbers enter as silence.
class Equalizer {
public:
    static constexpr int kBands = 10;
    static constexpr double kCentres[kBands] = {31.25, 62.5, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

    explicit Equalizer(int sampleRate = 44100);
    void SetGains(const std::array<int16_t, kBands>& tenthsDb); // clamps to -120..120
    void SetSampleRate(int rate);
    // Stereo interleaved, in place.
    void Process(float* stereo, int frames);
    bool Bypassed() const { return bypass_; }
    void Reset();

private:
    struct Coeffs { double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; };
    // Left and right side by side: one SSE2 operation filters both channels.
    using Pair = double __attribute__((vector_size(16)));
    static Coeffs Peaking(double rate, double freq, double gainDb);
    void Retarget();
    void Filter(float* stereo, int frames);

    int rate_;
    std::array<int16_t, kBands> gains_{};
    std::array<Coeffs, kBands> current_{}, target_{};
    double preamp_ = 1, targetPreamp_ = 1; // linear gain before the bands
    Pair z1_[kBands] = {}, z2_[kBands] = {};
    bool gliding_ = false;
    bool bypass_ = true;
};

// Whether the equalizer may use its AVX2 path where the processor has it (the default); tests
// turn it off to check the SSE2 path too.
void EqualizerAllowAvx2(bool allowed);

// Leaves |x| <= 0.9 untouched and bends anything louder smoothly towards 1.0.
void SoftLimit(float* samples, int count);

} // namespace kv::engine
