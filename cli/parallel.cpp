// quelvor-cli convert --jobs N: up to N jobs at once, each converted by a worker of its own on a
// session of its own, prepared from the same configuration and options as a serial run.

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "cli/convertjobs.h"
#include "cli/eventqueue.h"
#include "conversion/jobs.h"

namespace {

// An event of the job with this number (0-based in the whole run).
struct JobEvent {
    int job = -1;
    ConversionEvent event;
};

// A job that is being converted: its own session, with the job as its only job.
struct RunningJob {
    std::unique_ptr<Session> session;
    size_t logged = 0;  // status log rows printed so far
    std::optional<DetectionResult> detection;  // what its file said about itself
};

// The options of job `job` alone: its files, and the output path the whole list gave it, so that
// it is prepared and converted as in a serial run of the list.
ConvertOptions OptionsOfJob(const ConvertOptions &options, const JobList &plan, int job)
{
    ConvertOptions one = options;
    one.files = {Gui_JobInput(plan, job)};
    if (!Gui_JobQ(plan, job).empty()) one.files.push_back(Gui_JobQ(plan, job));
    one.outputDir.clear();
    one.output = Gui_JobOutput(plan, job);
    return one;
}

class Scheduler {
public:
    Scheduler(const Selection &selection, const ConvertOptions &options, const JobList &plan, int slots, bool detect)
        : selection_(selection), options_(options), plan_(plan), slots_(slots), detect_(detect),
          statuses_(detect ? options.files.size() : Gui_JobCount(plan))
    {
    }

    // Runs every job (or, after an interrupt, those already running) to its end.
    void Run();
    // The final status of each job; empty for a job that never ran.
    const std::vector<std::string> &Statuses() const { return statuses_; }

private:
    void Start(int job);
    bool Prepare(int job, RunningJob &running);
    void Apply(const JobEvent &tagged);
    void AbortAll();

