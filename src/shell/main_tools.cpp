#include "shell/main_tools.h"

#include "browser/ctree_view.h"
#include "platform/message_box.h"
#include "playback/mpv_backend.h"
#include "playback/play_control.h"
#include "playback/player_backends.h"
#include "playback/sound_play.h"
#include "playlists/form_care.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_view.h"
#include "shell/main_controls.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tree.h"
#include "shell/timer_encode.h"
#include "tools/form_encode.h"
#include "tools/form_equalizer.h"
#include "tools/form_tag.h"
#include "tools/form_words.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QThread>

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

// The lyrics window's view of the main window; owned by the lyrics window.
class WordsHostAdapter : public QObject, public tools::WordsHost {
  public:
    WordsHostAdapter(MainControls& c, ProgramState& state, MainLists& lists)
        : c_(c), state_(state), lists_(lists) {}
    tools::WordsPlacement WordsWindowGeometry() const override {
        const WindowBox& g = state_.WordsWindowGeometry;
        return {g.height, g.width, g.left, g.top, g.state, g.placed};
    }
    void SetWordsWindowGeometry(const tools::WordsPlacement& g) override {
        state_.WordsWindowGeometry = {g.height, g.width, g.left, g.top, g.state, g.placed};
    }
    bool Closing() const override { return state_.Closing; }
    void ClickToolBarBack(int button) override { c_.ClickToolBarBack(button); }
    void ChangeVolumeBar(int delta) override { lists_.ChangeVolumeBar(delta); }
    QString ActiveViewSelectedPath() const override { return lists_.ActiveViewSelectedPath(); }
    void OpenTrack(const QString& path) override { lists_.OpenTrack(path); }

  private:
    MainControls& c_;
    ProgramState& state_;
    MainLists& lists_;
};

class TagHostAdapter : public tools::TagEditorHost {
  public:
    TagHostAdapter(MainPlayer& player, MainLists& lists, MainTree& tree)
        : player_(player), lists_(lists), tree_(tree) {}
    bool TreeHasFocus() const override { return tree_.ExplorTree().ExpTreeForcus(); }
    QString TreeSelectedPath() const override { return tree_.ExplorTree().GetExpTreePath(); }
    void TreeFolderRenamed(const QString& name, const QString& newPath) override {
        tree_.ExplorTree().SetSelectedNodeText(name);
        tree_.ExplorTree().SetPath(newPath);
        lists_.Tracks().FillFolderView();
    }
    void FolderRenamed(const QString& from, const QString& to) override {
        lists_.FollowRenamedFolder(from, to);
    }
    QString LoadedFileName() const override { return player_.PlayingFileName(); }
    int PlayIndex() const override { return player_.Play() ? player_.Play()->PlayIndex : 0; }
    void SaveWorkingCopy() override {
        lists_.SaveWorkingCopy(lists_.ListOfListText());
        lists_.SetSaveButtonImage(playlists::kSaveImage);
    }
    display::VolumeMemory& ListVol() override { return lists_.ListVol(); }

  private:
    MainPlayer& player_;
    MainLists& lists_;
    MainTree& tree_;
};

// The list repair's view of the player, the volume memory and the list files.
class RepairHostAdapter final : public playlists::RepairHost {
  public:
    RepairHostAdapter(MainPlayer& player, MainLists& lists) : player_(player), lists_(lists) {}

    std::optional<Clip> ReadClip(const QString& path) override {
        playback::MediaPlayerControl& control = player_.Backends()->mediaPlayer;
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
        mediaWindowShown_ = player_.MediaWindowVisible();
        player_.ShowMediaWindow(false);
        player_.ShowRealWindow(false);
        if (player_.Play()) player_.Play()->StopPlayback();
        playback::CSoundPlay* device = player_.Device();
        savedFile_ = device ? device->FileName() : QString();
        // The files opened only to be read must not run the track-loaded routine.
        if (device) device->bDontMoveMediaPlayer = true;
    }

