// Play sequencing with the real player device on short files, in real time on SDL's dummy driver.
#include "platform/message_box.h"
#include "playback/play_control.h"
#include "playback/player_backends.h"
#include "playback/player_host.h"
#include "playback/sound_play.h"
#include "playlists/track_list.h"
#include "support/audio_files.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

using namespace kv::playback;
using kv::playlists::TrackEntry;
using kv::playlists::TrackList;
using kv::playlists::TrackListHost;

namespace {

// The main window as play control and the track list see it, with the device behind it.
struct Window : PlayerHost, PlayControlHost, TrackListHost {
    CSoundPlay* device = nullptr;
    PlayControl* play = nullptr;
    PlayMode mode = PlayMode::Continuous;
    QString list = QStringLiteral("list");
    std::map<QString, std::pair<QString, QString>> marks;
    std::map<QString, int> volumes;

    int loads = 0;
    void OnTrackLoaded() override {
        ++loads;
        play->OnTrackLoaded();
    }
    void OnTrackFailed() override { play->OnTrackFailed(); }
    PlayMode Mode() const override { return mode; }
    int StoredVolume(const QString& path) const override {
        auto it = volumes.find(path);
        return it == volumes.end() ? -1 : it->second;
    }
    QString SelectedListName() const override { return list; }
    std::pair<QString, QString> StoredMarks(const QString& path) const override {
        auto it = marks.find(path);
        return it == marks.end() ? std::pair<QString, QString>{} : it->second;
    }
    void PlaySelected() override { play->PlaySelected(); }
    QString PlayingFileName() const override { return device->FileName(); }
    void DeviceOpen(const QString& path) override { device->SetFileName(path); }
    QString ListOfListText() const override { return list; }
    int ListOfListCount() const override { return 1; }
};

class PlayControlTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_NE(vbmp3_init(), 0); }
    static void TearDownTestSuite() { vbmp3_free(); }

    PlayControlTest() {
        window.device = &device;
        window.play = &play;
        play.PlayingListName = window.list;
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text + u'|' + r.title;
            return kv::platform::MsgAnswer::Ok;
        });
    }
    ~PlayControlTest() override {
        device.StopCurrentDevice();
        kv::platform::SetMessageHandler({});
    }

    // Rows of the playlist view: a name with no file stands for a file that has gone.
    void Rows(const std::vector<std::pair<std::string, double>>& files) {
        QVector<TrackEntry> rows;
        for (auto [name, seconds] : files) {
            TrackEntry row;
            std::string path = dir.file(name);
            if (seconds > 0) kvtest::MakeWave(path, seconds, 22050, 1);
            row[kv::playlists::ColFile] = QString::fromStdString(name);
            row[kv::playlists::ColKind] = QStringLiteral("wav");
            row[kv::playlists::ColPath] = QString::fromStdString(path);
            rows.push_back(row);
        }
        tracks.ListView(1).AppendRows(rows);
        tracks.State().ActiveView = 1;
    }
    void ClearRows() {
        QVector<int> all;
        for (int i = 0; i < tracks.ListView(1).Count(); ++i)
            all << i;
        if (!all.isEmpty()) tracks.ListView(1).RemoveRows(all);
    }
    void Start(int row) {
        tracks.ListView(1).SelectOnly({row - 1});
        tracks.ListView(1).SetCurrentRow(row - 1);
        play.PlaySelected();
    }
    // Ticks as the main window's one-second clock does, but more often, until `done` or timeout.
    bool TickUntil(const std::function<bool()>& done, int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            play.Timer1Tick();
            if (done()) return true;
            QTest::qWait(100);
        }
        return false;
    }
    QString Playing() const { return QFileInfo(device.FileName()).fileName(); }

    kvtest::TempDir dir;
    Window window;
    StandardBackends backends;
    CSoundPlay device{window, backends.decoder, backends.mediaPlayer, backends.realPlayer};
    TrackList tracks{window};
    PlayControl play{device, tracks, window};
    QStringList messages;
};

TEST_F(PlayControlTest, ContinuousPlaysTheNextRowAndWrapsToTheFirst) {
    Rows({{"a.wav", 1.2}, {"b.wav", 1.2}, {"c.wav", 1.2}});
    Start(3);
    EXPECT_EQ(Playing(), "c.wav");
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_EQ(tracks.ListView(1).Row(2).icon, "playIcon");
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(TickUntil([&] { return Playing() == "a.wav"; }, 5000));
    EXPECT_GT(t.elapsed(), 900); // not before the track has been heard
    EXPECT_EQ(play.PlayIndex, 1);
    EXPECT_EQ(tracks.ListView(1).Row(0).icon, "playIcon");
    EXPECT_NE(tracks.ListView(1).Row(2).icon, "playIcon");
    EXPECT_EQ(play.Information[0], "a.wav");
    EXPECT_EQ(play.Information[3], "0：01"); // filled in from the duration
}

