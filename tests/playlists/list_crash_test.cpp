// Crash consistency of the list files, measured from outside: a real process runs the list
// commands (change, save, save all, rename, new, delete, import) without pause and is killed with
// SIGKILL at a random moment, over and over. After every kill each list file must load whole,
// holding one complete version of its rows, and nothing left behind may pass for a list.
//
// The saving process is this test binary itself, running the disabled test below.
#include "platform/dialogs.h"
#include "platform/message_box.h"
#include "playlists/list_files.h"
#include "playlists/list_of_lists.h"
#include "playlists/track_list.h"
#include "playlists/track_list_host.h"
#include "support/audio_files.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace kv::playlists;

namespace {

constexpr int kKeptLists = 4; // "P0".."P3" are renamed and changed, never deleted
const char* const kFolderVariable = "KAVETTO_CRASH_FOLDER";
const char* const kSeedVariable = "KAVETTO_CRASH_SEED";
const char* const kImportVariable = "KAVETTO_CRASH_IMPORT";

// Every version of a list's rows is recognisable whole: each row carries the version's tag
// ("<list>v<number>"), the row count and its own index.
QVector<TrackEntry> VersionRows(const QString& tag, int count) {
    QVector<TrackEntry> rows;
    for (int i = 0; i < count; ++i) {
        TrackEntry row;
        row[ColFile] = QStringLiteral("%1.mp3").arg(i);
        row[ColArtist] = tag;
        row[ColTitle] = QString::number(count);
        row[ColKind] = kKindNothing;
        row[ColPath] = QStringLiteral("/nonexistent/%1/%2.mp3").arg(tag).arg(i);
        rows.append(row);
    }
    return rows;
}

// The import source: broken links whose names say the same.
QByteArray ImportText(int count) {
    QByteArray text = "#EXTM3U\n";
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("/nonexistent/imp/I_%1_%2.mp3\n").arg(count).arg(i).toUtf8();
    return text;
}

// "" when the rows are one whole version, else what is wrong.
QString CheckWhole(const QVector<TrackEntry>& rows) {
    if (rows.isEmpty()) return {};
    if (rows[0][ColArtist].isEmpty()) { // imported: I_<count>_<index>.mp3
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i][ColFile] != QStringLiteral("I_%1_%2.mp3").arg(rows.size()).arg(i))
                return QStringLiteral("imported row %1 is %2").arg(i).arg(rows[i][ColFile]);
        return {};
    }
    const QString tag = rows[0][ColArtist];
    if (rows[0][ColTitle].toInt() != rows.size())
        return QStringLiteral("%1 of %2 rows of %3").arg(rows.size()).arg(rows[0][ColTitle], tag);
    const QVector<TrackEntry> expected = VersionRows(tag, int(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        if (!rows[i].SameColumns(expected[i]))
            return QStringLiteral("row %1 is not of version %2").arg(i).arg(tag);
    return {};
}

class NoHost : public TrackListHost {};
class NoListHost : public ListOfListHost {};

// The saving process. Runs only when the crash test starts it.
TEST(ListCrash, DISABLED_SaverProcess) {
    const QString folder = qEnvironmentVariable(kFolderVariable);
    if (folder.isEmpty()) GTEST_SKIP() << "started by ListCrash.KilledSaverLeavesEveryListWhole";
    std::mt19937 random(qEnvironmentVariableIntValue(kSeedVariable));
    const QString importFile = qEnvironmentVariable(kImportVariable);
    const QString seed = QString::number(qEnvironmentVariableIntValue(kSeedVariable));
    int serial = 0;
    kv::platform::SetMessageHandler(
        [](const kv::platform::MessageRequest&) { return kv::platform::MsgAnswer::Yes; });
    kv::platform::SetDialogHandler([&](const kv::platform::DialogRequest& r) -> QStringList {
        if (r.kind == kv::platform::DialogRequest::Kind::OpenFiles) return {importFile};
        // Renamed kept lists keep their letter; new lists are "T".
        const QChar letter = r.defaultText.startsWith(u'P') ? u'P' : u'T';
        return {
            QStringLiteral("%1%2_%3_%4").arg(letter).arg(r.defaultText.mid(1, 1)).arg(seed).arg(++serial)};
    });
    NoHost host;
    NoListHost listHost;
    QComboBox box;
    TrackList tracks(host);
    ListOfLists lists(box, tracks, listHost, folder);
    lists.StartUp();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);

    auto pick = [&](bool kept) {
        QStringList names;
        for (const QString& n : lists.Names())
            if (n.startsWith(u'P') == kept) names << n;
        return names.isEmpty() ? QString() : names[int(random() % names.size())];
    };
    for (int step = 0;; ++step) {
        switch (random() % 7) {
        case 0:
        case 1: { // a change to a kept list, written to its working copy as every change is.
            // Up to 2,000 rows: long enough a write that kills land inside writes often (a list
            // written in place instead of by rename fails this test within a few kills).
            const QString name = pick(true);
            lists.SelectList(name);
            const QString id = lists.Names().isEmpty() ? QString() : name.mid(1, 1);
            TrackListModel& rows = tracks.ListView(TrackViews::kPlaylistView);
            rows.Clear();
            rows.AppendRows(
                VersionRows(QStringLiteral("P%1v%2s%3").arg(id, seed).arg(step), 1 + int(random() % 2000)));
            lists.SaveWorkingCopy(name);
            lists.SetSaveButtonImage(kSaveImage);
            break;
        }
        case 2:
            lists.SelectList(pick(true));
            lists.SaveList(lists.SelectedName());
            break;
        case 3:
            lists.SaveList(kSaveAllLists);
            break;
        case 4:
            lists.SelectList(pick(true));
            lists.RenameList(lists.SelectedName());
            break;
        case 5:
            if (lists.Names().size() < 8) {
                lists.NewList();
            } else {
                lists.SelectList(pick(false));
                lists.DeleteList(lists.SelectedName());
            }
            break;
        case 6:
            if (lists.Names().size() < 8) lists.ImportList();
            break;
        }
    }
}

