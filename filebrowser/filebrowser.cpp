#include "filebrowser/filebrowser.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
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

constexpr int kSizeColumnWidth = 70;
constexpr int kFileListWidth = 390;        // at the start: names and sizes
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

// The sub-folders of `folder`, then of its sub-folder components[0] if there is one, then of
// that one's components[1], ... as deep as the folders exist.
std::vector<Subfolders> ReadAlong(std::string folder, const std::vector<std::string> &components)
{
    std::vector<Subfolders> levels;
    for (size_t step = 0;; ++step) {
        levels.push_back(ReadSubfolders(folder));
        const Subfolders &read = levels.back();
        if (step == components.size() || read.error) break;
        const std::string &name = components[step];
        const auto named = [&name](const Subfolder &sub) { return sub.name == name; };
        if (std::none_of(read.folders.begin(), read.folders.end(), named)) break;
        folder = JoinPath(folder, name);
    }
    return levels;
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
    folderTree_->setAccessibleName(QStringLiteral("Folders"));
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
    fileList_->setAccessibleName(QStringLiteral("Files"));
    fileList_->setModel(listModel_);
    fileList_->setRootIsDecorated(false);
    fileList_->setItemsExpandable(false);
    fileList_->setUniformRowHeights(true);
    fileList_->setAllColumnsShowFocus(true);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileList_->setSortingEnabled(true);
    fileList_->sortByColumn(FileListModel::kNameColumn, Qt::AscendingOrder);
    // The names take the width the list gets; the sizes keep theirs.
    fileList_->header()->setStretchLastSection(false);
    fileList_->header()->setSectionResizeMode(FileListModel::kNameColumn, QHeaderView::Stretch);
    const int widestSize = fileList_->fontMetrics().horizontalAdvance(QStringLiteral("9999 KB")) + 16;
    fileList_->header()->resizeSection(FileListModel::kSizeColumn, std::max(kSizeColumnWidth, widestSize));
    fileList_->installEventFilter(this);
    // Shown in the middle of the list while what it is to show is read.
    readingHint_ = new QLabel(QStringLiteral("Reading..."));
    readingHint_->setObjectName("BROWSER_READING");
    readingHint_->setEnabled(false);
    readingHint_->hide();
    auto *overlay = new QVBoxLayout(fileList_->viewport());
    overlay->addWidget(readingHint_, 0, Qt::AlignCenter);

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->addWidget(folderTree_);
    splitter_->addWidget(fileList_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kFolderTreeWidth, kFileListWidth});
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);

    connect(folderTree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { showFolder(current); });
    // Read a folder as soon as it is expanded, not at the view's next layout.
    connect(folderTree_, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (folderModel_->canFetchMore(index)) folderModel_->fetchMore(index);
    });
    connect(folderModel_, &FolderTreeModel::readFailed, this, &FileBrowser::reportReadFailure);
    // A folder that showed an expand mark but holds no sub-folders: the view lays its items out
    // again to drop the mark (no row was inserted that would make it do so).
    connect(folderModel_, &FolderTreeModel::folderRead, this, [this](const QModelIndex &index) {
        if (folderModel_->rowCount(index) == 0) folderTree_->doItemsLayout();
    });
    connect(listModel_, &FileListModel::readingChanged, this, &FileBrowser::updateReadingHint);
    connect(listModel_, &FileListModel::listed, this, &FileBrowser::listArrived);
    connect(folderTree_, &QTreeView::customContextMenuRequested, this, &FileBrowser::showFolderMenu);
    connect(fileList_, &QTreeView::doubleClicked, this, &FileBrowser::activateEntry);

    // The root and the home folder at once; the volumes when they have been read.
    folderModel_->setTopFolders(RootAndHome());
    readVolumes();
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

bool FileBrowser::isReading() const
{
    return walking_ || listModel_->isReading() || (shownFolder_.empty() && readingVolumes_);
}

void FileBrowser::updateReadingHint() { readingHint_->setVisible(isReading()); }

void FileBrowser::readVolumes()
{
    const int id = ++volumesRequest_;
    readingVolumes_ =
        reads_.start([removable = showRemovable_, optical = showOptical_] { return TopFolders(removable, optical); },
                      [this, id](const std::vector<TopFolder> &folders) { volumesArrived(id, folders); });
    updateReadingHint();
}

