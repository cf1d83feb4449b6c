// The main window driven as a user drives it: by objectName, with clicks and typing.

#include <QAbstractItemView>
#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QMenu>
#include <QTreeView>
#include <algorithm>
#include <filesystem>

#include "app/layoutflows.h"
#include "conversion/jobs.h"
#include "gui/configtreemodel.h"
#include "gui/jobsmodel.h"
#include "gui/splash.h"
#include "guitest.h"
#include "layoutfixtures.h"

using testsupport::TempDir;

namespace {

const std::string kExamples = QUELVOR_SOURCE_DIR "/examples";

void CopyExampleConfiguration(const std::string &dir)
{
    std::filesystem::copy_file(kExamples + "/tone16.pnx", dir + "/tone16.pnx");
}

// Opens the editor of an item's Value cell, types `text` (or picks it from the list) and
// commits it, as a user does.
void EditTreeCell(QTreeView *tree, int item, const QString &text)
{
    auto *model = static_cast<ConfigurationTreeModel *>(tree->model());
    const QModelIndex index = model->indexOf(item, 1);
    tree->scrollTo(index);
    tree->setCurrentIndex(index);
    tree->edit(index);
    QWidget *editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    if (auto *combo = qobject_cast<QComboBox *>(editor)) {
        const int entry = combo->findText(text);
        ASSERT_GE(entry, 0) << text.toStdString();
        combo->setCurrentIndex(entry);
        emit combo->activated(entry);
    } else {
        auto *line = qobject_cast<QLineEdit *>(editor);
        ASSERT_NE(line, nullptr);
        line->selectAll();
        // QTest types ASCII only; other characters arrive as an input method would commit them.
        if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; }))
            QTest::keyClicks(line, text);
        else
            line->insert(text);
        QTest::keyClick(line, Qt::Key_Return);
    }
    WindowFixture::settle();
}

// The newest row of the status log.
QString StatusText(WindowFixture &fixture)
{
    QAbstractItemModel *model = fixture.find<QTableView>("TABLE_STATUS")->model();
    return model->index(model->rowCount() - 1, 2).data().toString();
}

void ClickJobCell(WindowFixture &fixture, int item)
{
    auto *tree = fixture.find<QTreeView>("TREE");
    auto *model = static_cast<JobsModel *>(tree->model());
    const QModelIndex index = model->indexOf(item, 1);
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
    WindowFixture::settle();
}

// Drops local files on the jobs tree as a file manager does.
void DropOnJobs(WindowFixture &fixture, const std::vector<std::string> &paths)
{
    QWidget *viewport = fixture.find<QTreeView>("TREE")->viewport();
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string &path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    WindowFixture::settle();
}

std::string JobStatus(const Session &session, int job) { return session.jobs.items[job * kItemsPerJob + kJobStatus].label; }

bool Idle(Session &session) { return Gui_GetConversionRunning(session.run) == kRunIdle; }

const QString kSaveQuestion = "Do you want to save the changed configuration?";
const QString kNamePrompt = "Save the configuration under the name:";

// Picks the ring's entry as the user does.
void SelectInRing(WindowFixture &fixture, const QString &entry)
{
    auto *ring = fixture.find<QComboBox>("RING_CONFIGURATION");
    const int index = ring->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString();
    ring->setCurrentIndex(index);
    emit ring->activated(index);
    fixture.settle();
}

}  // namespace

