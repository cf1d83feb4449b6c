// Starting and aborting conversions in quick succession, and closing the main window while a
// conversion runs. Meant to run under the thread sanitizer as well: every repetition crosses
// the run state between the user-interface thread and the worker.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <random>
#include <thread>

#include "app/startup.h"
#include "app/treerules.h"
#include "conversion/guilock.h"
#include "conversion/jobs.h"
#include "robustnesssupport.h"
#include "testsupport.h"

using namespace robustness;
using testsupport::TempDir;

namespace {

constexpr int kJobs = 3;
constexpr int kPairsPerJob = 250000;  // three blocks per pass
constexpr size_t kOutputBytes = 121 + 3 + 4 * static_cast<size_t>(kPairsPerJob);

// Holds the worker inside an event until the user-interface thread has acted.
class Gate {
public:
    // On the worker's thread: announces the stop and waits for the release.
    void Hold()
    {
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    // On the test's thread: true once the worker stands at the gate.
    bool WaitUntilHeld()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return held_; });
    }
    void Release()
    {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};

// BUTTON_CONVERT pressed while the run is going: the press that requests the abort, and never
// a start.
void PressConvert(Session &session) { EXPECT_EQ(onConversion(session, [](const ConversionEvent &) {}), 0); }

// The close of the main window, for the unnamed configuration: nothing to ask, nothing to save.
int CloseMainWindow(Session &session)
{
    return App_CloseSession(
        session, [](const std::string &, bool) { return Answer::No; },
        [](const std::string &) { return std::optional<std::string>(); }, WindowPlacement{});
}

// The close has taken the run back: nothing of it is left running or locked.
void ExpectTakenBack(Session &session)
{
    EXPECT_EQ(Gui_GetConversionRunning(session.run), kRunIdle);
    EXPECT_FALSE(session.run.worker.joinable());
    EXPECT_FALSE(session.views.controlsLocked);
    EXPECT_EQ(session.views.convert.label, kConvertStart);
}

// The recorded run ended with RunFinished after reporting job 0 as aborted.
void ExpectAbortedRun(RecordedRun &run)
{
    std::lock_guard lock(run.mutex);
    ASSERT_FALSE(run.events.empty());
    EXPECT_EQ(run.events.back().kind, ConversionEvent::Kind::RunFinished);
    bool aborted = false;
    for (const ConversionEvent &event : run.events)
        aborted = aborted || (event.kind == ConversionEvent::Kind::JobFinished && event.outcome == JobOutcome::Aborted);
    EXPECT_TRUE(aborted);
}

class StartAbort : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartPlain(session_);
        for (int job = 0; job < kJobs; ++job) {
            const std::string input = dir_.file("in" + std::to_string(job) + ".bin");
            testsupport::WriteFile(input, Tone16(kPairsPerJob, 1000.0 * (job + 1)));
            inputs_.push_back(input);
        }
        ASSERT_EQ(Gui_AddIQ(session_, 0, inputs_), kJobs);
        // The last job's target exists already: a run that does not finish it must leave it.
        testsupport::WriteFile(Target(kJobs - 1), "an older waveform");
        for (int job = 0; job < kJobs; ++job) targets_.push_back(testsupport::ReadFile(Target(job)));
    }

    std::string Target(int job) const { return inputs_[job] + ".wv"; }

    // The state after a run that may have been aborted anywhere.
    void ExpectConsistentEnd(const char *where)
    {
        SCOPED_TRACE(where);
        EXPECT_EQ(Gui_GetConversionRunning(session_.run), kRunIdle);
        EXPECT_FALSE(session_.run.worker.joinable());
        EXPECT_EQ(session_.views.convert.label, kConvertStart);
        EXPECT_TRUE(session_.views.convert.operable);
        EXPECT_FALSE(session_.views.controlsLocked);
        bool stopped = false;
        for (int job = 0; job < kJobs; ++job) {
            const std::string status = Status(session_, job);
            if (stopped) {
                EXPECT_EQ(status, "Status: Pending") << "job " << job;
            } else if (status == "Status: Aborted") {
                stopped = true;
                EXPECT_EQ(Image(session_, job), 1);
            } else {
                EXPECT_EQ(status, "Status: Done") << "job " << job;
            }
            const std::string content = testsupport::ReadFile(Target(job));
            if (status == "Status: Done") {
                EXPECT_EQ(content.size(), kOutputBytes) << "job " << job;
                targets_[job] = content;
            } else {
                EXPECT_EQ(content, targets_[job]) << "job " << job << " touched its target";
            }
        }
        EXPECT_TRUE(TemporaryFiles(dir_.path().string()).empty());
    }

    TempDir dir_;
    Session session_;
    std::vector<std::string> inputs_;
    std::vector<std::string> targets_;  // the content each target has now ("" when absent)
};

}  // namespace

