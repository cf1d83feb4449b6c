#pragma once
// What the serial and the parallel conversion of quelvor-cli convert share: building the job
// list from the options, the line and the JSON object of a finished job, the summary, and
// Ctrl+C.

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "conversion/runner.h"

// Adds the jobs: one per file for a combined structure, pairs of I and Q files for separate;
// applies the output directory, the overwrite protection and --output. `refused` tells whether
// a file was not taken. Returns kExitOk, or the exit status of a usage or set-up error (said on
// stderr).
int Cli_AddJobs(Session &session, const ConvertOptions &options, const std::vector<std::string> &files, bool &refused);

// Brings `session` up for one file whose layout is detected: the selection without its edits,
// the detection applied (what it found is said on stderr), then the edits on top; a value an
// edit changed is marked as the user's in `detection`. Returns kExitOk or the status of the
// error said on stderr.
int Cli_PrepareDetected(Session &session, const Selection &selection, const std::string &file,
                        DetectionResult &detection);

// The line on stderr and the JSON object of a finished job; `event.job` is the job in
// `session`, `number` the job's number in the whole run (1-based). The JSON names the detected
// layout and the source of each value (`detection` may be null: both are null then).
void Cli_PrintJobLine(const Session &session, const ConversionEvent &event, int number);
nlohmann::ordered_json Cli_JobJson(const Session &session, const ConversionEvent &event, int number,
                                   const DetectionResult *detection);

// The jobs of a conversion by how they ended.
struct JobCounts {
    int jobs = 0;
    int done = 0;
    int notRun = 0;
    bool refused = false;  // a file was not taken as a job
};

// The last line of a conversion on stderr: how many jobs there were, ended "Status: Done",
// ended otherwise, and never ran (after an abort, or jobs that could not be set up).
void Cli_PrintSummary(int jobs, int done, int notRun);

// From here on Ctrl+C (SIGINT) and SIGTERM are remembered instead of ending the process.
void Cli_CatchInterrupts();
// True once for every interrupt since the last call.
bool Cli_TakeInterrupt();

// The number of cores (at least 1): the jobs of --jobs 0.
int Cli_CoreCount();

// Runs the jobs of the options up to `slots` at a time, each on a session of its own prepared as
// a serial run prepares it (with `detect`, from its own file's layout); prints each job's line
// (and JSON) as it finishes and the summary at the end. Ctrl+C aborts every running job and
// starts no more. Returns the exit status a serial run would return.
int Cli_ConvertInParallel(const Selection &selection, const ConvertOptions &options, int slots, bool detect);