    const Selection &selection_;
    const ConvertOptions &options_;
    const JobList &plan_;
    const int slots_;
    const bool detect_;
    std::vector<std::string> statuses_;
    std::map<int, RunningJob> running_;
    EventQueue<JobEvent> queue_;
    bool interrupted_ = false;
};

void Scheduler::Run()
{
    const int jobs = static_cast<int>(statuses_.size());
    int next = 0;
    for (;;) {
        if (Cli_TakeInterrupt() && !interrupted_) {
            interrupted_ = true;
            AbortAll();
        }
        while (!interrupted_ && next < jobs && static_cast<int>(running_.size()) < slots_) Start(next++);
        if (running_.empty()) return;
        JobEvent tagged;
        if (queue_.Pop(tagged, std::chrono::milliseconds(100))) Apply(tagged);
    }
}

// Brings the job's session up as a serial run would: the selected configuration, or the layout
// its own file describes; true when the job is its only job.
bool Scheduler::Prepare(int job, RunningJob &running)
{
    Session &session = *running.session;
    bool refused = false;
    if (!detect_) {
        const ConvertOptions one = OptionsOfJob(options_, plan_, job);
        return Cli_PrepareSession(session, selection_) == kExitOk && Cli_AddJobs(session, one, one.files, refused) == kExitOk &&
               !refused && Gui_JobCount(session.jobs) == 1;
    }
    // A detected job is its own file: it converts the data file that file names, with the output
    // a serial run gives it.
    running.detection.emplace();
    if (Cli_PrepareDetected(session, selection_, options_.files[job], *running.detection) != kExitOk) return false;
    ConvertOptions one = options_;
    one.files = {running.detection->dataPath};
    return Cli_AddJobs(session, one, one.files, refused) == kExitOk && !refused && Gui_JobCount(session.jobs) == 1;
}

void Scheduler::Start(int job)
{
    RunningJob running;
    running.session = std::make_unique<Session>();
    Session &session = *running.session;
    if (!Prepare(job, running)) {
        // The list was built from these very files a moment ago; one that went away is a failure
        // of its job only.
        Cli_PrintStatusLog(session, 0);
        std::cerr << "Job " << job + 1 << ": could not be set up  "
                  << (detect_ ? options_.files[job] : Gui_JobInput(plan_, job)) << "\n";
        statuses_[job] = "not set up";
        return;
    }
    running.logged = Cli_PrintStatusLog(session, 0);
    // As many jobs as cores keep every core busy: a job's own helper thread would only take
    // turns with the other jobs. A job with fewer beside it than cores (one file with --jobs 0,
    // say) keeps its helper, or a core would stay idle.
    const int jobsLeft = static_cast<int>(statuses_.size()) - job;  // this one and those after it
    const int busy = std::min(slots_, static_cast<int>(running_.size()) + jobsLeft);
    session.run.coresShared = busy >= Cli_CoreCount();
    session.run.ownResultLines = true;  // the job lines and the summary of Apply and the end
    const bool started = onConversion(session, [this, job](const ConversionEvent &event) {
        queue_.Push({job, event});
    });
    if (!started) {
        Cli_PrintStatusLog(session, running.logged);
        statuses_[job] = "not started";
        return;
    }
    running_.emplace(job, std::move(running));
}

void Scheduler::Apply(const JobEvent &tagged)
{
    const auto found = running_.find(tagged.job);
    if (found == running_.end()) return;
    RunningJob &running = found->second;
    const ConversionEvent &event = tagged.event;
    Conversion_ApplyEvent(*running.session, event);
    running.logged = Cli_PrintStatusLog(*running.session, running.logged);
    if (event.kind == ConversionEvent::Kind::JobFinished) {
        statuses_[tagged.job] = event.status;
        Cli_PrintJobLine(*running.session, event, tagged.job + 1);
        const DetectionResult *detection = running.detection ? &*running.detection : nullptr;
        if (options_.json) std::cout << Cli_JobJson(*running.session, event, tagged.job + 1, detection).dump() << std::endl;
    } else if (event.kind == ConversionEvent::Kind::RunFinished) {
        running_.erase(found);  // applying it took the run back
    }
}

void Scheduler::AbortAll()
{
    for (auto &[job, running] : running_) Conversion_AbortThread(*running.session);
}

}  // namespace

int Cli_CoreCount() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

int Cli_ConvertInParallel(const Selection &selection, const ConvertOptions &options, int slots, bool detect)
{
    // The whole list first, as a serial run builds it: the same refusals, messages and errors.
    // Detected jobs take their edits after their own detection, so the list is built without.
    // Detected jobs are their files, each prepared on its own when it starts.
    Selection planned = selection;
    if (detect) planned.sets.clear();
    Session plan;
    if (const int status = Cli_PrepareSession(plan, planned); status != kExitOk) return status;
    bool refused = false;
    if (detect && !options.output.empty() && options.files.size() != 1) {
        std::cerr << "quelvor-cli: --output takes exactly one job\n";
        return kExitUsage;
    }
    if (!detect) {
        if (const int status = Cli_AddJobs(plan, options, options.files, refused); status != kExitOk) return status;
        Cli_PrintStatusLog(plan, 0);
    }
    const int jobs = detect ? static_cast<int>(options.files.size()) : Gui_JobCount(plan.jobs);
    if (jobs == 0) {
        std::cerr << "No conversion jobs defined\n";
        return kExitFailed;
    }

    Cli_CatchInterrupts();
    Scheduler scheduler(selection, options, plan.jobs, slots, detect);
    scheduler.Run();
    int done = 0;
    int notRun = 0;
    for (const std::string &status : scheduler.Statuses()) {
        done += status == "Status: Done" ? 1 : 0;
        notRun += status.empty() ? 1 : 0;
    }
    Cli_PrintSummary(jobs, done, notRun);
    return !refused && done == jobs ? kExitOk : kExitFailed;
}
