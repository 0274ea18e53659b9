// The commands on named lists, as the user meets them through ListOfList and the toolbar.
#include "fake_host.h"
#include "platform/dialogs.h"
#include "playlists/list_of_lists.h"
#include "support/audio_files.h"
#include "support/qt_files.h"

#include <QComboBox>
#include <QFile>
#include <gtest/gtest.h>

using namespace kv::playlists;
using kv::platform::MsgAnswer;

namespace {
using kvtest::Bytes;
using kvtest::Put;
using kvtest::Q;
TrackEntry Row(const QString& name) {
    TrackEntry r;
    r[ColFile] = name;
    r[ColPath] = QStringLiteral("/nowhere/") + name;
    return r;
}

struct ListHost : ListOfListHost {
    QStringList images;
    QString playing;
    void SetSaveButtonImage(const QString& key) override { images << key; }
    QString PlayingListName() const override { return playing; }
};

// Answers input boxes and file pickers from a queue, and records what was asked.
struct Dialogs {
    QStringList answers;
    std::vector<kv::platform::DialogRequest> asked;
    Dialogs() {
        kv::platform::SetDialogHandler([this](const kv::platform::DialogRequest& r) {
            asked.push_back(r);
            return answers.isEmpty() ? QStringList{} : QStringList{answers.takeFirst()};
        });
    }
    ~Dialogs() { kv::platform::SetDialogHandler({}); }
};

struct Lists {
    kvtest::TempDir dir;
    QString folder = Q(dir.path());
    kvtest::FakeHost trackHost;
    TrackList tracks{trackHost};
    QComboBox box;
    ListHost host;
    ListOfLists lists{box, tracks, host, folder};

    TrackListModel& Shown() { return tracks.ListView(TrackViews::kPlaylistView); }
    QStringList ShownNames() {
        QStringList names;
        for (const TrackEntry& r : Shown().AllRows())
            names << r[ColFile];
        return names;
    }
    void MakeList(const QString& name, const QStringList& rows) {
        QVector<TrackEntry> entries;
        for (const QString& r : rows)
            entries << Row(r);
        ASSERT_TRUE(WriteListFile(CommittedPath(folder, name), entries, true));
    }
    // A change of the shown rows, as the track list makes one.
    void UserAdds(const QString& name) {
        Shown().AppendRows({Row(name)});
        lists.SaveWorkingCopy(lists.SelectedName());
        lists.SetSaveButtonImage(kSaveImage);
    }
    QString Kvt(const QString& name) { return CommittedPath(folder, name); }
    QString Backup(const QString& name) { return WorkingPath(folder, name); }
};
} // namespace

TEST(ListOfLists, StartUpSwitchAwayAndBackKeepsChangesAndTheModifiedState) {
    Lists l;
    l.MakeList("a", {"a1"});
    l.MakeList("b", {"b1", "b2"});
    l.lists.StartUp();
    EXPECT_EQ(l.lists.SaveButtonImage(), kNotSaveImage);
    EXPECT_TRUE(QFile::exists(l.Backup("a")) && QFile::exists(l.Backup("b")));
    l.lists.SelectList("a");
    EXPECT_EQ(l.ShownNames(), QStringList{"a1"});
    l.UserAdds("a2");
    l.lists.SelectList("b");
    EXPECT_EQ(l.ShownNames(), (QStringList{"b1", "b2"}));
    l.lists.SelectList("a");
    EXPECT_EQ(l.ShownNames(), (QStringList{"a1", "a2"}));
    EXPECT_EQ(l.lists.SaveButtonImage(), kSaveImage);
    EXPECT_EQ(ReadListFile(l.Kvt("a"), false).rows.size(), 1); // not committed yet
}

