// More than two channels mixed to stereo, the same way for every decoder: front left and right
// as they are, the centres at -3 dB into both sides, the other left and right channels at -3 dB
// into their side, LFE left out, a channel of unknown place at -9 dB into both; scaled so a
// full-scale signal on every channel cannot exceed full scale.
#pragma once
#include <vector>

namespace kv::engine {

enum class Speaker { FrontLeft, FrontRight, Centre, Left, Right, Lfe, Unknown };

// Left and right weight of each source channel, in the channels' order.
std::vector<float> StereoMixWeights(const std::vector<Speaker>& speakers);

// The usual WAVE order when a file names no places: FL FR FC LFE BL BR SL SR.
Speaker SpeakerInWaveOrder(int index);

} // namespace kv::engine
