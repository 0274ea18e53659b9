#include "browser/ctree_view.h"

#include "platform/ini.h"
#include "platform/message_box.h"
#include "playlists/track_list_model.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace kv::browser {

namespace {

// A selected folder shows its "open" picture, as the tree control's selected image did.
class SelectedImageDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_Selected)) return;
        const QVariant open = index.data(FolderTreeModel::SelectedIconRole);
        if (open.isValid()) option->icon = open.value<QIcon>();
    }
};

bool IsFolder(const QByteArray& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString Describe(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("パスが見つかりません。");
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスが拒否されました。");
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("デバイスの準備ができていません。");
    case EIO:
        return QStringLiteral("デバイス I/O エラーです。");
    case ELOOP:
        return QStringLiteral("シンボリック リンクの階層が深すぎます。");
    case ENAMETOOLONG:
        return QStringLiteral("パス名が長すぎます。");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます。");
    case ESTALE:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENOTCONN:
    case ECONNREFUSED:
        return QStringLiteral("ネットワーク上のパスに接続できません。");
    default:
        return QStringLiteral("フォルダを読み込めません。");
    }
}

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

} // namespace

QString OpenFailureText(int error) {
    return Describe(error) + QStringLiteral(": &H") + QString::number(error, 16).toUpper();
}

CTreeView::CTreeView(TreeHost& host, QObject* parent) : QObject(parent), host_(host) {
    std::error_code ec;
    path_ = GetLongPathName(QByteArray::fromStdString(std::filesystem::current_path(ec).native()));
    // Rows that come, go or change their names may change the widest row in view.
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] { ScheduleResolve(); });
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, [this] { ScheduleResolve(); });
    connect(&model_, &QAbstractItemModel::dataChanged, this, [this] { ScheduleResolve(); });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        widest_ = 0;
        ScheduleResolve();
    });
}

CTreeView::~CTreeView() {
    if (view_) {
        view_->removeEventFilter(this);
        view_->viewport()->removeEventFilter(this);
        view_->setModel(nullptr);
    }
}

void CTreeView::SetTreeView(QTreeView* view) {
    if (view_ == view) return;
    if (view_) {
        view_->removeEventFilter(this);
        view_->viewport()->removeEventFilter(this);
        disconnect(view_, nullptr, this, nullptr);
        disconnect(view_->verticalScrollBar(), nullptr, this, nullptr);
        view_->setModel(nullptr);
    }
    view_ = view;
    filteredView_ = filteredViewport_ = nullptr;
    if (!view_) return;
    Bind();
    if (Bound()) model_.AddDrives();
}

void CTreeView::SetImageList(TreeImageList* images) {
    images_ = images;
    model_.SetImageList(images);
    if (Bound()) model_.AddDrives();
}

void CTreeView::Bind() {
    view_->setModel(&model_);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true); // a folder of thousands of subfolders lays out in one pass
    view_->setRootIsDecorated(true);
    view_->setItemsExpandable(true);
    view_->setExpandsOnDoubleClick(true);
    view_->setAnimated(false);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setDragDropMode(QAbstractItemView::NoDragDrop);
    view_->setAcceptDrops(true);
    view_->viewport()->setAcceptDrops(true);
    view_->setItemDelegate(new SelectedImageDelegate(view_));
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    filteredView_ = view_;
    filteredViewport_ = view_->viewport();
    // Whole names with a horizontal scroll bar, as a tree control shows them, never elided. The
    // column is sized from the rows in view (ResolveVisibleNodes), not by the header measuring
    // every row of a folder of thousands on every layout.
    view_->setTextElideMode(Qt::ElideNone);
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionResizeMode(QHeaderView::Interactive);
    widest_ = 0;
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(view_, &QTreeView::expanded, this, &CTreeView::NodeExpanded);
    connect(view_, &QTreeView::collapsed, this, &CTreeView::NodeCollapsed);
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ScheduleResolve(); });
}

QString CTreeView::GetLongPathName(const QString& path) {
    return QFile::decodeName(GetLongPathName(QFile::encodeName(path)));
}