TEST(MainWindow, TreeEditsShowFaultMarksAndBranchCounts)
{
    WindowFixture fixture;
    auto *tree = fixture.find<QTreeView>("TREE_CONFIGURATION");
    auto *model = static_cast<ConfigurationTreeModel *>(tree->model());
    const TreeItem &taps = fixture.session.tree.items[kItemTaps];
    EXPECT_FALSE(model->flags(model->indexOf(kItemTaps, 1)) & Qt::ItemIsEditable);  // no filter yet

    EditTreeCell(tree, kItemFilterType, "Blackman Window");
    EXPECT_EQ(fixture.session.tree.items[kItemFilterType].value, "Blackman Window");
    // The filter starts from the values it uses for missing ones, and the cells show them.
    EXPECT_EQ(model->indexOf(kItemCutoff, 1).data().toString(), "0.25");
    EXPECT_EQ(model->indexOf(kItemTaps, 1).data().toString(), "256");
    EXPECT_EQ(model->indexOf(kItemSignalProcessing, 1).data().toString(), "");
    EditTreeCell(tree, kItemTaps, "5");
    EXPECT_EQ(taps.value, "5");
    EXPECT_EQ(taps.faultImage, 0);
    EXPECT_EQ(model->indexOf(kItemTaps, 0).data(Qt::ToolTipRole).toString(),
              "Integer value between 10 and 1024 expected");
    EXPECT_FALSE(model->indexOf(kItemTaps, 0).data(Qt::DecorationRole).isNull());
    EditTreeCell(tree, kItemCutoff, "0,3");
    EXPECT_EQ(model->indexOf(kItemCutoff, 0).data(Qt::ToolTipRole).toString(),
              "Numerical value expected (use a point as decimal separator)");
    EXPECT_EQ(model->indexOf(kItemCutoff, 1).data().toString(), "0,3");  // the text stays as typed
    EXPECT_EQ(model->indexOf(kItemSignalProcessing, 1).data().toString(), "2 faults");  // taps and cut-off

    EditTreeCell(tree, kItemTaps, "100");
    EditTreeCell(tree, kItemCutoff, "0.2");
    EXPECT_EQ(taps.faultImage, -1);
    EXPECT_TRUE(model->indexOf(kItemSignalProcessing, 0).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(model->indexOf(kItemSignalProcessing, 1).data().toString(), "");
}

TEST(MainWindow, SavedConfigurationAndWindowComeBackAtTheNextStart)
{
    TempDir keep;
    std::string dir;
    {
        WindowFixture fixture;
        dir = fixture.configDir.path().string();
        auto *name = fixture.find<QLineEdit>("STRING_CONFIGURATION");
        name->selectAll();
        QTest::keyClicks(name, "Bench 1");
        EditTreeCell(fixture.find<QTreeView>("TREE_CONFIGURATION"), kItemFilterType, "Hanning Window");
        EXPECT_EQ(fixture.find<QLabel>("TEXT_CONFIGURATION")->text(), "Configuration - unsaved");
        QTest::keySequence(fixture.window.get(), QKeySequence::Save);
        fixture.settle();
        EXPECT_TRUE(std::filesystem::exists(dir + "/Bench 1.pnx"));
        EXPECT_FALSE(fixture.find<QPushButton>("BUTTON_SAVE")->isEnabled());
        EXPECT_EQ(fixture.find<QLabel>("TEXT_CONFIGURATION")->text(), "Configuration");
        EXPECT_EQ(fixture.find<QComboBox>("RING_CONFIGURATION")->currentText(), "Bench 1");
        auto *tree = fixture.find<QTreeView>("TREE_CONFIGURATION");
        tree->collapse(static_cast<ConfigurationTreeModel *>(tree->model())->indexOf(kItemMetadata));
        fixture.window->resize(1100, 760);
        fixture.settle();
        EXPECT_TRUE(fixture.window->close());
        std::filesystem::copy(dir, keep.path(), std::filesystem::copy_options::recursive);
    }
    WindowFixture again([&](const std::string &newDir) {
        std::filesystem::copy(keep.path(), newDir, std::filesystem::copy_options::recursive);
    });
    EXPECT_EQ(again.find<QComboBox>("RING_CONFIGURATION")->currentText(), "Bench 1");
    EXPECT_EQ(again.find<QLineEdit>("STRING_CONFIGURATION")->text(), "Bench 1");
    EXPECT_EQ(again.session.tree.items[kItemFilterType].value, "Hanning Window");
    EXPECT_TRUE(again.find<QPushButton>("BUTTON_DELETE")->isEnabled());
    EXPECT_TRUE(again.session.views.restoreWindow);
    EXPECT_EQ(again.session.views.window.width, 1100);
    EXPECT_EQ(again.session.views.window.height, 760);
    auto *tree = again.find<QTreeView>("TREE_CONFIGURATION");
    EXPECT_FALSE(tree->isExpanded(static_cast<ConfigurationTreeModel *>(tree->model())->indexOf(kItemMetadata)));
    EXPECT_TRUE(tree->isExpanded(static_cast<ConfigurationTreeModel *>(tree->model())->indexOf(kItemIQ)));

    again.dialogs.confirmations = {Answer::No, Answer::Yes};
    again.click("BUTTON_DELETE");  // No: kept
    EXPECT_TRUE(std::filesystem::exists(again.configDir.file("Bench 1.pnx")));
    again.click("BUTTON_DELETE");
    EXPECT_EQ(again.dialogs.asked.last(), "Do you really want to delete the current configuration?");
    EXPECT_FALSE(std::filesystem::exists(again.configDir.file("Bench 1.pnx")));
    EXPECT_EQ(StatusText(again), "Delete configuration: Done");
}

TEST(MainWindow, CloseAsksAboutUnsavedChangesAndStaysWhenTheSaveFails)
{
    {  // An unedited "New" closes without a question
        WindowFixture fixture;
        EXPECT_TRUE(fixture.window->close());
        EXPECT_TRUE(fixture.dialogs.asked.isEmpty());
    }
    {  // No: closes, the stored configuration keeps its content
        WindowFixture fixture(CopyExampleConfiguration);
        const std::string stored = testsupport::ReadFile(fixture.configDir.file("tone16.pnx"));
        EditTreeCell(fixture.find<QTreeView>("TREE_CONFIGURATION"), kItemMirror, "Yes");
        fixture.dialogs.confirmations = {Answer::No};
        EXPECT_TRUE(fixture.window->close());
        EXPECT_EQ(fixture.dialogs.asked, QStringList{kSaveQuestion});
        EXPECT_EQ(testsupport::ReadFile(fixture.configDir.file("tone16.pnx")), stored);
    }
    {  // Yes, but the directory is gone and a file stands in its place: the window stays
        WindowFixture fixture(CopyExampleConfiguration);
        EditTreeCell(fixture.find<QTreeView>("TREE_CONFIGURATION"), kItemMirror, "Yes");
        const std::string dir = fixture.configDir.path().string();
        std::filesystem::remove_all(dir);
        testsupport::WriteFile(dir, "not a directory");
        fixture.dialogs.confirmations = {Answer::Yes};
        EXPECT_FALSE(fixture.window->close());
        fixture.settle();
        EXPECT_TRUE(fixture.window->isVisible());
        EXPECT_TRUE(StatusText(fixture).contains("Could not create file.")) << StatusText(fixture).toStdString();
        std::filesystem::remove(dir);
        std::filesystem::create_directory(dir);
    }
}

TEST(MainWindow, ClosingAnEditedNewOffersToSaveItUnderAName)
{
    WindowFixture fixture;
    EditTreeCell(fixture.find<QTreeView>("TREE_CONFIGURATION"), kItemMirror, "Yes");
    fixture.dialogs.confirmations = {Answer::Cancel, Answer::Yes, Answer::Yes, Answer::Yes};
    fixture.dialogs.texts = {std::nullopt, QString("bad/name"), QString("Bench 3")};
    EXPECT_FALSE(fixture.window->close());  // Cancel
    EXPECT_FALSE(fixture.window->close());  // the name dialog cancelled
    EXPECT_FALSE(fixture.window->close());  // a name that cannot be saved
    fixture.settle();
    EXPECT_TRUE(fixture.window->isVisible());
    EXPECT_EQ(StatusText(fixture), "Save configuration: Invalid name: a name cannot hold the character '/'");
    EXPECT_TRUE(std::filesystem::is_empty(fixture.configDir.path()));

    fixture.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fixture.window.get()));
    QTest::keyClick(fixture.window.get(), Qt::Key_Q, Qt::ControlModifier);  // closes as the button does
    fixture.settle();
    EXPECT_FALSE(fixture.window->isVisible());
    EXPECT_EQ(fixture.dialogs.asked, (QStringList{kSaveQuestion, kSaveQuestion, kNamePrompt, kSaveQuestion, kNamePrompt,
                                                  kSaveQuestion, kNamePrompt}));
    // Saved with the edit, and remembered for the next start.
    Session restarted;
    App_StartSession(restarted, fixture.configDir.path().string());
    EXPECT_EQ(restarted.configurations.nameText, "Bench 3");
    EXPECT_STREQ(restarted.record.mirror, "Yes");
}

