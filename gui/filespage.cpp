#include "gui/filespage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "app/filesflows.h"
#include "app/layoutflows.h"
#include "app/viewchoices.h"
#include "conversion/guilock.h"
#include "conversion/jobs.h"
#include "filebrowser/filebrowser.h"
#include "filebrowser/pathtext.h"
#include "gui/dialogs.h"
#include "gui/jobsmodel.h"

namespace {

constexpr int kJobLabelColumnWidth = 200;

QPushButton *AddButton(const char *objectName, const QString &text, const QString &toolTip)
{
    auto *button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setIcon(button->style()->standardIcon(QStyle::SP_ArrowDown));
    return button;
}

std::vector<std::string> ToStrings(const QStringList &paths)
{
    std::vector<std::string> strings;
    strings.reserve(paths.size());
    for (const QString &path : paths) strings.push_back(PathBytes(path));
    return strings;
}

// The local paths among dropped URLs, as raw bytes.
std::vector<std::string> LocalPaths(const QList<QUrl> &urls)
{
    std::vector<std::string> paths;
    for (const QUrl &url : urls)
        if (url.isLocalFile()) paths.push_back(PathBytes(url.toLocalFile()));
    return paths;
}

}  // namespace

FilesPage::FilesPage(Session &session, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), session(session), dialogs(dialogs)
{
    setObjectName("PAGE_FILES");
    buildBrowser();
    buildJobsTree();

    // The browser and the jobs tree share the page's height; the controls between them keep
    // theirs. SPLITTER_TOP and SPLITTER_BOTTOM are the two handles.
    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName("SPLITTER_FILES");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(browser);
    splitter->addWidget(buildControls());
    splitter->addWidget(jobsTree);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setStretchFactor(2, 1);
    splitter->handle(1)->setObjectName("SPLITTER_TOP");
    splitter->handle(2)->setObjectName("SPLITTER_BOTTOM");
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(splitter);

    refreshJobs();
    refreshHint();
}

QWidget *FilesPage::buildControls()
{
    addIq = AddButton("BUTTON_ADD_IQ", "Add IQ File(s)", "Adds selected file(s) to conversion job list");
    addI = AddButton("BUTTON_ADD_I", "Add I File(s)", "Adds selected file(s) to the job list as I files");
    addQ = AddButton("BUTTON_ADD_Q", "Add Q File(s)",
                     "Adds selected file(s) as Q files: they fill the jobs without a Q file first");
    refreshButton = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), "Refresh");
    refreshButton->setObjectName("BUTTON_REFRESH");
    refreshButton->setToolTip("Reads the folder again");
    outputSource = new QComboBox;
    outputSource->setObjectName("RING_OUTPUT_SOURCE");
    outputSource->addItems({"Same as input", "User defined"});
    outputDirectory = new QLineEdit;
    outputDirectory->setObjectName("STRING_OUTPUTDIR");
    outputDirectory->setReadOnly(true);
    outputDirectory->setAccessibleName("Default Output Directory");
    outputButton = new QPushButton(style()->standardIcon(QStyle::SP_DirOpenIcon), "");
    outputButton->setObjectName("BUTTON_OUTPUT");
    outputButton->setToolTip("Choose the output directory");
    outputButton->setAccessibleName("Choose the output directory");
    overwrite = new QCheckBox("Overwrite Protection");
    overwrite->setObjectName("CHECKBOX_OVERWRITE");
    overwrite->setToolTip("Skips jobs whose output file exists already");

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addIq);
    buttons->addWidget(addI);
    buttons->addWidget(addQ);
    buttons->addStretch();
    buttons->addWidget(refreshButton);
    auto *output = new QHBoxLayout;
    output->addWidget(new QLabel("Default Output Directory"));
    output->addWidget(outputSource);
    output->addWidget(outputDirectory, 1);
    output->addWidget(outputButton);
    output->addStretch(0);
    output->addWidget(overwrite);
    auto *controls = new QWidget;
    auto *layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->addLayout(buttons);
    layout->addLayout(output);
    controls->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    connect(addIq, &QPushButton::clicked, this, &FilesPage::addSelectedFiles);
    connect(addI, &QPushButton::clicked, this, &FilesPage::addSelectedFiles);
    connect(addQ, &QPushButton::clicked, this, [this] { addSelection(1); });
    connect(refreshButton, &QPushButton::clicked, this, &FilesPage::refreshBrowser);
    connect(outputSource, &QComboBox::activated, this, &FilesPage::selectOutputSource);
    connect(outputButton, &QPushButton::clicked, this, &FilesPage::chooseOutputDirectory);
    connect(overwrite, &QCheckBox::clicked, this,
            [this](bool checked) { static_cast<void>(onOverwriteProtection(this->session, checked ? 1 : 0)); });
    return controls;
}

