#include "gui/folderview.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int kNameColumnWidth = 320;
constexpr int kSizeColumnWidth = 70;
constexpr int kFolderTreeWidth = 200;
}  // namespace

FolderView::FolderView(QWidget *parent) : QWidget(parent)
{
    setObjectName("BROWSER");
    folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::Drives);
    folders->setRootPath("/");
    entries = new QFileSystemModel(this);
    entries->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);

    folderTree = new QTreeView;
    folderTree->setObjectName("BROWSER_FOLDERS");
    folderTree->setModel(folders);
    for (int column = 1; column < folders->columnCount(); ++column) folderTree->hideColumn(column);
    folderTree->setHeaderHidden(true);
    fileList = new QTreeView;
    fileList->setObjectName("BROWSER_FILES");
    fileList->setModel(entries);
    fileList->setRootIsDecorated(false);
    fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList->setSortingEnabled(true);
    fileList->sortByColumn(0, Qt::AscendingOrder);
    fileList->hideColumn(2);
    fileList->hideColumn(3);
    fileList->header()->resizeSection(0, kNameColumnWidth);
    fileList->header()->resizeSection(1, kSizeColumnWidth);

    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(folderTree);
    splitter->addWidget(fileList);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kFolderTreeWidth, 400});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(folderTree, &QTreeView::clicked, this, &FolderView::openFromTree);
    connect(fileList, &QTreeView::doubleClicked, this, &FolderView::activateEntry);
    setDirectory(QDir::homePath());
}

QString FolderView::currentDirectory() const { return entries->rootPath(); }

void FolderView::setDirectory(const QString &path)
{
    QDir directory(path.isEmpty() ? QDir::homePath() : path);
    while (!directory.exists() && directory.cdUp()) {}
    if (!directory.exists()) return;
    const QString absolute = directory.absolutePath();
    fileList->setRootIndex(entries->setRootPath(absolute));
    const QModelIndex folder = folders->index(absolute);
    folderTree->setCurrentIndex(folder);
    folderTree->scrollTo(folder);
    emit directoryChanged(absolute);
}

void FolderView::openFromTree(const QModelIndex &index) { setDirectory(folders->filePath(index)); }

void FolderView::activateEntry(const QModelIndex &index)
{
    if (entries->isDir(index)) {
        setDirectory(entries->filePath(index));
        return;
    }
    emit filesActivated();
}

QStringList FolderView::selectedFiles() const
{
    QModelIndexList rows = fileList->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList paths;
    for (const QModelIndex &row : rows)
        if (!entries->isDir(row)) paths << entries->filePath(row);
    return paths;
}

void FolderView::refresh()
{
    // A model with a new root re-reads the folder from disk.
    const QString directory = currentDirectory();
    entries->setRootPath(QString());
    fileList->setRootIndex(entries->setRootPath(directory));
}

void FolderView::setLocked(bool locked)
{
    folderTree->setEnabled(!locked);
    fileList->setEnabled(!locked);
}
