// The tag editor on the kinds of target it meets, and what a save does to the file, the row,
// the list's working copy, the folder tree and the volume memory.
#include "display/volume_memory.h"
#include "platform/program_folder.h"
#include "playlists/fake_host.h"
#include "playlists/track_info.h"
#include "support/audio_files.h"
#include "support/qt_files.h"
#include "tools/form_tag.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kv::tools;
using kv::playlists::TrackViews;
using kvtest::Bytes;
using kvtest::Q;
namespace pl = kv::playlists;

namespace {

struct Host : TagEditorHost {
    bool treeFocus = false;
    QString treePath;
    QString loaded;
    int playIndex = 0;
    int savedCopies = 0;
    QStringList treeRenames;
    QStringList folderMoves;
    kv::display::VolumeMemory volumes;
    bool TreeHasFocus() const override { return treeFocus; }
    QString TreeSelectedPath() const override { return treePath; }
    void TreeFolderRenamed(const QString& name, const QString& path) override { treeRenames << name << path; }
    void FolderRenamed(const QString& from, const QString& to) override { folderMoves << from << to; }
    QString LoadedFileName() const override { return loaded; }
    int PlayIndex() const override { return playIndex; }
    void SaveWorkingCopy() override { ++savedCopies; }
    kv::display::VolumeMemory& ListVol() override { return volumes; }
};

struct Editor {
    kvtest::TempDir dir;
    QString folder = Q(dir.path());
    kvtest::FakeHost trackHost;
    pl::TrackList tracks{trackHost};
    Host host;
    kvtest::MessageRecorder messages;

    QString Mp3(const char* name) { return Q(kvtest::MakeMp3(dir.file(name), 0.3)); }
    // Puts the file as the selected row of the view and makes that view the active one.
    void Select(const QString& path, int view = TrackViews::kPlaylistView) {
        tracks.State().ActiveView = view;
        auto& model = tracks.ListView(view);
        model.AppendRows({pl::MakeFileRow(path, QFileInfo(path).size())});
        model.SetCurrentRow(model.Count() - 1);
        model.SetSelected(model.Count() - 1, true);
    }
    std::unique_ptr<FormTag> Open() { return std::make_unique<FormTag>(tracks, host, nullptr); }
    pl::TrackEntry Row(int view = TrackViews::kPlaylistView) { return tracks.ListView(view).Row(0); }
    QStringList Messages() const {
        QStringList texts;
        for (const auto& m : messages.asked)
            texts << m.text;
        return texts;
    }
};

// A one-track Standard MIDI File, its track holding `events` and an end of track.
QByteArray Midi(const QByteArray& events) {
    const QByteArray track = events + QByteArray("\x60\xFF\x2F\x00", 4);
    QByteArray out("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14);
    out += "MTrk";
    for (int shift : {24, 16, 8, 0})
        out += char(track.size() >> shift);
    return out + track;
}

QStringList Boxes(const FormTag& form) {
    QStringList texts;
    for (int i = 0; i < 5; ++i)
        texts << form.Text1(i)->text();
    return texts;
}

} // namespace

TEST(TagEditorTest, Mp3TagIsShownWrittenAndReachesTheRowAndTheWorkingCopy) {
    Editor e;
    const QString path = e.Mp3("song.mp3");
    ASSERT_TRUE(WriteTag(path, {"  Old title ", "Old artist", "Album", "1999", "c"}));
    e.Select(path);
    auto form = e.Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("タグ編集"));
    EXPECT_EQ(form->Text2()->text(), QStringLiteral("song"));
    EXPECT_EQ(Boxes(*form), (QStringList{"Old title", "Old artist", "Album", "1999", "c"}));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(form->Text1(i)->isEnabled());

    form->Text1(0)->setText(QStringLiteral("新しい曲名") + QString(200, u'x')); // cut to 128 characters
    form->Text1(1)->setText(QStringLiteral("歌手"));
    form->Text1(3)->setText(QStringLiteral("2024-05")); // cut to five
    EXPECT_TRUE(form->Save());
    EXPECT_TRUE(e.messages.asked.empty()) << e.Messages().join(u'|').toStdString();

