// The broken-link repair: the one-walk index against a walk per name, the row rewrite with its
// information and volume memory, walk order and LastFoundFolder, stopping, links, unreadable
// folders, bad start folders and the log's scroll bar.
#include "platform/files.h"
#include "playlists/link_repair.h"
#include "playlists/link_search.h"
#include "playlists/list_box_hs.h"
#include "playlists/track_format.h"
#include "playlists/track_list_model.h"
#include "support/audio_files.h"
#include "support/qt_files.h"

#include <QDir>
#include <QListWidget>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kv::playlists;
using kvtest::Put;
using kvtest::Q;

namespace {

struct RecordingHost : RepairHost {
    QStringList renames;
    int saves = 0, events = 0;
    void RenameVolumeEntry(const QString& from, const QString& to) override { renames << from + " > " + to; }
    void SaveWorkingCopy() override { ++saves; }
    void LetEventsRun() override { ++events; }
};

struct Repair : ::testing::Test {
    kvtest::TempDir dir;
    QString root = Q(dir.path()) + "/tree";
    TrackListModel rows;
    RecordingHost host;
    QStringList log;

    void SetUp() override { QDir().mkpath(root); }
    QString Make(const QString& relative, const QByteArray& bytes = "x") {
        const QString path = root + "/" + relative;
        QDir().mkpath(QFileInfo(path).path());
        Put(path, bytes);
        return path;
    }
    // A row for a file that was at `oldPath` and is gone: marked as the reader marks it.
    void AddBroken(const QString& oldPath, const QString& start = QString()) {
        TrackEntry row;
        row[ColFile] = kv::platform::FileNameOf(oldPath);
        row[ColKind] = kKindNothing;
        row[ColPath] = oldPath;
        row[ColStart] = start;
        row.icon = kIconNothing;
        rows.AppendRows({row});
    }
    bool Search(
        const QString& start, std::function<bool()> stopped = [] { return false; }) {
        LinkSearch search(rows, host);
        return search.Run(
            start, [this](const QString& line) { log << line; }, stopped);
    }
};

TEST_F(Repair, MovedRowsAreRewrittenWithFreshInformationAndTheirVolumeMemory) {
    const QString wav = Q(kvtest::MakeWave(dir.file("song.wav"), 2.0, 8000, 1));
    const QString moved = root + "/music/2024/song.wav";
    QDir().mkpath(root + "/music/2024");
    ASSERT_TRUE(QFile::rename(wav, moved));
    AddBroken("/old/place/song.wav", "12");
    AddBroken("/old/place/gone.mp3");

    EXPECT_TRUE(Search(root));
    EXPECT_EQ(rows.Path(0), moved);
    EXPECT_EQ(rows.Text(0, ColFile), "song.wav");
    EXPECT_EQ(rows.Text(0, ColKind), "wav");
    EXPECT_EQ(rows.Text(0, ColTime), "0：02");
    EXPECT_EQ(rows.Text(0, ColTitle), "【song.wav】");
    EXPECT_EQ(rows.Text(0, ColDefaultSize), PadBytes(QFileInfo(moved).size()));
    EXPECT_EQ(rows.Text(0, ColStart), "12"); // the marks stay with the track
    EXPECT_NE(rows.Icon(0), kIconNothing);
    EXPECT_EQ(rows.Path(1), "/old/place/gone.mp3");
    EXPECT_EQ(host.renames, QStringList{"/old/place/song.wav > " + moved});
    EXPECT_EQ(log, (QStringList{"検索を開始します。", "検索中…", "", "【song.wav】　→　【" + moved + "】",
                                "【gone.mp3】　→　【見つかりませんでした。】", "", "検索を終了します"}));
}

TEST_F(Repair, FirstFolderInWalkOrderAndLastFoundFolderFirst) {
    Make("deep/a.txt");
    Make("deep/nest/a.txt"); // a.txt: parent before child
    Make("r.txt");
    Make("x/r.txt");   // r.txt: the root before its subfolders
    Make("p/q/b.txt"); // b.txt only under p/q: it becomes LastFoundFolder
    Make("c.txt");
    Make("p/q/c.txt");             // c.txt: found under LastFoundFolder before the root's own
    Make("folder.txt/inside.txt"); // a folder named like a missing file is no match
    for (const char* name : {"a.txt", "r.txt", "b.txt", "c.txt", "folder.txt"})
        AddBroken(QString("/gone/") + name);
    LinkSearch search(rows, host);
    search.Run(
        root, [](const QString&) {}, [] { return false; });
    EXPECT_EQ(rows.Path(0), root + "/deep/a.txt");
    EXPECT_EQ(rows.Path(1), root + "/r.txt");
    EXPECT_EQ(rows.Path(2), root + "/p/q/b.txt");
    EXPECT_EQ(rows.Path(3), root + "/p/q/c.txt");
    EXPECT_EQ(rows.Path(4), "/gone/folder.txt");
    EXPECT_TRUE(search.LastFoundFolder.isEmpty()); // the last row found nothing, which clears it
}

TEST_F(Repair, OneWalkAnswersLikeAWalkPerName) {
    // A random tree where names repeat across folders; every folder and name is compared.
    QRandomGenerator random(7);
    QStringList folders{root};
    for (int i = 0; i < 60; ++i) {
        const QString parent = folders[int(random.bounded(folders.size()))];
        const QString folder = parent + "/d" + QString::number(i);
        QDir().mkpath(folder);
        folders << folder;
    }
    QSet<QString> names;
    for (int i = 0; i < 150; ++i) {
        const QString name = "f" + QString::number(random.bounded(25)) + ".dat";
        Put(folders[int(random.bounded(folders.size()))] + "/" + name, "x");
        names.insert(name);
    }
    names.insert("never.dat");
    FolderIndex index;
    ASSERT_EQ(index.Build(root, names), folders.size());
    for (const QString& start : {folders[0], folders[5], folders[17]})
        for (const QString& name : names) {
            QStringList expected;
            const int count = FindFileUnder(start, name, expected);
            EXPECT_EQ(index.FoldersUnder(start, name), expected) << name.toStdString();
            EXPECT_EQ(count, expected.size());
        }
}

TEST_F(Repair, LinksNeitherLoopNorLeaveTheTree) {
    Make("a/b/x.dat");
    const QString outside = Q(dir.path()) + "/outside";
    QDir().mkpath(outside);
    Put(outside + "/y.dat", "y");
    ASSERT_EQ(symlink(root.toUtf8().constData(), (root + "/a/loop").toUtf8().constData()), 0);
    ASSERT_EQ(symlink(outside.toUtf8().constData(), (root + "/a/out").toUtf8().constData()), 0);
    ASSERT_EQ(
        symlink((root + "/a/b/x.dat").toUtf8().constData(), (root + "/linked.dat").toUtf8().constData()), 0);
    FolderIndex index;
    EXPECT_EQ(index.Build(root, {"x.dat", "y.dat", "linked.dat"}), 3); // root, a, a/b
    EXPECT_EQ(index.FoldersUnder(root, "x.dat"), QStringList{root + "/a/b"});
    EXPECT_TRUE(index.FoldersUnder(root, "y.dat").isEmpty());
    EXPECT_EQ(index.FoldersUnder(root, "linked.dat"), QStringList{root}); // a link to a file is that file
}

TEST_F(Repair, UnreadableFoldersArePassedOver) {
    Make("locked/z.dat");
    Make("open/z.dat");
    const QByteArray locked = (root + "/locked").toUtf8();
    ASSERT_EQ(chmod(locked.constData(), 0), 0);
    chmod(dir.path().c_str(), 0755);
    // The superuser reads every folder: the walk then runs as an ordinary user.
    const bool asRoot = geteuid() == 0;
    if (asRoot && seteuid(65534) != 0) GTEST_SKIP() << "cannot act as an ordinary user";
    FolderIndex index;
    const int walked = index.Build(root, {"z.dat"});
    if (asRoot) ASSERT_EQ(seteuid(0), 0);
    chmod(locked.constData(), 0755);
    EXPECT_EQ(walked, 3);
    EXPECT_EQ(index.FoldersUnder(root, "z.dat"), QStringList{root + "/open"});
}

TEST_F(Repair, StopEndsTheWalkWithinAFolderAndRowsStayAsTheyWere) {
    for (int i = 0; i < 20; ++i)
        Make("d" + QString::number(i) + "/e/x.dat");
    int asked = 0;
    FolderIndex index;
    index.Build(root, {"x.dat"}, WalkControl{[&] { return ++asked > 1; }, nullptr});
    EXPECT_TRUE(index.Stopped());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(index.FolderCount(), 2); // the root and the one folder walked before the stop

    AddBroken("/gone/x.dat");
    EXPECT_FALSE(Search(root, [] { return true; }));
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"", "検索を終了します。"}));
    EXPECT_EQ(rows.Path(0), "/gone/x.dat");

    // A stop between rows keeps the rows already rewritten.
    AddBroken("/gone/x.dat");
    log.clear();
    int rowsDone = 0;
    EXPECT_FALSE(Search(root, [&] { return log.size() > 3 && ++rowsDone >= 1; }));
    EXPECT_NE(rows.Path(0), "/gone/x.dat");
    EXPECT_EQ(rows.Path(1), "/gone/x.dat");
}

