#include "filebrowser/foldertreemodel.h"

#include <QFileIconProvider>
#include <QPersistentModelIndex>
#include <algorithm>
#include <cerrno>
#include <unordered_set>

struct FolderTreeModel::Node {
    std::string name;  // raw; for the top folders their full path
    std::string path;  // raw full path; empty for "My Computer" and the invisible root
    QString label;
    TopFolder::Kind kind = TopFolder::Kind::Volume;  // for the top folders' icons
    bool topFolder = false;
    Node *parent = nullptr;
    int row = 0;
    bool loaded = false;
    bool reading = false;  // a background read of the sub-folders is under way
    bool mayHaveSubfolders = true;
    std::vector<std::unique_ptr<Node>> children;
};

FolderTreeModel::FolderTreeModel(const QString &rootLabel, QObject *parent)
    : QAbstractItemModel(parent), top_(std::make_unique<Node>())
{
    auto computer = std::make_unique<Node>();
    computer->label = rootLabel;
    computer->parent = top_.get();
    computer->loaded = true;
    computer_ = computer.get();
    top_->children.push_back(std::move(computer));
    top_->loaded = true;
    const QFileIconProvider icons;
    computerIcon_ = icons.icon(QFileIconProvider::Computer);
    driveIcon_ = icons.icon(QFileIconProvider::Drive);
    folderIcon_ = icons.icon(QFileIconProvider::Folder);
}

FolderTreeModel::~FolderTreeModel() = default;

QModelIndex FolderTreeModel::rootIndex() const { return createIndex(0, 0, computer_); }

bool FolderTreeModel::isRoot(const QModelIndex &index) const { return nodeOf(index) == computer_; }

std::string FolderTreeModel::path(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? node->path : std::string();
}

std::string FolderTreeModel::name(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? node->name : std::string();
}

QModelIndex FolderTreeModel::child(const QModelIndex &parent, const std::string &name) const
{
    const Node *node = nodeOf(parent);
    if (!node) return {};
    for (const auto &child : node->children)
        if (child->name == name) return indexOf(child.get());
    return {};
}

bool FolderTreeModel::isRead(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node && node->loaded;
}

std::vector<TopFolder> FolderTreeModel::topFolders() const
{
    std::vector<TopFolder> folders;
    for (const auto &child : computer_->children) folders.push_back({child->path, child->label, child->kind});
    return folders;
}

void FolderTreeModel::setTopFolders(const std::vector<TopFolder> &folders)
{
    std::vector<std::unique_ptr<Node>> fresh;
    for (const TopFolder &folder : folders) {
        auto node = std::make_unique<Node>();
        node->name = folder.path;
        node->path = folder.path;
        node->label = folder.label;
        node->kind = folder.kind;
        node->topFolder = true;
        node->parent = computer_;
        fresh.push_back(std::move(node));
    }
    merge(computer_, std::move(fresh));
}

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::makeFolder(Node *parent, std::string name, QString label,
                                                                   bool mayHaveSubfolders) const
{
    auto node = std::make_unique<Node>();
    node->path = JoinPath(parent->path, name);
    node->label = std::move(label);
    node->name = std::move(name);
    node->parent = parent;
    node->mayHaveSubfolders = mayHaveSubfolders;
    return node;
}

void FolderTreeModel::setSubfolders(const QModelIndex &index, const Subfolders &read)
{
    Node *node = nodeOf(index);
    if (!node || node == computer_) return;
    node->reading = false;
    if (read.error) {
        node->loaded = true;
        return;
    }
    std::vector<std::unique_ptr<Node>> fresh;
    fresh.reserve(read.folders.size());
    for (const Subfolder &folder : read.folders)
        fresh.push_back(makeFolder(node, folder.name, folder.label, folder.mayHaveSubfolders));
    node->loaded = true;
    merge(node, std::move(fresh));
}

bool FolderTreeModel::startRead(const QModelIndex &index, bool expanding)
{
    Node *node = nodeOf(index);
    if (!node || node == computer_) return true;
    const QPersistentModelIndex folder(index);
    const bool started = reads_.start([path = node->path] { return ReadSubfolders(path); },
                                      [this, folder, expanding](const Subfolders &read) {
                                          // The folder may have gone from the tree meanwhile.
                                          if (!folder.isValid()) return;
                                          setSubfolders(folder, read);
                                          emit folderRead(folder);
                                          if (expanding && read.error) emit readFailed(folder, read.error);
                                      });
    node->reading = started;
    return started;
}

bool FolderTreeModel::reload(const QModelIndex &index) { return startRead(index, false); }

