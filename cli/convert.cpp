#include <unistd.h>

#include <algorithm>
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
std::atomic<bool> stopRequested{false};  // stays set: no further file starts after an interrupt

extern "C" void OnInterrupt(int)
{
    interrupted = true;
    stopRequested = true;
}

nlohmann::ordered_json NumberOrNull(const std::optional<double> &value)
{
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

// What detection found for the job's file: the layout and the source of each value (both null
// when the configuration was given).
nlohmann::ordered_json SourcesJson(const DetectionResult *detection)
{
    if (detection == nullptr || !detection->recognised) return nullptr;
    nlohmann::ordered_json sources = nlohmann::ordered_json::object();
    for (const DetectedValue &value : detection->values) sources[value.name] = value.source;
    return sources;
}

// Converts the jobs of `files` as one run with the session's configuration, numbering them from
// `firstNumber`, and adds its jobs to `counts`. `detection` is what detection found, or null.
int ConvertJobs(Session &session, const ConvertOptions &options, const std::vector<std::string> &files,
                const DetectionResult *detection, int firstNumber, JobCounts &counts)
{
    bool refused = false;
    if (const int status = Cli_AddJobs(session, options, files, refused); status != kExitOk) return status;
    counts.refused = counts.refused || refused;
    size_t logged = Cli_PrintStatusLog(session, 0);

    EventQueue<ConversionEvent> queue;
    session.run.ownResultLines = true;  // the job lines and the summary below
    if (!onConversion(session, [&queue](const ConversionEvent &event) { queue.Push(event); })) {
        Cli_PrintStatusLog(session, logged);
        return kExitFailed;
    }
    const bool showProgress = !options.quiet && ::isatty(STDERR_FILENO);
    ConversionEvent event;
    for (;;) {
        if (Cli_TakeInterrupt()) Conversion_AbortThread(session);
        if (!queue.Pop(event, std::chrono::milliseconds(100))) continue;
        Conversion_ApplyEvent(session, event);
        logged = Cli_PrintStatusLog(session, logged);
        const int number = firstNumber + event.job;
        if (event.kind == ConversionEvent::Kind::Progress && showProgress) {
            std::cerr << "\rJob " << number << ": " << event.status << "\033[K" << std::flush;
        } else if (event.kind == ConversionEvent::Kind::JobFinished) {
            if (showProgress) std::cerr << "\r\033[K";
            Cli_PrintJobLine(session, event, number);
            if (options.json) std::cout << Cli_JobJson(session, event, number, detection).dump() << std::endl;
        } else if (event.kind == ConversionEvent::Kind::RunFinished) {
            break;  // applying it took the run back
        }
    }
    // Jobs after an abort never ran; they did not end "Status: Done".
    const int jobs = Gui_JobCount(session.jobs);
    counts.jobs += jobs;
    for (int job = 0; job < jobs; ++job) {
        const std::string &status = session.jobs.items[job * kItemsPerJob + kJobStatus].label;
        counts.done += status == "Status: Done" ? 1 : 0;
        counts.notRun += status == "Status: Pending" ? 1 : 0;
    }
    return kExitOk;
}

// Each file is detected on its own and converted with its own configuration; --set edits apply
// on top of what was detected. A file that nothing recognises converts with the configuration
// as it is (the built-in defaults).
int ConvertDetected(const Selection &selection, const ConvertOptions &options, JobCounts &counts)
{
    if (!options.output.empty() && options.files.size() != 1) {
        std::cerr << "quelvor-cli: --output takes exactly one job\n";
        return kExitUsage;
    }
    int worst = kExitOk;
    size_t attempted = 0;
    for (const std::string &file : options.files) {
        ++attempted;
        Session session;
        DetectionResult detection;
        if (const int status = Cli_PrepareDetected(session, selection, file, detection); status != kExitOk)
            return status;
        const int number = counts.jobs + 1;
        worst = std::max(worst, ConvertJobs(session, options, {detection.dataPath}, &detection, number, counts));
        if (stopRequested) break;
    }
    // Files after an interrupt were never started: jobs that did not run.
    const int skipped = static_cast<int>(options.files.size() - attempted);
    counts.jobs += skipped;
    counts.notRun += skipped;
    return worst;
}

}  // namespace

nlohmann::ordered_json Cli_JobJson(const Session &session, const ConversionEvent &event, int number,
                                   const DetectionResult *detection)
{
    const JobList &jobs = session.jobs;
    const int first = event.job * kItemsPerJob;
    const std::string &q = Gui_JobQ(jobs, event.job);
    const bool detected = detection != nullptr && detection->recognised;
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
            {"mbPerSecond", event.mbPerSecond},
            {"layout", detected ? nlohmann::ordered_json(detection->layout) : nlohmann::ordered_json(nullptr)},
            {"sources", SourcesJson(detection)}};
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

int Cli_AddJobs(Session &session, const ConvertOptions &options, const std::vector<std::string> &files, bool &refused)
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

int Cli_PrepareDetected(Session &session, const Selection &selection, const std::string &file,
                        DetectionResult &detection)
{
    Selection withoutSets = selection;
    withoutSets.sets.clear();
    if (const int status = Cli_PrepareSession(session, withoutSets); status != kExitOk) return status;
    detection = App_DetectLayout(session, file);
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
    const bool detect = selection.config.empty() && selection.preset.empty();
    // Detection takes each file on its own, so it cannot pair I and Q files.
    const auto separate = [](const std::pair<std::string, std::string> &set) {
        return set.first == "structure" && set.second == text::kSeparate;
    };
    if (detect && std::any_of(selection.sets.begin(), selection.sets.end(), separate)) {
        std::cerr << "quelvor-cli: each file is detected on its own; for I and Q files in pairs give the layout "
                     "with --config or --preset\n";
        return kExitUsage;
    }
    const int slots = options.jobs > 0 ? options.jobs : Cli_CoreCount();
    if (slots > 1) return Cli_ConvertInParallel(selection, options, slots, detect);
    Cli_CatchInterrupts();
    JobCounts counts;
    int status = kExitOk;
    if (detect) {
        status = ConvertDetected(selection, options, counts);
    } else {
        Session session;
        status = Cli_PrepareSession(session, selection);
        if (status == kExitOk) status = ConvertJobs(session, options, options.files, nullptr, 1, counts);
    }
    if (status == kExitUsage) return status;
    Cli_PrintSummary(counts.jobs, counts.done, counts.notRun);
    if (status != kExitOk) return status;
    return !counts.refused && counts.done == counts.jobs ? kExitOk : kExitFailed;
}
