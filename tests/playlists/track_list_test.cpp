// Row operations of the track views on real models, checked by QAbstractItemModelTester.
#include "fake_host.h"
#include "platform/files.h"
#include "playlists/track_format.h"
#include "playlists/track_icons.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <random>

using namespace kv::playlists;
using kv::platform::MsgAnswer;
using kv::platform::MsgButtons;
using kv::platform::MsgIcon;
using kvtest::FakeHost;
using kvtest::MessageRecorder;

namespace {

TrackEntry Row(const QString& path, qint64 bytes = 1000, qint64 seconds = -1) {
    TrackEntry e;
    e[ColFile] = kv::platform::FileNameOf(path);
    e[ColSize] = FormatSize(bytes);
    e[ColKind] = kv::platform::ExtensionOf(path);
    e[ColTime] = FormatPlayTime(seconds);
    e[ColPath] = path;
    e[ColDefaultSize] = PadBytes(bytes);
    e.icon = e.Kind();
    return e;
}

class TrackListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int v = 0; v < TrackViews::kCount; ++v)
            testers_[v] = std::make_unique<QAbstractItemModelTester>(
                &list.ListView(v), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void Fill(int view, const QStringList& paths) {
        QVector<TrackEntry> rows;
        for (const QString& p : paths)
            rows.push_back(Row(p));
        list.ListView(view).AppendRows(rows);
    }
    QStringList Paths(int view) {
        QStringList out;
        for (const TrackEntry& e : list.ListView(view).AllRows())
            out << e.Path();
        return out;
    }
    TrackListModel& Playlist() { return list.ListView(TrackViews::kPlaylistView); }
    TrackListModel& Folder() { return list.ListView(TrackViews::kFolderView); }

    FakeHost host;
    TrackList list{host};

  private:
    std::unique_ptr<QAbstractItemModelTester> testers_[TrackViews::kCount];
};

} // namespace

TEST_F(TrackListTest, ModelHasTheTenColumnsWithCaptionsAndAlignment) {
    Fill(1, {"/m/a.mp3"});
    const char* captions[] = {"ファイル", "アーティスト", "タイトル",      "サイズ", "種類",
                              "演奏時間", "場所",         "サイズ（Byte)", "始め",   "終わり"};
    const char* keys[] = {"file", "artist", "title",       "size",  "kind",
                          "time", "path",   "defaultsize", "start", "end"};
    ASSERT_EQ(Playlist().columnCount(), 10);
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(Playlist().headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(captions[c]));
        EXPECT_EQ(ColumnKey(c), keys[c]);
        bool right = Playlist().data(Playlist().index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignRight;
        EXPECT_EQ(right, c == 3 || c == 4) << c;
    }
}

TEST_F(TrackListTest, FindRowReturnsLastMatchOneBasedOrZero) {
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/a.mp3"});
    EXPECT_EQ(list.FindRow(1, "/m/a.mp3"), 3);
    EXPECT_EQ(list.FindRow(1, "/m/b.mp3"), 2);
    EXPECT_EQ(list.FindRow(1, "/m/A.mp3"), 0);
    EXPECT_EQ(list.FindRow(7, "/m/a.mp3"), 0);
}

TEST_F(TrackListTest, SortBySizeUsesPaddedBytesAndTwoClicksGiveOppositeOrders) {
    Playlist().AppendRows({Row("/m/big.mp3", 1000), Row("/m/small.mp3", 999), Row("/m/tiny.mp3", 5),
                           Row("/m/huge.mp3", 2000000)});
    list.SortByColumn(1, ColSize); // the first click flips the default ascending order
    EXPECT_EQ(Paths(1), QStringList({"/m/huge.mp3", "/m/big.mp3", "/m/small.mp3", "/m/tiny.mp3"}));
    list.SortByColumn(1, ColSize);
    EXPECT_EQ(Paths(1), QStringList({"/m/tiny.mp3", "/m/small.mp3", "/m/big.mp3", "/m/huge.mp3"}));
    EXPECT_EQ(host.savedLists, QStringList({"list", "list"}));
    EXPECT_EQ(host.saveImages, QStringList({"save", "save"}));
}

