#include "filebrowser/filelistmodel.h"

#include <QFileIconProvider>
#include <algorithm>
#include <cerrno>
#include <iterator>
#include <numeric>
#include <system_error>
#include <thread>

#include "filebrowser/filebrowser.h"

namespace {

// <0, 0 or >0: the order of two entries in a list sorted by `column` and `order`. Folders come
// first in either order.
int CompareEntries(const ListEntry &a, const ListEntry &b, int column, Qt::SortOrder order)
{
    if (a.isDir != b.isDir) return a.isDir ? -1 : 1;
    int compared = 0;
    if (column == FileListModel::kSizeColumn && !a.isDir && a.size != b.size) compared = a.size < b.size ? -1 : 1;
    if (!compared) compared = CompareNames(a.text, a.name, b.text, b.name);
    return order == Qt::DescendingOrder ? -compared : compared;
}

// Frees a long list on a thread of its own: a folder of 100,000 entries takes tens of
// milliseconds to free, time the user-interface thread should not spend. Short lists (or no
// thread to spare) are freed here.
void FreeInBackground(std::vector<ListEntry> entries)
{
    constexpr size_t kLongList = 2000;
    if (entries.size() < kLongList) return;
    try {
        std::thread([gone = std::move(entries)] {}).detach();
    } catch (const std::system_error &) {
    }
}

}  // namespace

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent)
{
    const QFileIconProvider icons;
    folderIcon_ = icons.icon(QFileIconProvider::Folder);
    fileIcon_ = icons.icon(QFileIconProvider::File);
    slowRead_.setSingleShot(true);
    connect(&slowRead_, &QTimer::timeout, this, [this] {
        // The read under way is slow: the latest request starts beside it.
        if (reading_ && inFlight_ != latest_) launch();
    });
}

void FileListModel::show(const std::string &folder)
{
    if (folder != folder_) {
        removeAll();
        folder_ = folder;
    }
    request();
}

void FileListModel::refresh() { request(); }

void FileListModel::request()
{
    ++latest_;
    setReading(true);
    if (inFlight_ && launched_.elapsed() < kSlowReadMs) {
        slowRead_.start(static_cast<int>(kSlowReadMs - launched_.elapsed()));
        return;
    }
    launch();
}

void FileListModel::launch()
{
    const int id = latest_;
    slowRead_.stop();
    inFlight_ = id;
    launched_.start();
    const bool started = reads_.start(
        [folder = folder_, column = sortColumn_, order = sortOrder_] { return ReadListing(folder, column, order); },
        [this, id](Listing listing) { arrive(id, std::move(listing)); });
    if (started) return;
    // No thread to read with: the folder shows as one that cannot be read.
    inFlight_ = 0;
    Listing failed;
    failed.error = EAGAIN;
    arrive(id, std::move(failed));
}

void FileListModel::arrive(int id, Listing listing)
{
    if (id == inFlight_) inFlight_ = 0;
    if (id != latest_) {
        // A stale answer: the latest request starts now if it waited for this one.
        if (reading_ && !inFlight_) launch();
        return;
    }
    slowRead_.stop();
    if (listing.error) {
        removeAll();
    } else {
        // The user sorted otherwise while the folder was read.
        if (listing.column != sortColumn_ || listing.order != sortOrder_)
            SortEntries(listing.entries, sortColumn_, sortOrder_);
        merge(std::move(listing.entries));
    }
    setReading(false);
    emit listed(listing.error);
}

void FileListModel::setReading(bool reading)
{
    if (reading == reading_) return;
    reading_ = reading;
    emit readingChanged(reading);
}

FileListModel::Listing FileListModel::ReadListing(const std::string &folder, int column, Qt::SortOrder order)
{
    Listing listing;
    listing.column = column;
    listing.order = order;
    std::vector<DiskEntry> disk;
    listing.error = ReadFolder(folder, ReadWhat::Everything, disk);
    if (listing.error) return listing;
    listing.entries.reserve(disk.size());
    for (DiskEntry &entry : disk) {
        NameText text = MakeNameText(entry.name);
        listing.entries.push_back({std::move(entry.name), std::move(text), entry.size, entry.isDir});
    }
    SortEntries(listing.entries, column, order);
    return listing;
}

void FileListModel::SortEntries(std::vector<ListEntry> &entries, int column, Qt::SortOrder order)
{
    std::sort(entries.begin(), entries.end(),
              [column, order](const ListEntry &a, const ListEntry &b) { return CompareEntries(a, b, column, order) < 0; });
}

