#include <gtest/gtest.h>

#include <string>

#include "conversion/guilock.h"
#include "conversion/jobs.h"
#include "session/session.h"
#include "testsupport.h"

using testsupport::Edit;
using testsupport::TempDir;

namespace {

// Files of `size` bytes named as given, in a temporary directory.
struct Files {
    TempDir dir;
    std::string Make(const std::string &name, size_t size = 2000)
    {
        testsupport::WriteFile(dir.file(name), std::string(size, 'x'));
        return dir.file(name);
    }
};

std::string Label(const Session &session, int item) { return session.jobs.items[item].label; }

}  // namespace

TEST(JobList, SmallAndVanishedFilesAreRefusedAndLoggedByName)
{
    Files files;
    Session session;
    testsupport::StartWithDefaults(session);
    const std::string a = files.Make("a.bin"), small = files.Make("small.bin", 500), c = files.Make("c.bin");
    EXPECT_EQ(Gui_AddIQ(session, 0, {a, small, c, files.dir.file("missing.bin")}), 2);
    ASSERT_EQ(Gui_JobCount(session.jobs), 2);
    EXPECT_EQ(Label(session, 0), "Job 1");
    EXPECT_EQ(Label(session, 9), "Job 2");
    EXPECT_EQ(Gui_JobInput(session.jobs, 1), c);
    EXPECT_EQ(Gui_JobOutput(session.jobs, 1), c + ".wv");
    ASSERT_EQ(session.statusLog.rows.size(), 2u);
    EXPECT_EQ(session.statusLog.rows[0].text, "File size <1kB: small.bin");
    EXPECT_EQ(session.statusLog.rows[1].text, "Cannot open missing.bin: No such file or directory");
    EXPECT_TRUE(session.statusLog.rows[0].dimmed);
    EXPECT_FALSE(session.statusLog.rows[1].dimmed);
    EXPECT_EQ(session.statusLog.rows[1].icon, StatusIcon::Error);
    // The first job was analysed as it was added.
    EXPECT_EQ(session.files.inputSize, 2000);
}

TEST(JobList, QFilesFillEmptyQCellsThenMakeJobs)
{
    Files files;
    Session session;
    testsupport::StartWithDefaults(session);
    Edit(session, "structure", "Separate IQ (2 Files)");
    const std::string i1 = files.Make("i1.bin", 1000), i2 = files.Make("i2.bin");
    EXPECT_EQ(Gui_AddIQ(session, 0, {i1, i2}), 2);
    EXPECT_EQ(session.files.inputSize, -1);  // job 1 has no Q file yet

    const std::string q1 = files.Make("q1.bin", 3000), q2 = files.Make("q2.bin"), q3 = files.Make("q3.bin");
    EXPECT_EQ(Gui_AddIQ(session, 1, {q1, q2, q3}), 3);
    ASSERT_EQ(Gui_JobCount(session.jobs), 3);
    EXPECT_EQ(Gui_JobQ(session.jobs, 0), q1);
    EXPECT_EQ(Gui_JobQ(session.jobs, 1), q2);
    EXPECT_EQ(Gui_JobInput(session.jobs, 2), "");
    EXPECT_EQ(Gui_JobQ(session.jobs, 2), q3);
    EXPECT_EQ(Gui_JobOutput(session.jobs, 2), q3 + ".wv");
    EXPECT_EQ(session.files.inputSize, 1000);  // job 1 analysed again with its Q file

    // Input files never fill the empty I cell of a Q-only job.
    EXPECT_EQ(Gui_AddIQ(session, 0, {files.Make("i3.bin")}), 1);
    EXPECT_EQ(Gui_JobCount(session.jobs), 4);
    EXPECT_EQ(Gui_JobInput(session.jobs, 2), "");

    Edit(session, "structure", "Combined IQ (1 File)");
    for (int job = 0; job < 4; ++job) EXPECT_EQ(Gui_JobQ(session.jobs, job), "");
    EXPECT_EQ(session.statusLog.rows.back().text, "Combined IQ (1 File): the Q files of 3 jobs were dropped");
}

TEST(JobList, CombinedStructureTreatsQFilesAsInputs)
{
    Files files;
    Session session;
    testsupport::StartWithDefaults(session);
    EXPECT_EQ(Gui_AddIQ(session, 1, {files.Make("q.bin")}), 1);
    ASSERT_EQ(Gui_JobCount(session.jobs), 1);
    EXPECT_EQ(Gui_JobInput(session.jobs, 0), files.dir.file("q.bin"));
}