TEST_F(StartAbort, TwoHundredStartsAbortedAfterZeroToThreeBlocks)
{
    // One full run gives the time of a block, to aim the timed aborts at blocks 0 to 3.
    const auto start = std::chrono::steady_clock::now();
    ConvertAll(session_);
    const double blockSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / (kJobs * 2 * 3);
    ExpectConsistentEnd("the full run");
    for (int job = 0; job < kJobs; ++job) ASSERT_EQ(Status(session_, job), "Status: Done");

    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> blocks(0.0, 3.0);
    for (int repetition = 0; repetition < 200; ++repetition) {
        SCOPED_TRACE("repetition " + std::to_string(repetition));
        RecordedRun run;
        Gate gate;
        const int kind = repetition % 4;
        const int gatedJob = repetition / 4 % kJobs;
        EventHook hook;
        if (kind == 0) {  // as the run starts, before the worker has read a block
            hook = [&gate](const ConversionEvent &event) {
                if (event.kind == ConversionEvent::Kind::RunStarted) gate.Hold();
            };
        } else if (kind == 1) {  // between two jobs: after the first job has finished
            hook = [&gate](const ConversionEvent &event) {
                if (event.kind == ConversionEvent::Kind::JobFinished && event.job == 0) gate.Hold();
            };
        } else if (kind == 2) {  // as a job starts: the abort lands in its measuring pass
            hook = [&gate, gatedJob](const ConversionEvent &event) {
                if (event.kind == ConversionEvent::Kind::JobActive && event.job == gatedJob) gate.Hold();
            };
        }
        ASSERT_EQ(Start(session_, run, hook), 1);
        if (kind == 3) {
            std::this_thread::sleep_for(std::chrono::duration<double>(blocks(random) * blockSeconds));
            PressConvert(session_);
        } else {
            ASSERT_TRUE(gate.WaitUntilHeld());
            PressConvert(session_);
            gate.Release();
        }
        // Presses while the abort is pending are ignored.
        PressConvert(session_);
        Finish(session_, run);
        ExpectConsistentEnd("after the abort");

        if (kind == 0) {
            EXPECT_EQ(Status(session_, 0), "Status: Aborted");
        }
        if (kind == 1) {
            EXPECT_EQ(Status(session_, 0), "Status: Done");
            EXPECT_EQ(Status(session_, 1), "Status: Aborted");
        }
        if (kind == 2) {
            EXPECT_EQ(Status(session_, gatedJob), "Status: Aborted");
            // Aborted in the measuring pass: the job never reached its results.
            for (const ConversionEvent &event : run.events)
                EXPECT_FALSE(event.kind == ConversionEvent::Kind::Results && event.job == gatedJob);
        }
        if (HasFatalFailure() || HasFailure()) break;
    }
    // The user's scale factor survives every measuring pass that was cut short.
    EXPECT_EQ(session_.settings.scale, 1.0);
}

TEST_F(StartAbort, ASecondStartBeforeTheWorkerRunsStartsNoSecondWorker)
{
    for (int repetition = 0; repetition < 50; ++repetition) {
        RecordedRun run;
        ASSERT_EQ(Start(session_, run), 1);
        EXPECT_EQ(Start(session_, run), 0);  // the second press is the abort request
        Finish(session_, run);
        int runsStarted = 0;
        for (const ConversionEvent &event : run.events)
            runsStarted += event.kind == ConversionEvent::Kind::RunStarted ? 1 : 0;
        EXPECT_EQ(runsStarted, 1);
        ExpectConsistentEnd("double press");
    }
}

