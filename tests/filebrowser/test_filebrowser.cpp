// The file browser of the "Files" page on the offscreen platform: the list's order, sizes and
// selection, refresh, opening folders by path and by double click, a folder that vanished before
// it was expanded, and names that are not plain UTF-8 text. Each test builds its folders under
// the system's temporary directory.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
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
#include "filebrowser/foldertreemodel.h"

namespace {

inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

void Settle()
{
    for (int round = 0; round < 3; ++round) QCoreApplication::processEvents();
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
        Settle();
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
        Settle();
    }
};

TEST(FileBrowserList, SelectedFilesComeInListOrderWithoutFolders)
{
    Folder folder;
    folder.folder("sub");
    for (const char *name : {"D.bin", "a2.bin", "c.bin", "B.bin"}) folder.file(name);
    Browser browser;
    Filebrowser_SetDir(*browser.widget, folder.path(), 0);
    ASSERT_EQ(browser.names(), QStringList({"sub", "a2.bin", "B.bin", "c.bin", "D.bin"}));

    browser.select({4, 1, 3});
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget),
              std::vector<std::string>({folder / "a2.bin", folder / "c.bin", folder / "D.bin"}));
    browser.select({0, 2, 3});
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget), std::vector<std::string>({folder / "B.bin", folder / "c.bin"}));
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
    Filebrowser_SetDir(*browser.widget, folder.path(), 0);
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
    Filebrowser_SetDir(*browser.widget, folder.path(), 0);
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

TEST(FileBrowserList, RefreshShowsNewEntriesAndKeepsFolderAndSelection)
{
    Folder folder;
    folder.file("b.bin");
    folder.file("c.bin");
    folder.folder("sub");
    Browser browser;
    Filebrowser_SetDir(*browser.widget, folder.path(), 0);
    browser.select({browser.rowOf("c.bin")});
    QSignalSpy changes(browser.widget.get(), &FileBrowser::directoryChanged);

    folder.file("a.bin");
    folder.folder("new");
    ::unlink((folder / "b.bin").c_str());
    EXPECT_EQ(FileBrowser_Refresh(*browser.widget), 0);
    EXPECT_EQ(browser.names(), QStringList({"new", "sub", "a.bin", "c.bin"}));
    EXPECT_EQ(browser.widget->currentDirectory(), folder.path());
    EXPECT_EQ(FileBrowser_GetSelectedFiles(*browser.widget), std::vector<std::string>({folder / "c.bin"}));
    EXPECT_EQ(browser.treeChildren(), QStringList({"new", "sub"}));
    EXPECT_EQ(changes.count(), 0);
}