QByteArray CTreeView::GetLongPathName(const QByteArray& path) {
    if (path.isEmpty()) return QByteArray();
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p(path.toStdString());
    if (p.is_relative()) p = fs::current_path(ec) / p;
    // Resolves as much of the path as exists; a link loop or an unreadable component makes it
    // fail, and then the path is only tidied, never followed further.
    fs::path resolved = fs::weakly_canonical(p, ec);
    if (ec) resolved = p.lexically_normal();
    QByteArray out = QByteArray::fromStdString(resolved.native());
    if (!out.endsWith('/')) out += '/';
    return out;
}

QString CTreeView::Path() const {
    return QFile::decodeName(path_);
}

void CTreeView::SetPath(const QString& path) {
    SetNativePath(QFile::encodeName(path));
}

void CTreeView::SetNativePath(const QByteArray& path) {
    if (!Bound()) return;
    const QByteArray want = GetLongPathName(path);
    if (want.isEmpty()) return;
    bool complete = false;
    QModelIndex node = model_.Reveal(want, &complete);
    // A folder that is gone gives way to the nearest folder above it that still exists (the walk
    // may have stopped on a node whose folder vanished since it was listed).
    const bool exists = complete || IsFolder(want);
    if (!exists)
        while (node.isValid() && !IsFolder(model_.NativePath(node)))
            node = node.parent();
    if (node.isValid()) {
        QList<QModelIndex> ancestors;
        for (QModelIndex p = node.parent(); p.isValid(); p = p.parent())
            ancestors.prepend(p);
        for (const QModelIndex& p : ancestors)
            view_->expand(p);
        const QPersistentModelIndex target(node);
        if (complete && model_.HoldsPlaceholder(target)) {
            // Opened here rather than through the view's expand signal, so a failure is shown
            // once and the node simply stays closed.
            const int error = model_.OpenFolder(target);
            if (error != 0)
                platform::ShowMessage(OpenFailureText(error), platform::MsgButtons::Ok,
                                      platform::MsgIcon::Critical);
        }
        if (target.isValid()) {
            if (model_.IsOpened(target)) view_->expand(target);
            view_->setCurrentIndex(target);
            view_->scrollTo(target);
        }
    }
    // A folder the tree cannot reach (an unreadable parent) is still the folder asked for.
    if (exists)
        path_ = want;
    else if (node.isValid())
        path_ = model_.NativePath(node);
    ScheduleResolve();
}

void CTreeView::Refresh() {
    model_.Clear();
    if (Bound()) model_.AddDrives();
    SetNativePath(path_);
}

void CTreeView::FormatTree(QTreeView* expTree, TreeImageList* explorImageList) {
    SetTreeView(expTree);
    SetImageList(explorImageList);
    const QString stored =
        platform::ReadSetting(QStringLiteral("other"), QStringLiteral("InitialDir"), host_.SettingsFile());
    QByteArray folder = QFile::encodeName(stored);
    if (stored.isEmpty() || !IsFolder(folder)) folder = QFile::encodeName(host_.ProgramFolder()) + '/';
    SetNativePath(folder);
    built_ = true;
}

void CTreeView::GoToUpperDir() {
    QByteArray parent = path_;
    if (parent.size() > 1) {
        const int cut = parent.lastIndexOf('/', parent.size() - 2);
        if (cut >= 0) parent.truncate(cut + 1);
    }
    SetNativePath(parent); // the root stays the root
    host_.FillFolderView();
}

QModelIndex CTreeView::SelectedNode() const {
    return view_ ? view_->currentIndex() : QModelIndex();
}

QString CTreeView::GetExpTreePath() const {
    // Built from the display texts, as the selected node shows its place: the drive's text holds
    // its mount point (in brackets after a label, or alone for the root) where a drive letter
    // and colon would stand elsewhere; no mount point in it gives the empty string.
    QModelIndex node = SelectedNode();
    if (!node.isValid() || model_.IsPlaceholder(node)) return QString();
    QStringList parts;
    for (; node.parent().isValid(); node = node.parent())
        parts.prepend(model_.Text(node));
    const QString drive = model_.Text(node);
    QString mount;
    const int open = drive.lastIndexOf(QStringLiteral(" (/"));
    if (open >= 0 && drive.endsWith(QLatin1Char(')')))
        mount = drive.mid(open + 2, drive.size() - open - 3);
    else if (drive.startsWith(QLatin1Char('/')))
        mount = drive;
    if (mount.isEmpty()) return QString();
    if (parts.isEmpty()) return mount;
    if (!mount.endsWith(QLatin1Char('/'))) mount += QLatin1Char('/');
    return mount + parts.join(QLatin1Char('/'));
}

