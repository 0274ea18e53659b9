// Threads: the SDL audio callback thread runs Fill(); the API threads (the UI thread, and the
// engine's conversion thread never) call everything else. Every member the callback reads
// or writes is guarded by SDL's device lock (SDL_LockAudioDevice), which SDL also holds
// while it runs the callback; `apiLock_` only serialises API callers among themselves.
//
// Position heard: frames handed to SDL minus one device buffer (what SDL still holds),
// converted at the device rate, plus where playback started or was sought to. Between
// callbacks the newest buffer is taken as heard at the clock's pace (never past its end), so
// the position and the wave snapshot move smoothly although a callback comes only every
// ~93 ms; a pause freezes that part and a resume continues it.
//
// Idle: SDL's audio thread wakes for every buffer even while the device is paused, so a
// stopped output closes its device (after a short grace, which keeps the step from one track
// to the next on an open device) and the next start opens it again. Nothing is opened before
// the first start. The closing is done by a thread of ours that sleeps until there is
// something to close; it never holds the device lock's callers waiting on anything but SDL.
#include "engine/output.h"

#include "engine/dsp.h"
#include "engine/late_library.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace kv::engine {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDeviceRate = 44100;
// 4096 frames is 93 ms at 44.1 kHz: pause and seek are still heard within about a tenth of a
// second, and the audio thread wakes 11 times a second instead of 43. Each wake-up (a sleep
// and a return, and caches refilled for the decoder) cost more than the audio work itself.
// Higher rates get as many milliseconds, not as many frames.
constexpr int kDeviceFrames = 4096;
int DeviceFrames(int rate) {
    int frames = kDeviceFrames;
    while (frames < 32768 && frames * 1000 < rate * 85)
        frames *= 2;
    return frames;
}
constexpr int kWavePoints = 256;
// Long enough for the next track of a list to start on the open device.
constexpr auto kIdleClose = std::chrono::milliseconds(1500);

// SDL is loaded on the first start rather than with the program: with the sound servers and
// display libraries it brings (about forty) it cost a third of the program's start-up.
#define KV_SDL_FUNCTIONS(X)                                                                                  \
    X(SDL_AudioInit)                                                                                         \
    X(SDL_AudioQuit)                                                                                         \
    X(SDL_AudioStreamAvailable)                                                                              \
    X(SDL_AudioStreamClear)                                                                                  \
    X(SDL_AudioStreamFlush)                                                                                  \
    X(SDL_AudioStreamGet)                                                                                    \
    X(SDL_AudioStreamPut)                                                                                    \
    X(SDL_CloseAudioDevice)                                                                                  \
    X(SDL_FreeAudioStream)                                                                                   \
    X(SDL_GetCurrentAudioDriver)                                                                             \
    X(SDL_GetError)                                                                                          \
    X(SDL_InitSubSystem)                                                                                     \
    X(SDL_LockAudioDevice)                                                                                   \
    X(SDL_NewAudioStream)                                                                                    \
    X(SDL_OpenAudioDevice)                                                                                   \
    X(SDL_PauseAudioDevice)                                                                                  \
    X(SDL_QuitSubSystem)                                                                                     \
    X(SDL_UnlockAudioDevice)                                                                                 \
    X(SDL_WasInit)

struct SdlLibrary {
    KV_SDL_FUNCTIONS(KV_LATE_POINTER)
};

SdlLibrary g_sdl;

bool LoadSdl() {
    static const bool loaded = KV_LATE_BIND(g_sdl, "libSDL2-2.0.so.0", KV_SDL_FUNCTIONS);
    return loaded;
}

// Only after LoadSdl() has succeeded.
const SdlLibrary& Sdl() {
    return g_sdl;
}

class Output {
  public:
    ~Output() { StopCloser(); }
    bool Init();
    void Shutdown();
    int Rate() const { return rate_; }
    bool DeviceOpen();
    bool Start(Owner who, std::shared_ptr<Source> source, double from);
    void Pause(Owner who);
    void Resume(Owner who);
    void Stop(Owner who, bool release);
    bool Seek(Owner who, double seconds);
    PlayState State(Owner who, double* heard);
    bool Drained(Owner who);
    bool Queue(Owner who, std::shared_ptr<Source> next, double from, int l, int r);
    void DropQueue();
    uint64_t Switches();
    void Locked(const std::function<void()>& f) {
        std::lock_guard api(apiLock_);
        LockDevice();
        f();
        UnlockDevice();
    }
    void SetVolume(int l, int r);
    void GetVolume(int* l, int* r);
    void SetEqualizer(const std::array<int16_t, 10>& gains);
    void Wave(int32_t* l, int32_t* r);