TEST_F(StartAbort, TheRunIsIdleOnlyOnceItsLastEventIsAppliedAndLateEventsChangeNothing)
{
    RecordedRun first;
    ASSERT_EQ(Start(session_, first), 1);
    Conversion_WaitForWorker(session_);  // the worker has ended; its events wait to be applied
    EXPECT_EQ(Gui_GetConversionRunning(session_.run), kRunRunning);
    EXPECT_TRUE(session_.views.controlsLocked);
    // A click now is the abort request of the ending run, never a second start.
    PressConvert(session_);
    EXPECT_EQ(Gui_GetConversionRunning(session_.run), kRunAbortRequested);
    EXPECT_EQ(session_.views.convert.label, kConvertAborting);

    std::vector<ConversionEvent> events;
    {
        std::lock_guard lock(first.mutex);
        events = first.events;
    }
    ASSERT_EQ(events.back().kind, ConversionEvent::Kind::RunFinished);
    for (size_t k = 0; k + 1 < events.size(); ++k) {
        Conversion_ApplyEvent(session_, events[k]);
        ASSERT_NE(Gui_GetConversionRunning(session_.run), kRunIdle);
        ASSERT_TRUE(session_.views.controlsLocked);
    }
    Conversion_ApplyEvent(session_, events.back());
    ExpectConsistentEnd("handed back");
    for (int job = 0; job < kJobs; ++job) EXPECT_EQ(Status(session_, job), "Status: Done");

    // A second run: the first run's events, arriving again, touch nothing of it.
    Gate gate;
    RecordedRun second;
    ASSERT_EQ(Start(session_, second, [&gate](const ConversionEvent &event) {
                  if (event.kind == ConversionEvent::Kind::JobActive) gate.Hold();
              }),
              1);
    ASSERT_TRUE(gate.WaitUntilHeld());
    {
        std::lock_guard lock(second.mutex);
        ASSERT_EQ(second.events.size(), 1u);
        Conversion_ApplyEvent(session_, second.events[0]);  // RunStarted: every job pending
    }
    for (const ConversionEvent &event : events) Conversion_ApplyEvent(session_, event);
    EXPECT_EQ(Gui_GetConversionRunning(session_.run), kRunRunning);
    EXPECT_TRUE(session_.views.controlsLocked);
    for (int job = 0; job < kJobs; ++job) EXPECT_EQ(Status(session_, job), "Status: Pending");
    gate.Release();
    Finish(session_, second);
    ExpectConsistentEnd("the second run");
}

TEST_F(StartAbort, WhileLockedTheCoreRefusesEveryInputOfTheLockedControls)
{
    session_.configurations.directory = dir_.path().string();
    ASSERT_EQ(onConfigurationString(session_, "first"), 1);
    ASSERT_EQ(Gui_SaveConfiguration(session_), 1);
    ASSERT_EQ(onConfigurationString(session_, "second"), 1);
    ASSERT_EQ(Gui_SaveConfiguration(session_), 1);
    testsupport::Edit(session_, "shift", "0.1");  // unsaved
    const ConfigurationRecord record = session_.record;
    const std::string stored = testsupport::ReadFile(dir_.file("second.pnx"));
    const size_t items = session_.jobs.items.size();
    const size_t rows = session_.statusLog.rows.size();
    const auto yes = [](const std::string &, bool) { return Answer::Yes; };

    Gui_Lock(session_, 1);
    const std::string elsewhere = dir_.file("elsewhere");
    EXPECT_EQ(Gui_AddIQ(session_, 0, {inputs_[0]}), 0);
    EXPECT_EQ(onFilesTree(session_, 0), 0);
    EXPECT_EQ(Gui_SetJobPath(session_, kJobOutput, elsewhere), 0);
    EXPECT_EQ(Gui_SetOutputDirectory(session_, &elsewhere), 0);
    EXPECT_EQ(onOverwriteProtection(session_, 1), 0);
    EXPECT_EQ(onConfigurationTree(session_, kItemShift, "0.2"), 0);
    EXPECT_EQ(onConfigurationString(session_, "third"), 0);
    EXPECT_EQ(Gui_SaveConfiguration(session_), 0);
    const auto noName = [](const std::string &) { return std::optional<std::string>(); };
    EXPECT_EQ(onConfigurationRing(session_, 0, yes, noName), 0);
    EXPECT_EQ(onConfigurationDelete(session_, yes), 0);

    EXPECT_EQ(std::memcmp(&session_.record, &record, sizeof record), 0);
    EXPECT_EQ(session_.configurations.nameText, "second");
    EXPECT_EQ(session_.configurations.unsaved, 1);
    EXPECT_EQ(testsupport::ReadFile(dir_.file("second.pnx")), stored);
    EXPECT_EQ(session_.jobs.items.size(), items);
    EXPECT_EQ(Gui_JobOutput(session_.jobs, 0), Target(0));
    EXPECT_EQ(session_.jobs.outputSource, kOutputSameAsInput);
    EXPECT_EQ(session_.jobs.overwriteProtection, 0);
    EXPECT_EQ(session_.statusLog.rows.size(), rows);

    Gui_Lock(session_, 0);
    EXPECT_EQ(onOverwriteProtection(session_, 1), 1);
}

