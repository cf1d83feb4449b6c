#include "conversion/runner.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "conversion/guilock.h"
#include "conversion/jobs.h"
#include "conversion/worker.h"
#include "parser/analysis.h"

namespace {

// The progress value as the status item's column 1 shows it: a whole percentage.
std::string ProgressText(double percent)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", percent);
    return text;
}

// "Job 2: Done, tone16.bin.wv, 262144 samples, run time 00:00:00.012": how the job ended (its
// status without the "Status: " prefix), its output file and, when it was measured, the pairs
// and the run time of its file, the time it plays for, as the jobs tree names it.
std::string JobResultLine(const JobList &jobs, int job, std::string_view status)
{
    constexpr std::string_view kStatusPrefix = "Status: ";
    if (status.starts_with(kStatusPrefix)) status.remove_prefix(kStatusPrefix.size());
    std::string line = "Job " + std::to_string(job + 1) + ": " + std::string(status);
    const std::string output = std::filesystem::path(Gui_JobOutput(jobs, job)).filename().string();
    if (!output.empty()) line += ", " + output;
    const int first = job * kItemsPerJob;
    const std::string &samples = jobs.items[first + kJobConvertedSamples].value;
    if (!samples.empty()) line += ", " + samples + " samples, run time " + jobs.items[first + kJobRunTime].value;
    return line;
}

// "5 jobs: 3 done, 2 failed", with ", 1 not run" for jobs an abort left pending: the jobs by
// their images (success, failure, none). The icon is ok when every job was done, an error when
// none was, a question otherwise.
void LogRunSummary(Session &session)
{
    const JobList &jobs = session.jobs;
    const int count = Gui_JobCount(jobs);
    int done = 0;
    int notRun = 0;
    for (int job = 0; job < count; ++job) {
        const int image = jobs.items[job * kItemsPerJob + kJobStatus].image;
        done += image == 0 ? 1 : 0;
        notRun += image < 0 ? 1 : 0;
    }
    std::string line = std::to_string(count) + (count == 1 ? " job: " : " jobs: ") + std::to_string(done) +
                       " done, " + std::to_string(count - done - notRun) + " failed";
    if (notRun > 0) line += ", " + std::to_string(notRun) + " not run";
    const StatusIcon icon = done == count ? StatusIcon::Ok : done == 0 ? StatusIcon::Error : StatusIcon::Question;
    Gui_UpdateStatus(session, line, icon);
}

}  // namespace

int onConversion(Session &session, ConversionObserver observer)
{
    const int state = Gui_GetConversionRunning(session.run);
    if (state == kRunRunning) {
        Conversion_AbortThread(session);
        return 0;
    }
    if (state == kRunAbortRequested) return 0;  // the button takes no clicks until the run is handed back
    if (session.jobs.items.empty()) {
        Gui_UpdateStatus(session, "No conversion jobs defined", StatusIcon::Error);
        return 0;
    }
    Gui_Lock(session, 1);
    session.views.convert.label = kConvertAbort;
    session.views.convert.color = kLightRed;
    Session_Notify(session, SessionChange::ConvertButton);
    session.views.activeTab = 0;
    Session_Notify(session, SessionChange::ActiveTab);

    // Running from here on, so that a second press before the worker starts cannot start
    // another; the state returns to idle only when this thread takes the run back (EndRun).
    Gui_SetConversionRunning(session.run, kRunRunning);
    RunState &run = session.run;
    const int runId = ++run.runId;
    WorkerInput input{session.record, session.tree, session.settings, session.jobs};
    ConversionObserver stamped = [observer = std::move(observer), runId](ConversionEvent event) {
        event.runId = runId;
        observer(event);
    };
    run.worker = std::thread([&run, stamped = std::move(stamped), input = std::move(input)]() mutable {
        Conversion_RunWorker(run, stamped, std::move(input));
        ConversionEvent finished;
        finished.kind = ConversionEvent::Kind::RunFinished;
        stamped(finished);
    });
    return 1;
}

