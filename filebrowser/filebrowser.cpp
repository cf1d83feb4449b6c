#include "filebrowser/filebrowser.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPersistentModelIndex>
#include <QResizeEvent>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/types.h>

#include "filebrowser/filelistmodel.h"
#include "filebrowser/foldertreemodel.h"
#include "filebrowser/volumes.h"

namespace {

constexpr int kNameColumnWidth = 320;
constexpr int kSizeColumnWidth = 70;
constexpr int kFolderTreeWidth = 200;      // at the start, and the least on a resize
constexpr int kFileListLeastWidth = 120;   // what a resize leaves the list at least
constexpr size_t kRecentFolderCount = 8;

// "/a/b/c" as "/", "a", "b", "c"; empty components (doubled or trailing slashes) are skipped.
std::vector<std::string> Components(const std::string &path)
{
    std::vector<std::string> components;
    if (path.empty() || path[0] != '/') return components;
    components.emplace_back("/");
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return components;
}

}  // namespace

QString FileBrowser_SizeText(int64_t bytes)
{
    bytes = std::max<int64_t>(bytes, 0);
    int64_t value = bytes;
    const char *unit = "B";
    if (bytes > 10000000000LL) {
        value = bytes / 1073741824;
        unit = "GB";
    } else if (bytes > 10000000) {
        value = bytes / 1048576;
        unit = "MB";
    } else if (bytes > 10000) {
        value = bytes / 1024;
        unit = "KB";
    }
    char text[48];
    std::snprintf(text, sizeof text, "%zd %2s", static_cast<ssize_t>(value), unit);
    return QString::fromLatin1(text);
}

FileBrowser::FileBrowser(const QString &rootLabel, QWidget *parent) : QWidget(parent)
{
    setObjectName("BROWSER");
    reporter_ = [this](const QString &title, const QString &text) { QMessageBox::warning(this, title, text); };
    folderModel_ = new FolderTreeModel(rootLabel, this);
    listModel_ = new FileListModel(this);

    folderTree_ = new QTreeView;
    folderTree_->setObjectName("BROWSER_FOLDERS");
    folderTree_->setModel(folderModel_);
    folderTree_->setHeaderHidden(true);
    // Deep folders widen the column and scroll sideways instead of being cut off.
    folderTree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    folderTree_->header()->setStretchLastSection(false);
    folderTree_->setUniformRowHeights(true);
    folderTree_->setSelectionMode(QAbstractItemView::SingleSelection);
    folderTree_->setContextMenuPolicy(Qt::CustomContextMenu);

    fileList_ = new QTreeView;
    fileList_->setObjectName("BROWSER_FILES");
    fileList_->setModel(listModel_);
    fileList_->setRootIsDecorated(false);
    fileList_->setItemsExpandable(false);
    fileList_->setUniformRowHeights(true);
    fileList_->setAllColumnsShowFocus(true);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileList_->setSortingEnabled(true);
    fileList_->sortByColumn(FileListModel::kNameColumn, Qt::AscendingOrder);
    fileList_->header()->setStretchLastSection(false);
    fileList_->header()->resizeSection(FileListModel::kNameColumn, kNameColumnWidth);
    fileList_->header()->resizeSection(FileListModel::kSizeColumn, kSizeColumnWidth);
    fileList_->installEventFilter(this);

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->addWidget(folderTree_);
    splitter_->addWidget(fileList_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kFolderTreeWidth, kNameColumnWidth + kSizeColumnWidth});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);

    connect(folderTree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { showFolder(current); });
    // Read a folder as soon as it is expanded, not at the view's next layout, so that a failure
    // is reported at once.
    connect(folderTree_, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (folderModel_->canFetchMore(index)) folderModel_->fetchMore(index);
    });
    connect(folderModel_, &FolderTreeModel::readFailed, this, &FileBrowser::reportReadFailure);
    connect(folderTree_, &QTreeView::customContextMenuRequested, this, &FileBrowser::showFolderMenu);
    connect(fileList_, &QTreeView::doubleClicked, this, &FileBrowser::activateEntry);

    updateTopFolders();
    const QModelIndex root = folderModel_->rootIndex();
    folderTree_->expand(root);
    folderTree_->setCurrentIndex(root);
}

FileBrowser::~FileBrowser() = default;

void FileBrowser::setLocked(bool locked)
{
    folderTree_->setEnabled(!locked);
    fileList_->setEnabled(!locked);
}

QStringList FileBrowser::recentFolders() const
{
    QStringList folders;
    for (const std::string &folder : recent_) folders << QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size()));
    return folders;
}

void FileBrowser::setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

void FileBrowser::updateTopFolders() { folderModel_->setTopFolders(TopFolders(showRemovable_, showOptical_)); }