// BROWSER: rooted at "My Computer"; the folder used last opens when the page is first shown.
void FilesPage::buildBrowser()
{
    browser = FileBrowser_Create(nullptr, "My Computer");
    browser->setErrorReporter(
        [this](const QString &title, const QString &text) { dialogs.inform(this, title, text); });
    connect(browser, &FileBrowser::filesActivated, this, &FilesPage::addSelectedFiles);
    // The folder is kept as the raw bytes of its path: the signal's text may not hold them.
    connect(browser, &FileBrowser::directoryChanged, this,
            [this] { static_cast<void>(App_SetBrowserDirectory(session, browser->currentDirectory())); });
    // Files dropped on the list are added as on the jobs tree.
    if (auto *list = browser->findChild<QAbstractItemView *>("BROWSER_FILES")) {
        browserListArea = list->viewport();
        browserListArea->setAcceptDrops(true);
        browserListArea->installEventFilter(this);
    }
}

void FilesPage::buildJobsTree()
{
    jobsTree = new QTreeView;
    jobsTree->setObjectName("TREE");
    jobsTree->setAccessibleName("Conversion jobs");
    jobsModel = new JobsModel(session, jobsTree);
    jobsTree->setModel(jobsModel);
    jobsTree->setItemDelegate(new JobsDelegate(jobsTree));
    jobsTree->setUniformRowHeights(true);
    jobsTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    jobsTree->header()->resizeSection(0, kJobLabelColumnWidth);
    jobsTree->header()->setStretchLastSection(true);
    jobsTree->setIndentation(14);
    connect(jobsTree, &QTreeView::clicked, this, &FilesPage::pressJobCell);
    connect(jobsTree, &QTreeView::collapsed, this, [this](const QModelIndex &index) { rememberCollapsed(index, true); });
    connect(jobsTree, &QTreeView::expanded, this, [this](const QModelIndex &index) { rememberCollapsed(index, false); });
    jobsTree->viewport()->setAcceptDrops(true);
    jobsTree->viewport()->installEventFilter(this);
    auto *remove = new QShortcut(QKeySequence::Delete, jobsTree, nullptr, nullptr, Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &FilesPage::removeCurrentJob);
    jobsTree->installEventFilter(this);  // F2 and Return open the current row's file dialog

    // The hint sits in the middle of the empty tree.
    addFilesHere = new QLabel("Add IQ Waveforms to convert here");
    addFilesHere->setObjectName("TEXT_ADD_FILES_HERE");
    addFilesHere->setStyleSheet("color: rgb(128, 128, 128);");
    auto *overlay = new QVBoxLayout(jobsTree->viewport());
    overlay->addWidget(addFilesHere, 0, Qt::AlignCenter);
}

void FilesPage::rememberCollapsed(const QModelIndex &index, bool collapsed)
{
    const int item = jobsModel->itemOf(index);
    if (item >= 0) static_cast<void>(Gui_SetJobItemCollapsed(session, item, collapsed ? 1 : 0));
}

// New or changed jobs as the session has them: the expanded branches, and no blank row for the
// combined structure's Q item, which has no label and no file.
void FilesPage::showJobRows(int firstJob, int count)
{
    const QSignalBlocker blocker(jobsTree);  // restoring is not a user's collapse
    const std::vector<JobTreeItem> &items = session.jobs.items;
    const int end = std::min<int>((firstJob + count) * kItemsPerJob, jobsModel->rowCount() * kItemsPerJob);
    for (int first = firstJob * kItemsPerJob; first < end; first += kItemsPerJob) {
        const QModelIndex q = jobsModel->indexOf(first + kJobQ);
        const bool hidden = items[first + kJobQ].label.empty();
        if (jobsTree->isRowHidden(q.row(), q.parent()) != hidden) jobsTree->setRowHidden(q.row(), q.parent(), hidden);
    }
}