namespace {

std::string LongInput(const TempDir &dir) { return SparseToneInput(dir.file("long.bin"), int64_t{1} << 30); }

}  // namespace

TEST(CloseWhileConverting, AbortsAndWaitsUntilTheWorkerHasStopped)
{
    for (const bool automatic : {true, false}) {
        SCOPED_TRACE(automatic ? "measuring pass" : "writing pass");
        TempDir dir;
        const std::string input = LongInput(dir);
        testsupport::WriteFile(input + ".wv", "the waveform from last week");
        Session session;
        StartPlain(session);
        if (!automatic) testsupport::Edit(session, "autoOptimization", "No");
        ASSERT_EQ(Gui_AddIQ(session, 0, {input}), 1);

        std::atomic<bool> converting{false};
        RecordedRun run;
        ASSERT_EQ(Start(session, run, [&converting](const ConversionEvent &event) {
                      if (event.kind == ConversionEvent::Kind::Progress) converting = true;
                  }),
                  1);
        while (!converting) std::this_thread::sleep_for(std::chrono::milliseconds(5));

        EXPECT_EQ(CloseMainWindow(session), 1);
        // The worker has finished everything before the close goes on.
        ExpectTakenBack(session);
        ExpectAbortedRun(run);
        EXPECT_EQ(testsupport::ReadFile(input + ".wv"), "the waveform from last week");
        EXPECT_TRUE(TemporaryFiles(dir.path().string()).empty());
    }
}

TEST(CloseWhileConverting, ACloseDuringAPendingAbortWaitsToo)
{
    TempDir dir;
    const std::string input = LongInput(dir);
    Session session;
    StartPlain(session);
    ASSERT_EQ(Gui_AddIQ(session, 0, {input}), 1);
    Gate gate;
    RecordedRun run;
    ASSERT_EQ(Start(session, run, [&gate](const ConversionEvent &event) {
                  if (event.kind == ConversionEvent::Kind::JobActive) gate.Hold();
              }),
              1);
    ASSERT_TRUE(gate.WaitUntilHeld());
    PressConvert(session);  // abort requested; the worker still runs
    EXPECT_EQ(Gui_GetConversionRunning(session.run), kRunAbortRequested);
    std::thread release([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        gate.Release();
    });
    EXPECT_EQ(CloseMainWindow(session), 1);
    ExpectTakenBack(session);
    release.join();
    ExpectAbortedRun(run);
    EXPECT_FALSE(std::filesystem::exists(input + ".wv"));
}

TEST(CloseWhileConverting, ACloseWhenIdleReturnsAtOnce)
{
    Session session;
    StartPlain(session);
    EXPECT_EQ(CloseMainWindow(session), 1);
    EXPECT_EQ(Gui_GetConversionRunning(session.run), kRunIdle);
}