void FileBrowser::volumesArrived(int id, const std::vector<TopFolder> &folders)
{
    if (id != volumesRequest_) return;
    readingVolumes_ = false;
    folderModel_->setTopFolders(folders);
    if (shownFolder_.empty() && folderModel_->isRoot(folderTree_->currentIndex())) {
        listModel_->showTopFolders(folderModel_->topFolders());
        if (!fileList_->currentIndex().isValid()) makeFirstEntryCurrent();
    }
    updateReadingHint();
}

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
        readVolumes();
        return 0;
    case BrowserAttribute::ShowTimeColumn:
        return on ? -1 : 0;
    }
    return -1;
}

void FileBrowser::showFolder(const QModelIndex &index)
{
    // The user's choice wins over a folder still being opened.
    ++navigation_;
    walking_ = false;
    if (!index.isValid() || folderModel_->isRoot(index)) {
        listModel_->showTopFolders(folderModel_->topFolders());
        setShownFolder({});
        makeFirstEntryCurrent();
    } else {
        const std::string folder = folderModel_->path(index);
        listModel_->show(folder);
        setShownFolder(folder);
    }
    updateReadingHint();
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

void FileBrowser::listArrived()
{
    // A new folder's first entry becomes current; after a refresh the current entry stays.
    if (!fileList_->currentIndex().isValid()) makeFirstEntryCurrent();
}

void FileBrowser::refresh()
{
    const QModelIndex current = folderTree_->currentIndex();
    if (!current.isValid() || folderModel_->isRoot(current)) {
        readVolumes();
        return;
    }
    static_cast<void>(folderModel_->reload(current));
    listModel_->refresh();
}

std::vector<std::string> FileBrowser::selectedFiles() const
{
    QModelIndexList rows = fileList_->selectionModel()->selectedRows(FileListModel::kNameColumn);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    std::vector<std::string> paths;
    for (const QModelIndex &row : rows) paths.push_back(listModel_->fullPath(row.row()));
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
    const QModelIndex top = components.empty() ? QModelIndex() : folderModel_->child(root, components.front());
    if (!top.isValid()) {
        openInTree(root);
        return;
    }
    walk(top, std::vector<std::string>(components.begin() + 1, components.end()));
}

void FileBrowser::openSubfolder(const std::string &name)
{
    QModelIndex folder = folderTree_->currentIndex();
    if (!folder.isValid()) folder = folderModel_->rootIndex();
    if (folderModel_->isRoot(folder)) {
        // The top folders are known without reading.
        const QModelIndex top = folderModel_->child(folder, name);
        if (top.isValid()) openInTree(top);
        return;
    }
    walk(folder, {name});
}

void FileBrowser::walk(const QModelIndex &start, std::vector<std::string> components)
{
    // Down the folders the tree has read already: no reading needed there. A name not found
    // in them is looked for again on disk (the folder may have been made since).
    QModelIndex reached = start;
    size_t known = 0;
    for (; known < components.size() && folderModel_->isRead(reached); ++known) {
        const QModelIndex next = folderModel_->child(reached, components[known]);
        if (!next.isValid()) break;
        reached = next;
    }
    if (known == components.size()) {
        openInTree(reached);
        return;
    }
    components.erase(components.begin(), components.begin() + static_cast<std::ptrdiff_t>(known));
    const int id = ++navigation_;
    const QPersistentModelIndex from(reached);
    walking_ = reads_.start(
        [folder = folderModel_->path(reached), components] { return ReadAlong(folder, components); },
        [this, id, from, components](const std::vector<Subfolders> &levels) { finishWalk(id, from, components, levels); });
    // Without a thread to read with, the folder reached opens.
    if (!walking_) openInTree(reached);
    updateReadingHint();
}

void FileBrowser::finishWalk(int id, const QPersistentModelIndex &start, const std::vector<std::string> &components,
                             const std::vector<Subfolders> &levels)
{
    if (id != navigation_) return;
    walking_ = false;
    if (start.isValid()) {
        QModelIndex reached = start;
        for (size_t step = 0; step < levels.size(); ++step) {
            folderModel_->setSubfolders(reached, levels[step]);
            if (step == components.size()) break;
            const QModelIndex next = folderModel_->child(reached, components[step]);
            if (!next.isValid()) break;
            reached = next;
        }
        openInTree(reached);
    }
    updateReadingHint();
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

void FileBrowser_Refresh(FileBrowser &browser) { browser.refresh(); }

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
