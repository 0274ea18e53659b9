// The main window's player: the device, play control, the start and end marks, the position and
// volume bars and the media windows. It implements what the device and play control ask of the
// window; the rest of the window reaches the player through its commands. UI thread only.
#pragma once
#include "display/progress_bar.h"
#include "playback/play_control.h"
#include "playback/player_host.h"
#include "shell/program_state.h"

#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class QWidget;

namespace kv::playback {
struct StandardBackends;
class CSoundPlay;
class MarkerHost;
class StartEndPositions;
} // namespace kv::playback

namespace kv::shell {

struct MainControls;
class MainDisplay;
class MainLists;
class MediaWindows;

class MainPlayer final : public playback::PlayerHost,
                         public playback::PlayControlHost,
                         public display::ProgressBarHost {
  public:
    MainPlayer(MainControls& controls, ProgramState& state, QWidget& window, MainLists& lists,
               playback::MarkerHost& marks);
    ~MainPlayer() override;
    // `loadLyrics` shows or hides the lyrics of the loaded file, as the lyrics window decides.
    void Connect(MainDisplay& display, std::function<void()> loadLyrics);

    // Start-up: the engine, the device and play control, the bars on their pictures.
    void Start();
    // Shutdown: stops playing and gives the output volume found at start-up back.
    void Stop();
    // Lets the device, the media back ends and the engine go, in that order.
    void Release();

    playback::CSoundPlay* Device() const { return device_.get(); }
    playback::PlayControl* Play() const { return play_.get(); }
    playback::StandardBackends* Backends() const { return backends_.get(); }
    display::CProgressBar& CProgBar() const { return *progBar_; }
    display::CProgressBar& CVolume() const { return *volumeBar_; }
    playback::StartEndPositions& Positions() const { return *positions_; }
    bool Playing() const; // the device's state is "Playing"

    // Commands of the window, by the operation they run.
    void PlayButton();       // toolbar 1: the selected row when nothing is loaded
    void PlayPauseCommand(); // IDMplay: pause while playing, otherwise play or resume
    void NextCommand();      // random pick in random mode
    void ChangeVolumeBar(int delta);
    // Timer1 again, and Timer3 while a track plays, after a pause of the timers.
    void ResumeTimers();
    // The play-control fields the track list sets.
    void SetTrackInformation(const QStringList& fourTexts);
    void ResetInfoLabelTick();
    QString PlayingFileName() const;
    void DeviceOpen(const QString& path);

    // Media windows W and Y. True while either shows a video; the lyrics window stays hidden then.
    MediaWindows& Media();
    bool MediaWindowVisible() const;
    void UnloadMediaWindows();

    // PlayerHost
    void EnableToolbarButton(int index, bool enabled) override;
    void SetPositionBar(double seconds) override;
    void SetTimer1Enabled(bool on) override;
    void SetTimer3Enabled(bool on) override;
    void StartVisualizer() override;
    void StopVisualizer() override;
    void SetBusyCursor(bool busy) override;
    void OnTrackLoaded() override;
    void OnTrackFailed() override;
    void LoadMediaWindow() override;
    void ShowMediaWindow(bool show) override;
    void ShowRealWindow(bool show) override;

    // PlayControlHost
    playback::PlayMode Mode() const override;
    bool PositionBarDragging() const override;
    void ReadTrackVolume(const QString& path) override;
    int StoredVolume(const QString& path) const override;
    std::pair<QString, QString> StoredMarks(const QString& path) const override;
    void PlaceMarkers(double start, double end, double duration) override;
    void RandomColourIfChecked() override;
    QString SelectedListName() const override;
    void ShowInfoLabels(const std::array<QString, 4>& texts) override;
    void SetCaption(const QString& caption) override;
    void SetTimersEnabled(bool on) override;
    void SetPositionBarMax(int seconds) override;
    void SetPositionBarValue(int seconds) override;
    void PrepareMediaWindows(bool decoderFile) override;
    void MediaWindowPositions(int seconds) override;
    void LoadLyrics(const QString& path) override;

    // ProgressBarHost
    QString DeviceFileName() const override;
    QString DeviceState() override;
    void DeviceSetVolume(int volume) override;
    void DeviceSetPosition(double seconds) override;
    void PlayOrResume() override;
    void PlaySelected() override;
    void OpenTrack(const QString& path) override;
    QString ActiveViewSelectedPath() const override;
    bool Initializing() const override;
    void SetTimeLabel(const QString& text) override;
    void ShowPlayPositionMenu(const QPoint& globalPos) override;
    display::CProgressBar* MainVolumeBar() override;
    QVector<display::CProgressBar*> MediaVolumeBars() override;

  private:
    MainControls& c_;
    ProgramState& state_;
    QWidget& window_;
    MainLists& lists_;
    playback::MarkerHost& marks_;
    MainDisplay* display_ = nullptr;
    std::function<void()> loadLyrics_;
    std::unique_ptr<display::CProgressBar> progBar_;
    std::unique_ptr<display::CProgressBar> volumeBar_;
    std::unique_ptr<playback::StandardBackends> backends_;
    std::unique_ptr<playback::CSoundPlay> device_;
    std::unique_ptr<playback::PlayControl> play_;
    std::unique_ptr<playback::StartEndPositions> positions_;
    std::unique_ptr<MediaWindows> mediaWindows_;
};

} // namespace kv::shell