void CTreeView::DragDropToTree(const QString& path) {
    QByteArray raw = QFile::encodeName(path);
    if (raw.isEmpty()) return;
    QByteArray target;
    if (IsFolder(raw)) {
        target = raw.endsWith('/') ? raw : raw + '/';
    } else {
        while (raw.size() > 1 && raw.endsWith('/'))
            raw.chop(1);
        const int cut = raw.lastIndexOf('/');
        target = cut >= 0 ? raw.left(cut + 1) : QByteArray("./");
    }
    SetNativePath(target);
    host_.FillFolderView();
}

void CTreeView::SetSelectedNodeText(const QString& name) {
    model_.SetFolderName(SelectedNode(), name);
}

void CTreeView::NodeExpanded(const QModelIndex& index) {
    if (failedOpening_) return;
    const QPersistentModelIndex node(index);
    const int error = model_.OpenFolder(node);
    if (error == 0) {
        ScheduleResolve();
        return;
    }
    platform::ShowMessage(OpenFailureText(error), platform::MsgButtons::Ok, platform::MsgIcon::Critical);
    if (!view_ || !node.isValid()) return;
    const QPersistentModelIndex selected(view_->currentIndex());
    failedOpening_ = true;
    view_->collapse(node);
    failedOpening_ = false;
    if (selected.isValid()) view_->setCurrentIndex(selected);
}

void CTreeView::NodeCollapsed(const QModelIndex& index) {
    if (failedOpening_) return;
    widest_ = 0; // the rows that made the column wide may be gone
    model_.CloseFolder(index);
}

void CTreeView::TakeNodeAsPath(const QModelIndex& index) {
    if (index.isValid() && !model_.IsPlaceholder(index)) {
        const QByteArray folder = GetLongPathName(model_.NativePath(index));
        if (!folder.isEmpty()) path_ = folder;
    }
    host_.FillFolderView();
}

void CTreeView::MousePressed(const QModelIndex& index, Qt::MouseButton button, const QPoint& globalPos) {
    if (!index.isValid() || model_.IsPlaceholder(index)) return;
    TakeNodeAsPath(index);
    if (button != Qt::RightButton) return;
    host_.SetMenuItemVisible(QStringLiteral("IDMGoToTrash"), true);
    host_.SetMenuItemVisible(QStringLiteral("IDMDeleteItem"), false);
    host_.SetMenuItemEnabled(QStringLiteral("IDMshufle"), false);
    host_.SetMenuItemEnabled(QStringLiteral("IDMWriteEmptyCell"), false);
    host_.PopupMenu(QStringLiteral("IDMListAndExploror"), globalPos);
    host_.SetMenuItemEnabled(QStringLiteral("IDMshufle"), true);
    host_.SetMenuItemEnabled(QStringLiteral("IDMWriteEmptyCell"), true);
}

bool CTreeView::KeyPressed(int key, Qt::KeyboardModifiers modifiers) {
    const bool alt = modifiers & Qt::AltModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!alt) return false;
        host_.SetBusyCursor(true);
        host_.ShowProperties(GetExpTreePath());
        host_.SetBusyCursor(false);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (!alt) return false;
        host_.ClickToolBarBack(key == Qt::Key_Left ? 4 : 5);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!alt) return false;
        host_.ChangeVolumeBar(key == Qt::Key_Up ? 2 : -2);
        return true;
    case Qt::Key_Delete:
        host_.SendSelectionToRecycleBin();
        return true;
    default:
        return false;
    }
}

void CTreeView::KeyHandled(int key, Qt::KeyboardModifiers modifiers) {
    // The folder view follows the node the key moved to, not the one it left.
    if (IsArrow(key) && !(modifiers & Qt::AltModifier)) TakeNodeAsPath(SelectedNode());
}

void CTreeView::FocusEntered() {
    focused_ = true;
    const QModelIndex node = model_.Find(path_);
    if (view_ && node.isValid()) view_->setCurrentIndex(node);
}

