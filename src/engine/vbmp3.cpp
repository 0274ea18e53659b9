// The C entry points. Threads: any API thread (normally the UI thread) calls these; `g_api`
// serialises them. Playback state shared with the SDL callback lives in output.cpp under
// the device lock, conversions in convert.cpp; this file owns only the open-track record.
// A TrackSource, once handed to the output, is read and sought only under the device lock
// (on the audio thread, or on an API thread inside the output's Start/Seek).
#include "engine/vbmp3.h"

#include "engine/convert.h"
#include "engine/decoder.h"
#include "engine/dsp.h"
#include "engine/media_probe.h"
#include "engine/output.h"
#include "engine/pcm_source.h"
#include "engine/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace kv::engine {
namespace {

// Decodes in blocks of about three quarters of a second and hands them out a device buffer
// at a time. Each audio callback follows a sleep that leaves the decoder's tables and code
// cold, and refilling the caches cost more than the decoding itself did when every
// callback decoded its own few frames. Used only under the output's device lock.
class TrackSource : public Source {
  public:
    explicit TrackSource(std::unique_ptr<Decoder> d)
        : dec_(std::move(d)),
          block_(size_t(std::max(1L, kBlockSamples / dec_->Channels())) * size_t(dec_->Channels())) {}
    int Rate() const override { return dec_->Rate(); }
    int Channels() const override { return dec_->Channels(); }
    long Read(float* out, long frames) override {
        const int ch = dec_->Channels();
        if (end_ >= 0) frames = long(std::min<int64_t>(frames, std::max<int64_t>(0, end_ - pos_)));
        long done = 0;
        while (done < frames) {
            if (next_ == have_) {
                next_ = 0;
                have_ = std::max(0L, dec_->ReadFloat(block_.data(), long(block_.size()) / ch));
                if (have_ == 0) break;
            }
            const long n = std::min(frames - done, have_ - next_);
            std::memcpy(out + done * ch, block_.data() + next_ * ch, size_t(n) * ch * sizeof(float));
            next_ += n;
            done += n;
        }
        pos_ += done;
        return done;
    }
    bool Seek(double seconds) override {
        next_ = have_ = 0;
        pos_ = int64_t(std::llround(seconds * dec_->Rate()));
        return dec_->Seek(pos_);
    }
    // Ends at that second (an end mark) rather than at the end of the file.
    void EndAt(double seconds) { end_ = seconds > 0 ? int64_t(std::llround(seconds * dec_->Rate())) : -1; }

  private:
    static constexpr long kBlockSamples = 65536; // 0.74 s of 44.1 kHz stereo
    std::unique_ptr<Decoder> dec_;
    std::vector<float> block_;
    long have_ = 0, next_ = 0;   // frames in block_, frames already handed out
    int64_t pos_ = 0, end_ = -1; // frame of the file handed out next; where it ends, -1 at its end
};

class ExternalSource : public Source {
  public:
    explicit ExternalSource(std::shared_ptr<PcmSource> s) : src_(std::move(s)) {}
    int Rate() const override { return src_->SampleRate(); }
    int Channels() const override { return 2; }
    long Read(float* out, long frames) override { return std::max(0, src_->Read(out, int(frames))); }
    bool Seek(double seconds) override { return src_->Seek(seconds); }

