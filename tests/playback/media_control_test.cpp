#include "playback/media_backend.h"

#include <gtest/gtest.h>

using namespace kv::playback;

namespace {

struct FakeCore : MediaCore {
    std::vector<std::string>* log;
    std::string name;
    CoreState state = CoreState::NotLoaded;
    double duration = 0, position = 0;
    int volume = 100;
    FakeCore(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
    void Open(const QString& f) override {
        log->push_back(name + ".open " + f.toStdString());
        state = f.isEmpty() ? CoreState::NotLoaded : CoreState::Stopped;
    }
    void Play() override { log->push_back(name + ".play"); }
    void Pause() override { log->push_back(name + ".pause"); }
    void Stop() override { log->push_back(name + ".stop"); }
    double Duration() override { return duration; }
    double Position() override { return position; }
    void SetPosition(double s) override {
        log->push_back(name + ".position " + QString::number(s).toStdString());
        position = s;
    }
    int Volume() override { return volume; }
    void SetVolume(int v) override { volume = v; }
    CoreState State() override { return state; }
};

TEST(MediaControls, PlayStateCodes) {
    struct Row {
        CoreState state;
        int mediaPlayer;
        int realPlayer;
    };
    // Starting (a file reloaded for play) must never read as stopped for the Media Player,
    // and must keep a RealPlayer start waiting for code 3.
    const Row rows[] = {
        {CoreState::NotLoaded, 6, 0}, {CoreState::Opening, 3, 0}, {CoreState::Starting, 2, 2},
        {CoreState::Stopped, 0, 0},   {CoreState::Paused, 1, 4},  {CoreState::Playing, 2, 3},
    };
    std::vector<std::string> log;
    auto general = std::make_unique<FakeCore>(&log, "mpv");
    auto real = std::make_unique<FakeCore>(&log, "real");
    FakeCore* g = general.get();
    FakeCore* r = real.get();
    MediaPlayerControl mediaPlayer(std::move(general), nullptr);
    RealPlayerControl realPlayer(std::move(real));
    for (const Row& row : rows) {
        g->state = r->state = row.state;
        EXPECT_EQ(mediaPlayer.PlayState(), row.mediaPlayer) << int(row.state);
        EXPECT_EQ(realPlayer.PlayState(), row.realPlayer) << int(row.state);
    }
}

TEST(MediaControls, RealPlayerWorksInMillisecondsAndRewindsOnStop) {
    std::vector<std::string> log;
    auto core = std::make_unique<FakeCore>(&log, "real");
    FakeCore* c = core.get();
    RealPlayerControl control(std::move(core));
    c->duration = 61.2346;
    c->position = 3.0004;
    EXPECT_EQ(control.Length(), 61235);
    EXPECT_EQ(control.Position(), 3000);
    control.SetPosition(2500);
    control.Stop();
    EXPECT_EQ(log, (std::vector<std::string>{"real.position 2.5", "real.stop", "real.position 0"}));
}

TEST(MediaControls, MediaPlayerHandsMidiToItsOwnCore) {
    std::vector<std::string> log;
    auto general = std::make_unique<FakeCore>(&log, "mpv");
    auto midi = std::make_unique<FakeCore>(&log, "midi");
    FakeCore* g = general.get();
    FakeCore* m = midi.get();
    MediaPlayerControl control(std::move(general), std::move(midi));
    int ready = 0;
    control.SetReadyHandler([&](int state) { ready += state == 4; });

    control.Open("a.wma");
    control.Open("b.MID"); // the general core lets its file go first
    control.Open("c.rmi");
    control.Open("d.midi");
    control.Play();
    control.Open("e.ogg");
    control.Stop();
    control.Open("");
    EXPECT_EQ(log, (std::vector<std::string>{"mpv.open a.wma", "mpv.open ", "midi.open b.MID",
                                             "midi.open c.rmi", "midi.open d.midi", "midi.play", "midi.open ",
                                             "mpv.open e.ogg", "mpv.stop", "mpv.open "}));

    g->onOpened();
    m->onOpened();
    EXPECT_EQ(ready, 2);

    m->duration = 12;
    control.Open("f.mid");
    EXPECT_EQ(control.Length(), 12);
    control.SetVolume(30); // MIDI plays through the engine, whose volume the device sets
    EXPECT_EQ(g->volume, 30);
    EXPECT_EQ(m->volume, 100);
}

} // namespace