// Reading a folder again inserts and removes single items among those that stay, keeping the
// items below those open; the model is checked against the item model rules throughout.
TEST(FileBrowserFolders, TreeReloadKeepsTheFoldersThatStay)
{
    Folder folder;
    for (const char *name : {"b", "D", "f", "h/inner"}) folder.folder(name);
    folder.file("not-a-folder");
    FolderTreeModel model("My Computer");
    model.setTopFolders({{folder.path(), QString::fromStdString(folder.path()), TopFolder::Kind::Volume}});
    QAbstractItemModelTester rules(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QModelIndex top = model.child(model.rootIndex(), folder.path());
    ASSERT_TRUE(top.isValid());
    auto names = [&model](const QModelIndex &parent) {
        QStringList shown;
        for (int row = 0; row < model.rowCount(parent); ++row) shown << model.index(row, 0, parent).data().toString();
        return shown;
    };
    EXPECT_EQ(model.load(top), 0);
    EXPECT_EQ(names(top), QStringList({"b", "D", "f", "h"}));
    const QPersistentModelIndex h = model.child(top, "h");
    EXPECT_EQ(model.load(h), 0);

    std::filesystem::remove(folder / "b");
    std::filesystem::remove(folder / "f");
    for (const char *name : {"a", "E", "g", "Z"}) folder.folder(name);
    EXPECT_EQ(model.reload(top), 0);
    EXPECT_EQ(names(top), QStringList({"a", "D", "E", "g", "h", "Z"}));
    ASSERT_TRUE(h.isValid());
    EXPECT_EQ(names(h), QStringList({"inner"}));
    EXPECT_EQ(model.path(model.child(top, "E")), folder / "E");

    std::filesystem::remove_all(folder.path());
    EXPECT_EQ(model.reload(top), ENOENT);
    EXPECT_EQ(names(top).size(), 6);
}

TEST(FileBrowserFolders, SetDirOpensTheDeepestFolderThatExists)
{
    Folder folder;
    folder.folder("a/b");
    Browser browser;
    QSignalSpy changes(browser.widget.get(), &FileBrowser::directoryChanged);

    Filebrowser_SetDir(*browser.widget, folder / "a/gone/deeper", 0);
    EXPECT_EQ(browser.widget->currentDirectory(), folder / "a");
    EXPECT_EQ(browser.tree->currentIndex().data().toString(), "a");
    EXPECT_EQ(browser.names(), QStringList({"b"}));
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toString(), QString::fromStdString(folder / "a"));

    Filebrowser_SetDir(*browser.widget, "b", 1);
    EXPECT_EQ(browser.widget->currentDirectory(), folder / "a/b");

    Filebrowser_SetDir(*browser.widget, "/nonexistent-volume-xyz/data", 0);
    EXPECT_EQ(browser.widget->currentDirectory(), "/");

    Filebrowser_SetDir(*browser.widget, folder / "a", 0);
    EXPECT_EQ(browser.widget->recentFolders(),
              QStringList({QString::fromStdString(folder / "a"), "/", QString::fromStdString(folder / "a/b")}));

    // Empty: "My Computer", whose list holds the top folders, the root first among them.
    Filebrowser_SetDir(*browser.widget, "", 0);
    EXPECT_EQ(browser.widget->currentDirectory(), "");
    EXPECT_EQ(browser.tree->currentIndex().data().toString(), "My Computer");
    EXPECT_TRUE(browser.names().contains("/"));
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
    Filebrowser_SetDir(*browser.widget, folder.path(), 0);
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
    Filebrowser_SetDir(*browser.widget, folder.path(), 0);
    ASSERT_EQ(browser.treeChildren(), QStringList({"gone"}));
    const QModelIndex gone = browser.tree->model()->index(0, 0, browser.tree->currentIndex());
    ASSERT_TRUE(browser.tree->model()->hasChildren(gone));

    std::filesystem::remove_all(folder / "gone");
    browser.tree->expand(gone);
    Settle();
    EXPECT_EQ(browser.reports, QStringList({QString("Tree Expand Error: Returned error %1").arg(ENOENT)}));
    EXPECT_FALSE(browser.tree->isExpanded(gone));

    // The browser goes on working.
    EXPECT_EQ(FileBrowser_Refresh(*browser.widget), 0);
    EXPECT_EQ(browser.names(), QStringList({"f.bin"}));
    EXPECT_EQ(browser.treeChildren(), QStringList());
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
    EXPECT_EQ(browser.entries()->columnCount(), 2);

    ASSERT_GT(browser.entries()->rowCount(), 0);
    EXPECT_FALSE(browser.entries()->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(FileBrowser_SetAttribute(widget, BrowserAttribute::ShowIcons, 0), 0);
    EXPECT_TRUE(browser.entries()->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(browser.tree->currentIndex().data(Qt::DecorationRole).isNull());

    // Hiding removable and optical volumes keeps the root and the home folder.
    EXPECT_EQ(FileBrowser_SetAttribute(widget, BrowserAttribute::ShowRemovableDrives, 0), 0);
    EXPECT_EQ(FileBrowser_SetAttribute(widget, BrowserAttribute::ShowCdRomDrives, 0), 0);
    EXPECT_TRUE(browser.names().contains("/"));
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
