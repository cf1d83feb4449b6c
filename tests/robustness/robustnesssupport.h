#pragma once
// Helpers of the robustness tests: generated inputs, conversions driven as the views drive them,
// child processes for faults that must not hit the test program itself.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "conversion/runner.h"
#include "session/session.h"

namespace robustness {

// Interleaved little-endian 16-bit pairs of a tone with the given amplitude.
std::string Tone16(int pairs, double amplitude);

// Creates a sparse input of `size` bytes that reads fast: a tone of 100,000 pairs at the start,
// zeros after it. Returns its path.
std::string SparseToneInput(const std::string &path, int64_t size);

// Headerless 16-bit files with the user comment "abc" and a rate of 1 MHz, defaults otherwise.
void StartPlain(Session &session);

// The events of one run, gathered on the worker's thread.
struct RecordedRun {
    std::mutex mutex;
    std::condition_variable finished;  // notified with the RunFinished event
    std::vector<ConversionEvent> events;
};

// Called on the worker's thread for every event, before it is recorded.
using EventHook = std::function<void(const ConversionEvent &)>;

// Starts a run whose events are recorded into `run`. Returns what onConversion returned.
int Start(Session &session, RecordedRun &run, EventHook hook = {});

// Waits for the worker's RunFinished event and applies the recorded events one by one, as the
// views do; the last one takes the run back.
void Finish(Session &session, RecordedRun &run);

// Start and Finish.
void ConvertAll(Session &session, EventHook hook = {});

// Status text and image of job `job` (0-based).
std::string Status(const Session &session, int job);
int Image(const Session &session, int job);

// Names of the temporary output files and temporary configuration files in `directory`.
std::vector<std::string> TemporaryFiles(const std::string &directory);

// Runs `body` in a forked child and returns its exit code (128 + signal when it was killed).
// The child ends with _exit, so nothing of the test program runs twice.
int RunInChild(const std::function<int()> &body);

// Drops the capabilities that let root ignore file permissions (in a child only): afterwards
// permission bits apply to this process as to any user.
bool DropFilePermissionOverride();

// Peak resident set size of this process so far, in kilobytes.
long PeakRssKilobytes();

}  // namespace robustness
