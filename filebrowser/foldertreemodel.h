#pragma once
// The folder tree: one item "My Computer" with the top folders below it (the root, the home
// folder, the volumes), and below each folder its sub-folders, sorted as the file list sorts
// names. A folder's sub-folders are read on a thread of their own when the folder is first
// expanded (canFetchMore/fetchMore) and inserted when they arrive. Items keep the raw bytes of
// their names and paths.

#include <QAbstractItemModel>
#include <QIcon>
#include <memory>
#include <string>
#include <vector>

#include "filebrowser/backgroundreads.h"
#include "filebrowser/folderread.h"
#include "filebrowser/volumes.h"

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit FolderTreeModel(const QString &rootLabel, QObject *parent = nullptr);
    ~FolderTreeModel() override;

    // The "My Computer" item.
    QModelIndex rootIndex() const;
    bool isRoot(const QModelIndex &index) const;
    // The raw full path of a folder item; empty for "My Computer" and invalid indexes.
    std::string path(const QModelIndex &index) const;
    // The raw name of an item: the folder's name in its parent, the full path of a top folder.
    std::string name(const QModelIndex &index) const;
    // The child of `parent` named `name` (exact bytes), or an invalid index. Reads nothing.
    QModelIndex child(const QModelIndex &parent, const std::string &name) const;
    // Whether the sub-folders of the item have been read (always for "My Computer").
    bool isRead(const QModelIndex &index) const;
    // The top folders as the "My Computer" item holds them: path and label.
    std::vector<TopFolder> topFolders() const;

    // Puts `folders` under "My Computer": items still listed stay (with what is open below them),
    // the others go, new ones are inserted where the list has them.
    void setTopFolders(const std::vector<TopFolder> &folders);
    // Puts the sub-folders read from disk (on any thread) under the folder at `index`: those
    // still there stay as they are, with what is open below them; the others go, new ones come
    // in. A read that failed changes nothing but marks a folder not read before as read, without
    // sub-folders.
    void setSubfolders(const QModelIndex &index, const Subfolders &read);
    // Reads the sub-folders of a folder again in the background and puts them in with
    // setSubfolders; folderRead follows. False when no reading thread could be started.
    bool reload(const QModelIndex &index);
    // Icons shown or not: a change of the decoration of every item.
    void setShowIcons(bool show);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // True for a folder whose sub-folders were never read and are not being read.
    bool canFetchMore(const QModelIndex &parent) const override;
    // Starts reading the folder's sub-folders in the background; they are inserted when they
    // arrive, and folderRead follows.
    void fetchMore(const QModelIndex &parent) override;

signals:
    // A background read of the folder at `index` came back and was put in.
    void folderRead(const QModelIndex &index);
    // The folder at `index` could not be read when it was expanded; `error` is the errno.
    void readFailed(const QModelIndex &index, int error);

private:
    struct Node;
    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(const Node *node) const;
    std::unique_ptr<Node> makeFolder(Node *parent, std::string name, QString label, bool mayHaveSubfolders) const;
    // expanding: a failure is told through readFailed.
    bool startRead(const QModelIndex &index, bool expanding);
    void iconsChanged(const Node *node);
    // Makes the children of `node` those of `fresh` (by name), keeping the nodes that stay.
    void merge(Node *node, std::vector<std::unique_ptr<Node>> fresh);
    void insertChild(Node *node, int row, std::unique_ptr<Node> child);
    void removeChild(Node *node, int row);
    static void renumber(Node *node, int fromRow);

    std::unique_ptr<Node> top_;  // the invisible root; its one child is "My Computer"
    Node *computer_;
    bool showIcons_ = true;
    QIcon computerIcon_, driveIcon_, folderIcon_;
    BackgroundReads reads_{this};
};
