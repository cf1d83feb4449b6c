#pragma once
// Building the job list: adding selected files as jobs, default output paths, removing and
// renumbering jobs, changing a job's files, and the output directory. Changes of job 1 are
// passed on to the analysis.

#include <string>
#include <vector>

#include "session/session.h"

inline constexpr int64_t kMinimumInputBytes = 1000;

// The default output path of an input path: next to the input, or in the output directory,
// with ".wv" appended to the input's name.
std::string Gui_CreateDefaultOutputFile(const JobList &jobs, const std::string &inputPath);

// Adds the selected files in their order: qFiles 0 as input files (IQ or I), 1 as Q files
// (which fill the empty Q cells of the existing jobs first). Files under 1000 bytes, and files
// that cannot be queried ("Cannot open NAME: reason"), are logged and skipped. Returns the
// number of files taken; 0 while the controls are locked.
[[nodiscard]] int Gui_AddIQ(Session &session, int qFiles, const std::vector<std::string> &selectedPaths);

// A press on column 1 of item b of the jobs tree that needs no dialog: role 0 removes the job.
// Returns 1 when the press did something; 0 also while the controls are locked.
[[nodiscard]] int onFilesTree(Session &session, int item);

// The result of a job's file dialog (roles 1 input, 2 Q, 3 output): sets the cell of item b.
// Returns 1 when the item is a file cell; 0 also while the controls are locked.
[[nodiscard]] int Gui_SetJobPath(Session &session, int item, const std::string &path);

// Labels every job for the structure: "IQ File" and a plain, dimmed, emptied Q cell for the
// combined structure; "I File" and a clickable "Q File" cell for separate files. Returns how
// many jobs lost a Q file.
int Gui_RelabelJobs(JobList &jobs, bool separate);

// The output directory choice: "Same as input" empties the directory; a chosen directory makes
// it "User defined"; a cancelled choice (null) goes back to "Same as input". Returns 1, or 0
// while the controls are locked (nothing changes then).
[[nodiscard]] int Gui_SetOutputDirectory(Session &session, const std::string *chosenDirectory);

// CHECKBOX_OVERWRITE: stores its value as the overwrite protection. Returns 1, or 0 while the
// controls are locked.
[[nodiscard]] int onOverwriteProtection(Session &session, int checked);

// The input and Q paths of job k (0-based).
const std::string &Gui_JobInput(const JobList &jobs, int job);
const std::string &Gui_JobQ(const JobList &jobs, int job);
const std::string &Gui_JobOutput(const JobList &jobs, int job);
