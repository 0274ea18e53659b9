#include "fakes.h"
#include "midi_files.h"
#include "playback/midi_backend.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kv::playback;
using namespace kvtest;

namespace {

QString Write(const QTemporaryDir& dir, const QString& name, const Bytes& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return path;
}

constexpr int64_t kTuneFrames = int64_t(kTuneSeconds * MidiSource::kRate);

TEST(MidiSource, RendersExactlyTheFilesLengthAndIsAudible) {
    const Bytes tune = Tune();
    const MidiTiming timing = ReadMidiTiming(tune);
    auto source = MidiSource::Create(
        QByteArray(reinterpret_cast<const char*>(tune.data()), qsizetype(tune.size())), timing);
    ASSERT_TRUE(source) << "soundfont " << kSoundFontPath;
    EXPECT_DOUBLE_EQ(source->Duration(), kTuneSeconds);

    PullingOutput out;
    out.Play(source);
    float peak = 0;
    EXPECT_EQ(out.Pull(10 * MidiSource::kRate, &peak), kTuneFrames);
    EXPECT_EQ(out.state, 0);
    EXPECT_GT(peak, 0.05f); // the synthesiser's default gain would peak near 0.03

    // Seeking restarts the player even after it has finished.
    out.Play(source);
    source->Seek(1.0);
    float laterPeak = 0;
    EXPECT_EQ(out.Pull(10 * MidiSource::kRate, &laterPeak), kTuneFrames - MidiSource::kRate);
    EXPECT_GT(laterPeak, 0.01f); // the note at 1.0 s sounds after the seek
}

TEST(MidiSource, MissingSoundFontFailsToLoad) {
    const Bytes tune = Tune();
    EXPECT_FALSE(
        MidiSource::Create(QByteArray(reinterpret_cast<const char*>(tune.data()), qsizetype(tune.size())),
                           ReadMidiTiming(tune), "/nonexistent/none.sf2"));
}

struct MidiCoreTest : ::testing::Test {
    QTemporaryDir dir;
    PullingOutput out;
    MidiCore core{out};
    int opened = 0;
    void SetUp() override {
        core.onOpened = [this] { ++opened; };
    }
};

TEST_F(MidiCoreTest, OpensAnnouncesPlaysAndRunsOut) {
    core.Open(Write(dir, "tune.mid", Tune()));
    EXPECT_EQ(opened, 0); // announced from the event loop, as the control did
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(core.State(), CoreState::Stopped);
    EXPECT_DOUBLE_EQ(core.Duration(), kTuneSeconds);

    core.Play();
    EXPECT_EQ(core.State(), CoreState::Playing);
    out.Pull(MidiSource::kRate / 2);
    EXPECT_DOUBLE_EQ(core.Position(), 0.5);
    core.Pause();
    EXPECT_EQ(core.State(), CoreState::Paused);
    core.Play();
    EXPECT_EQ(out.plays, 1); // resumed, not started again
    out.Pull(kTuneFrames);
    EXPECT_EQ(core.State(), CoreState::Stopped);
    EXPECT_EQ(core.Position(), 0);

    core.Play(); // after the end: from the beginning
    EXPECT_EQ(out.Pull(10 * MidiSource::kRate), kTuneFrames);
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 1);
}

TEST_F(MidiCoreTest, StopKeepsThePositionAndAPositionSetWhileStoppedIsWhereItStarts) {
    core.Open(Write(dir, "tune.rmi", Rmi(Tune())));
    core.Play();
    out.Pull(MidiSource::kRate / 4);
    core.Stop();
    EXPECT_EQ(core.State(), CoreState::Stopped);
    EXPECT_DOUBLE_EQ(core.Position(), 0.25);
    core.SetPosition(1.0);
    core.Play();
    EXPECT_DOUBLE_EQ(core.Position(), 1.0);
    EXPECT_EQ(out.Pull(10 * MidiSource::kRate), kTuneFrames - MidiSource::kRate);

    core.Play();
    core.SetPosition(99); // past the end: held to the end
    EXPECT_DOUBLE_EQ(core.Position(), kTuneSeconds);
}

TEST_F(MidiCoreTest, AFileThatIsNotMidiStaysNotLoaded) {
    core.Open(Write(dir, "bad.mid", Bytes{'M', 'T', 'h', 'd', 0, 0}));
    core.Open(dir.filePath("missing.mid"));
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(core.State(), CoreState::NotLoaded);
    core.Play();
    EXPECT_EQ(out.plays, 0);
    EXPECT_EQ(core.Duration(), 0);
}

TEST_F(MidiCoreTest, AnotherFileReleasesTheOutputAndDropsTheOldAnnouncement) {
    core.Open(Write(dir, "a.mid", Tune()));
    core.Play();
    core.Open(Write(dir, "b.mid", Tune())); // before the first announcement ran
    EXPECT_EQ(out.state, 0);
    EXPECT_FALSE(out.source);
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 1);
    core.Open(QString());
    EXPECT_EQ(core.State(), CoreState::NotLoaded);
}

} // namespace
