#include "conversion/jobs.h"

#include <array>
#include <cstring>
#include <string_view>

#include "configuration/choices.h"
#include "parser/analysis.h"
#include "parser/inputfiles.h"

namespace {

constexpr Rgb kJobRowColor{230, 230, 230};
constexpr Rgb kOddChildColor{250, 250, 250};
constexpr Rgb kEvenChildColor{245, 245, 245};

constexpr std::array<std::string_view, 4> kResultLabels{"Converted Samples", "File Size", "Run Time [hh:mm:ss.ms]",
                                                        "Max Scale Factor"};

bool IsSeparate(const Session &session) { return std::string_view(session.record.structure) == text::kSeparate; }

// The file name part of a path: after its last "/", or the whole path.
std::string FileNamePart(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why a selected file cannot become a job; empty when it can. A file that is gone since the
// browser listed it says so, rather than being called small.
std::string RefusalOf(const std::string &path)
{
    int error = 0;
    const int64_t size = Parser_QueryFileSize(path.c_str(), &error);
    if (error != 0) return "Cannot open " + FileNamePart(path) + ": " + std::strerror(error);
    if (size < kMinimumInputBytes) return "File size <1kB: " + FileNamePart(path);
    return {};
}

void SetQCell(JobTreeItem &item, bool separate)
{
    item.label = separate ? "Q File" : "";
    item.cell = separate ? JobCell::File : JobCell::Plain;
    item.valueDimmed = !separate;
    if (!separate) item.value.clear();
}

void RenumberFrom(JobList &jobs, int first)
{
    for (size_t index = first; index < jobs.items.size(); index += kItemsPerJob)
        jobs.items[index].label = "Job " + std::to_string(index / kItemsPerJob + 1);
}

// Tells the analysis that job 1's files may have changed.
void AnalyseFirstJob(Session &session)
{
    if (session.jobs.items.empty())
        Parser_Job1Changed(session, nullptr, nullptr);
    else
        Parser_Job1Changed(session, Gui_JobInput(session.jobs, 0).c_str(), Gui_JobQ(session.jobs, 0).c_str());
}

// Appends one job; pathI or pathQ may be null (the cell stays empty). The caller announces the
// new rows.
void Gui_AddNewJob(Session &session, const char *pathI, const char *pathQ, const char *outputPath)
{
    const bool separate = IsSeparate(session);
    JobList &jobs = session.jobs;
    const int first = static_cast<int>(jobs.items.size());
    if (first == 0) Parser_Job1Changed(session, pathI, pathQ);

    std::array<JobTreeItem, kItemsPerJob> job;
    job[kJobItem].label = "Job " + std::to_string(first / kItemsPerJob + 1);
    job[kJobItem].cell = JobCell::Remove;
    job[kJobInput].label = separate ? "I File" : "IQ File";
    job[kJobInput].cell = JobCell::File;
    job[kJobInput].value = pathI ? pathI : "";
    SetQCell(job[kJobQ], separate);
    job[kJobQ].value = separate && pathQ ? pathQ : "";
    job[kJobOutput].label = "Output";
    job[kJobOutput].cell = JobCell::File;
    job[kJobOutput].value = outputPath ? outputPath : "";
    job[kJobStatus].label = "Status: Pending";
    job[kJobStatus].cell = JobCell::Progress;
    job[kJobStatus].collapsed = true;
    for (int offset = kJobStatus; offset < kItemsPerJob; ++offset) job[offset].valueDimmed = true;
    for (int offset = 0; offset < static_cast<int>(kResultLabels.size()); ++offset)
        job[kJobConvertedSamples + offset].label = kResultLabels[offset];

    for (int offset = 0; offset < kItemsPerJob; ++offset) {
        JobTreeItem &item = job[offset];
        item.parent = offset == kJobItem ? -1 : (offset <= kJobStatus ? first : first + kJobStatus);
        item.background = offset == 0 ? kJobRowColor : (offset % 2 == 1 ? kOddChildColor : kEvenChildColor);
        jobs.items.push_back(std::move(item));
    }
}

void NotifyJobsChanged(const Session &session, int firstJob, int count)
{
    Session_NotifyRows(session, SessionChange::Jobs, RowChange::Changed, firstJob, count);
}

}  // namespace

const std::string &Gui_JobInput(const JobList &jobs, int job) { return jobs.items[job * kItemsPerJob + kJobInput].value; }
const std::string &Gui_JobQ(const JobList &jobs, int job) { return jobs.items[job * kItemsPerJob + kJobQ].value; }
const std::string &Gui_JobOutput(const JobList &jobs, int job) { return jobs.items[job * kItemsPerJob + kJobOutput].value; }

std::string Gui_CreateDefaultOutputFile(const JobList &jobs, const std::string &inputPath)
{
    if (jobs.outputDirectory.empty()) return inputPath + ".wv";
    const size_t slash = inputPath.rfind('/');
    // A bare name gets a separator, so that the output lands inside the output directory.
    const std::string name = slash == std::string::npos ? "/" + inputPath : inputPath.substr(slash);
    return jobs.outputDirectory + name + ".wv";
}

int Gui_AddIQ(Session &session, int qFiles, const std::vector<std::string> &selectedPaths)
{
    if (Session_Locked(session)) return 0;
    const bool separate = IsSeparate(session);
    const int jobsBefore = Gui_JobCount(session.jobs);
    int nextQ = 0;
    int taken = 0;
    for (const std::string &path : selectedPaths) {
        if (const std::string refusal = RefusalOf(path); !refusal.empty()) {
            Gui_UpdateStatus(session, refusal, StatusIcon::Error);
            continue;
        }
        ++taken;
        const std::string output = Gui_CreateDefaultOutputFile(session.jobs, path);
        if (!(separate && qFiles == 1)) {
            Gui_AddNewJob(session, path.c_str(), nullptr, output.c_str());
            continue;
        }
        while (nextQ < jobsBefore && !Gui_JobQ(session.jobs, nextQ).empty()) ++nextQ;
        if (nextQ < jobsBefore) {
            session.jobs.items[nextQ * kItemsPerJob + kJobQ].value = path;
            NotifyJobsChanged(session, nextQ, 1);
            if (nextQ == 0) Parser_Job1Changed(session, Gui_JobInput(session.jobs, 0).c_str(), path.c_str());
            ++nextQ;
        } else {
            Gui_AddNewJob(session, nullptr, path.c_str(), output.c_str());
        }
    }
    const int jobsAfter = Gui_JobCount(session.jobs);
    Session_NotifyRows(session, SessionChange::Jobs, RowChange::Inserted, jobsBefore, jobsAfter - jobsBefore);
    return taken;
}

int onFilesTree(Session &session, int item)
{
    if (Session_Locked(session)) return 0;
    JobList &jobs = session.jobs;
    if (item < 0 || item >= static_cast<int>(jobs.items.size()) || item % kItemsPerJob != kJobItem) return 0;
    const int job = item / kItemsPerJob;
    // The views see the row go while its data is still there, then the renumbered rows after it.
    Session_NotifyRows(session, SessionChange::Jobs, RowChange::Removing, job, 1);
    jobs.items.erase(jobs.items.begin() + item, jobs.items.begin() + item + kItemsPerJob);
    for (size_t index = item; index < jobs.items.size(); ++index)
        if (jobs.items[index].parent >= item) jobs.items[index].parent -= kItemsPerJob;
    Session_NotifyRows(session, SessionChange::Jobs, RowChange::Removed, job, 1);
    RenumberFrom(jobs, item);
    NotifyJobsChanged(session, job, Gui_JobCount(jobs) - job);
    if (jobs.items.empty() || item == 0) AnalyseFirstJob(session);
    return 1;
}

int Gui_SetJobPath(Session &session, int item, const std::string &path)
{
    if (Session_Locked(session)) return 0;
    JobList &jobs = session.jobs;
    if (item < 0 || item >= static_cast<int>(jobs.items.size())) return 0;
    const int role = item % kItemsPerJob;
    if (role != kJobInput && role != kJobOutput && !(role == kJobQ && jobs.items[item].cell == JobCell::File))
        return 0;
    jobs.items[item].value = path;
    NotifyJobsChanged(session, item / kItemsPerJob, 1);
    if (item < kItemsPerJob && role != kJobOutput) AnalyseFirstJob(session);
    return 1;
}

int Gui_RelabelJobs(JobList &jobs, bool separate)
{
    int dropped = 0;
    for (size_t first = 0; first < jobs.items.size(); first += kItemsPerJob) {
        jobs.items[first + kJobInput].label = separate ? "I File" : "IQ File";
        dropped += !separate && !jobs.items[first + kJobQ].value.empty() ? 1 : 0;
        SetQCell(jobs.items[first + kJobQ], separate);
    }
    return dropped;
}

int Gui_SetOutputDirectory(Session &session, const std::string *chosenDirectory)
{
    if (Session_Locked(session)) return 0;
    JobList &jobs = session.jobs;
    if (chosenDirectory && !chosenDirectory->empty()) {
        jobs.outputDirectory = *chosenDirectory;
        jobs.outputSource = kOutputUserDefined;
    } else {
        jobs.outputDirectory.clear();
        jobs.outputSource = kOutputSameAsInput;
    }
    Session_Notify(session, SessionChange::Jobs);
    return 1;
}

int onOverwriteProtection(Session &session, int checked)
{
    if (Session_Locked(session)) return 0;
    session.jobs.overwriteProtection = checked ? 1 : 0;
    Session_Notify(session, SessionChange::Jobs);
    return 1;
}
