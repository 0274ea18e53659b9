// The view widget: column set-up, selection mirrored both ways, header clicks and drops.
#include "fake_host.h"
#include "playlists/track_format.h"
#include "playlists/track_view.h"
#include "support/audio_files.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

using namespace kv::playlists;
using kvtest::FakeHost;

namespace {
TrackEntry Row(const QString& path, qint64 bytes) {
    TrackEntry e;
    e[ColFile] = path.section('/', -1);
    e[ColPath] = path;
    e[ColDefaultSize] = PadBytes(bytes);
    return e;
}
// Qt delivers a drop only after a real drag entered the widget; the test hands it over directly.
struct DropTarget : TrackView {
    using TrackView::dropEvent;
    using TrackView::TrackView;
};
} // namespace

TEST(TrackView, ColumnsStartOneInchWideWithHiddenColumnsZero) {
    FakeHost host;
    TrackList list(host);
    TrackView view(list, 1);
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(view.ColumnWidthTwips(c), 1440) << c;
    for (int c = 7; c < 10; ++c)
        EXPECT_EQ(view.ColumnWidthTwips(c), 0) << c;
    view.SetColumnWidthTwips(2, 3000);
    EXPECT_EQ(view.ColumnWidthTwips(2), 3000);
    view.SetColumnPosition(6, 0);
    EXPECT_EQ(view.ColumnPosition(6), 0);
}

TEST(TrackView, SelectionFollowsTheModelAndTheUser) {
    FakeHost host;
    TrackList list(host);
    TrackView view(list, 1);
    TrackListModel& model = list.ListView(1);
    model.AppendRows({Row("/m/a.mp3", 3), Row("/m/b.mp3", 2), Row("/m/c.mp3", 1)});
    model.SelectOnly({0, 2});
    EXPECT_TRUE(view.selectionModel()->isRowSelected(0, {}));
    EXPECT_FALSE(view.selectionModel()->isRowSelected(1, {}));
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {}));

    view.selectionModel()->select(model.index(1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(model.SelectedRows(), QVector<int>({1}));

    // A header click sorts through the list logic, and the selection moves with its row.
    emit view.header()->sectionClicked(ColSize);
    emit view.header()->sectionClicked(ColSize);
    EXPECT_EQ(model.Row(0).Path(), "/m/c.mp3");
    EXPECT_EQ(model.SelectedRows(), QVector<int>({1}));
    EXPECT_TRUE(view.selectionModel()->isRowSelected(1, {}));
    EXPECT_EQ(host.savedLists.size(), 2);
}

TEST(TrackView, DroppedFileUrlsReachTheList) {
    kvtest::TempDir dir;
    QString path = QString::fromStdString(dir.file("a.mp3"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, 'x'));
    }
    FakeHost host;
    TrackList list(host);
    DropTarget view(list, 1);
    view.resize(600, 300);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path), QUrl("https://example.com/b.mp3")});
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    view.dropEvent(&drop);
    ASSERT_EQ(list.ListView(1).Count(), 1);
    EXPECT_EQ(list.ListView(1).Row(0).Path(), path);
    EXPECT_EQ(host.saveImages, QStringList({"save"}));
}
