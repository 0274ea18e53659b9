// Files into rows: WAVE and MIDI readers on files made here (sound, truncated and lying), drops,
// the folder view, refreshing, opening a track and the icon keys.
#include "fake_host.h"
#include "platform/files.h"
#include "playlists/list_files.h"
#include "playlists/track_icons.h"
#include "playlists/track_info.h"
#include "support/audio_files.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

using namespace kv::playlists;
using kv::platform::MsgIcon;
using kvtest::FakeHost;
using kvtest::MessageRecorder;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray Le32(quint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}
QByteArray Be32(quint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * (3 - i)));
    return b;
}

// A WAVE header of 44 bytes naming `byteRate`, followed by `dataBytes` bytes.
QByteArray Wave(quint32 byteRate, int dataBytes) {
    QByteArray b = "RIFF" + Le32(36 + dataBytes) + "WAVEfmt " + Le32(16);
    b += QByteArray::fromHex("01000200") + Le32(44100) + Le32(byteRate) + QByteArray::fromHex("04001000");
    b += "data" + Le32(dataBytes) + QByteArray(dataBytes, '\0');
    return b;
}

// A MIDI file: header with `tracks`, then one track chunk claiming `claimed` bytes of `track`.
QByteArray Midi(const QByteArray& track, int tracks = 1, qint64 claimed = -1) {
    QByteArray b = "MThd" + Be32(6) + QByteArray::fromHex("0001") + QByteArray(1, char(tracks >> 8)) +
                   QByteArray(1, char(tracks)) + QByteArray::fromHex("01e0");
    b += "MTrk" + Be32(quint32(claimed < 0 ? track.size() : claimed)) + track;
    return b;
}
QByteArray NameEvent(const QByteArray& text, char type = 0x03) {
    return QByteArray::fromHex("00ff") + QByteArray(1, type) + QByteArray(1, char(text.size())) + text;
}
const QByteArray kEndOfTrack = QByteArray::fromHex("00ff2f00");

class TrackFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int v = 0; v < TrackViews::kCount; ++v)
            testers_[v] = std::make_unique<QAbstractItemModelTester>(
                &list.ListView(v), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    QString File(const QString& name, const QByteArray& bytes) {
        QString path = Q(dir.path()) + "/" + name;
        WriteFile(path, bytes);
        return path;
    }
    QStringList Paths(int view) {
        QStringList out;
        for (const TrackEntry& e : list.ListView(view).AllRows())
            out << e.Path();
        return out;
    }
    TrackListModel& Playlist() { return list.ListView(TrackViews::kPlaylistView); }
    TrackListModel& Folder() { return list.ListView(TrackViews::kFolderView); }

    kvtest::TempDir dir;
    FakeHost host;
    TrackList list{host};

  private:
    std::unique_ptr<QAbstractItemModelTester> testers_[TrackViews::kCount];
};

} // namespace