TEST(MainWindow, TheRingShowsTheConfigurationInHandAfterSaveAndCancel)
{
    WindowFixture fixture(CopyExampleConfiguration);
    auto *ring = fixture.find<QComboBox>("RING_CONFIGURATION");
    auto *name = fixture.find<QLineEdit>("STRING_CONFIGURATION");
    name->selectAll();
    QTest::keyClicks(name, "Bench 2");
    fixture.settle();
    fixture.click("BUTTON_SAVE");
    EXPECT_EQ(ring->count(), 2);
    EXPECT_EQ(ring->currentText(), "Bench 2");

    // Cancel on switching: nothing is loaded, the edit stays unsaved, the ring goes back.
    EditTreeCell(fixture.find<QTreeView>("TREE_CONFIGURATION"), kItemMirror, "Yes");
    fixture.dialogs.confirmations = {Answer::Cancel};
    SelectInRing(fixture, "tone16");
    EXPECT_EQ(fixture.dialogs.asked, QStringList{kSaveQuestion});
    EXPECT_EQ(ring->currentText(), "Bench 2");
    EXPECT_EQ(name->text(), "Bench 2");
    EXPECT_EQ(fixture.session.tree.items[kItemMirror].value, "Yes");
    EXPECT_EQ(fixture.session.configurations.unsaved, 1);

    // Delete acts on the configuration the ring shows.
    fixture.click("BUTTON_SAVE");
    fixture.dialogs.confirmations = {Answer::Yes};
    fixture.click("BUTTON_DELETE");
    EXPECT_FALSE(std::filesystem::exists(fixture.configDir.file("Bench 2.pnx")));
    EXPECT_TRUE(std::filesystem::exists(fixture.configDir.file("tone16.pnx")));
    EXPECT_EQ(ring->currentText(), "tone16");
    EXPECT_EQ(name->text(), "tone16");
}

