// Files dropped from a file manager and the browser folder: what a dropped folder stands for,
// and the refusals while a conversion runs.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/filesflows.h"
#include "conversion/guilock.h"
#include "conversion/jobs.h"
#include "testsupport.h"

using testsupport::TempDir;

TEST(FilesFlows, ADroppedFolderStandsForItsFilesByName)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("folder/sub"));
    for (const char *name : {"b.bin", "A.bin", ".hidden", "C.bin", "sub/deeper.bin"})
        testsupport::WriteFile(dir.file("folder/") + name, "x");
    std::filesystem::create_symlink(dir.file("folder/b.bin"), dir.file("folder/link.bin"));
    std::filesystem::create_symlink(dir.file("folder/gone"), dir.file("folder/broken.bin"));

    const std::string folder = dir.file("folder");
    EXPECT_EQ(App_ListDroppedPaths({dir.file("single.bin"), folder, dir.file("missing")}),
              std::vector<std::string>({dir.file("single.bin"), folder + "/.hidden", folder + "/A.bin",
                                        folder + "/b.bin", folder + "/C.bin", folder + "/link.bin",
                                        dir.file("missing")}));
    EXPECT_EQ(App_ListDroppedPaths({folder + "/sub/"}), std::vector<std::string>({folder + "/sub/deeper.bin"}));
}

TEST(FilesFlows, NothingIsAddedNorStoredWhileAConversionRuns)
{
    TempDir dir;
    testsupport::WriteFile(dir.file("a.bin"), std::string(2000, '\1'));
    Session session;
    testsupport::StartWithDefaults(session);
    EXPECT_EQ(App_SetBrowserDirectory(session, dir.path().string()), 1);
    EXPECT_EQ(session.views.browserDirectory, dir.path().string());

    Gui_Lock(session, 1);
    EXPECT_EQ(App_SetBrowserDirectory(session, "/"), 0);
    EXPECT_EQ(session.views.browserDirectory, dir.path().string());
    const size_t logged = session.statusLog.rows.size();
    EXPECT_EQ(App_AddDroppedFiles(session, {dir.file("a.bin")}), 0);
    EXPECT_EQ(Gui_JobCount(session.jobs), 0);
    ASSERT_EQ(session.statusLog.rows.size(), logged + 1);
    EXPECT_EQ(session.statusLog.rows.back().text, "Files cannot be added while the conversion runs");

    Gui_Lock(session, 0);
    EXPECT_TRUE(App_TakesDrops(session));
    EXPECT_EQ(App_AddDroppedFiles(session, {dir.file("a.bin")}), 1);
    EXPECT_EQ(Gui_JobCount(session.jobs), 1);
}