  private:
    static void Callback(void* self, Uint8* stream, int len);
    void Fill(float* out, int frames);
    int Produce(float* out, int frames);
    long ReadStereo(float* out, long frames);
    bool TakeQueued(int offset, uint64_t buffered);
    void SettleSwitchLocked(bool now);
    void DropQueueLocked();
    void ApplyVolume(float* out, int frames);
    void ResetPipeline(double from);
    double HeardLocked() const;
    uint64_t AdvanceLocked() const;
    void SetDevicePaused(bool paused);
    bool EnsureSdl();
    bool OpenDevice(int rate);
    void CloseDevice();
    void LockDevice() {
        if (dev_) Sdl().SDL_LockAudioDevice(dev_);
    }
    void UnlockDevice() {
        if (dev_) Sdl().SDL_UnlockAudioDevice(dev_);
    }
    void NoteIdle();
    void CloserLoop();
    void StopCloser();

    std::mutex apiLock_;
    SDL_AudioDeviceID dev_ = 0; // 0 while closed, also between init and the first start
    bool up_ = false;           // initialised
    bool sdlUp_ = false;
    int rate_ = kDeviceRate;
    int asked_ = 0;   // the rate the open device was asked for
    int latency_ = 0; // frames per device buffer
    bool devicePaused_ = true;

    // Guarded by the device lock.
    Owner owner_ = Owner::Track;
    std::shared_ptr<Source> source_;
    SDL_AudioStream* resampler_ = nullptr;
    bool resamplerFlushed_ = false;
    PlayState state_ = PlayState::Stopped;
    bool sourceDone_ = false;
    uint64_t played_ = 0;            // device frames since start or seek
    uint64_t endFrame_ = 0;          // device frame where the source ran out
    double base_ = 0;                // seconds at played_ == 0
    double heldPosition_ = 0;        // position kept after a run-out
    Clock::time_point clockStart_{}; // since when the newest buffer is being heard
    double advanceBase_ = 0;         // frames of it heard before a pause
    Equalizer eq_{kDeviceRate};
    int volL_ = 100, volR_ = 100;
    float gainL_ = 1, gainR_ = 1; // what the last buffer ended at
    // The queued source and, once it has taken over in a buffer not yet heard, where it did.
    std::shared_ptr<Source> next_;
    double nextFrom_ = 0;
    int nextVolL_ = -1, nextVolR_ = -1;
    bool switchPending_ = false;
    uint64_t switchAt_ = 0; // device frame (as played_ counts) of its first frame
    double switchFrom_ = 0; // the position there
    int switchOffset_ = -1; // its frame in the buffer being filled, -1 when not in it
    int switchVolL_ = -1, switchVolR_ = -1;
    uint64_t switches_ = 0;
    std::vector<float> scratch_, stereo_;
    std::vector<float> ring_; // what was sent, before volume; a power-of-two frame count
    uint64_t ringCount_ = 0;  // frames ever written into the ring

    // The closer: `idleMu_` guards only these; it is taken alone, never around SDL calls.
    std::mutex idleMu_;
    std::condition_variable idleWake_;
    bool idleCheck_ = false;
    bool closerQuit_ = false;
    std::thread closer_;
    Clock::time_point idleSince_{};
};

Output g_output;

bool Output::Init() {
    std::lock_guard api(apiLock_);
    if (up_) return true;
    rate_ = kDeviceRate;
    latency_ = kDeviceFrames;
    eq_.SetSampleRate(rate_);
    ringCount_ = 0;
    ring_.clear();
    switches_ = 0;
    {
        std::lock_guard idle(idleMu_);
        closerQuit_ = false;
        idleCheck_ = false;
    }
    closer_ = std::thread([this] { CloserLoop(); });
    up_ = true;
    return true;
}

