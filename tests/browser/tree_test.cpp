#include "browser/ctree_view.h"
#include "platform/ini.h"
#include "support/audio_files.h"
#include "tree_fakes.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using kv::browser::CTreeView;
using kv::browser::FolderTreeModel;
using kv::browser::IconId;

namespace {

class FolderTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = CTreeView::GetLongPathName(QByteArray::fromStdString(tmp.path()));
        lister.drives = {{root,
                          kv::browser::DriveDisplayName(QStringLiteral("テスト"), root, IconId::DriveFixed),
                          IconId::DriveFixed}};
        tree.SetLister(&lister);
        view.resize(300, 400);
    }
    void Bind() {
        tree.SetTreeView(&view);
        tree.SetImageList(&images);
    }
    void Mkdir(const std::string& relative) {
        fs::create_directories(fs::path(root.toStdString()) / relative);
    }
    void Touch(const std::string& relative) { std::ofstream(fs::path(root.toStdString()) / relative) << "x"; }
    FolderTreeModel& Model() { return tree.Model(); }
    QModelIndex Drive() { return Model().index(0, 0); }
    QModelIndex Child(const QModelIndex& parent, const QString& text) {
        for (int r = 0; r < Model().rowCount(parent); ++r)
            if (Model().Text(Model().index(r, 0, parent)) == text) return Model().index(r, 0, parent);
        return QModelIndex();
    }
    QStringList Texts(const QModelIndex& parent) {
        QStringList texts;
        for (int r = 0; r < Model().rowCount(parent); ++r)
            texts << Model().Text(Model().index(r, 0, parent));
        return texts;
    }
    QByteArray At(const QByteArray& relative) const { return root + relative; }

    kvtest::TempDir tmp;
    QByteArray root;
    kvtest::CountingLister lister;
    kvtest::FakeTreeHost host;
    kvtest::MessageRecorder messages;
    CTreeView tree{host};
    QTreeView view;
    kv::browser::TreeImageList images;
};

TEST_F(FolderTreeTest, NothingIsReadUntilBothControlsAreBoundAndANodeOpens) {
    Mkdir("a/x");
    tree.SetTreeView(&view);
    EXPECT_EQ(Model().rowCount(), 0); // no drives while the image list is missing
    tree.SetImageList(&images);
    ASSERT_EQ(Model().rowCount(), 1);
    EXPECT_EQ(lister.TotalListed() + lister.TotalProbed(), 0);
    EXPECT_TRUE(Model().hasChildren(Drive())); // the placeholder gives the expand button
    EXPECT_TRUE(Model().IsPlaceholder(Model().index(0, 0, Drive())));
    EXPECT_EQ(Model().Text(Model().index(0, 0, Drive())), QStringLiteral("\\\\DUMMY\\\\"));
    EXPECT_EQ(Model().Text(Drive()),
              QStringLiteral("テスト (") + QFile::decodeName(root.chopped(1)) + QLatin1Char(')'));

    tree.SetImageList(&images); // binding again adds no second drive
    EXPECT_EQ(Model().rowCount(), 1);
}