    auto tag = ReadTag(path);
    ASSERT_TRUE(tag);
    EXPECT_EQ((*tag)[0], QStringLiteral("新しい曲名") + QString(123, u'x')) << "128 characters, not bytes";
    EXPECT_EQ((*tag)[1], QStringLiteral("歌手"));
    EXPECT_EQ((*tag)[3], QStringLiteral("2024"));
    EXPECT_EQ(e.Row()[pl::ColArtist], QStringLiteral("歌手"));
    EXPECT_TRUE(e.Row()[pl::ColTitle].startsWith(QStringLiteral("新しい曲名")));
    EXPECT_EQ(e.host.savedCopies, 1);
}

TEST(TagEditorTest, NothingEditedTouchesNothing) {
    Editor e;
    const QString path = e.Mp3("song.mp3");
    const QByteArray before = Bytes(path);
    e.Select(path);
    auto form = e.Open();
    EXPECT_TRUE(form->Save());
    EXPECT_EQ(Bytes(path), before);
    EXPECT_EQ(e.host.savedCopies, 0);
}

TEST(TagEditorTest, NonMpegTargetsLockTheTagBoxes) {
    Editor e;
    const QString wav = Q(kvtest::MakeWave(e.dir.file("tone.wav"), 0.2));
    const QString titled = e.folder + "/titled.mid";
    kvtest::Put(titled, Midi(QByteArray("\0\xFF\x03\x05Title", 9)));
    const QString untitled = e.folder + "/plain.midi";
    kvtest::Put(untitled, Midi(QByteArray("\0\x90\x3C\x40", 4)));
    const QString sub = e.folder + "/Sub";
    ASSERT_TRUE(QDir().mkdir(sub));
    const QString locked = QStringLiteral("記入できません");
    struct Case {
        QString path;
        QString title; // box 0
    };
    for (const Case& c :
         {Case{wav, locked}, Case{titled, "Title"}, Case{untitled, locked}, Case{sub, locked}}) {
        Editor one;
        one.Select(c.path, TrackViews::kFolderView);
        auto form = one.Open();
        EXPECT_EQ(form->Text1(0)->text(), c.title) << c.path.toStdString();
        for (int i = 0; i < 5; ++i)
            EXPECT_FALSE(form->Text1(i)->isEnabled()) << c.path.toStdString() << i;
        for (int i = 1; i < 5; ++i)
            EXPECT_EQ(form->Text1(i)->text(), locked);
        EXPECT_TRUE(form->Text2()->isEnabled() && !form->Text2()->isReadOnly());
    }

    // A WAVE file can still be renamed; its extension stays.
    e.Select(wav, TrackViews::kFolderView);
    auto form = e.Open();
    form->Text2()->setText(QStringLiteral("renamed"));
    EXPECT_TRUE(form->Save());
    const QString renamed = e.folder + "/renamed.wav";
    EXPECT_TRUE(QFile::exists(renamed));
    EXPECT_FALSE(QFile::exists(wav));
    EXPECT_EQ(e.Row(TrackViews::kFolderView)[pl::ColPath], renamed);
    EXPECT_EQ(e.Row(TrackViews::kFolderView)[pl::ColFile], QStringLiteral("renamed.wav"));
    EXPECT_EQ(e.Row(TrackViews::kFolderView)[pl::ColKind], QStringLiteral("wav"));
    EXPECT_EQ(e.host.savedCopies, 0) << "the folder view has no working copy";
}

