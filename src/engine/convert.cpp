// Threads: the API thread calls the functions below; each conversion runs on its own
// std::thread that owns the input and output handles until it ends. The two share only
// atomics (abort request, progress, outcome); the API thread joins before touching anything
// else. `g_lock` serialises API callers and guards `g_trackBound`.
//
// Output files are readable while they grow: the WAVE header's sizes are rewritten about
// twice a second, and an MP3 is plain frames (LAME's placeholder first frame carries no
// length) until the finished Xing/LAME frame is written over the placeholder at the end.
#include "engine/convert.h"

#include "engine/decoder.h"
#include "engine/decoder_ffmpeg.h"
#include "engine/media_probe.h"
#include "engine/sndfile_late.h"

#include <lame/lame.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace kv::engine {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kFinishWithinSeconds = 5;

struct Pending {
    SNDFILE* sf = nullptr;
    std::unique_ptr<Decoder> lossless; // a lossless source in another container than WAVE
    SF_INFO info{};
    VBMP3_ENCODE_OPTIONS options{};
};

std::mutex g_lock;
Pending g_pending;
std::thread g_thread;
std::atomic<bool> g_abort{false};
std::atomic<bool> g_running{false};
std::atomic<int64_t> g_doneFrames{0};
std::atomic<ConversionState> g_state{ConversionState::Idle};
std::atomic<int> g_rate{1};
int64_t g_totalFrames = 0;
bool g_trackBound = false; // started by vbmp3_decodeWave from the open track

bool WriteAll(int fd, const void* data, size_t n)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

void ClosePending()
{
    if (g_pending.sf)
        Sndfile()->sf_close(g_pending.sf);
    g_pending = Pending{};
}

void JoinLocked(bool letFinish)
{
    if (!g_thread.joinable())
        return;
    const int64_t left = g_totalFrames - g_doneFrames.load();
    if (!letFinish || left > kFinishWithinSeconds * g_rate)
        g_abort = true;
    g_thread.join();
    g_abort = false;
}

// What a conversion thread reports when it ends. A write that fails (disk full, folder gone
// on a network share, a close that reports a lost write) makes the output worthless. A whole
// output is synced here, off the UI thread, so that whoever renames it into place next
// never puts a short file under the final name.
ConversionState Outcome(bool ok, bool complete, int fd)
{
    if (ok && complete)
        ok = fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!ok || !closed)
        return ConversionState::Failed;
    return complete ? ConversionState::Finished : ConversionState::Stopped;
}

// 16-bit samples go to the encoder as they are, in one or two channels; anything else (more
// channels, 24-bit, float) as floats with the first two channels taken.
class EncoderFeed {
public:
  EncoderFeed(SNDFILE* sf, Decoder* lossless, const SF_INFO& info, lame_global_flags* gf)
      : sf_(sf), lossless_(lossless), gf_(gf), ch_(info.channels),
        shorts_(sf && (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && info.channels <= 2) {
      if (shorts_) {
          pcm16_.resize(size_t(kChunk) * ch_);
      } else {
          pcm_.resize(size_t(kChunk) * ch_);
          left_.resize(kChunk);
          right_.resize(kChunk);
      }
  }
    static constexpr int kChunk = 4096;
    sf_count_t Read()
    {
        if (lossless_) return lossless_->ReadFloat(pcm_.data(), kChunk);
        const SndfileLibrary& lib = *Sndfile();
        return shorts_ ? lib.sf_readf_short(sf_, pcm16_.data(), kChunk) : lib.sf_readf_float(sf_, pcm_.data(), kChunk);
    }
    int Encode(int n, unsigned char* out, int size)
    {
        if (shorts_ && ch_ == 2)
            return lame_encode_buffer_interleaved(gf_, pcm16_.data(), n, out, size);
        if (shorts_)
            return lame_encode_buffer(gf_, pcm16_.data(), pcm16_.data(), n, out, size);
        for (int i = 0; i < n; ++i) {
            left_[i] = pcm_[size_t(i) * ch_];
            right_[i] = pcm_[size_t(i) * ch_ + (ch_ > 1 ? 1 : 0)];
        }
        return lame_encode_buffer_ieee_float(gf_, left_.data(), right_.data(), n, out, size);
    }

    bool Failed() const {
        return lossless_ ? lossless_->Failed() : Sndfile()->sf_error(sf_) != SF_ERR_NO_ERROR;
    }

private:
    SNDFILE* sf_;
    Decoder* lossless_;
    lame_global_flags* gf_;
    int ch_;
    bool shorts_;
    std::vector<int16_t> pcm16_;
    std::vector<float> pcm_, left_, right_;
};

// The MP3 holds the sound of the data chunk and nothing more: chunks after it (a LIST of
// tags) make the file longer than its sound, and are no silence to encode.
void EncodeThread(SNDFILE* sf, std::unique_ptr<Decoder> lossless, SF_INFO info, lame_global_flags* gf,
                  int fd) {
    constexpr int kChunk = EncoderFeed::kChunk;
    EncoderFeed feed(sf, lossless.get(), info, gf);
    std::vector<unsigned char> mp3(kChunk * 5 / 4 + 7200);
    int64_t done = 0;
    bool ok = true, complete = false;
    while (ok && !g_abort) {
        const sf_count_t n = feed.Read();
        if (n <= 0) {
            ok = !feed.Failed();
            complete = ok;
            break;
        }
        const int got = feed.Encode(int(n), mp3.data(), int(mp3.size()));
        ok = got >= 0 && WriteAll(fd, mp3.data(), size_t(got));
        done += n;
        g_doneFrames = done;
    }
    const int got = lame_encode_flush(gf, mp3.data(), int(mp3.size()));
    if (ok && got > 0)
        ok = WriteAll(fd, mp3.data(), size_t(got));
    unsigned char tag[2880];
    const size_t tagBytes = lame_get_lametag_frame(gf, tag, sizeof tag);
    if (ok && tagBytes > 0 && tagBytes <= sizeof tag)
        ok = pwrite(fd, tag, tagBytes, 0) == ssize_t(tagBytes);
    const ConversionState outcome = Outcome(ok, complete, fd);
    lame_close(gf);
    if (sf) Sndfile()->sf_close(sf);
    g_state = outcome;
    g_running = false;
}

void PutLe32(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24); }