TEST_F(TrackFilesTest, WaveDurationIsLengthOverByteRateAndMinusOneOnAnyFault) {
    struct Case {
        const char* name;
        QByteArray bytes;
        int seconds;
    } cases[] = {
        {"one.wav", Wave(1000, 1000 - 44 + 1), 1},    // just over one second, header included
        {"under.wav", Wave(1000, 1000 - 44 - 1), -1}, // 0 seconds counts as unreadable
        {"ten.wav", Wave(100, 1000 - 44), 10},
        {"zero-rate.wav", Wave(0, 100), -1},
        {"short.wav", QByteArray(20, 'x'), -1},
        {"no-rate.wav", QByteArray(30, 'x'), -1},      // ends before the byte rate
        {"huge-rate.wav", Wave(0xFFFFFFFFu, 100), -1}, // a lying rate is a big unsigned number
        {"empty.wav", QByteArray(), -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadWaveDuration(File(c.name, c.bytes)), c.seconds) << c.name;
    EXPECT_EQ(ReadWaveDuration(Q(dir.file("missing.wav"))), -1);
    EXPECT_EQ(ReadWaveDuration(Q(dir.path())), -1);
    // A real file from the test support: 3 s of 44.1 kHz stereo.
    EXPECT_EQ(ReadWaveDuration(Q(kvtest::MakeWave(dir.file("real.wav"), 3.0))), 3);
}

TEST_F(TrackFilesTest, MidiTitleReadsTheFirstTextEventWithinEveryBound) {
    QByteArray longText(300, 'L');
    QByteArray longEvent =
        QByteArray::fromHex("00ff03") + QByteArray(1, char(128 + 1)) + QByteArray(1, char(44)) + longText;
    QByteArray note = QByteArray::fromHex("00903c40");
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* title;
    } cases[] = {
        {"name.mid", Midi(NameEvent("Song") + kEndOfTrack), "Song"},
        {"text.mid", Midi(note + NameEvent("Words", 0x01) + kEndOfTrack), "Words"},
        {"japanese.mid", Midi(NameEvent("曲名") + kEndOfTrack), "曲名"},
        {"sjis.mid", Midi(NameEvent(QByteArray::fromHex("8bc896bc")) + kEndOfTrack), "曲名"},
        {"long.mid", Midi(longEvent + kEndOfTrack), nullptr}, // (129-128)*256+44 = 300 bytes
        {"none.mid", Midi(note + kEndOfTrack), ""},
        {"no-tracks.mid", Midi(NameEvent("Song"), 0), ""},
        {"not-midi.mid", "RIFF" + QByteArray(40, 'x'), ""},
        {"short.mid", QByteArray("MThd\0\0\0\6\0\1\0\1\1", 14), ""},
        {"no-mtrk.mid", Midi(NameEvent("Song")).replace("MTrk", "XTrk"), ""},
        // The text runs past the end of the track data.
        {"text-past-end.mid", Midi(QByteArray::fromHex("00ff0310") + "abc"), ""},
        // The chunk claims two bytes more than follow it: the bytes that are there still count,
        // and no read goes past them.
        {"claims-more.mid", Midi(NameEvent("Song"), 1, NameEvent("Song").size() + 2), "Song"},
        {"claims-far-more.mid", Midi(NameEvent("Song"), 1, 100000), ""},
        {"negative-length.mid", Midi(NameEvent("Song"), 1, 0x80000000LL), ""},
        // The length byte is the last byte of the data, and a long length lacks its second byte.
        {"cut-length.mid", Midi(QByteArray::fromHex("00ff03")) + QByteArray(20, '\0'), ""},
        {"cut-long.mid", Midi(QByteArray::fromHex("00ff0381")), ""},
        {"nul-inside.mid", Midi(NameEvent(QByteArray("Ti\0tle", 6)) + kEndOfTrack), "Ti"},
    };
    for (const Case& c : cases) {
        QString title = ReadMidiTitle(File(c.name, c.bytes));
        if (c.title)
            EXPECT_EQ(title, QString::fromUtf8(c.title)) << c.name;
        else
            EXPECT_EQ(title, QString(longText)) << c.name;
    }
    // An event beyond the first 3000 bytes is not looked for.
    QByteArray far = QByteArray(3000, '\0') + NameEvent("Late") + kEndOfTrack;
    EXPECT_EQ(ReadMidiTitle(File("late.mid", Midi(far))), "");
    EXPECT_EQ(ReadMidiTitle(Q(dir.file("missing.mid"))), "");
}