int FileBrowser::setAttribute(BrowserAttribute attribute, int value)
{
    const bool on = value != 0;
    switch (attribute) {
    case BrowserAttribute::ShowIcons:
        folderModel_->setShowIcons(on);
        listModel_->setShowIcons(on);
        return 0;
    case BrowserAttribute::ShowRemovableDrives:
    case BrowserAttribute::ShowCdRomDrives:
        (attribute == BrowserAttribute::ShowRemovableDrives ? showRemovable_ : showOptical_) = on;
        updateTopFolders();
        if (shownFolder_.empty()) {
            const Selection kept = keepSelection();
            listModel_->showTopFolders(folderModel_->topFolders());
            restoreSelection(kept);
        }
        return 0;
    case BrowserAttribute::ShowTimeColumn:
        return on ? -1 : 0;
    }
    return -1;
}

void FileBrowser::showFolder(const QModelIndex &index)
{
    if (!index.isValid() || folderModel_->isRoot(index)) {
        listModel_->showTopFolders(folderModel_->topFolders());
        setShownFolder({});
    } else {
        const std::string folder = folderModel_->path(index);
        listModel_->read(folder);
        setShownFolder(folder);
    }
    makeFirstEntryCurrent();
}

void FileBrowser::setShownFolder(const std::string &folder)
{
    if (shownOnce_ && folder == shownFolder_) return;
    shownOnce_ = true;
    shownFolder_ = folder;
    if (!folder.empty()) {
        recent_.erase(std::remove(recent_.begin(), recent_.end(), folder), recent_.end());
        recent_.push_front(folder);
        if (recent_.size() > kRecentFolderCount) recent_.pop_back();
    }
    emit directoryChanged(QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size())));
}

void FileBrowser::makeFirstEntryCurrent()
{
    if (listModel_->rowCount() == 0) return;
    // Current, not selected: the add buttons take only what the user selected.
    fileList_->selectionModel()->setCurrentIndex(listModel_->index(0, FileListModel::kNameColumn),
                                                 QItemSelectionModel::NoUpdate);
    fileList_->scrollToTop();
}

int FileBrowser::refresh()
{
    const Selection kept = keepSelection();
    const QModelIndex current = folderTree_->currentIndex();
    int error = 0;
    if (!current.isValid() || folderModel_->isRoot(current)) {
        updateTopFolders();
        listModel_->showTopFolders(folderModel_->topFolders());
    } else {
        folderModel_->reload(current);
        error = listModel_->read(shownFolder_);
    }
    restoreSelection(kept);
    return error ? -error : 0;
}

FileBrowser::Selection FileBrowser::keepSelection() const
{
    Selection kept;
    const QModelIndexList rows = fileList_->selectionModel()->selectedRows(FileListModel::kNameColumn);
    kept.selected.reserve(static_cast<size_t>(rows.size()));
    for (const QModelIndex &row : rows) kept.selected.push_back(listModel_->name(row.row()));
    const QModelIndex current = fileList_->currentIndex();
    if (current.isValid()) kept.current = listModel_->name(current.row());
    return kept;
}

void FileBrowser::restoreSelection(const Selection &kept)
{
    std::vector<int> rows = listModel_->rowsOf(kept.selected);
    const int currentRow = kept.current.empty() ? -1 : listModel_->rowsOf({kept.current})[0];
    rows.erase(std::remove(rows.begin(), rows.end(), -1), rows.end());
    if (rows.empty() && currentRow < 0) {
        makeFirstEntryCurrent();
        return;
    }
    // One range per run of neighbouring rows: a selection of thousands of single rows is slow.
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int lastColumn = FileListModel::kColumnCount - 1;
    for (size_t first = 0; first < rows.size();) {
        size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) ++last;
        selection.select(listModel_->index(rows[first], 0), listModel_->index(rows[last], lastColumn));
        first = last + 1;
    }
    QItemSelectionModel *selectionModel = fileList_->selectionModel();
    const int focusRow = currentRow >= 0 ? currentRow : rows.front();
    selectionModel->setCurrentIndex(listModel_->index(focusRow, FileListModel::kNameColumn), QItemSelectionModel::NoUpdate);
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    fileList_->scrollTo(listModel_->index(focusRow, FileListModel::kNameColumn));
}

std::vector<std::string> FileBrowser::selectedFiles() const
{
    QModelIndexList rows = fileList_->selectionModel()->selectedRows(FileListModel::kNameColumn);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    std::vector<std::string> paths;
    for (const QModelIndex &row : rows)
        if (!listModel_->isDir(row.row())) paths.push_back(listModel_->fullPath(row.row()));
    return paths;
}

