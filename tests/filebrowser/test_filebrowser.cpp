// The file browser of the "Files" page on the offscreen platform: the list's order, sizes and
// selection, refresh, opening folders by path and by double click, a folder that vanished before
// it was expanded, names that are not plain UTF-8 text, and folders that answer late or never
// (a read hook holds them as a dead mount would). Each test builds its folders under the
// system's temporary directory.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTreeView>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

#include "filebrowser/filebrowser.h"
#include "filebrowser/filelistmodel.h"
#include "filebrowser/foldertreemodel.h"
#include "stalledfolders.h"

namespace {

void Settle()
{
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
}

// Runs the event loop until `done`, at most 10 s; false on the time-out.
bool WaitFor(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    Settle();
    return true;
}

// A fresh folder under the system's temporary directory, removed with its content.
class Folder {
public:
    Folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quelvor-browser-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    // A file of `size` bytes (a hole: nothing is written).
    std::string file(const std::string &name, off_t size = 0) const
    {
        const std::string path = *this / name;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        return path;
    }
    std::string folder(const std::string &name) const
    {
        std::filesystem::create_directories(*this / name);
        return *this / name;
    }

private:
    std::string path_;
};

// A shown browser whose error reports are collected instead of shown.
struct Browser {
    std::unique_ptr<FileBrowser> widget{FileBrowser_Create(nullptr, "My Computer")};
    QTreeView *tree = widget->findChild<QTreeView *>("BROWSER_FOLDERS");
    QTreeView *list = widget->findChild<QTreeView *>("BROWSER_FILES");
    QStringList reports;
    // The list is checked against the item model rules on every change (a fault aborts). Not
    // the tree: the checker would read every folder of the file system.
    QAbstractItemModelTester entryRules{list->model(), QAbstractItemModelTester::FailureReportingMode::Fatal};

    Browser()
    {
        widget->setErrorReporter([this](const QString &title, const QString &text) { reports << title + ": " + text; });
        widget->resize(900, 500);
        widget->show();
        settle();
    }
    // Lets what the browser reads in the background arrive.
    void settle() const { EXPECT_TRUE(WaitFor([this] { return !widget->isReading(); })); }
    void open(const std::string &path, int relative = 0) const
    {
        Filebrowser_SetDir(*widget, path, relative);
        settle();
    }
    void refresh() const
    {
        FileBrowser_Refresh(*widget);
        settle();
    }
    QAbstractItemModel *entries() const { return list->model(); }
    QString cell(int row, int column = 0) const { return entries()->index(row, column).data().toString(); }
    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < entries()->rowCount(); ++row) shown << cell(row);
        return shown;
    }
    QStringList sizes() const
    {
        QStringList shown;
        for (int row = 0; row < entries()->rowCount(); ++row) shown << cell(row, 1);
        return shown;
    }
    int rowOf(const QString &name) const { return static_cast<int>(names().indexOf(name)); }
    void select(std::initializer_list<int> rows, QItemSelectionModel::SelectionFlags first = QItemSelectionModel::ClearAndSelect)
    {
        for (int row : rows) {
            list->selectionModel()->select(entries()->index(row, 0), first | QItemSelectionModel::Rows);
            first = QItemSelectionModel::Select;
        }
    }
    // The names of the sub-folders the tree holds under its current item.
    QStringList treeChildren() const
    {
        QStringList shown;
        const QModelIndex current = tree->currentIndex();
        for (int row = 0; row < tree->model()->rowCount(current); ++row)
            shown << tree->model()->index(row, 0, current).data().toString();
        return shown;
    }
    void clickHeader(int section)
    {
        QHeaderView *header = list->header();
        const QPoint at(header->sectionViewportPosition(section) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        Settle();
    }
    void doubleClick(int row)
    {
        const QPoint at = list->visualRect(entries()->index(row, 0)).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        settle();
    }
};

TEST(FileBrowserList, SelectedEntriesComeInListOrderFoldersIncluded)
{
    Folder folder;
    folder.folder("sub");
    for (const char *name : {"D.bin", "a2.bin", "c.bin", "B.bin"}) folder.file(name);
    Browser browser;
    browser.open(folder.path());
    ASSERT_EQ(browser.names(), QStringList({"sub", "a2.bin", "B.bin", "c.bin", "D.bin"}));

    browser.select({4, 1, 3});
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget),
              std::vector<std::string>({folder / "a2.bin", folder / "c.bin", folder / "D.bin"}));
    browser.select({3, 0, 2});
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget),
              std::vector<std::string>({folder / "sub", folder / "B.bin", folder / "c.bin"}));
}