TEST(TagEditorTest, RenameMovesRowIconAndRememberedVolumeAndMarks) {
    Editor e;
    const QString path = e.Mp3("a.mp3");
    kvtest::Put(e.folder + "/b.txt", "lyrics of b");
    const int entry = e.host.volumes.Add(path);
    e.host.volumes.SetSubItem(entry, 1, QStringLiteral("70"));
    e.host.volumes.SetSubItem(entry, 2, QStringLiteral("1.5"));
    e.host.volumes.SetSubItem(entry, 3, QStringLiteral("9"));
    e.Select(path);
    auto form = e.Open();
    form->Text2()->setText(QStringLiteral("b"));
    EXPECT_TRUE(form->Save());
    const QString moved = e.folder + "/b.mp3";
    EXPECT_TRUE(QFile::exists(moved));
    EXPECT_EQ(e.Row()[pl::ColPath], moved);
    EXPECT_EQ(e.Row()[pl::ColFile], QStringLiteral("b.mp3"));
    EXPECT_EQ(e.tracks.ListView(TrackViews::kPlaylistView).Icon(0), QStringLiteral("wordsmp3"))
        << "b.txt lies beside it";
    EXPECT_EQ(e.host.savedCopies, 1);
    const int now = e.host.volumes.Find(moved);
    ASSERT_GE(now, 0);
    EXPECT_EQ(e.host.volumes.SubItem(now, 1), QStringLiteral("70"));
    EXPECT_EQ(e.host.volumes.SubItem(now, 2), QStringLiteral("1.5"));
    EXPECT_EQ(e.host.volumes.SubItem(now, 3), QStringLiteral("9"));
    EXPECT_EQ(e.host.volumes.Find(path), -1) << "no entry left behind under the old name";
    EXPECT_EQ(e.host.volumes.Count(), 1);
}

TEST(TagEditorTest, ExistingNameIsRefusedAndTheOtherFileKept) {
    Editor e;
    const QString path = e.Mp3("a.mp3");
    const QString other = e.folder + "/b.mp3";
    kvtest::Put(other, "the other file");
    const QByteArray before = Bytes(path);
    e.Select(path);
    auto form = e.Open();
    form->Text2()->setText(QStringLiteral("b"));
    form->Text1(0)->setText(QStringLiteral("title"));
    EXPECT_FALSE(form->Save()) << "the window stays open";
    ASSERT_EQ(e.messages.asked.size(), 1u);
    EXPECT_TRUE(e.messages.asked[0].text.contains(QStringLiteral("b.mp3")));
    EXPECT_EQ(Bytes(other), QByteArray("the other file"));
    EXPECT_EQ(Bytes(path), before) << "nothing was written while the name is wrong";
    EXPECT_EQ(e.Row()[pl::ColPath], path);
    EXPECT_EQ(e.host.savedCopies, 0);

    // Same for a folder renamed onto another folder's name.
    const auto outcome = RenameNoReplace(e.folder + "/x", e.folder + "/y");
    EXPECT_EQ(outcome.result, RenameResult::Failed) << "no such folder";
    ASSERT_TRUE(QDir().mkdir(e.folder + "/x") && QDir().mkdir(e.folder + "/y"));
    EXPECT_EQ(RenameNoReplace(e.folder + "/x", e.folder + "/y").result, RenameResult::TargetExists);
    EXPECT_TRUE(QFileInfo(e.folder + "/x").isDir());
}

TEST(TagEditorTest, InvalidOrEmptyNameKeepsTheWindowOpen) {
    for (const char* name : {"what?", "a/b", ""}) {
        Editor e;
        const QString path = e.Mp3("a.mp3");
        e.Select(path);
        auto form = e.Open();
        form->Text2()->setText(QString::fromUtf8(name));
        EXPECT_FALSE(form->Save()) << name;
        ASSERT_EQ(e.messages.asked.size(), 1u) << name;
        EXPECT_EQ(e.messages.asked[0].title,
                  *name ? QStringLiteral("不正な文字") : QStringLiteral("Kavetto"));
        if (!*name) EXPECT_EQ(e.messages.asked[0].text, QStringLiteral("ファイル名を入力してください。"));
        EXPECT_TRUE(QFile::exists(path));
    }
}