void WaveHeader(uint8_t* h, int rate, int channels, uint64_t dataBytes)
{
    const uint32_t data = uint32_t(std::min<uint64_t>(dataBytes, 0xffffffffull - 36));
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, data + 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);
    h[20] = 1; h[21] = 0;
    h[22] = uint8_t(channels); h[23] = 0;
    PutLe32(h + 24, uint32_t(rate));
    PutLe32(h + 28, uint32_t(rate * channels * 2));
    h[32] = uint8_t(channels * 2); h[33] = 0;
    h[34] = 16; h[35] = 0;
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, data);
}

void DecodeThread(std::unique_ptr<Decoder> dec, int fd, int64_t padToFrames)
{
    const int ch = dec->Channels(), rate = dec->Rate();
    constexpr long kChunk = 16384;
    std::vector<int16_t> pcm(size_t(kChunk) * ch);
    uint64_t bytes = 0;
    int64_t done = 0;
    uint8_t header[44];
    auto lastHeader = Clock::now();
    bool ok = true, complete = false;
    while (ok && !g_abort) {
        long n = dec->ReadShort(pcm.data(), kChunk);
        if (n <= 0) {
            // A read that failed is no end of the sound to pad with silence.
            if (dec->Failed()) {
                ok = false;
                break;
            }
            n = long(std::min<int64_t>(kChunk, padToFrames - done));
            if (n <= 0) {
                complete = true;
                break;
            }
            std::fill(pcm.begin(), pcm.end(), int16_t(0));
        }
        ok = WriteAll(fd, pcm.data(), size_t(n) * ch * 2);
        bytes += uint64_t(n) * ch * 2;
        done += n;
        g_doneFrames = done;
        if (Clock::now() - lastHeader > std::chrono::milliseconds(500)) {
            lastHeader = Clock::now();
            WaveHeader(header, rate, ch, bytes);
            (void)!pwrite(fd, header, sizeof header, 0);
        }
    }
    WaveHeader(header, rate, ch, bytes);
    if (ok)
        ok = pwrite(fd, header, sizeof header, 0) == ssize_t(sizeof header);
    g_state = Outcome(ok, complete, fd);
    g_running = false;
}

int CreateOutput(const char* name)
{
    return open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

} // namespace