TEST_F(Repair, EventsRunThroughoutALongWalk) {
    for (int i = 0; i < 30; ++i)
        Make("d" + QString::number(i) + "/f.dat");
    int events = 0;
    FolderIndex index;
    index.Build(root, {"f.dat"}, WalkControl{nullptr, [&] { ++events; }, 0});
    EXPECT_EQ(events, 30); // with no time allowed between them: once per folder after the root
}

TEST_F(Repair, TheIndexKeepsEachFolderPathOnce) {
    // A walk from "/" or over a large share sees millions of folders: their paths are most of
    // what the index holds, and must not be held twice.
    const QString longName(240, u'n');
    qint64 pathBytes = 0;
    for (int i = 0; i < 600; ++i) {
        const QString folder = root + "/" + QString::number(i) + longName;
        mkdir(QFile::encodeName(folder).constData(), 0755);
        pathBytes += QFile::encodeName(folder).size();
    }
    const size_t before = mallinfo2().uordblks;
    FolderIndex index;
    ASSERT_EQ(index.Build(root, {"x.dat"}), 601);
    const qint64 held = qint64(mallinfo2().uordblks - before);
    // Once is about 1.5 times the paths' bytes with the index's own overhead, twice about 2.7.
    EXPECT_LT(held, pathBytes * 2) << pathBytes;
}