    void RestorePlayer() override {
        playback::CSoundPlay* device = player_.Device();
        if (!device || savedFile_.isEmpty()) return;
        device->SetFileName(savedFile_);
        // A media file reports ready later: wait for it while the repair still holds it back
        // from starting.
        WaitWithEvents([&] { return device->bDontMoveMediaPlayer; }, kClipWaitMs);
        // Loading the file again brings its window up; one the user had closed stays closed.
        if (!mediaWindowShown_) {
            player_.ShowMediaWindow(false);
            player_.ShowRealWindow(false);
        }
        player_.SetBusyCursor(false);
    }

    void SetNoAutoStart(bool on) override {
        if (player_.Play()) player_.Play()->NoAutoStart = on;
    }

    void RenameVolumeEntry(const QString& from, const QString& to) override {
        const int index = lists_.ListVol().Find(from);
        if (index >= 0) lists_.ListVol().Rename(index, to);
    }

    void SaveWorkingCopy() override {
        lists_.SaveWorkingCopy(lists_.ListOfListText());
        lists_.SetSaveButtonImage(QStringLiteral("save"));
    }

    void LetEventsRun() override { QCoreApplication::processEvents(); }
    void Beep() override { QApplication::beep(); }

  private:
    MainPlayer& player_;
    MainLists& lists_;
    QString savedFile_;
    bool mediaWindowShown_ = false;
};

} // namespace

MainTools::MainTools(MainControls& controls, ProgramState& state, QWidget& window, MainPlayer& player,
                     MainLists& lists, MainTree& tree, std::function<void()> saveEverything)
    : c_(controls), state_(state), window_(window), player_(player), lists_(lists), tree_(tree) {
    timerEncode_ = new TimerEncodeGlue(c_, state_, window_, std::move(saveEverything),
                                       [this](const QString& path) { lists_.OpenTrack(path); });
    connect(c_.Item(QStringLiteral("IDMEqualizer")), &QAction::triggered, this, [this] { ShowEqualizer(); });
    connect(c_.Item(QStringLiteral("IDMwords")), &QAction::triggered, this, [this] { LoadLyrics(); });
    connect(c_.Item(QStringLiteral("IDMEditFile")), &QAction::triggered, this, [this] { ShowTagEditor(); });
    connect(c_.Item(QStringLiteral("IDMWriteEmptyCell")), &QAction::triggered, this,
            [this] { RepairList(); });
}

MainTools::~MainTools() = default;

void MainTools::ShowEqualizer() {
    if (!equalizer_)
        equalizer_ = new tools::FormEqualizer(
            &window_, [this] { return player_.Device() ? player_.Device()->Kakutyosi : QString(); });
    equalizer_->show();
    equalizer_->raise();
    equalizer_->activateWindow();
}

void MainTools::ShowTagEditor() {
    TagHostAdapter host(player_, lists_, tree_);
    tools::FormTag form(lists_.Tracks(), host, &window_);
    if (form.HasTarget()) form.exec();
}

void MainTools::LoadLyrics() {
    const bool checked = c_.Checked("IDMwords");
    if (!words_) {
        if (!checked) return; // nothing to hide
        auto* host = new WordsHostAdapter(c_, state_, lists_);
        words_ = new tools::FormWords(*host, &window_);
        host->setParent(words_);
    }
    playback::CSoundPlay* device = player_.Device();
    words_->LoadLyrics({checked, player_.MediaWindowVisible(), device ? device->FileName() : QString(),
                        device ? device->Kakutyosi : QString()});
}

void MainTools::RepairList() {
    player_.SetTimersEnabled(false);
    auto& rows = lists_.Tracks().ListView(playlists::TrackViews::kPlaylistView);
    if (rows.Count() == 0) {
        platform::ShowMessage(QStringLiteral("リストに曲がありません。"));
    } else {
        RepairHostAdapter host(player_, lists_);
        playlists::FormCare care(rows, host, &window_);
        care.exec();
    }
    player_.ResumeTimers();
}

bool MainTools::SleepTimerRunning() const {
    return timerEncode_->TimerRunning();
}

void MainTools::CloseToolWindows() {
    if (words_) words_->FormWords_Hide();
    if (equalizer_) equalizer_->hide();
}

void MainTools::CutConversionShort() {
    if (tools::FormEncode* encode = timerEncode_->EncodeWindow()) encode->Run().CutShort();
}

} // namespace kv::shell