TEST_F(TrackFilesTest, HostileMidiHeadersNeverCrashOrReadPastTheData) {
    // Every prefix of a valid file, and every claimed length near the edges.
    QByteArray good = Midi(NameEvent("Song") + kEndOfTrack);
    for (int n = 0; n <= good.size(); ++n)
        ReadMidiTitle(File("prefix.mid", good.left(n)));
    for (qint64 claimed :
         {0LL, 1LL, 2LL, 3LL, 4LL, 5LL, 6LL, 7LL, 8LL, 9LL, 10LL, 0x7FFFFFFFLL, 0xFFFFFFFFLL}) {
        QString title = ReadMidiTitle(File("claimed.mid", Midi(NameEvent("Song"), 1, claimed)));
        if (claimed < 7) EXPECT_EQ(title, "") << claimed; // the title needs 7 bytes of track
    }
    SUCCEED();
}

TEST_F(TrackFilesTest, SupportedExtensionsAreASubstringOfThePattern) {
    for (const char* ext :
         {"mp3", "MP3",  "mid", "m1v", "mp",  "wav",  "ram", "ra",  "m",   "flac", "FLAC", "oga",
          "ogg", "opus", "m4a", "mp4", "aac", "alac", "wv",  "ape", "tta", "aif",  "aiff"})
        EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
    for (const char* ext : {"", "txt", "mkv", "dsf"})
        EXPECT_FALSE(IsSupportedExtension(ext)) << ext;
    EXPECT_TRUE(IsEngineAudioKind("Flac"));
    EXPECT_FALSE(IsEngineAudioKind("mp3"));
    EXPECT_FALSE(IsEngineAudioKind("wav"));
}

TEST_F(TrackFilesTest, LongPathIsAbsoluteAndCleanAndKeepsLinks) {
    QString file = File("Track.mp3", QByteArray(100, 'x'));
    QDir().mkpath(Q(dir.file("sub")));
    QFile::link(file, Q(dir.file("link.mp3")));
    QFile::link(Q(dir.file("sub")), Q(dir.file("linkdir")));
    QFile::link(file, Q(dir.file("sub/inner.mp3")));
    const QString clean = QDir::cleanPath(file);
    EXPECT_EQ(LongPath(file), clean);
    EXPECT_EQ(LongPath(Q(dir.file("sub/../Track.mp3"))), clean);
    EXPECT_EQ(LongPath(Q(dir.file("./sub/./../Track.mp3"))), clean);
    EXPECT_EQ(LongPath(Q(dir.file("link.mp3"))), QDir::cleanPath(Q(dir.file("link.mp3"))));
    EXPECT_EQ(LongPath(Q(dir.file("linkdir/inner.mp3"))), QDir::cleanPath(Q(dir.file("linkdir/inner.mp3"))));
    EXPECT_EQ(LongPath(Q(dir.file("missing/Track.mp3"))), "");
    EXPECT_EQ(LongPath(""), "");
    // A relative path is taken against the current folder.
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Q(dir.file("sub"))));
    EXPECT_EQ(LongPath("../Track.mp3"), clean);
    EXPECT_EQ(LongPath("inner.mp3"), QDir::cleanPath(Q(dir.file("sub/inner.mp3"))));
    QDir::setCurrent(cwd);
}

TEST_F(TrackFilesTest, IconKeysByExtensionWithLyricsAndFolders) {
    QString song = File("song.mp3", QByteArray(100, 'x'));
    QString other = File("other.mp3", QByteArray(100, 'x'));
    File("song.txt", "words");
    EXPECT_EQ(IconKey(song, "mp3"), "wordsmp3");
    EXPECT_EQ(IconKey(other, "mp3"), "mp3");
    EXPECT_TRUE(ListViewImage().Has("mp3"));
    EXPECT_TRUE(ListViewImage().Has("wordsmp3"));
    QDir().mkpath(Q(dir.file("a")));
    QDir().mkpath(Q(dir.file("b")));
    QString folderKey = IconKey(Q(dir.file("a")), "");
    EXPECT_TRUE(folderKey.startsWith("Dir:"));
    EXPECT_EQ(IconKey(Q(dir.file("b")), ""), folderKey); // one image for folders that look alike
    EXPECT_FALSE(ListViewImage().Icon("wordsmp3").isNull());
    EXPECT_FALSE(ListViewImage().Icon("playIcon").isNull());
    EXPECT_FALSE(ListViewImage().Icon("nothing").isNull());
}

