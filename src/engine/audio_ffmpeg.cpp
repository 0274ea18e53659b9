// FFmpeg's demuxers and decoders for the formats that are neither MPEG nor WAVE. The file
// information comes from the container's own header (FLAC STREAMINFO, MP4 sample tables, the
// last Ogg page's granule, WavPack/APE/TTA/AIFF headers) as ffprobe reads it: nothing is
// decoded. Playback decodes to float at the file's own rate, keeping 24-bit and float sources'
// precision, and mixes more than two channels down to stereo.
#include "engine/decoder_ffmpeg.h"

#include "engine/ffmpeg_late.h"
#include "engine/media_probe.h"
#include "engine/stereo_mix.h"
#include "engine/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kv::engine {
namespace {

// The containers handed to FFmpeg; anything else its probing might recognise (images, video,
// playlists) is not a track for the engine.
AudioKind KindOf(const AVFormatContext* fc, AVCodecID codec) {
    const char* name = fc->iformat ? fc->iformat->name : "";
    if (std::strcmp(name, "flac") == 0) return AudioKind::Flac;
    if (std::strcmp(name, "ogg") == 0)
        return codec == AV_CODEC_ID_OPUS     ? AudioKind::OggOpus
               : codec == AV_CODEC_ID_FLAC   ? AudioKind::OggFlac
               : codec == AV_CODEC_ID_VORBIS ? AudioKind::OggVorbis
                                             : AudioKind::None;
    if (std::strncmp(name, "mov,", 4) == 0) return AudioKind::Mp4;
    if (std::strcmp(name, "wv") == 0) return AudioKind::WavPack;
    if (std::strcmp(name, "ape") == 0) return AudioKind::Ape;
    if (std::strcmp(name, "tta") == 0) return AudioKind::Tta;
    if (std::strcmp(name, "aiff") == 0) return AudioKind::Aiff;
    if (std::strcmp(name, "aac") == 0) return AudioKind::Adts;
    return AudioKind::None;
}

// An opened container with its best audio stream.
struct Input {
    AVFormatContext* fc = nullptr;
    AVStream* st = nullptr;
    AudioKind kind = AudioKind::None;
    ~Input() {
        if (fc) Ffmpeg()->avformat_close_input(&fc);
    }
    bool Open(const char* path) {
        const FfmpegLibrary* av = Ffmpeg();
        if (!av || av->avformat_open_input(&fc, path, nullptr, nullptr) < 0) return false;
        // The first audio stream: choosing the best one would need the stream information
        // that only decoding gives.
        for (unsigned i = 0; i < fc->nb_streams && !st; ++i)
            if (fc->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) st = fc->streams[i];
        if (!st) return false;
        kind = KindOf(fc, st->codecpar->codec_id);
        return kind != AudioKind::None && av->avcodec_find_decoder(st->codecpar->codec_id);
    }
    // FLAC's demuxer leaves the rate and channels to the parser; STREAMINFO has them.
    const uint8_t* StreamInfo() const {
        const AVCodecParameters* cp = st->codecpar;
        return cp->codec_id == AV_CODEC_ID_FLAC && cp->extradata && cp->extradata_size >= 18 ? cp->extradata
                                                                                             : nullptr;
    }
    int Rate() const {
        if (st->codecpar->sample_rate > 0) return st->codecpar->sample_rate;
        const uint8_t* si = StreamInfo();
        return si ? si[10] << 12 | si[11] << 4 | si[12] >> 4 : 0;
    }
    int Channels() const {
        if (st->codecpar->ch_layout.nb_channels > 0) return st->codecpar->ch_layout.nb_channels;
        const uint8_t* si = StreamInfo();
        return si ? ((si[12] >> 1) & 7) + 1 : 0;
    }
    // Samples the header gives, -1 when it gives none. Ogg Opus counts its pre-skip (decoded
    // and dropped) in the last granule.
    int64_t HeaderSamples() const {
        if (Rate() <= 0 || st->duration == AV_NOPTS_VALUE || st->duration <= 0) return -1;
        int64_t n = ToSamples(StartTime() + st->duration);
        if (kind == AudioKind::OggOpus) n -= st->codecpar->initial_padding;
        return n > 0 ? n : -1;
    }
    // The time stamp of the sound's first sample: the stream's start, unless the container says
    // more exactly where it is.
    int64_t origin = AV_NOPTS_VALUE;
    int64_t StartTime() const {
        return origin != AV_NOPTS_VALUE ? origin : st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
    }
    // Stream time stamps to samples from the stream's start, and back.
    int64_t ToSamples(int64_t ts) const {
        return int64_t(
            std::llround((long double)(ts - StartTime()) * st->time_base.num * Rate() / st->time_base.den));
    }
    int64_t FromSamples(int64_t samples) const {
        return StartTime() + int64_t(std::llround((long double)samples * st->time_base.den /
                                                  ((long double)st->time_base.num * Rate())));
    }
};

// Where each source channel plays, for the stereo mix.
std::vector<float> StereoMix(const AVChannelLayout& layout) {
    std::vector<Speaker> speakers;
    for (int i = 0; i < layout.nb_channels; ++i) {
        const AVChannel c = Ffmpeg()->av_channel_layout_channel_from_index(&layout, unsigned(i));
        if (layout.order == AV_CHANNEL_ORDER_UNSPEC || c == AV_CHAN_NONE) {
            speakers.push_back(SpeakerInWaveOrder(i));
            continue;
        }
        switch (c) {
        case AV_CHAN_FRONT_LEFT:
            speakers.push_back(Speaker::FrontLeft);
            break;
        case AV_CHAN_FRONT_RIGHT:
            speakers.push_back(Speaker::FrontRight);
            break;
        case AV_CHAN_LOW_FREQUENCY:
        case AV_CHAN_LOW_FREQUENCY_2:
            speakers.push_back(Speaker::Lfe);
            break;
        case AV_CHAN_FRONT_CENTER:
        case AV_CHAN_BACK_CENTER:
        case AV_CHAN_TOP_CENTER:
        case AV_CHAN_TOP_FRONT_CENTER:
        case AV_CHAN_TOP_BACK_CENTER:
            speakers.push_back(Speaker::Centre);
            break;
        case AV_CHAN_FRONT_LEFT_OF_CENTER:
        case AV_CHAN_BACK_LEFT:
        case AV_CHAN_SIDE_LEFT:
        case AV_CHAN_TOP_FRONT_LEFT:
        case AV_CHAN_TOP_BACK_LEFT:
        case AV_CHAN_WIDE_LEFT:
        case AV_CHAN_SURROUND_DIRECT_LEFT:
        case AV_CHAN_STEREO_LEFT:
            speakers.push_back(Speaker::Left);
            break;
        case AV_CHAN_FRONT_RIGHT_OF_CENTER:
        case AV_CHAN_BACK_RIGHT:
        case AV_CHAN_SIDE_RIGHT:
        case AV_CHAN_TOP_FRONT_RIGHT:
        case AV_CHAN_TOP_BACK_RIGHT:
        case AV_CHAN_WIDE_RIGHT:
        case AV_CHAN_SURROUND_DIRECT_RIGHT:
        case AV_CHAN_STEREO_RIGHT:
            speakers.push_back(Speaker::Right);
            break;
        default:
            speakers.push_back(Speaker::Unknown);
            break;
        }
    }
    return StereoMixWeights(speakers);
}

// One sample of any of FFmpeg's sample formats as float, integer formats scaled to -1..1.
template <typename T> float Sample(T v);
template <> float Sample(uint8_t v) {
    return (int(v) - 128) * (1.0f / 128);
}
template <> float Sample(int16_t v) {
    return v * (1.0f / 32768);
}
template <> float Sample(int32_t v) {
    return float(double(v) * (1.0 / 2147483648.0));
}
template <> float Sample(int64_t v) {
    return float(double(v) * (1.0 / 9223372036854775808.0));
}
template <> float Sample(float v) {
    return v;
}
template <> float Sample(double v) {
    return float(v);
}

class FfmpegDecoder : public Decoder {
  public:
    ~FfmpegDecoder() override {
        const FfmpegLibrary* av = Ffmpeg();
        if (!av) return;
        av->av_frame_free(&frame_);
        av->av_packet_free(&pkt_);
        av->avcodec_free_context(&cc_);
    }
    bool Open(const std::string& path) {
        if (!in_.Open(path.c_str())) return false;
        const FfmpegLibrary* av = Ffmpeg();
        const AVCodec* codec = av->avcodec_find_decoder(in_.st->codecpar->codec_id);
        cc_ = av->avcodec_alloc_context3(codec);
        pkt_ = av->av_packet_alloc();
        frame_ = av->av_frame_alloc();
        if (!cc_ || !pkt_ || !frame_ || av->avcodec_parameters_to_context(cc_, in_.st->codecpar) < 0)
            return false;
        cc_->pkt_timebase = in_.st->time_base;
        if (av->avcodec_open2(cc_, codec, nullptr) < 0) return false;
        rate_ = cc_->sample_rate > 0 ? cc_->sample_rate : in_.Rate();
        const int channels = cc_->ch_layout.nb_channels;
        if (rate_ <= 0 || channels <= 0) return false;
        channels_ = std::min(channels, 2);
        total_ = in_.HeaderSamples();
        int headerRate = in_.Rate();
        // A stream that states no length of its own ends where the container's length says, the
        // one the file information reports.
        if (total_ < 0 && headerRate > 0 && in_.fc->duration != AV_NOPTS_VALUE && in_.fc->duration > 0)
            total_ = int64_t(std::llround((long double)in_.fc->duration * headerRate / AV_TIME_BASE));
        // An MP4's length is the one its atoms give, as the file's information reports it, so
        // play never runs past the length the rows and the position bar show.
        if (Mp4Audio mp4; in_.kind == AudioKind::Mp4 && ReadMp4AudioFile(path, &mp4)) {
            total_ = mp4.samples;
            headerRate = mp4.rate;
            // FFmpeg skips the edit list's start, or iTunSMPB's priming when there is no edit
            // list; the two need not agree, so the priming is found by the time stamps and what
            // comes before it dropped as after a seek.
            if (mp4.priming >= 0 && in_.st->time_base.num == 1 &&
                in_.st->time_base.den == int(mp4.timescale)) {
                in_.origin =
                    std::llround((long double)mp4.priming * mp4.timescale / mp4.rate) - mp4.editStart;
                seekTarget_ = 0;
            }
        }
        // The decoder may play at another rate than the container states (AAC with SBR
        // signalled only inside the stream): the header's length is in the container's rate.
        if (total_ > 0 && headerRate > 0 && headerRate != rate_)
            total_ = int64_t((long double)total_ * rate_ / headerRate);
        if (channels > 2) mix_ = StereoMix(cc_->ch_layout);
        return true;
    }