TEST_F(Repair, UnusableStartFolderIsAParameterErrorForEveryRow) {
    const QString file = Make("plain.dat");
    AddBroken("/gone/one.dat");
    AddBroken("/gone/two.dat");
    for (const QString& start : {root + "/missing", file, QString()}) {
        log.clear();
        Search(start);
        EXPECT_EQ(log.count("【one.dat】　→　【パラメータエラーが起こりました。】"), 1)
            << start.toStdString();
        EXPECT_EQ(log.count("【two.dat】　→　【パラメータエラーが起こりました。】"), 1)
            << start.toStdString();
    }
    QStringList results{"stale"};
    EXPECT_EQ(FindFileUnder(root + "/missing", "one.dat", results), -1);
    EXPECT_TRUE(results.isEmpty());
}

TEST_F(Repair, RecheckRefreshesEachKindFromItsOwnSource) {
    struct ClipHost : RecordingHost {
        QStringList opened;
        std::optional<Clip> ReadClip(const QString& path) override {
            opened << kv::platform::FileNameOf(path);
            return Clip{"Clip title", "Clip author", 65.9};
        }
    } clipHost;
    const QString wav = Q(kvtest::MakeWave(dir.file("tone.wav"), 3.0, 8000, 1));
    const QString mp3 = Q(kvtest::MakeMp3(dir.file("tone.mp3"), 2.0));
    struct Case {
        QString path, kind, artist, title, time;
    } cases[] = {
        {wav, "wav", "", "【tone.wav】", "0：03"},
        {mp3, "mp3", "", "【tone.mp3】", "0：02"},
        {Make("clip.wma"), "wma", "Clip author", "Clip title", "1：05"},
        {Make("song.mid"), "mid", "Clip author", "【song.mid】", "1：05"}, // the title is the file's own
        {Make("radio.rm"), "rm", "", "【radio.rm】", ""},                  // RealMedia is not opened
    };
    for (const Case& c : cases) {
        TrackEntry row;
        row[ColFile] = kv::platform::FileNameOf(c.path);
        row[ColKind] = kKindNothing; // a file that is back gets its kind back
        row[ColPath] = c.path;
        RecheckRow(row, clipHost);
        EXPECT_EQ(row[ColKind], c.kind) << c.path.toStdString();
        EXPECT_EQ(row[ColArtist], c.artist) << c.path.toStdString();
        EXPECT_EQ(row[ColTitle], c.title) << c.path.toStdString();
        EXPECT_EQ(row[ColTime], c.time) << c.path.toStdString();
        EXPECT_EQ(row[ColDefaultSize], PadBytes(QFileInfo(c.path).size()));
        EXPECT_NE(row.icon, kIconNothing);
    }
    EXPECT_EQ(clipHost.opened, (QStringList{"clip.wma", "song.mid"}));
}

TEST_F(Repair, MarkBrokenRowsCountsMissingFilesAndMarksThem) {
    const QString here = Make("here.dat");
    AddBroken("/gone/a.dat");
    TrackEntry present;
    present[ColFile] = "here.dat";
    present[ColKind] = "dat";
    present[ColPath] = here;
    rows.AppendRows({present});
    EXPECT_EQ(MarkBrokenRows(rows), 1);
    EXPECT_EQ(rows.Text(0, ColKind), kKindNothing);
    EXPECT_EQ(rows.Icon(0), kIconNothing);
    EXPECT_NE(rows.Icon(1), kIconNothing);
}

TEST(ListBoxHSTest, WideLineShowsTheScrollBarAndClearingRemovesIt) {
    QListWidget list;
    list.resize(200, 100);
    list.show();
    ListBoxHS log(&list);
    log.AddItem("short");
    EXPECT_EQ(log.HorizontalExtent(), 0);
    EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    log.AddItem(QString(120, QChar(u'検')));
    EXPECT_GT(log.HorizontalExtent(), 200);
    EXPECT_EQ(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    log.RemoveItem(1); // the widest goes: the bar goes with it
    EXPECT_EQ(log.HorizontalExtent(), 0);
    log.AddItem(QString(120, QChar(u'x')), 0);
    EXPECT_EQ(list.item(0)->text().size(), 120);
    log.Clear();
    EXPECT_EQ(log.HorizontalExtent(), 0);
    EXPECT_EQ(log.WidestWidth(), 0);
    EXPECT_EQ(list.count(), 0);
}

} // namespace