TEST(MainWindow, FilesBecomeJobsWhoseCellsOpenDialogsAndRemoveThem)
{
    TempDir data;
    testsupport::WriteFile(data.file("big.bin"), std::string(2000, '\1'));
    testsupport::WriteFile(data.file("small.bin"), std::string(500, '\1'));
    WindowFixture fixture;
    auto *hint = fixture.find<QLabel>("TEXT_ADD_FILES_HERE");
    EXPECT_TRUE(hint->isVisible());
    fixture.click("BUTTON_CONVERT");
    EXPECT_EQ(StatusText(fixture), "No conversion jobs defined");

    const QString big = QString::fromStdString(data.file("big.bin"));
    fixture.window->addFiles({QString::fromStdString(data.file("small.bin")), big, big});
    fixture.settle();
    EXPECT_EQ(StatusText(fixture), "File size <1kB: small.bin");
    auto *tree = fixture.find<QTreeView>("TREE");
    EXPECT_EQ(tree->model()->rowCount(), 2);
    EXPECT_FALSE(hint->isVisible());
    EXPECT_EQ(Gui_JobOutput(fixture.session.jobs, 0), data.file("big.bin") + ".wv");

    const QString chosen = QString::fromStdString(data.file("elsewhere.wv"));
    fixture.dialogs.files = {chosen};
    ClickJobCell(fixture, kJobOutput);
    EXPECT_EQ(fixture.dialogs.asked.last(), "Please define the output file");
    EXPECT_EQ(Gui_JobOutput(fixture.session.jobs, 0), chosen.toStdString());
    fixture.dialogs.files = {QString()};  // cancelled: nothing changes
    ClickJobCell(fixture, kJobInput);
    EXPECT_EQ(Gui_JobInput(fixture.session.jobs, 0), data.file("big.bin"));

    // A cell of job 2 held by a view (the current cell, an expanded row) follows its job up.
    const QPersistentModelIndex held = static_cast<JobsModel *>(tree->model())->indexOf(kItemsPerJob + kJobOutput, 1);
    ClickJobCell(fixture, kJobItem);  // the Remove cell of job 1
    EXPECT_EQ(tree->model()->rowCount(), 1);
    EXPECT_EQ(held.parent(), tree->model()->index(0, 0));
    EXPECT_EQ(held.data().toString(), QString::fromStdString(Gui_JobOutput(fixture.session.jobs, 0)));
    EXPECT_EQ(tree->model()->index(0, 0).data().toString(), "Job 1");
    EXPECT_EQ(Gui_JobOutput(fixture.session.jobs, 0), data.file("big.bin") + ".wv");

    // "User defined" asks for the directory; a cancelled choice goes back to "Same as input".
    auto *source = fixture.find<QComboBox>("RING_OUTPUT_SOURCE");
    auto *directory = fixture.find<QLineEdit>("STRING_OUTPUTDIR");
    fixture.dialogs.directories = {QString::fromStdString(data.path().string()), QString()};
    for (const char *expected : {"User defined", "Same as input"}) {
        source->setCurrentIndex(1);
        emit source->activated(1);
        fixture.settle();
        EXPECT_EQ(fixture.dialogs.asked.last(), "Select output directory");
        EXPECT_EQ(source->currentText(), expected);
        EXPECT_EQ(directory->isVisible(), std::string(expected) == "User defined");
    }

    // From the keyboard: F2 or Return on a path opens its dialog; on the job row nothing opens.
    auto *jobs = static_cast<JobsModel *>(tree->model());
    fixture.dialogs.asked.clear();
    fixture.dialogs.files = {QString(), QString()};
    tree->setCurrentIndex(jobs->indexOf(kJobOutput));
    QTest::keyClick(tree, Qt::Key_F2);
    tree->setCurrentIndex(jobs->indexOf(kJobInput, 0));
    QTest::keyClick(tree, Qt::Key_Return);
    tree->setCurrentIndex(jobs->indexOf(kJobItem));
    QTest::keyClick(tree, Qt::Key_Return);
    fixture.settle();
    EXPECT_EQ(fixture.dialogs.asked, QStringList({"Please define the output file", "Please define the input file"}));
    EXPECT_EQ(tree->model()->rowCount(), 1);

    tree->setCurrentIndex(jobs->indexOf(kJobOutput));
    QTest::keyClick(tree, Qt::Key_Delete);
    fixture.settle();
    EXPECT_EQ(tree->model()->rowCount(), 0);
    EXPECT_TRUE(hint->isVisible());

    // A dropped folder stands for its files, by name; the small one is refused as ever.
    std::filesystem::create_directory(data.file("folder"));
    testsupport::WriteFile(data.file("folder/b.bin"), std::string(2000, '\2'));
    testsupport::WriteFile(data.file("folder/A.bin"), std::string(2000, '\2'));
    DropOnJobs(fixture, {data.file("folder"), data.file("big.bin")});  // the folder is read in the background
    ASSERT_TRUE(fixture.waitFor([&] { return Gui_JobCount(fixture.session.jobs) == 3; }, 10));
    EXPECT_EQ(Gui_JobInput(fixture.session.jobs, 0), data.file("folder/A.bin"));
    EXPECT_EQ(Gui_JobInput(fixture.session.jobs, 2), data.file("big.bin"));
}

