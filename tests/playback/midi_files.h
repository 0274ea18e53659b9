// Standard MIDI Files built byte by byte for the tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

using Bytes = std::vector<uint8_t>;

inline void PutVlq(Bytes& out, uint32_t v) {
    uint8_t groups[4];
    int n = 0;
    do
        groups[n++] = v & 0x7F, v >>= 7;
    while (v && n < 4);
    while (n--)
        out.push_back(uint8_t(groups[n] | (n ? 0x80 : 0)));
}

// One track's events, each after its delta time.
struct Track {
    Bytes bytes;
    Track& Tempo(uint32_t delta, uint32_t usPerQuarter) {
        PutVlq(bytes, delta);
        bytes.insert(bytes.end(), {0xFF, 0x51, 0x03, uint8_t(usPerQuarter >> 16), uint8_t(usPerQuarter >> 8),
                                   uint8_t(usPerQuarter)});
        return *this;
    }
    Track& Event(uint32_t delta, std::initializer_list<uint8_t> message) {
        PutVlq(bytes, delta);
        bytes.insert(bytes.end(), message);
        return *this;
    }
    Track& End(uint32_t delta) { return Event(delta, {0xFF, 0x2F, 0x00}); }
};

inline void PutBe(Bytes& out, uint32_t v, int n) {
    while (n--)
        out.push_back(uint8_t(v >> (8 * n)));
}

inline Bytes Smf(uint16_t format, uint16_t division, const std::vector<Track>& tracks) {
    Bytes out = {'M', 'T', 'h', 'd'};
    PutBe(out, 6, 4);
    PutBe(out, format, 2);
    PutBe(out, uint16_t(tracks.size()), 2);
    PutBe(out, division, 2);
    for (const Track& t : tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        PutBe(out, uint32_t(t.bytes.size()), 4);
        out.insert(out.end(), t.bytes.begin(), t.bytes.end());
    }
    return out;
}

inline void PutLe(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

// RIFF 'RMID' with an odd-sized chunk before 'data', to exercise the padding.
inline Bytes Rmi(const Bytes& smf) {
    Bytes body = {'R', 'M', 'I', 'D', 'I', 'N', 'F', 'O'};
    PutLe(body, 3);
    body.insert(body.end(), {'a', 'b', 'c', 0});
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    PutLe(body, uint32_t(smf.size()));
    body.insert(body.end(), smf.begin(), smf.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    PutLe(out, uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A short tune: 96 ticks per quarter; two quarters at 120 bpm, then the tempo doubles for
// two more quarters; a second track holds the notes (piano, middle C and E) and ends at
// tick 384. Length: 1.0 s + 0.5 s = 1.5 s.
inline Bytes Tune() {
    Track tempo;
    tempo.Tempo(0, 500000).Tempo(192, 250000).End(0);
    Track notes;
    notes.Event(0, {0xC0, 0})
        .Event(0, {0x90, 60, 100})
        .Event(0, {64, 100}) // running status
        .Event(180, {0x80, 60, 0})
        .Event(0, {0x80, 64, 0})
        .Event(12, {0x90, 67, 100})
        .Event(180, {0x80, 67, 0})
        .End(12);
    return Smf(1, 96, {tempo, notes});
}
inline constexpr double kTuneSeconds = 1.5;

} // namespace kvtest