TEST(JobList, RemovingRenumbersAndReanalysesJobOne)
{
    Files files;
    Session session;
    testsupport::StartWithDefaults(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {files.Make("a.bin", 1100), files.Make("b.bin", 1200), files.Make("c.bin", 1300)}), 3);

    EXPECT_EQ(onFilesTree(session, 9 + kJobInput), 0);  // not a remove cell
    EXPECT_EQ(onFilesTree(session, 9), 1);              // the middle job
    ASSERT_EQ(Gui_JobCount(session.jobs), 2);
    EXPECT_EQ(Label(session, 9), "Job 2");
    EXPECT_EQ(Gui_JobInput(session.jobs, 1), files.dir.file("c.bin"));
    EXPECT_EQ(session.jobs.items[9 + kJobStatus].parent, 9);
    EXPECT_EQ(session.jobs.items[9 + kJobRunTime].parent, 9 + kJobStatus);
    EXPECT_EQ(session.files.inputSize, 1100);

    EXPECT_EQ(onFilesTree(session, 0), 1);  // the first job: the former job 2 becomes job 1
    EXPECT_EQ(Label(session, 0), "Job 1");
    EXPECT_EQ(session.files.inputSize, 1300);

    EXPECT_EQ(onFilesTree(session, 0), 1);  // the only job: the analysis is cleared
    EXPECT_TRUE(session.jobs.items.empty());
    EXPECT_EQ(session.files.inputSize, -1);
    EXPECT_EQ(session.views.hints.addFirstText, kHintAddJob);
}

TEST(JobList, OutputPathsFollowTheOutputDirectory)
{
    JobList jobs;
    EXPECT_EQ(Gui_CreateDefaultOutputFile(jobs, "/data/x.iq"), "/data/x.iq.wv");
    jobs.outputDirectory = "/out";
    EXPECT_EQ(Gui_CreateDefaultOutputFile(jobs, "/data/x.iq"), "/out/x.iq.wv");
    EXPECT_EQ(Gui_CreateDefaultOutputFile(jobs, "x.iq"), "/out/x.iq.wv");

    Session session;
    const std::string dir = "/somewhere";
    EXPECT_EQ(Gui_SetOutputDirectory(session, &dir), 1);
    EXPECT_EQ(session.jobs.outputSource, kOutputUserDefined);
    EXPECT_EQ(Gui_SetOutputDirectory(session, nullptr), 1);  // a cancelled dialog
    EXPECT_EQ(session.jobs.outputSource, kOutputSameAsInput);
    EXPECT_EQ(session.jobs.outputDirectory, "");
}

TEST(JobList, FileDialogsSetCellsAndJobOneIsReanalysed)
{
    Files files;
    Session session;
    testsupport::StartWithDefaults(session);
    EXPECT_EQ(Gui_AddIQ(session, 0, {files.Make("a.bin", 1100)}), 1);
    EXPECT_EQ(Gui_SetJobPath(session, kJobInput, files.Make("b.bin", 1500)), 1);
    EXPECT_EQ(session.files.inputSize, 1500);
    EXPECT_EQ(Gui_SetJobPath(session, kJobOutput, "/elsewhere/out.wv"), 1);
    EXPECT_EQ(Gui_JobOutput(session.jobs, 0), "/elsewhere/out.wv");
    EXPECT_EQ(Gui_SetJobPath(session, kJobQ, "/q.bin"), 0);  // no Q cell in the combined structure
    EXPECT_EQ(Gui_SetJobPath(session, kJobStatus, "/x"), 0);
}

TEST(GuiLock, LockedControlsTakeNoInputButConvertAndAboutDo)
{
    Session session;
    Gui_Lock(session, 1);
    for (Control control : {Control::JobsTree, Control::ConfigurationTree, Control::AddIqButton,
                            Control::OverwriteCheckbox, Control::Tab, Control::Browser})
        EXPECT_FALSE(Gui_ControlTakesInput(session.views, control)) << static_cast<int>(control);
    EXPECT_TRUE(Gui_ControlTakesInput(session.views, Control::ConvertButton));
    EXPECT_TRUE(Gui_ControlTakesInput(session.views, Control::AboutButton));
    Gui_Lock(session, 0);
    EXPECT_TRUE(Gui_ControlTakesInput(session.views, Control::JobsTree));
}