TEST(MainWindow, ConvertsJobsAndUnlocksTheControlsAfterwards)
{
    TempDir data;
    for (const char *name : {"a.bin", "b.bin"}) std::filesystem::copy_file(kExamples + "/tone16.bin", data.file(name));
    WindowFixture fixture(CopyExampleConfiguration);
    fixture.window->addFiles({QString::fromStdString(data.file("a.bin")), QString::fromStdString(data.file("b.bin"))});
    fixture.settle();

    fixture.click("BUTTON_CONVERT");
    auto *convert = fixture.find<QPushButton>("BUTTON_CONVERT");
    ASSERT_TRUE(fixture.waitFor([&] { return Idle(fixture.session); }));
    EXPECT_EQ(JobStatus(fixture.session, 0), "Status: Done");
    EXPECT_EQ(JobStatus(fixture.session, 1), "Status: Done");
    EXPECT_TRUE(std::filesystem::exists(data.file("b.bin.wv")));
    EXPECT_EQ(convert->text(), "Start conversion jobs");
    EXPECT_TRUE(fixture.find<QTabWidget>("TAB")->tabBar()->isEnabled());
    EXPECT_TRUE(fixture.find<QPushButton>("BUTTON_ADD_IQ")->isEnabled());

    // The results in the status log, and in full in the tree's tool tips whatever its width.
    auto *jobs = static_cast<JobsModel *>(fixture.find<QTreeView>("TREE")->model());
    const auto cell = [&](int offset, int column) { return jobs->indexOf(kItemsPerJob + offset, column); };
    QAbstractItemModel *log = fixture.find<QTableView>("TABLE_STATUS")->model();
    EXPECT_EQ(log->index(log->rowCount() - 2, 2).data().toString(),
              "Job 2: Done, b.bin.wv, " + cell(kJobConvertedSamples, 1).data().toString() + " samples, run time " +
                  cell(kJobRunTime, 1).data().toString());
    EXPECT_EQ(StatusText(fixture), "2 jobs: 2 done, 0 failed");
    EXPECT_EQ(cell(kJobStatus, 0).data(Qt::ToolTipRole).toString(), "Status: Done");
    EXPECT_EQ(cell(kJobStatus, 1).data(Qt::ToolTipRole).toString(), "Status: Done");
    EXPECT_EQ(cell(kJobMaxScaleFactor, 0).data(Qt::ToolTipRole), cell(kJobMaxScaleFactor, 0).data());
    EXPECT_EQ(cell(kJobMaxScaleFactor, 1).data(Qt::ToolTipRole), cell(kJobMaxScaleFactor, 1).data());
}

// A file that is gone and an output that cannot be made: the status log says what and why.
TEST(MainWindow, FilesThatCannotBeReadOrWrittenSayWhy)
{
    TempDir data;
    std::filesystem::copy_file(kExamples + "/tone16.bin", data.file("a.bin"));
    testsupport::WriteFile(data.file("plain"), "a file where a folder is expected");
    WindowFixture fixture(CopyExampleConfiguration);
    fixture.window->addFiles(
        {QString::fromStdString(data.file("vanish.s16")), QString::fromStdString(data.file("a.bin"))});
    fixture.settle();
    QAbstractItemModel *log = fixture.find<QTableView>("TABLE_STATUS")->model();
    EXPECT_EQ(log->index(log->rowCount() - 1, 2).data().toString(),
              "Cannot open vanish.s16: No such file or directory");
    ASSERT_EQ(Gui_JobCount(fixture.session.jobs), 1);

    const std::string output = data.file("plain") + "/a.bin.wv";
    fixture.dialogs.files = {QString::fromStdString(output)};
    ClickJobCell(fixture, kJobOutput);
    fixture.click("BUTTON_CONVERT");
    ASSERT_TRUE(fixture.waitFor([&] { return Idle(fixture.session); }));
    EXPECT_EQ(JobStatus(fixture.session, 0), "Status: Output error");
    QStringList lines;
    for (int row = 0; row < log->rowCount(); ++row) lines << log->index(row, 2).data().toString();
    EXPECT_TRUE(lines.contains(QString::fromStdString("Job 1: cannot create " + output + ": Not a directory")))
        << lines.join("\n").toStdString();
    EXPECT_EQ(StatusText(fixture), "1 job: 0 done, 1 failed");
}

