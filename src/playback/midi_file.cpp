#include "playback/midi_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv::playback {

namespace {

constexpr uint32_t kDefaultTempo = 500000; // 120 beats per minute

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint16_t Be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Reads bytes of one track chunk with every access checked against its end.
class TrackReader {
public:
    TrackReader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    bool AtEnd() const { return p_ >= end_; }
    bool Byte(uint8_t& out) {
        if (p_ >= end_) return false;
        out = *p_++;
        return true;
    }
    // Variable-length quantity: at most four bytes, as the format allows.
    bool Vlq(uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!Byte(b)) return false;
            out = (out << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool Skip(uint32_t n) {
        if (size_t(end_ - p_) < n) return false;
        p_ += n;
        return true;
    }
    const uint8_t* Here() const { return p_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// Scans one track; adds its tempo changes to `tempos` and returns the tick of its last
// whole event.
int64_t ScanTrack(const uint8_t* data, size_t size, std::vector<MidiTiming::Tempo>& tempos) {
    TrackReader in(data, size);
    int64_t tick = 0;
    int64_t lastTick = 0;
    uint8_t running = 0;
    while (!in.AtEnd()) {
        uint32_t delta;
        if (!in.Vlq(delta)) break;
        const int64_t eventTick = tick + delta;
        uint8_t status;
        if (!in.Byte(status)) break;
        if (status == 0xFF) {
            uint8_t type;
            uint32_t length;
            if (!in.Byte(type) || !in.Vlq(length)) break;
            const uint8_t* body = in.Here();
            if (!in.Skip(length)) break;
            if (type == 0x51 && length == 3) {
                const uint32_t tempo = uint32_t(body[0]) << 16 | uint32_t(body[1]) << 8 | body[2];
                if (tempo > 0) tempos.push_back({eventTick, tempo});
            }
            tick = lastTick = eventTick;
            if (type == 0x2F) break; // end of track
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            uint32_t length;
            if (!in.Vlq(length) || !in.Skip(length)) break;
            running = 0;
            tick = lastTick = eventTick;
            continue;
        }
        int dataBytes;
        if (status & 0x80) {
            if (status >= 0xF0) break; // system messages have no place in a file
            running = status;
            dataBytes = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
        } else {
            if (!running) break; // a data byte with no status to run on
            dataBytes = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 0 : 1;
        }
        if (!in.Skip(uint32_t(dataBytes))) break;
        tick = lastTick = eventTick;
    }
    return lastTick;
}

} // namespace

double MidiTiming::SecondsAt(int64_t tick) const {
    if (tick <= 0) return 0;
    if (ticksPerQuarter <= 0) return smpteTicksPerSecond > 0 ? double(tick) / smpteTicksPerSecond : 0;
    double seconds = 0;
    int64_t at = 0;
    uint32_t tempo = kDefaultTempo;
    for (const Tempo& change : tempos) {
        if (change.tick >= tick) break;
        seconds += double(change.tick - at) * tempo / 1e6 / ticksPerQuarter;
        at = change.tick;
        tempo = change.microsecondsPerQuarter;
    }
    return seconds + double(tick - at) * tempo / 1e6 / ticksPerQuarter;
}

int64_t MidiTiming::TickAt(double target) const {
    if (target <= 0) return 0;
    if (ticksPerQuarter <= 0)
        return smpteTicksPerSecond > 0 ? int64_t(std::llround(target * smpteTicksPerSecond)) : 0;
    double seconds = 0;
    int64_t at = 0;
    uint32_t tempo = kDefaultTempo;
    for (const Tempo& change : tempos) {
        const double next = seconds + double(change.tick - at) * tempo / 1e6 / ticksPerQuarter;
        if (next > target) break;
        seconds = next;
        at = change.tick;
        tempo = change.microsecondsPerQuarter;
    }
    return at + int64_t(std::llround((target - seconds) * 1e6 * ticksPerQuarter / tempo));
}

MidiTiming ReadMidiTiming(std::span<const uint8_t> smf) {
    MidiTiming timing;
    const uint8_t* data = smf.data();
    const size_t size = smf.size();
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return timing;
    const uint32_t headerLength = Be32(data + 4);
    if (headerLength < 6 || headerLength > size - 8) return timing;
    const uint16_t division = Be16(data + 12);
    if (division & 0x8000) {
        // SMPTE: frames per second as a negative byte (29 stands for 29.97), ticks per frame.
        const int fps = -int(int8_t(division >> 8));
        const int ticksPerFrame = division & 0xFF;
        if (fps <= 0 || ticksPerFrame == 0) return timing;
        timing.smpteTicksPerSecond = (fps == 29 ? 29.97 : double(fps)) * ticksPerFrame;
    } else {
        if (division == 0) return timing;
        timing.ticksPerQuarter = division;
    }

    size_t offset = 8 + size_t(headerLength);
    bool anyTrack = false;
    while (size - offset >= 8) {
        const uint8_t* chunk = data + offset;
        const size_t available = size - offset - 8;
        // A chunk that claims more than the file holds is read up to the file's end.
        const size_t length = std::min<size_t>(Be32(chunk + 4), available);
        if (std::memcmp(chunk, "MTrk", 4) == 0) {
            anyTrack = true;
            timing.lastTick = std::max(timing.lastTick, ScanTrack(chunk + 8, length, timing.tempos));
        }
        offset += 8 + length;
    }
    if (!anyTrack) return timing;
    std::stable_sort(timing.tempos.begin(), timing.tempos.end(),
                     [](const MidiTiming::Tempo& a, const MidiTiming::Tempo& b) { return a.tick < b.tick; });
    timing.valid = true;
    timing.seconds = timing.SecondsAt(timing.lastTick);
    return timing;
}

std::span<const uint8_t> UnwrapMidi(std::span<const uint8_t> file) {
    const uint8_t* data = file.data();
    const size_t size = file.size();
    if (size >= 4 && std::memcmp(data, "MThd", 4) == 0) return file;
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "RMID", 4) != 0) return {};
    size_t offset = 12;
    while (size - offset >= 8) {
        const uint8_t* chunk = data + offset;
        const size_t length = std::min<size_t>(Le32(chunk + 4), size - offset - 8);
        if (std::memcmp(chunk, "data", 4) == 0) return file.subspan(offset + 8, length);
        offset += 8 + length + (length & 1); // chunks are padded to an even size
        if (offset > size) break;
    }
    return {};
}

} // namespace kv::playback
