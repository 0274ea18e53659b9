// The back ends the program's player device runs on: the engine's decoder, libmpv for the
// Media Player control of `W` (with FluidSynth for MIDI through the engine's output) and a
// second libmpv for the RealPlayer control of `Y`. All on the UI thread.
#pragma once
#include "playback/decoder_backend.h"
#include "playback/media_backend.h"
#include "playback/midi_backend.h"
#include "playback/mpv_backend.h"

namespace kv::playback {

struct StandardBackends {
    Vbmp3Decoder decoder;
    EnginePcmOutput pcm;
    MediaPlayerControl mediaPlayer{std::make_unique<MpvCore>(), std::make_unique<MidiCore>(pcm)};
    RealPlayerControl realPlayer{std::make_unique<MpvCore>()};
};

} // namespace kv::playback