    long ReadFloat(float* out, long frames) override {
        // Encoders pad the last packet; the header's count says where the sound ends.
        if (total_ > 0) frames = long(std::clamp<int64_t>(total_ - position_, 0, frames));
        long done = 0;
        while (done < frames) {
            if (at_ == have_ && !Refill()) break;
            const long n = std::min(frames - done, have_ - at_);
            std::memcpy(out + done * channels_, &pcm_[size_t(at_) * channels_],
                        size_t(n) * channels_ * sizeof(float));
            at_ += n;
            done += n;
        }
        position_ += done;
        return done;
    }

    long ReadShort(int16_t* out, long frames) override {
        floats_.resize(size_t(frames) * channels_);
        const long n = ReadFloat(floats_.data(), frames);
        for (size_t i = 0; i < size_t(n) * channels_; ++i)
            out[i] = int16_t(std::lrint(std::clamp(floats_[i] * 32768.0f, -32768.0f, 32767.0f)));
        return n;
    }

    bool Seek(int64_t frame) override {
        frame = std::max<int64_t>(0, frame);
        if (frame == position_ && !eof_) return true;
        const FfmpegLibrary* av = Ffmpeg();
        const int64_t ts = in_.FromSamples(frame);
        if (av->avformat_seek_file(in_.fc, in_.st->index, INT64_MIN, ts, ts, 0) < 0 &&
            av->avformat_seek_file(in_.fc, in_.st->index, INT64_MIN, in_.StartTime(), in_.StartTime(), 0) < 0)
            return false;
        av->avcodec_flush_buffers(cc_);
        at_ = have_ = 0;
        eof_ = draining_ = false;
        seekTarget_ = frame;
        position_ = frame;
        return true;
    }

