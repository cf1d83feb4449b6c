#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <iostream>
#include <mutex>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "configuration/choices.h"
#include "conversion/jobs.h"
#include "conversion/runner.h"

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> stopRequested{false};  // stays set: no further file starts after an interrupt

extern "C" void OnInterrupt(int)
{
    interrupted = true;
    stopRequested = true;
}

// Hands the worker's events to the main thread.
class EventQueue {
public:
    void Push(const ConversionEvent &event)
    {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        ready_.notify_one();
    }
    // Waits up to `timeout` for an event.
    bool Pop(ConversionEvent &event, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !events_.empty(); })) return false;
        event = std::move(events_.front());
        events_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<ConversionEvent> events_;
};

nlohmann::ordered_json NumberOrNull(const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

// What detection found for the job's file: the layout and the source of each value (nothing
// when the configuration was given).
nlohmann::ordered_json LayoutJson(const DetectionResult *detection)
{
    if (detection == nullptr || !detection->recognised) return {{"layout", nullptr}, {"sources", nullptr}};
    nlohmann::ordered_json sources = nlohmann::ordered_json::object();
    for (const DetectedValue &value : detection->values) sources[value.name] = value.source;
    return {{"layout", detection->layout}, {"sources", sources}};
}

nlohmann::ordered_json JobJson(const Session &session, const ConversionEvent &event, const DetectionResult *detection)
{
    const JobList &jobs = session.jobs;
    const int first = event.job * kItemsPerJob;
    const std::string &q = Gui_JobQ(jobs, event.job);
    return {{"job", event.job + 1},
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
            {"mbPerSecond", event.mbPerSecond},
            {"layout", LayoutJson(detection)["layout"]},
            {"sources", LayoutJson(detection)["sources"]}};
}

void PrintJobLine(const Session &session, const ConversionEvent &event)
{
    const int first = event.job * kItemsPerJob;
    std::cerr << "Job " << event.job + 1 << ": " << event.status << "  " << Gui_JobInput(session.jobs, event.job)
              << " -> " << Gui_JobOutput(session.jobs, event.job);
    if (!session.jobs.items[first + kJobConvertedSamples].value.empty())
        std::cerr << "  (" << session.jobs.items[first + kJobConvertedSamples].value << " samples, "
                  << session.jobs.items[first + kJobFileSize].value << ", max scale factor "
                  << session.jobs.items[first + kJobMaxScaleFactor].value << ")";
    char rate[48];
    std::snprintf(rate, sizeof rate, "  %.1f MB/s", event.mbPerSecond);
    std::cerr << rate << "\n";
}

// Adds the jobs: one per file for a combined structure, pairs of I and Q files for separate.
int AddJobs(Session &session, const ConvertOptions &options, const std::vector<std::string> &files, bool &refused)
{
    const bool separate = std::string_view(session.record.structure) == text::kSeparate;
    if (separate && files.size() % 2 != 0) {
        std::cerr << "quelvor-cli: the separate structure takes the files in pairs (I file, Q file)\n";
        return kExitUsage;
    }
    // A fresh session is never locked: these take their input.
    if (!options.outputDir.empty() && !Gui_SetOutputDirectory(session, &options.outputDir)) return kExitFailed;
    if (!onOverwriteProtection(session, options.overwriteProtection ? 1 : 0)) return kExitFailed;
    size_t taken = 0;
    if (!separate) {
        taken = Gui_AddIQ(session, 0, files);
    } else {
        for (size_t pair = 0; pair < files.size(); pair += 2) {
            taken += Gui_AddIQ(session, 0, {files[pair]});
            taken += Gui_AddIQ(session, 1, {files[pair + 1]});
        }
    }
    refused = taken < files.size();
    if (!options.output.empty()) {
        if (Gui_JobCount(session.jobs) != 1) {
            std::cerr << "quelvor-cli: --output takes exactly one job\n";
            return kExitUsage;
        }
        if (!Gui_SetJobPath(session, kJobOutput, options.output)) return kExitFailed;
    }
    return kExitOk;
}

// Converts `files` as the jobs of one run with the session's configuration; `detection` is what
// detection found for them, or null.
int ConvertJobs(Session &session, const ConvertOptions &options, const std::vector<std::string> &files,
                const DetectionResult *detection)
{
    bool refused = false;
    if (const int status = AddJobs(session, options, files, refused); status != kExitOk) return status;
    size_t logged = Cli_PrintStatusLog(session, 0);

    EventQueue queue;
    if (!onConversion(session, [&queue](const ConversionEvent &event) { queue.Push(event); })) {
        Cli_PrintStatusLog(session, logged);
        return kExitFailed;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    bool allDone = !refused;
    ConversionEvent event;
    for (;;) {
        if (interrupted.exchange(false)) Conversion_AbortThread(session);
        if (!queue.Pop(event, std::chrono::milliseconds(100))) continue;
        Conversion_ApplyEvent(session, event);
        logged = Cli_PrintStatusLog(session, logged);
        if (event.kind == ConversionEvent::Kind::Progress && showProgress) {
            std::cerr << "\rJob " << event.job + 1 << ": " << event.status << "\033[K" << std::flush;
        } else if (event.kind == ConversionEvent::Kind::JobFinished) {
            if (showProgress) std::cerr << "\r\033[K";
            PrintJobLine(session, event);
            if (options.json) std::cout << JobJson(session, event, detection).dump() << std::endl;
            allDone = allDone && event.outcome == JobOutcome::Done;
        } else if (event.kind == ConversionEvent::Kind::RunFinished) {
            break;  // applying it took the run back
        }
    }
    // Jobs after an abort never ran; they did not end "Status: Done".
    for (int job = 0; job < Gui_JobCount(session.jobs); ++job)
        if (session.jobs.items[job * kItemsPerJob + kJobStatus].label != "Status: Done") allDone = false;
    return allDone ? kExitOk : kExitFailed;
}

// Each file is detected on its own and converted with its own configuration; --set edits apply
// on top of what was detected. A file that nothing recognises converts with the configuration
// as it is (the built-in defaults).
int ConvertDetected(const Selection &selection, const ConvertOptions &options)
{
    if (!options.output.empty() && options.files.size() != 1) {
        std::cerr << "quelvor-cli: --output takes exactly one job\n";
        return kExitUsage;
    }
    Selection withoutSets = selection;
    withoutSets.sets.clear();
    int worst = kExitOk;
    for (const std::string &file : options.files) {
        Session session;
        if (const int status = Cli_PrepareSession(session, withoutSets); status != kExitOk) return status;
        DetectionResult detection = App_DetectLayout(session, file);
        if (detection.recognised)
            std::cerr << file << ": " << detection.layout << " (preset " << detection.preset << ")\n";
        else
            std::cerr << file << ": not recognised: " << detection.reason << "; converted with the defaults\n";
        for (const std::string &note : detection.notes) std::cerr << "  " << note << "\n";
        if (const int status = Cli_ApplySets(session, selection); status != kExitOk) return status;
        // A value that an edit changed comes from the user now.
        for (DetectedValue &value : detection.values) {
            if (value.item < 0 || session.tree.items[value.item].value == value.value) continue;
            value.value = session.tree.items[value.item].value;
            value.source = "user";
        }
        worst = std::max(worst, ConvertJobs(session, options, {detection.dataPath}, &detection));
        if (stopRequested) break;
    }
    return worst;
}

}  // namespace

int Cli_Convert(const Selection &selection, const ConvertOptions &options)
{
    if (selection.config.empty() && selection.preset.empty()) return ConvertDetected(selection, options);
    Session session;
    if (const int status = Cli_PrepareSession(session, selection); status != kExitOk) return status;
    return ConvertJobs(session, options, options.files, nullptr);
}