TEST_F(TrackFilesTest, DroppedFilesGoAfterTheTargetOnceAndInDragOrder) {
    QString a = File("a.mp3", QByteArray(100, 'a'));
    QString b = File("b.wav", Wave(100, 200));
    QString c = File("c.mid", Midi(NameEvent("Cee") + kEndOfTrack));
    QString d = File("d.mp3", QByteArray(100, 'd'));
    QString e = File("e.m1v", QByteArray(100, 'e'));
    QString text = File("notes.txt", "x");
    QDir().mkpath(Q(dir.file("folder.mp3")));
    list.InsertDroppedFiles({a, b, c}, -1);
    EXPECT_EQ(Paths(1), QStringList({a, b, c}));
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({0, 1, 2}));
    EXPECT_EQ(Playlist().Row(1)[ColTime], "0：02");
    EXPECT_EQ(Playlist().Row(1)[ColTitle], "【b.wav】");
    EXPECT_EQ(Playlist().Row(2)[ColTitle], "Cee");
    EXPECT_EQ(Playlist().Row(1)[ColSize], "244B");
    EXPECT_EQ(Playlist().Row(1)[ColDefaultSize], "0000000244");
    EXPECT_EQ(Playlist().Row(1).icon, "wav");

    // Onto row a: d, then b moves here from below; the folder, the text file, a file gone since
    // the drag and a second copy of d are left out; .m1v passes the extension test.
    list.InsertDroppedFiles({d, Q(dir.file("folder.mp3")), b, text, Q(dir.file("gone.mp3")), d, e}, 0);
    EXPECT_EQ(Paths(1), QStringList({a, d, b, e, c}));
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({1, 2, 3}));

    // Onto the old row of a dropped file: it stays in that place, once.
    list.InsertDroppedFiles({b}, 2);
    EXPECT_EQ(Paths(1), QStringList({a, d, b, e, c}));
    list.InsertDroppedFiles({a}, 0);
    EXPECT_EQ(Paths(1), QStringList({a, d, b, e, c}));
}

TEST_F(TrackFilesTest, DropHandlerSavesTheListAndMarksThePlayingRow) {
    QString a = File("a.mp3", QByteArray(100, 'a'));
    host.playing = a;
    list.DropOnView(1, {a}, true, -1);
    EXPECT_EQ(Playlist().Row(0).icon, "playIcon");
    EXPECT_EQ(host.savedLists, QStringList({"list"}));
    EXPECT_EQ(host.saveImages, QStringList({"save"}));
}

TEST_F(TrackFilesTest, BadInputIsSkippedWithoutLosingTheRest) {
    QString zero = File("zero.mp3", QByteArray());
    QString ten = File("ten.mid", QByteArray(10, 'M'));
    QString japanese = File("日本語の曲.wav", Wave(1000, 5000));
    QString junk = File("junk.mp3", QByteArray(5000, '\x55'));
    // A name whose bytes are not UTF-8 comes back from the system as text that names no file.
    QByteArray rawName = QFile::encodeName(Q(dir.path())) + "/bad\xff\xfe.mp3";
    { QFile f(QFile::decodeName(rawName)); }
    FILE* raw = fopen(rawName.constData(), "wb");
    ASSERT_NE(raw, nullptr);
    fwrite("0123456789abcdef", 1, 16, raw);
    fclose(raw);
    list.InsertDroppedFiles({zero, ten, japanese, junk, QFile::decodeName(rawName)}, -1);
    QStringList paths = Paths(1);
    EXPECT_TRUE(paths.contains(zero));
    EXPECT_TRUE(paths.contains(ten));
    EXPECT_TRUE(paths.contains(japanese));
    EXPECT_TRUE(paths.contains(junk));
    EXPECT_EQ(Playlist().Row(list.FindRow(1, japanese) - 1)[ColTime], "0：05");
    EXPECT_EQ(Playlist().Row(list.FindRow(1, ten) - 1)[ColTitle], "【ten.mid】");
    EXPECT_EQ(Playlist().Row(list.FindRow(1, junk) - 1)[ColTitle], "【junk.mp3】");
}

