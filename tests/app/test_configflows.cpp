#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/startup.h"
#include "base/tempfile.h"
#include "configuration/configfiles.h"
#include "session/session.h"
#include "testsupport.h"

using testsupport::Edit;
using testsupport::TempDir;

namespace {

Answer Yes(const std::string &, bool) { return Answer::Yes; }
Answer No(const std::string &, bool) { return Answer::No; }

// Named configurations need no name from the user.
std::optional<std::string> NoName(const std::string &prompt)
{
    ADD_FAILURE() << "unexpected name request: " << prompt;
    return std::nullopt;
}

void Start(Session &session, const TempDir &dir)
{
    App_InitSession(session, dir.path().string());
    Configuration_Init(session);
}

// Saves the current configuration under `name`, as typing the name and pressing Save does.
int SaveAs(Session &session, const std::string &name)
{
    EXPECT_EQ(onConfigurationString(session, name), 1);
    return Gui_SaveConfiguration(session);
}

}  // namespace

TEST(ConfigurationFlows, FirstStartIsTheUnsavedConfigurationNew)
{
    TempDir dir;
    Session session;
    Start(session, dir);
    const ConfigurationList &list = session.configurations;
    EXPECT_EQ(list.ring, std::vector<std::string>{"New"});
    EXPECT_EQ(list.nameText, "New");
    EXPECT_EQ(list.unsaved, 1);
    EXPECT_EQ(list.nameLabel, "Configuration - unsaved");
    EXPECT_TRUE(list.saveEnabled);
    EXPECT_FALSE(list.deleteEnabled);
    EXPECT_STREQ(session.record.structure, "Combined IQ (1 File)");  // the tree's built-in defaults

    EXPECT_EQ(Gui_SaveConfiguration(session), 0);  // "New" cannot be saved
    EXPECT_EQ(session.statusLog.rows.back().text,
              "Save configuration: Invalid name: \"New\" is kept for the unsaved configuration");
}

TEST(ConfigurationFlows, SavingAppendsNewNamesAndReplacesExistingOnes)
{
    TempDir dir;
    Session session;
    Start(session, dir);
    Edit(session, "format", "32 Bit Float");
    ASSERT_EQ(SaveAs(session, "alpha"), 1);
    EXPECT_EQ(session.configurations.ring, std::vector<std::string>{"alpha"});  // "New" is gone
    EXPECT_EQ(session.configurations.unsaved, 0);
    EXPECT_EQ(session.statusLog.rows.back().text, "Save 'alpha.pnx': Done.");

    Edit(session, "format", "8 Bit Integer");
    ASSERT_EQ(SaveAs(session, "beta"), 1);
    EXPECT_EQ(session.configurations.ringIndex, 1);  // the ring shows what was just saved
    Edit(session, "mirror", "Yes");
    EXPECT_EQ(onConfigurationString(session, "alpha"), 1);
    ASSERT_EQ(Gui_SaveConfiguration(session), 1);
    EXPECT_EQ(session.configurations.ring, (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(session.configurations.ringIndex, 0);
    EXPECT_STREQ(session.configurations.records[0].format, "8 Bit Integer");
    EXPECT_STREQ(session.configurations.records[0].mirror, "Yes");

    // A restart lists both, sorted by file name.
    Session restarted;
    Start(restarted, dir);
    EXPECT_EQ(restarted.configurations.ring, (std::vector<std::string>{"alpha", "beta"}));
    Configuration_SetByName(restarted, "beta");
    EXPECT_STREQ(restarted.record.format, "8 Bit Integer");
    EXPECT_STREQ(restarted.record.mirror, "No");
    EXPECT_EQ(restarted.tree.items[kItemFormat].value, "8 Bit Integer");
    EXPECT_EQ(restarted.configurations.nameText, "beta");
}

TEST(ConfigurationFlows, SwitchingAsksAboutUnsavedChanges)
{
    TempDir dir;
    Session session;
    Start(session, dir);
    ASSERT_EQ(SaveAs(session, "one"), 1);
    Edit(session, "shift", "0.1");
    ASSERT_EQ(SaveAs(session, "two"), 1);

    Edit(session, "shift", "0.2");
    EXPECT_EQ(onConfigurationRing(session, 0, No, NoName), 1);  // switch to "one", dropping the change
    EXPECT_STREQ(session.record.name, "one");
    EXPECT_STREQ(session.record.shift, "0.0");
    EXPECT_EQ(session.configurations.unsaved, 0);

    Edit(session, "shift", "0.3");
    EXPECT_EQ(onConfigurationRing(session, 1, Yes, NoName), 1);  // save "one" first, then switch
    EXPECT_STREQ(session.record.name, "two");
    EXPECT_STREQ(session.configurations.records[0].shift, "0.3");
}

TEST(ConfigurationFlows, DeletingTheLastConfigurationLeavesNewWithTheTreeUnchanged)
{
    TempDir dir;
    Session session;
    Start(session, dir);
    Edit(session, "order", "QI");
    ASSERT_EQ(SaveAs(session, "solo"), 1);
    EXPECT_EQ(onConfigurationDelete(session, No), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("solo.pnx")));

    EXPECT_EQ(onConfigurationDelete(session, Yes), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("solo.pnx")));
    EXPECT_EQ(session.statusLog.rows.back().text, "Delete configuration: Done");
    EXPECT_EQ(session.configurations.ring, std::vector<std::string>{"New"});
    EXPECT_EQ(session.configurations.nameText, "New");
    EXPECT_STREQ(session.record.name, "New");
    EXPECT_EQ(session.configurations.unsaved, 1);
    EXPECT_STREQ(session.record.order, "QI");
}

TEST(ConfigurationFlows, ARenamedFileIsListedByItsFileNameAndKeepsItsStoredName)
{
    TempDir dir;
    {
        Session session;
        Start(session, dir);
        ASSERT_EQ(SaveAs(session, "original"), 1);
    }
    std::filesystem::rename(dir.file("original.pnx"), dir.file("renamed.pnx"));
    testsupport::WriteFile(dir.file("broken.pnx"), "not a configuration");
    Session session;
    Start(session, dir);
    EXPECT_EQ(session.configurations.ring, std::vector<std::string>{"renamed"});
    EXPECT_EQ(session.statusLog.rows.front().text, "Load 'broken.pnx': Incompatible file format.");
    Configuration_SetByName(session, "renamed");
    EXPECT_EQ(session.configurations.nameText, "original");
}

TEST(TemporaryFiles, LeftoversOfAKilledSaveAreRemovedByTheNextOne)
{
    TempDir dir;
    const std::string target = dir.file("kept.pnx");
    testsupport::WriteFile(dir.file(".kept.pnx.quelvor-tmp-Ab3dE9"), "half a file");
    testsupport::WriteFile(dir.file(".other.pnx.quelvor-tmp-Ab3dE9"), "another target's");
    std::string temporary;
    const int fd = Files_CreateTemporaryBeside(target, temporary);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_TRUE(Files_IsTemporaryName(temporary));
    EXPECT_FALSE(std::filesystem::exists(dir.file(".kept.pnx.quelvor-tmp-Ab3dE9")));
    EXPECT_TRUE(std::filesystem::exists(dir.file(".other.pnx.quelvor-tmp-Ab3dE9")));
    EXPECT_FALSE(Files_IsTemporaryName("kept.pnx"));
    EXPECT_FALSE(Files_IsTemporaryName(".kept.pnx.quelvor-tmp-Ab3d!9"));
}
