// MIDI files ("mid", "midi", "rmi") rendered by FluidSynth and played through the engine's
// own output, so they get the engine's device, volume and wave snapshot.
//
// Threads: MidiSource::Read() runs on the engine's audio thread, Seek() on the UI thread with
// the engine's output locked; the source's `mutex_` guards the synthesiser, the player and the
// frame count between them. MidiCore and the PcmOutput calls run on the UI thread only.
#pragma once
#include "engine/pcm_source.h"
#include "playback/media_backend.h"
#include "playback/midi_file.h"

#include <QByteArray>
#include <QObject>
#include <memory>
#include <mutex>

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_player_t;

namespace kv::playback {

// The engine's entry for an external PCM source, behind an interface so that tests can pull
// the samples themselves.
class PcmOutput {
public:
    virtual ~PcmOutput() = default;
    virtual bool Play(std::shared_ptr<engine::PcmSource> source) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0;
    virtual bool Seek(double seconds) = 0;
    virtual double Position() = 0;
    virtual int State() = 0; // 0 stopped (also run out), 1 playing, 2 paused
};

class EnginePcmOutput final : public PcmOutput {
public:
    bool Play(std::shared_ptr<engine::PcmSource> source) override;
    void Pause() override;
    void Resume() override;
    void Stop() override;
    bool Seek(double seconds) override;
    double Position() override;
    int State() override;
};

inline constexpr const char* kSoundFontPath = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// One MIDI file rendered on demand. Its length is the file's own (ticks and tempo changes);
// rendering ends there even though the synthesiser would ring on.
class MidiSource final : public engine::PcmSource {
public:
    static constexpr int kRate = 44100;
    // Returns null when the soundfont or the file cannot be loaded.
    static std::shared_ptr<MidiSource> Create(QByteArray smf, const MidiTiming& timing,
                                              const char* soundFont = kSoundFontPath);
    ~MidiSource() override;

    int SampleRate() const override { return kRate; }
    int Read(float* stereo, int frames) override;
    bool Seek(double seconds) override;
    double Duration() const override { return timing_.seconds; }

private:
    MidiSource(QByteArray smf, const MidiTiming& timing);
    bool StartPlayer(int64_t tick); // with mutex_ held or before sharing

    QByteArray smf_;
    MidiTiming timing_;
    int64_t totalFrames_ = 0;

    std::mutex mutex_;
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    _fluid_player_t* player_ = nullptr;
    int64_t renderedFrames_ = 0;
};

// The Media Player control's core for MIDI files.
class MidiCore final : public QObject, public MediaCore {
public:
    explicit MidiCore(PcmOutput& output, QString soundFont = QString::fromLatin1(kSoundFontPath));
    ~MidiCore() override;

    void Open(const QString& fileName) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    double Duration() override;
    double Position() override;
    void SetPosition(double seconds) override;
    int Volume() override { return 100; } // the engine's output volume applies
    void SetVolume(int) override {}
    CoreState State() override;

private:
    void Release();
    bool RanOut();

    PcmOutput& output_;
    QString soundFont_;
    std::shared_ptr<MidiSource> source_;
    MidiTiming timing_;
    bool given_ = false;  // the engine holds the source
    double position_ = 0; // where play starts when the source is handed over next
    unsigned generation_ = 0;
};

} // namespace kv::playback