bool Output::EnsureSdl() {
    if (sdlUp_) return true;
    if (!LoadSdl()) return false;
    if (Sdl().SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "kavetto: audio driver unavailable (%s); playing through SDL's dummy driver\n",
                     Sdl().SDL_GetError());
        if (Sdl().SDL_AudioInit("dummy") != 0) return false;
    }
    sdlUp_ = true;
    return true;
}

// The device plays at the source's own rate: a hi-res file is heard as it is, and only SDL
// converts, where the sound card itself cannot take the rate. Another rate than the open
// device's reopens it (a step from one track to the next at the same rate keeps it open).
bool Output::OpenDevice(int rate) {
    if (rate < 8000 || rate > 384000) rate = kDeviceRate;
    if (dev_ && asked_ == rate) return true;
    CloseDevice();
    if (!EnsureSdl()) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = uint16_t(std::min(DeviceFrames(rate), 32768));
    want.callback = &Output::Callback;
    want.userdata = this;
    dev_ = Sdl().SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!dev_ && std::strcmp(Sdl().SDL_GetCurrentAudioDriver() ? Sdl().SDL_GetCurrentAudioDriver() : "",
                             "dummy") != 0) {
        // No sound card is a normal situation here: keep time with the dummy driver instead.
        std::fprintf(stderr,
                     "kavetto: cannot open an audio device (%s); playing through SDL's dummy driver\n",
                     Sdl().SDL_GetError());
        Sdl().SDL_AudioQuit();
        if (Sdl().SDL_AudioInit("dummy") == 0) dev_ = Sdl().SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (!dev_) return false;
    asked_ = rate;
    if (have.freq != rate_) {
        rate_ = have.freq;
        eq_.SetSampleRate(rate_);
    }
    latency_ = have.samples;
    // The snapshot reads up to a device buffer and 256 frames back from the newest frame.
    size_t ringFrames = 16384;
    while (ringFrames < size_t(latency_) * 2 + kWavePoints)
        ringFrames *= 2;
    if (ring_.size() != ringFrames * 2) {
        ring_.assign(ringFrames * 2, 0.0f);
        ringCount_ = 0;
    }
    devicePaused_ = true;
    return true;
}

void Output::CloseDevice() {
    if (dev_) {
        Sdl().SDL_CloseAudioDevice(dev_);
        dev_ = 0;
        devicePaused_ = true;
    }
}

void Output::NoteIdle() {
    std::lock_guard idle(idleMu_);
    idleSince_ = Clock::now();
    idleCheck_ = true;
    idleWake_.notify_one();
}

void Output::CloserLoop() {
    std::unique_lock idle(idleMu_);
    while (!closerQuit_) {
        if (!idleCheck_) {
            idleWake_.wait(idle);
            continue;
        }
        const auto due = idleSince_ + kIdleClose;
        if (idleWake_.wait_until(idle, due, [&] { return closerQuit_ || idleSince_ + kIdleClose != due; }))
            continue; // quitting, or stopped again later: wait for the new time
        idleCheck_ = false;
        idle.unlock();
        {
            std::lock_guard api(apiLock_);
            // Only a stopped output lets its device go; a paused one keeps it for the resume.
            LockDevice();
            const bool stopped = state_ == PlayState::Stopped;
            UnlockDevice();
            if (up_ && stopped) CloseDevice();
        }
        idle.lock();
    }
}

bool Output::DeviceOpen() {
    std::lock_guard api(apiLock_);
    return dev_ != 0;
}

void Output::StopCloser() {
    if (closer_.joinable()) {
        {
            std::lock_guard idle(idleMu_);
            closerQuit_ = true;
            idleWake_.notify_one();
        }
        closer_.join();
    }
}

void Output::Shutdown() {
    StopCloser();
    std::lock_guard api(apiLock_);
    up_ = false;
    CloseDevice();
    if (resampler_) {
        Sdl().SDL_FreeAudioStream(resampler_);
        resampler_ = nullptr;
    }
    source_.reset();
    state_ = PlayState::Stopped;
    // A later init starts afresh: full volume, flat equalizer.
    volL_ = volR_ = 100;
    gainL_ = gainR_ = 1;
    eq_.SetGains({});
    if (sdlUp_) {
        Sdl().SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (Sdl().SDL_WasInit(SDL_INIT_AUDIO) == 0 && Sdl().SDL_GetCurrentAudioDriver())
            Sdl().SDL_AudioQuit();
        sdlUp_ = false;
    }
}