void FileBrowser::openInTree(const QModelIndex &index)
{
    std::vector<QModelIndex> chain;
    for (QModelIndex at = index; at.isValid(); at = at.parent()) chain.push_back(at);
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) folderTree_->expand(*at);
    folderTree_->setCurrentIndex(index);
    folderTree_->scrollTo(index);
}

void FileBrowser::openPath(const std::string &path)
{
    const QModelIndex root = folderModel_->rootIndex();
    const std::vector<std::string> components = Components(path);
    QModelIndex reached = components.empty() ? QModelIndex() : folderModel_->child(root, components.front());
    if (!reached.isValid()) {
        openInTree(root);
        return;
    }
    for (size_t step = 1; step < components.size(); ++step) {
        folderModel_->load(reached);
        QModelIndex next = folderModel_->child(reached, components[step]);
        // The tree may have read the folder before the sub-folder was made.
        if (!next.isValid() && folderModel_->reload(reached) == 0) next = folderModel_->child(reached, components[step]);
        if (!next.isValid()) break;
        reached = next;
    }
    openInTree(reached);
}

void FileBrowser::openSubfolder(const std::string &name)
{
    QModelIndex folder = folderTree_->currentIndex();
    if (!folder.isValid()) folder = folderModel_->rootIndex();
    folderModel_->load(folder);
    QModelIndex child = folderModel_->child(folder, name);
    if (!child.isValid() && folderModel_->reload(folder) == 0) child = folderModel_->child(folder, name);
    if (child.isValid()) openInTree(child);
}

void FileBrowser::activateEntry(const QModelIndex &index)
{
    if (!index.isValid()) return;
    if (listModel_->isDir(index.row())) {
        Filebrowser_SetDir(*this, listModel_->name(index.row()), 1);
        return;
    }
    emit filesActivated();
}

void FileBrowser::reportReadFailure(const QModelIndex &index, int error)
{
    // Reported once the view has finished expanding: the default reporter runs a modal box.
    const QPersistentModelIndex folder(index);
    QTimer::singleShot(0, this, [this, folder, error] {
        if (folder.isValid()) folderTree_->collapse(folder);
        if (reporter_) reporter_(QStringLiteral("Tree Expand Error"), QStringLiteral("Returned error %1").arg(error));
    });
}

void FileBrowser::showFolderMenu(const QPoint &position)
{
    QMenu menu(this);
    QMenu *recentMenu = menu.addMenu(QStringLiteral("Recent Folders"));
    recentMenu->setEnabled(!recent_.empty());
    for (const std::string &folder : recent_) {
        QAction *action = recentMenu->addAction(QString::fromUtf8(folder.data(), static_cast<qsizetype>(folder.size())));
        connect(action, &QAction::triggered, this, [this, folder] { Filebrowser_SetDir(*this, folder, 0); });
    }
    menu.exec(folderTree_->viewport()->mapToGlobal(position));
}

void FileBrowser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QList<int> sizes = splitter_->sizes();
    if (sizes.size() < 2) return;
    // The tree keeps at least its starting width, unless the list would get less than its least.
    const int upper = width() - kFileListLeastWidth;
    const int tree = std::max(0, std::min(std::max(sizes[0], kFolderTreeWidth), upper));
    if (tree != sizes[0]) splitter_->setSizes({tree, std::max(1, width() - tree)});
}

bool FileBrowser::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == fileList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            activateEntry(fileList_->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

FileBrowser *FileBrowser_Create(QWidget *parent, const QString &root) { return new FileBrowser(root, parent); }

int FileBrowser_SetAttribute(FileBrowser &browser, BrowserAttribute attribute, int value)
{
    return browser.setAttribute(attribute, value);
}

int FileBrowser_Refresh(FileBrowser &browser) { return browser.refresh(); }

std::vector<std::string> FileBrowser_GetSelectedFiles(const FileBrowser &browser) { return browser.selectedFiles(); }

int Filebrowser_IsDirFromDisk(const std::string &path, int *isDir)
{
    if (isDir) *isDir = 0;
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
        if (isDir) *isDir = S_ISDIR(info.st_mode) ? 1 : 0;
        return 0;
    }
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    return -errno;
}

void Filebrowser_SetDir(FileBrowser &browser, const std::string &path, int relative)
{
    if (path.empty()) {
        browser.openInTree(browser.folderModel_->rootIndex());
        return;
    }
    if (relative)
        browser.openSubfolder(path);
    else
        browser.openPath(path);
}

FileBrowser *Filebrowser_GetFileBrowserPtr(QWidget *scope)
{
    if (!scope) return nullptr;
    if (auto *browser = qobject_cast<FileBrowser *>(scope); browser && browser->objectName() == QLatin1String("BROWSER"))
        return browser;
    return scope->findChild<FileBrowser *>(QStringLiteral("BROWSER"));
}