TEST(FileBrowserList, SortsFoldersFirstThenByNameOrSize)
{
    Folder folder;
    folder.folder("zed");
    folder.folder("Abc");
    folder.file("b", 10);
    folder.file("A", 20000);
    folder.file("C", 9);
    Browser browser;
    browser.open(folder.path());
    EXPECT_EQ(browser.names(), QStringList({"Abc", "zed", "A", "b", "C"}));

    // Sizes as numbers: 9 before 10 before 19 KB; folders stay first.
    browser.clickHeader(1);
    EXPECT_EQ(browser.names(), QStringList({"Abc", "zed", "C", "b", "A"}));
    EXPECT_EQ(browser.sizes(), QStringList({"", "", "9  B", "10  B", "19 KB"}));
    browser.clickHeader(1);
    EXPECT_EQ(browser.names(), QStringList({"zed", "Abc", "A", "b", "C"}));
    browser.clickHeader(0);
    EXPECT_EQ(browser.names(), QStringList({"Abc", "zed", "A", "b", "C"}));
    browser.clickHeader(0);
    EXPECT_EQ(browser.names(), QStringList({"zed", "Abc", "C", "b", "A"}));
}

TEST(FileBrowserList, SizeTextAtEachThreshold)
{
    EXPECT_EQ(FileBrowser_SizeText(0), "0  B");
    EXPECT_EQ(FileBrowser_SizeText(10000), "10000  B");
    EXPECT_EQ(FileBrowser_SizeText(10001), "9 KB");
    EXPECT_EQ(FileBrowser_SizeText(10000000), "9765 KB");
    EXPECT_EQ(FileBrowser_SizeText(10000001), "9 MB");
    EXPECT_EQ(FileBrowser_SizeText(10000000000LL), "9536 MB");
    EXPECT_EQ(FileBrowser_SizeText(10000000001LL), "9 GB");
    EXPECT_EQ(FileBrowser_SizeText(int64_t{5} << 40), "5120 GB");
}

TEST(FileBrowserList, NamesAreHandedOutAsTheirRawBytes)
{
    Folder folder;
    const std::vector<std::string> raw = {"bad\xff.bin", "line\nbreak.bin", "with space.bin", ".hidden"};
    for (const std::string &name : raw) folder.file(name);
    Browser browser;
    browser.open(folder.path());
    const int bad = browser.rowOf(QString("bad") + QChar(QChar::ReplacementCharacter) + ".bin");
    const int newline = browser.rowOf("line\nbreak.bin");
    ASSERT_GE(bad, 0);
    ASSERT_GE(newline, 0);
    EXPECT_EQ(browser.entries()->rowCount(), 4);

    browser.select({bad, newline});
    std::vector<std::string> expected = {folder / raw[0], folder / raw[1]};
    if (newline < bad) std::swap(expected[0], expected[1]);
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget), expected);
}

// A refresh merges what it reads: rows come and go one by one, never by a reset, and the
// entries that stay keep their selection.
TEST(FileBrowserList, RefreshShowsNewEntriesAndKeepsFolderAndSelection)
{
    Folder folder;
    folder.file("b.bin");
    folder.file("c.bin", 100);
    folder.folder("sub");
    Browser browser;
    browser.open(folder.path());
    browser.select({browser.rowOf("c.bin")});
    QSignalSpy changes(browser.widget.get(), &FileBrowser::directoryChanged);
    QSignalSpy resets(browser.entries(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(browser.entries(), &QAbstractItemModel::rowsInserted);

    folder.file("a.bin");
    folder.folder("new");
    folder.file("c.bin", 20000);
    ::unlink((folder / "b.bin").c_str());
    browser.refresh();
    EXPECT_EQ(browser.names(), QStringList({"new", "sub", "a.bin", "c.bin"}));
    EXPECT_EQ(browser.cell(browser.rowOf("c.bin"), 1), "19 KB");
    EXPECT_EQ(browser.widget->currentDirectory(), folder.path());
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget), std::vector<std::string>({folder / "c.bin"}));
    // The tree reads its sub-folders apart from the list.
    EXPECT_TRUE(WaitFor([&] { return browser.treeChildren() == QStringList({"new", "sub"}); }));
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(inserts.count(), 2);  // "new" and "a.bin", each where it belongs

    // A folder that cannot be read any more shows no entries.
    std::filesystem::remove_all(folder.path());
    browser.refresh();
    EXPECT_EQ(browser.entries()->rowCount(), 0);
}