TEST_F(TrackFilesTest, FolderViewListsFoldersAndMediaAndWarnsOnceAboutTinyFiles) {
    MessageRecorder messages;
    QDir().mkpath(Q(dir.file("サブ")));
    File("tiny.mp3", QByteArray(10, 'x'));
    File("tiny2.wav", QByteArray(3, 'x'));
    QString song = File("song.wav", Wave(1000, 3000));
    File("clip.m1v", QByteArray(100, 'x')); // the media pattern has "*,m1v": never listed
    File("notes.txt", QByteArray(100, 'x'));
    File("Loud.MP3", QByteArray(100, 'x'));
    host.folder = Q(dir.path());
    list.FillFolderView();
    ASSERT_EQ(Folder().Count(), 3);
    EXPECT_EQ(Folder().Row(0)[ColFile], "サブ");
    EXPECT_EQ(Folder().Row(0)[ColKind], "Directory");
    EXPECT_EQ(Folder().Row(0).Path(), Q(dir.file("サブ")));
    EXPECT_EQ(Folder().Row(1)[ColFile], "Loud.MP3");
    EXPECT_EQ(Folder().Row(1)[ColKind], "mp3");
    EXPECT_EQ(Folder().Row(2).Path(), song);
    EXPECT_EQ(Folder().Row(2)[ColTime], "0：03");
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, "｢" + Q(dir.path()) +
                                          "｣の中に\nサイズが極端に小さなファイルがあります。\n"
                                          "これらのファイルの読込に失敗しました。");
    EXPECT_EQ(messages.asked[0].icon, MsgIcon::Critical);
    EXPECT_EQ(host.busy, 0);

    // Opening the folder row fills the view from it.
    list.State().ActiveView = 0;
    Folder().SetCurrentRow(0);
    list.RowActivated(0);
    EXPECT_EQ(host.folderTreePaths, QStringList({Q(dir.file("サブ"))}));
    EXPECT_EQ(Folder().Count(), 0);
    EXPECT_EQ(host.playSelected, 0);
}

TEST_F(TrackFilesTest, FolderFillStopsWhenTheWindowIsHidden) {
    MessageRecorder messages;
    for (int i = 0; i < 12; ++i)
        File(QString("s%1.wav").arg(i, 2, 10, QChar('0')), Wave(1000, 3000));
    File("tiny.mp3", QByteArray(5, 'x'));
    host.folder = Q(dir.path());
    host.mayFill = false;
    list.FillFolderView();
    EXPECT_EQ(Folder().Count(), 12);
    EXPECT_EQ(Folder().Row(0)[ColTime], "");
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_EQ(host.busy, 0);
}

TEST_F(TrackFilesTest, RefreshDropsEmptyRowsMarksMissingFilesAndRestoresKinds) {
    QString a = File("a.mp3", QByteArray(100, 'a'));
    TrackEntry back;
    back[ColPath] = a;
    back[ColKind] = "nothing";
    back.icon = "nothing";
    TrackEntry missing;
    missing[ColPath] = Q(dir.file("gone.mp3"));
    missing[ColKind] = "mp3";
    Playlist().AppendRows({back, TrackEntry(), missing});
    list.RefreshLists();
    ASSERT_EQ(Playlist().Count(), 2);
    EXPECT_EQ(Playlist().Row(0).Kind(), "mp3");
    EXPECT_EQ(Playlist().Row(0).icon, "mp3");
    EXPECT_EQ(Playlist().Row(1).icon, "nothing");
    EXPECT_EQ(host.savedLists, QStringList({"list"}));
}

