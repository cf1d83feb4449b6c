#pragma once
// BROWSER on the "Files" page: a folder tree beside the list of the chosen folder's entries,
// from which the add buttons take the selected files.

#include <QWidget>

class QFileSystemModel;
class QTreeView;

class FolderView : public QWidget {
    Q_OBJECT
public:
    explicit FolderView(QWidget *parent = nullptr);

    QString currentDirectory() const;
    // Opens `path`, or as much of it as still exists; nothing when none of it does.
    void setDirectory(const QString &path);
    // The selected files of the list, full paths in list order; folders are left out.
    QStringList selectedFiles() const;
    void refresh();
    void setLocked(bool locked);

signals:
    void filesActivated();      // a file was double-clicked: add the selection
    void directoryChanged(const QString &path);

private:
    void openFromTree(const QModelIndex &index);
    void activateEntry(const QModelIndex &index);

    QFileSystemModel *folders;
    QFileSystemModel *entries;
    QTreeView *folderTree;
    QTreeView *fileList;
};