// The tree under the item model rules, which expand every folder they meet: sub-folders arrive
// from the background and are inserted; a folder read again keeps the items that stay and what
// is open below them; icons switched off change the items' decoration, not the layout.
TEST(FileBrowserFolders, TreeReloadKeepsTheFoldersThatStay)
{
    Folder folder;
    for (const char *name : {"b", "D", "f", "h/inner"}) folder.folder(name);
    folder.file("not-a-folder");
    FolderTreeModel model("My Computer");
    QAbstractItemModelTester rules(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy reads(&model, &FolderTreeModel::folderRead);
    model.setTopFolders({{folder.path(), QString::fromStdString(folder.path()), TopFolder::Kind::Volume}});
    const QModelIndex top = model.child(model.rootIndex(), folder.path());
    ASSERT_TRUE(top.isValid());
    auto names = [&model](const QModelIndex &parent) {
        QStringList shown;
        for (int row = 0; row < model.rowCount(parent); ++row) shown << model.index(row, 0, parent).data().toString();
        return shown;
    };
    // Read when fetched (the rules may have fetched them already), inserted when they arrive.
    if (model.canFetchMore(top)) model.fetchMore(top);
    ASSERT_TRUE(WaitFor([&] { return names(top).size() == 4; }));
    EXPECT_EQ(names(top), QStringList({"b", "D", "f", "h"}));
    const QPersistentModelIndex h = model.child(top, "h");
    if (model.canFetchMore(h)) model.fetchMore(h);
    ASSERT_TRUE(WaitFor([&] { return names(h).size() == 1; }));
    EXPECT_EQ(names(h), QStringList({"inner"}));

    std::filesystem::remove(folder / "b");
    std::filesystem::remove(folder / "f");
    for (const char *name : {"a", "E", "g", "Z"}) folder.folder(name);
    ASSERT_TRUE(model.reload(top));
    ASSERT_TRUE(WaitFor([&] { return names(top).size() == 6; }));
    EXPECT_EQ(names(top), QStringList({"a", "D", "E", "g", "h", "Z"}));
    ASSERT_TRUE(h.isValid());
    EXPECT_EQ(names(h), QStringList({"inner"}));
    EXPECT_EQ(model.path(model.child(top, "E")), folder / "E");

    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.setShowIcons(false);
    EXPECT_EQ(layouts.count(), 0);
    ASSERT_GT(changes.count(), 0);
    for (const QList<QVariant> &change : changes)
        EXPECT_EQ(change.at(2).value<QList<int>>(), QList<int>({Qt::DecorationRole}));
    EXPECT_TRUE(model.index(0, 0, top).data(Qt::DecorationRole).isNull());

    // A folder gone from disk keeps what the tree showed of it.
    std::filesystem::remove_all(folder.path());
    reads.clear();
    ASSERT_TRUE(model.reload(top));
    ASSERT_TRUE(WaitFor([&] {
        return std::any_of(reads.begin(), reads.end(),
                           [&](const QList<QVariant> &read) { return read.at(0).toModelIndex() == top; });
    }));
    EXPECT_EQ(names(top).size(), 6);
}

TEST(FileBrowserFolders, SetDirOpensTheDeepestFolderThatExists)
{
    Folder folder;
    folder.folder("a/b");
    Browser browser;
    QSignalSpy changes(browser.widget.get(), &FileBrowser::directoryChanged);

    browser.open(folder / "a/gone/deeper");
    EXPECT_EQ(browser.widget->currentDirectory(), folder / "a");
    EXPECT_EQ(browser.tree->currentIndex().data().toString(), "a");
    EXPECT_EQ(browser.names(), QStringList({"b"}));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toString(), QString::fromStdString(folder / "a"));

    browser.open("b", 1);
    EXPECT_EQ(browser.widget->currentDirectory(), folder / "a/b");

    browser.open("/nonexistent-volume-xyz/data");
    EXPECT_EQ(browser.widget->currentDirectory(), "/");

    browser.open(folder / "a");
    EXPECT_EQ(browser.widget->recentFolders(),
              QStringList({QString::fromStdString(folder / "a"), "/", QString::fromStdString(folder / "a/b")}));

    browser.open("");
    EXPECT_EQ(browser.widget->currentDirectory(), "");
    EXPECT_EQ(browser.tree->currentIndex().data().toString(), "My Computer");
    EXPECT_EQ(Filebrowser_GetFileBrowserPtr(browser.widget.get()), browser.widget.get());
}