TEST(MainWindow, RunLocksTheControlsSecondPressAbortsCloseKeepsTheStatuses)
{
    TempDir data;
    testsupport::MakeSparseFile(data.file("long.bin"), int64_t{1} << 30);
    WindowFixture fixture;
    testsupport::Edit(fixture.session, "headerSource", "User");
    testsupport::Edit(fixture.session, "headerValue", "0");
    testsupport::Edit(fixture.session, "trailerSource", "User");
    testsupport::Edit(fixture.session, "trailerValue", "0");
    testsupport::Edit(fixture.session, "commentSource", "User");
    testsupport::Edit(fixture.session, "commentBegin", "long");
    testsupport::Edit(fixture.session, "samplerateSource", "User");
    testsupport::Edit(fixture.session, "samplerateValue", "1.0");
    fixture.window->addFiles({QString::fromStdString(data.file("long.bin"))});
    fixture.settle();

    auto *convert = fixture.find<QPushButton>("BUTTON_CONVERT");
    fixture.find<QTabWidget>("TAB")->setCurrentIndex(2);
    QTest::mouseClick(convert, Qt::LeftButton);
    fixture.settle();  // a gigabyte takes far longer than drawing the locks
    auto *tree = fixture.find<QTreeView>("TREE_CONFIGURATION");
    EXPECT_EQ(fixture.find<QTabWidget>("TAB")->currentIndex(), 0);
    EXPECT_FALSE(fixture.find<QTabWidget>("TAB")->tabBar()->isEnabled());
    EXPECT_FALSE(fixture.find<QPushButton>("BUTTON_ADD_IQ")->isEnabled());
    EXPECT_FALSE(fixture.find<QComboBox>("RING_CONFIGURATION")->isEnabled());
    EXPECT_FALSE(tree->model()->flags(static_cast<ConfigurationTreeModel *>(tree->model())->indexOf(kItemMirror, 1)) &
                 Qt::ItemIsEditable);
    EXPECT_TRUE(convert->isEnabled());
    EXPECT_TRUE(fixture.find<QPushButton>("BUTTON_ABOUT")->isEnabled());
    DropOnJobs(fixture, {data.file("long.bin")});  // the list is locked meanwhile
    EXPECT_EQ(StatusText(fixture), "Files cannot be added while the conversion runs");
    EXPECT_EQ(Gui_JobCount(fixture.session.jobs), 1);
    QTest::mouseClick(convert, Qt::LeftButton);
    // The worker stops after its current block: the button may be back before it is drawn,
    // so the state it shows is read from the session.
    const ConvertButtonView &button = fixture.session.views.convert;
    EXPECT_EQ(button.label, "Aborting conversion jobs...");
    EXPECT_FALSE(button.operable);
    EXPECT_EQ(button.color, (Rgb{255, 255, 200}));
    ASSERT_TRUE(fixture.waitFor([&] { return Idle(fixture.session); }));
    EXPECT_EQ(JobStatus(fixture.session, 0), "Status: Aborted");
    EXPECT_FALSE(std::filesystem::exists(data.file("long.bin.wv")));
    EXPECT_TRUE(convert->isEnabled());

    QTest::mouseClick(convert, Qt::LeftButton);
    fixture.dialogs.confirmations = {Answer::No};  // the edited "New" is not kept
    EXPECT_TRUE(fixture.window->close());  // the run is aborted first
    EXPECT_TRUE(Idle(fixture.session));
    EXPECT_EQ(JobStatus(fixture.session, 0), "Status: Aborted");
}

// Whether a dataChanged signal since the spy began covered the cell.
bool Repainted(const QSignalSpy &spy, const QModelIndex &cell)
{
    for (const QList<QVariant> &signal : spy) {
        const auto topLeft = signal[0].value<QModelIndex>();
        const auto bottomRight = signal[1].value<QModelIndex>();
        if (topLeft.parent() == cell.parent() && topLeft.row() <= cell.row() && cell.row() <= bottomRight.row() &&
            topLeft.column() <= cell.column() && cell.column() <= bottomRight.column())
            return true;
    }
    return false;
}

TEST(MainWindow, RunResultsReachTheViewsAndTheUsersBranchesStayAsTheyLeftThem)
{
    TempDir data;
    QStringList files;
    for (const char *name : {"a.bin", "b.bin", "c.bin"}) {
        std::filesystem::copy_file(kExamples + "/tone16.bin", data.file(name));
        files << QString::fromStdString(data.file(name));
    }
    WindowFixture fixture(CopyExampleConfiguration);
    fixture.window->addFiles(files);
    fixture.settle();
    auto *tree = fixture.find<QTreeView>("TREE");
    auto *model = static_cast<JobsModel *>(tree->model());
    tree->setCurrentIndex(model->indexOf(kItemsPerJob + kJobItem));

    // Adding a job keeps the current item.
    std::filesystem::copy_file(kExamples + "/tone16.bin", data.file("d.bin"));
    fixture.window->addFiles({QString::fromStdString(data.file("d.bin"))});
    fixture.settle();
    EXPECT_EQ(model->itemOf(tree->currentIndex()), kItemsPerJob + kJobItem);

    // The last job's status row is announced when the job ends, not only the top-level rows.
    QSignalSpy changes(model, &QAbstractItemModel::dataChanged);
    fixture.click("BUTTON_CONVERT");
    ASSERT_TRUE(fixture.waitFor([&] { return Idle(fixture.session); }));
    const QModelIndex lastStatus = model->indexOf(3 * kItemsPerJob + kJobStatus);
    EXPECT_EQ(lastStatus.data().toString(), "Status: Done");
    EXPECT_TRUE(Repainted(changes, lastStatus));
    EXPECT_TRUE(Repainted(changes, model->indexOf(3 * kItemsPerJob + kJobRunTime, 1)));

    // After the run, the job that ran last stays collapsed whatever else the jobs tree redraws.
    const QModelIndex lastJob = model->indexOf(3 * kItemsPerJob + kJobItem);
    tree->collapse(lastJob);
    fixture.click("CHECKBOX_OVERWRITE");
    EXPECT_FALSE(tree->isExpanded(lastJob));
    fixture.window->addFiles({QString::fromStdString(data.file("d.bin"))});
    fixture.settle();
    EXPECT_FALSE(tree->isExpanded(lastJob));
}

TEST(MainWindow, CutValueIsShownOnceAndLaterEditsKeepTheirPlace)
{
    WindowFixture fixture;
    auto *tree = fixture.find<QTreeView>("TREE_CONFIGURATION");
    auto *model = static_cast<ConfigurationTreeModel *>(tree->model());
    testsupport::Edit(fixture.session, "commentSource", "Header - Variable Position");
    fixture.settle();
    EditTreeCell(tree, kItemCommentBegin, QString(46, QChar(0xE9)));  // 92 bytes, cut to 90
    EXPECT_EQ(model->itemOf(tree->currentIndex()), kItemCommentBegin);
    EditTreeCell(tree, kItemMirror, "Yes");
    EXPECT_EQ(model->itemOf(tree->currentIndex()), kItemMirror);
}

