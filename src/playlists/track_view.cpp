#include "playlists/track_view.h"

#include "playlists/track_format.h"
#include "playlists/track_list.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace kv::playlists {

static bool CarriesFiles(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return false;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) return true;
    return false;
}

static bool Acceptable(const QMimeData* mime) {
    return mime && (CarriesFiles(mime) || mime->hasFormat(TrackListModel::kRowsMimeType));
}

TrackView::TrackView(TrackList& list, int viewIndex, QWidget* parent)
    : QTreeView(parent), list_(list), view_(viewIndex) {
    TrackListModel& model = list_.ListView(view_);
    setModel(&model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);

    QHeaderView* head = header();
    head->setStretchLastSection(false);
    head->setSectionsMovable(true);
    head->setSectionsClickable(true);
    head->setSortIndicatorShown(false);
    for (int c = 0; c < kTrackColumnCount; ++c) {
        if (IsHiddenColumn(c))
            head->hideSection(c);
        else
            head->resizeSection(c, TwipsToPixels(kInitialColumnTwips));
    }
    connect(head, &QHeaderView::sectionClicked, this,
            [this](int column) { list_.SortByColumn(view_, column); });

    connect(&model, &TrackListModel::SelectionFlagsChanged, this, &TrackView::ApplySelectionFlags);
    connect(&model, &TrackListModel::CurrentRowSet, this, &TrackView::ApplyCurrentRow);
    connect(&model, &TrackListModel::ScrollToRowRequested, this,
            [this](int row) { scrollTo(this->model()->index(row, 0)); });
    connect(&model, &TrackListModel::FocusRequested, this, [this] { setFocus(Qt::OtherFocusReason); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (applying_) return;
                TrackListModel& m = list_.ListView(view_);
                for (const QItemSelectionRange& range : deselected)
                    for (int r = range.top(); r <= range.bottom(); ++r)
                        m.SyncSelectedFromView(r, false);
                for (const QItemSelectionRange& range : selected)
                    for (int r = range.top(); r <= range.bottom(); ++r)
                        m.SyncSelectedFromView(r, true);
            });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!applying_) list_.ListView(view_).SyncCurrentFromView(current.row());
            });
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { list_.RowClicked(view_, index.row()); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { list_.RowActivated(view_); });
}

int TrackView::ColumnWidthTwips(int column) const {
    if (header()->isSectionHidden(column)) return 0;
    return PixelsToTwips(header()->sectionSize(column));
}

void TrackView::SetColumnWidthTwips(int column, int twips) {
    if (column < 0 || column >= kTrackColumnCount || IsHiddenColumn(column)) return;
    header()->resizeSection(column, std::max(0, TwipsToPixels(twips)));
}

void TrackView::SetColumnPosition(int column, int position) {
    if (column < 0 || column >= kTrackColumnCount || position < 0 || position >= kTrackColumnCount) return;
    header()->moveSection(header()->visualIndex(column), position);
}

int TrackView::RowAtY(int y) const {
    return indexAt(QPoint(TwipsToPixels(100), y)).row();
}

void TrackView::ApplySelectionFlags() {
    const TrackListModel& m = list_.ListView(view_);
    QItemSelection selection;
    const int last = m.columnCount() - 1;
    int first = -1;
    for (int r = 0; r <= m.Count(); ++r) {
        bool selected = r < m.Count() && m.IsSelected(r);
        if (selected && first < 0) first = r;
        if (!selected && first >= 0) {
            selection.select(m.index(first, 0), m.index(r - 1, last));
            first = -1;
        }
    }
    applying_ = true;
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    applying_ = false;
}

void TrackView::ApplyCurrentRow(int row) {
    applying_ = true;
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
    applying_ = false;
}

void TrackView::mousePressEvent(QMouseEvent* event) {
    const int row = RowAtY(event->position().toPoint().y());
    list_.MousePressed(view_, row, event->button(), event->modifiers(), event->globalPosition().toPoint());
    // The right button's selection and pop-up menu are done; Qt's own handling would undo them.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

// The view's menu came with the right button's press; the window must not add its own.
void TrackView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void TrackView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    list_.MouseReleased(view_);
}

void TrackView::keyPressEvent(QKeyEvent* event) {
    if (list_.KeyPressed(view_, event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TrackView::keyReleaseEvent(QKeyEvent* event) {
    list_.KeyReleased(view_, event->key());
    QTreeView::keyReleaseEvent(event);
}

void TrackView::focusInEvent(QFocusEvent* event) {
    list_.FocusEntered(view_);
    QTreeView::focusInEvent(event);
}

// A dialog opened with a Ctrl shortcut takes the key's release: the list counts Ctrl as let go
// when the keyboard leaves it, except for a menu, where the hidden item is to be chosen.
void TrackView::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::PopupFocusReason) list_.KeyReleased(view_, Qt::Key_Control);
    QTreeView::focusOutEvent(event);
}

void TrackView::dragEnterEvent(QDragEnterEvent* event) {
    if (!Acceptable(event->mimeData())) {
        event->ignore();
        return;
    }
    QTreeView::dragEnterEvent(event);
    event->acceptProposedAction();
}

void TrackView::dragMoveEvent(QDragMoveEvent* event) {
    if (!Acceptable(event->mimeData())) {
        event->ignore();
        return;
    }
    QTreeView::dragMoveEvent(event); // auto-scroll and the drop indicator
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TrackView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!Acceptable(mime)) {
        event->ignore();
        return;
    }
    const bool hasFiles = CarriesFiles(mime);
    QStringList paths;
    if (hasFiles)
        for (const QUrl& url : mime->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
    const int row = RowAtY(event->position().toPoint().y());
    // The rows are moved by the list logic; a Copy answer keeps Qt from removing them at the
    // source as well.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setState(QAbstractItemView::NoState);
    viewport()->update();
    list_.DropOnView(view_, paths, hasFiles, row);
}

} // namespace kv::playlists
