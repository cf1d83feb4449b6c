#pragma once
// The conversion job list as data: nine tree items per job, in the order a view shows them.
// The list has no other store; the runner reads paths from it and reports into it.

#include <string>
#include <vector>

#include "base/color.h"
#include "configuration/statuslog.h"

inline constexpr int kItemsPerJob = 9;

// Offsets of a job's items.
enum JobItemOffset : int {
    kJobItem = 0,          // "Job %d"; the Value cell removes the job
    kJobInput = 1,         // "IQ File" / "I File"; input path
    kJobQ = 2,             // "" / "Q File"; Q path
    kJobOutput = 3,        // "Output"; output path
    kJobStatus = 4,        // status text; progress value 0 to 100
    kJobConvertedSamples = 5,
    kJobFileSize = 6,
    kJobRunTime = 7,
    kJobMaxScaleFactor = 8,
};

enum class JobCell { Plain, Remove, File, Progress };

struct JobTreeItem {
    std::string label;            // column 0
    std::string value;            // column 1
    int parent = -1;              // index of the parent item, -1 for a job item
    JobCell cell = JobCell::Plain;// what a press on column 1 does
    bool valueDimmed = false;
    int image = -1;               // -1 none, 0 success, 1 failure (job and status items)
    bool collapsed = false;
    Rgb background;
};

inline constexpr int kOutputSameAsInput = 0;
inline constexpr int kOutputUserDefined = 1;

struct JobList {
    std::vector<JobTreeItem> items;       // TREE; 9 per job
    int outputSource = kOutputSameAsInput;// RING_OUTPUT_SOURCE
    std::string outputDirectory;          // STRING_OUTPUTDIR (and its tool tip)
    int overwriteProtection = 0;          // CHECKBOX_OVERWRITE
};

// The icon a job's image shows (0 success, 1 failure): the jobs tree draws it, and the status log
// gives the finished job's line the same one.
inline StatusIcon Conversion_JobImageIcon(int image) { return image == 0 ? StatusIcon::Ok : StatusIcon::Error; }

inline int Gui_JobCount(const JobList &jobs) { return static_cast<int>(jobs.items.size()) / kItemsPerJob; }
