// Decoders for playback and conversion: libmpg123 for MPEG audio (also inside RIFF, format
// tag 0x55), libsndfile for every other WAVE, FFmpeg for the rest (FLAC, AAC, ALAC, Opus,
// Vorbis, WavPack, APE, TTA, AIFF). A decoder belongs to one thread at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace kv::engine {

class Decoder {
public:
    virtual ~Decoder() = default;
    int Rate() const { return rate_; }
    int Channels() const { return channels_; }
    // Interleaved float frames at Rate()/Channels(); returns frames read, 0 at the end.
    virtual long ReadFloat(float* out, long frames) = 0;
    // Interleaved 16-bit frames (what WAVE conversion writes).
    virtual long ReadShort(int16_t* out, long frames) = 0;
    virtual bool Seek(int64_t frame) = 0;
    // True once a read ended in an error (the disk, the network share) rather than at the end
    // of the sound: the two look alike in what the reads return.
    bool Failed() const { return failed_; }

protected:
    int rate_ = 0;
    int channels_ = 0;
    bool failed_ = false;
};

// Chooses by content (the format the file-information probe found), not by extension.
// `pcm16` asks an MPEG decoder for 16-bit output instead of float.
std::unique_ptr<Decoder> OpenDecoder(const std::string& path, int format, bool pcm16 = false);

} // namespace kv::engine