  private:
    std::shared_ptr<PcmSource> src_;
};

struct Track {
    std::string path;
    int format = 0;
    int64_t seconds = 0;
    std::shared_ptr<TrackSource> source;
};

std::mutex g_api;
bool g_initialised = false;
Track g_track;
Track g_queued;              // what follows g_track without a gap
uint64_t g_seenSwitches = 0; // the output's count when g_track was last brought up to date
std::array<int16_t, 10> g_eqPending{};

// Once the queued track is heard it is the open one.
void FollowSwitchLocked() {
    const uint64_t switches = OutputSwitches();
    if (switches == g_seenSwitches) return;
    g_seenSwitches = switches;
    if (g_queued.source) g_track = std::move(g_queued);
    g_queued = Track{};
}

// Opens `fileName` for playback; false when it cannot be read.
bool OpenTrack(const char* fileName, Track* track, VBMP3_TRACK_INFO* info) {
    if (info) std::memset(info, 0, sizeof *info);
    VBMP3_FILE_INFO fi{};
    TagText tags;
    if (!fileName || !ProbeFile(fileName, &fi, &tags)) return false;
    auto dec = OpenDecoder(fileName, fi.format);
    if (!dec) return false;
    track->path = fileName;
    track->format = fi.format;
    track->seconds = fi.playTime;
    track->source = std::make_shared<TrackSource>(std::move(dec));
    if (info) {
        PutFixedText(info->title, sizeof info->title, tags.title);
        PutFixedText(info->artist, sizeof info->artist, tags.artist);
        info->channels = fi.channels;
        info->sampleRate = fi.sampleRate;
        info->bitRate = fi.bitRate;
        info->totalSec = fi.playTime;
    }
    return true;
}

void CloseTrackLocked() {
    // A conversion of this track is allowed to finish when it is nearly done; one started
    // from file names goes on while the player moves from track to track.
    TrackConversionStop();
    OutputStop(Owner::Track, true);
    g_track = Track{};
    g_queued = Track{};
    g_seenSwitches = OutputSwitches();
}

} // namespace

bool ExternalPlay(std::shared_ptr<PcmSource> source) {
    std::lock_guard lock(g_api);
    if (!g_initialised || !source) return false;
    OutputStop(Owner::Track, false);
    return OutputStart(Owner::External, std::make_shared<ExternalSource>(std::move(source)), 0);
}
void ExternalPause() {
    std::lock_guard lock(g_api);
    OutputPause(Owner::External);
}
void ExternalResume() {
    std::lock_guard lock(g_api);
    OutputResume(Owner::External);
}
void ExternalStop() {
    std::lock_guard lock(g_api);
    OutputStop(Owner::External, true);
}
bool ExternalSeek(double seconds) {
    std::lock_guard lock(g_api);
    return OutputSeek(Owner::External, seconds);
}
double ExternalPosition() {
    std::lock_guard lock(g_api);
    double heard = 0;
    OutputState(Owner::External, &heard);
    return heard;
}
int ExternalState() {
    std::lock_guard lock(g_api);
    return int(OutputState(Owner::External, nullptr));
}

} // namespace kv::engine

using namespace kv::engine;

extern "C" {

int vbmp3_init(void) {
    std::lock_guard lock(g_api);
    if (!g_initialised) g_initialised = OutputInit();
    return g_initialised ? 1 : 0;
}

void vbmp3_free(void) {
    std::lock_guard lock(g_api);
    if (!g_initialised) return;
    ConversionStop();
    CloseTrackLocked();
    OutputShutdown();
    g_eqPending = {};
    g_seenSwitches = 0;
    g_initialised = false;
}

int vbmp3_open(const char* fileName, VBMP3_TRACK_INFO* info) {
    std::lock_guard lock(g_api);
    CloseTrackLocked();
    if (!OpenTrack(fileName, &g_track, info)) {
        g_track = Track{};
        return 0;
    }
    // The equalizer curve last set applies to every file opened afterwards.
    OutputSetEqualizer(g_eqPending);
    return 1;
}

int vbmp3_queueNext(const char* fileName, double startSeconds, double endSeconds, int volume,
                    VBMP3_TRACK_INFO* info) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    OutputDropQueue();
    g_queued = Track{};
    Track next;
    if (!g_initialised || !g_track.source || !OpenTrack(fileName, &next, info)) return 0;
    if (endSeconds > startSeconds) next.source->EndAt(endSeconds);
    startSeconds = std::max(0.0, startSeconds);
    if (startSeconds > 0 && !next.source->Seek(startSeconds)) return 0;
    const int v = volume < 0 ? -1 : std::min(volume, 100);
    if (!OutputQueue(Owner::Track, next.source, startSeconds, v, v)) return 0;
    g_queued = std::move(next);
    return 1;
}