  private:
    // Decodes the next frame into pcm_; after a seek, drops what comes before the target.
    bool Refill() {
        at_ = have_ = 0;
        while (!eof_) {
            if (!NextFrame()) return false;
            const int64_t pts =
                frame_->best_effort_timestamp != AV_NOPTS_VALUE ? frame_->best_effort_timestamp : frame_->pts;
            // Before the sound's start (a priming FFmpeg left in) the first sample counts below 0.
            // Without a time stamp, the frame is as close as the demuxer put us.
            const int64_t first = pts != AV_NOPTS_VALUE ? in_.ToSamples(pts) : seekTarget_;
            Convert();
            if (seekTarget_ >= 0) {
                const int64_t skip = std::clamp<int64_t>(seekTarget_ - first, 0, have_);
                at_ = long(skip);
                if (first + have_ < seekTarget_) {
                    at_ = have_ = 0; // wholly before the target
                    continue;
                }
                seekTarget_ = -1;
            }
            if (at_ < have_) return true;
        }
        return false;
    }

    bool NextFrame() {
        const FfmpegLibrary* av = Ffmpeg();
        // A damaged file may refuse packet after packet; reading still moves on, so this ends.
        for (;;) {
            const int got = av->avcodec_receive_frame(cc_, frame_);
            if (got == 0) {
                if (frame_->nb_samples > 0) return true;
                continue;
            }
            if (got != AVERROR(EAGAIN) || draining_) {
                eof_ = true;
                return false;
            }
            const int read = av->av_read_frame(in_.fc, pkt_);
            if (read < 0) {
                // The end of the file is the end of the sound; anything else is a read that failed.
                failed_ = failed_ || read != AVERROR_EOF;
                draining_ = true;
                av->avcodec_send_packet(cc_, nullptr);
                continue;
            }
            if (pkt_->stream_index == in_.st->index) av->avcodec_send_packet(cc_, pkt_);
            av->av_packet_unref(pkt_);
        }
    }

