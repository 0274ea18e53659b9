// The conversion run's state machine against a scripted engine: the order of the engine calls,
// the percent shown, and every way a file can end.
#include "platform/message_box.h"
#include "support/audio_files.h"
#include "support/qt_files.h"
#include "tools/encode_run.h"

#include <QDir>
#include <QFileInfo>
#include <deque>
#include <gtest/gtest.h>
#include <unistd.h>

using kv::platform::MessageRequest;
using kv::platform::MsgAnswer;
using kv::tools::ConversionEngine;
using kv::tools::EncodeRun;
using kvtest::Q;
using State = ConversionEngine::State;

namespace {

// Each Poll takes the next scripted answer; the output file is written when the script says
// the file has finished, as the engine would have written it.
class ScriptedEngine : public ConversionEngine {
  public:
    bool EncodeOpen(const QString& wave) override {
        log << "open " + QFileInfo(wave).fileName();
        return openOk;
    }
    bool EncodeStart(const QString& mp3) override {
        log << "start";
        output = mp3;
        return startOk;
    }
    bool DecodeFile(const QString& mp3, const QString& wave) override {
        log << "decode " + QFileInfo(mp3).fileName();
        output = wave;
        return startOk;
    }
    void Stop() override { log << "stop"; }
    State Poll(int& seconds) override {
        EXPECT_TRUE(QFileInfo::exists(output)) << "the engine writes into a file made for it";
        if (script.empty()) {
            seconds = 0;
            return State::Running;
        }
        const auto [state, sec] = script.front();
        script.pop_front();
        seconds = sec;
        if (state == State::Finished) kvtest::Put(output, "converted");
        return state;
    }

    QStringList log;
    QString output;
    bool openOk = true;
    bool startOk = true;
    std::deque<std::pair<State, int>> script;
};

class Host : public kv::tools::EncodeRunHost {
  public:
    QStringList SourcePaths() const override { return sources; }
    QString DestinationText() const override { return destination; }
    void SetTimerEnabled(bool on) override { timer = on; }
    void ShowProgress() override { progressShown = true; }
    void ShowPercent(int percent) override { percents << percent; }
    void CloseProgress() override { progressShown = false; }

    QStringList sources;
    QString destination;
    bool timer = false;
    bool progressShown = false;
    QList<int> percents;
};

class EncodeRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetMessageHandler([this](const MessageRequest& r) {
            messages << r.text;
            return answer;
        });
        auto owned = std::make_unique<ScriptedEngine>();
        engine = owned.get();
        run = std::make_unique<EncodeRun>(host, std::move(owned));
        host.destination = Q(out.path()); // no trailing separator: the run adds it
    }
    void TearDown() override { kv::platform::SetMessageHandler({}); }

    QString Wave(const char* name, double seconds) {
        const QString path = Q(kvtest::MakeWave(in.file(name), seconds, 8000, 1));
        host.sources << path;
        return path;
    }
    // Ticks until the run is idle again, recording each state a tick leaves it in.
    QList<int> RunToEnd(int maxTicks = 50) {
        QList<int> states{run->CurrentState()};
        for (int i = 0; i < maxTicks && run->CurrentState() != EncodeRun::kIdle; ++i) {
            run->Tick();
            states << run->CurrentState();
        }
        return states;
    }
    QStringList OutputFiles() const {
        return QDir(Q(out.path())).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    kvtest::TempDir in;
    kvtest::TempDir out;
    Host host;
    ScriptedEngine* engine = nullptr;
    std::unique_ptr<EncodeRun> run;
    QStringList messages;
    MsgAnswer answer = MsgAnswer::Ok;
};