void FileListModel::showTopFolders(const std::vector<TopFolder> &folders)
{
    ++latest_;  // a read under way is of no use now
    slowRead_.stop();
    if (!folder_.empty()) removeAll();
    folder_.clear();
    std::vector<ListEntry> entries;
    for (const TopFolder &folder : folders) entries.push_back({folder.path, MakeNameText(folder.path), 0, true});
    SortEntries(entries, sortColumn_, sortOrder_);
    merge(std::move(entries));
    setReading(false);
}

void FileListModel::removeAll()
{
    if (entries_.empty()) return;
    std::vector<ListEntry> gone;
    beginRemoveRows({}, 0, rowCount() - 1);
    gone.swap(entries_);
    endRemoveRows();
    FreeInBackground(std::move(gone));
}

int FileListModel::orderOf(const ListEntry &shown, const ListEntry &read) const
{
    // Most entries of a folder read again are the same: found by one comparison of the names.
    const bool same = shown.isDir == read.isDir && shown.name == read.name &&
                      (sortColumn_ != kSizeColumn || shown.size == read.size);
    return same ? 0 : CompareEntries(shown, read, sortColumn_, sortOrder_);
}

void FileListModel::merge(std::vector<ListEntry> fresh)
{
    // A new folder's entries come into an empty list, all at once.
    if (entries_.empty()) {
        if (fresh.empty()) return;
        beginInsertRows({}, 0, static_cast<int>(fresh.size()) - 1);
        entries_.swap(fresh);
        endInsertRows();
        return;
    }
    if (fresh.empty()) {
        removeAll();
        return;
    }
    // Both lists are in the same order: walk them side by side. Rows are removed back to
    // front, then inserted front to back, each run of neighbouring rows at once.
    std::vector<size_t> removed;        // rows of entries_
    std::vector<size_t> inserted;       // rows of the result (= of fresh)
    std::vector<size_t> resized;        // rows of the result
    size_t old = 0;
    for (size_t row = 0; row < fresh.size();) {
        const int order = old < entries_.size() ? orderOf(entries_[old], fresh[row]) : 1;
        if (order < 0) {
            removed.push_back(old++);
        } else if (order > 0) {
            inserted.push_back(row++);
        } else {
            if (entries_[old].size != fresh[row].size) resized.push_back(row);
            ++old;
            ++row;
        }
    }
    for (; old < entries_.size(); ++old) removed.push_back(old);

    for (size_t end = removed.size(); end > 0;) {
        size_t first = end - 1;
        while (first > 0 && removed[first - 1] + 1 == removed[first]) --first;
        beginRemoveRows({}, static_cast<int>(removed[first]), static_cast<int>(removed[end - 1]));
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(removed[first]),
                       entries_.begin() + static_cast<std::ptrdiff_t>(removed[end - 1] + 1));
        endRemoveRows();
        end = first;
    }
    for (size_t first = 0; first < inserted.size();) {
        size_t last = first;
        while (last + 1 < inserted.size() && inserted[last + 1] == inserted[last] + 1) ++last;
        const auto from = fresh.begin() + static_cast<std::ptrdiff_t>(inserted[first]);
        beginInsertRows({}, static_cast<int>(inserted[first]), static_cast<int>(inserted[last]));
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(inserted[first]), std::make_move_iterator(from),
                        std::make_move_iterator(from + static_cast<std::ptrdiff_t>(last - first + 1)));
        endInsertRows();
        first = last + 1;
    }
    for (size_t row : resized) {
        entries_[row].size = fresh[row].size;
        const QModelIndex cell = index(static_cast<int>(row), kSizeColumn);
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    }
    FreeInBackground(std::move(fresh));
}

std::string FileListModel::fullPath(int row) const { return JoinPath(folder_, name(row)); }

void FileListModel::setShowIcons(bool show)
{
    if (show == showIcons_) return;
    showIcons_ = show;
    if (!entries_.empty()) emit dataChanged(index(0, kNameColumn), index(rowCount() - 1, kNameColumn), {Qt::DecorationRole});
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount) return;
    sortColumn_ = column;
    sortOrder_ = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newOrder(entries_.size());
    std::iota(newOrder.begin(), newOrder.end(), 0);
    std::sort(newOrder.begin(), newOrder.end(), [this](int a, int b) {
        return CompareEntries(entries_[static_cast<size_t>(a)], entries_[static_cast<size_t>(b)], sortColumn_,
                              sortOrder_) < 0;
    });
    std::vector<int> rowAfter(newOrder.size());
    std::vector<ListEntry> sorted;
    sorted.reserve(entries_.size());
    for (size_t row = 0; row < newOrder.size(); ++row) {
        rowAfter[static_cast<size_t>(newOrder[row])] = static_cast<int>(row);
        sorted.push_back(std::move(entries_[static_cast<size_t>(newOrder[row])]));
    }
    entries_ = std::move(sorted);
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
    const ListEntry &entry = entries_[static_cast<size_t>(index.row())];
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