void FilesPage::applyJobRows(const SessionNotice &notice)
{
    switch (notice.rows) {
    case RowChange::Inserted: {
        jobsModel->jobsInserted(notice.first, notice.count);
        const QSignalBlocker blocker(jobsTree);
        const std::vector<JobTreeItem> &items = session.jobs.items;
        for (int job = notice.first; job < notice.first + notice.count; ++job) {
            const int first = job * kItemsPerJob;
            jobsTree->setExpanded(jobsModel->indexOf(first + kJobItem), !items[first + kJobItem].collapsed);
            jobsTree->setExpanded(jobsModel->indexOf(first + kJobStatus), !items[first + kJobStatus].collapsed);
        }
        showJobRows(notice.first, notice.count);
        break;
    }
    case RowChange::Removing: jobsModel->jobsRemoving(notice.first, notice.count); break;
    case RowChange::Removed: jobsModel->jobsRemoved(); break;
    case RowChange::Changed:
        jobsModel->jobsChanged(notice.first, notice.count);
        showJobRows(notice.first, notice.count);
        break;
    case RowChange::All:
    case RowChange::Reveal: break;
    }
}

void FilesPage::revealJobItem(int item)
{
    const QModelIndex index = jobsModel->indexOf(item);
    if (index.isValid()) jobsTree->scrollTo(index);
}

void FilesPage::addFiles(const QStringList &paths, int qFiles) { addFiles(ToStrings(paths), qFiles); }

void FilesPage::addFiles(const std::vector<std::string> &paths, int qFiles)
{
    if (paths.empty()) return;
    static_cast<void>(App_AddFiles(session, qFiles, paths));
}

void FilesPage::addSelectedFiles() { addSelection(0); }

void FilesPage::addSelection(int qFiles)
{
    std::vector<std::string> selected = FileBrowser_GetSelectedFiles(*browser);
    if (selected.empty()) return;
    listInBackground(std::move(selected), qFiles, "Selected files could not be read (no thread left to read them)");
}

// Selected or dropped folders stand for their files; they are read on a thread of their own,
// so that a slow mount never holds up the window.
void FilesPage::listInBackground(std::vector<std::string> paths, int qFiles, const char *noThreadMessage)
{
    const bool started = folderReads.start([paths = std::move(paths)] { return App_ListDroppedPaths(paths); },
                                           [this, qFiles](const std::vector<std::string> &files) {
                                               static_cast<void>(App_AddDroppedFiles(session, files, qFiles));
                                           });
    if (!started) Gui_UpdateStatus(session, noThreadMessage, StatusIcon::Error);
}

void FilesPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (rememberedFolderOpened) return;
    rememberedFolderOpened = true;
    // Its folders are read in the background: the window is up before they answer, however
    // slow the mount.
    if (!session.views.browserDirectory.empty()) Filebrowser_SetDir(*browser, session.views.browserDirectory, 0);
}

bool FilesPage::eventFilter(QObject *watched, QEvent *event)
{
    // The tree's own keys would start an editor (F2) or activate the row (Return); here they
    // open the row's file dialog, as a click on its path does.
    if (watched == jobsTree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_F2 && key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        openCurrentJobFile();
        return true;
    }
    if (watched != jobsTree->viewport() && watched != browserListArea) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Taken also while a run has the job list locked: the drop then says why it adds nothing.
        auto *drag = static_cast<QDropEvent *>(event);
        if (drag->mimeData()->hasUrls()) drag->acceptProposedAction();
        else drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        dropFiles(drop->mimeData()->urls());
        drop->acceptProposedAction();
        return true;
    }
    default: return QWidget::eventFilter(watched, event);
    }
}

void FilesPage::dropFiles(const QList<QUrl> &urls)
{
    if (!App_TakesDrops(session)) return;
    listInBackground(LocalPaths(urls), 0, "Dropped files could not be read (no thread left to read them)");
}

void FilesPage::removeCurrentJob()
{
    const int item = jobsModel->itemOf(jobsTree->currentIndex());
    if (item >= 0) static_cast<void>(onFilesTree(session, item - item % kItemsPerJob));
}

