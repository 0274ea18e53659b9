// Timing of a Standard MIDI File: its length in seconds from the ticks of its events and
// every tempo change, and the mapping between seconds and ticks for seeking. The synthesiser
// keeps running for a while after the last note, so its own idea of "done" is no length.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv::playback {

struct MidiTiming {
    bool valid = false;
    int ticksPerQuarter = 0;        // metrical division; 0 when the file uses SMPTE time
    double smpteTicksPerSecond = 0; // SMPTE division: frames per second × ticks per frame
    int64_t lastTick = 0;           // the latest event of any track
    double seconds = 0;             // length of the whole file

    struct Tempo {
        int64_t tick;
        uint32_t microsecondsPerQuarter;
    };
    std::vector<Tempo> tempos; // in tick order; the first one is at tick 0

    double SecondsAt(int64_t tick) const;
    int64_t TickAt(double seconds) const;
};

// Reads the header and every track of `smf`; never reads past its end. A track cut short or
// with a broken event counts up to the last whole event.
MidiTiming ReadMidiTiming(std::span<const uint8_t> smf);

// The Standard MIDI File inside `file`: the file itself when it starts with "MThd", the
// 'data' chunk of a RIFF 'RMID' file, or an empty span when it is neither.
std::span<const uint8_t> UnwrapMidi(std::span<const uint8_t> file);

} // namespace kv::playback
