#include "playback/play_control.h"

#include "playback/positions.h"

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "playlists/track_format.h"
#include "playlists/track_list.h"

#include <QRandomGenerator>
#include <cmath>

namespace kv::playback {
using playlists::TrackList;

namespace {
const QString kPlaying = QStringLiteral("Playing");
// The end watch starts this close to the end (positions of the engine are whole seconds, so a
// tick may see up to a second less than has been heard) and polls at this interval.
constexpr double kEndWatchSeconds = 2.0;
constexpr int kEndWatchMs = 20;
// The next row is handed to the device this long before the end: time enough to open it.
constexpr double kQueueSeconds = 5.0;
} // namespace

int RandomRow(double r, int rows) {
    return int(std::nearbyint(r * rows)) + 1;
}

PlayControl::PlayControl(CSoundPlay& device, TrackList& tracks, PlayControlHost& host)
    : device_(device), tracks_(tracks), host_(host),
      random_([] { return QRandomGenerator::global()->generateDouble(); }) {
    endWatch_.setInterval(kEndWatchMs);
    QObject::connect(&endWatch_, &QTimer::timeout, [this] { EndWatchTick(); });
}

int PlayControl::PlayingView() const {
    return tracks_.State().PlayingView;
}
void PlayControl::SetPlayingView(int view) {
    tracks_.State().PlayingView = view;
}

void PlayControl::PlayListItem() {
    if (host_.SelectedListName() != PlayingListName) PlayIndex = 1;
    // A run of missing files is skipped one row after the other; a loop rather than a call per
    // row, so a long list of missing files cannot exhaust the stack.
    for (;;) {
        const int view = PlayingView();
        if (!playlists::TrackViews::IsView(view)) return;
        auto& model = tracks_.ListView(view);
        const int n = model.Count();
        if (n == 0) return; // nothing to play, nothing to say
        if (PlayIndex > n)
            PlayIndex = n;
        else if (PlayIndex < 1)
            PlayIndex = 1;
        const int row = PlayIndex - 1;
        if (model.Text(row, playlists::ColKind) == playlists::kKindDirectory) return;

        const QString path = model.Text(row, playlists::ColPath);
        tracks_.ClearPlayMarkers();
        model.SetIcon(row, playlists::kIconPlay);
        model.SelectOnly({row});
        model.SetCurrentRow(row);
        model.RequestScrollTo(row);

        if (platform::FileExists(path)) {
            host_.SetBusyCursor(true);
            device_.SetFileName(path);
            return;
        }
        host_.SetBusyCursor(false);
        platform::ShowMessage(QStringLiteral("ファイルが存在しません。"), platform::MsgButtons::Ok,
                              platform::MsgIcon::Critical, QStringLiteral("再生の失敗"));
        tracks_.State().CtrlHeld = false;
        if (!SkipUnplayableRow(view, path)) return;
    }
}

bool PlayControl::SkipUnplayableRow(int view, const QString& path) {
    auto& model = tracks_.ListView(view);
    if (int found = tracks_.FindRow(view, path); found > 0) {
        model.SetText(found - 1, playlists::ColKind, playlists::kKindNothing);
        model.SetIcon(found - 1, playlists::kIconNothing);
    }
    if (PlayIndex >= model.Count()) {
        StopPlayback();
        return false;
    }
    ++PlayIndex;
    return true;
}

void PlayControl::OnTrackFailed() {
    host_.SetBusyCursor(false);
    host_.SetTimersEnabled(true);
    // The repair window opens files only to read them; nothing moves on from there.
    if (NoAutoStart) return;
    const int view = PlayingView();
    const QString path = device_.FileName();
    // A file given on the command line or by another program has no row to mark or move on
    // from: the user is told why nothing plays.
    if (!playlists::TrackViews::IsView(view) || tracks_.FindRow(view, path) <= 0) {
        platform::ShowMessage(QStringLiteral("「") + platform::FileNameOf(path) +
                                  QStringLiteral("」は再生できません。\nファイルを読み込めません。"),
                              platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                              QStringLiteral("再生の失敗"));
        return;
    }
    if (SkipUnplayableRow(view, path)) PlayListItem();
}

void PlayControl::PlaySelected() {
    PlayingListName = host_.SelectedListName();
    SetPlayingView(tracks_.State().ActiveView);
    PlayIndex = tracks_.SelectedItem(PlayingView()) + 1;
    PlayListItem();
}

void PlayControl::PlayOrResume() {
    host_.ReadTrackVolume(device_.FileName());
    device_.PlayAgain();
}

void PlayControl::PausePlayback() {
    device_.PausePlay();
    device_.SetVolume(StartVolume);
}

void PlayControl::StopPlayback() {
    queuedRow_ = 0;
    device_.StopPlay();
    ApplyPositions();
    device_.SetVolume(StartVolume);
}

void PlayControl::StopDevicePlayback() {
    device_.StopCurrentDevice();
    device_.SetVolume(StartVolume);
}

void PlayControl::PlayPrevious() {
    --PlayIndex;
    PlayListItem();
}

void PlayControl::PlayNext() {
    const int view = PlayingView();
    const int n = playlists::TrackViews::IsView(view) ? tracks_.ListView(view).Count() : 0;
    PlayIndex = PlayIndex == n ? 1 : PlayIndex + 1;
    PlayListItem();
}

void PlayControl::PlayRandom() {
    PlayIndex = RandomRow(random_(), tracks_.ListView(playlists::TrackViews::kPlaylistView).Count());
    PlayListItem();
}

void PlayControl::OnTrackLoaded() {
    queuedRow_ = 0; // a file opened drops what the device had queued
    if (!NoAutoStart) device_.PlayStart();
    host_.SetBusyCursor(false);
    ShowLoadedTrack();
    if (device_.SelectionStart() != 0) device_.SetCurrentPosition(device_.SelectionStart());
    host_.PrepareMediaWindows(device_.CurrentRoute() == CSoundPlay::Route::Decoder);
    host_.LoadLyrics(device_.FileName());
    PlayingListName = host_.SelectedListName();
    host_.SetTimersEnabled(true);
    WatchForEnd(); // a track shorter than the watch ends before the first tick
    QueueFollowingRow();
}

void PlayControl::ShowLoadedTrack() {
    host_.RandomColourIfChecked();
    const double duration = device_.Duration();
    host_.SetPositionBarValue(0);
    host_.SetPositionBarMax(int(std::lround(duration)));
    host_.ReadTrackVolume(device_.FileName());
    ApplyPositions();
    const int view = PlayingView();
    if (playlists::TrackViews::IsView(view) && tracks_.ListView(view).IsValidRow(PlayIndex - 1)) {
        auto& model = tracks_.ListView(view);
        const int row = PlayIndex - 1;
        if (model.Text(row, playlists::ColTime).isEmpty())
            model.SetText(row, playlists::ColTime, playlists::FormatPlayTime(qint64(duration)));
        Information = {model.Text(row, playlists::ColFile), model.Text(row, playlists::ColArtist),
                       model.Text(row, playlists::ColTitle), model.Text(row, playlists::ColTime)};
        host_.ShowInfoLabels(Information);
    }
    host_.SetCaption(platform::FileNameOf(device_.FileName()));
}

void PlayControl::QueueFollowingRow() {
    if (queuedRow_ > 0 && !QueueStillHolds()) {
        queuedRow_ = 0;
        device_.DropQueue();
    }
    const PlayMode mode = host_.Mode();
    if (queuedRow_ > 0 || NoAutoStart || (mode != PlayMode::Continuous && mode != PlayMode::Random)) return;
    if (device_.CurrentRoute() != CSoundPlay::Route::Decoder || device_.StopByHuman) return;
    if (device_.CurrentState() != kPlaying || EndOfTrack() - device_.CurrentPosition() > kQueueSeconds)
        return;
    const int view = PlayingView();
    if (!playlists::TrackViews::IsView(view) || host_.SelectedListName() != PlayingListName) return;
    auto& model = tracks_.ListView(view);
    const int n = model.Count();
    if (n == 0) return;
    // Random play chooses now what it would choose at the end.
    const int row =
        mode == PlayMode::Continuous
            ? (PlayIndex >= n ? 1 : PlayIndex + 1)
            : std::min(RandomRow(random_(), tracks_.ListView(playlists::TrackViews::kPlaylistView).Count()),
                       n);
    if (!model.IsValidRow(row - 1) || model.Text(row - 1, playlists::ColKind) == playlists::kKindDirectory)
        return;
    const QString path = model.Text(row - 1, playlists::ColPath);
    // A missing or damaged file is left to the end of the track, which reports it as today.
    if (!platform::FileExists(path)) return;
    const auto [startText, endText] = host_.StoredMarks(path);
    const double start = ParsePosition(startText).value_or(0), end = ParsePosition(endText).value_or(0);
    if (!device_.QueueNext(path, start, end, host_.StoredVolume(path))) return;
    queuedRow_ = row;
    queuedPath_ = path;
    queuedMode_ = mode;
}

// The queued row is still the one that follows: the same file on the same row, in the same mode.
bool PlayControl::QueueStillHolds() {
    const int view = PlayingView();
    return device_.QueuedFile() == queuedPath_ && host_.Mode() == queuedMode_ &&
           playlists::TrackViews::IsView(view) && tracks_.ListView(view).IsValidRow(queuedRow_ - 1) &&
           tracks_.ListView(view).Text(queuedRow_ - 1, playlists::ColPath) == queuedPath_;
}

// The queued file is heard: what a new row does at a track change, without opening anything.
void PlayControl::TakeQueuedRow() {
    PlayIndex = queuedRow_;
    queuedRow_ = 0;
    const int view = PlayingView();
    if (playlists::TrackViews::IsView(view) && tracks_.ListView(view).IsValidRow(PlayIndex - 1)) {
        auto& model = tracks_.ListView(view);
        const int row = PlayIndex - 1;
        tracks_.ClearPlayMarkers();
        model.SetIcon(row, playlists::kIconPlay);
        model.SelectOnly({row});
        model.SetCurrentRow(row);
        model.RequestScrollTo(row);
    }
    ShowLoadedTrack();
    host_.LoadLyrics(device_.FileName());
    QueueFollowingRow();
    // A short track may end before the next tick: its end is watched from its first sample.
    WatchForEnd();
}

void PlayControl::Timer1Tick() {
    if (device_.TookQueued()) TakeQueuedRow();
    QueueFollowingRow();
    const int p = int(std::lround(device_.CurrentPosition()));
    if (!host_.PositionBarDragging()) host_.SetPositionBarValue(p);
    host_.MediaWindowPositions(p);
    CheckTrackEnd(p);
    WatchForEnd();
    if (++LabelTick == 3) host_.ShowInfoLabels(Information);
}

double PlayControl::EndOfTrack() {
    return device_.SelectionEndMarked() ? device_.SelectionEnd() : device_.Duration();
}

void PlayControl::WatchForEnd() {
    // An end mark is the tick's to notice, unless the engine ends the track there for a follower.
    if (endWatch_.isActive() || (device_.SelectionEndMarked() && queuedRow_ == 0) ||
        device_.FileName().isEmpty())
        return;
    const double end = EndOfTrack();
    if (!(end > 0) || device_.CurrentState() != kPlaying) return;
    if (end - device_.CurrentPosition() <= kEndWatchSeconds) endWatch_.start();
}

void PlayControl::EndWatchTick() {
    if (device_.TookQueued()) {
        endWatch_.stop();
        TakeQueuedRow();
        return;
    }
    QueueFollowingRow(); // a row removed or a mode changed in the last moments
    if (device_.RanOut()) {
        endWatch_.stop();
        PlayAfterEnd();
        return;
    }
    // Paused or stopped by the user, a seek back, or another track: nothing to wait for now; the
    // one-second tick looks again.
    if (device_.StopByHuman || device_.CurrentState() != kPlaying ||
        EndOfTrack() - device_.CurrentPosition() > kEndWatchSeconds + 0.5)
        endWatch_.stop();
}

void PlayControl::CheckTrackEnd(int p) {
    const QString s = device_.CurrentState();
    const double e = device_.SelectionEnd();
    const bool ranOut = s != kPlaying && !device_.StopByHuman;
    // Without a stored end mark the device runs out by itself: a window on the whole-second
    // duration would cut the last moments of a track whenever the tick's phase has moved.
    // With a follower queued the engine itself ends the track at the mark.
    const bool reachedEnd =
        device_.SelectionEndMarked() && queuedRow_ == 0 && s == kPlaying && e <= p && p <= e + 2;
    if (!(ranOut || reachedEnd) || device_.FileName().isEmpty()) return;
    PlayAfterEnd();
}

void PlayControl::PlayAfterEnd() {
    // A queued row that could not follow without a gap (another sample rate) still comes next.
    if (queuedRow_ > 0 && QueueStillHolds()) {
        PlayIndex = queuedRow_;
        queuedRow_ = 0;
        PlayListItem();
        return;
    }
    switch (host_.Mode()) {
    case PlayMode::Continuous:
        PlayNext();
        break;
    case PlayMode::Random:
        PlayRandom();
        break;
    case PlayMode::Single:
        StopPlayback();
        PlayListItem();
        break;
    case PlayMode::None:
        break;
    }
}

void PlayControl::ApplyPositions() {
    const double duration = device_.Duration();
    ApplyStoredMarks(device_, device_.FileName().isEmpty() ? std::pair<QString, QString>()
                                                           : host_.StoredMarks(device_.FileName()));
    host_.PlaceMarkers(device_.SelectionStart(), device_.SelectionEnd(), duration);
}

} // namespace kv::playback