TEST(ListCrash, KilledSaverLeavesEveryListWhole) {
    kvtest::TempDir listDir, importDir;
    const QString folder = QString::fromStdString(listDir.path());
    const QString importFile = QString::fromStdString(importDir.file("imp.m3u"));
    {
        QFile f(importFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ImportText(40));
    }
    for (int id = 0; id < kKeptLists; ++id)
        ASSERT_TRUE(WriteListFile(CommittedPath(folder, QStringLiteral("P%1").arg(id)),
                                  VersionRows(QStringLiteral("P%1v0").arg(id), 50), true));

    std::mt19937 random(20261208);
    constexpr int kKills = 200;
    int leftovers = 0;
    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess saver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kFolderVariable), folder);
        env.insert(QString::fromLatin1(kSeedVariable), QString::number(kill));
        env.insert(QString::fromLatin1(kImportVariable), importFile);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        saver.setProcessEnvironment(env);
        saver.setProcessChannelMode(QProcess::SeparateChannels);
        saver.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=ListCrash.DISABLED_SaverProcess"),
                     QStringLiteral("--gtest_also_run_disabled_tests")});
        ASSERT_TRUE(saver.waitForStarted(10000));
        bool ready = false; // GoogleTest's own lines come first
        while (!ready && (saver.canReadLine() || saver.waitForReadyRead(10000)))
            while (!ready && saver.canReadLine())
                ready = saver.readLine() == "ready\n";
        ASSERT_TRUE(ready) << "kill " << kill << ": " << saver.readAllStandardError().toStdString();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60'000));
        ::kill(pid_t(saver.processId()), SIGKILL);
        ASSERT_TRUE(saver.waitForFinished(10000));
        ASSERT_EQ(saver.exitStatus(), QProcess::CrashExit)
            << "kill " << kill << ": the saver stopped by itself";

        // What a later start sees: every "*.kvt" a list, each whole.
        QSet<int> keptFound;
        const QStringList names = EnumerateLists(folder);
        for (const QString& name : names) {
            const ListReadResult read = ReadListFile(CommittedPath(folder, name), false);
            ASSERT_TRUE(read.opened && !read.lossy) << "kill " << kill << ": " << name.toStdString();
            const QString fault = CheckWhole(read.rows);
            ASSERT_TRUE(fault.isEmpty())
                << "kill " << kill << ": " << name.toStdString() << ": " << fault.toStdString();
            if (name.startsWith(u'P') && !read.rows.isEmpty())
                keptFound.insert(read.rows[0][ColArtist].mid(1, 1).toInt());
        }
        EXPECT_EQ(keptFound.size(), kKeptLists) << "kill " << kill << ": a kept list is gone";
        for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
            const QString file = f.fileName();
            if (file.endsWith(kCommittedExtension) &&
                names.contains(file.chopped(kCommittedExtension.size())))
                continue;
            if (file.endsWith(kWorkingExtension)) continue;
            // Anything else is a temporary of a write the kill cut short.
            ++leftovers;
            ASSERT_TRUE(file.startsWith(u'.'))
                << "kill " << kill << ": a visible stray file " << file.toStdString();
            ASSERT_FALSE(file.endsWith(kCommittedExtension)) << file.toStdString();
            QFile::remove(f.filePath());
        }
    }
    std::printf("%d kills in %.1f s; %d temporaries of cut writes left behind (none taken for a list)\n",
                kKills, clock.elapsed() / 1000.0, leftovers);
}

} // namespace
