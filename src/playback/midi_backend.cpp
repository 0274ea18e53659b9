// Threads: see midi_backend.h. Read() runs on the engine's audio thread; everything else on
// the UI thread. MidiSource::mutex_ guards synth_, player_ and renderedFrames_.
#include "playback/midi_backend.h"

#include "engine/late_library.h"

#include <QFile>
#include <QMetaObject>
#include <algorithm>
#include <cmath>
#include <fluidsynth.h>

namespace kv::playback {

namespace {

// Larger than any real song; a bigger file is not read into memory.
constexpr qint64 kMaxMidiFileBytes = 32 * 1024 * 1024;
// FluidSynth's default gain is far too quiet next to decoded files.
constexpr double kSynthGain = 0.8;

// FluidSynth is loaded with the first MIDI file: it and what it brings (JACK, the sound
// servers, GLib's object system, readline) weighed on every start.
#define KV_FLUID_FUNCTIONS(X)                                                                                \
    X(delete_fluid_player)                                                                                   \
    X(delete_fluid_settings)                                                                                 \
    X(delete_fluid_synth)                                                                                    \
    X(fluid_player_add_mem)                                                                                  \
    X(fluid_player_play)                                                                                     \
    X(fluid_player_seek)                                                                                     \
    X(fluid_player_stop)                                                                                     \
    X(fluid_set_log_function)                                                                                \
    X(fluid_settings_setint)                                                                                 \
    X(fluid_settings_setnum)                                                                                 \
    X(fluid_settings_setstr)                                                                                 \
    X(fluid_synth_all_sounds_off)                                                                            \
    X(fluid_synth_sfload)                                                                                    \
    X(fluid_synth_system_reset)                                                                              \
    X(fluid_synth_write_float)                                                                               \
    X(new_fluid_player)                                                                                      \
    X(new_fluid_settings)                                                                                    \
    X(new_fluid_synth)

struct FluidLibrary {
    KV_FLUID_FUNCTIONS(KV_LATE_POINTER)
};

FluidLibrary g_fluid;

bool LoadFluid() {
    static const bool loaded = KV_LATE_BIND(g_fluid, "libfluidsynth.so.3", KV_FLUID_FUNCTIONS);
    return loaded;
}

// Only after LoadFluid() has succeeded.
const FluidLibrary& Fluid() {
    return g_fluid;
}

void QuietFluidSynth() {
    static const bool once = [] {
        for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG})
            Fluid().fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    (void)once;
}

} // namespace

MidiSource::MidiSource(QByteArray smf, const MidiTiming& timing)
    : smf_(std::move(smf)), timing_(timing), totalFrames_(std::llround(timing.seconds * kRate)) {}

MidiSource::~MidiSource() {
    if (player_) {
        Fluid().fluid_player_stop(player_);
        Fluid().delete_fluid_player(player_);
    }
    if (synth_) Fluid().delete_fluid_synth(synth_);
    if (settings_) Fluid().delete_fluid_settings(settings_);
}

std::shared_ptr<MidiSource> MidiSource::Create(QByteArray smf, const MidiTiming& timing,
                                               const char* soundFont) {
    if (!LoadFluid()) return nullptr;
    QuietFluidSynth();
    std::shared_ptr<MidiSource> source(new MidiSource(std::move(smf), timing));
    source->settings_ = Fluid().new_fluid_settings();
    if (!source->settings_) return nullptr;
    Fluid().fluid_settings_setnum(source->settings_, "synth.gain", kSynthGain);
    Fluid().fluid_settings_setnum(source->settings_, "synth.sample-rate", kRate);
    Fluid().fluid_settings_setint(source->settings_, "synth.lock-memory", 0);
    // The player must advance with the samples rendered, not with the wall clock: rendering
    // runs ahead of what is heard.
    Fluid().fluid_settings_setstr(source->settings_, "player.timing-source", "sample");
    source->synth_ = Fluid().new_fluid_synth(source->settings_);
    if (!source->synth_) return nullptr;
    if (Fluid().fluid_synth_sfload(source->synth_, soundFont, 1) == FLUID_FAILED) return nullptr;
    if (!source->StartPlayer(0)) return nullptr;
    return source;
}

