#include "midi_files.h"
#include "playback/midi_file.h"

#include <gtest/gtest.h>
#include <random>

using namespace kv::playback;
using namespace kvtest;

namespace {

MidiTiming Timing(const Bytes& b) {
    return ReadMidiTiming(UnwrapMidi(std::span(b.data(), b.size())));
}

TEST(MidiFile, LengthCountsEveryTempoChange) {
    struct Row {
        const char* name;
        Bytes file;
        double seconds;
    };
    Track noTempo;
    noTempo.Event(0, {0x90, 60, 100}).Event(192, {0x80, 60, 0}).End(0);
    // Tempo changes in the notes' track count as much as those of the first track; two at
    // one tick leave the last one in force.
    Track lateTempo;
    lateTempo.Event(0, {0x90, 60, 100}).Tempo(96, 1000000).Tempo(0, 250000).Event(96, {0x80, 60, 0}).End(96);
    Track early;
    early.Tempo(0, 600000).End(10);
    Track sysex;
    sysex.Event(0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7})
        .Event(0, {0x90, 60, 100})
        .Event(48, {0xE0, 0, 0x40})
        .End(48);
    // SMPTE: 25 frames of 40 ticks, 1000 ticks a second; tempo changes do not apply.
    Track smpte;
    smpte.Tempo(0, 250000).End(2500);
    Track drop;
    drop.End(2997);

    const Row rows[] = {
        {"two tempos", Tune(), kTuneSeconds},
        {"rmi wrapper", Rmi(Tune()), kTuneSeconds},
        {"default 120 bpm", Smf(0, 96, {noTempo}), 1.0},
        {"tempo in a later track", Smf(1, 96, {early, lateTempo}), 0.6 * 1 + 0.25 * 2},
        {"sysex and pitch bend", Smf(0, 48, {sysex}), 1.0},
        {"smpte 25", Smf(0, uint16_t(uint8_t(-25)) << 8 | 40, {smpte}), 2.5},
        {"smpte 29.97", Smf(0, uint16_t(uint8_t(-29)) << 8 | 100, {drop}), 2997.0 / 2997.0},
    };
    for (const Row& row : rows) {
        const MidiTiming t = Timing(row.file);
        ASSERT_TRUE(t.valid) << row.name;
        EXPECT_NEAR(t.seconds, row.seconds, 1e-9) << row.name;
    }
}

TEST(MidiFile, SecondsAndTicksMapBothWays) {
    const Bytes tune = Tune();
    const MidiTiming t = Timing(tune);
    EXPECT_EQ(t.lastTick, 384);
    EXPECT_DOUBLE_EQ(t.SecondsAt(96), 0.5);
    EXPECT_DOUBLE_EQ(t.SecondsAt(288), 1.25);
    EXPECT_EQ(t.TickAt(0.5), 96);
    EXPECT_EQ(t.TickAt(1.0), 192);
    EXPECT_EQ(t.TickAt(1.25), 288);
    EXPECT_EQ(t.TickAt(-3), 0);
}

TEST(MidiFile, DamagedFilesCountUpToTheirLastWholeEvent) {
    struct Row {
        const char* name;
        Bytes file;
        bool valid;
        int64_t lastTick;
    };
    Bytes longClaim = Smf(0, 96, {Track().Event(0, {0x90, 60, 100}).Event(96, {0x80, 60, 0}).End(0)});
    longClaim[18] = longClaim[19] = longClaim[20] = longClaim[21] = 0xFF; // track length
    Track fiveByteVlq;
    fiveByteVlq.Event(96, {0x90, 60, 100});
    fiveByteVlq.bytes.insert(fiveByteVlq.bytes.end(), {0x81, 0x81, 0x81, 0x81, 0x01, 0x80, 60, 0});
    Track noStatus;
    noStatus.Event(10, {60, 100});
    Track metaPastEnd;
    metaPastEnd.Event(50, {0x90, 60, 100}).Event(10, {0xFF, 0x01, 0x7F, 'x'});
    Track systemMessage;
    systemMessage.Event(30, {0x90, 60, 100}).Event(30, {0xF2, 0, 0}).End(100);
    const Row rows[] = {
        {"track longer than the file", longClaim, true, 96},
        {"five-byte delta", Smf(0, 96, {fiveByteVlq}), true, 96},
        {"data byte with no status", Smf(0, 96, {noStatus}), true, 0},
        {"meta longer than the track", Smf(0, 96, {metaPastEnd}), true, 50},
        {"system message in a track", Smf(0, 96, {systemMessage}), true, 30},
        {"no tracks", Smf(0, 96, {}), false, 0},
        {"division 0", Smf(0, 0, {Track().End(5)}), false, 0},
        {"not midi", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, false, 0},
        {"rmi without data", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}, false, 0},
        {"empty", Bytes{}, false, 0},
    };
    for (const Row& row : rows) {
        const MidiTiming t = Timing(row.file);
        EXPECT_EQ(t.valid, row.valid) << row.name;
        EXPECT_EQ(t.lastTick, row.lastTick) << row.name;
    }
}

// Every prefix and many random corruptions of real files: the reader must stay inside the
// buffer (each case gets a buffer of exactly its size, so a sanitizer build sees overreads).
TEST(MidiFile, HostileFilesNeverReadPastTheirData) {
    const Bytes sources[] = {Tune(), Rmi(Tune())};
    std::mt19937 random(7);
    for (const Bytes& source : sources) {
        for (size_t n = 0; n <= source.size(); ++n) {
            const Bytes prefix(source.begin(), source.begin() + long(n));
            const MidiTiming t = Timing(prefix);
            EXPECT_LE(t.seconds, kTuneSeconds + 1e-9);
        }
        for (int round = 0; round < 3000; ++round) {
            Bytes damaged = source;
            for (int k = 0; k < 1 + round % 6; ++k)
                damaged[random() % damaged.size()] = uint8_t(random());
            damaged.resize(random() % (damaged.size() + 1));
            const MidiTiming t = Timing(damaged);
            if (t.valid) EXPECT_GE(t.seconds, 0);
        }
    }
}

} // namespace