    template <typename T> void ConvertAs() {
        const int n = frame_->nb_samples;
        const int ch = frame_->ch_layout.nb_channels;
        const bool planar = IsPlanar(AVSampleFormat(frame_->format));
        auto in = [&](int c, int i) -> float {
            return planar ? Sample(reinterpret_cast<const T*>(frame_->extended_data[c])[i])
                          : Sample(reinterpret_cast<const T*>(frame_->data[0])[size_t(i) * ch + c]);
        };
        float* out = pcm_.data();
        if (mix_.empty() || ch <= 2) {
            const int keep = std::min(ch, channels_);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < channels_; ++c)
                    out[size_t(i) * channels_ + c] = in(std::min(c, keep - 1), i);
            return;
        }
        const int mixed = std::min<int>(ch, int(mix_.size() / 2));
        for (int i = 0; i < n; ++i) {
            float l = 0, r = 0;
            for (int c = 0; c < mixed; ++c) {
                const float v = in(c, i);
                l += v * mix_[size_t(c) * 2];
                r += v * mix_[size_t(c) * 2 + 1];
            }
            out[size_t(i) * 2] = l;
            out[size_t(i) * 2 + 1] = r;
        }
    }

    static bool IsPlanar(AVSampleFormat f) {
        return f >= AV_SAMPLE_FMT_U8P && f <= AV_SAMPLE_FMT_DBLP ? true : f == AV_SAMPLE_FMT_S64P;
    }

    void Convert() {
        pcm_.resize(size_t(frame_->nb_samples) * channels_);
        switch (frame_->format) {
        case AV_SAMPLE_FMT_U8:
        case AV_SAMPLE_FMT_U8P:
            ConvertAs<uint8_t>();
            break;
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S16P:
            ConvertAs<int16_t>();
            break;
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_S32P:
            ConvertAs<int32_t>();
            break;
        case AV_SAMPLE_FMT_S64:
        case AV_SAMPLE_FMT_S64P:
            ConvertAs<int64_t>();
            break;
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_FLTP:
            ConvertAs<float>();
            break;
        case AV_SAMPLE_FMT_DBL:
        case AV_SAMPLE_FMT_DBLP:
            ConvertAs<double>();
            break;
        default:
            std::fill(pcm_.begin(), pcm_.end(), 0.0f);
            break;
        }
        have_ = frame_->nb_samples;
    }

    Input in_;
    AVCodecContext* cc_ = nullptr;
    AVPacket* pkt_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::vector<float> mix_; // per source channel: left and right weight
    std::vector<float> pcm_; // the current frame at channels_
    std::vector<float> floats_;
    long have_ = 0, at_ = 0; // frames in pcm_, frames of it handed out
    int64_t position_ = 0;   // the next frame ReadFloat hands out
    int64_t seekTarget_ = -1;
    int64_t total_ = -1; // frames the header gives, -1 when unknown
    bool eof_ = false, draining_ = false;
};

bool ValidUtf8(const char* s) {
    for (auto* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        const int extra = *p < 0x80 ? 0 : (*p >> 5) == 6 ? 1 : (*p >> 4) == 14 ? 2 : (*p >> 3) == 30 ? 3 : -1;
        if (extra < 0) return false;
        ++p;
        for (int i = 0; i < extra; ++i, ++p)
            if ((*p & 0xc0) != 0x80) return false;
    }
    return true;
}

} // namespace