TEST(ListOfLists, ShutdownQuestion) {
    for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes, MsgAnswer::Cancel}) {
        Lists l;
        l.MakeList("a", {"a1"});
        l.MakeList("b", {"b1"});
        const QByteArray a = Bytes(l.Kvt("a")), b = Bytes(l.Kvt("b"));
        l.lists.StartUp();
        l.lists.SelectList("a");
        kvtest::MessageRecorder messages(answer);
        EXPECT_EQ(l.lists.AskSaveChanges(), 0) << "nothing changed: no question";
        EXPECT_TRUE(messages.asked.empty());
        l.UserAdds("a2");
        const int result = l.lists.AskSaveChanges();
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0].text, QStringLiteral("リストの内容が変更されています。\r\n\r\n変更を保存しますか？"));
        EXPECT_EQ(messages.asked[0].icon, kv::platform::MsgIcon::Question);
        EXPECT_EQ(result, answer == MsgAnswer::Cancel ? 1 : 0);
        if (result == 0) l.lists.ShutDown();
        EXPECT_EQ(Bytes(l.Kvt("b")), b);
        if (answer == MsgAnswer::Yes) EXPECT_EQ(ReadListFile(l.Kvt("a"), false).rows.size(), 2);
        else EXPECT_EQ(Bytes(l.Kvt("a")), a);
        EXPECT_EQ(QFile::exists(l.Backup("a")), answer == MsgAnswer::Cancel);
    }
}

TEST(ListOfLists, SaveAllCopiesEveryWorkingCopyAndKeepsListsWithoutOne) {
    Lists l;
    l.MakeList("a", {"a1"});
    l.MakeList("b", {"b1"});
    l.lists.StartUp();
    l.lists.SelectList("a");
    l.UserAdds("a2");
    QFile::remove(l.Backup("b"));
    l.lists.SaveList(kSaveAllLists);
    EXPECT_EQ(l.lists.SaveButtonImage(), kNotSaveImage);
    EXPECT_EQ(ReadListFile(l.Kvt("a"), false).rows.size(), 2);
    EXPECT_EQ(ReadListFile(l.Kvt("b"), false).rows.size(), 1);
    EXPECT_TRUE(QFile::exists(l.Backup("a"))); // working copies stay
    // b's lost working copy is made again from its committed file when b is chosen.
    l.lists.SelectList("b");
    EXPECT_EQ(l.ShownNames(), QStringList{"b1"});
}

TEST(ListOfLists, AListReadWithLossIsNeverWrittenBackUnlessTheUserChangesIt) {
    Lists l;
    const QByteArray original = "; made by hand\r\n0:a1\r\n@\r\nK\r\n0:a2\r\n@\r\n";
    Put(l.Kvt("a"), original);
    l.lists.StartUp();
    l.lists.SelectList("a");
    EXPECT_EQ(l.ShownNames(), (QStringList{"a1", "a2"}));
    // A rewrite of the rows that the user did not ask for (a refresh), then save all and Yes.
    l.lists.SaveWorkingCopy("a");
    l.lists.SaveList(kSaveAllLists);
    EXPECT_EQ(Bytes(l.Kvt("a")), original);
    // Once the user changes it, it is an ordinary list.
    l.UserAdds("a3");
    l.lists.SaveList(kSaveAllLists);
    EXPECT_EQ(ReadListFile(l.Kvt("a"), false).rows.size(), 3);
}

TEST(ListOfLists, NewListValidatesNamesAndAsksBeforeOverwriting) {
    Lists l;
    l.MakeList("a", {"a1"});
    l.lists.StartUp();
    l.lists.SelectList("a");
    kvtest::MessageRecorder messages(MsgAnswer::Cancel);
    Dialogs dialogs;
    dialogs.answers = {"bad/name", "新しいリスト"};
    l.lists.NewList();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].title, QStringLiteral("不正な文字"));
    EXPECT_EQ(messages.asked[0].text,
              QStringLiteral("次の文字列は使えません。\r\n\u3000\u3000   \u3000\\/:,;*?\"<>|"));
    EXPECT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[0].prompt, QStringLiteral("新しく作るリストの名前を決めてください。"));
    EXPECT_EQ(l.lists.SelectedName(), QStringLiteral("新しいリスト"));
    EXPECT_EQ(Bytes(l.Kvt("新しいリスト")), QByteArray());
    EXPECT_EQ(Bytes(l.Backup("新しいリスト")), QByteArray());
    EXPECT_TRUE(l.ShownNames().isEmpty());

    // An existing name: the question, Cancel changes nothing.
    dialogs.answers = {"a"};
    l.lists.NewList();
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[1].text, QStringLiteral("その名前のリストはすでにあります。\r\n\r\n上書しますか？"));
    EXPECT_EQ(messages.asked[1].title, QStringLiteral("新規リスト"));
    EXPECT_EQ(ReadListFile(l.Kvt("a"), false).rows.size(), 1);
    EXPECT_EQ(l.box.count(), 2);

    for (QChar c : QStringLiteral("\\/:,;*?\"<>|"))
        EXPECT_FALSE(ValidateListName(QStringLiteral("x") + c)) << QString(c).toStdString();
    EXPECT_TRUE(ValidateListName(QStringLiteral("曲 (2024)")));
}

