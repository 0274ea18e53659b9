// Recording stand-ins for the main window and the player device's back ends. Every call that
// changes something is written to one shared log, so a test can check order across back ends.
#pragma once
#include "engine/pcm_source.h"
#include "playback/decoder_backend.h"
#include "playback/media_backend.h"
#include "playback/midi_backend.h"
#include "playback/player_host.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace kvtest {

using Log = std::vector<std::string>;

// Entries of `log` that start with one of `prefixes`.
inline Log Only(const Log& log, std::initializer_list<const char*> prefixes) {
    Log out;
    for (const auto& entry : log)
        for (const char* prefix : prefixes)
            if (entry.rfind(prefix, 0) == 0) {
                out.push_back(entry);
                break;
            }
    return out;
}

class FakeHost : public kv::playback::PlayerHost {
  public:
    explicit FakeHost(Log& log) : log_(log) {}
    void EnableToolbarButton(int index, bool on) override {
        Add("host.button" + std::to_string(index) + (on ? "=on" : "=off"));
    }
    void SetPositionBar(double s) override { Add("host.bar=" + std::to_string(int(s))); }
    void StartVisualizer() override { Add("host.vis.start"); }
    void StopVisualizer() override { Add("host.vis.stop"); }
    void SetTimer1Enabled(bool on) override { Add(on ? "host.timer1=on" : "host.timer1=off"); }
    void SetTimer3Enabled(bool on) override { Add(on ? "host.timer3=on" : "host.timer3=off"); }
    void SetBusyCursor(bool busy) override { Add(busy ? "host.busy=on" : "host.busy=off"); }
    void LoadMediaWindow() override { Add("host.loadW"); }
    void OnTrackLoaded() override {
        Add("host.loaded");
        if (onTrackLoaded) onTrackLoaded();
    }
    void OnTrackFailed() override { Add("host.failed"); }
    void ShowMediaWindow(bool show) override { Add(show ? "host.W=show" : "host.W=hide"); }
    void ShowRealWindow(bool show) override { Add(show ? "host.Y=show" : "host.Y=hide"); }
    std::function<void()> onTrackLoaded;

  private:
    void Add(std::string s) { log_.push_back(std::move(s)); }
    Log& log_;
};

class FakeDecoder : public kv::playback::DecoderBackend {
  public:
    explicit FakeDecoder(Log& log) : log_(log) {}
    bool Open(const char* name, VBMP3_TRACK_INFO* info) override {
        log_.push_back(std::string("dec.open ") + name);
        info->totalSec = totalSec;
        state = 0;
        position = 0;
        return openSucceeds;
    }
    void Close() override { log_.push_back("dec.close"); }
    bool Play() override {
        log_.push_back("dec.play");
        if (!playSucceeds) return false;
        state = 1;
        position = 0;
        return true;
    }
    void Stop() override { log_.push_back("dec.stop"), state = 0; }
    void Pause() override { log_.push_back("dec.pause"), state = 2; }
    void Restart() override { log_.push_back("dec.restart"), state = 1; }
    void Seek(int s) override { log_.push_back("dec.seek " + std::to_string(s)), position = s; }
    int GetState(int* s) override {
        *s = position;
        return state;
    }
    bool QueueNext(const char* name, double, double, int, VBMP3_TRACK_INFO*) override {
        log_.push_back(std::string("dec.queue ") + name);
        return true;
    }
    void SetEnd(double seconds) override { log_.push_back("dec.end " + std::to_string(int(seconds))); }
    void GetVolume(int* l, int* r) override { *l = left, *r = right; }
    void SetVolume(int l, int r) override {
        log_.push_back("dec.volume " + std::to_string(l) + " " + std::to_string(r));
        left = l, right = r;
    }

    int state = 0, position = 0, totalSec = 200, left = 100, right = 100;
    bool playSucceeds = true;
    bool openSucceeds = true;

  private:
    Log& log_;
};

// A media control with the codes of either original control.
class FakeMedia : public kv::playback::MediaBackend {
  public:
    struct Codes {
        int stopped, paused, playing, closed;
    };
    static constexpr Codes kMediaPlayer{0, 1, 2, 6};
    static constexpr Codes kRealPlayer{0, 4, 3, 0};

    FakeMedia(Log& log, std::string name, Codes codes) : log_(log), name_(std::move(name)), codes_(codes) {
        state = codes.closed;
    }
    void Open(const QString& file) override {
        Add("open " + file.toStdString());
        state = file.isEmpty() ? codes_.closed : codes_.stopped;
        position = 0;
    }
    void Play() override {
        Add("play");
        if (playReaches) state = codes_.playing;
    }
    void Pause() override { Add("pause"), state = codes_.paused; }
    void Stop() override {
        Add("stop");
        if (stopReaches) state = codes_.stopped;
    }
    double Length() override { return length; }
    double Position() override { return position; }
    void SetPosition(double v) override {
        Add("position " + QString::number(v).toStdString());
        position = v;
    }
    int Volume() override { return volume; }
    void SetVolume(int v) override { Add("volume " + std::to_string(v)), volume = v; }
    int PlayState() override { return state; }
    void Ready(int readyState) { NotifyReady(readyState); }

    int state;
    double length = 0, position = 0;
    int volume = 100;
    bool playReaches = true, stopReaches = true;

  private:
    void Add(const std::string& s) { log_.push_back(name_ + "." + s); }
    Log& log_;
    std::string name_;
    Codes codes_;
};

// Stands in for the engine's output: the test pulls the samples itself.
class PullingOutput : public kv::playback::PcmOutput {
  public:
    bool Play(std::shared_ptr<kv::engine::PcmSource> s) override {
        source = std::move(s);
        source->Seek(0); // as the engine does
        state = 1;
        heardFrames = 0;
        ++plays;
        return true;
    }
    void Pause() override { state = 2; }
    void Resume() override { state = 1; }
    void Stop() override {
        source.reset();
        state = 0;
    }
    bool Seek(double seconds) override {
        heardFrames = int64_t(seconds * source->SampleRate());
        return source->Seek(seconds);
    }
    double Position() override { return source ? double(heardFrames) / source->SampleRate() : 0; }
    int State() override { return state; }

    // Pulls up to `frames` frames; returns how many came. A source that gives none has ended.
    int64_t Pull(int64_t frames, float* peak = nullptr) {
        std::vector<float> buffer(2 * 1024);
        int64_t got = 0;
        while (source && state == 1 && got < frames) {
            const int n = source->Read(buffer.data(), int(std::min<int64_t>(1024, frames - got)));
            if (n == 0) {
                state = 0;
                break;
            }
            for (int i = 0; peak && i < 2 * n; ++i)
                *peak = std::max(*peak, std::abs(buffer[size_t(i)]));
            got += n;
            heardFrames += n;
        }
        return got;
    }

    std::shared_ptr<kv::engine::PcmSource> source;
    int state = 0;
    int64_t heardFrames = 0;
    int plays = 0;
};

} // namespace kvtest