TEST_F(PlayControlTest, SingleModePlaysTheSameRowAgain) {
    window.mode = PlayMode::Single;
    Rows({{"a.wav", 1.2}, {"b.wav", 1.2}});
    Start(2);
    QElapsedTimer t;
    t.start();
    // Past the end of the track it is playing again, and still the same row.
    ASSERT_TRUE(TickUntil([&] { return t.elapsed() > 2700; }, 4000));
    EXPECT_GE(window.loads, 3); // loaded, and loaded again at each end
    EXPECT_EQ(Playing(), "b.wav");
    EXPECT_EQ(play.PlayIndex, 2);
    EXPECT_EQ(device.CurrentState(), "Playing");
}

TEST_F(PlayControlTest, RandomPicksStayInRange) {
    Rows({{"a.wav", 2}, {"b.wav", 2}, {"c.wav", 2}});
    Start(1);
    for (double r : {0.0, 0.2, 0.5, 0.84, 0.99}) {
        play.SetRandomSource([r] { return r; });
        play.PlayRandom();
        EXPECT_GE(play.PlayIndex, 1);
        EXPECT_LE(play.PlayIndex, 3);
        EXPECT_EQ(Playing(), QString(QChar(u'a' + play.PlayIndex - 1)) + ".wav");
    }
    EXPECT_EQ(RandomRow(0.99, 3), 4); // brought back to the last row by PlayListItem
    EXPECT_EQ(RandomRow(0.5, 3), 3);  // 1.5 rounds to 2, the even one
    EXPECT_EQ(RandomRow(0.166, 3), 1);
}

TEST_F(PlayControlTest, PreviousOnTheFirstRowReplaysIt) {
    Rows({{"a.wav", 2}, {"b.wav", 2}});
    Start(1);
    play.PlayPrevious();
    EXPECT_EQ(play.PlayIndex, 1);
    EXPECT_EQ(Playing(), "a.wav");
    EXPECT_EQ(device.CurrentState(), "Playing");
}

TEST_F(PlayControlTest, ARunOfMissingFilesIsReportedRowByRowAndSkipped) {
    Rows({{"gone1.wav", 0}, {"gone2.wav", 0}, {"gone3.wav", 0}, {"here.wav", 2}});
    Start(1);
    EXPECT_EQ(messages.size(), 3);
    EXPECT_EQ(messages.value(0), "ファイルが存在しません。|再生の失敗");
    EXPECT_EQ(play.PlayIndex, 4);
    EXPECT_EQ(Playing(), "here.wav");
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(tracks.ListView(1).Row(row).Kind(), "nothing");
        EXPECT_EQ(tracks.ListView(1).Row(row).icon, "nothing");
    }
}

TEST_F(PlayControlTest, ADamagedFileGivenOutsideTheListsIsReportedOnceAndTheListStaysPut) {
    Rows({{"a.wav", 2}, {"b.wav", 2}});
    Start(1);
    tracks.OpenTrack(
        QString::fromStdString(kvtest::WriteBytes(dir.file("damaged.flac"), {'f', 'L', 'a', 'C', 1})));
    EXPECT_EQ(messages,
              QStringList({"「damaged.flac」は再生できません。\nファイルを読み込めません。|再生の失敗"}));
    EXPECT_EQ(play.PlayIndex, 1);
    EXPECT_NE(Playing(), "b.wav");
}

