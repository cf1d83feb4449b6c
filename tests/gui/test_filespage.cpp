// The "Files" page with folders: a folder in the browser's selection stands for its files, and
// folders that answer late or never, as on a network mount that is gone: the folder used last
// is read only once the window shows, and a read that hangs leaves the window drawing,
// converting and closing.

#include <QElapsedTimer>
#include <QLabel>
#include <QTreeView>
#include <filesystem>

#include "conversion/jobs.h"
#include "conversion/runstate.h"
#include "filebrowser/filebrowser.h"
#include "filebrowser/stalledfolders.h"
#include "guitest.h"

using testsupport::TempDir;

namespace {

const std::string kExamples = QUELVOR_SOURCE_DIR "/examples";

}  // namespace

TEST(FilesPage, AFolderInTheSelectionStandsForItsFilesWhenAddIsPressed)
{
    TempDir data;
    std::filesystem::create_directories(data.file("set"));
    for (const char *name : {"set/b.bin", "set/A.bin", "c.bin"})
        testsupport::WriteFile(data.file(name), std::string(2000, '\1'));
    WindowFixture fixture;
    FileBrowser *browser = Filebrowser_GetFileBrowserPtr(fixture.window.get());
    ASSERT_NE(browser, nullptr);
    auto *list = fixture.find<QTreeView>("BROWSER_FILES");
    Filebrowser_SetDir(*browser, data.path().string(), 0);
    ASSERT_TRUE(WindowFixture::waitFor([&] { return !browser->isReading() && list->model()->rowCount() == 2; }, 10));
    list->selectAll();  // the folder "set" and the file "c.bin"

    fixture.click("BUTTON_ADD_IQ");  // the folder is read in the background
    ASSERT_TRUE(WindowFixture::waitFor([&] { return Gui_JobCount(fixture.session.jobs) == 3; }, 10));
    EXPECT_EQ(Gui_JobInput(fixture.session.jobs, 0), data.file("set/A.bin"));
    EXPECT_EQ(Gui_JobInput(fixture.session.jobs, 1), data.file("set/b.bin"));
    EXPECT_EQ(Gui_JobInput(fixture.session.jobs, 2), data.file("c.bin"));
    EXPECT_EQ(fixture.find<QTreeView>("TREE")->model()->rowCount(), 3);
}

TEST(FilesPage, ARememberedFolderThatNeverAnswersLeavesTheWindowWorking)
{
    ReleaseStalledFolders release;
    TempDir configDir;
    TempDir data;
    std::filesystem::create_directories(data.file("dead/inner"));
    std::filesystem::copy_file(kExamples + "/tone16.pnx", configDir.file("tone16.pnx"));
    std::filesystem::copy_file(kExamples + "/tone16.bin", data.file("a.bin"));
    ApplicationSettings settings = Ini_DefaultSettings();
    Ini_SetText(settings.browserDirectory, data.file("dead/inner"));
    Ini_SetText(settings.lastConfiguration, "tone16");
    StatusLog log;
    ASSERT_EQ(Ini_Save(configDir.path().string(), settings, log), 1);
    StalledFolders::stall(data.file("dead"));

    Session session;
    session.monitors = {{0, 0, 1920, 0, 1200}};
    App_StartSession(session, configDir.path().string());
    ScriptedDialogs dialogs;
    auto window = std::make_unique<MainWindow>(session, dialogs);
    QTest::qWait(100);
    EXPECT_EQ(StalledFolders::reads(data.file("dead")), 0) << "read before the window showed";

    window->resize(kMinimumWindowWidth, kMinimumWindowHeight);
    window->show();
    ASSERT_TRUE(WindowFixture::waitFor([] { return StalledFolders::waiting() == 1; }, 10));
    FileBrowser *browser = Filebrowser_GetFileBrowserPtr(window.get());
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->isReading());
    EXPECT_TRUE(browser->findChild<QLabel *>("BROWSER_READING")->isVisible());
    EXPECT_FALSE(window->grab().isNull());

    window->addFiles({QString::fromStdString(data.file("a.bin"))});
    window->convert();
    ASSERT_TRUE(WindowFixture::waitFor([&] { return Gui_GetConversionRunning(session.run) == kRunIdle; }, 60));
    EXPECT_EQ(session.jobs.items[kJobStatus].label, "Status: Done");
    EXPECT_EQ(StalledFolders::waiting(), 1);

    QElapsedTimer closing;
    closing.start();
    EXPECT_TRUE(window->close());
    window.reset();
    EXPECT_LT(closing.elapsed(), 2000);
    // The folder never opened, so the one to open next time is still the one used last.
    EXPECT_EQ(session.views.browserDirectory, data.file("dead/inner"));
}
