#pragma once
// The entries of one folder as a two-column table, "Name" and "Size": every entry read from
// disk (hidden ones too), folders first, each group ordered by the shown name or, when sorted
// by "Size", by the size in bytes. Names are kept as raw bytes; the shown text is their UTF-8
// reading. Icons are the two shared folder and file icons, nothing per entry.
//
// The folder is read on a thread of its own. A request made while an earlier read still runs
// waits for it and only the latest waiting request is read (the latest wins); a read that takes
// longer than kSlowReadMs is left to itself and the latest request starts beside it, so that a
// mount that does not answer holds up nothing. Answers of requests that are no longer the
// latest are dropped. What arrives is merged into the rows shown, with inserts and removals of
// the rows that changed.

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QIcon>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

#include "filebrowser/backgroundreads.h"
#include "filebrowser/folderread.h"
#include "filebrowser/volumes.h"

struct ListEntry {
    std::string name;  // raw
    NameText text;
    int64_t size = 0;
    bool isDir = false;
};

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kNameColumn = 0, kSizeColumn = 1, kColumnCount = 2 };
    static constexpr int kSlowReadMs = 200;

    explicit FileListModel(QObject *parent = nullptr);

    // Shows the entries of `folder`: the rows of another folder go at once, the folder's
    // entries are read in the background and inserted when they arrive.
    void show(const std::string &folder);
    // Reads the shown folder again in the background; entries that stay keep their rows (and
    // so their selection), the others go, new ones come in.
    void refresh();
    // Shows the top folders of "My Computer" as folder entries (their names are full paths),
    // at once; a read under way is dropped.
    void showTopFolders(const std::vector<TopFolder> &folders);
    // A read was requested and its answer has not arrived yet.
    bool isReading() const { return reading_; }

    // The folder shown; empty for "My Computer".
    const std::string &folder() const { return folder_; }
    const std::string &name(int row) const { return entries_[static_cast<size_t>(row)].name; }
    bool isDir(int row) const { return entries_[static_cast<size_t>(row)].isDir; }
    // The raw full path of a row's entry.
    std::string fullPath(int row) const;
    void setShowIcons(bool show);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Reorders the entries (folders stay first), keeping the selection on the same entries.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // isReading() changed.
    void readingChanged(bool reading);
    // The answer of the latest read was put in; `error` is its errno (0: read). A folder that
    // cannot be read shows no entries.
    void listed(int error);

private:
    struct Listing {
        int error = 0;
        std::vector<ListEntry> entries;  // sorted by `column` and `order`
        int column = kNameColumn;
        Qt::SortOrder order = Qt::AscendingOrder;
    };
    static Listing ReadListing(const std::string &folder, int column, Qt::SortOrder order);
    static void SortEntries(std::vector<ListEntry> &entries, int column, Qt::SortOrder order);

    void request();
    void launch();
    void arrive(int id, Listing listing);
    void setReading(bool reading);
    // <0, 0 or >0: the order of an entry shown and one read, in the current order.
    int orderOf(const ListEntry &shown, const ListEntry &read) const;
    // Makes the rows those of `fresh` (in the current order), by inserts, removals and changes.
    void merge(std::vector<ListEntry> fresh);
    void removeAll();

    std::string folder_;
    std::vector<ListEntry> entries_;
    int sortColumn_ = kNameColumn;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool showIcons_ = true;
    QIcon folderIcon_, fileIcon_;

    int latest_ = 0;    // the id of the latest request
    int inFlight_ = 0;  // the id of the read that later requests wait for; 0: none
    bool reading_ = false;
    QElapsedTimer launched_;
    QTimer slowRead_;
    BackgroundReads reads_{this};
};