void Output::SetDevicePaused(bool paused) {
    if (dev_ && paused != devicePaused_) {
        Sdl().SDL_PauseAudioDevice(dev_, paused ? 1 : 0);
        devicePaused_ = paused;
    }
}

void Output::DropQueueLocked() {
    next_.reset();
    switchPending_ = false;
    switchOffset_ = -1;
}

void Output::ResetPipeline(double from) {
    if (resampler_) Sdl().SDL_AudioStreamClear(resampler_);
    resamplerFlushed_ = false;
    sourceDone_ = false;
    played_ = 0;
    endFrame_ = 0;
    base_ = from;
    advanceBase_ = 0;
    clockStart_ = Clock::now();
}

bool Output::Start(Owner who, std::shared_ptr<Source> source, double from) {
    std::lock_guard api(apiLock_);
    if (!up_ || !source || source->Rate() <= 0 || source->Channels() <= 0) return false;
    if (!OpenDevice(source->Rate())) return false;
    Sdl().SDL_LockAudioDevice(dev_);
    owner_ = who;
    // A reopened device may have changed rate under the same source.
    if (source_ != source || (resampler_ == nullptr) != (source->Rate() == rate_)) {
        if (resampler_) {
            Sdl().SDL_FreeAudioStream(resampler_);
            resampler_ = nullptr;
        }
        if (source->Rate() != rate_)
            resampler_ = Sdl().SDL_NewAudioStream(AUDIO_F32SYS, 2, source->Rate(), AUDIO_F32SYS, 2, rate_);
        source_ = std::move(source);
    }
    DropQueueLocked();
    const bool ok = source_->Seek(std::max(0.0, from)) && (source_->Rate() == rate_ || resampler_);
    ResetPipeline(std::max(0.0, from));
    state_ = ok ? PlayState::Playing : PlayState::Stopped;
    Sdl().SDL_UnlockAudioDevice(dev_);
    SetDevicePaused(!ok);
    if (!ok) NoteIdle();
    return ok;
}

void Output::Pause(Owner who) {
    std::lock_guard api(apiLock_);
    if (!dev_) // nothing plays without an open device
        return;
    Sdl().SDL_LockAudioDevice(dev_);
    const bool mine = owner_ == who && state_ == PlayState::Playing;
    if (mine) {
        advanceBase_ = double(AdvanceLocked());
        state_ = PlayState::Paused;
    }
    Sdl().SDL_UnlockAudioDevice(dev_);
    if (mine) SetDevicePaused(true);
}

void Output::Resume(Owner who) {
    std::lock_guard api(apiLock_);
    if (!dev_) return;
    Sdl().SDL_LockAudioDevice(dev_);
    const bool mine = owner_ == who && state_ == PlayState::Paused;
    if (mine) {
        clockStart_ = Clock::now();
        state_ = PlayState::Playing;
    }
    Sdl().SDL_UnlockAudioDevice(dev_);
    if (mine) SetDevicePaused(false);
}

void Output::Stop(Owner who, bool release) {
    std::lock_guard api(apiLock_);
    if (!up_) return;
    LockDevice();
    const bool mine = owner_ == who;
    if (mine) {
        state_ = PlayState::Stopped;
        heldPosition_ = 0;
        DropQueueLocked();
        ResetPipeline(0);
        if (release) {
            source_.reset();
            if (resampler_) {
                Sdl().SDL_FreeAudioStream(resampler_);
                resampler_ = nullptr;
            }
        }
    }
    UnlockDevice();
    if (mine) {
        SetDevicePaused(true);
        NoteIdle();
    }
}

