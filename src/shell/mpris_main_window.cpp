// The main window behind MPRIS: every call runs the operation the menus and toolbar run, so play
// modes, marks and volume memory behave as they do there.
#include "display/progress_bar.h"
#include "engine/vbmp3.h"
#include "platform/files.h"
#include "playback/sound_play.h"
#include "playlists/track_entry.h"
#include "playlists/track_info.h"
#include "shell/form_main.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/mpris.h"

#include <QAction>
#include <cmath>

namespace kv::shell {
namespace {

class MainWindowMpris final : public MprisHost {
  public:
    explicit MainWindowMpris(FormMain& window) : w_(window) {}

    QString PlaybackStatus() override {
        const QString state = w_.Player().Device() ? w_.Player().Device()->CurrentState() : QString();
        if (state == u"Playing" || state == u"Paused") return state;
        return QStringLiteral("Stopped");
    }

    MprisTrack Track() override {
        MprisTrack t;
        if (!w_.Player().Device() || !w_.Player().Play()) return t;
        t.path = w_.Player().Device()->FileName();
        if (t.path.isEmpty()) return t;
        const QString name = platform::FileNameOf(t.path);
        const auto& info = w_.Player().Play()->Information; // file, artist, title, time of the playing row
        const bool fromRow = info[0] == name;
        auto known = [](const QString& s) { return !s.isEmpty() && s != playlists::kNoInfo; };
        t.title = fromRow && known(info[2]) && !info[2].startsWith(u'【') ? info[2] : name;
        t.artist = fromRow && known(info[1]) ? info[1] : QString();
        t.album = Album(t.path);
        t.lengthUs = qint64(std::llround(w_.Player().Device()->Duration() * 1e6));
        return t;
    }

    qint64 PositionUs() override {
        return w_.Player().Device() && Loaded()
                   ? qint64(std::llround(w_.Player().Device()->CurrentPosition() * 1e6))
                   : 0;
    }
    double Volume() override {
        const auto& bar = w_.Player().CVolume();
        return bar.Max() > 0 ? double(bar.Value()) / bar.Max() : 0;
    }
    void SetVolume(double volume) override {
        auto& bar = w_.Player().CVolume();
        bar.SetValue(int(std::lround(volume * bar.Max()))); // as a click on the volume bar
    }
    bool CanGoNext() override { return HasRows(); }
    bool CanGoPrevious() override { return HasRows(); }
    bool CanPlay() override { return Loaded() || HasRows(); }
    bool CanPause() override { return Loaded(); }
    bool CanSeek() override { return Loaded() && w_.Player().Device()->Duration() > 0; }

    QString LoopStatus() override {
        return w_.Player().Mode() == playback::PlayMode::Single ||
                       w_.Player().Mode() == playback::PlayMode::None
                   ? QStringLiteral("None")
                   : QStringLiteral("Playlist");
    }
    void SetLoopStatus(const QString& status) override {
        // "Track" has no play mode of its own and is refused, as the interface allows.
        if (status == u"None")
            ChooseMode("IDMGeneralPlay");
        else if (status == u"Playlist" && w_.Player().Mode() != playback::PlayMode::Random)
            ChooseMode("IDMContinuePlay");
    }
    bool Shuffle() override { return w_.Player().Mode() == playback::PlayMode::Random; }
    void SetShuffle(bool on) override {
        if (on)
            ChooseMode("IDMRandomPlay");
        else if (Shuffle())
            ChooseMode("IDMContinuePlay");
    }

    void Play() override {
        if (PlaybackStatus() != u"Playing") w_.Player().PlayButton();
    }
    void Pause() override {
        if (w_.Player().Play() && PlaybackStatus() == u"Playing") w_.Player().Play()->PausePlayback();
    }
    void PlayPause() override {
        // With nothing loaded the key starts the selected row, as the toolbar's play button does.
        if (Loaded())
            w_.Player().PlayPauseCommand();
        else
            w_.Player().PlayButton();
    }
    void Stop() override { w_.Item(QStringLiteral("IDMstop"))->trigger(); }
    void Next() override { w_.Item(QStringLiteral("IDMnext"))->trigger(); }
    void Previous() override { w_.Item(QStringLiteral("IDMbefore"))->trigger(); }
    void SetPositionUs(qint64 position) override {
        // As a position bar let go at that point: the device seeks, the bar follows.
        const double seconds = double(position) / 1e6;
        w_.Player().Device()->SetCurrentPosition(seconds);
        w_.Player().CProgBar().SetValue(int(seconds));
    }
    void OpenFile(const QString& path) override { w_.OpenTrack(path); }
    void Raise() override { w_.Item(QStringLiteral("IDMMinMax"))->trigger(); }
    void Quit() override { w_.Item(QStringLiteral("IDMEnd"))->trigger(); }

  private:
    // As the play menu's item would be chosen.
    void ChooseMode(const char* item) {
        QAction* a = w_.Item(QString::fromLatin1(item));
        if (!a->isChecked()) a->trigger();
    }
    bool Loaded() const { return w_.Player().Device() && !w_.Player().Device()->FileName().isEmpty(); }
    bool HasRows() {
        auto& tracks = w_.Lists().Tracks();
        for (int view : {playlists::TrackViews::kFolderView, playlists::TrackViews::kPlaylistView})
            if (tracks.ListView(view).Count() > 0) return true;
        return false;
    }
    // The album is in no column; MPEG tags give it, read once per track.
    QString Album(const QString& path) {
        if (path == albumPath_) return album_;
        albumPath_ = path;
        album_.clear();
        const QString ext = platform::ExtensionOf(path);
        if (ext == u"mp1" || ext == u"mp2" || ext == u"mp3" || playlists::IsEngineAudioKind(ext)) {
            VBMP3_TAG_INFO tag{};
            if (vbmp3_getFileInfo(path.toUtf8().constData(), &tag, nullptr))
                album_ = QString::fromUtf8(tag.album).trimmed();
        }
        return album_;
    }

    FormMain& w_;
    QString albumPath_;
    QString album_;
};

// Owns the host beside the service, both children of the window.
class MainWindowMprisService : public MprisService {
  public:
    MainWindowMprisService(std::unique_ptr<MainWindowMpris> host, QDBusConnection bus, FormMain& window)
        : MprisService(*host, std::move(bus), &window), host_(std::move(host)) {}

  private:
    std::unique_ptr<MainWindowMpris> host_;
};

} // namespace

MprisService* StartMpris(FormMain& window, QDBusConnection bus) {
    if (!bus.isConnected()) return nullptr;
    auto host = std::make_unique<MainWindowMpris>(window);
    auto* service = new MainWindowMprisService(std::move(host), std::move(bus), window);
    if (service->Registered()) return service;
    delete service;
    return nullptr;
}

} // namespace kv::shell