TEST_F(EncodeRunTest, ThreeFilesShowOneRisingPercentAcrossTheRun) {
    Wave("a.wav", 10);
    Wave("b.WAVE", 20);
    Wave("c.wav", 10);
    // Seconds as the engine reports them, one going back (a length read short).
    engine->script = {{State::Running, 4},  {State::Running, 9},  {State::Finished, 10},
                      {State::Running, 10}, {State::Running, 8},  {State::Finished, 20},
                      {State::Running, 10}, {State::Finished, 10}};
    run->CommandEncode();
    EXPECT_TRUE(host.progressShown);
    EXPECT_TRUE(host.timer);
    const QList<int> states = RunToEnd();
    EXPECT_EQ(states.first(), EncodeRun::kStart);
    EXPECT_EQ(states.last(), EncodeRun::kIdle);
    EXPECT_TRUE(std::is_sorted(host.percents.begin(), host.percents.end())) << host.percents.size();
    EXPECT_EQ(host.percents.last(), 100);
    EXPECT_EQ(host.percents.count(100), 1) << "100 is shown once, when the run is done";
    EXPECT_TRUE(host.percents.contains(10)); // 4 of 40 seconds
    EXPECT_FALSE(host.progressShown);
    EXPECT_FALSE(host.timer);
    EXPECT_EQ(OutputFiles(), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_EQ(engine->log, (QStringList{"open a.wav", "start", "stop", "open b.WAVE", "start", "stop",
                                        "open c.wav", "start", "stop", "stop", "stop"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(EncodeRunTest, RefusedBeforeARunStarts) {
    run->CommandEncode();
    EXPECT_EQ(messages, QStringList{"「変換するファイル」がありません。"});
    Wave("a.wav", 1);
    host.destination = Q(out.file("gone"));
    run->CommandEncode();
    EXPECT_EQ(messages.last(), "「保存先」のフォルダが存在しません。");
    EXPECT_EQ(run->CurrentState(), EncodeRun::kIdle);
    EXPECT_FALSE(host.progressShown);
    EXPECT_TRUE(engine->log.isEmpty());
}

TEST_F(EncodeRunTest, AFileThatCannotStartEndsTheRunAndLeavesNothing) {
    struct Case {
        const char* source;
        bool openOk, startOk;
        const char* message;
    } cases[] = {
        {"x.wav", false, true, "xwavを開くのに失敗しました。"},
        {"y.wav", true, false, "ywavのファイル変換を開始できませんでした。"},
        {"z.mp3", true, false, "zmp3のファイル変換を開始できませんでした。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        host.sources = {Q(kvtest::MakeMp3(in.file(c.source), 1, 8000, 1)),
                        Q(kvtest::MakeWave(in.file("next.wav"), 1))};
        engine->openOk = c.openOk;
        engine->startOk = c.startOk;
        engine->log.clear();
        messages.clear();
        run->CommandEncode();
        RunToEnd();
        EXPECT_EQ(messages, QStringList{c.message});
        EXPECT_FALSE(engine->log.join(u' ').contains("next")) << "the files after it are not converted";
        EXPECT_EQ(engine->log.last(), "stop");
        EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(u' ').toStdString();
        EXPECT_FALSE(host.progressShown);
    }
}

TEST_F(EncodeRunTest, AFileThatFailsHalfWayIsReportedAndLeavesNoPartialOutput) {
    Wave("a.wav", 10);
    Wave("b.wav", 10);
    for (State failure : {State::Failed, State::Stopped}) {
        engine->script = {{State::Running, 3}, {failure, 4}};
        engine->log.clear();
        messages.clear();
        run->CommandEncode();
        const QList<int> states = RunToEnd(6);
        EXPECT_EQ(states.last(), EncodeRun::kIdle) << "no waiting for a percent that never comes";
        EXPECT_EQ(messages, QStringList{"awavのファイル変換に失敗しました。"});
        EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(u' ').toStdString();
        EXPECT_FALSE(engine->log.join(u' ').contains("b.wav"));
    }
}

TEST_F(EncodeRunTest, ASourceOfNoLengthMovesOnWhenTheEngineIsDone) {
    Wave("tiny.wav", 0.2);                                                     // reads as 0 seconds
    host.sources << Q(kvtest::WriteBytes(in.file("damaged.wav"), {'R', 'I'})); // unreadable: 0
    engine->script = {{State::Running, 0}, {State::Finished, 0}, {State::Finished, 0}};
    run->CommandEncode();
    RunToEnd(6);
    EXPECT_EQ(run->CurrentState(), EncodeRun::kIdle);
    EXPECT_EQ(host.percents.last(), 100);
    EXPECT_TRUE(std::is_sorted(host.percents.begin(), host.percents.end()));
    EXPECT_EQ(OutputFiles(), (QStringList{"damaged.mp3", "tiny.mp3"}));
}

TEST_F(EncodeRunTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    Wave("keep.wav", 1);
    Wave("swap.wav", 1);
    kvtest::Put(Q(out.file("keep.mp3")), "mine");
    kvtest::Put(Q(out.file("swap.mp3")), "mine too");
    QList<MsgAnswer> answers{MsgAnswer::No, MsgAnswer::Yes};
    kv::platform::SetMessageHandler([&](const MessageRequest& r) {
        messages << r.text;
        return answers.takeFirst();
    });
    engine->script = {{State::Finished, 1}};
    run->CommandEncode();
    RunToEnd();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("keep.mp3」は既に存在します。"));
    EXPECT_EQ(kvtest::Bytes(Q(out.file("keep.mp3"))), "mine");
    EXPECT_EQ(kvtest::Bytes(Q(out.file("swap.mp3"))), "converted");
    EXPECT_EQ(host.percents.last(), 100);
    EXPECT_FALSE(engine->log.join(u' ').contains("keep.wav"));
}

TEST_F(EncodeRunTest, TheSourceItselfIsNeverWrittenOver) {
    // The destination name is a link to the source: replacing it would destroy the source.
    const QString source = Q(kvtest::MakeMp3(in.file("song.mp3"), 1, 8000, 1));
    host.sources = {source};
    host.destination = Q(in.path());
    ASSERT_EQ(::symlink(in.file("song.mp3").c_str(), in.file("song.wav").c_str()), 0);
    const QByteArray before = kvtest::Bytes(source);
    run->CommandEncode();
    RunToEnd();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("変換元のファイルそのもの"));
    EXPECT_EQ(kvtest::Bytes(source), before);
    EXPECT_TRUE(engine->log.filter("decode").isEmpty());
}

TEST_F(EncodeRunTest, AbortInTheMiddleStopsTheEngineAndLeavesNoPartialOutput) {
    Wave("a.wav", 100);
    engine->script = {{State::Running, 10}, {State::Running, 20}};
    run->CommandEncode();
    run->Tick();
    run->Tick();
    ASSERT_EQ(run->CurrentState(), EncodeRun::kConverting);
    EXPECT_EQ(OutputFiles().size(), 1); // the hidden partial file
    run->Abort();
    EXPECT_EQ(run->CurrentState(), EncodeRun::kIdle);
    EXPECT_EQ(engine->log.last(), "stop");
    EXPECT_TRUE(OutputFiles().isEmpty());
    EXPECT_FALSE(host.progressShown);
    EXPECT_FALSE(host.timer);
    EXPECT_NE(host.percents.last(), 100);
}

TEST_F(EncodeRunTest, DestinationNames) {
    EXPECT_EQ(EncodeRun::DestinationFolder("/music"), "/music/");
    EXPECT_EQ(EncodeRun::DestinationFolder("/music/"), "/music/");
    EXPECT_EQ(EncodeRun::DestinationPath("/o/", "/i/a.b.WAV"), "/o/a.b.mp3");
    EXPECT_EQ(EncodeRun::DestinationPath("/o/", "/i/a.wave"), "/o/a.mp3");
    EXPECT_EQ(EncodeRun::DestinationPath("/o/", "/i/Song.MP3"), "/o/Song.wav");
    EXPECT_EQ(EncodeRun::DestinationPath("/o/", "/i/Album.FLAC"), "/o/Album.mp3");
    EXPECT_EQ(EncodeRun::DestinationPath("/o/", "/i/x.m4a"), "/o/x.mp3");
}

} // namespace
