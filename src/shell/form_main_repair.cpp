// The main window's side of the list repair (IDMWriteEmptyCell): the player, the volume memory
// and the list files as the repair windows reach them.
#include "platform/message_box.h"
#include "playback/mpv_backend.h"
#include "playback/player_backends.h"
#include "playback/sound_play.h"
#include "playlists/form_care.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_view.h"
#include "shell/form_main.h"
#include "shell/form_main_media.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

namespace kv::shell {
namespace {
constexpr int kClipWaitMs = 5000;

// Runs window events until `done` holds or the time is up.
template <class Done> bool WaitWithEvents(Done&& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}
} // namespace

class RepairHostAdapter final : public playlists::RepairHost {
  public:
    explicit RepairHostAdapter(FormMain& window) : w_(window) {}

    std::optional<Clip> ReadClip(const QString& path) override {
        playback::MediaPlayerControl& control = w_.backends_->mediaPlayer;
        control.Open(path);
        const bool opened =
            WaitWithEvents([&] { return control.PlayState() != playback::MpWaiting; }, kClipWaitMs) &&
            control.PlayState() != playback::MpClosed;
        std::optional<Clip> clip;
        if (opened) {
            clip = Clip{};
            clip->seconds = control.Length();
            if (playback::MpvCore* core = control.VideoCore()) {
                clip->title = core->Metadata("title");
                clip->author = core->Metadata("artist");
                if (clip->author.isEmpty()) clip->author = core->Metadata("author");
            }
        }
        control.Open(QString());
        return clip;
    }

    void StopForCheck() override {
        mediaWindowShown_ = w_.MediaWindowVisible();
        w_.ShowMediaWindow(false);
        w_.ShowRealWindow(false);
        if (w_.play_) w_.play_->StopPlayback();
        savedFile_ = w_.device_ ? w_.device_->FileName() : QString();
        // The files opened only to be read must not run the track-loaded routine.
        if (w_.device_) w_.device_->bDontMoveMediaPlayer = true;
    }

    void RestorePlayer() override {
        if (!w_.device_ || savedFile_.isEmpty()) return;
        w_.device_->SetFileName(savedFile_);
        // A media file reports ready later: wait for it while the repair still holds it back
        // from starting.
        WaitWithEvents([&] { return w_.device_->bDontMoveMediaPlayer; }, kClipWaitMs);
        // Loading the file again brings its window up; one the user had closed stays closed.
        if (!mediaWindowShown_) {
            w_.ShowMediaWindow(false);
            w_.ShowRealWindow(false);
        }
        w_.SetBusyCursor(false);
    }

    void SetNoAutoStart(bool on) override {
        if (w_.play_) w_.play_->NoAutoStart = on;
    }

    void RenameVolumeEntry(const QString& from, const QString& to) override {
        const int index = w_.listVol_.Find(from);
        if (index >= 0) w_.listVol_.Rename(index, to);
    }

    void SaveWorkingCopy() override {
        w_.SaveWorkingCopy(w_.ListOfListText());
        w_.SetSaveButtonImage(QStringLiteral("save"));
    }

    void LetEventsRun() override { QCoreApplication::processEvents(); }
    void Beep() override { QApplication::beep(); }

  private:
    FormMain& w_;
    QString savedFile_;
    bool mediaWindowShown_ = false;
};

void FormMain::RepairList() {
    SetTimersEnabled(false);
    auto& rows = tracks_.ListView(playlists::TrackViews::kPlaylistView);
    if (rows.Count() == 0) {
        platform::ShowMessage(QStringLiteral("リストに曲がありません。"));
    } else {
        RepairHostAdapter host(*this);
        playlists::FormCare care(rows, host, this);
        care.exec();
    }
    SetTimer1Enabled(true);
    if (device_ && device_->CurrentState() == QStringLiteral("Playing")) SetTimer3Enabled(true);
}

} // namespace kv::shell
