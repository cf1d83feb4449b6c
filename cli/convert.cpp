#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <iostream>

#include "cli/convertjobs.h"
#include "cli/eventqueue.h"
#include "configuration/choices.h"
#include "conversion/jobs.h"

namespace {

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

nlohmann::ordered_json NumberOrNull(const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

}  // namespace

nlohmann::ordered_json Cli_JobJson(const Session &session, const ConversionEvent &event, int number)
{
    const JobList &jobs = session.jobs;
    const int first = event.job * kItemsPerJob;
    const std::string &q = Gui_JobQ(jobs, event.job);
    return {{"job", number},
            {"input", Gui_JobInput(jobs, event.job)},
            {"q", q.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(q)},
            {"output", Gui_JobOutput(jobs, event.job)},
            {"status", event.status},
            {"convertedSamples", jobs.items[first + kJobConvertedSamples].value},
            {"fileSize", jobs.items[first + kJobFileSize].value},
            {"runTime", jobs.items[first + kJobRunTime].value},
            {"maxScaleFactor", jobs.items[first + kJobMaxScaleFactor].value},
            {"peak", NumberOrNull(event.peak)},
            {"rms", NumberOrNull(event.rms)},
            {"mbPerSecond", event.mbPerSecond}};
}

void Cli_PrintJobLine(const Session &session, const ConversionEvent &event, int number)
{
    const int first = event.job * kItemsPerJob;
    std::cerr << "Job " << number << ": " << event.status << "  " << Gui_JobInput(session.jobs, event.job)
              << " -> " << Gui_JobOutput(session.jobs, event.job);
    if (!session.jobs.items[first + kJobConvertedSamples].value.empty())
        std::cerr << "  (" << session.jobs.items[first + kJobConvertedSamples].value << " samples, "
                  << session.jobs.items[first + kJobFileSize].value << ", max scale factor "
                  << session.jobs.items[first + kJobMaxScaleFactor].value << ")";
    char rate[48];
    std::snprintf(rate, sizeof rate, "  %.1f MB/s", event.mbPerSecond);
    std::cerr << rate << "\n";
}

int Cli_AddJobs(Session &session, const ConvertOptions &options, bool &refused)
{
    const bool separate = std::string_view(session.record.structure) == text::kSeparate;
    if (separate && options.files.size() % 2 != 0) {
        std::cerr << "quelvor-cli: the separate structure takes the files in pairs (I file, Q file)\n";
        return kExitUsage;
    }
    // A fresh session is never locked: these take their input.
    if (!options.outputDir.empty() && !Gui_SetOutputDirectory(session, &options.outputDir)) return kExitFailed;
    if (!onOverwriteProtection(session, options.overwriteProtection ? 1 : 0)) return kExitFailed;
    size_t taken = 0;
    if (!separate) {
        taken = Gui_AddIQ(session, 0, options.files);
    } else {
        for (size_t pair = 0; pair < options.files.size(); pair += 2) {
            taken += Gui_AddIQ(session, 0, {options.files[pair]});
            taken += Gui_AddIQ(session, 1, {options.files[pair + 1]});
        }
    }
    refused = taken < options.files.size();
    if (!options.output.empty()) {
        if (Gui_JobCount(session.jobs) != 1) {
            std::cerr << "quelvor-cli: --output takes exactly one job\n";
            return kExitUsage;
        }
        if (!Gui_SetJobPath(session, kJobOutput, options.output)) return kExitFailed;
    }
    return kExitOk;
}

void Cli_PrintSummary(int jobs, int done, int notRun)
{
    std::cerr << jobs << (jobs == 1 ? " job: " : " jobs: ") << done << " done, " << jobs - done - notRun
              << " failed, " << notRun << " not run\n";
}

void Cli_CatchInterrupts()
{
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Cli_TakeInterrupt() { return interrupted.exchange(false); }

int Cli_Convert(const Selection &selection, const ConvertOptions &options)
{
    const int slots = options.jobs > 0 ? options.jobs : Cli_CoreCount();
    if (slots > 1) return Cli_ConvertInParallel(selection, options, slots);
    Session session;
    if (const int status = Cli_PrepareSession(session, selection); status != kExitOk) return status;
    bool refused = false;
    if (const int status = Cli_AddJobs(session, options, refused); status != kExitOk) return status;
    size_t logged = Cli_PrintStatusLog(session, 0);

    EventQueue<ConversionEvent> queue;
    if (!onConversion(session, [&queue](const ConversionEvent &event) { queue.Push(event); })) {
        Cli_PrintStatusLog(session, logged);
        return kExitFailed;
    }
    Cli_CatchInterrupts();
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    bool allDone = !refused;
    ConversionEvent event;
    for (;;) {
        if (Cli_TakeInterrupt()) Conversion_AbortThread(session);
        if (!queue.Pop(event, std::chrono::milliseconds(100))) continue;
        Conversion_ApplyEvent(session, event);
        logged = Cli_PrintStatusLog(session, logged);
        if (event.kind == ConversionEvent::Kind::Progress && showProgress) {
            std::cerr << "\rJob " << event.job + 1 << ": " << event.status << "\033[K" << std::flush;
        } else if (event.kind == ConversionEvent::Kind::JobFinished) {
            if (showProgress) std::cerr << "\r\033[K";
            Cli_PrintJobLine(session, event, event.job + 1);
            if (options.json) std::cout << Cli_JobJson(session, event, event.job + 1).dump() << std::endl;
            allDone = allDone && event.outcome == JobOutcome::Done;
        } else if (event.kind == ConversionEvent::Kind::RunFinished) {
            break;  // applying it took the run back
        }
    }
    // Jobs after an abort never ran; they did not end "Status: Done".
    const int jobs = Gui_JobCount(session.jobs);
    int done = 0;
    int notRun = 0;
    for (int job = 0; job < jobs; ++job) {
        const std::string &status = session.jobs.items[job * kItemsPerJob + kJobStatus].label;
        done += status == "Status: Done" ? 1 : 0;
        notRun += status == "Status: Pending" ? 1 : 0;
    }
    Cli_PrintSummary(jobs, done, notRun);
    return allDone && done == jobs ? kExitOk : kExitFailed;
}
