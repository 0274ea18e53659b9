// The MIDI length reader (ticks, tempo changes, RIFF 'RMID' wrapping) on arbitrary bytes.
#include "fuzz_input_file.h"
#include "playback/midi_file.h"

#include <cmath>

using namespace kv::playback;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const std::span<const uint8_t> smf = UnwrapMidi(file);
    kvfuzz::Require(smf.empty() || (smf.data() >= data && smf.data() + smf.size() <= data + size),
                    "unwrapped data outside the file");
    const MidiTiming t = ReadMidiTiming(smf);
    if (!t.valid) return 0;
    kvfuzz::Require(std::isfinite(t.seconds) && t.seconds >= 0, "length not a finite positive number");
    kvfuzz::Require(t.lastTick >= 0, "negative last tick");
    for (size_t i = 1; i < t.tempos.size(); ++i)
        kvfuzz::Require(t.tempos[i - 1].tick <= t.tempos[i].tick, "tempo changes out of order");
    const double half = t.SecondsAt(t.lastTick / 2);
    kvfuzz::Require(std::isfinite(half) && half >= 0 && half <= t.seconds + 1e-6,
                    "time of a tick out of range");
    const int64_t tick = t.TickAt(half);
    kvfuzz::Require(tick >= 0 && tick <= t.lastTick, "tick of a time out of range");
    return 0;
}