TEST(MainWindow, ExtraSpaceGoesToThePagesTheJobsAndTheBrowser)
{
    WindowFixture fixture;
    const auto sizes = [&] {
        fixture.settle();
        return std::array<QSize, 4>{fixture.find<QWidget>("TAB")->size(), fixture.find<QWidget>("TREE_CONFIGURATION")->size(),
                                    fixture.find<QWidget>("TREE")->size(), fixture.find<QWidget>("BROWSER")->size()};
    };
    const auto small = sizes();
    const QSize status = fixture.find<QWidget>("TABLE_STATUS")->size();
    QHeaderView *fileColumns = fixture.find<QTreeView>("BROWSER_FILES")->header();
    const int nameWidth = fileColumns->sectionSize(0);
    const int sizeWidth = fileColumns->sectionSize(1);
    EXPECT_GE(fixture.window->minimumSize().width(), kMinimumWindowWidth);
    EXPECT_GE(fixture.window->minimumSize().height(), kMinimumWindowHeight);

    fixture.window->resize(1600, 1000);
    const auto large = sizes();
    EXPECT_EQ(large[0].width() - small[0].width(), 580);           // the pages take the width
    EXPECT_EQ(large[1].width(), small[1].width());                  // the configuration keeps its own
    EXPECT_EQ(fixture.find<QWidget>("TABLE_STATUS")->size(), QSize(status.width() + 580, status.height()));
    EXPECT_NEAR(large[2].height() - small[2].height(), 145, 2);     // jobs and browser share the height
    EXPECT_NEAR(large[3].height() - small[3].height(), 145, 2);
    EXPECT_GT(fileColumns->sectionSize(0), nameWidth + 400);        // the file names take the list's width
    EXPECT_EQ(fileColumns->sectionSize(1), sizeWidth);
}

TEST(MainWindow, AboutReplacesThePanelAndTheSplashTurns)
{
    WindowFixture fixture;
    auto *stack = fixture.window->findChild<QStackedWidget *>();
    fixture.click("BUTTON_ABOUT");
    EXPECT_EQ(stack->currentWidget()->objectName(), "ABOUT");
    fixture.click("BUTTON_CLOSE");
    EXPECT_EQ(stack->currentWidget()->objectName(), "PANEL");

    Splash splash;
    auto *text = splash.findChild<QLabel *>("TEXTMSG");
    EXPECT_EQ(text->text(), "Initializing -");
    QStringList seen;
    for (int step = 0; step < 4; ++step) {
        const QString before = text->text();
        ASSERT_TRUE(WindowFixture::waitFor([&] { return text->text() != before; }, 5));
        seen << text->text();
    }
    EXPECT_EQ(seen, (QStringList{"Initializing \\", "Initializing |", "Initializing /", "Initializing -"}));
    splash.refuseScreen();
    EXPECT_EQ(text->text(), "Minimum resolution required: 1024x720");
    EXPECT_FALSE(splash.findChild<QPushButton *>("BUTTON_QUIT")->isHidden());
}

TEST(MainWindow, FirstJobOfAnUneditedNewDescribesItselfAndPresetsLoadUnsaved)
{
    TempDir data;
    const std::string capture = data.file("cap_433.92M_250k.cu8");
    testsupport::WriteFile(capture, std::string(4096, '\x80'));
    {
        WindowFixture fixture;
        fixture.window->addFiles({QString::fromStdString(capture)});
        fixture.settle();
        EXPECT_EQ(fixture.session.tree.items[kItemFormat].value, "8 Bit Unsigned Integer");
        EXPECT_EQ(fixture.session.tree.items[kItemSamplerateValue].value, "0.25");
        EXPECT_EQ(fixture.session.configurations.unsaved, 1);
        ASSERT_FALSE(fixture.session.statusLog.rows.empty());
        EXPECT_NE(fixture.session.statusLog.rows.front().text.find("cu8"), std::string::npos);
    }
    {  // A file that describes nothing leaves the defaults, and the log says why.
        const std::string unknown = data.file("capture.s16");
        testsupport::WriteFile(unknown, std::string(4096, '\0'));
        WindowFixture fixture;
        fixture.window->addFiles({QString::fromStdString(unknown)});
        fixture.settle();
        EXPECT_TRUE(App_IsUneditedNew(fixture.session.record));
        EXPECT_EQ(StatusText(fixture).left(42), "Layout of 'capture.s16': not recognised: n");
    }
    {  // A stored configuration stays as it is until the user asks for the detection.
        WindowFixture fixture(CopyExampleConfiguration);
        const std::string format = fixture.session.tree.items[kItemFormat].value;
        fixture.window->addFiles({QString::fromStdString(capture)});
        fixture.settle();
        EXPECT_EQ(fixture.session.tree.items[kItemFormat].value, format);
        fixture.click("BUTTON_DETECT_LAYOUT");
        EXPECT_EQ(fixture.session.tree.items[kItemFormat].value, "8 Bit Unsigned Integer");

        // A preset after unsaved edits asks first; No loads it, unsaved, and the ring keeps the
        // stored files only.
        auto *presets = fixture.find<QToolButton>("BUTTON_PRESETS");
        const QList<QAction *> entries = presets->menu()->actions();
        ASSERT_FALSE(entries.empty());
        fixture.dialogs.confirmations = {Answer::No};
        entries.front()->trigger();
        fixture.settle();
        EXPECT_EQ(fixture.dialogs.asked.size(), 1);
        EXPECT_EQ(fixture.session.configurations.unsaved, 1);
        EXPECT_EQ(fixture.find<QComboBox>("RING_CONFIGURATION")->findText("tone16"), 0);
    }
}