TEST_F(FolderTreeTest, OpeningReadsOneLevelSortedAndOnlyFoldersWithSubfoldersGetAButton) {
    Mkdir("beta/inner/deeper");
    Mkdir("Alpha");
    Mkdir("gamma");
    Touch("file.mp3");
    Touch("gamma/only-a-file.mp3");
    Bind();
    QAbstractItemModelTester tester(&Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    view.expand(Drive());
    EXPECT_EQ(Texts(Drive()), (QStringList{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(lister.listed[root], 1);
    EXPECT_EQ(lister.listed.size(), 1u); // no child folder was listed in full
    EXPECT_FALSE(Model().hasChildren(Child(Drive(), "Alpha")));
    EXPECT_TRUE(Model().hasChildren(Child(Drive(), "beta")));
    EXPECT_FALSE(Model().hasChildren(Child(Drive(), "gamma")));

    view.expand(Child(Drive(), "beta"));
    const QModelIndex inner = Child(Child(Drive(), "beta"), "inner");
    ASSERT_TRUE(inner.isValid());
    EXPECT_EQ(Model().Key(inner), QFile::decodeName(At("beta/inner/")));
    EXPECT_TRUE(Model().HoldsPlaceholder(inner));
    EXPECT_EQ(lister.listed.count(At("beta/inner/")), 0u);

    // Expanding an opened node again reads nothing.
    view.collapse(Drive());
    const int before = lister.TotalListed();
    EXPECT_EQ(Model().OpenFolder(Drive()), 0); // holds the placeholder again: reads
    EXPECT_EQ(Model().OpenFolder(Drive()), 0); // opened: does not
    EXPECT_EQ(lister.TotalListed(), before + 1);
}

TEST_F(FolderTreeTest, ClosingThrowsTheSubtreeAwaySoANewSubfolderIsSeenOnReopening) {
    Mkdir("music/old");
    Bind();
    QAbstractItemModelTester tester(&Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    view.expand(Drive());
    view.expand(Child(Drive(), "music"));
    EXPECT_EQ(Texts(Child(Drive(), "music")), QStringList{"old"});

    Mkdir("music/new");
    view.collapse(Drive());
    EXPECT_EQ(Model().rowCount(Drive()), 1);
    EXPECT_TRUE(Model().IsPlaceholder(Model().index(0, 0, Drive())));
    view.expand(Drive());
    EXPECT_FALSE(view.isExpanded(Child(Drive(), "music")));
    view.expand(Child(Drive(), "music"));
    EXPECT_EQ(Texts(Child(Drive(), "music")), (QStringList{"new", "old"}));
}

TEST_F(FolderTreeTest, EachIconIsStoredOnceWhateverTheNumberOfFolders) {
    for (int i = 0; i < 30; ++i)
        Mkdir("f" + std::to_string(i) + "/sub");
    Bind();
    view.expand(Drive());
    view.expand(Child(Drive(), "f3"));
    view.expand(Child(Drive(), "f7"));
    EXPECT_EQ(images.Count(), 3); // the drive, the folder, the open folder
    EXPECT_TRUE(images.Contains(QStringLiteral("ICON:%1").arg(int(IconId::Folder))));
    EXPECT_EQ(Model().ImageKey(Child(Drive(), "f3")), QStringLiteral("ICON:%1").arg(int(IconId::Folder)));
    EXPECT_EQ(Model().SelectedImageKey(Child(Drive(), "f3")),
              QStringLiteral("ICON:%1").arg(int(IconId::FolderOpen)));
}

TEST_F(FolderTreeTest, PathOpensTheTreeDownToTheFolderInItsLongForm) {
    Mkdir("a/b/c");
    Mkdir("z");
    fs::create_directory_symlink(fs::path(root.toStdString()) / "a", fs::path(root.toStdString()) / "z/toA");

    tree.SetPath(QFile::decodeName(At("a/b"))); // unbound: nothing happens
    EXPECT_NE(tree.NativePath(), At("a/b/"));
    Bind();

    tree.SetNativePath(At("z/../a/./b"));
    EXPECT_EQ(tree.NativePath(), At("a/b/"));
    EXPECT_EQ(tree.Path(), QFile::decodeName(At("a/b/")));
    EXPECT_EQ(Model().NativePath(tree.SelectedNode()), At("a/b/"));
    EXPECT_TRUE(view.isExpanded(Child(Drive(), "a")));
    // The folder itself is opened, so its subfolders show; theirs are not read.
    EXPECT_EQ(Texts(tree.SelectedNode()), QStringList{"c"});
    EXPECT_EQ(lister.listed.count(At("a/b/c/")), 0u);

    tree.SetNativePath(At("z/toA/b")); // through a link: the real folder
    EXPECT_EQ(tree.NativePath(), At("a/b/"));
    EXPECT_EQ(CTreeView::GetLongPathName(QString()), QString());
    EXPECT_EQ(CTreeView::GetLongPathName(QStringLiteral("/")), QStringLiteral("/"));
}

TEST_F(FolderTreeTest, DeepLongNamesShowWholeWithAHorizontalScrollBar) {
    const std::string deep =
        "第一の長いフォルダの名前/second level folder with a long name/third level folder named at length";
    Mkdir(deep);
    view.resize(2000 / 15, 300); // the default pane
    view.show();
    Bind();
    tree.SetNativePath(At(QByteArray::fromStdString(deep)));
    QTest::qWait(20);
    const QModelIndex node = tree.SelectedNode();
    ASSERT_TRUE(node.isValid());
    EXPECT_EQ(view.textElideMode(), Qt::ElideNone);
    const int textWidth = view.fontMetrics().horizontalAdvance(Model().Text(node));
    EXPECT_GE(view.visualRect(node).width(), textWidth); // room for the whole name
    EXPECT_GT(view.horizontalScrollBar()->maximum(), 0);

    // In a folder of many, only the rows in view are measured: a long name further down widens
    // the column when it scrolls into view, not before.
    for (int i = 0; i < 300; ++i)
        Mkdir("many/f" + std::to_string(1000 + i));
    Mkdir("many/zz a folder whose name is far longer than any other name in this folder");
    tree.Refresh();
    tree.SetNativePath(At("many"));
    QTest::qWait(20);
    const QModelIndex last = Model().index(Model().rowCount(tree.SelectedNode()) - 1, 0, tree.SelectedNode());
    ASSERT_TRUE(Model().Text(last).startsWith(QStringLiteral("zz")));
    const int lastWidth = view.fontMetrics().horizontalAdvance(Model().Text(last));
    EXPECT_LT(view.visualRect(last).width(), lastWidth);
    view.scrollToBottom();
    QTest::qWait(20);
    EXPECT_GE(view.visualRect(last).width(), lastWidth);
}

TEST_F(FolderTreeTest, AViewDestroyedWhileBoundAndFocusedLeavesTheTreeUsable) {
    Bind();
    {
        auto* doomed = new QTreeView;
        tree.SetTreeView(doomed);
        doomed->show();
        doomed->activateWindow();
        doomed->setFocus();
        QTest::qWait(10);
        delete doomed; // its destruction sends events to the tree's filter
    }
    EXPECT_EQ(tree.TreeView(), nullptr);
    EXPECT_FALSE(tree.ExpTreeForcus());
    tree.SetTreeView(&view);
    EXPECT_EQ(Model().rowCount(), 1);
}

TEST_F(FolderTreeTest, GoToUpperDirClimbsAndStopsAtTheRoot) {
    Mkdir("a/b");
    Bind();
    tree.SetNativePath(At("a/b"));
    tree.GoToUpperDir();
    EXPECT_EQ(tree.NativePath(), At("a/"));
    EXPECT_EQ(Model().NativePath(tree.SelectedNode()), At("a/"));
    EXPECT_EQ(host.fills, 1);

    // The real root: reading "/" is harmless and shows it stays put.
    lister.drives = {{"/", QStringLiteral("/"), IconId::DriveRoot}};
    tree.Refresh();
    tree.SetNativePath("/");
    tree.GoToUpperDir();
    EXPECT_EQ(tree.NativePath(), QByteArray("/"));
    EXPECT_EQ(host.fills, 2);
    tree.SetNativePath("/");
    EXPECT_EQ(tree.GetExpTreePath(), QStringLiteral("/"));
    EXPECT_TRUE(messages.asked.empty());
}

TEST_F(FolderTreeTest, RefreshRebuildsFromTheDrivesAndReopensPath) {
    Mkdir("a/b");
    Bind();
    tree.SetNativePath(At("a/b"));
    Mkdir("a/b2");
    tree.Refresh();
    EXPECT_EQ(lister.driveCalls, 2);
    EXPECT_EQ(Model().rowCount(), 1);
    EXPECT_EQ(Model().NativePath(tree.SelectedNode()), At("a/b/"));
    EXPECT_EQ(Texts(Child(Drive(), "a")), (QStringList{"b", "b2"}));
}

TEST_F(FolderTreeTest, AFolderThatVanishedOrCannotBeReadGivesTheMessageAndStaysClosed) {
    Mkdir("gone/sub");
    Mkdir("locked/sub");
    Mkdir("keep");
    Bind();
    view.expand(Drive());
    view.setCurrentIndex(Child(Drive(), "keep"));

    fs::remove_all(fs::path(root.toStdString()) / "gone");
    view.expand(Child(Drive(), "gone"));
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, QStringLiteral("パスが見つかりません。: &H2"));
    EXPECT_EQ(messages.asked[0].title, QStringLiteral("Kavetto"));
    EXPECT_EQ(messages.asked[0].icon, kv::platform::MsgIcon::Critical);
    EXPECT_FALSE(view.isExpanded(Child(Drive(), "gone")));
    EXPECT_TRUE(Model().HoldsPlaceholder(Child(Drive(), "gone")));
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("keep")); // selection kept

    // Running as root, permissions do not stop a read: the lister plays the refusal.
    lister.failures[At("locked/")] = EACCES;
    view.expand(Child(Drive(), "locked"));
    ASSERT_EQ(messages.asked.size(), 2u);
    EXPECT_EQ(messages.asked[1].text, QStringLiteral("アクセスが拒否されました。: &HD"));
    EXPECT_FALSE(view.isExpanded(Child(Drive(), "locked")));
    lister.failures.clear();
    view.expand(Child(Drive(), "locked")); // the next attempt reads again
    EXPECT_EQ(Texts(Child(Drive(), "locked")), QStringList{"sub"});

    // Navigating to a vanished folder ends on the nearest folder the tree has, without a message.
    tree.SetNativePath(At("gone/sub"));
    EXPECT_EQ(tree.NativePath(), root);
    EXPECT_EQ(messages.asked.size(), 2u);

    // A drive without a medium: the message, and the drive stays as it was.
    lister.failures[root] = ENOMEDIUM;
    tree.Refresh();
    EXPECT_EQ(messages.asked.back().text, QStringLiteral("デバイスの準備ができていません。: &H7B"));
    EXPECT_TRUE(Model().HoldsPlaceholder(Drive()));
}

TEST_F(FolderTreeTest, LinkLoopsAreShownButOnlyFollowedOneLevelPerOpening) {
    Mkdir("a");
    fs::create_directory_symlink(root.toStdString(), fs::path(root.toStdString()) / "a/up");
    fs::create_symlink("self", fs::path(root.toStdString()) / "self"); // a link to itself
    fs::create_symlink("nowhere", fs::path(root.toStdString()) / "dangling");
    Bind();
    view.expand(Drive());
    EXPECT_EQ(Texts(Drive()), QStringList{"a"}); // the looping and dangling links are no folders

    QModelIndex node = Child(Drive(), "a");
    for (int depth = 0; depth < 6; ++depth) {
        view.expand(node);
        const QModelIndex up = Child(node, "up");
        ASSERT_TRUE(up.isValid()) << depth;
        view.expand(up);
        node = Child(up, "a");
        ASSERT_TRUE(node.isValid()) << depth;
    }
    EXPECT_TRUE(messages.asked.empty());
    // Its long form is the real folder, so the folder view shows a real place.
    view.setCurrentIndex(node);
    tree.MousePressed(node, Qt::LeftButton, QPoint());
    EXPECT_EQ(tree.NativePath(), At("a/"));
    EXPECT_EQ(CTreeView::GetLongPathName(At("self/x")), At("self/x/")); // ELOOP: tidied, not followed
}

TEST_F(FolderTreeTest, NamesThatAreNotUtf8ShowReplacementCharactersAndStillOpen) {
    const QByteArray bad("bad\xff\xfe name");
    ASSERT_EQ(::mkdir(At(bad).constData(), 0755), 0);
    ASSERT_EQ(::mkdir(At(bad + "/inner").constData(), 0755), 0);
    Bind();
    view.expand(Drive());
    ASSERT_EQ(Model().rowCount(Drive()), 1);
    const QModelIndex node = Model().index(0, 0, Drive());
    EXPECT_TRUE(Model().Text(node).contains(QChar(0xFFFD)));
    EXPECT_EQ(Model().NativePath(node), At(bad + "/"));
    EXPECT_TRUE(Model().hasChildren(node));
    view.expand(node);
    EXPECT_EQ(Texts(node), QStringList{"inner"});

    view.setCurrentIndex(node);
    tree.MousePressed(node, Qt::LeftButton, QPoint());
    EXPECT_EQ(tree.NativePath(), At(bad + "/")); // the bytes, not their shown form
    tree.SetNativePath(At(bad + "/inner"));
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("inner"));
    tree.GoToUpperDir();
    EXPECT_EQ(tree.NativePath(), At(bad + "/"));
    EXPECT_TRUE(messages.asked.empty());
}

TEST_F(FolderTreeTest, PressingANodeMakesItPathAndTheRightButtonPopsUpTheTreeMenu) {
    Mkdir("a");
    Mkdir("b");
    Bind();
    tree.SetNativePath(root);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QModelIndex b = Child(Drive(), "b");
    const int fills = host.fills;

    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, view.visualRect(b).center());
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, view.visualRect(b).center());
    EXPECT_EQ(tree.NativePath(), At("b/"));
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("b"));
    EXPECT_EQ(host.fills, fills + 1);
    EXPECT_TRUE(host.calls.isEmpty());

    // The right button also selects the node it pressed, so the menu's commands act on it.
    const QModelIndex a = Child(Drive(), "a");
    QTest::mousePress(view.viewport(), Qt::RightButton, {}, view.visualRect(a).center());
    QTest::mouseRelease(view.viewport(), Qt::RightButton, {}, view.visualRect(a).center());
    EXPECT_EQ(tree.NativePath(), At("a/"));
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("a"));
    EXPECT_EQ(host.calls, (QStringList{"show IDMGoToTrash", "hide IDMDeleteItem", "disable IDMshufle",
                                       "disable IDMWriteEmptyCell", "popup IDMListAndExploror",
                                       "enable IDMshufle", "enable IDMWriteEmptyCell"}));

    // Pressing beside every node changes nothing.
    host.calls.clear();
    tree.MousePressed(QModelIndex(), Qt::RightButton, QPoint());
    EXPECT_EQ(tree.NativePath(), At("a/"));
    EXPECT_TRUE(host.calls.isEmpty());
}