TEST_F(TrackFilesTest, OpenTrackGivesTheLongPathToTheDeviceAndMovesTheMarker) {
    QString song = File("song.wav", Wave(1000, 5000));
    // Opened through a link, the track is the link: its row gets the mark.
    const QString alias = QDir::cleanPath(Q(dir.file("alias.wav")));
    QFile::link(song, alias);
    TrackEntry row;
    row[ColPath] = alias;
    row[ColKind] = "wav";
    TrackEntry old;
    old[ColPath] = Q(dir.file("old.mp3"));
    old[ColKind] = "mp3";
    old.icon = "playIcon";
    Folder().AppendRows({row});
    Playlist().AppendRows({old});
    Playlist().SetAllSelected(true);
    list.State().PlayingView = 1;

    list.OpenTrack(Q(dir.file("./alias.wav")));
    EXPECT_EQ(host.deviceOpened, QStringList({alias}));
    EXPECT_EQ(host.trackInformation, QStringList({"alias.wav", "", "", "0：05"}));
    EXPECT_EQ(host.labels, host.trackInformation);
    EXPECT_EQ(Playlist().Row(0).icon, "nothing"); // the old mark gives way to its own icon
    EXPECT_EQ(Playlist().SelectedCount(), 0);
    EXPECT_EQ(Folder().Row(0).icon, "playIcon");
    EXPECT_EQ(list.State().PlayingView, 0);

    MessageRecorder messages;
    list.OpenTrack(Q(dir.file("missing.wav")));
    EXPECT_TRUE(messages.asked.empty());
    // A kind nothing plays is said once, by name, rather than passed over in silence.
    list.OpenTrack(File("notes.txt", "x"));
    EXPECT_EQ(host.deviceOpened.size(), 1);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text,
              "「notes.txt」は再生できません。\nこの種類のファイルを再生できる機能がありません。");
}

TEST_F(TrackFilesTest, FlacAndOpusRowsGetTagsAndPlayTimeAndDamagedOnesStayNameOnly) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    auto make = [&](const char* name, const char* codec) {
        const std::string p = dir.file(name);
        EXPECT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i 'sine=r=48000:d=3.2' -metadata title='夜の歌' "
                               "-metadata artist='山田' -c:a " +
                               std::string(codec) + " '" + p + "'")
                                  .c_str()),
                  0);
        return Q(p);
    };
    const QString flac = make("a.flac", "flac"), opus = make("b.opus", "libopus");
    const QString broken = File("c.flac", QByteArray("fLaC") + QByteArray(100, '\x7f'));
    list.InsertDroppedFiles({flac, opus, broken}, -1);
    ASSERT_EQ(Playlist().Count(), 3);
    for (int row : {0, 1}) {
        EXPECT_EQ(Playlist().Row(row)[ColTitle], "夜の歌");
        EXPECT_EQ(Playlist().Row(row)[ColArtist], "山田");
        EXPECT_EQ(Playlist().Row(row)[ColTime], "0：03");
    }
    EXPECT_EQ(Playlist().Row(2)[ColTitle], "【c.flac】");
    EXPECT_EQ(ReadTrackInformation(flac), QStringList({"a.flac", "山田", "夜の歌", "0：03"}));
}

TEST_F(TrackFilesTest, Mp3RowsGetTagAndPlayTimeFromTheEngine) {
    QString song = Q(kvtest::MakeMp3(dir.file("tone.mp3"), 3.0));
    list.InsertDroppedFiles({song}, -1);
    ASSERT_EQ(Playlist().Count(), 1);
    EXPECT_EQ(Playlist().Row(0)[ColTime], "0：03");
    EXPECT_EQ(Playlist().Row(0)[ColTitle], "【tone.mp3】");
    EXPECT_EQ(Playlist().Row(0)[ColArtist], "");
}

