#include "fakes.h"
#include "playback/sound_play.h"
#include "support/audio_files.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using kv::playback::CSoundPlay;
using kvtest::FakeDecoder;
using kvtest::FakeHost;
using kvtest::FakeMedia;
using kvtest::Log;
using kvtest::Only;

namespace {

struct Device {
    Log log;
    FakeHost host{log};
    FakeDecoder decoder{log};
    FakeMedia mediaPlayer{log, "W", FakeMedia::kMediaPlayer};
    FakeMedia realPlayer{log, "Y", FakeMedia::kRealPlayer};
    CSoundPlay device{host, decoder, mediaPlayer, realPlayer};

    Device() { device.SetRealWaitLimit(200); }
    Log BackEnd() const { return Only(log, {"dec.", "W.", "Y."}); }
    // Gives the device a file and lets it play, as play control does.
    void Load(const QString& name) {
        device.SetFileName(name);
        if (CSoundPlay::RouteOf(device.Kakutyosi) == CSoundPlay::Route::Media) mediaPlayer.Ready(4);
        device.PlayStart();
        log.clear();
    }
};

TEST(SoundPlay, RoutesByLoweredExtension) {
    struct Row {
        const char* file;
        const char* kakutyosi;
        const char* open;  // the back end's open call
        bool loadedAtOnce; // the track-loaded routine runs inside FileName
    };
    const Row rows[] = {
        {"/m/a.mp3", "mp3", "dec.open /m/a.mp3", true},
        {"/m/b.MP3", "mp3", "dec.open /m/b.MP3", true},
        {"/m/c.Wav", "wav", "dec.open /m/c.Wav", true},
        {"/m/d.mp1", "mp1", "dec.open /m/d.mp1", true},
        {"/m/e.mp2", "mp2", "dec.open /m/e.mp2", true},
        {"/m/f.rmp", "rmp", "dec.open /m/f.rmp", true},
        {"/m/g.RM", "rm", "Y.open /m/g.RM", true},
        {"/m/h.ra", "ra", "Y.open /m/h.ra", true},
        {"/m/i.Ram", "ram", "Y.open /m/i.Ram", true},
        {"/m/j.wma", "wma", "W.open /m/j.wma", false},
        {"/m/k.MID", "mid", "W.open /m/k.MID", false},
        {"/m/l.mp3.ogg", "ogg", "dec.open /m/l.mp3.ogg", true},
        {"/m/n.FLAC", "flac", "dec.open /m/n.FLAC", true},
        {"/m/o.m4a", "m4a", "dec.open /m/o.m4a", true},
        {"/m/p.opus", "opus", "dec.open /m/p.opus", true},
        {"/m/q.aiff", "aiff", "dec.open /m/q.aiff", true},
        {"/m/r.mp4", "mp4", "dec.open /m/r.mp4", true},
        {"/m/s.wv", "wv", "dec.open /m/s.wv", true},
        {"/m.mp3/noext", "", nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        Device d;
        d.device.SetFileName(QString::fromUtf8(row.file));
        EXPECT_EQ(d.device.Kakutyosi.toStdString(), row.kakutyosi);
        EXPECT_EQ(d.device.FileName().toStdString(), row.file);
        const Log opens = Only(d.log, {"dec.open", "Y.open", "W.open"});
        if (row.open)
            EXPECT_EQ(opens, Log{row.open});
        else
            EXPECT_TRUE(opens.empty());
        EXPECT_EQ(Only(d.log, {"host.loaded"}).size(), row.loadedAtOnce ? 1u : 0u);
    }
}

TEST(SoundPlay, ReleasesThePreviousBackEndOnlyWhenTheBackEndChanges) {
    struct Row {
        const char* first;
        const char* second;
        Log expected; // back-end calls made by giving the second file
    };
    const Row rows[] = {
        {"a.wav", "b.mp3", {"dec.open b.mp3"}},
        {"a.mp3", "b.mp3", {"dec.open b.mp3"}},
        {"a.mp3", "b.MP3", {"dec.open b.MP3"}},
        {"a.mp3", "b.wma", {"dec.stop", "dec.close", "W.volume 100", "W.open b.wma"}},
        {"a.wma", "b.rm", {"W.stop", "W.open ", "Y.open b.rm"}},
        {"a.rm", "b.mp3", {"Y.stop", "Y.open ", "dec.open b.mp3"}},
        {"a.wma", "b.mid", {"W.volume 100", "W.open b.mid"}},
        {"a.ra", "b.RM", {"Y.open b.RM"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.first) + " then " + row.second);
        Device d;
        d.Load(row.first);
        d.device.SetFileName(row.second);
        EXPECT_EQ(d.BackEnd(), row.expected);
    }
}

TEST(SoundPlay, GivingAFileSilencesTheMainWindowFirst) {
    Device d;
    d.device.SetFileName("a.mp3");
    d.device.SetFileName("b.mp3");
    const Log first(d.log.begin(), d.log.begin() + 4);
    EXPECT_EQ(first, (Log{"host.timer1=off", "host.timer3=off", "host.vis.stop", "host.loadW"}));
    EXPECT_EQ(Only(d.log, {"host.loadW"}).size(), 1u); // window W is made once
}

TEST(SoundPlay, WithNoFileEverythingIsZeroAndCommandsTouchNoBackEnd) {
    Device d;
    EXPECT_EQ(d.device.CurrentState(), "NotLoaded");
    EXPECT_EQ(d.device.Duration(), 0);
    EXPECT_EQ(d.device.CurrentPosition(), 0);
    d.device.PlayStart();
    d.device.PlayAgain();
    d.device.PausePlay();
    d.device.StopPlay();
    d.device.SetCurrentPosition(30);
    d.device.StopCurrentDevice();
    EXPECT_TRUE(d.BackEnd().empty()) << d.BackEnd().front();
    EXPECT_EQ(d.device.CurrentState(), "NotLoaded");
}

TEST(SoundPlay, CommandsPerBackEnd) {
    struct Row {
        const char* file;
        std::function<void(CSoundPlay&)> command;
        const char* name;
        Log expected;
    };
    const auto pause = [](CSoundPlay& p) { p.PausePlay(); };
    const auto stop = [](CSoundPlay& p) { p.StopPlay(); };
    const auto release = [](CSoundPlay& p) { p.StopCurrentDevice(); };
    const Row rows[] = {
        {"a.mp3", pause, "pause", {"dec.pause"}},
        {"a.rm", pause, "pause", {"Y.pause"}},
        {"a.wma", pause, "pause", {"W.pause"}},
        {"a.mp3", stop, "stop", {"dec.stop"}},
        {"a.rm", stop, "stop", {"Y.stop"}},
        {"a.wma", stop, "stop", {"W.stop", "W.position 0"}},
        {"a.mp3", release, "release", {"dec.stop", "dec.close"}},
        {"a.rm", release, "release", {"Y.stop", "Y.open "}},
        {"a.wma", release, "release", {"W.stop", "W.open "}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.name);
        Device d;
        d.Load(row.file);
        EXPECT_FALSE(d.device.StopByHuman);
        row.command(d.device);
        EXPECT_EQ(d.BackEnd(), row.expected);
        EXPECT_TRUE(d.device.StopByHuman);
        const Log host = Only(d.log, {"host.button", "host.bar"});
        if (std::string(row.name) == "pause")
            EXPECT_EQ(host, Log{"host.button3=on"});
        else
            EXPECT_EQ(host, (Log{"host.button2=off", "host.button3=off", "host.bar=0"}));
    }
}

TEST(SoundPlay, PlayAgainResumesWhenPausedAndOtherwiseJumpsToTheStartMark) {
    struct Row {
        const char* file;
        const char* state; // how the track is left before PlayAgain
        double start;      // SelectionStart
        Log expected;
    };
    const Row rows[] = {
        {"a.mp3", "paused", 10, {"dec.restart"}},
        {"a.mp3", "playing", 10, {"dec.stop", "dec.play", "dec.seek 10"}},
        {"a.mp3", "stopped", 10, {"dec.play", "dec.seek 10"}},
        {"a.mp3", "stopped", 0.5, {"dec.play"}}, // the mark counts only beyond half a second
        {"a.mp3", "stopped", 0.51, {"dec.play", "dec.seek 1"}},
        {"a.wma", "paused", 10, {"W.play"}},
        {"a.wma", "playing", 10, {"W.stop", "W.position 0", "W.play", "W.position 10"}},
        {"a.wma", "stopped", 0, {"W.play"}},
        {"a.rm", "paused", 10, {"Y.play"}},
        // The RealPlayer seeks by stopping and starting again.
        {"a.rm", "playing", 10, {"Y.stop", "Y.play", "Y.stop", "Y.play", "Y.position 10000"}},
        {"a.rm", "stopped", 2.25, {"Y.play", "Y.stop", "Y.play", "Y.position 2250"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.state + " " + std::to_string(row.start));
        Device d;
        d.Load(row.file);
        if (std::string(row.state) == "paused") d.device.PausePlay();
        if (std::string(row.state) == "stopped") d.device.StopPlay();
        d.device.SetSelectionStart(row.start);
        d.log.clear();
        d.device.PlayAgain();
        EXPECT_EQ(d.BackEnd(), row.expected);
        EXPECT_FALSE(d.device.StopByHuman);
        EXPECT_EQ(d.device.CurrentState(), "Playing");
    }
}

TEST(SoundPlay, PlayAgainShowsTheWindowThatHasAPictureAndHidesTheOthers) {
    Device d;
    d.Load("a.mp3");
    d.device.PlayAgain();
    EXPECT_EQ(Only(d.log, {"host.W", "host.Y"}), Log{"host.W=hide"}); // W exists, Y does not yet
    d.Load("b.avi");
    d.device.PlayAgain();
    EXPECT_EQ(Only(d.log, {"host.W", "host.Y"}), Log{"host.W=show"});
    d.Load("c.ra");
    d.device.PlayAgain();
    EXPECT_EQ(Only(d.log, {"host.W", "host.Y"}), (Log{"host.W=hide", "host.Y=show"}));
    // Every Media Player file asks for W (the window shows only for a picture).
    for (const char* file : {"d.WMV", "e.asf", "f.mpe", "g.m1v", "h.ivf", "i.mpv2"}) {
        d.Load(file);
        d.device.PlayAgain();
        EXPECT_EQ(Only(d.log, {"host.W", "host.Y"}), (Log{"host.W=show", "host.Y=hide"})) << file;
    }
}

TEST(SoundPlay, PositionsAreRoundedToEachBackEndsUnit) {
    struct Row {
        const char* file;
        double seconds;
        const char* expected;
    };
    const Row rows[] = {
        {"a.mp3", 12.6, "dec.seek 13"},
        {"a.mp3", 12.4, "dec.seek 12"},
        {"a.wma", 12.6, "W.position 12.6"},
        {"a.rm", 12.3456, "Y.position 12346"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        Device d;
        d.Load(row.file);
        d.device.SetCurrentPosition(row.seconds);
        EXPECT_EQ(d.BackEnd().back(), row.expected);
    }
}

TEST(SoundPlay, RealPlayerSeekHoldsTheClockAndShowsBusy) {
    Device d;
    d.Load("a.rm");
    d.device.SetCurrentPosition(5);
    EXPECT_EQ(Only(d.log, {"host.busy", "host.timer1"}),
              (Log{"host.busy=on", "host.timer1=off", "host.timer1=on", "host.busy=off"}));
}

TEST(SoundPlay, TimesAreReadInSecondsFromEveryBackEnd) {
    Device d;
    d.decoder.totalSec = 215;
    d.Load("a.mp3");
    d.decoder.position = 42;
    EXPECT_EQ(d.device.Duration(), 215);
    EXPECT_EQ(d.device.CurrentPosition(), 42);

    d.Load("b.ra");
    d.realPlayer.length = 90500;
    d.realPlayer.position = 1250;
    EXPECT_DOUBLE_EQ(d.device.Duration(), 90.5);
    EXPECT_DOUBLE_EQ(d.device.CurrentPosition(), 1.25);

    d.Load("c.wma");
    d.mediaPlayer.length = 61.5;
    d.mediaPlayer.position = -1; // the control's "no position"
    EXPECT_DOUBLE_EQ(d.device.Duration(), 61.5);
    EXPECT_EQ(d.device.CurrentPosition(), 0);
}

TEST(SoundPlay, StateWordsFollowEachControlsCodes) {
    struct Row {
        const char* file;
        int code;
        const char* word;
    };
    const Row rows[] = {
        {"a.mp3", 0, "Stopped"},   {"a.mp3", 1, "Playing"}, {"a.mp3", 2, "Paused"},  {"a.mp3", 3, ""},
        {"a.rm", 0, "Stopped"},    {"a.rm", 1, "Playing"},  {"a.rm", 3, "Playing"},  {"a.rm", 4, "Paused"},
        {"a.wma", 0, "Stopped"},   {"a.wma", 1, "Paused"},  {"a.wma", 2, "Playing"}, {"a.wma", 3, ""},
        {"a.wma", 6, "NotLoaded"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + std::to_string(row.code));
        Device d;
        d.device.SetFileName(row.file);
        d.decoder.state = d.realPlayer.state = d.mediaPlayer.state = row.code;
        EXPECT_EQ(d.device.CurrentState().toStdString(), row.word);
    }
}

TEST(SoundPlay, VolumeChangesThatChangeNothingAreSkipped) {
    Device d;
    d.Load("a.mp3");
    d.device.SetVolume(40);
    EXPECT_EQ(d.BackEnd(), (Log{"dec.volume 40 40", "W.volume 40"}));
    d.log.clear();
    d.device.SetVolume(40);
    EXPECT_TRUE(d.BackEnd().empty());

    // A volume read counts as the last one set.
    d.decoder.left = 30, d.decoder.right = 51;
    EXPECT_EQ(d.device.GetVolume(), 40);
    d.device.SetVolume(40);
    EXPECT_TRUE(d.BackEnd().empty());
    d.device.SetVolume(41);
    EXPECT_EQ(d.BackEnd(), (Log{"dec.volume 41 41", "W.volume 41"}));

    d.Load("b.rm");
    d.realPlayer.volume = 70;
    EXPECT_EQ(d.device.GetVolume(), 70);
    d.device.SetVolume(55);
    EXPECT_EQ(d.BackEnd(), Log{"Y.volume 55"});
}

TEST(SoundPlay, AFirstVolumeOfZeroIsApplied) {
    Device d;
    d.device.SetVolume(0);
    EXPECT_EQ(Only(d.log, {"dec.volume"}), Log{"dec.volume 0 0"});
}

TEST(SoundPlay, MediaFilesTakeTheEngineVolumeWhenGiven) {
    Device d;
    d.decoder.left = d.decoder.right = 35;
    d.device.SetFileName("a.wma");
    EXPECT_EQ(d.mediaPlayer.volume, 35);
}

TEST(SoundPlay, DecoderStartThatFailsIsNotATrackThatRanOut) {
    Device d;
    d.decoder.playSucceeds = false;
    d.device.SetFileName("a.mp3");
    d.device.PlayStart();
    EXPECT_TRUE(d.device.StopByHuman);
    EXPECT_TRUE(Only(d.log, {"host.vis.start"}).empty());
    d.device.PlayAgain();
    EXPECT_TRUE(d.device.StopByHuman);

    d.decoder.playSucceeds = true;
    d.device.PlayStart();
    EXPECT_FALSE(d.device.StopByHuman);
    EXPECT_EQ(Only(d.log, {"host.vis.start"}).size(), 1u);
    d.decoder.state = 0; // the track runs out
    EXPECT_EQ(d.device.CurrentState(), "Stopped");
    EXPECT_FALSE(d.device.StopByHuman);
}

TEST(SoundPlay, DamagedNewKindsFailLikeUnopenableFilesWhileMp3KeepsItsRule) {
    for (const char* name : {"a.flac", "a.mp3"}) {
        SCOPED_TRACE(name);
        Device d;
        d.decoder.openSucceeds = false;
        d.device.SetFileName(name);
        const bool isFlac = name[2] == 'f';
        EXPECT_EQ(Only(d.log, {"host.failed"}).size(), isFlac ? 1u : 0u);
        EXPECT_EQ(Only(d.log, {"host.loaded"}).size(), isFlac ? 0u : 1u);
    }
}

TEST(SoundPlay, Mp4WithVideoGoesToTheMediaPlayerAndAudioOnlyToTheDecoder) {
    kvtest::TempDir dir;
    auto box = [](const char* type, const std::string& body) {
        const uint32_t n = uint32_t(body.size() + 8);
        return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + type + body;
    };
    auto mp4 = [&](const char* name, const char* handler) {
        const std::string hdlr = box("hdlr", std::string(8, '\0') + handler + std::string(12, '\0'));
        const std::string bytes = box("ftyp", "isom") + box("moov", box("trak", box("mdia", hdlr)));
        return QString::fromStdString(
            kvtest::WriteBytes(dir.file(name), std::vector<uint8_t>(bytes.begin(), bytes.end())));
    };
    const QString video = mp4("v.mp4", "vide"), audio = mp4("a.mp4", "soun");
    Device d;
    d.device.SetFileName(video);
    EXPECT_EQ(d.device.CurrentRoute(), CSoundPlay::Route::Media);
    d.device.SetFileName(audio);
    EXPECT_EQ(d.device.CurrentRoute(), CSoundPlay::Route::Decoder);
    // The step from one back end to the other releases the Media Player control ("W.open ").
    EXPECT_EQ(Only(d.log, {"dec.open", "W.open"}),
              Log({"W.open " + video.toStdString(), "W.open ", "dec.open " + audio.toStdString()}));
}

TEST(SoundPlay, MediaPlayerRunsTheTrackLoadedRoutineOnceWhenTheFileIsReady) {
    Device d;
    d.device.SetFileName("a.wma");
    EXPECT_FALSE(d.device.bDontMoveMediaPlayer);
    d.mediaPlayer.Ready(3);
    EXPECT_TRUE(Only(d.log, {"host.loaded"}).empty());
    d.mediaPlayer.Ready(4);
    EXPECT_EQ(Only(d.log, {"host.loaded"}).size(), 1u);
    EXPECT_TRUE(d.device.bDontMoveMediaPlayer);
    d.mediaPlayer.Ready(4);
    EXPECT_EQ(Only(d.log, {"host.loaded"}).size(), 1u);

    d.device.SetFileName("b.wma");
    EXPECT_FALSE(d.device.bDontMoveMediaPlayer);
    d.mediaPlayer.Ready(4);
    EXPECT_EQ(Only(d.log, {"host.loaded"}).size(), 2u);
}

TEST(SoundPlay, RealPlayerWaitsAreBoundedAndRunEvents) {
    Device d;
    d.device.SetRealWaitLimit(150);
    d.device.SetFileName("a.rm");

    // The control reaches "playing" only from an event: the wait must let it run.
    d.realPlayer.playReaches = false;
    QTimer::singleShot(30, [&] { d.realPlayer.state = 3; });
    d.device.PlayStart();
    EXPECT_EQ(d.realPlayer.state, 3);
    EXPECT_FALSE(d.device.StopByHuman);

    // Never reaching it: the device gives up and counts the start as failed.
    d.realPlayer.state = 0;
    QElapsedTimer clock;
    clock.start();
    d.device.PlayStart();
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(d.device.StopByHuman);

    // A stop that never lands is given up too, and the state is left as it is.
    d.realPlayer.state = 3;
    d.realPlayer.stopReaches = false;
    clock.restart();
    d.device.StopPlay();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(d.device.CurrentState(), "Playing");
}

} // namespace
