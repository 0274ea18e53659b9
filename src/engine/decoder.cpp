#include "engine/decoder.h"

#include "engine/decoder_ffmpeg.h"
#include "engine/sndfile_late.h"
#include "engine/stereo_mix.h"

#include <mpg123.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <vector>

namespace kv::engine {
namespace {

class MpegDecoder : public Decoder {
  public:
    ~MpegDecoder() override {
        if (mh_) {
            mpg123_close(mh_);
            mpg123_delete(mh_);
        }
        if (fd_ >= 0) close(fd_);
    }
    bool Open(const std::string& path, bool pcm16) {
        mh_ = mpg123_new(nullptr, nullptr);
        if (!mh_) return false;
        // Gapless: the encoder's delay and padding (LAME's header) are cut, so an album split
        // into files plays as the whole recording did.
        mpg123_param(mh_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
        mpg123_param(mh_, MPG123_RESYNC_LIMIT, 64 * 1024, 0);
        mpg123_format_none(mh_);
        const int enc = pcm16 ? MPG123_ENC_SIGNED_16 : MPG123_ENC_FLOAT_32;
        const long* rates = nullptr;
        size_t count = 0;
        mpg123_rates(&rates, &count);
        for (size_t i = 0; i < count; ++i)
            mpg123_format(mh_, rates[i], MPG123_MONO | MPG123_STEREO, enc);
        // The file is read through our own calls: the library reports a failed read as the
        // end of the stream, which would make a damaged file look whole.
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 || mpg123_replace_reader_handle(mh_, &ReadFile, &SeekFile, nullptr) != MPG123_OK ||
            mpg123_open_handle(mh_, this) != MPG123_OK)
            return false;
        long rate = 0;
        int channels = 0, encoding = 0;
        if (mpg123_getformat(mh_, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels <= 0)
            return false;
        // Fix the format so a stray frame with other parameters cannot change it mid-stream.
        mpg123_format_none(mh_);
        mpg123_format(mh_, rate, channels, encoding);
        rate_ = int(rate);
        channels_ = channels;
        return true;
    }
    long ReadFloat(float* out, long frames) override { return Read(out, frames, sizeof(float)); }
    long ReadShort(int16_t* out, long frames) override { return Read(out, frames, sizeof(int16_t)); }
    bool Seek(int64_t frame) override { return mpg123_seek(mh_, off_t(frame), SEEK_SET) >= 0; }

  private:
    long Read(void* out, long frames, size_t sampleBytes) {
        const size_t frameBytes = sampleBytes * size_t(channels_);
        auto* dst = static_cast<unsigned char*>(out);
        size_t total = 0;
        const size_t want = size_t(frames) * frameBytes;
        while (total < want) {
            size_t done = 0;
            const int err = mpg123_read(mh_, dst + total, want - total, &done);
            total += done;
            if (err == MPG123_NEW_FORMAT || (err == MPG123_OK && done > 0)) continue;
            if (err != MPG123_OK || done == 0) break;
        }
        return long(total / frameBytes);
    }
    static ssize_t ReadFile(void* handle, void* buffer, size_t bytes) {
        auto* self = static_cast<MpegDecoder*>(handle);
        ssize_t got;
        do
            got = read(self->fd_, buffer, bytes);
        while (got < 0 && errno == EINTR);
        if (got < 0) self->failed_ = true;
        return got;
    }
    static off_t SeekFile(void* handle, off_t offset, int whence) {
        return lseek(static_cast<MpegDecoder*>(handle)->fd_, offset, whence);
    }
    mpg123_handle* mh_ = nullptr;
    int fd_ = -1;
};

class WaveDecoder : public Decoder {
  public:
    ~WaveDecoder() override {
        if (sf_) Sndfile()->sf_close(sf_);
    }
    bool Open(const std::string& path) {
        if (!Sndfile()) return false;
        SF_INFO info{};
        sf_ = Sndfile()->sf_open(path.c_str(), SFM_READ, &info);
        if (!sf_ || info.channels <= 0 || info.samplerate <= 0) return false;
        // libsndfile scales integer formats to -1..1; keep float files from exceeding it.
        Sndfile()->sf_command(sf_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        Sndfile()->sf_command(sf_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        rate_ = info.samplerate;
        channels_ = info.channels;
        if (info.channels > 2) {
            // Mixed to stereo by the places the file names (WAVE_FORMAT_EXTENSIBLE), else by
            // the usual order.
            std::vector<int> places(size_t(info.channels));
            const bool named = Sndfile()->sf_command(sf_, SFC_GET_CHANNEL_MAP_INFO, places.data(),
                                                     int(places.size() * sizeof(int))) == SF_TRUE;
            std::vector<Speaker> speakers;
            for (int c = 0; c < info.channels; ++c)
                speakers.push_back(named ? SpeakerOf(places[size_t(c)]) : SpeakerInWaveOrder(c));
            mix_ = StereoMixWeights(speakers);
            sourceChannels_ = info.channels;
            channels_ = 2;
        }
        return true;
    }
    long ReadFloat(float* out, long frames) override {
        if (mix_.empty()) return Checked(frames, Sndfile()->sf_readf_float(sf_, out, frames));
        source_.resize(size_t(frames) * size_t(sourceChannels_));
        const long n = Checked(frames, Sndfile()->sf_readf_float(sf_, source_.data(), frames));
        for (long i = 0; i < n; ++i) {
            const float* in = &source_[size_t(i) * size_t(sourceChannels_)];
            float l = 0, r = 0;
            for (int c = 0; c < sourceChannels_; ++c) {
                l += in[c] * mix_[size_t(c) * 2];
                r += in[c] * mix_[size_t(c) * 2 + 1];
            }
            out[i * 2] = l;
            out[i * 2 + 1] = r;
        }
        return n;
    }
    long ReadShort(int16_t* out, long frames) override {
        if (mix_.empty()) return Checked(frames, Sndfile()->sf_readf_short(sf_, out, frames));
        mixed_.resize(size_t(frames) * 2);
        const long n = ReadFloat(mixed_.data(), frames);
        for (size_t i = 0; i < size_t(n) * 2; ++i)
            out[i] = int16_t(std::lrint(std::clamp(mixed_[i] * 32768.0f, -32768.0f, 32767.0f)));
        return n;
    }
    bool Seek(int64_t frame) override { return Sndfile()->sf_seek(sf_, frame, SEEK_SET) >= 0; }

  private:
    long Checked(long wanted, sf_count_t got) {
        if (got < wanted && Sndfile()->sf_error(sf_) != SF_ERR_NO_ERROR) failed_ = true;
        return long(got);
    }
    static Speaker SpeakerOf(int place) {
        switch (place) {
        case SF_CHANNEL_MAP_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT:
            return Speaker::FrontLeft;
        case SF_CHANNEL_MAP_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT:
            return Speaker::FrontRight;
        case SF_CHANNEL_MAP_MONO:
        case SF_CHANNEL_MAP_CENTER:
        case SF_CHANNEL_MAP_FRONT_CENTER:
        case SF_CHANNEL_MAP_REAR_CENTER:
        case SF_CHANNEL_MAP_TOP_CENTER:
        case SF_CHANNEL_MAP_TOP_FRONT_CENTER:
        case SF_CHANNEL_MAP_TOP_REAR_CENTER:
            return Speaker::Centre;
        case SF_CHANNEL_MAP_REAR_LEFT:
        case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
        case SF_CHANNEL_MAP_SIDE_LEFT:
        case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
        case SF_CHANNEL_MAP_TOP_REAR_LEFT:
            return Speaker::Left;
        case SF_CHANNEL_MAP_REAR_RIGHT:
        case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
        case SF_CHANNEL_MAP_SIDE_RIGHT:
        case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
        case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
            return Speaker::Right;
        case SF_CHANNEL_MAP_LFE:
            return Speaker::Lfe;
        default:
            return Speaker::Unknown;
        }
    }

    SNDFILE* sf_ = nullptr;
    int sourceChannels_ = 0;
    std::vector<float> mix_;    // per source channel: left and right weight; empty up to stereo
    std::vector<float> source_; // the file's frames before the mix
    std::vector<float> mixed_;
};

} // namespace

std::unique_ptr<Decoder> OpenDecoder(const std::string& path, int format, bool pcm16) {
    if (format == 3) return OpenFfmpegDecoder(path);
    if (format == 1) {
        auto d = std::make_unique<MpegDecoder>();
        if (d->Open(path, pcm16)) return d;
        return nullptr;
    }
    auto d = std::make_unique<WaveDecoder>();
    if (d->Open(path)) return d;
    return nullptr;
}

} // namespace kv::engine