void FolderTreeModel::merge(Node *node, std::vector<std::unique_ptr<Node>> fresh)
{
    std::unordered_set<std::string> wanted;
    for (const auto &child : fresh) wanted.insert(child->name);
    for (int row = static_cast<int>(node->children.size()) - 1; row >= 0; --row)
        if (!wanted.count(node->children[row]->name)) removeChild(node, row);
    std::unordered_set<std::string> present;
    for (const auto &child : node->children) present.insert(child->name);
    // Both lists are in the same order now but for the new names: walk them side by side.
    for (size_t row = 0; row < fresh.size(); ++row) {
        const std::string &name = fresh[row]->name;
        if (row < node->children.size() && node->children[row]->name == name) {
            Node &kept = *node->children[row];
            kept.mayHaveSubfolders = fresh[row]->mayHaveSubfolders;
            if (kept.label != fresh[row]->label) {
                kept.label = fresh[row]->label;
                const QModelIndex changed = indexOf(&kept);
                emit dataChanged(changed, changed, {Qt::DisplayRole});
            }
            continue;
        }
        if (present.count(name)) {
            // Out of order (the list changed its order): the old item goes, the new one comes in.
            for (size_t other = row; other < node->children.size(); ++other)
                if (node->children[other]->name == name) {
                    removeChild(node, static_cast<int>(other));
                    break;
                }
        }
        insertChild(node, static_cast<int>(row), std::move(fresh[row]));
    }
}

void FolderTreeModel::insertChild(Node *node, int row, std::unique_ptr<Node> child)
{
    beginInsertRows(indexOf(node), row, row);
    child->parent = node;
    node->children.insert(node->children.begin() + row, std::move(child));
    renumber(node, row);
    endInsertRows();
}

void FolderTreeModel::removeChild(Node *node, int row)
{
    beginRemoveRows(indexOf(node), row, row);
    node->children.erase(node->children.begin() + row);
    renumber(node, row);
    endRemoveRows();
}

void FolderTreeModel::renumber(Node *node, int fromRow)
{
    for (size_t row = static_cast<size_t>(fromRow); row < node->children.size(); ++row)
        node->children[row]->row = static_cast<int>(row);
}

void FolderTreeModel::setShowIcons(bool show)
{
    if (show == showIcons_) return;
    showIcons_ = show;
    iconsChanged(top_.get());
}

// Each item's decoration, told one parent at a time: a range of dataChanged has one parent.
void FolderTreeModel::iconsChanged(const Node *node)
{
    if (node->children.empty()) return;
    emit dataChanged(indexOf(node->children.front().get()), indexOf(node->children.back().get()), {Qt::DecorationRole});
    for (const auto &child : node->children) iconsChanged(child.get());
}

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this) return nullptr;
    return static_cast<Node *>(index.internalPointer());
}

QModelIndex FolderTreeModel::indexOf(const Node *node) const
{
    if (!node || node == top_.get()) return {};
    return createIndex(node->row, 0, const_cast<Node *>(node));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const Node *node = parent.isValid() ? nodeOf(parent) : top_.get();
    if (!node || column != 0 || row < 0 || row >= static_cast<int>(node->children.size())) return {};
    return createIndex(row, 0, node->children[row].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    const Node *node = nodeOf(child);
    if (!node || !node->parent) return {};
    return indexOf(node->parent);
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0) return 0;
    const Node *node = parent.isValid() ? nodeOf(parent) : top_.get();
    return node ? static_cast<int>(node->children.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex &) const { return 1; }

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *node = parent.isValid() ? nodeOf(parent) : top_.get();
    if (!node) return false;
    return node->loaded ? !node->children.empty() : node->mayHaveSubfolders;
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    const Node *node = nodeOf(index);
    if (!node) return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->label;
    case Qt::ToolTipRole:
        return node == computer_ ? QVariant() : QVariant(ShownName(node->path));
    case Qt::DecorationRole:
        if (!showIcons_) return {};
        if (node == computer_) return computerIcon_;
        if (node->topFolder && node->kind != TopFolder::Kind::Home) return driveIcon_;
        return folderIcon_;
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    if (!nodeOf(index)) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return node && !node->loaded && !node->reading;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent) || startRead(parent, true)) return;
    // No thread to read with: told as a failed read, so that nothing waits for it.
    const QPersistentModelIndex folder(parent);
    setSubfolders(folder, {nodeOf(parent)->path, EAGAIN, {}});
    emit folderRead(folder);
    emit readFailed(folder, EAGAIN);
}
