// The position and volume bars, the volume memory and its file.
#include "display/panel_colors.h"
#include "display/progress_bar.h"
#include "display/volume_memory.h"
#include "support/audio_files.h"
#include "support/qt_files.h"

#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>

using namespace kv::display;

namespace {
using kvtest::Bytes;
using kvtest::Put;
using kvtest::Q;

struct Host : ProgressBarHost {
    QString file;
    QString state = QStringLiteral("Playing");
    QStringList log;
    QString label;
    CProgressBar* mainVolume = nullptr;
    QVector<CProgressBar*> media;
    QString DeviceFileName() const override { return file; }
    QString DeviceState() override { return state; }
    void DeviceSetVolume(int v) override { log << QStringLiteral("volume %1").arg(v); }
    void DeviceSetPosition(double s) override { log << QStringLiteral("seek %1").arg(s); }
    void PlayOrResume() override { log << "resume"; }
    void PlaySelected() override { log << "selected"; }
    void OpenTrack(const QString& p) override { log << "open " + p; }
    QString ActiveViewSelectedPath() const override { return "/row.mp3"; }
    void SetTimeLabel(const QString& t) override { label = t; }
    void ShowPlayPositionMenu(const QPoint&) override { log << "menu"; }
    CProgressBar* MainVolumeBar() override { return mainVolume; }
    QVector<CProgressBar*> MediaVolumeBars() override { return media; }
};

struct Bars {
    Host host;
    VolumeMemory listVol;
    QWidget progPicture, volumePicture;
    CProgressBar position{host, &listVol}, volume{host, &listVol};
    Bars() {
        progPicture.resize(200, 12);
        volumePicture.resize(10, 50);
        position.SetTarget(&progPicture);
        position.SetBarStyle(CProgressBar::PositionStyle);
        volume.SetTarget(&volumePicture);
        volume.SetBarStyle(CProgressBar::VolumeStyle);
        host.mainVolume = &volume;
    }
};
} // namespace

TEST(PositionBar, ValuesAtTheEdgesAndTheTimeLabel) {
    Bars b;
    b.position.SetValue(30);
    EXPECT_EQ(b.position.Value(), 0); // Max 0: no track
    EXPECT_EQ(b.host.label, QStringLiteral("0：00/0：00"));
    b.position.SetMax(239);
    b.position.SetValue(65);
    EXPECT_EQ(b.host.label, QStringLiteral("1：05/3：59"));
    b.position.SetValue(-5);
    EXPECT_EQ(b.position.Value(), 0);
    b.position.SetValue(1000);
    EXPECT_EQ(b.position.Value(), 239);
    b.position.MouseDown(Qt::LeftButton, {0, 5});
    EXPECT_EQ(b.position.Value(), 0);
    EXPECT_TRUE(b.position.BarMove());
    b.position.MouseMove(Qt::LeftButton, {200, 5});
    EXPECT_EQ(b.position.Value(), 239);
    b.position.MouseMove(Qt::LeftButton, {100, 5}); // 119.5 rounds to even
    EXPECT_EQ(b.position.Value(), 120);
    EXPECT_TRUE(b.host.log.filter("seek").isEmpty()); // a drag sends nothing to the player
}

TEST(PositionBar, ReleaseStartsOrResumesThenSeeks) {
    struct Case {
        const char* state;
        const char* file;
        QStringList log;
    } cases[] = {
        {"Stopped", "", {"selected", "seek 50"}},
        {"NotLoaded", "/a.mp3", {"resume", "seek 50"}},
        {"Paused", "/a.mp3", {"resume", "seek 50"}},
        {"Playing", "/a.mp3", {"seek 50"}},
    };
    for (const Case& c : cases) {
        Bars b;
        b.position.SetMax(100);
        b.host.state = c.state;
        b.host.file = c.file;
        b.host.log.clear();
        b.position.MouseDown(Qt::LeftButton, {100, 5});
        b.position.MouseUp(Qt::LeftButton, {100, 5});
        EXPECT_EQ(b.host.log, c.log) << c.state;
        EXPECT_FALSE(b.position.BarMove());
    }
}

TEST(PositionBar, DrawsANineRowBandFromTheShadeTable) {
    Bars b;
    SetPanelColor(3);
    b.position.SetMax(100);
    b.position.SetValue(50);
    const QImage img = b.position.Picture();
    const Shades& shades = ShadeTable();
    EXPECT_EQ(img.pixel(0, 5), shades[100]);
    EXPECT_EQ(img.pixel(99, 1), shades[212]);
    EXPECT_EQ(img.pixel(99, 9), shades[212]);
    EXPECT_EQ(img.pixel(100, 5), kPanelBackColor); // w = 100 pixels: columns 0..99
    EXPECT_EQ(img.pixel(0, 0), kPanelBackColor);
    EXPECT_EQ(img.pixel(0, 10), kPanelBackColor);
}

TEST(VolumeBar, PressesRecordTheVolumePerFileAndKeepTheBarsInStep) {
    Bars b;
    b.host.file = "/Music/A.mp3";
    b.volume.MouseDown(Qt::LeftButton, {4, 50});
    EXPECT_EQ(b.volume.Value(), 0);
    b.volume.MouseUp(Qt::LeftButton, {4, 0});
    EXPECT_EQ(b.volume.Value(), 100);
    EXPECT_EQ(b.host.log.last(), QStringLiteral("volume 100"));
    ASSERT_EQ(b.listVol.Count(), 1);
    EXPECT_EQ(b.listVol.Find("/music/a.MP3"), 0); // letter case does not matter
    b.volume.MouseDown(Qt::RightButton, {4, 0});
    EXPECT_EQ(b.host.log.last(), QStringLiteral("menu"));

    // A media window's bar sets the main one; the main one sets the media window's.
    QWidget wPicture;
    wPicture.resize(10, 50);
    CProgressBar wVolume{b.host, &b.listVol};
    wVolume.SetTarget(&wPicture);
    wVolume.SetBarStyle(CProgressBar::VolumeStyle);
    wVolume.SetValue(30);
    EXPECT_EQ(b.volume.Value(), 30);
    b.host.media = {&wVolume};
    b.volume.SetValue(70);
    EXPECT_EQ(wVolume.Value(), 70);
}

