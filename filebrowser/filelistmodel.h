#pragma once
// The entries of one folder as a two-column table, "Name" and "Size": every entry read from
// disk (hidden ones too), folders first, each group ordered by the shown name or, when sorted
// by "Size", by the size in bytes. Names are kept as raw bytes; the shown text is their UTF-8
// reading. Icons are the two shared folder and file icons, nothing per entry.

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <string>
#include <vector>

#include "filebrowser/folderread.h"
#include "filebrowser/volumes.h"

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kNameColumn = 0, kSizeColumn = 1, kColumnCount = 2 };

    explicit FileListModel(QObject *parent = nullptr);

    // Shows the entries of `folder`, sorted. Returns 0, or the errno when the folder cannot be
    // read (the list is then empty).
    int read(const std::string &folder);
    // Shows the top folders of "My Computer" as folder entries (their names are full paths).
    void showTopFolders(const std::vector<TopFolder> &folders);

    // The folder shown; empty for "My Computer".
    const std::string &folder() const { return folder_; }
    const std::string &name(int row) const { return entries_[static_cast<size_t>(row)].name; }
    bool isDir(int row) const { return entries_[static_cast<size_t>(row)].isDir; }
    // The raw full path of a row's entry.
    std::string fullPath(int row) const;
    // The rows of the entries named `names`, in the order of `names`; -1 for those not shown.
    std::vector<int> rowsOf(const std::vector<std::string> &names) const;
    void setShowIcons(bool show);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Reorders the entries (folders stay first), keeping the selection on the same entries.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    struct Entry {
        std::string name;  // raw
        NameText text;
        int64_t size = 0;
        bool isDir = false;
    };
    // The rows in the current order: entry positions sorted by column and order.
    std::vector<int> sortedOrder() const;
    void applyOrder(const std::vector<int> &order);

    std::string folder_;
    std::vector<Entry> entries_;
    int sortColumn_ = kNameColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool showIcons_ = true;
    QIcon folderIcon_, fileIcon_;
};