TEST_F(TrackListTest, SortByTextIgnoresCaseKeepsPlayMarkAndFolderSortDoesNotMarkModified) {
    Playlist().AppendRows({Row("/m/b.mp3"), Row("/m/C.mp3"), Row("/m/a.mp3")});
    host.playing = "/m/C.mp3";
    list.State().PlayingView = 1;
    list.SortByColumn(1, ColPath);
    list.SortByColumn(1, ColPath);
    EXPECT_EQ(Paths(1), QStringList({"/m/a.mp3", "/m/b.mp3", "/m/C.mp3"}));
    EXPECT_EQ(Playlist().Row(2).icon, "playIcon");

    Folder().AppendRows({Row("/f/b.mp3"), Row("/f/a.mp3")});
    host.saveImages.clear();
    list.SortByColumn(0, ColFile);
    EXPECT_TRUE(host.saveImages.isEmpty());
}

TEST_F(TrackListTest, SortWhileHeadersShowTotalsStillSortsByThatColumn) {
    Playlist().AppendRows({Row("/m/a.mp3", 10, 30), Row("/m/b.mp3", 10, 90), Row("/m/c.mp3", 10, 60)});
    Playlist().SetAllSelected(true);
    list.UpdateSelectionTotals();
    ASSERT_EQ(Playlist().HeaderCaption(ColTime), "3：00");
    list.SortByColumn(1, ColTime);
    list.SortByColumn(1, ColTime);
    EXPECT_EQ(Paths(1), QStringList({"/m/a.mp3", "/m/c.mp3", "/m/b.mp3"}));
    // A hidden column's header keeps the previous sort column.
    list.SortByColumn(1, ColStart);
    EXPECT_EQ(Paths(1), QStringList({"/m/b.mp3", "/m/c.mp3", "/m/a.mp3"}));
}

TEST_F(TrackListTest, ShuffleNeverLosesOrDuplicatesRowsAndLeavesNoEmptyRow) {
    std::mt19937 engine(1234);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    list.SetRandomSource([&] { return uniform(engine); });
    for (int n : {0, 1, 2, 3, 7, 50}) {
        Playlist().Clear();
        QStringList paths;
        for (int i = 0; i < n; ++i)
            paths << QString("/m/%1.mp3").arg(i);
        Fill(1, paths);
        Playlist().AppendRows({TrackEntry()}); // a row without a path is dropped, not shuffled
        for (int round = 0; round < 20; ++round) {
            list.ShuffleRows(1);
            QStringList after = Paths(1);
            QStringList sorted = after;
            std::sort(sorted.begin(), sorted.end());
            QStringList expected = paths;
            std::sort(expected.begin(), expected.end());
            ASSERT_EQ(sorted, expected) << n;
        }
    }
    EXPECT_EQ(host.busy, 0);
}

TEST_F(TrackListTest, ShuffleDrawsTheFirstRowHalfAsOftenAndRepeatsEmptyDraws) {
    // Each draw takes k = round(r * n + 1), halves to even; k = n + 1 takes nothing, so the
    // first row leads with probability 1/(2n - 1) and every other row with 2/(2n - 1).
    std::mt19937 engine(99);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    list.SetRandomSource([&] { return uniform(engine); });
    const int n = 4, runs = 8000;
    std::map<QString, int> first;
    for (int run = 0; run < runs; ++run) {
        Playlist().Clear();
        Fill(1, {"/m/0.mp3", "/m/1.mp3", "/m/2.mp3", "/m/3.mp3"});
        list.ShuffleRows(1);
        ASSERT_EQ(Playlist().Count(), n);
        ++first[Playlist().Row(0).Path()];
    }
    EXPECT_NEAR(first["/m/0.mp3"] / double(runs), 1.0 / 7, 0.02);
    for (const char* p : {"/m/1.mp3", "/m/2.mp3", "/m/3.mp3"})
        EXPECT_NEAR(first[p] / double(runs), 2.0 / 7, 0.02);

    // A scripted source: 0.9 with two rows gives k = 3 (nothing), then rows 2 and 1.
    std::vector<double> script = {0.9, 0.6, 0.9, 0.1};
    size_t next = 0;
    list.SetRandomSource([&] { return script[next++ % script.size()]; });
    Playlist().Clear();
    Fill(1, {"/m/a.mp3", "/m/b.mp3"});
    list.ShuffleRows(1);
    EXPECT_EQ(Paths(1), QStringList({"/m/b.mp3", "/m/a.mp3"}));

    // A source stuck at the top still ends, with every row.
    list.SetRandomSource([] { return 0.999999; });
    list.ShuffleRows(1);
    EXPECT_EQ(Playlist().Count(), 2);
}

