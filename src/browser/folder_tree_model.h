// The nodes of the folder tree: drives, folders and placeholders, built lazily. Display-free:
// CTreeView drives it from the tree control's events, and tests drive it directly.
//
// A node that has not been opened holds at most one placeholder child, which gives it the
// expand button without its folder having been listed. Opening reads exactly one folder level
// through the FolderLister; closing throws the subtree away, so the next opening reads afresh.
//
// Whether a new child folder itself has subfolders (and so gets a placeholder) is checked at
// once when a folder has few children. For a folder with many children that would cost one
// extra folder read per child, so those children start out with a placeholder ("perhaps") and
// are settled when they come into view (ResolveSubfolders) or when opened: opening one that
// turns out empty just drops its expand button, without a message.
//
// Threads: UI thread only.
#pragma once
#include "browser/folder_lister.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <memory>
#include <vector>

namespace kv::browser {

class TreeImageList;

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    // The placeholder's text: two backslashes, DUMMY, two backslashes. Placeholders are told
    // apart by their kind, never by this text: on this system a real folder may bear that name.
    static inline const QString kPlaceholderText = QStringLiteral("\\\\DUMMY\\\\");
    // Children of a folder with at most this many subfolders are checked for subfolders at once.
    static constexpr int kCheckAtOnceLimit = 256;

    enum Role { SelectedIconRole = Qt::UserRole + 1, KeyRole };
    enum class Kind : quint8 { Drive, Folder, Placeholder };

    explicit FolderTreeModel(QObject* parent = nullptr);
    ~FolderTreeModel() override;

    void SetLister(FolderLister* lister); // nullptr: the native lister
    FolderLister& Lister() const { return *lister_; }
    void SetImageList(TreeImageList* images);

    void Clear();
    // Adds a node with a placeholder for every drive not yet in the tree. Reads no folder.
    void AddDrives();

    // Opening a node: reads its folder when it still holds the placeholder and puts the
    // subfolders in its place. 0 on success (also when there was nothing to read), else the errno
    // of the failed read; the placeholder then stays, so the next attempt reads again.
    int OpenFolder(const QModelIndex& index);
    // Closing a node: its children go, a placeholder comes back.
    void CloseFolder(const QModelIndex& index);
    // Settles whether a "perhaps" node really has subfolders (one short read); drops its
    // placeholder when it has none.
    void ResolveSubfolders(const QModelIndex& index);

    // Walks from the drive whose mount point is the longest prefix of `folder` down its
    // components, opening each node on the way as needed; a read failure or a missing component
    // ends the walk silently. The node reached (invalid when no drive holds the path), and
    // whether it is the whole path.
    QModelIndex Reveal(const QByteArray& folder, bool* complete = nullptr);
    // The node of exactly this native folder path among the nodes that exist; reads nothing.
    QModelIndex Find(const QByteArray& folder) const;

    Kind KindOf(const QModelIndex& index) const;
    bool IsPlaceholder(const QModelIndex& index) const {
        return index.isValid() && KindOf(index) == Kind::Placeholder;
    }
    bool HoldsPlaceholder(const QModelIndex& index) const; // not opened, expand button shown
    bool IsOpened(const QModelIndex& index) const;
    QByteArray NativePath(const QModelIndex& index) const; // ends in '/'; empty for a placeholder
    QString Key(const QModelIndex& index) const;           // the native path as text
    QString Text(const QModelIndex& index) const;
    // Renames a folder node (text and the name its path is built from).
    void SetFolderName(const QModelIndex& index, const QString& name);
    QString ImageKey(const QModelIndex& index) const;
    QString SelectedImageKey(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    struct Node;
    Node* NodeOf(const QModelIndex& index) const;
    QModelIndex IndexOf(const Node* node) const;
    QByteArray PathOf(const Node* node) const;
    int Populate(Node* node);
    void DropPlaceholder(Node* node);
    Node* BestDrive(const QByteArray& folder) const;
    static Node* ChildNamed(const Node* node, const QByteArray& name);

    std::unique_ptr<Node> root_;
    FolderLister* lister_;
    TreeImageList* images_ = nullptr;
};

} // namespace kv::browser
