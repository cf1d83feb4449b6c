// Start-up and close of a session: the settings file's log rules, applying and gathering the
// settings, the monitor check and the close decision.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/startup.h"
#include "conversion/jobs.h"
#include "testsupport.h"

using testsupport::TempDir;

namespace {

// One screen of 1280 x 1024 with the id the window system gave it.
const std::vector<MonitorEntry> kScreen{{7, 0, 1280, 0, 1024}};

void Start(Session &session, const TempDir &dir, const std::vector<MonitorEntry> &monitors = kScreen)
{
    session.monitors = monitors;
    App_StartSession(session, dir.path().string());
}

// An answer to the save question that also counts the questions.
struct Answering {
    Answer answer = Answer::No;
    int asked = 0;
    Confirm confirm()
    {
        return [this](const std::string &, bool) {
            ++asked;
            return answer;
        };
    }
};

std::optional<std::string> NoName(const std::string &) { return std::nullopt; }

std::string SettingsFile(const TempDir &dir) { return dir.file(kSettingsFileName); }

// A first run that leaves the configuration "lab" and a settings file behind: window at left
// 100 with width 1200 (its right edge beyond the 1280 screen: only origins and sizes count).
void FirstRun(const TempDir &dir)
{
    Session session;
    Start(session, dir);
    ASSERT_EQ(onConfigurationString(session, "lab"), 1);
    ASSERT_EQ(Gui_SaveConfiguration(session), 1);
    const std::string output = dir.file("out");
    ASSERT_EQ(Gui_SetOutputDirectory(session, &output), 1);
    ASSERT_EQ(onOverwriteProtection(session, 1), 1);
    session.previewLength = 256;
    session.tree.items[kItemMetadata].collapsed = true;
    session.views.browserDirectory = dir.path().string();
    Answering answer;
    ASSERT_EQ(App_CloseSession(session, answer.confirm(), NoName, WindowPlacement{7, 100, 1200, 50, 800, false}), 1);
    EXPECT_EQ(answer.asked, 0);  // nothing was unsaved
}

}  // namespace

TEST(StartUp, WithoutSettingsAndConfigurationsTheLogStaysEmpty)
{
    TempDir dir;
    Session session;
    Start(session, dir);
    EXPECT_TRUE(session.statusLog.rows.empty());
    EXPECT_EQ(std::string(session.record.name), "New");
    EXPECT_EQ(session.configurations.unsaved, 1);
    // The defaults of a missing file are not applied.
    EXPECT_EQ(session.jobs.outputSource, kOutputSameAsInput);
    EXPECT_FALSE(session.views.restoreWindow);
    EXPECT_EQ(session.previewLength, kDefaultPreviewLength);
}

TEST(StartUp, ARefusedSettingsFileIsLoggedWithTheQuestionIconAndNotApplied)
{
    TempDir dir;
    testsupport::WriteFile(SettingsFile(dir), "Brannig Quelvor\n1.05\ntoo short");
    Session session;
    Start(session, dir);
    ASSERT_EQ(session.statusLog.rows.size(), 1u);
    EXPECT_EQ(session.statusLog.rows[0].text, "Load 'ini.pny': Incompatible file format.");
    EXPECT_EQ(session.statusLog.rows[0].icon, StatusIcon::Question);
    EXPECT_EQ(session.jobs.outputSource, kOutputSameAsInput);
}

TEST(StartUp, SettingsGatheredAtCloseComeBackAtTheNextStart)
{
    TempDir dir;
    FirstRun(dir);
    Session session;
    Start(session, dir);
    EXPECT_EQ(session.statusLog.rows.front().text, "Load 'ini.pny': Done.");
    EXPECT_EQ(session.statusLog.rows.front().icon, StatusIcon::Ok);
    EXPECT_EQ(session.configurations.nameText, "lab");
    EXPECT_EQ(session.configurations.unsaved, 0);
    EXPECT_EQ(session.jobs.outputSource, kOutputUserDefined);
    EXPECT_EQ(session.jobs.outputDirectory, dir.file("out"));
    EXPECT_EQ(session.jobs.overwriteProtection, 1);
    EXPECT_EQ(session.previewLength, 256);
    EXPECT_TRUE(session.tree.items[kItemMetadata].collapsed);
    EXPECT_FALSE(session.tree.items[kItemIQ].collapsed);
    EXPECT_EQ(session.views.browserDirectory, dir.path().string());
    ASSERT_TRUE(session.views.restoreWindow);
    const WindowPlacement &window = session.views.window;
    EXPECT_EQ(window.monitorId, 7);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.width, 1200);
    EXPECT_EQ(window.top, 50);
    EXPECT_EQ(window.height, 800);
    EXPECT_FALSE(window.maximized);
}