int vbmp3_dropQueue(void) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    OutputDropQueue();
    g_queued = Track{};
    return 1;
}

int vbmp3_setEnd(double seconds) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    if (!g_track.source) return 0;
    OutputLocked([&] { g_track.source->EndAt(seconds); });
    return 1;
}

int vbmp3_getSwitches(void) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    return int(g_seenSwitches & 0x7fffffff);
}

int vbmp3_close(void) {
    std::lock_guard lock(g_api);
    CloseTrackLocked();
    return 1;
}

int vbmp3_play(void) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    if (!g_initialised || !g_track.source) return 0;
    return OutputStart(Owner::Track, g_track.source, 0) ? 1 : 0;
}

int vbmp3_stop(void) {
    std::lock_guard lock(g_api);
    OutputStop(Owner::Track, false);
    return 1;
}

int vbmp3_pause(void) {
    std::lock_guard lock(g_api);
    OutputPause(Owner::Track);
    return 1;
}

int vbmp3_restart(void) {
    std::lock_guard lock(g_api);
    OutputResume(Owner::Track);
    return 1;
}

int vbmp3_seek(int sec) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    if (!g_track.source) return 0;
    const bool ok = OutputSeek(Owner::Track, std::max(0, sec));
    FollowSwitchLocked(); // a seek in the moment before a queued track is heard lands in it
    return ok ? 1 : 0;
}

int vbmp3_getState(int* sec) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    double heard = 0;
    const PlayState s = g_track.source ? OutputState(Owner::Track, &heard) : PlayState::Stopped;
    if (sec) *sec = int(std::floor(heard + 1e-9));
    return int(s);
}

int vbmp3_isDrained(void) {
    std::lock_guard lock(g_api);
    FollowSwitchLocked();
    return g_track.source && OutputDrained(Owner::Track) ? 1 : 0;
}

int vbmp3_getVolume(int* left, int* right) {
    OutputGetVolume(left, right);
    return 1;
}

int vbmp3_setVolume(int left, int right) {
    OutputSetVolume(left, right);
    return 1;
}

int vbmp3_getWave(int32_t* waveL, int32_t* waveR) {
    if (!waveL || !waveR) return 0;
    OutputWave(waveL, waveR);
    return 1;
}

int vbmp3_setEqualizer(const int16_t* gains) {
    if (!gains) return 0;
    std::lock_guard lock(g_api);
    for (int i = 0; i < VBMP3_EQ_BANDS; ++i)
        g_eqPending[i] = int16_t(std::clamp<int>(gains[i], -120, 120));
    return 1;
}

int vbmp3_reload(void) {
    std::lock_guard lock(g_api);
    OutputSetEqualizer(g_eqPending);
    return 1;
}

int vbmp3_encodeOpen(const char* wavName, const VBMP3_ENCODE_OPTIONS* options) {
    return EncodeOpen(wavName, options) ? 1 : 0;
}

int vbmp3_encodeStart(const char* mp3Name) {
    return EncodeStart(mp3Name) ? 1 : 0;
}

int vbmp3_encodeStop(void) {
    ConversionStop();
    return 1;
}

int vbmp3_decodeWave(const char* wavName) {
    std::string path;
    int format = 0;
    int64_t seconds = 0;
    {
        std::lock_guard lock(g_api);
        FollowSwitchLocked();
        if (g_track.path.empty()) return 0;
        path = g_track.path;
        format = g_track.format;
        seconds = g_track.seconds;
    }
    return DecodeStart(path, format, seconds, wavName) ? 1 : 0;
}

int vbmp3_decodeFile(const char* sourceName, const char* wavName) {
    return DecodeFileStart(sourceName, wavName) ? 1 : 0;
}

int vbmp3_getEncodeState(int* sec) {
    int64_t done = 0;
    const ConversionState state = ConversionStatus(&done);
    if (sec) *sec = int(std::min<int64_t>(done, INT32_MAX));
    return int(state);
}

} // extern "C"