void CTreeView::FocusLeft() {
    focused_ = false;
}

void CTreeView::Dropped(const QStringList& paths, bool fromRows) {
    QString path;
    if (!paths.isEmpty())
        path = paths.first();
    else if (fromRows && host_.ActiveView() == 1)
        path = host_.SelectedPlaylistTrackPath();
    if (!path.isEmpty()) DragDropToTree(path);
}

void CTreeView::ScheduleResolve() {
    if (!view_ || resolveScheduled_) return;
    resolveScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        resolveScheduled_ = false;
        ResolveVisibleNodes();
    });
}

void CTreeView::ResolveVisibleNodes() {
    if (!view_) return;
    const int bottom = view_->viewport()->height();
    QModelIndex node = view_->indexAt(QPoint(0, 0));
    for (int guard = 0; node.isValid() && guard < 1000; ++guard) {
        if (view_->visualRect(node).top() > bottom) break;
        model_.ResolveSubfolders(node);
        widest_ = std::max(widest_, RowWidth(node));
        node = view_->indexBelow(node);
    }
    // The column only widens while rows scroll by, so the scroll bar does not jump under the
    // user; closing a folder lets it narrow again.
    if (widest_ > 0 && view_->header()->sectionSize(0) != widest_) view_->header()->resizeSection(0, widest_);
}

int CTreeView::RowWidth(const QModelIndex& index) const {
    int level = view_->rootIsDecorated() ? 1 : 0;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        ++level;
    return level * view_->indentation() + view_->sizeHintForIndex(index).width();
}

bool CTreeView::eventFilter(QObject* watched, QEvent* event) {
    // Events still come while the view is being destroyed (from ~QWidget, before the QPointer is
    // cleared): the pointer is only tested, never converted, and a view that is no longer a tree
    // view (its own destructor has run) is left alone.
    if (view_.isNull() || forwarding_) return false;
    if (watched == filteredView_) {
        const bool alive = qobject_cast<const QTreeView*>(watched) != nullptr;
        switch (event->type()) {
        case QEvent::KeyPress: {
            if (!alive) return false;
            auto* key = static_cast<QKeyEvent*>(event);
            if (KeyPressed(key->key(), key->modifiers())) return true;
            if (!IsArrow(key->key()) || (key->modifiers() & Qt::AltModifier)) return false;
            // Let the tree move first, then follow it.
            const int code = key->key();
            const Qt::KeyboardModifiers modifiers = key->modifiers();
            forwarding_ = true;
            QCoreApplication::sendEvent(view_, event);
            forwarding_ = false;
            KeyHandled(code, modifiers);
            return true;
        }
        case QEvent::FocusIn:
            // A pop-up menu takes the focus for a moment; the tree still counts as focused then,
            // so the menu's commands act on the tree.
            if (alive && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) FocusEntered();
            return false;
        case QEvent::FocusOut:
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) FocusLeft();
            return false;
        default:
            return false;
        }
    }
    if (watched == filteredViewport_) {
        switch (event->type()) {
        case QEvent::ContextMenu:
            // The tree's menu came with the right button's press; the window must not add its own.
            event->accept();
            return true;
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPersistentModelIndex node(view_->indexAt(mouse->position().toPoint()));
            const Qt::MouseButton button = mouse->button();
            const QPoint global = mouse->globalPosition().toPoint();
            forwarding_ = true;
            QCoreApplication::sendEvent(view_->viewport(), event);
            forwarding_ = false;
            MousePressed(node, button, global);
            return true;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            const QMimeData* data = drag->mimeData();
            if (data && (data->hasUrls() || data->hasFormat(playlists::TrackListModel::kRowsMimeType)))
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QMimeData* data = drop->mimeData();
            QStringList paths;
            if (data)
                for (const QUrl& url : data->urls())
                    if (url.isLocalFile()) paths << url.toLocalFile();
            const bool rows = data && data->hasFormat(playlists::TrackListModel::kRowsMimeType);
            drop->acceptProposedAction();
            Dropped(paths, rows);
            return true;
        }
        case QEvent::Resize:
            ScheduleResolve();
            return false;
        default:
            return false;
        }
    }
    return false;
}

} // namespace kv::browser
