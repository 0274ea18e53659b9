#include "engine/stereo_mix.h"

#include <algorithm>

namespace kv::engine {

std::vector<float> StereoMixWeights(const std::vector<Speaker>& speakers) {
    constexpr float kHalfPower = 0.70710678f;
    std::vector<float> w(speakers.size() * 2, 0.0f);
    for (size_t i = 0; i < speakers.size(); ++i) {
        float* p = &w[i * 2];
        switch (speakers[i]) {
        case Speaker::FrontLeft:
            p[0] = 1;
            break;
        case Speaker::FrontRight:
            p[1] = 1;
            break;
        case Speaker::Centre:
            p[0] = p[1] = kHalfPower;
            break;
        case Speaker::Left:
            p[0] = kHalfPower;
            break;
        case Speaker::Right:
            p[1] = kHalfPower;
            break;
        case Speaker::Lfe:
            break;
        case Speaker::Unknown:
            p[0] = p[1] = kHalfPower * 0.5f;
            break;
        }
    }
    float sumL = 0, sumR = 0;
    for (size_t i = 0; i < speakers.size(); ++i) {
        sumL += w[i * 2];
        sumR += w[i * 2 + 1];
    }
    const float scale = 1.0f / std::max({1.0f, sumL, sumR});
    for (float& x : w)
        x *= scale;
    return w;
}

Speaker SpeakerInWaveOrder(int index) {
    static const Speaker kOrder[] = {Speaker::FrontLeft, Speaker::FrontRight, Speaker::Centre,
                                     Speaker::Lfe,       Speaker::Left,       Speaker::Right,
                                     Speaker::Left,      Speaker::Right};
    return index >= 0 && index < 8 ? kOrder[index] : Speaker::Unknown;
}

} // namespace kv::engine