TEST(TagEditorTest, ThePlayingFileKeepsItsNameButTakesItsTag) {
    Editor e;
    const QString path = e.Mp3("playing.mp3");
    e.Select(path);
    e.host.loaded = path;
    e.host.playIndex = 1;
    e.tracks.State().PlayingView = TrackViews::kPlaylistView;
    auto form = e.Open();
    EXPECT_TRUE(form->Text2()->isReadOnly());
    form->Text1(1)->setText(QStringLiteral("Artist now"));
    EXPECT_TRUE(form->Save());
    EXPECT_EQ((*ReadTag(path))[1], QStringLiteral("Artist now"));
    EXPECT_EQ(e.Row()[pl::ColArtist], QStringLiteral("Artist now"));
    EXPECT_TRUE(e.messages.asked.empty());
}

TEST(TagEditorTest, FailedWritesLeaveTheFileAsItWasAndSaySoOnce) {
    // A read-only file: even root must not replace it.
    {
        Editor e;
        const QString path = e.Mp3("ro.mp3");
        e.Select(path);
        ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0444), 0);
        const QByteArray before = Bytes(path);
        auto form = e.Open();
        form->Text1(0)->setText(QStringLiteral("never written"));
        EXPECT_TRUE(form->Save());
        EXPECT_EQ(Bytes(path), before);
        ASSERT_EQ(e.messages.asked.size(), 1u);
        EXPECT_TRUE(e.messages.asked[0].text.contains(QStringLiteral("タグを書き込めませんでした")));
        EXPECT_EQ(e.Row()[pl::ColTitle], QString()) << "the row shows no title that the file lacks";
    }
    // The file vanished while the window was open: the rename fails, the row keeps a path that
    // exists no more than before, and one message tells of both failures.
    {
        Editor e;
        const QString path = e.Mp3("gone.mp3");
        e.Select(path);
        auto form = e.Open();
        ASSERT_TRUE(QFile::remove(path));
        form->Text2()->setText(QStringLiteral("new name"));
        form->Text1(0)->setText(QStringLiteral("t"));
        EXPECT_TRUE(form->Save());
        ASSERT_EQ(e.messages.asked.size(), 1u);
        EXPECT_TRUE(e.messages.asked[0].text.contains(QStringLiteral("名前を変更できませんでした")));
        EXPECT_TRUE(e.messages.asked[0].text.contains(QStringLiteral("タグを書き込めませんでした")));
        EXPECT_EQ(e.Row()[pl::ColPath], path);
        EXPECT_FALSE(QFile::exists(e.folder + "/new name.mp3"));
    }
}

TEST(TagEditorTest, FolderFromTheTreeIsRenamedWithItsNodeAndPath) {
    Editor e;
    const QString folder = e.folder + "/Album";
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString inside = Q(kvtest::MakeMp3(e.dir.file("Album/t.mp3"), 0.2));
    e.host.volumes.SetSubItem(e.host.volumes.Add(inside), 1, QStringLiteral("55"));
    e.host.treeFocus = true;
    e.host.treePath = folder + "/";
    auto form = e.Open();
    EXPECT_EQ(form->Text2()->text(), QStringLiteral("Album"));
    EXPECT_FALSE(form->Text1(0)->isEnabled());
    form->Text2()->setText(QStringLiteral("Album 2"));
    EXPECT_TRUE(form->Save());
    const QString moved = e.folder + "/Album 2";
    EXPECT_TRUE(QFileInfo(moved).isDir());
    EXPECT_EQ(e.host.treeRenames, (QStringList{"Album 2", moved}));
    EXPECT_EQ(e.host.folderMoves, (QStringList{folder, moved})) << "the player's file follows";
    EXPECT_EQ(e.host.volumes.SubItem(e.host.volumes.Find(moved + "/t.mp3"), 1), QStringLiteral("55"));
    EXPECT_EQ(e.host.savedCopies, 1) << "the playlist view is the active one";
}