// A value that each job's file was to give, typed again as it stands, is taken over: the fault
// mark goes, where an editor closed on an unchanged valid value changes nothing.
TEST(MainWindow, RetypingAFaultyValueTakesItOver)
{
    TempDir data;
    using namespace layoutfixtures;
    testsupport::WriteFile(data.file("tone.wav"), Riff(Fmt(1, 2, 1000000, 16) + Chunk("data", std::string(12000, '\1'))));
    testsupport::WriteFile(data.file("raw.bin"), std::string(4000, '\1'));
    WindowFixture fixture;
    fixture.window->addFiles({QString::fromStdString(data.file("tone.wav"))});
    fixture.settle();
    ASSERT_EQ(onFilesTree(fixture.session, kJobItem), 1);
    fixture.window->addFiles({QString::fromStdString(data.file("raw.bin"))});
    fixture.settle();
    const TreeItem &trailer = fixture.session.tree.items[kItemTrailerValue];
    ASSERT_GE(trailer.faultImage, 0);  // a raw file has no WAV header to give it

    auto *tree = fixture.find<QTreeView>("TREE_CONFIGURATION");
    EditTreeCell(tree, kItemTrailerValue, QString::fromStdString(trailer.value));
    EXPECT_LT(trailer.faultImage, 0);
    EXPECT_EQ(Layouts_PerJobSource(fixture.session.record, kReservedTrailer), ContainerKind::None);

    Gui_SetUnsavedStatus(fixture.session, 0);
    EditTreeCell(tree, kItemMirror, QString::fromStdString(fixture.session.tree.items[kItemMirror].value));
    EXPECT_EQ(fixture.session.configurations.unsaved, 0);
}

// A screen reader names every control the keyboard can reach, on every page: by its own text,
// by the label it belongs to, or by a name given to it.
TEST(MainWindow, EveryControlTheKeyboardReachesHasAnAccessibleName)
{
    WindowFixture fixture;
    QStringList nameless;
    for (QWidget *widget : fixture.window->findChildren<QWidget *>()) {
        if (widget->focusPolicy() == Qt::NoFocus || widget->window() != fixture.window.get()) continue;
        if (qobject_cast<QAbstractItemView *>(widget->parentWidget())) continue;  // a view's own viewport
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        if (accessible->text(QAccessible::Name).trimmed().isEmpty())
            nameless << QString("%1 (%2)").arg(widget->objectName(), widget->metaObject()->className());
    }
    EXPECT_TRUE(nameless.isEmpty()) << nameless.join(", ").toStdString();
}

// With a 14 pt font no text is squeezed: rows grow with the font, and the window grows rather
// than give a label, button or list less room than it needs, on every page.
TEST(MainWindow, ALargeFontGrowsRowsAndTheWindowInsteadOfSqueezingText)
{
    struct LargeFont {
        QFont previous = QApplication::font();
        LargeFont()
        {
            QFont large = previous;
            large.setPointSizeF(14);
            QApplication::setFont(large);
        }
        ~LargeFont() { QApplication::setFont(previous); }
    } largeFont;
    WindowFixture fixture(CopyExampleConfiguration);
    fixture.window->addFiles({QString::fromStdString(kExamples + "/tone16.bin")});
    auto *status = fixture.find<QTableView>("TABLE_STATUS");
    EXPECT_GE(status->verticalHeader()->defaultSectionSize(), status->fontMetrics().height() + 4);

    QStringList squeezed;
    for (int page = 0; page < 4; ++page) {
        fixture.find<QTabWidget>("TAB")->setCurrentIndex(page);
        fixture.settle();
        for (QWidget *widget : fixture.window->findChildren<QWidget *>()) {
            const bool holdsText = qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget) ||
                                   qobject_cast<QComboBox *>(widget) || qobject_cast<QLineEdit *>(widget);
            if (!holdsText || !widget->isVisible()) continue;
            const QSize least = widget->minimumSizeHint().expandedTo(widget->minimumSize());
            if (widget->width() < least.width() || widget->height() < least.height())
                squeezed << QString("%1 %2 (%3 x %4 < %5 x %6)")
                                .arg(widget->metaObject()->className(), widget->objectName())
                                .arg(widget->width()).arg(widget->height()).arg(least.width()).arg(least.height());
        }
    }
    EXPECT_TRUE(squeezed.isEmpty()) << squeezed.join("\n").toStdString();
}