TEST(ListOfLists, RenameToItselfOntoAnotherListAndToANewName) {
    Lists l;
    l.MakeList("a", {"a1"});
    l.MakeList("b", {"b1", "b2"});
    l.lists.StartUp();
    l.lists.SelectList("a");
    kvtest::MessageRecorder messages(MsgAnswer::Ok);
    Dialogs dialogs;

    dialogs.answers = {"a"};
    const QByteArray a = Bytes(l.Kvt("a"));
    l.lists.RenameList("a");
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_EQ(Bytes(l.Kvt("a")), a);
    EXPECT_EQ(l.box.count(), 2);

    dialogs.answers = {"b"};
    l.lists.RenameList("a");
    EXPECT_EQ(l.lists.Names(), QStringList{"b"});
    EXPECT_EQ(l.lists.SelectedName(), QStringLiteral("b"));
    EXPECT_EQ(l.ShownNames(), QStringList{"a1"});
    EXPECT_FALSE(QFile::exists(l.Kvt("a")));
    EXPECT_EQ(Bytes(l.Kvt("b")), a);

    dialogs.answers = {"ｃ"};
    l.lists.RenameList("b");
    EXPECT_EQ(l.lists.Names(), QStringList{"ｃ"});
    EXPECT_EQ(Bytes(l.Kvt("ｃ")), a);
    EXPECT_TRUE(QFile::exists(l.Backup("ｃ")));
    EXPECT_FALSE(QFile::exists(l.Kvt("b")));
}

TEST(ListOfLists, DeleteAsksThenRemovesBothFilesAndShowsTheFirstList) {
    Lists l;
    l.MakeList("a", {"a1"});
    l.MakeList("b", {"b1"});
    l.lists.StartUp();
    l.lists.SelectList("b");
    kvtest::MessageRecorder messages(MsgAnswer::No);
    l.lists.DeleteList("b");
    EXPECT_EQ(l.box.count(), 2);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, QStringLiteral("「b」を削除してよろしいですか？"));
    EXPECT_EQ(messages.asked[0].title, QStringLiteral("リストの削除"));
    messages.Answer(MsgAnswer::Yes);
    l.lists.DeleteList("b");
    EXPECT_EQ(l.lists.Names(), QStringList{"a"});
    EXPECT_FALSE(QFile::exists(l.Kvt("b")) || QFile::exists(l.Backup("b")));
    EXPECT_EQ(l.ShownNames(), QStringList{"a1"});
}

TEST(ListOfLists, ImportMakesOneRowPerPathAndANameOfItsOwn) {
    Lists l;
    const QString track = Q(kvtest::MakeWave(l.dir.file("t.wav"), 0.2));
    l.MakeList("songs", {"x"});
    l.lists.StartUp();
    l.lists.SelectList("songs");
    Dialogs dialogs;
    const QString songs = Q(l.dir.file("songs.txt"));
    Put(songs, (track + "\r\n" + track + "\r\nnot a track\r\n/gone/b.mp3\r\n").toUtf8());
    dialogs.answers = {songs};
    l.lists.ImportList();
    EXPECT_EQ(dialogs.asked.at(0).title, QStringLiteral("音楽リストを開く"));
    EXPECT_EQ(l.lists.SelectedName(), QStringLiteral("songs 2"));
    ASSERT_EQ(l.Shown().Count(), 2);
    EXPECT_EQ(l.Shown().Row(0)[ColPath], track);
    EXPECT_EQ(l.Shown().Row(0)[ColKind], QStringLiteral("wav"));
    EXPECT_EQ(l.Shown().Row(0)[ColTitle], QStringLiteral("【t.wav】"));
    EXPECT_EQ(l.Shown().Row(1)[ColKind], kKindNothing);
    EXPECT_EQ(ReadListFile(l.Kvt("songs 2"), false).rows.size(), 2);
    dialogs.answers = {songs};
    l.lists.ImportList();
    EXPECT_EQ(l.lists.SelectedName(), QStringLiteral("songs 3"));

    // Nothing that qualifies: nothing changes.
    const QString empty = Q(l.dir.file("empty.txt"));
    Put(empty, "hello\r\nC:\\music\\a.mp3\r\n");
    dialogs.answers = {empty};
    l.lists.ImportList();
    EXPECT_EQ(l.box.count(), 3);
    EXPECT_EQ(l.lists.SelectedName(), QStringLiteral("songs 3"));
}

