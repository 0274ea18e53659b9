// Play control: which row plays, starting it through the player device, noticing its end and
// choosing the next row by the play mode; the main window's one-second tick.
// Everything runs on the UI thread; the tick may run inside the filling loops of the track
// list (they let events run), so nothing here keeps a row across a call into the device.
#pragma once
#include "playback/sound_play.h"

#include <QString>
#include <QTimer>
#include <array>
#include <functional>

namespace kv::playlists {
class TrackList;
}

namespace kv::playback {

enum class PlayMode { None, Single, Continuous, Random };

// What play control reaches in the main window besides the device and the track views.
class PlayControlHost {
  public:
    virtual ~PlayControlHost() = default;
    virtual PlayMode Mode() const { return PlayMode::Continuous; } // the play menu's check marks
    virtual QString SelectedListName() const { return QString(); } // text of ListOfList
    virtual void SetBusyCursor(bool busy) { (void)busy; }
    virtual void RandomColourIfChecked() {} // a new colour per track
    virtual void SetPositionBarMax(int seconds) { (void)seconds; }
    virtual void SetPositionBarValue(int seconds) { (void)seconds; }
    virtual bool PositionBarDragging() const { return false; }
    virtual void ReadTrackVolume(const QString& path) { (void)path; } // the stored volume, to the bar
    // The volume memory's value for a file, -1 when it has none (the volume then stays).
    virtual int StoredVolume(const QString& path) const {
        (void)path;
        return -1;
    }
    // The stored start and end marks of a file, as the volume memory holds them ("" when unset).
    virtual std::pair<QString, QString> StoredMarks(const QString& path) const {
        (void)path;
        return {};
    }
    virtual void PlaceMarkers(double start, double end, double duration) {
        (void)start, (void)end, (void)duration;
    }
    virtual void PrepareMediaWindows(bool decoderFile) { (void)decoderFile; }
    virtual void LoadLyrics(const QString& path) { (void)path; }
    virtual void ShowInfoLabels(const std::array<QString, 4>& texts) { (void)texts; }
    virtual void SetCaption(const QString& caption) { (void)caption; }
    virtual void SetTimersEnabled(bool on) { (void)on; } // Timer1 and Timer3
    virtual void MediaWindowPositions(int seconds) { (void)seconds; }
};

class PlayControl {
  public:
    PlayControl(CSoundPlay& device, playlists::TrackList& tracks, PlayControlHost& host);

    int PlayIndex = 0; // 1-based row of the current track in the playing view
    QString PlayingListName;
    bool NoAutoStart = false;
    int StartVolume = 0;
    std::array<QString, 4> Information{"-----", "-----", "-----", "-----"}; // file, artist, title, time
    int LabelTick = 0;

    void PlayListItem();
    void PlaySelected();
    void PlayOrResume();
    void PausePlayback();
    void StopPlayback();
    void StopDevicePlayback();
    void PlayPrevious();
    void PlayNext();
    void PlayRandom();
    void OnTrackLoaded();
    // A file the device could not open counts as a missing one: marked "nothing", and the
    // next row plays (the last row stops).
    void OnTrackFailed();
    void Timer1Tick();
    void CheckTrackEnd(int position);
    // The start and end marks of the loaded file take effect on the device and the markers.
    void ApplyPositions();

    int PlayingView() const;
    void SetPlayingView(int view);
    // Uniform in [0, 1); tests make it repeatable.
    void SetRandomSource(std::function<double()> random) { random_ = std::move(random); }

  private:
    // Marks the row of `path` as missing and steps PlayIndex on; false (and stopped) at the end.
    bool SkipUnplayableRow(int view, const QString& path);
    void WatchForEnd();
    void EndWatchTick();
    void PlayAfterEnd(); // by the play mode
    // The row that follows in continuous or random play, handed to the device a few seconds before
    // the end so it starts at the last sample; dropped when it no longer follows.
    void QueueFollowingRow();
    bool QueueStillHolds();
    void TakeQueuedRow();
    // What a newly playing track shows: the bar, the volume, the marks, the lyrics, the labels.
    void ShowLoadedTrack();
    double EndOfTrack(); // the stored end mark, or the duration

    CSoundPlay& device_;
    playlists::TrackList& tracks_;
    PlayControlHost& host_;
    std::function<double()> random_;
    // Polls the device closely in the last moments of a track, so the next row starts as soon as
    // the device runs out rather than at the next one-second tick.
    QTimer endWatch_;
    int queuedRow_ = 0; // 1-based row in the playing view of the queued file, 0 when none
    QString queuedPath_;
    PlayMode queuedMode_ = PlayMode::None;
};

// r × n rounded to the nearest integer, halves to the even one, plus one: the row a random
// pick lands on (n + 1 is possible and is brought back to n by PlayListItem).
int RandomRow(double r, int rows);

} // namespace kv::playback
