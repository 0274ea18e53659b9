#include "shell/main_player.h"

#include "engine/vbmp3.h"
#include "playback/player_backends.h"
#include "playback/positions.h"
#include "playback/sound_play.h"
#include "shell/main_controls.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/media_windows.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <cmath>

namespace kv::shell {
using playback::MediaWindow;

MainPlayer::MainPlayer(MainControls& controls, ProgramState& state, QWidget& window, MainLists& lists,
                       playback::MarkerHost& marks)
    : c_(controls), state_(state), window_(window), lists_(lists), marks_(marks),
      progBar_(std::make_unique<display::CProgressBar>(*this, &lists.ListVol())),
      volumeBar_(std::make_unique<display::CProgressBar>(*this, &lists.ListVol())) {}

MainPlayer::~MainPlayer() = default;

void MainPlayer::Connect(MainDisplay& display, std::function<void()> loadLyrics) {
    display_ = &display;
    loadLyrics_ = std::move(loadLyrics);
}

void MainPlayer::Start() {
    backends_ = std::make_unique<playback::StandardBackends>();
    device_ = std::make_unique<playback::CSoundPlay>(*this, backends_->decoder, backends_->mediaPlayer,
                                                     backends_->realPlayer);
    device_->StopByHuman = true;
    play_ = std::make_unique<playback::PlayControl>(*device_, lists_.Tracks(), *this);
    positions_ = std::make_unique<playback::StartEndPositions>(*device_, lists_.ListVol(), marks_);
    vbmp3_init();
    // The bars, and the output volume as found, given back after every pause and stop.
    progBar_->SetTarget(c_.progPicture);
    progBar_->SetBarStyle(display::CProgressBar::PositionStyle);
    volumeBar_->SetTarget(c_.volume);
    volumeBar_->SetBarStyle(display::CProgressBar::VolumeStyle);
    state_.StartVolume = device_->GetVolume();
    play_->StartVolume = state_.StartVolume;
}

void MainPlayer::Stop() {
    if (play_) play_->StopPlayback();
    if (device_) device_->SetVolume(state_.StartVolume);
}

void MainPlayer::Release() {
    // The media back ends go before the engine they play through.
    if (device_) device_->StopCurrentDevice();
    positions_.reset();
    play_.reset();
    device_.reset();
    backends_.reset();
    vbmp3_free();
}

bool MainPlayer::Playing() const {
    return device_ && device_->CurrentState() == QStringLiteral("Playing");
}

// Commands
void MainPlayer::PlayButton() {
    if (!play_) return;
    if (device_->FileName().isEmpty())
        play_->PlaySelected();
    else
        play_->PlayOrResume();
}

void MainPlayer::PlayPauseCommand() {
    if (!play_) return;
    if (Playing())
        play_->PausePlayback();
    else
        play_->PlayOrResume();
}

void MainPlayer::NextCommand() {
    if (!play_) return;
    if (c_.Checked("IDMRandomPlay"))
        play_->PlayRandom();
    else
        play_->PlayNext();
}

void MainPlayer::ChangeVolumeBar(int delta) {
    volumeBar_->SetValue(volumeBar_->Value() + delta);
}

void MainPlayer::ResumeTimers() {
    // The clock runs again only when a track is loaded, as after any change of file.
    SetTimer1Enabled(true);
    if (Playing()) SetTimer3Enabled(true);
}

void MainPlayer::SetTrackInformation(const QStringList& fourTexts) {
    if (!play_) return;
    for (int i = 0; i < 4; ++i)
        play_->Information[size_t(i)] = fourTexts.value(i);
}

void MainPlayer::ResetInfoLabelTick() {
    if (play_) play_->LabelTick = 0;
}

QString MainPlayer::PlayingFileName() const {
    return device_ ? device_->FileName() : QString();
}

void MainPlayer::DeviceOpen(const QString& path) {
    if (device_) device_->SetFileName(path);
}

// Media windows
MediaWindows& MainPlayer::Media() {
    if (!mediaWindows_) mediaWindows_ = std::make_unique<MediaWindows>(*this, state_, c_, window_);
    return *mediaWindows_;
}

bool MainPlayer::MediaWindowVisible() const {
    if (!mediaWindows_) return false;
    for (MediaWindow* window : {mediaWindows_->W(), mediaWindows_->Y()})
        if (window && window->isVisible()) return true;
    return false;
}

void MainPlayer::UnloadMediaWindows() {
    if (mediaWindows_) mediaWindows_->Unload();
}

// PlayerHost: the device's reach into the window.
void MainPlayer::EnableToolbarButton(int index, bool enabled) {
    c_.EnableToolButton(index, enabled);
}
void MainPlayer::SetPositionBar(double seconds) {
    progBar_->SetValue(int(std::lround(seconds)));
}
void MainPlayer::SetTimer1Enabled(bool on) {
    on ? c_.timer1->start() : c_.timer1->stop();
}
void MainPlayer::SetTimer3Enabled(bool on) {
    on ? c_.timer3->start() : c_.timer3->stop();
}
void MainPlayer::StartVisualizer() {
    if (display_) display_->StartVisualizer();
}
void MainPlayer::StopVisualizer() {
    if (display_) display_->StopVisualizer();
}
void MainPlayer::SetBusyCursor(bool busy) {
    if (busy)
        window_.setCursor(Qt::BusyCursor);
    else
        window_.unsetCursor();
}
void MainPlayer::OnTrackLoaded() {
    if (play_) play_->OnTrackLoaded();
}
void MainPlayer::OnTrackFailed() {
    if (play_) play_->OnTrackFailed();
}
void MainPlayer::LoadMediaWindow() {
    Media().LoadW();
}

// The device asks for W by the file's extension and for Y for every RealMedia file; a file of
// those kinds that holds sound alone would get an empty window, so only a picture shows one.
void MainPlayer::ShowMediaWindow(bool show) {
    if (show && backends_ && !backends_->mediaPlayer.PictureSize().isEmpty()) {
        if (MediaWindow* w = Media().LoadW()) w->ShowWindow();
    } else if (MediaWindow* w = Media().W()) {
        w->HideWindow();
    }
}

void MainPlayer::ShowRealWindow(bool show) {
    if (show && backends_ && !backends_->realPlayer.PictureSize().isEmpty()) {
        if (MediaWindow* y = Media().LoadY()) y->ShowWindow();
    } else if (MediaWindow* y = Media().Y()) {
        y->HideWindow();
    }
}

// PlayControlHost
playback::PlayMode MainPlayer::Mode() const {
    if (c_.Checked("IDMContinuePlay")) return playback::PlayMode::Continuous;
    if (c_.Checked("IDMRandomPlay")) return playback::PlayMode::Random;
    if (c_.Checked("IDMGeneralPlay")) return playback::PlayMode::Single;
    return playback::PlayMode::None;
}

bool MainPlayer::PositionBarDragging() const {
    return progBar_->BarMove();
}
void MainPlayer::ReadTrackVolume(const QString&) {
    volumeBar_->ReadVolume();
}
int MainPlayer::StoredVolume(const QString& path) const {
    return volumeBar_->StoredVolume(path);
}
std::pair<QString, QString> MainPlayer::StoredMarks(const QString& path) const {
    return positions_ ? positions_->StoredMarks(path) : std::pair<QString, QString>{};
}
void MainPlayer::PlaceMarkers(double start, double end, double duration) {
    if (positions_) positions_->PlaceMarkers(start, end, duration);
}
void MainPlayer::RandomColourIfChecked() {
    if (display_) display_->RandomColourIfChecked();
}
QString MainPlayer::SelectedListName() const {
    return c_.listOfList->currentText();
}
void MainPlayer::ShowInfoLabels(const std::array<QString, 4>& texts) {
    if (display_) display_->ShowInfoLabels(texts);
}
void MainPlayer::SetCaption(const QString& caption) {
    window_.setWindowTitle(caption);
}
void MainPlayer::SetTimersEnabled(bool on) {
    SetTimer1Enabled(on);
    SetTimer3Enabled(on);
}
void MainPlayer::SetPositionBarMax(int seconds) {
    progBar_->SetMax(seconds);
}
void MainPlayer::SetPositionBarValue(int seconds) {
    progBar_->SetValue(seconds);
}
void MainPlayer::PrepareMediaWindows(bool decoderFile) {
    Media().Prepare(decoderFile);
}

void MainPlayer::MediaWindowPositions(int seconds) {
    if (!mediaWindows_) return;
    for (MediaWindow* window : {mediaWindows_->W(), mediaWindows_->Y()})
        if (window && window->isVisible() && !window->ProgBar().BarMove())
            window->ProgBar().SetValue(seconds);
}

void MainPlayer::LoadLyrics(const QString&) {
    if (loadLyrics_) loadLyrics_();
}

// ProgressBarHost: the bars' reach into the player and the window.
QString MainPlayer::DeviceFileName() const {
    return PlayingFileName();
}
QString MainPlayer::DeviceState() {
    return device_ ? device_->CurrentState() : QStringLiteral("NotLoaded");
}
void MainPlayer::DeviceSetVolume(int volume) {
    if (device_) device_->SetVolume(volume);
}
void MainPlayer::DeviceSetPosition(double seconds) {
    if (device_) device_->SetCurrentPosition(seconds);
}
void MainPlayer::PlayOrResume() {
    if (play_) play_->PlayOrResume();
}
void MainPlayer::PlaySelected() {
    if (play_) play_->PlaySelected();
}
void MainPlayer::OpenTrack(const QString& path) {
    lists_.OpenTrack(path);
}
QString MainPlayer::ActiveViewSelectedPath() const {
    return lists_.ActiveViewSelectedPath();
}
bool MainPlayer::Initializing() const {
    return state_.Initializing;
}
void MainPlayer::SetTimeLabel(const QString& text) {
    c_.labelCurTime->setText(text);
}
void MainPlayer::ShowPlayPositionMenu(const QPoint& globalPos) {
    c_.Menu(QStringLiteral("IDMPlayPosition"))->popup(globalPos);
}
display::CProgressBar* MainPlayer::MainVolumeBar() {
    return volumeBar_.get();
}

QVector<display::CProgressBar*> MainPlayer::MediaVolumeBars() {
    QVector<display::CProgressBar*> bars;
    if (!mediaWindows_ || !backends_) return bars;
    if (MediaWindow* w = mediaWindows_->W(); w && w->isVisible()) bars.push_back(&w->VolumeBar());
    if (MediaWindow* y = mediaWindows_->Y(); y && y->isVisible() && backends_->realPlayer.PlayState() != 5)
        bars.push_back(&y->VolumeBar());
    return bars;
}

} // namespace kv::shell