TEST_F(PlayControlTest, AMissingLastRowStopsPlayback) {
    Rows({{"a.wav", 1.2}, {"gone.wav", 0}});
    Start(1);
    ASSERT_TRUE(TickUntil([&] { return !messages.isEmpty(); }, 4000));
    EXPECT_EQ(device.CurrentState(), "Stopped");
    EXPECT_TRUE(device.StopByHuman);
    // Stopped by the program: later ticks do not advance.
    play.Timer1Tick();
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(PlayControlTest, AnEndMarkEndsTheTrackWithinTwoSeconds) {
    Rows({{"long.wav", 6}, {"next.wav", 2}});
    window.marks[QString::fromStdString(dir.file("long.wav"))] = {QString(), QStringLiteral("1")};
    Start(1);
    EXPECT_EQ(device.SelectionEnd(), 1);
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(TickUntil([&] { return Playing() == "next.wav"; }, 5000));
    EXPECT_LT(t.elapsed(), 3500);
}

TEST_F(PlayControlTest, PauseThenPlayResumesAndStopThenPlayStartsAtTheStartMark) {
    Rows({{"a.wav", 6}});
    window.marks[QString::fromStdString(dir.file("a.wav"))] = {QStringLiteral("3"), QString()};
    Start(1);
    EXPECT_EQ(device.SelectionStart(), 3); // a start mark seeks at once
    QTest::qWait(300);
    play.PausePlayback();
    EXPECT_EQ(device.CurrentState(), "Paused");
    play.Timer1Tick(); // a paused track has not ended
    EXPECT_EQ(device.CurrentState(), "Paused");
    play.PlayOrResume();
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_GE(device.CurrentPosition(), 3);
    play.StopPlayback();
    EXPECT_EQ(device.CurrentState(), "Stopped");
    play.PlayOrResume();
    EXPECT_EQ(device.CurrentState(), "Playing");
    EXPECT_GE(device.CurrentPosition(), 3);
}

TEST_F(PlayControlTest, NothingPlaysFromAnEmptyViewOrAFolderRow) {
    Start(1);
    EXPECT_TRUE(device.FileName().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    TrackEntry folder;
    folder[kv::playlists::ColKind] = QStringLiteral("Directory");
    folder[kv::playlists::ColPath] = QString::fromStdString(dir.path());
    tracks.ListView(1).AppendRows({folder});
    Start(1);
    EXPECT_TRUE(device.FileName().isEmpty());
}

TEST_F(PlayControlTest, SwitchingListsStartsAtTheFirstRow) {
    Rows({{"a.wav", 2}, {"b.wav", 2}, {"c.wav", 2}});
    Start(2);
    window.list = QStringLiteral("other");
    play.PlayNext();
    EXPECT_EQ(play.PlayIndex, 1);
    EXPECT_EQ(Playing(), "a.wav");
}

} // namespace

// The row that follows is queued while a track plays and takes over at its last sample without
// the file being opened again; whatever the user does in the meantime drops it.
TEST_F(PlayControlTest, TheFollowingRowIsQueuedAndTakesOverUnlessTheUserActs) {
    auto path = [this](const char* name) { return QString::fromStdString(dir.file(name)); };
    struct Case {
        const char* what;
        const char* second; // the second row's file
        PlayMode mode;
        std::function<void()> act; // while a.wav plays with its follower queued (when it could be)
        const char* queued;        // what was queued at the start
        const char* next;          // what plays after a.wav ("" nothing)
        int loads;                 // loads in all: 1 when the next row followed from the queue
    };
    const Case cases[] = {
        {"continuous", "b.wav", PlayMode::Continuous, [] {}, "b.wav", "b.wav", 1},
        {"stop", "b.wav", PlayMode::Continuous, [this] { play.StopPlayback(); }, "b.wav", "", 1},
        {"another row", "b.wav", PlayMode::Continuous, [this] { Start(3); }, "b.wav", "c.wav", 2},
        // The row that now follows is queued instead.
        {"queued row removed", "b.wav", PlayMode::Continuous, [this] { tracks.ListView(1).RemoveRowAt(1); },
         "b.wav", "c.wav", 1},
        {"mode changed", "b.wav", PlayMode::Continuous, [this] { window.mode = PlayMode::None; }, "b.wav", "",
         1},
        {"random", "b.wav", PlayMode::Random, [] {}, "c.wav", "c.wav", 1},
        {"damaged next", "b.flac", PlayMode::Continuous, [] {}, "", "c.wav", 2},
        {"end mark", "b.wav", PlayMode::Continuous, [] {}, "b.wav", "b.wav", 1},
        // Queued, but another rate needs the device reopened: it follows as before, not skipped.
        {"another rate", "b.wav", PlayMode::Continuous, [] {}, "b.wav", "b.wav", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearRows();
        const bool damaged = std::string(c.second) == "b.flac";
        Rows({{"a.wav", 1.2}, {c.second, damaged ? 0 : 3}, {"c.wav", 1.2}});
        if (damaged) kvtest::WriteBytes(dir.file("b.flac"), {'f', 'L', 'a', 'C', 0});
        if (c.what == std::string("another rate")) kvtest::MakeWave(dir.file("b.wav"), 3, 44100, 1);
        window.mode = c.mode;
        window.loads = 0;
        window.marks.clear();
        play.SetRandomSource([] { return 0.9; }); // row 3
        if (c.what == std::string("end mark")) window.marks[path("a.wav")] = {QString(), QStringLiteral("1")};
        Start(1);
        EXPECT_EQ(QFileInfo(device.QueuedFile()).fileName(), c.queued);
        c.act();
        TickUntil([&] { return Playing() != "a.wav"; }, 2500);
        if (*c.next) {
            EXPECT_EQ(Playing(), c.next);
            EXPECT_EQ(device.CurrentState(), "Playing");
            EXPECT_EQ(play.Information[0], c.next);
            EXPECT_EQ(tracks.ListView(1).Row(play.PlayIndex - 1).icon, "playIcon");
        } else {
            EXPECT_NE(device.CurrentState(), "Playing");
        }
        EXPECT_EQ(window.loads, c.loads);
        if (damaged) EXPECT_EQ(tracks.ListView(1).Row(1).Kind(), "nothing");
        device.StopCurrentDevice();
    }
    // The next row's own volume and start mark apply from its first sample.
    ClearRows();
    Rows({{"a.wav", 1.2}, {"b.wav", 3}});
    window.mode = PlayMode::Continuous;
    window.marks.clear();
    window.marks[path("b.wav")] = {QStringLiteral("1"), QString()};
    window.volumes[path("b.wav")] = 40;
    device.SetVolume(80);
    Start(1);
    ASSERT_TRUE(TickUntil([&] { return Playing() == "b.wav"; }, 3000));
    EXPECT_EQ(device.GetVolume(), 40);
    EXPECT_EQ(device.SelectionStart(), 1);
    EXPECT_GE(device.CurrentPosition(), 1);
}

// The device's own end starts the next row: what leaves the device (captured in real time with
// SDL's disk driver) has next to no silence between two tracks, and neither track is cut short
// whatever the phase of the one-second tick.
class TrackGapTest : public PlayControlTest {
  protected:
    static void SetUpTestSuite() {
        captureDir_ = new kvtest::TempDir;
        driver_ = qEnvironmentVariable("SDL_AUDIODRIVER");
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(Capture()));
        qunsetenv("SDL_DISKAUDIODELAY"); // real time, as a sound card plays
        ASSERT_NE(vbmp3_init(), 0);
    }
    static void TearDownTestSuite() {
        vbmp3_free();
        qputenv("SDL_AUDIODRIVER", driver_.toUtf8());
        qunsetenv("SDL_DISKAUDIOFILE");
        delete captureDir_;
    }
    static std::string Capture() { return captureDir_->file("capture.raw"); }

    // Runs of sound in the captured left channel (frames at the device's 44.1 kHz), ignoring the
    // sine's own zero crossings.
    static std::vector<std::pair<size_t, size_t>> SoundRuns() {
        const auto bytes = kvtest::ReadBytes(Capture());
        const float* f = reinterpret_cast<const float*>(bytes.data());
        const size_t frames = bytes.size() / 8;
        std::vector<std::pair<size_t, size_t>> runs;
        constexpr size_t kQuiet = 64; // longer than any zero crossing of a 440 Hz sine
        size_t quiet = kQuiet;
        for (size_t i = 0; i < frames; ++i) {
            if (std::fabs(f[i * 2]) > 1e-4f) {
                if (quiet >= kQuiet) runs.push_back({i, i + 1});
                runs.back().second = i + 1;
                quiet = 0;
            } else {
                ++quiet;
            }
        }
        return runs;
    }

    static inline kvtest::TempDir* captureDir_ = nullptr;
    static inline QString driver_;
};

TEST_F(TrackGapTest, TheNextRowStartsRightAfterTheEndOfTheLast) {
    // 3.1 s: the length that left most of a second of silence behind the one-second tick.
    QVector<TrackEntry> rows;
    for (const char* name : {"a.wav", "b.wav"}) {
        TrackEntry row;
        row[kv::playlists::ColFile] = name;
        row[kv::playlists::ColKind] = QStringLiteral("wav");
        row[kv::playlists::ColPath] = QString::fromStdString(kvtest::MakeWave(dir.file(name), 3.1));
        rows.push_back(row);
    }
    tracks.ListView(1).AppendRows(rows);
    tracks.State().ActiveView = 1;
    QTimer timer1; // the main window's clock
    timer1.setInterval(1000);
    QObject::connect(&timer1, &QTimer::timeout, [this] { play.Timer1Tick(); });
    timer1.start();
    Start(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Playing() == "b.wav"; }, 6000));
    window.mode = PlayMode::None; // b's end ends it all
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.CurrentState() == "Stopped"; }, 6000));
    timer1.stop();
    QTest::qWait(200); // the disk driver writes on
    // b was queued and follows a in the same buffer: one run of sound, a then b sample for sample.
    const auto runs = SoundRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(window.loads, 1);
    const auto a = kvtest::DecodeFile(dir.file("a.wav")), b = kvtest::DecodeFile(dir.file("b.wav"));
    const auto bytes = kvtest::ReadBytes(Capture());
    const float* f = reinterpret_cast<const float*>(bytes.data());
    const size_t first = runs[0].first - 1; // the sine's first sample is silent
    ASSERT_GE(bytes.size() / 8, first + a.Frames() + b.Frames());
    double maxErr = 0;
    for (size_t i = 0; i < a.Frames() + b.Frames(); ++i) {
        const float want = i < a.Frames() ? a.samples[i * 2] : b.samples[(i - a.Frames()) * 2];
        maxErr = std::max(maxErr, double(std::fabs(f[(first + i) * 2] - want)));
    }
    EXPECT_LT(maxErr, 1e-4);
}
