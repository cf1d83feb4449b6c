#include "filebrowser/filelistmodel.h"

#include <QFileIconProvider>
#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "filebrowser/filebrowser.h"

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent)
{
    const QFileIconProvider icons;
    folderIcon_ = icons.icon(QFileIconProvider::Folder);
    fileIcon_ = icons.icon(QFileIconProvider::File);
}

int FileListModel::read(const std::string &folder)
{
    std::vector<DiskEntry> disk;
    const int error = ReadFolder(folder, ReadWhat::Everything, disk);
    beginResetModel();
    folder_ = folder;
    entries_.clear();
    if (!error) {
        entries_.reserve(disk.size());
        for (DiskEntry &entry : disk) {
            NameText text = MakeNameText(entry.name);
            entries_.push_back({std::move(entry.name), std::move(text), entry.size, entry.isDir});
        }
        applyOrder(sortedOrder());
    }
    endResetModel();
    return error;
}

void FileListModel::showTopFolders(const std::vector<TopFolder> &folders)
{
    beginResetModel();
    folder_.clear();
    entries_.clear();
    for (const TopFolder &folder : folders) entries_.push_back({folder.path, MakeNameText(folder.path), 0, true});
    applyOrder(sortedOrder());
    endResetModel();
}

std::string FileListModel::fullPath(int row) const { return JoinPath(folder_, name(row)); }

std::vector<int> FileListModel::rowsOf(const std::vector<std::string> &names) const
{
    std::unordered_map<std::string_view, int> rows;
    rows.reserve(entries_.size());
    for (size_t row = 0; row < entries_.size(); ++row) rows.emplace(entries_[row].name, static_cast<int>(row));
    std::vector<int> found;
    found.reserve(names.size());
    for (const std::string &name : names) {
        const auto at = rows.find(name);
        found.push_back(at == rows.end() ? -1 : at->second);
    }
    return found;
}

void FileListModel::setShowIcons(bool show)
{
    if (show == showIcons_) return;
    showIcons_ = show;
    if (!entries_.empty()) emit dataChanged(index(0, kNameColumn), index(rowCount() - 1, kNameColumn), {Qt::DecorationRole});
}

std::vector<int> FileListModel::sortedOrder() const
{
    std::vector<int> order(entries_.size());
    std::iota(order.begin(), order.end(), 0);
    const bool bySize = sortColumn_ == kSizeColumn;
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const Entry &first = entries_[static_cast<size_t>(a)];
        const Entry &second = entries_[static_cast<size_t>(b)];
        if (first.isDir != second.isDir) return first.isDir;  // folders first in either order
        int compared = 0;
        if (bySize && !first.isDir && first.size != second.size) compared = first.size < second.size ? -1 : 1;
        if (!compared) compared = CompareNames(first.text, first.name, second.text, second.name);
        return descending ? compared > 0 : compared < 0;
    });
    return order;
}

void FileListModel::applyOrder(const std::vector<int> &order)
{
    std::vector<Entry> sorted;
    sorted.reserve(entries_.size());
    for (int from : order) sorted.push_back(std::move(entries_[static_cast<size_t>(from)]));
    entries_ = std::move(sorted);
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount) return;
    sortColumn_ = column;
    sortOrder_ = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> newOrder = sortedOrder();
    std::vector<int> rowAfter(newOrder.size());
    for (size_t row = 0; row < newOrder.size(); ++row) rowAfter[static_cast<size_t>(newOrder[row])] = static_cast<int>(row);
    applyOrder(newOrder);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(rowAfter[static_cast<size_t>(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Entry &entry = entries_[static_cast<size_t>(index.row())];
    if (index.column() == kNameColumn) {
        if (role == Qt::DisplayRole) return entry.text.shown;
        if (role == Qt::DecorationRole && showIcons_) return entry.isDir ? folderIcon_ : fileIcon_;
        return {};
    }
    if (role == Qt::DisplayRole) return entry.isDir ? QString() : FileBrowser_SizeText(entry.size);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    // A click on another column's header sorts it ascending first, whatever the order before.
    if (role == Qt::InitialSortOrderRole) return int(Qt::AscendingOrder);
    if (role != Qt::DisplayRole) return {};
    if (section == kNameColumn) return QStringLiteral("Name");
    if (section == kSizeColumn) return QStringLiteral("Size");
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