bool Output::Seek(Owner who, double seconds) {
    std::lock_guard api(apiLock_);
    // A seek plays from there, so it needs the device a stop may have closed.
    if (!up_ || owner_ != who || !source_ || !OpenDevice(source_->Rate())) return false;
    Sdl().SDL_LockAudioDevice(dev_);
    seconds = std::max(0.0, seconds);
    // A queued source that has taken over but is not heard yet is the one sought in.
    SettleSwitchLocked(true);
    switchOffset_ = -1;
    const bool ok = source_->Seek(seconds);
    ResetPipeline(seconds);
    // A seek past the end simply runs out.
    state_ = PlayState::Playing;
    Sdl().SDL_UnlockAudioDevice(dev_);
    SetDevicePaused(false);
    return ok;
}

uint64_t Output::AdvanceLocked() const {
    double frames = advanceBase_;
    if (state_ == PlayState::Playing)
        frames += std::chrono::duration<double>(Clock::now() - clockStart_).count() * rate_;
    return uint64_t(std::clamp(frames, 0.0, double(latency_)));
}

double Output::HeardLocked() const {
    // Nothing is heard before the first buffer after a start or seek has gone out.
    const uint64_t sent = played_ > 0 ? played_ + AdvanceLocked() : 0;
    uint64_t heard = sent > uint64_t(latency_) ? sent - latency_ : 0;
    if (switchPending_) heard = std::min(heard, switchAt_);
    if (sourceDone_ && !switchPending_) heard = std::min(heard, endFrame_);
    return base_ + double(heard) / rate_;
}

PlayState Output::State(Owner who, double* heard) {
    std::lock_guard api(apiLock_);
    if (heard) *heard = 0;
    if (!up_) return PlayState::Stopped;
    LockDevice();
    SettleSwitchLocked(false);
    PlayState s = owner_ == who ? state_ : PlayState::Stopped;
    if (heard && owner_ == who) *heard = s == PlayState::Stopped ? heldPosition_ : HeardLocked();
    const bool idle = state_ != PlayState::Playing;
    UnlockDevice();
    if (idle) SetDevicePaused(true);
    return s;
}

bool Output::Drained(Owner who) {
    std::lock_guard api(apiLock_);
    if (!dev_) return false;
    LockDevice();
    const bool drained = owner_ == who && state_ == PlayState::Playing && sourceDone_;
    UnlockDevice();
    return drained;
}

bool Output::Queue(Owner who, std::shared_ptr<Source> next, double from, int l, int r) {
    std::lock_guard api(apiLock_);
    if (!dev_ || !next) return false;
    LockDevice();
    const bool mine = owner_ == who && source_ && state_ != PlayState::Stopped;
    if (mine) {
        next_ = std::move(next);
        nextFrom_ = from;
        nextVolL_ = l < 0 ? -1 : std::min(l, 100);
        nextVolR_ = r < 0 ? -1 : std::min(r, 100);
    }
    UnlockDevice();
    return mine;
}

void Output::DropQueue() {
    std::lock_guard api(apiLock_);
    LockDevice();
    next_.reset();
    UnlockDevice();
}

uint64_t Output::Switches() {
    std::lock_guard api(apiLock_);
    LockDevice();
    SettleSwitchLocked(false);
    const uint64_t n = switches_;
    UnlockDevice();
    return n;
}

// Once the new source's first frame is heard (or at once, for a seek), positions count from it.
void Output::SettleSwitchLocked(bool now) {
    if (!switchPending_) return;
    const uint64_t sent = played_ + AdvanceLocked();
    if (!now && sent < switchAt_ + uint64_t(latency_)) return;
    played_ = played_ > switchAt_ ? played_ - switchAt_ : 0;
    if (sourceDone_) endFrame_ = endFrame_ > switchAt_ ? endFrame_ - switchAt_ : 0;
    base_ = switchFrom_;
    switchPending_ = false;
    ++switches_;
}

// At the current source's last frame: the queued one continues in the same buffer. `offset` is
// the frame in the buffer being filled, `buffered` what lies between it and that frame.
bool Output::TakeQueued(int offset, uint64_t buffered) {
    if (!next_ || switchPending_ || next_->Rate() != source_->Rate()) return false;
    source_ = std::move(next_);
    switchPending_ = true;
    switchAt_ = played_ + uint64_t(offset) + buffered;
    switchFrom_ = nextFrom_;
    switchOffset_ = offset;
    switchVolL_ = nextVolL_;
    switchVolR_ = nextVolR_;
    return true;
}