TEST_F(TrackListTest, ShuffleMarksThePlayingRowAndSavesThePlaylistOnly) {
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    host.playing = "/m/b.mp3";
    list.State().PlayingView = 1;
    list.ShuffleRows(1);
    EXPECT_EQ(Playlist().Row(list.FindRow(1, "/m/b.mp3") - 1).icon, "playIcon");
    EXPECT_EQ(host.saveImages, QStringList({"save"}));
    Fill(0, {"/f/a.mp3"});
    list.ShuffleRows(0);
    EXPECT_EQ(host.saveImages.size(), 1);
}

TEST_F(TrackListTest, DeleteAsksAboutTheFocusedRowAndRemovesOnYes) {
    MessageRecorder messages(MsgAnswer::No);
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    Playlist().SelectOnly({1});
    Playlist().SetCurrentRow(1);
    list.DeleteSelectedRows(1);
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, "｢b.mp3｣をリストから削除してもよろしいですか？");
    EXPECT_EQ(messages.asked[0].title, "ファイルの削除の確認");
    EXPECT_EQ(messages.asked[0].icon, MsgIcon::Question);
    EXPECT_EQ(messages.asked[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(Playlist().Count(), 3);
    EXPECT_TRUE(host.savedLists.isEmpty());

    messages.Answer(MsgAnswer::Yes);
    list.DeleteSelectedRows(1);
    EXPECT_EQ(Paths(1), QStringList({"/m/a.mp3", "/m/c.mp3"}));
    EXPECT_EQ(host.saveImages, QStringList({"save"}));
}

TEST_F(TrackListTest, DeleteManyCountsThemAndNothingSelectedRemovesNothingButSaves) {
    MessageRecorder messages(MsgAnswer::Yes);
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3"});
    Playlist().SelectOnly({0, 2, 3});
    list.DeleteSelectedRows(1);
    EXPECT_EQ(messages.asked.back().text, "3個のファイルをリストから削除してもよろしいですか？");
    EXPECT_EQ(Paths(1), QStringList({"/m/b.mp3"}));

    Playlist().SetAllSelected(false);
    Playlist().SetCurrentRow(0);
    list.DeleteSelectedRows(1);
    EXPECT_EQ(messages.asked.back().text, "｢b.mp3｣をリストから削除してもよろしいですか？");
    EXPECT_EQ(Playlist().Count(), 1);
    EXPECT_EQ(host.savedLists.size(), 2);
}

TEST_F(TrackListTest, MovingRowsWithinThePlaylistKeepsTheirOrder) {
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", "/m/d.mp3", "/m/e.mp3"});
    list.State().ActiveView = 1;
    Playlist().SelectOnly({3, 1});
    list.MoveDroppedRows(1, 0);
    EXPECT_EQ(Paths(1), QStringList({"/m/b.mp3", "/m/d.mp3", "/m/a.mp3", "/m/c.mp3", "/m/e.mp3"}));
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({0, 1}));

    list.MoveDroppedRows(1, -1); // below the last row: appended
    EXPECT_EQ(Paths(1), QStringList({"/m/a.mp3", "/m/c.mp3", "/m/e.mp3", "/m/b.mp3", "/m/d.mp3"}));

    // Dropped onto one of themselves: they stay where they were dropped, not at the end.
    Playlist().SelectOnly({1, 2});
    list.MoveDroppedRows(1, 2);
    EXPECT_EQ(Paths(1), QStringList({"/m/a.mp3", "/m/c.mp3", "/m/e.mp3", "/m/b.mp3", "/m/d.mp3"}));
}