void FilesPage::openCurrentJobFile()
{
    const int item = jobsModel->itemOf(jobsTree->currentIndex());
    if (item >= 0 && session.jobs.items[item].cell == JobCell::File) chooseJobFile(item);
}

void FilesPage::pressJobCell(const QModelIndex &index)
{
    if (index.column() != 1) return;
    const int item = jobsModel->itemOf(index);
    if (item < 0) return;
    switch (session.jobs.items[item].cell) {
    case JobCell::Remove: static_cast<void>(onFilesTree(session, item)); break;
    case JobCell::File: chooseJobFile(item); break;
    case JobCell::Plain:
    case JobCell::Progress: break;
    }
}

void FilesPage::chooseJobFile(int item)
{
    if (!Gui_ControlTakesInput(session.views, Control::JobsTree)) return;
    const QString current = PathText(session.jobs.items[item].value);
    FileRequest request;
    if (current.isEmpty()) {
        request.directory = PathText(browser->currentDirectory());
    } else {
        const QFileInfo file(current);
        request.directory = file.absolutePath();
        request.fileName = file.fileName();
    }
    if (item % kItemsPerJob == kJobOutput) {
        request.title = "Please define the output file";
        request.filter = "*.wv";
        request.save = true;
    } else {
        request.title = "Please define the input file";
    }
    if (const std::optional<QString> chosen = dialogs.selectFile(this, request))
        static_cast<void>(Gui_SetJobPath(session, item, PathBytes(*chosen)));
}

void FilesPage::selectOutputSource(int index)
{
    if (index == kOutputUserDefined) {
        chooseOutputDirectory();
    } else {
        static_cast<void>(Gui_SetOutputDirectory(session, nullptr));
    }
    refreshJobs();  // a refused choice shows the state in hand again
}

void FilesPage::chooseOutputDirectory()
{
    if (!Gui_ControlTakesInput(session.views, Control::OutputButton)) return;
    const QString start = session.jobs.outputDirectory.empty()
                              ? PathText(browser->currentDirectory())
                              : PathText(session.jobs.outputDirectory);
    const std::optional<QString> chosen = dialogs.selectDirectory(this, "Select output directory", start);
    if (chosen) {
        const std::string directory = PathBytes(*chosen);
        static_cast<void>(Gui_SetOutputDirectory(session, &directory));
    } else {
        static_cast<void>(Gui_SetOutputDirectory(session, nullptr));
    }
}

void FilesPage::refreshJobs()
{
    jobsModel->allJobsChanged();
    showJobRows(0, jobsModel->rowCount());
    const JobList &jobs = session.jobs;
    outputSource->setCurrentIndex(jobs.outputSource);
    const QString directory = PathText(jobs.outputDirectory);
    outputDirectory->setText(directory);
    outputDirectory->setToolTip(directory);
    outputDirectory->setVisible(jobs.outputSource == kOutputUserDefined);
    outputButton->setVisible(jobs.outputSource == kOutputUserDefined);
    overwrite->setChecked(jobs.overwriteProtection != 0);
    const AddButtonsView &add = session.views.addButtons;
    addIq->setVisible(add.addIqVisible);
    addI->setVisible(add.addIVisible);
    addQ->setVisible(add.addQVisible);
}

void FilesPage::refreshHint() { addFilesHere->setVisible(session.views.hints.addFilesHereVisible); }

void FilesPage::refreshBrowser() { static_cast<void>(FileBrowser_Refresh(*browser)); }

void FilesPage::applyLocks()
{
    const ViewState &views = session.views;
    const std::pair<QWidget *, Control> controls[] = {
        {outputButton, Control::OutputButton}, {addQ, Control::AddQButton},
        {addI, Control::AddIButton},           {addIq, Control::AddIqButton},
        {outputSource, Control::OutputSourceRing}, {overwrite, Control::OverwriteCheckbox},
        {refreshButton, Control::RefreshButton}};
    for (const auto &[widget, control] : controls) widget->setEnabled(Gui_ControlTakesInput(views, control));
    browser->setLocked(!Gui_ControlTakesInput(views, Control::Browser));
    // TREE keeps showing progress in full colour; core refuses its clicks while locked, and its
    // branches stay as they are.
    jobsTree->setItemsExpandable(Gui_ControlTakesInput(views, Control::JobsTree));
    jobsModel->allJobsChanged();  // the cells' tool tips follow the lock
}