void Output::SetVolume(int l, int r) {
    std::lock_guard api(apiLock_);
    LockDevice();
    volL_ = std::clamp(l, 0, 100);
    volR_ = std::clamp(r, 0, 100);
    UnlockDevice();
}

void Output::GetVolume(int* l, int* r) {
    std::lock_guard api(apiLock_);
    LockDevice(); // a queued track's volume is set on the audio thread
    if (l) *l = volL_;
    if (r) *r = volR_;
    UnlockDevice();
}

void Output::SetEqualizer(const std::array<int16_t, 10>& gains) {
    std::lock_guard api(apiLock_);
    LockDevice();
    eq_.SetGains(gains);
    UnlockDevice();
}

void Output::Wave(int32_t* l, int32_t* r) {
    std::lock_guard api(apiLock_);
    std::fill(l, l + 256, 0);
    std::fill(r, r + 256, 0);
    if (!dev_) return;
    Sdl().SDL_LockAudioDevice(dev_);
    if (state_ == PlayState::Playing && ringCount_ >= 256) {
        // The ring is written a device buffer ahead of what is heard.
        const uint64_t sent = ringCount_ + AdvanceLocked();
        const uint64_t end = sent > uint64_t(latency_) + 256 ? sent - latency_ : 256;
        const size_t ringFrames = ring_.size() / 2;
        for (int i = 0; i < 256; ++i) {
            const size_t at = size_t((end - 256 + i) & (ringFrames - 1));
            l[i] = std::clamp(int32_t(std::lround(ring_[at * 2] * 100)), -100, 100);
            r[i] = std::clamp(int32_t(std::lround(ring_[at * 2 + 1] * 100)), -100, 100);
        }
    }
    Sdl().SDL_UnlockAudioDevice(dev_);
}

void Output::Callback(void* self, Uint8* stream, int len) {
    static_cast<Output*>(self)->Fill(reinterpret_cast<float*>(stream), len / int(2 * sizeof(float)));
}

long Output::ReadStereo(float* out, long frames) {
    const int ch = source_->Channels();
    if (ch == 2) return source_->Read(out, frames);
    scratch_.resize(size_t(frames) * ch);
    const long n = source_->Read(scratch_.data(), frames);
    for (long i = 0; i < n; ++i) {
        out[i * 2] = scratch_[size_t(i) * ch];
        out[i * 2 + 1] = scratch_[size_t(i) * ch + (ch > 1 ? 1 : 0)];
    }
    return n;
}

// Volume glides across the buffer from where the last one ended, so changes never click. A
// queued track's own volume starts at its first frame, reached within a few milliseconds.
void Output::ApplyVolume(float* out, int frames) {
    auto glide = [out](int from, int to, float& gl, float& gr, float tl, float tr) {
        if ((tl != 1 || tr != 1 || gl != 1 || gr != 1) && to > from) {
            const float stepL = (tl - gl) / float(to - from), stepR = (tr - gr) / float(to - from);
            for (int i = from; i < to; ++i) {
                out[i * 2] *= gl + stepL * float(i - from + 1);
                out[i * 2 + 1] *= gr + stepR * float(i - from + 1);
            }
        }
        gl = tl;
        gr = tr;
    };
    int at = 0;
    if (switchOffset_ >= 0 && (switchVolL_ >= 0 || switchVolR_ >= 0)) {
        glide(0, switchOffset_, gainL_, gainR_, VolumeToGain(volL_), VolumeToGain(volR_));
        if (switchVolL_ >= 0) volL_ = switchVolL_;
        if (switchVolR_ >= 0) volR_ = switchVolR_;
        constexpr int kRampFrames = 128; // 3 ms at 44.1 kHz
        at = std::min(frames, switchOffset_ + kRampFrames);
        glide(switchOffset_, at, gainL_, gainR_, VolumeToGain(volL_), VolumeToGain(volR_));
    }
    glide(at, frames, gainL_, gainR_, VolumeToGain(volL_), VolumeToGain(volR_));
}