TEST_F(TrackFilesTest, FillsInterruptedByTheUserLeaveConsistentViews) {
    // Events run while rows are filled; a timer stands for the user choosing another folder, or
    // dropping more files, in that moment.
    QDir().mkpath(Q(dir.file("A")));
    QDir().mkpath(Q(dir.file("B")));
    QStringList first, second;
    for (int i = 0; i < 30; ++i) {
        File(QString("A/a%1.wav").arg(i, 2, 10, QChar('0')), Wave(1000, 2000));
        first << File(QString("a%1.wav").arg(i, 2, 10, QChar('0')), Wave(1000, 2000));
    }
    for (int i = 0; i < 3; ++i) {
        File(QString("B/b%1.wav").arg(i), Wave(1000, 4000));
        second << File(QString("b%1.wav").arg(i), Wave(1000, 4000));
    }
    host.folder = Q(dir.file("A"));
    QTimer::singleShot(0, [&] {
        host.folder = Q(dir.file("B"));
        list.FillFolderView();
    });
    list.FillFolderView();
    ASSERT_EQ(Folder().Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Folder().Row(i)[ColTime], "0：04");
    EXPECT_EQ(host.busy, 0);

    QTimer::singleShot(0, [&] { list.InsertDroppedFiles(second + QStringList{first[0]}, -1); });
    list.InsertDroppedFiles(first, -1);
    QStringList paths = Paths(1);
    EXPECT_EQ(paths.size(), 33);
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 33);
    // The outer drop began on an empty list, so its rows go first, in order; its copy of a00
    // replaces the nested drop's.
    EXPECT_TRUE(paths.mid(0, 30) == first);
    EXPECT_TRUE(paths.mid(30) == second);
}

TEST_F(TrackFilesTest, NamesWithLineBreaksAreRefusedOnceAndNeverSplitAListFile) {
    const QString good = File("good.wav", Wave(1000, 2000));
    const QString evil = File("evil\n0:injected.wav", Wave(1000, 2000));
    const QString cr = File("cr\r.wav", Wave(1000, 2000));
    {
        kvtest::MessageRecorder messages;
        list.InsertDroppedFiles({evil, good, cr}, -1);
        EXPECT_EQ(Paths(TrackViews::kPlaylistView), QStringList{good});
        ASSERT_EQ(messages.asked.size(), 1u); // one message for the whole drop
        EXPECT_EQ(messages.asked[0].text, QStringLiteral("名前に改行を含むファイルは、リストに追加できません。"));
    }
    {
        // Dragged over from the folder view, where they are listed (and can be played).
        TrackEntry row;
        row[ColKind] = "wav";
        for (const QString& path : {evil, cr}) {
            row[ColPath] = path;
            Folder().AppendRows({row});
        }
        Folder().SetAllSelected(true);
        kvtest::MessageRecorder messages;
        list.MoveDroppedRows(TrackViews::kFolderView, -1);
        EXPECT_EQ(Paths(TrackViews::kPlaylistView), QStringList{good});
        EXPECT_EQ(messages.asked.size(), 1u);
    }
    // Opened by name (the command line), it still plays.
    list.OpenTrack(evil);
    EXPECT_EQ(host.deviceOpened, QStringList{evil});

    // Whatever a row holds (a tag's title with a line break), its record keeps its lines.
    TrackEntry tagged;
    tagged[ColFile] = "good.wav";
    tagged[ColTitle] = "two\r\nlines";
    tagged[ColPath] = evil;
    const QString kvt = File("list.kvt", {});
    ASSERT_TRUE(WriteListFile(kvt, {tagged, tagged}, false));
    const ListReadResult back = ReadListFile(kvt, false);
    ASSERT_EQ(back.rows.size(), 2);
    EXPECT_FALSE(back.lossy);
    EXPECT_EQ(back.rows[0][ColTitle], "two  lines");
    EXPECT_EQ(back.rows[1][ColFile], "good.wav");
}
