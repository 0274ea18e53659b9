// CTreeView: the folder tree of the main window's left pane. It wraps the tree control ExpTree
// (a QTreeView) and its image list ExplorImageList, shows the drives (the root and the mounted
// volumes) and their folders lazily through FolderTreeModel, and keeps Path, the folder the
// folder view shows.
//
// The bound QTreeView is left as it is made; CTreeView sets it up when bound and watches its
// events through an event filter (keys, mouse presses, focus, drops on the view and viewport).
// Tests call the event handlers (MousePressed, KeyPressed, ...) directly.
//
// Paths: this system's folders are native byte strings. Path is kept as bytes, so a folder whose
// name is not valid UTF-8 still works here; Path() gives it as text (with U+FFFD where the bytes
// are not UTF-8) and NativePath() as bytes. Folder paths end in '/'.
//
// Threads: UI thread only.
#pragma once
#include "browser/folder_tree_model.h"
#include "browser/tree_host.h"
#include "browser/tree_image_list.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <QTreeView>

namespace kv::browser {

// The text of the message for a folder that cannot be listed: the error's description, ": &H"
// and the error number in hexadecimal.
QString OpenFailureText(int error);

class CTreeView : public QObject {
    Q_OBJECT
  public:
    explicit CTreeView(TreeHost& host, QObject* parent = nullptr);
    ~CTreeView() override;

    QTreeView* TreeView() const { return view_; }
    void SetTreeView(QTreeView* view);
    TreeImageList* ImageList() const { return images_; }
    void SetImageList(TreeImageList* images);

    // The long form of a folder path: absolute, with ".", ".." and symbolic links resolved as
    // far as the path exists, ending in '/'. Empty for an empty path.
    static QString GetLongPathName(const QString& path);
    static QByteArray GetLongPathName(const QByteArray& path);

    QString Path() const;
    QByteArray NativePath() const { return path_; }
    // Opens the tree down to the folder and selects it. Nothing happens until both the view and
    // the image list are bound.
    void SetPath(const QString& path);
    void SetNativePath(const QByteArray& path);

    void Refresh();
    static QIcon ConvertIcon(IconId id) { return kv::browser::ConvertIcon(id); }
    // The first build: binds both, then goes to "other"/"InitialDir" or the program folder.
    void FormatTree(QTreeView* expTree, TreeImageList* explorImageList);
    bool TreeBuilt() const { return built_; }
    void GoToUpperDir();
    bool ExpTreeForcus() const { return focused_; }
    QString GetExpTreePath() const;
    void DragDropToTree(const QString& path);

    // The tag editor renamed the selected folder: the node follows.
    void SetSelectedNodeText(const QString& name);

    FolderTreeModel& Model() { return model_; }
    void SetLister(FolderLister* lister) { model_.SetLister(lister); }
    QModelIndex SelectedNode() const;

    // Events of the bound view.
    void NodeExpanded(const QModelIndex& index);
    void NodeCollapsed(const QModelIndex& index);
    void MousePressed(const QModelIndex& index, Qt::MouseButton button, const QPoint& globalPos);
    // Before the view has moved: true when the key was the tree's own and the view must not see it.
    bool KeyPressed(int key, Qt::KeyboardModifiers modifiers);
    // After the view has handled a key it was given.
    void KeyHandled(int key, Qt::KeyboardModifiers modifiers);
    void FocusEntered();
    void FocusLeft();
    // Drop data: local file paths, or (fromRows) rows dragged from a track view.
    void Dropped(const QStringList& paths, bool fromRows);
    // Settles the expand buttons of the rows in view (see FolderTreeModel) and widens the
    // column to the widest of them.
    void ResolveVisibleNodes();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Bound() const { return view_ && images_; }
    void Bind();
    void ScheduleResolve();
    void TakeNodeAsPath(const QModelIndex& index);
    int RowWidth(const QModelIndex& index) const; // indentation, icon and whole name

    TreeHost& host_;
    FolderTreeModel model_;
    QPointer<QTreeView> view_;
    // What the event filter is installed on, compared without touching the objects.
    const QObject* filteredView_ = nullptr;
    const QObject* filteredViewport_ = nullptr;
    TreeImageList* images_ = nullptr;
    QByteArray path_;
    bool focused_ = false;
    bool built_ = false;
    bool forwarding_ = false;    // an event is being handed to the view from the filter
    bool failedOpening_ = false; // a failed opening is collapsing its node again
    bool resolveScheduled_ = false;
    int widest_ = 0; // the widest row in view since the last folder was closed
};

} // namespace kv::browser