TEST(StartUp, AMonitorThatIsGoneKeepsTheWindowWhereItOpensAndAppliesTheRest)
{
    TempDir dir;
    FirstRun(dir);
    Session session;
    Start(session, dir, {{3, 0, 1920, 0, 1080}});
    EXPECT_FALSE(session.views.restoreWindow);
    // The settings load, the monitor, then the stored configuration's load.
    ASSERT_EQ(session.statusLog.rows.size(), 3u);
    EXPECT_EQ(session.statusLog.rows[1].text, "Incompatible monitor data.");
    EXPECT_EQ(session.statusLog.rows[1].icon, StatusIcon::Question);
    EXPECT_EQ(session.jobs.overwriteProtection, 1);
    EXPECT_EQ(session.previewLength, 256);
}

TEST(StartUp, TheMonitorCheckFindsTheFirstScreenThatHoldsTheWindow)
{
    int first = -2;
    EXPECT_EQ(Gui_MonitorCheck({{1, 0, 1019, 0, 900}, {2, 1019, 1020, 0, 710}}, &first), 1);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(Gui_MonitorCheck({{1, 0, 1600, 0, 709}}, &first), 0);
    EXPECT_EQ(first, -1);
}

TEST(Close, TheUnnamedConfigurationAsksOnlyWhenEditedAndWritesNoSettings)
{
    TempDir dir;
    Session session;
    Start(session, dir);
    Answering answer{.answer = Answer::No};
    EXPECT_EQ(App_CloseSession(session, answer.confirm(), NoName, WindowPlacement{}), 1);
    EXPECT_EQ(answer.asked, 0);
    testsupport::Edit(session, "shift", "0.1");
    EXPECT_EQ(App_CloseSession(session, answer.confirm(), NoName, WindowPlacement{}), 1);
    EXPECT_EQ(answer.asked, 1);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile(dir)));
}

TEST(Close, UnsavedChangesAreOfferedForSaving)
{
    TempDir dir;
    FirstRun(dir);
    const std::string stored = testsupport::ReadFile(dir.file("lab.pnx"));
    std::filesystem::remove(SettingsFile(dir));

    {  // No: quits, the stored configuration stays as it was, the settings are written.
        Session session;
        Start(session, dir);
        testsupport::Edit(session, "shift", "0.1");
        Answering answer{.answer = Answer::No};
        EXPECT_EQ(App_CloseSession(session, answer.confirm(), NoName, WindowPlacement{}), 1);
        EXPECT_EQ(answer.asked, 1);
        EXPECT_EQ(testsupport::ReadFile(dir.file("lab.pnx")), stored);
        EXPECT_TRUE(std::filesystem::exists(SettingsFile(dir)));
    }
    std::filesystem::remove(SettingsFile(dir));
    {  // Yes, but the save fails: the program stays open and writes nothing.
        Session session;
        Start(session, dir);
        ASSERT_EQ(onConfigurationString(session, "no/such"), 1);
        Answering answer{.answer = Answer::Yes};
        const AskName stillInvalid = [](const std::string &) { return std::optional<std::string>("no|such"); };
        EXPECT_EQ(App_CloseSession(session, answer.confirm(), stillInvalid, WindowPlacement{}), 0);
        EXPECT_EQ(answer.asked, 1);
        EXPECT_EQ(session.statusLog.rows.back().text,
                  "Save configuration: Invalid name: a name cannot hold the character '|'");
        EXPECT_FALSE(std::filesystem::exists(SettingsFile(dir)));
        EXPECT_EQ(session.configurations.unsaved, 1);
    }
}