TEST_F(TrackListTest, RowsFromTheFolderViewAreListedOnceAtTheDropPoint) {
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    Folder().AppendRows({Row("/m/b.mp3"), Row("/m/x.mp3")});
    TrackEntry dir;
    dir[ColFile] = "sub";
    dir[ColKind] = "Directory";
    dir[ColPath] = "/m/sub";
    Folder().AppendRows({dir});
    Folder().SetAllSelected(true);
    host.playing = "/m/x.mp3";
    list.State().PlayingView = 1;
    list.MoveDroppedRows(0, 0);
    EXPECT_EQ(Paths(1), QStringList({"/m/b.mp3", "/m/x.mp3", "/m/a.mp3", "/m/c.mp3"}));
    EXPECT_EQ(Playlist().Row(1).icon, "playIcon");
    EXPECT_EQ(Folder().Count(), 3); // the folder view keeps its rows

    // Dropped onto the old row of the same file: it stays there, once.
    Folder().SelectOnly({0});
    list.MoveDroppedRows(0, 0);
    EXPECT_EQ(Paths(1), QStringList({"/m/b.mp3", "/m/x.mp3", "/m/a.mp3", "/m/c.mp3"}));
}

TEST_F(TrackListTest, DropOnPlaylistWithoutAListIsRefusedWithTheMessage) {
    MessageRecorder messages;
    host.lists = 0;
    list.DropOnView(1, {"/m/a.mp3"}, true, -1);
    host.lists = 1;
    host.listText.clear();
    list.DropOnView(1, {}, false, -1);
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[0].text,
              "リストが作られていないので、曲を追加できません。\n\n"
              "【ファイル】→【リスト】→【新規作成】で\nリストを作ってから、曲を追加してください。");
    EXPECT_EQ(messages.asked[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(Playlist().Count(), 0);
    EXPECT_TRUE(host.savedLists.isEmpty());
}

TEST_F(TrackListTest, DropsOnTheFolderViewGoToTheFilesFolder) {
    list.DropOnView(0, {"/m/a.mp3", "/n/b.mp3"}, true, -1);
    Fill(1, {"/p/c.mp3"});
    Playlist().SetCurrentRow(0);
    list.State().ActiveView = 1;
    list.DropOnView(0, {}, false, -1);
    EXPECT_EQ(host.goneToFolderOf, QStringList({"/m/a.mp3", "/p/c.mp3"}));
}

TEST_F(TrackListTest, SelectionTotalsSumTimesAndBytesOfSeveralTimedRows) {
    Playlist().AppendRows({Row("/m/a.mp3", 1500000, 90), Row("/m/b.mp3", 2500000, 165), Row("/m/c.wav", 10)});
    list.State().ActiveView = 1;
    Playlist().SelectOnly({0, 1});
    list.UpdateSelectionTotals();
    EXPECT_EQ(Playlist().HeaderCaption(ColTime), "4：15");
    EXPECT_EQ(Playlist().HeaderCaption(ColSize), "4.00MB");

    Playlist().SelectOnly({0});
    list.UpdateSelectionTotals();
    EXPECT_EQ(Playlist().HeaderCaption(ColTime), "演奏時間");
    EXPECT_EQ(Playlist().HeaderCaption(ColSize), "サイズ");

    Playlist().SelectOnly({0, 2}); // a row without a play time
    list.UpdateSelectionTotals();
    EXPECT_EQ(Playlist().HeaderCaption(ColTime), "演奏時間");

    // Sizes past 2 GB add up without wrapping.
    Playlist().AppendRows({Row("/m/d.mp3", 2000000000, 1), Row("/m/e.mp3", 2000000000, 1)});
    Playlist().SelectOnly({3, 4});
    list.UpdateSelectionTotals();
    EXPECT_EQ(Playlist().HeaderCaption(ColSize), "4.00GB");
}

TEST_F(TrackListTest, PressesSetActiveViewShowRowInfoAndFollowSelectionRules) {
    Fill(0, {"/f/a.mp3"});
    Fill(1, {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    Playlist().SetText(1, ColArtist, "歌手");
    list.MousePressed(0, 0, Qt::LeftButton, {}, {});
    EXPECT_EQ(list.State().ActiveView, 0);
    list.MousePressed(1, 1, Qt::LeftButton, {}, {});
    EXPECT_EQ(list.State().ActiveView, 1);
    EXPECT_EQ(host.labels, QStringList({"b.mp3", "歌手", "", ""}));
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({1}));

    Playlist().SelectOnly({0, 2});
    list.MousePressed(1, 2, Qt::LeftButton, {}, {}); // already selected: the selection stays for a drag
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({0, 2}));
    list.MousePressed(1, 1, Qt::LeftButton, Qt::ControlModifier, {}); // Ctrl: left to the view
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({0, 2}));
    list.MousePressed(1, -1, Qt::LeftButton, {}, {});
    EXPECT_EQ(host.labels, QStringList({"-----", "-----", "-----", "-----"}));

    list.MousePressed(1, 1, Qt::RightButton, {}, {});
    EXPECT_EQ(Playlist().SelectedRows(), QVector<int>({1}));
    EXPECT_EQ(host.popups, std::vector<int>({1}));

    Folder().SetAllSelected(true);
    list.FocusEntered(1);
    EXPECT_EQ(Folder().SelectedCount(), 0);
    EXPECT_EQ(Playlist().SelectedCount(), 1);
}