int Output::Produce(float* out, int frames) {
    int have = 0;
    if (!resampler_) {
        while (have < frames) {
            const long n = ReadStereo(out + have * 2, frames - have);
            if (n > 0)
                have += int(n);
            else if (!TakeQueued(have, 0))
                break;
        }
        return have;
    }
    constexpr int kChunk = 1024;
    stereo_.resize(kChunk * 2);
    while (have < frames) {
        const int avail = Sdl().SDL_AudioStreamAvailable(resampler_) / int(2 * sizeof(float));
        if (avail > 0) {
            const int want = std::min(avail, frames - have);
            const int got =
                Sdl().SDL_AudioStreamGet(resampler_, out + have * 2, want * int(2 * sizeof(float)));
            if (got <= 0) break;
            have += got / int(2 * sizeof(float));
            continue;
        }
        if (resamplerFlushed_) break;
        const long n = ReadStereo(stereo_.data(), kChunk);
        if (n > 0) {
            Sdl().SDL_AudioStreamPut(resampler_, stereo_.data(), int(n * 2 * sizeof(float)));
        } else if (TakeQueued(have, 0)) {
            // The converter's own delay of a few frames is left out of where the switch is heard.
        } else {
            Sdl().SDL_AudioStreamFlush(resampler_);
            resamplerFlushed_ = true;
        }
    }
    return have;
}

void Output::Fill(float* out, int frames) {
    if (state_ != PlayState::Playing || !source_) {
        std::memset(out, 0, size_t(frames) * 2 * sizeof(float));
        return;
    }
    switchOffset_ = -1;
    int produced = sourceDone_ ? 0 : Produce(out, frames);
    std::memset(out + produced * 2, 0, size_t(frames - produced) * 2 * sizeof(float));
    if (!sourceDone_ && produced < frames) {
        sourceDone_ = true;
        endFrame_ = played_ + uint64_t(produced);
    }
    eq_.Process(out, frames);
    const size_t ringFrames = ring_.size() / 2;
    for (int done = 0; done < frames;) {
        const size_t at = size_t((ringCount_ + uint64_t(done)) & (ringFrames - 1));
        const int n = int(std::min(size_t(frames - done), ringFrames - at));
        std::memcpy(&ring_[at * 2], out + done * 2, size_t(n) * 2 * sizeof(float));
        done += n;
    }
    ringCount_ += uint64_t(frames);
    ApplyVolume(out, frames);
    played_ += uint64_t(frames);
    advanceBase_ = 0;
    clockStart_ = Clock::now();
    SettleSwitchLocked(false);
    if (sourceDone_ && played_ >= endFrame_ + uint64_t(latency_)) {
        heldPosition_ = HeardLocked();
        state_ = PlayState::Stopped;
        NoteIdle();
    }
}

} // namespace

bool OutputInit() {
    return g_output.Init();
}
void OutputShutdown() {
    g_output.Shutdown();
}
int OutputRate() {
    return g_output.Rate();
}
bool OutputDeviceOpen() {
    return g_output.DeviceOpen();
}
bool OutputStart(Owner who, std::shared_ptr<Source> source, double from) {
    return g_output.Start(who, std::move(source), from);
}
void OutputPause(Owner who) {
    g_output.Pause(who);
}
void OutputResume(Owner who) {
    g_output.Resume(who);
}
void OutputStop(Owner who, bool release) {
    g_output.Stop(who, release);
}
bool OutputSeek(Owner who, double seconds) {
    return g_output.Seek(who, seconds);
}
PlayState OutputState(Owner who, double* heard) {
    return g_output.State(who, heard);
}
bool OutputDrained(Owner who) {
    return g_output.Drained(who);
}
bool OutputQueue(Owner who, std::shared_ptr<Source> next, double from, int volL, int volR) {
    return g_output.Queue(who, std::move(next), from, volL, volR);
}
void OutputDropQueue() {
    g_output.DropQueue();
}
void OutputLocked(const std::function<void()>& f) {
    g_output.Locked(f);
}
uint64_t OutputSwitches() {
    return g_output.Switches();
}
void OutputSetVolume(int left, int right) {
    g_output.SetVolume(left, right);
}
void OutputGetVolume(int* left, int* right) {
    g_output.GetVolume(left, right);
}
void OutputSetEqualizer(const std::array<int16_t, 10>& gains) {
    g_output.SetEqualizer(gains);
}
void OutputWave(int32_t* left, int32_t* right) {
    g_output.Wave(left, right);
}

} // namespace kv::engine