TEST(FileBrowserFolders, IsDirFromDiskTellsMissingFromFailed)
{
    Folder folder;
    const std::string file = folder.file("f.bin");
    int isDir = -1;
    EXPECT_EQ(Filebrowser_IsDirFromDisk(folder.path(), &isDir), 0);
    EXPECT_EQ(isDir, 1);
    EXPECT_EQ(Filebrowser_IsDirFromDisk(file, &isDir), 0);
    EXPECT_EQ(isDir, 0);
    EXPECT_EQ(Filebrowser_IsDirFromDisk(folder / "missing", &isDir), 0);
    EXPECT_EQ(Filebrowser_IsDirFromDisk(file + "/below", &isDir), 0);
    EXPECT_EQ(isDir, 0);
    EXPECT_EQ(Filebrowser_IsDirFromDisk(folder / std::string(5000, 'x'), &isDir), -ENAMETOOLONG);
}

TEST(FileBrowserFolders, DoubleClickOpensAFolderAndActivatesAFile)
{
    Folder folder;
    folder.folder("sub");
    folder.file("f.bin");
    Browser browser;
    browser.open(folder.path());
    QSignalSpy activated(browser.widget.get(), &FileBrowser::filesActivated);

    browser.doubleClick(browser.rowOf("f.bin"));
    EXPECT_EQ(activated.count(), 1);
    EXPECT_EQ(browser.widget->currentDirectory(), folder.path());

    browser.doubleClick(browser.rowOf("sub"));
    EXPECT_EQ(browser.widget->currentDirectory(), folder / "sub");
    EXPECT_EQ(activated.count(), 1);
}

TEST(FileBrowserFolders, FolderGoneBeforeItIsExpandedIsReported)
{
    Folder folder;
    folder.folder("gone/inner");
    folder.file("f.bin");
    Browser browser;
    browser.open(folder.path());
    ASSERT_EQ(browser.treeChildren(), QStringList({"gone"}));
    const QModelIndex gone = browser.tree->model()->index(0, 0, browser.tree->currentIndex());
    ASSERT_TRUE(browser.tree->model()->hasChildren(gone));

    std::filesystem::remove_all(folder / "gone");
    browser.tree->expand(gone);
    ASSERT_TRUE(WaitFor([&] { return !browser.reports.isEmpty(); }));
    EXPECT_EQ(browser.reports, QStringList({QString("Tree Expand Error: Returned error %1").arg(ENOENT)}));
    EXPECT_FALSE(browser.tree->isExpanded(gone));

    // The browser goes on working.
    browser.refresh();
    ASSERT_TRUE(WaitFor([&] { return browser.treeChildren().isEmpty(); }));
    EXPECT_EQ(browser.names(), QStringList({"f.bin"}));
    EXPECT_EQ(browser.reports.size(), 1);
}

TEST(FileBrowserLayout, FolderTreeWidthIsClampedOnResize)
{
    Browser browser;
    auto *splitter = browser.widget->findChild<QSplitter *>();
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(splitter->sizes().front(), 200);

    splitter->setSizes({850, 50});
    browser.widget->resize(800, 500);
    Settle();
    EXPECT_EQ(splitter->sizes().front(), 800 - 120);

    splitter->setSizes({50, 750});
    browser.widget->resize(820, 500);
    Settle();
    EXPECT_EQ(splitter->sizes().front(), 200);
}