TEST_F(TrackListTest, KeyboardShortcutsReachTheirTargets) {
    Fill(0, {"/f/a.mp3", "/f/b.mp3"});
    Fill(1, {"/m/a.mp3"});
    list.KeyPressed(1, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(list.State().CtrlHeld);
    list.KeyReleased(1, Qt::Key_Control);
    EXPECT_FALSE(list.State().CtrlHeld);
    EXPECT_EQ(host.encodeVisible, std::vector<bool>({true, false}));

    EXPECT_TRUE(list.KeyPressed(0, Qt::Key_A, Qt::ControlModifier));
    EXPECT_EQ(Folder().SelectedCount(), 2);
    list.KeyPressed(1, Qt::Key_Left, Qt::AltModifier);
    list.KeyPressed(1, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(host.toolbarClicks, std::vector<int>({4, 5}));
    list.KeyPressed(1, Qt::Key_Down, Qt::AltModifier);
    list.KeyPressed(1, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(host.volumeSteps, std::vector<int>({-2, 2}));
    EXPECT_FALSE(list.KeyPressed(1, Qt::Key_Up, {})); // plain arrows move the focus as usual

    list.KeyPressed(0, Qt::Key_Delete, {});
    EXPECT_EQ(host.recycled, QStringList({"/f/a.mp3", "/f/b.mp3"}));
    EXPECT_EQ(Folder().Count(), 2);
    list.KeyPressed(0, Qt::Key_Backspace, {});
    EXPECT_EQ(host.folderUp, 1);

    Playlist().SetCurrentRow(0);
    list.State().ActiveView = 1;
    list.KeyPressed(1, Qt::Key_Return, {});
    EXPECT_EQ(host.playSelected, 1);
    list.KeyPressed(1, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(host.properties, QStringList({"/m/a.mp3"}));

    MessageRecorder messages(MsgAnswer::Yes);
    Playlist().SelectOnly({0});
    list.KeyPressed(1, Qt::Key_Delete, {});
    EXPECT_EQ(Playlist().Count(), 0);
}

TEST(TrackListModelStorage, RowsKeepEveryColumnIncludingEmptyOnesAndNulsInText) {
    TrackListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    TrackEntry full;
    for (int c = 0; c < kTrackColumnCount; ++c) full[c] = QStringLiteral("c%1").arg(c);
    full.icon = QStringLiteral("mp3");
    TrackEntry sparse;
    sparse[ColPath] = QStringLiteral("/music/a.mp3");
    TrackEntry damaged; // a list file with a NUL inside a line
    damaged[ColArtist] = QString::fromUtf16(u"ab\u0000cd");
    damaged[ColPath] = QStringLiteral("/music/b.mp3");
    model.AppendRows({full, sparse, damaged, TrackEntry{}});
    ASSERT_EQ(model.Count(), 4);
    EXPECT_TRUE(model.Row(0).SameColumns(full));
    EXPECT_EQ(model.Row(0).icon, "mp3");
    EXPECT_TRUE(model.Row(1).SameColumns(sparse));
    EXPECT_EQ(model.Text(1, ColTitle), "");
    EXPECT_EQ(model.Text(2, ColArtist), "ab");
    EXPECT_EQ(model.Text(2, ColPath), "/music/b.mp3"); // the columns after it stay in place
    EXPECT_EQ(model.Text(3, ColPath), "");
    model.SetText(1, ColTitle, QStringLiteral("タイトル"));
    EXPECT_EQ(model.Text(1, ColTitle), "タイトル");
    EXPECT_EQ(model.Text(1, ColPath), "/music/a.mp3");
}