TEST(ListOfLists, ChoosingAListMarksThePlayingRowAndFitsTheWidth) {
    Lists l;
    l.MakeList("a", {"a1", "a2"});
    l.lists.StartUp();
    l.host.playing = "a";
    l.trackHost.playing = QStringLiteral("/nowhere/a2");
    l.tracks.State().PlayingView = TrackViews::kPlaylistView;
    l.box.setCurrentIndex(0);
    l.lists.ListOfListClick();
    EXPECT_EQ(l.Shown().Row(1).icon, kIconPlay);

    struct Case {
        int text, space, width;
    } cases[] = {{0, 99999, 1500},     {1000, 99999, 1500}, {1001, 99999, 1501}, {3001, 99999, 4001},
                 {6001, 99999, 9001}, {6001, 9001, 9001},  {2000, 800, 800}};
    for (const Case& c : cases)
        EXPECT_EQ(ListOfListWidthTwips(c.text, c.space), c.width) << c.text << " " << c.space;
}

TEST(ListOfLists, HiddenAndUnlistedListFilesAreNeverEmptiedByANewList) {
    Lists l;
    l.MakeList(".mix", {"m1", "m2"});
    l.lists.StartUp();
    EXPECT_EQ(l.lists.Names(), QStringList{".mix"});
    // A list file that appears after start-up (not in ListOfList) counts as existing too.
    l.MakeList("late", {"l1"});
    kvtest::MessageRecorder messages(MsgAnswer::Cancel);
    Dialogs dialogs;
    for (const QString name : {QStringLiteral(".mix"), QStringLiteral("late")}) {
        const QByteArray before = Bytes(l.Kvt(name));
        const size_t asked = messages.asked.size();
        dialogs.answers = {name};
        l.lists.NewList();
        ASSERT_EQ(messages.asked.size(), asked + 1) << name.toStdString();
        EXPECT_EQ(messages.asked.back().text,
                  QStringLiteral("その名前のリストはすでにあります。\r\n\r\n上書しますか？"));
        EXPECT_EQ(Bytes(l.Kvt(name)), before) << name.toStdString();
        dialogs.answers = {name};
        l.lists.SaveListAs(l.lists.SelectedName());
        EXPECT_EQ(Bytes(l.Kvt(name)), before) << name.toStdString();
    }
    EXPECT_EQ(l.lists.Names(), (QStringList{".mix", "late"}));

    // Imported files named ".mix.txt" or ".txt" get a list of their own beside the hidden ones.
    const QString track = Q(kvtest::MakeWave(l.dir.file("t.wav"), 0.2));
    for (const QString file : {QStringLiteral(".mix.txt"), QStringLiteral(".txt")}) {
        const QString path = Q(l.dir.file(file.toStdString()));
        Put(path, (track + "\r\n").toUtf8());
        dialogs.answers = {path};
        l.lists.ImportList();
    }
    EXPECT_EQ(l.lists.Names(), (QStringList{".mix", "late", ".mix 2", ".txt"}));
    EXPECT_EQ(ReadListFile(l.Kvt(".mix"), false).rows.size(), 2);
    EXPECT_EQ(ReadListFile(l.Kvt(".txt"), false).rows.size(), 1);

    // The next start lists them all again.
    Lists again;
    for (const QString& name : l.lists.Names())
        ASSERT_TRUE(CopyListFile(l.Kvt(name), again.Kvt(name), false));
    again.lists.StartUp();
    QStringList names = again.lists.Names();
    names.sort();
    EXPECT_EQ(names, (QStringList{".mix", ".mix 2", ".txt", "late"}));
}