TEST_F(FolderTreeTest, KeysOfTheTree) {
    Mkdir("a");
    Mkdir("b");
    Bind();
    tree.SetNativePath(At("a"));
    view.show();
    view.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    QTest::keyClick(&view, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(&view, Qt::Key_Right, Qt::AltModifier);
    QTest::keyClick(&view, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(&view, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(host.toolbarClicks, (std::vector<int>{4, 5}));
    EXPECT_EQ(host.volumeSteps, (std::vector<int>{2, -2}));
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("a")); // Alt+arrows do not move the tree

    QTest::keyClick(&view, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(host.properties, QStringList{QFile::decodeName(At("a"))});
    EXPECT_EQ(host.calls, QStringList{"properties busy=1"});
    EXPECT_EQ(host.busy, 0);

    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(host.recycled, 1);

    // A plain arrow moves the tree, and the folder view follows the node it moved to.
    const int fills = host.fills;
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("b"));
    EXPECT_EQ(tree.NativePath(), At("b/"));
    EXPECT_EQ(host.fills, fills + 1);
}

TEST_F(FolderTreeTest, FocusIsTrackedAndReselectsPath) {
    Mkdir("a");
    Mkdir("b");
    Bind();
    tree.SetNativePath(At("a"));
    view.setCurrentIndex(Child(Drive(), "b"));
    EXPECT_FALSE(tree.ExpTreeForcus());
    tree.FocusEntered();
    EXPECT_TRUE(tree.ExpTreeForcus());
    EXPECT_EQ(Model().Text(tree.SelectedNode()), QStringLiteral("a"));
    tree.FocusLeft();
    EXPECT_FALSE(tree.ExpTreeForcus());
}

TEST_F(FolderTreeTest, GetExpTreePathComesFromTheShownTexts) {
    Mkdir("music/live");
    Bind();
    EXPECT_EQ(tree.GetExpTreePath(), QString()); // nothing selected
    tree.SetNativePath(At("music/live"));
    EXPECT_EQ(tree.GetExpTreePath(), QFile::decodeName(At("music/live")));
    view.setCurrentIndex(Drive());
    EXPECT_EQ(tree.GetExpTreePath(), QFile::decodeName(root.chopped(1)));

    // The tag editor renames the folder: the node's text and its path follow.
    fs::rename(fs::path(root.toStdString()) / "music", fs::path(root.toStdString()) / "曲");
    view.setCurrentIndex(Child(Drive(), "music"));
    tree.SetSelectedNodeText(QStringLiteral("曲"));
    EXPECT_EQ(tree.GetExpTreePath(), QFile::decodeName(At("曲")));
    EXPECT_EQ(Model().NativePath(Child(Child(Drive(), "曲"), "live")), At("曲/live/"));

    // A drive text holding no mount point gives the empty string.
    lister.drives[0].displayName = QStringLiteral("ラベルだけ");
    tree.Refresh();
    view.setCurrentIndex(Drive());
    EXPECT_EQ(tree.GetExpTreePath(), QString());
}

TEST_F(FolderTreeTest, DropsTakeTheTreeToTheFolderOfWhatWasDropped) {
    Mkdir("album/disc1");
    Touch("album/track.mp3");
    Bind();

    tree.DragDropToTree(QFile::decodeName(At("album/track.mp3")));
    EXPECT_EQ(tree.NativePath(), At("album/"));
    EXPECT_EQ(Model().NativePath(tree.SelectedNode()), At("album/"));
    EXPECT_EQ(host.fills, 1);

    tree.Dropped({QFile::decodeName(At("album/disc1")), QFile::decodeName(At("album/track.mp3"))}, false);
    EXPECT_EQ(tree.NativePath(), At("album/disc1/"));

    // Rows from the playlist view carry no file name: the selected track's path is used.
    host.activeView = 1;
    host.playlistTrack = QFile::decodeName(At("album/track.mp3"));
    tree.Dropped({}, true);
    EXPECT_EQ(tree.NativePath(), At("album/"));
    host.activeView = 0; // rows from the folder view take the tree nowhere
    tree.SetNativePath(root);
    tree.Dropped({}, true);
    EXPECT_EQ(tree.NativePath(), root);
    EXPECT_EQ(host.fills, 3);
}

TEST_F(FolderTreeTest, FormatTreeStartsAtTheStoredFolderOrTheProgramFolder) {
    Mkdir("stored/x");
    Mkdir("program");
    host.settingsFile = QString::fromStdString(tmp.file("kvp.ini"));
    host.programFolder = QFile::decodeName(At("program"));
    kv::platform::WriteSetting(QStringLiteral("other"), QStringLiteral("InitialDir"),
                               QFile::decodeName(At("stored/")), host.settingsFile);
    EXPECT_FALSE(tree.TreeBuilt());
    tree.FormatTree(&view, &images);
    EXPECT_TRUE(tree.TreeBuilt());
    EXPECT_EQ(tree.NativePath(), At("stored/"));
    EXPECT_EQ(Model().NativePath(tree.SelectedNode()), At("stored/"));

    kv::platform::WriteSetting(QStringLiteral("other"), QStringLiteral("InitialDir"),
                               QFile::decodeName(At("vanished/")), host.settingsFile);
    CTreeView second(host);
    second.SetLister(&lister);
    QTreeView view2;
    second.FormatTree(&view2, &images);
    EXPECT_EQ(second.NativePath(), At("program/"));
}

TEST_F(FolderTreeTest, AFolderOfManySubfoldersIsNotProbedChildByChild) {
    const int count = FolderTreeModel::kCheckAtOnceLimit + 44;
    for (int i = 0; i < count; ++i)
        Mkdir("many/" + std::to_string(10000 + i));
    Mkdir("many/10001/sub");
    Bind();
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    tree.SetNativePath(At("many"));
    EXPECT_EQ(Model().rowCount(tree.SelectedNode()), count);
    EXPECT_EQ(lister.probed.count(At("many/10000/")), 0u);
    QModelIndex first = Child(tree.SelectedNode(), "10000");
    EXPECT_TRUE(Model().hasChildren(first)); // "perhaps" until settled

    // The rows in view are settled; the rest are not touched.
    QCoreApplication::processEvents();
    EXPECT_GT(lister.TotalProbed(), 0);
    EXPECT_LT(lister.TotalProbed(), count);
    EXPECT_FALSE(Model().hasChildren(Child(tree.SelectedNode(), "10000")));
    EXPECT_TRUE(Model().hasChildren(Child(tree.SelectedNode(), "10001")));

    // One far down that turns out empty loses its button on opening, without a message.
    const QModelIndex last = Child(tree.SelectedNode(), QString::number(10000 + count - 1));
    EXPECT_TRUE(Model().hasChildren(last));
    view.expand(last);
    EXPECT_FALSE(Model().hasChildren(last));
    EXPECT_TRUE(messages.asked.empty());
}

TEST(OpenFailureTextTest, DescriptionThenHexNumber) {
    EXPECT_EQ(kv::browser::OpenFailureText(ENOENT), QStringLiteral("パスが見つかりません。: &H2"));
    EXPECT_EQ(kv::browser::OpenFailureText(EIO), QStringLiteral("デバイス I/O エラーです。: &H5"));
    EXPECT_EQ(kv::browser::OpenFailureText(ELOOP),
              QStringLiteral("シンボリック リンクの階層が深すぎます。: &H28"));
    EXPECT_EQ(kv::browser::OpenFailureText(ETIMEDOUT),
              QStringLiteral("ネットワーク上のパスに接続できません。: &H6E"));
}

} // namespace
