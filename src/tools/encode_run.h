// A conversion run of the conversion window: the files of its list, one after another, through
// the engine's background conversion, driven by the window's one-second timer TimerEnc. Plain
// logic: the window hands it the list and shows what it reports. UI thread only; the engine's
// conversion thread is reached through ConversionEngine alone.
#pragma once
#include <QString>
#include <QStringList>
#include <memory>

namespace kv::tools {

// The engine's conversion calls the run makes; tests put a scripted one in its place.
class ConversionEngine {
  public:
    // Mirrors the engine's VBMP3_CONVERT_* values.
    enum class State { Idle = 0, Running = 1, Finished = 2, Failed = 3, Stopped = 4 };
    virtual ~ConversionEngine() = default;
    // WAVE to MP3 with the encoder's defaults (an option record of zeros).
    virtual bool EncodeOpen(const QString& wavePath) = 0;
    virtual bool EncodeStart(const QString& mp3Path) = 0;
    // MP3 to WAVE, leaving the player's open track alone.
    virtual bool DecodeFile(const QString& mp3Path, const QString& wavePath) = 0;
    // Ends the conversion, finished or not.
    virtual void Stop() = 0;
    // `seconds`: whole seconds of sound in the output so far.
    virtual State Poll(int& seconds) = 0;
};
std::unique_ptr<ConversionEngine> MakeEngineConversion();

// Whole seconds of a source as the run counts them: WAVE by its header's byte rate, MP3 from
// the engine's file information; 0 for anything else or an unreadable file.
int SourcePlayLength(const QString& path);
// The kinds "WAVE → MP3" takes: WAVE, and lossless PCM in another container (FLAC, WavPack,
// APE, TTA, ALAC in M4A, AIFF).
bool IsMp3Source(const QString& ext);

// What the run needs from its window.
class EncodeRunHost {
  public:
    virtual ~EncodeRunHost() = default;
    virtual QStringList SourcePaths() const = 0; // FileList, top to bottom
    virtual QString DestinationText() const = 0; // TextSave
    virtual void SetTimerEnabled(bool on) = 0;   // TimerEnc
    virtual void ShowProgress() = 0;             // FormEncode2, modal
    virtual void ShowPercent(int percent) = 0;   // LabelEncode and EncodeBar
    virtual void CloseProgress() = 0;            // unload FormEncode2
};

class EncodeRun {
  public:
    enum State { kStart = 0, kIdle = 1, kNextFile = 2, kConverting = 3, kFinish = 4 };

    EncodeRun(EncodeRunHost& host, std::unique_ptr<ConversionEngine> engine);
    // A run cut off by the window going away stops the engine and leaves no partial file.
    ~EncodeRun();

    // CommandEncode ("変換"): refuses an empty list or a missing folder, otherwise starts.
    void CommandEncode();
    // One TimerEnc tick.
    void Tick();
    // Any close of the progress window ("中止" among them).
    void Abort();
    // A look at the engine between ticks: the end of the current file is taken up at once.
    void WatchEnd();
    // The program ends, however: the engine stops and no partial file is left behind.
    void CutShort();

    State CurrentState() const { return state_; }
    int Percent() const { return percent_; }
    // The destination folder as the run uses it: the text with a trailing separator.
    static QString DestinationFolder(const QString& text);
    // The name a converted file gets: folder + base name + ".mp3" or ".wav".
    static QString DestinationPath(const QString& folder, const QString& source);

  private:
    bool Step(); // runs the current state once; true when the next may run at once
    bool StartNextFile();
    bool PollCurrentFile();
    void Finish();
    void ShowRunPercent(int outputSeconds);
    bool FailFile(const QString& message); // message, no partial output, the run ends
    void DiscardPartial();
    bool MakePartialFile();

    EncodeRunHost& host_;
    std::unique_ptr<ConversionEngine> engine_;
    State state_ = kIdle;
    bool ticking_ = false;
    QStringList sources_;
    qint64 totalLength_ = 0;
    qint64 doneLength_ = 0;
    int fileNumber_ = 0;
    QString sourcePath_;
    QString baseName_;
    QString extension_;
    int sourceLength_ = 0;
    int outputLength_ = 0;
    QString destinationPath_;
    QString destinationFolder_;
    QString partialPath_;     // where the engine writes; renamed to destinationPath_ when done
    bool converting_ = false; // the engine holds a conversion of the current file
    int percent_ = 0;
};

} // namespace kv::tools
