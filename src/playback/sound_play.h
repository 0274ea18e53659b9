// The player device: one object that plays, pauses, stops, seeks and reports time and volume
// for whatever file it is given, routing by extension to the decoder library, the RealPlayer
// control or the Media Player control. Every call comes on the UI thread; the waits on the
// RealPlayer control run the event loop while they wait.
#pragma once
#include "engine/vbmp3.h"
#include <QElapsedTimer>
#include <QString>
#include <memory>

class QTimer;

namespace kv::playback {

class PlayerHost;
class DecoderBackend;
class MediaBackend;

class CSoundPlay {
  public:
    // The back ends are borrowed and must outlive the device. `mediaPlayer` is window `W`'s
    // control, `realPlayer` window `Y`'s.
    CSoundPlay(PlayerHost& host, DecoderBackend& decoder, MediaBackend& mediaPlayer,
               MediaBackend& realPlayer);
    ~CSoundPlay();
    CSoundPlay(const CSoundPlay&) = delete;
    CSoundPlay& operator=(const CSoundPlay&) = delete;

    void SetFileName(const QString& fileName); // `FileName` (write)
    QString FileName() const { return fileName_; }
    // The loaded file was moved (its folder renamed): what is open stays open and playing, and
    // the file is known by its new path from now on.
    void FileMoved(const QString& fileName) { fileName_ = fileName; }

    void PlayStart();
    void PlayAgain();
    void PausePlay();
    void StopPlay();
    void StopCurrentDevice();

    double SelectionStart() const { return selectionStart_; }
    void SetSelectionStart(double seconds) { selectionStart_ = seconds; }
    double SelectionEnd() const { return selectionEnd_; }
    // marked: the end is a stored end mark, not simply the duration.
    void SetSelectionEnd(double seconds, bool marked = false);
    bool SelectionEndMarked() const { return selectionEndMarked_; }

    double Duration();
    double CurrentPosition();
    void SetCurrentPosition(double seconds);

    int GetVolume();
    void SetVolume(int volume);

    // "Playing", "Paused", "Stopped", "NotLoaded", or empty for a state outside the tables.
    QString CurrentState();
    // The track has been played out, or will have been within the output's own buffer: playing
    // the next one now leaves no gap. The other back ends say so only once they have stopped.
    bool RanOut();

    // Gapless continuation, for the decoder's files only: `fileName` starts at the last sample of
    // the playing file, from `start` and up to `end` (0: its end), at `volume` (-1: unchanged).
    // False when it cannot follow that way (another kind of file, one that cannot be opened).
    bool QueueNext(const QString& fileName, double start, double end, int volume);
    void DropQueue();
    QString QueuedFile() const { return queuedName_; }
    // True once when the queued file has taken over: it is the loaded file from then on.
    bool TookQueued();

    bool StopByHuman = true;
    QString Kakutyosi;
    bool bDontMoveMediaPlayer = false;

    // How long the waits on the RealPlayer control may take before the device gives up.
    void SetRealWaitLimit(int milliseconds) { realWaitLimitMs_ = milliseconds; }
    // How long the Media Player control may take to report a file ready before the file counts
    // as one that cannot be opened.
    void SetMediaOpenLimit(int milliseconds) { mediaOpenLimitMs_ = milliseconds; }

    enum class Route { None, Decoder, Real, Media };
    static Route RouteOf(const QString& kakutyosi);
    // The back end of the file set last: by its kind, except that an MP4 holding video goes to
    // the Media Player control while an audio-only one goes to the decoder.
    Route CurrentRoute() const {
        return videoMp4_ && Kakutyosi == u"mp4" ? Route::Media : RouteOf(Kakutyosi);
    }

  private:
    bool WaitForRealState(int code);
    void OnMediaReady(int readyState);
    void WatchMediaOpen();
    void SyncMediaVolume();

    PlayerHost& host_;
    DecoderBackend& decoder_;
    MediaBackend& media_;
    MediaBackend& real_;

    QString fileName_;
    bool videoMp4_ = false;
    VBMP3_TRACK_INFO track_{};
    QString queuedName_;
    VBMP3_TRACK_INFO queuedTrack_{};
    int switchesBefore_ = 0;
    double selectionStart_ = 0;
    double selectionEnd_ = 0;
    bool selectionEndMarked_ = false;
    int lastState_ = 0;
    int lastPosition_ = 0;
    bool volumeKnown_ = false;
    int lastVolume_ = 0;
    bool mediaWindowLoaded_ = false;
    bool realWindowLoaded_ = false;
    int realWaitLimitMs_ = 3000;
    int mediaOpenLimitMs_ = 15000;
    std::unique_ptr<QTimer> mediaOpenWatch_;
    QElapsedTimer mediaOpenClock_;
};

} // namespace kv::playback
