#include "browser/folder_tree_model.h"

#include "browser/tree_image_list.h"

#include <QFile>
#include <algorithm>

namespace kv::browser {

struct FolderTreeModel::Node {
    enum class Subfolders : quint8 { Unknown, Yes, No };

    Kind kind = Kind::Folder;
    Subfolders subfolders = Subfolders::Unknown;
    bool holdsPlaceholder = false;
    bool opened = false;
    int row = 0;
    Node* parent = nullptr;
    QByteArray raw; // folder: its name as the system gives it; drive: the mount point with '/'
    QString text;
    IconId icon = IconId::None;
    IconId openIcon = IconId::None;
    std::vector<std::unique_ptr<Node>> children;
    // Made only when a view asks for the placeholder row, so a folder of 10,000 unopened
    // subfolders costs no 10,000 extra nodes.
    std::unique_ptr<Node> placeholder;
};

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent), root_(std::make_unique<Node>()), lister_(&NativeFolderLister()) {}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::SetLister(FolderLister* lister) {
    lister_ = lister ? lister : &NativeFolderLister();
}

void FolderTreeModel::SetImageList(TreeImageList* images) {
    images_ = images;
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

void FolderTreeModel::Clear() {
    beginResetModel();
    root_->children.clear();
    endResetModel();
}

void FolderTreeModel::AddDrives() {
    std::vector<std::unique_ptr<Node>> added;
    for (DriveInfo& drive : lister_->Drives()) {
        if (drive.mountPoint.isEmpty()) continue;
        if (!drive.mountPoint.endsWith('/')) drive.mountPoint += '/';
        const auto same = [&](const std::unique_ptr<Node>& n) { return n->raw == drive.mountPoint; };
        if (std::any_of(root_->children.begin(), root_->children.end(), same) ||
            std::any_of(added.begin(), added.end(), same))
            continue;
        auto node = std::make_unique<Node>();
        node->kind = Kind::Drive;
        node->raw = drive.mountPoint;
        node->text = drive.displayName;
        node->icon = node->openIcon = drive.icon;
        // Drives get their expand button unchecked: a drive without a medium or an unreachable
        // share must not be touched before the user opens it.
        node->holdsPlaceholder = true;
        node->subfolders = Node::Subfolders::Yes;
        node->parent = root_.get();
        if (images_) images_->Store(drive.icon);
        added.push_back(std::move(node));
    }
    if (added.empty()) return;
    const int first = int(root_->children.size());
    beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
    for (auto& node : added) {
        node->row = int(root_->children.size());
        root_->children.push_back(std::move(node));
    }
    endInsertRows();
}

FolderTreeModel::Node* FolderTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex FolderTreeModel::IndexOf(const Node* node) const {
    if (!node || node == root_.get()) return QModelIndex();
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

QByteArray FolderTreeModel::PathOf(const Node* node) const {
    switch (node->kind) {
    case Kind::Drive:
        return node->raw;
    case Kind::Folder:
        return PathOf(node->parent) + node->raw + '/';
    case Kind::Placeholder:
        break;
    }
    return QByteArray();
}

void FolderTreeModel::DropPlaceholder(Node* node) {
    if (!node->holdsPlaceholder) return;
    beginRemoveRows(IndexOf(node), 0, 0);
    node->holdsPlaceholder = false;
    endRemoveRows();
    node->placeholder.reset();
}

int FolderTreeModel::Populate(Node* node) {
    const QByteArray path = PathOf(node);
    FolderListing listing = lister_->Subfolders(path);
    if (listing.error != 0) return listing.error;
    DropPlaceholder(node);

    // Children are kept sorted by their text, without regard to case, as the tree always showed them.
    struct Entry {
        QString folded;
        QString text;
        QByteArray raw;
    };
    std::vector<Entry> entries;
    entries.reserve(listing.names.size());
    for (QByteArray& raw : listing.names) {
        if (raw.isEmpty() || raw.contains('/')) continue;
        QString text = QFile::decodeName(raw); // bytes that are not UTF-8 show as U+FFFD
        QString folded = text.toCaseFolded();
        entries.push_back({std::move(folded), std::move(text), std::move(raw)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.folded != b.folded) return a.folded < b.folded;
        if (a.text != b.text) return a.text < b.text;
        return a.raw < b.raw;
    });

    if (images_) {
        images_->Store(IconId::Folder);
        images_->Store(IconId::FolderOpen);
    }
    const bool checkNow = entries.size() <= size_t(kCheckAtOnceLimit);
    std::vector<std::unique_ptr<Node>> children;
    children.reserve(entries.size());
    for (Entry& e : entries) {
        auto child = std::make_unique<Node>();
        child->kind = Kind::Folder;
        child->raw = std::move(e.raw);
        child->text = std::move(e.text);
        child->icon = IconId::Folder;
        child->openIcon = IconId::FolderOpen;
        child->parent = node;
        child->row = int(children.size());
        if (checkNow) {
            const bool has = lister_->HasSubfolder(path + child->raw + '/');
            child->subfolders = has ? Node::Subfolders::Yes : Node::Subfolders::No;
            child->holdsPlaceholder = has;
        } else {
            child->holdsPlaceholder = true;
        }
        children.push_back(std::move(child));
    }
    if (!children.empty()) {
        beginInsertRows(IndexOf(node), 0, int(children.size()) - 1);
        node->children = std::move(children);
        endInsertRows();
    }
    node->opened = true;
    return 0;
}

int FolderTreeModel::OpenFolder(const QModelIndex& index) {
    Node* node = NodeOf(index);
    if (!index.isValid() || node->kind == Kind::Placeholder || !node->holdsPlaceholder) return 0;
    return Populate(node);
}

void FolderTreeModel::CloseFolder(const QModelIndex& index) {
    Node* node = NodeOf(index);
    if (!index.isValid() || node->kind == Kind::Placeholder || !node->opened) return;
    const QModelIndex at = IndexOf(node);
    if (!node->children.empty()) {
        beginRemoveRows(at, 0, int(node->children.size()) - 1);
        std::vector<std::unique_ptr<Node>> gone = std::move(node->children);
        node->children.clear();
        endRemoveRows();
    }
    beginInsertRows(at, 0, 0);
    node->opened = false;
    node->holdsPlaceholder = true;
    node->subfolders = node->kind == Kind::Drive ? Node::Subfolders::Yes : Node::Subfolders::Unknown;
    endInsertRows();
}

void FolderTreeModel::ResolveSubfolders(const QModelIndex& index) {
    Node* node = NodeOf(index);
    if (!index.isValid() || node->kind != Kind::Folder || !node->holdsPlaceholder ||
        node->subfolders != Node::Subfolders::Unknown)
        return;
    const bool has = lister_->HasSubfolder(PathOf(node));
    node->subfolders = has ? Node::Subfolders::Yes : Node::Subfolders::No;
    if (!has) DropPlaceholder(node);
}

FolderTreeModel::Node* FolderTreeModel::BestDrive(const QByteArray& folder) const {
    Node* best = nullptr;
    for (const auto& drive : root_->children)
        if (folder.startsWith(drive->raw) && (!best || drive->raw.size() > best->raw.size()))
            best = drive.get();
    return best;
}

FolderTreeModel::Node* FolderTreeModel::ChildNamed(const Node* node, const QByteArray& name) {
    for (const auto& child : node->children)
        if (child->raw == name) return child.get();
    return nullptr;
}

QModelIndex FolderTreeModel::Reveal(const QByteArray& folder, bool* complete) {
    if (complete) *complete = false;
    Node* node = BestDrive(folder);
    if (!node) return QModelIndex();
    bool whole = true;
    for (const QByteArray& part : folder.mid(node->raw.size()).split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (node->holdsPlaceholder && Populate(node) != 0) {
            whole = false;
            break;
        }
        Node* child = ChildNamed(node, part);
        if (!child) {
            whole = false;
            break;
        }
        node = child;
    }
    if (complete) *complete = whole;
    return IndexOf(node);
}

QModelIndex FolderTreeModel::Find(const QByteArray& folder) const {
    Node* node = BestDrive(folder);
    if (!node) return QModelIndex();
    for (const QByteArray& part : folder.mid(node->raw.size()).split('/')) {
        if (part.isEmpty() || part == ".") continue;
        node = ChildNamed(node, part);
        if (!node) return QModelIndex();
    }
    return IndexOf(node);
}

FolderTreeModel::Kind FolderTreeModel::KindOf(const QModelIndex& index) const {
    return NodeOf(index)->kind;
}

bool FolderTreeModel::HoldsPlaceholder(const QModelIndex& index) const {
    return index.isValid() && NodeOf(index)->holdsPlaceholder;
}

bool FolderTreeModel::IsOpened(const QModelIndex& index) const {
    return index.isValid() && NodeOf(index)->opened;
}

QByteArray FolderTreeModel::NativePath(const QModelIndex& index) const {
    return index.isValid() ? PathOf(NodeOf(index)) : QByteArray();
}

QString FolderTreeModel::Key(const QModelIndex& index) const {
    if (!index.isValid()) return QString();
    const Node* node = NodeOf(index);
    if (node->kind == Kind::Placeholder)
        return Key(IndexOf(node->parent)) + kPlaceholderText + QLatin1Char('/');
    return QFile::decodeName(PathOf(node));
}

QString FolderTreeModel::Text(const QModelIndex& index) const {
    return index.isValid() ? NodeOf(index)->text : QString();
}

void FolderTreeModel::SetFolderName(const QModelIndex& index, const QString& name) {
    Node* node = NodeOf(index);
    if (!index.isValid() || node->kind != Kind::Folder || name.isEmpty() || name.contains(QLatin1Char('/')))
        return;
    node->text = name;
    node->raw = QFile::encodeName(name);
    emit dataChanged(index, index);
}

QString FolderTreeModel::ImageKey(const QModelIndex& index) const {
    return index.isValid() ? TreeImageList::KeyOf(NodeOf(index)->icon) : QString();
}

QString FolderTreeModel::SelectedImageKey(const QModelIndex& index) const {
    return index.isValid() ? TreeImageList::KeyOf(NodeOf(index)->openIcon) : QString();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return QModelIndex();
    Node* node = NodeOf(parent);
    if (node->kind == Kind::Placeholder) return QModelIndex();
    if (node->holdsPlaceholder) {
        if (row != 0) return QModelIndex();
        if (!node->placeholder) {
            node->placeholder = std::make_unique<Node>();
            node->placeholder->kind = Kind::Placeholder;
            node->placeholder->text = kPlaceholderText;
            node->placeholder->parent = node;
        }
        return createIndex(0, 0, node->placeholder.get());
    }
    if (row >= int(node->children.size())) return QModelIndex();
    return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return QModelIndex();
    return IndexOf(NodeOf(child)->parent);
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const Node* node = NodeOf(parent);
    if (node->kind == Kind::Placeholder) return 0;
    return node->holdsPlaceholder ? 1 : int(node->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const Node* node = NodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
        return node->text;
    case Qt::DecorationRole:
        if (images_ && node->icon != IconId::None) return images_->Icon(TreeImageList::KeyOf(node->icon));
        break;
    case SelectedIconRole:
        if (images_ && node->openIcon != IconId::None)
            return images_->Icon(TreeImageList::KeyOf(node->openIcon));
        break;
    case KeyRole:
        return Key(index);
    default:
        break;
    }
    return QVariant();
}

} // namespace kv::browser