bool EncodeOpen(const char* wavName, const VBMP3_ENCODE_OPTIONS* options)
{
    std::lock_guard lock(g_lock);
    JoinLocked(true);
    ClosePending();
    g_state = ConversionState::Idle;
    if (!wavName)
        return false;
    if (!Sndfile())
        return false;
    SF_INFO info{};
    // FLAC, WavPack, APE, TTA, ALAC and AIFF hold the same PCM a WAVE does.
    if (IsLosslessContainer(wavName)) {
        VBMP3_FILE_INFO fi{};
        TagText tags;
        auto dec = ProbeFile(wavName, &fi, &tags) ? OpenDecoder(wavName, fi.format) : nullptr;
        if (!dec || dec->Rate() < 8000 || dec->Rate() > 192000 || fi.samples <= 0) return false;
        info.samplerate = dec->Rate();
        info.channels = dec->Channels();
        info.frames = fi.samples;
        g_pending.lossless = std::move(dec);
        g_pending.info = info;
        if (options) g_pending.options = *options;
        return true;
    }
    SNDFILE* sf = Sndfile()->sf_open(wavName, SFM_READ, &info);
    if (!sf)
        return false;
    if (info.channels <= 0 || info.samplerate < 8000 || info.samplerate > 192000 || info.frames <= 0) {
        Sndfile()->sf_close(sf);
        return false;
    }
    Sndfile()->sf_command(sf, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    g_pending.sf = sf;
    g_pending.info = info;
    if (options)
        g_pending.options = *options;
    return true;
}

bool EncodeStart(const char* mp3Name)
{
    std::lock_guard lock(g_lock);
    if ((!g_pending.sf && !g_pending.lossless) || !mp3Name || g_thread.joinable()) return false;
    const SF_INFO info = g_pending.info;
    const VBMP3_ENCODE_OPTIONS& o = g_pending.options;
    lame_global_flags* gf = lame_init();
    if (!gf)
        return false;
    lame_set_in_samplerate(gf, info.samplerate);
    lame_set_num_channels(gf, info.channels >= 2 ? 2 : 1);
    lame_set_mode(gf, info.channels >= 2 ? JOINT_STEREO : MONO);
    lame_set_quality(gf, o.algorithmQuality > 0 ? std::min(o.algorithmQuality, 9) : 2);
    if (o.bitRate > 0) {
        lame_set_VBR(gf, vbr_off);
        lame_set_brate(gf, o.bitRate);
    } else {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_quality(gf, o.vbrQuality > 0 ? float(std::min(o.vbrQuality, 9)) : 2.0f);
    }
    lame_set_bWriteVbrTag(gf, 1);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return false;
    }
    const int fd = CreateOutput(mp3Name);
    if (fd < 0) {
        lame_close(gf);
        return false;
    }
    g_totalFrames = info.frames;
    g_rate = info.samplerate;
    g_doneFrames = 0;
    g_trackBound = false;
    g_state = ConversionState::Running;
    g_running = true;
    SNDFILE* sf = g_pending.sf;
    g_pending.sf = nullptr;
    g_thread = std::thread(EncodeThread, sf, std::move(g_pending.lossless), info, gf, fd);
    return true;
}

namespace {

bool DecodeStartLocked(const std::string& sourcePath, int format, int64_t sourceSeconds, const char* wavName,
                       bool trackBound) {
    JoinLocked(true);
    g_state = ConversionState::Idle;
    if (!wavName)
        return false;
    auto dec = OpenDecoder(sourcePath, format, true);
    if (!dec)
        return false;
    const int fd = CreateOutput(wavName);
    if (fd < 0)
        return false;
    uint8_t header[44];
    WaveHeader(header, dec->Rate(), dec->Channels(), 0);
    if (!WriteAll(fd, header, sizeof header)) {
        close(fd);
        return false;
    }
    const int rate = dec->Rate();
    g_rate = rate;
    g_totalFrames = sourceSeconds * rate + rate;
    g_doneFrames = 0;
    g_trackBound = trackBound;
    g_state = ConversionState::Running;
    g_running = true;
    g_thread = std::thread(DecodeThread, std::move(dec), fd, sourceSeconds * rate);
    return true;
}

} // namespace

bool DecodeStart(const std::string& sourcePath, int format, int64_t sourceSeconds, const char* wavName) {
    std::lock_guard lock(g_lock);
    return DecodeStartLocked(sourcePath, format, sourceSeconds, wavName, true);
}

bool DecodeFileStart(const char* sourceName, const char* wavName)
{
    std::lock_guard lock(g_lock);
    VBMP3_FILE_INFO info{};
    TagText tags;
    if (!sourceName || !ProbeFile(sourceName, &info, &tags)) {
        JoinLocked(true);
        g_state = ConversionState::Idle;
        return false;
    }
    return DecodeStartLocked(sourceName, info.format, info.playTime, wavName, false);
}

void ConversionStop()
{
    std::lock_guard lock(g_lock);
    JoinLocked(true);
    ClosePending();
}

void TrackConversionStop()
{
    std::lock_guard lock(g_lock);
    if (g_trackBound)
        JoinLocked(true);
}

bool ConversionRunning() { return g_running; }

ConversionState ConversionStatus(int64_t* doneSeconds)
{
    // Read the outcome before the count: a thread that has ended has stored its last count.
    const ConversionState state = g_state;
    if (doneSeconds)
        *doneSeconds = g_doneFrames / std::max(1, g_rate.load());
    return state;
}

} // namespace kv::engine