TEST(TagEditorTest, OnlyTheBoxesTheUserChangedReachTheFile) {
    Editor e;
    const QString path = Q(kvtest::MakeForeignTaggedMp3(e.dir.file("foreign.mp3"), 3));
    e.Select(path);
    auto form = e.Open();
    EXPECT_EQ(Boxes(*form), (QStringList{QString(60, u'あ'), "Artist", "", "2001", "Waterbug Records, 2001"}))
        << "the whole title and the comment without a description";

    // A new name only: the bytes go with the file as they were.
    const QByteArray before = Bytes(path);
    form->Text2()->setText(QStringLiteral("renamed"));
    EXPECT_TRUE(form->Save());
    const QString renamed = e.folder + "/renamed.mp3";
    EXPECT_EQ(Bytes(renamed), before);

    // The title only: every other frame, the full date among them, reads as it did.
    const std::string file = renamed.toStdString();
    auto frames = kvtest::TagFrames(file);
    auto again = e.Open();
    again->Text1(0)->setText(QStringLiteral("短い"));
    EXPECT_TRUE(again->Save());
    int version = 0;
    auto after = kvtest::TagFrames(file, &version);
    EXPECT_EQ(version, 3);
    EXPECT_EQ(QString::fromStdString(after["TIT2"]).section(u'|', 0, 0), QStringLiteral("短い"));
    after.erase("TIT2");
    frames.erase("TIT2");
    EXPECT_EQ(after, frames);
    EXPECT_EQ(e.messages.asked.size(), 0u);
}

TEST(TagEditorTest, SavesOntoTheRowItWasOpenedForWhereverTheSelectionWent) {
    Editor e;
    const QString a = e.Mp3("a.mp3");
    const QString b = e.Mp3("b.mp3");
    e.Select(b);
    e.Select(a); // row 1
    auto form = e.Open();
    // Continuous play moves the selection to the next track while the window is open, and a
    // row above is removed.
    auto& model = e.tracks.ListView(TrackViews::kPlaylistView);
    model.AppendRows({pl::MakeFileRow(e.Mp3("c.mp3"), 1)});
    model.SetSelected(1, false);
    model.SetCurrentRow(2);
    model.SetSelected(2, true);
    model.RemoveRows({0});
    form->Text2()->setText(QStringLiteral("renamed"));
    form->Text1(0)->setText(QStringLiteral("Title of a"));
    EXPECT_TRUE(form->Save());
    const QString renamed = e.folder + "/renamed.mp3";
    EXPECT_EQ(model.Row(0)[pl::ColPath], renamed);
    EXPECT_EQ(model.Row(0)[pl::ColTitle], QStringLiteral("Title of a"));
    EXPECT_EQ(model.Row(1)[pl::ColPath], e.folder + "/c.mp3");
    EXPECT_EQ(model.Row(1)[pl::ColTitle], QString());
    EXPECT_EQ((*ReadTag(renamed))[0], QStringLiteral("Title of a"));
}

TEST(TagEditorTest, TheProgramsFolderAndTheFoldersAboveItKeepTheirNames) {
    Editor e;
    ASSERT_TRUE(QDir().mkpath(e.folder + "/Outer/Prog"));
    kv::platform::SetProgramFolder(e.folder + "/Outer/Prog");
    const struct {
        const char* folder;
        const char* message;
    } cases[] = {
        {"/Outer/Prog", "「Prog」はこのプログラムのフォルダなので、名前を変更できません。"},
        {"/Outer", "「Outer」にはこのプログラムのフォルダがあるので、名前を変更できません。"},
    };
    for (const auto& c : cases) {
        e.messages.asked.clear();
        e.host.treeFocus = true;
        e.host.treePath = e.folder + c.folder + "/";
        auto form = e.Open();
        form->Text2()->setText(QStringLiteral("Renamed"));
        EXPECT_FALSE(form->Save()) << c.folder;
        EXPECT_EQ(e.Messages(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_TRUE(QFileInfo(e.folder + c.folder).isDir());
        EXPECT_TRUE(e.host.treeRenames.isEmpty());
    }
    kv::platform::SetProgramFolder(QString());
}