TEST(VolumeBar, ReadVolumeRemembersAFirstTrackAndAppliesItNextTime) {
    Bars b;
    b.volume.SetValue(40);
    b.host.file = "/a.mp3";
    b.volume.ReadVolume();
    EXPECT_EQ(b.listVol.SubItem(b.listVol.Find("/a.mp3"), 1), QStringLiteral("40"));
    b.volume.SetValue(90);
    b.listVol.SetSubItem(0, 1, "40");
    b.volume.ReadVolume();
    EXPECT_EQ(b.volume.Value(), 40);
    for (auto [stored, expected] : std::vector<std::pair<QString, int>>{
             {"99999999999999", 100}, {"-7", 0}, {"55.5", 56}, {"abc", 56}, {"", 56}, {"1e400", 56}}) {
        b.listVol.SetSubItem(0, 1, stored);
        b.volume.ReadVolume();
        EXPECT_EQ(b.volume.Value(), expected) << stored.toStdString();
    }
}

TEST(VolumeMemoryFile, FormatAndTheLoadRules) {
    kvtest::TempDir dir;
    const QString file = Q(dir.file("volume.cfg"));
    VolumeMemory m;
    m.SetSubItem(m.Add("/music/a.mp3"), 1, "50");
    m.SetSubItem(0, 2, "12.5");
    m.Add(""); // an entry without a name is not written
    m.SetSubItem(m.Add("/曲.mp3"), 1, "7");
    ASSERT_TRUE(m.Save(file));
    EXPECT_EQ(Bytes(file),
              QStringLiteral("0:/music/a.mp3\r\n1:50\r\n2:12.5\r\n3:\r\n@\r\n0:/曲.mp3\r\n1:7\r\n2:\r\n3:\r\n@\r\n").toUtf8());
    VolumeMemory back;
    back.Load(file);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.SubItem(0, 2), QStringLiteral("12.5"));

    // Numbered lines before any "0:" go to the first entry the list already holds; lines that
    // cannot be applied are skipped; entries are appended, nothing cleared.
    Put(file, "1:33\r\n7:x\r\nZ:y\r\n0:/b.mp3\r\n3:20\r\n@\r\n");
    back.Load(file);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.SubItem(0, 1), QStringLiteral("33"));
    EXPECT_EQ(back.SubItem(2, 3), QStringLiteral("20"));
    VolumeMemory empty;
    empty.Load(file);
    EXPECT_EQ(empty.SubItem(0, 1), QString());
    EXPECT_EQ(empty.Count(), 1);
    // CP932 from the Windows program.
    Put(file, QByteArray("0:/\x8b\xc8.mp3\r\n1:5\r\n@\r\n"));
    VolumeMemory cp;
    cp.Load(file);
    EXPECT_EQ(cp.Find(QStringLiteral("/曲.mp3")), 0);
}

TEST(VolumeMemoryFile, Over500EntriesTheMissingFilesAreDropped) {
    kvtest::TempDir dir;
    const QString real = Q(dir.file("real.mp3"));
    Put(real, "x");
    for (int count : {500, 501}) {
        VolumeMemory m;
        m.Add(real);
        for (int i = 1; i < count; ++i)
            m.Add(QStringLiteral("/gone/%1.mp3").arg(i));
        const QString file = Q(dir.file("volume.cfg"));
        ASSERT_TRUE(m.Save(file));
        VolumeMemory back;
        back.Load(file);
        EXPECT_EQ(back.Count(), count == 500 ? 500 : 1) << count;
        EXPECT_EQ(m.Count(), count); // the list in memory is unchanged
    }
}

TEST(VolumeMemoryFile, DamagedFilesLoadWhatCanBeRead) {
    kvtest::TempDir dir;
    const QString file = Q(dir.file("volume.cfg"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("0:/a.mp3\r\n1:10\r\n0:");
        f.write(QByteArray(20 << 20, '\x01')); // a 20 MB line: damage, skipped
        f.write("\r\n0:/b.mp3\r\n1:");
    }
    VolumeMemory m;
    m.Load(file);
    ASSERT_EQ(m.Count(), 2);
    EXPECT_EQ(m.Entry(1).path, QStringLiteral("/b.mp3"));
    EXPECT_EQ(m.SubItem(1, 1), QString());
    QByteArray noise(100000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 7919 % 251);
    Put(file, noise);
    VolumeMemory n;
    n.Load(file); // whatever it makes of it, it does not crash
    SUCCEED();
}

TEST(PanelColours, ShadesAndTheRandomChoice) {
    EXPECT_EQ(SetPanelColor(3), 3);
    EXPECT_EQ(ShadeTable()[0], qRgb(255, 255, 255));
    EXPECT_EQ(ShadeTable()[100], qRgb(189, 254, 189));
    EXPECT_EQ(ShadeTable()[255], qRgb(34, 99, 34));
    EXPECT_EQ(SetPanelColor(0, [] { return 0.0; }), 1);
    EXPECT_EQ(SetPanelColor(0, [] { return 0.99999; }), 8);
    EXPECT_EQ(DisplayColour(42), qRgb(250, 250, 250));
}