void FillContainerInfo(int rate, int channels, int64_t samples, int64_t bitRate, int64_t fileSize,
                       VBMP3_FILE_INFO* info) {
    if (bitRate <= 0) bitRate = int64_t(double(fileSize) * 8 / (double(samples) / rate));
    info->format = 3;
    info->sampleRate = rate;
    info->channels = channels;
    info->bitRate = int32_t(std::min<int64_t>((bitRate + 500) / 1000, INT32_MAX));
    info->vbr = 1;
    info->samples = samples;
    info->playTime = int32_t(std::min<int64_t>(samples / rate, INT32_MAX));
    info->audioOffset = 0;
    info->audioBytes = fileSize;
}

bool LooksLikeFfmpegAudio(const uint8_t* h, size_t size) {
    auto at = [&](size_t pos, const char* magic) {
        const size_t n = std::strlen(magic);
        return size >= pos + n && std::memcmp(h + pos, magic, n) == 0;
    };
    if (at(0, "fLaC") || at(0, "OggS") || at(0, "wvpk") || at(0, "MAC ") || at(0, "TTA1") || at(0, "ADIF"))
        return true;
    if (at(0, "FORM") && (at(8, "AIFF") || at(8, "AIFC"))) return true;
    for (const char* box : {"ftyp", "moov", "mdat", "free", "wide", "skip"})
        if (at(4, box)) return true;
    // ADTS: a 12-bit sync and layer 0, which no MPEG audio frame has.
    return size >= 2 && h[0] == 0xff && (h[1] & 0xf6) == 0xf0;
}

std::unique_ptr<Decoder> OpenFfmpegDecoder(const std::string& path) {
    auto d = std::make_unique<FfmpegDecoder>();
    if (d->Open(path)) return d;
    return nullptr;
}

bool IsLosslessContainer(const char* path) {
    uint8_t head[12] = {};
    FILE* f = std::fopen(path, "rb");
    const size_t got = f ? std::fread(head, 1, sizeof head, f) : 0;
    if (f) std::fclose(f);
    // Only files that look like one of these containers load FFmpeg at all.
    Input in;
    if (!LooksLikeFfmpegAudio(head, got) || !in.Open(path)) return false;
    switch (in.st->codecpar->codec_id) {
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_WAVPACK:
    case AV_CODEC_ID_APE:
    case AV_CODEC_ID_TTA:
        return true;
    default: // AIFF's PCM, not the compressed kinds AIFF-C may hold
        return in.kind == AudioKind::Aiff && in.st->codecpar->codec_id >= AV_CODEC_ID_PCM_S16LE &&
               in.st->codecpar->codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
    }
}

AudioKind ContainerKind(const char* path) {
    Input in;
    return in.Open(path) ? in.kind : AudioKind::None;
}

AudioKind ProbeFfmpegAudio(const char* path, int64_t fileSize, VBMP3_FILE_INFO* info, TagText* tags) {
    Input in;
    if (!in.Open(path)) return AudioKind::None;
    int rate = in.Rate();
    int channels = in.Channels();
    int64_t samples = in.HeaderSamples();
    // Raw ADTS has no length anywhere: FFmpeg estimates it from the bit rate, as ffprobe does.
    if (samples < 0 || rate <= 0 || channels <= 0) {
        if (Ffmpeg()->avformat_find_stream_info(in.fc, nullptr) < 0) return AudioKind::None;
        rate = in.Rate();
        channels = in.Channels();
        samples = in.HeaderSamples();
        if (samples < 0 && rate > 0 && in.fc->duration != AV_NOPTS_VALUE && in.fc->duration > 0)
            samples = int64_t(std::llround((long double)in.fc->duration * rate / AV_TIME_BASE));
    }
    if (rate <= 0 || channels <= 0 || samples <= 0) return AudioKind::None;
    const int64_t bitRate = in.st->codecpar->bit_rate > 0 ? in.st->codecpar->bit_rate : in.fc->bit_rate;
    FillContainerInfo(rate, channels, samples, bitRate, fileSize, info);
    // FFmpeg's reading of the tags, for what TagLib's reader leaves empty (APE tags in TTA,
    // keys some taggers spell their own way).
    auto meta = [&](const char* key) -> std::string {
        for (AVDictionary* d : {in.st->metadata, in.fc->metadata})
            if (const AVDictionaryEntry* e = Ffmpeg()->av_dict_get(d, key, nullptr, 0))
                return ValidUtf8(e->value) ? e->value : DecodeLegacyText(e->value, std::strlen(e->value));
        return {};
    };
    tags->title = meta("title");
    tags->artist = meta("artist");
    tags->album = meta("album");
    tags->year = meta("date").substr(0, 4);
    tags->comment = meta("comment");
    tags->genreName = meta("genre");
    return in.kind;
}

} // namespace kv::engine