void Conversion_AbortThread(Session &session)
{
    {
        std::lock_guard lock(session.run.guiLock);
        if (session.run.conversionRunning != kRunRunning) return;
        session.run.conversionRunning = kRunAbortRequested;
    }
    session.views.convert.operable = false;
    session.views.convert.label = kConvertAborting;
    session.views.convert.color = kLightYellow;
    Session_Notify(session, SessionChange::ConvertButton);
}

void Conversion_ApplyEvent(Session &session, const ConversionEvent &event)
{
    // Only the run in hand reports: a late event of a run that was already taken back (or of an
    // earlier run) would overwrite what the user sees now.
    if (event.runId != session.run.runId || Gui_GetConversionRunning(session.run) == kRunIdle) return;
    JobList &jobs = session.jobs;
    const int first = event.job * kItemsPerJob;
    const bool known = event.job >= 0 && first + kItemsPerJob <= static_cast<int>(jobs.items.size());
    switch (event.kind) {
    case ConversionEvent::Kind::RunStarted:
        for (size_t job = 0; job + kItemsPerJob <= jobs.items.size(); job += kItemsPerJob) {
            jobs.items[job + kJobStatus].label = "Status: Pending";
            jobs.items[job + kJobStatus].value.clear();
            jobs.items[job + kJobStatus].image = -1;
            jobs.items[job + kJobItem].image = -1;
            for (int offset = kJobConvertedSamples; offset < kItemsPerJob; ++offset) jobs.items[job + offset].value.clear();
        }
        Session_NotifyRows(session, SessionChange::Jobs, RowChange::Changed, 0, Gui_JobCount(jobs));
        return;
    case ConversionEvent::Kind::JobActive:
        if (known) Session_Reveal(session, SessionChange::Jobs, first + kJobStatus);
        return;
    case ConversionEvent::Kind::Progress:
        if (known) {
            jobs.items[first + kJobStatus].label = event.status;
            jobs.items[first + kJobStatus].value = ProgressText(event.progress);
        }
        break;
    case ConversionEvent::Kind::Results:
        if (known) {
            jobs.items[first + kJobConvertedSamples].value = event.convertedSamples;
            jobs.items[first + kJobFileSize].value = event.fileSize;
            jobs.items[first + kJobRunTime].value = event.runTime;
            jobs.items[first + kJobMaxScaleFactor].value = event.maxScaleFactor;
        }
        break;
    case ConversionEvent::Kind::JobFinished:
        if (known) {
            jobs.items[first + kJobStatus].label = event.status;
            jobs.items[first + kJobStatus].value = std::to_string(0);
            jobs.items[first + kJobStatus].image = event.image;
            jobs.items[first + kJobItem].image = event.image;
            if (!session.run.ownResultLines)
                Gui_UpdateStatus(session, JobResultLine(jobs, event.job, event.status),
                                 Conversion_JobImageIcon(event.image));
        }
        break;
    case ConversionEvent::Kind::LogMessage:
        Gui_UpdateStatus(session, event.text, event.icon);
        return;
    case ConversionEvent::Kind::RunFinished:
        if (!session.run.ownResultLines) LogRunSummary(session);
        Conversion_EndRun(session);
        return;
    }
    if (known) Session_NotifyRows(session, SessionChange::Jobs, RowChange::Changed, event.job, 1);
}

void Conversion_EndRun(Session &session)
{
    if (Gui_GetConversionRunning(session.run) == kRunIdle) return;  // already handed back
    if (session.run.worker.joinable()) session.run.worker.join();
    // The worker analysed every job on its own copy; the pages show job 1 again, read afresh.
    if (Gui_JobCount(session.jobs) > 1)
        Parser_Job1Changed(session, Gui_JobInput(session.jobs, 0).c_str(), Gui_JobQ(session.jobs, 0).c_str());
    Session_Notify(session, SessionChange::BrowserRefresh);  // the new output files appear
    session.views.convert.label = kConvertStart;
    session.views.convert.color = session.files.inputSize > 0 ? kLightGreen : kLightRed;
    session.views.convert.operable = true;
    Session_Notify(session, SessionChange::ConvertButton);
    Gui_Lock(session, 0);
    Gui_SetConversionRunning(session.run, kRunIdle);
}

void Conversion_WaitForWorker(Session &session)
{
    if (session.run.worker.joinable()) session.run.worker.join();
}