bool MidiSource::StartPlayer(int64_t tick) {
    // A fresh player is simplest: fluid_player_seek only works on a player that is still
    // playing, and one that has reached its end is not.
    if (player_) {
        Fluid().fluid_player_stop(player_);
        Fluid().delete_fluid_player(player_);
        player_ = nullptr;
    }
    Fluid().fluid_synth_all_sounds_off(synth_, -1);
    Fluid().fluid_synth_system_reset(synth_);
    player_ = Fluid().new_fluid_player(synth_);
    if (!player_) return false;
    if (Fluid().fluid_player_add_mem(player_, smf_.constData(), size_t(smf_.size())) != FLUID_OK)
        return false;
    if (Fluid().fluid_player_play(player_) != FLUID_OK) return false;
    // The seek takes effect at the player's next tick, inside the next render.
    if (tick > 0) Fluid().fluid_player_seek(player_, int(std::min<int64_t>(tick, INT32_MAX)));
    return true;
}

int MidiSource::Read(float* stereo, int frames) {
    std::lock_guard lock(mutex_);
    const int64_t left = totalFrames_ - renderedFrames_;
    const int count = int(std::clamp<int64_t>(left, 0, frames));
    if (count == 0 || !player_) return 0;
    Fluid().fluid_synth_write_float(synth_, count, stereo, 0, 2, stereo, 1, 2);
    renderedFrames_ += count;
    return count;
}

bool MidiSource::Seek(double seconds) {
    std::lock_guard lock(mutex_);
    seconds = std::clamp(seconds, 0.0, timing_.seconds);
    renderedFrames_ = std::llround(seconds * kRate);
    return StartPlayer(timing_.TickAt(seconds));
}

MidiCore::MidiCore(PcmOutput& output, QString soundFont)
    : output_(output), soundFont_(std::move(soundFont)) {}

MidiCore::~MidiCore() {
    Release();
}

void MidiCore::Release() {
    if (given_) output_.Stop();
    given_ = false;
    source_.reset();
    timing_ = MidiTiming{};
    position_ = 0;
}

void MidiCore::Open(const QString& fileName) {
    Release();
    const unsigned generation = ++generation_;
    if (fileName.isEmpty()) return;

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxMidiFileBytes) return;
    const QByteArray bytes = file.readAll();
    const auto whole = std::span(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    const std::span<const uint8_t> smf = UnwrapMidi(whole);
    const MidiTiming timing = ReadMidiTiming(smf);
    if (!timing.valid) return;
    QByteArray smfBytes(reinterpret_cast<const char*>(smf.data()), qsizetype(smf.size()));
    source_ = MidiSource::Create(std::move(smfBytes), timing, soundFont_.toLocal8Bit().constData());
    if (!source_) return;
    timing_ = timing;

    // The control announces an opened file from the event loop, never from inside Open.
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_ && source_ && onOpened) onOpened();
        },
        Qt::QueuedConnection);
}

bool MidiCore::RanOut() {
    if (!given_ || output_.State() != 0) return false;
    output_.Stop();
    given_ = false;
    position_ = 0;
    return true;
}

void MidiCore::Play() {
    if (!source_) return;
    RanOut();
    if (given_) {
        if (output_.State() == 2) output_.Resume();
        return;
    }
    // The engine starts a source from its beginning; the seek follows at once.
    given_ = output_.Play(source_);
    if (given_ && position_ > 0) output_.Seek(position_);
}

void MidiCore::Pause() {
    if (given_ && !RanOut() && output_.State() == 1) output_.Pause();
}

void MidiCore::Stop() {
    if (!given_ || RanOut()) return;
    position_ = output_.Position();
    output_.Stop();
    given_ = false;
}

double MidiCore::Duration() {
    return source_ ? timing_.seconds : 0;
}

double MidiCore::Position() {
    if (given_ && !RanOut()) return output_.Position();
    return position_;
}

void MidiCore::SetPosition(double seconds) {
    if (!source_) return;
    seconds = std::clamp(seconds, 0.0, timing_.seconds);
    if (given_ && !RanOut())
        output_.Seek(seconds);
    else
        position_ = seconds;
}

CoreState MidiCore::State() {
    if (!source_) return CoreState::NotLoaded;
    if (!given_ || RanOut()) return CoreState::Stopped;
    return output_.State() == 2 ? CoreState::Paused : CoreState::Playing;
}

} // namespace kv::playback