TEST(FileBrowserLayout, AttributesItCannotTakeAreRefused)
{
    Browser browser;
    FileBrowser &widget = *browser.widget;
    EXPECT_EQ(FileBrowser_SetAttribute(widget, BrowserAttribute::ShowTimeColumn, 1), -1);
    EXPECT_EQ(FileBrowser_SetAttribute(widget, BrowserAttribute::ShowTimeColumn, 0), 0);

    ASSERT_GT(browser.entries()->rowCount(), 0);
    EXPECT_FALSE(browser.entries()->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(FileBrowser_SetAttribute(widget, BrowserAttribute::ShowIcons, 0), 0);
    EXPECT_TRUE(browser.entries()->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(browser.tree->currentIndex().data(Qt::DecorationRole).isNull());
}

// Reading a folder: the list says so, and an answer that comes after the user moved on is
// dropped, however late it comes.
TEST(FileBrowserStalls, TheLatestFolderWinsOverAStalledOne)
{
    ReleaseStalledFolders release;
    Folder folder;
    folder.folder("slow");
    folder.folder("quick");
    folder.folder("later");
    folder.file("slow/slow.bin");
    folder.file("quick/quick.bin");
    Browser browser;
    browser.open(folder.path());
    StalledFolders::stall(folder / "slow");
    auto *hint = browser.list->findChild<QLabel *>("BROWSER_READING");
    ASSERT_NE(hint, nullptr);

    const QPersistentModelIndex base = browser.tree->currentIndex();
    auto choose = [&browser, &base](const char *name) {
        for (int row = 0; row < browser.tree->model()->rowCount(base); ++row) {
            const QModelIndex item = browser.tree->model()->index(row, 0, base);
            if (item.data().toString() == name) browser.tree->setCurrentIndex(item);
        }
    };
    QElapsedTimer sinceSlow;
    sinceSlow.start();
    choose("slow");
    ASSERT_TRUE(WaitFor([] { return StalledFolders::waiting() == 1; }));
    EXPECT_TRUE(browser.widget->isReading());
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(browser.entries()->rowCount(), 0);

    // Two choices while the read hangs: only the last one is read, once the hanging read is
    // found slow (on a machine so busy that it was already, each is read at once).
    const bool waited = sinceSlow.elapsed() < FileListModel::kSlowReadMs;
    choose("later");
    choose("quick");
    browser.settle();
    EXPECT_EQ(browser.widget->currentDirectory(), folder / "quick");
    EXPECT_EQ(browser.names(), QStringList({"quick.bin"}));
    EXPECT_FALSE(hint->isVisible());
    if (waited) {
        EXPECT_EQ(StalledFolders::reads(folder / "later"), 0);
    }

    StalledFolders::releaseAll();
    ASSERT_TRUE(WaitFor([] { return StalledFolders::waiting() == 0; }));
    QTest::qWait(200);  // time for the stale answer to arrive
    EXPECT_EQ(browser.names(), QStringList({"quick.bin"}));
    EXPECT_FALSE(browser.widget->isReading());
}

// A folder to open by path that never answers: the user goes elsewhere meanwhile, and the
// browser closes without waiting for the read.
TEST(FileBrowserStalls, AFolderThatNeverAnswersHoldsNothingUp)
{
    ReleaseStalledFolders release;
    Folder folder;
    folder.folder("dead/inner");
    folder.folder("alive");
    folder.file("alive/a.bin");
    StalledFolders::stall(folder / "dead");
    auto browser = std::make_unique<Browser>();
    Filebrowser_SetDir(*browser->widget, folder / "dead/inner", 0);
    ASSERT_TRUE(WaitFor([] { return StalledFolders::waiting() == 1; }));
    EXPECT_TRUE(browser->widget->isReading());

    browser->open(folder / "alive");
    EXPECT_EQ(browser->widget->currentDirectory(), folder / "alive");
    EXPECT_EQ(browser->names(), QStringList({"a.bin"}));

    Filebrowser_SetDir(*browser->widget, folder / "dead", 0);
    ASSERT_TRUE(WaitFor([] { return StalledFolders::waiting() >= 2; }));  // its list, maybe its sub-folders too
    QElapsedTimer closing;
    closing.start();
    browser.reset();
    EXPECT_LT(closing.elapsed(), 1000);

    // The reads answer after the browser is gone: nothing is delivered to it.
    StalledFolders::releaseAll();
    ASSERT_TRUE(WaitFor([] { return StalledFolders::waiting() == 0; }));
    QTest::qWait(50);
}

}  // namespace

// The tests run on the offscreen platform unless the caller chose another.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
