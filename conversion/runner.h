#pragma once
// The conversion job runner: converts every job of the list on one worker thread (the worker
// itself is conversion/worker.h); the run control here starts, aborts and ends the run on the
// caller's thread.
//
// The worker works on its own copy of the configuration and analysis state and never touches
// the session of the user-interface thread: it reports what the jobs tree shows through
// ConversionEvents, which the caller applies to its session on its own thread, one by one and
// in order (Conversion_ApplyEvent). It only reads the run state (for an abort request). The run
// ends when the caller applies the last event, RunFinished: that thread restores the button,
// unlocks the controls and only then sets the run state back to idle, so a click in between is
// an abort request of the ending run and can never start a second one.

#include <functional>
#include <optional>
#include <string>

#include "session/session.h"

inline constexpr double kTargetPeak = 31128.65;   // 0.95 x 32767
inline constexpr double kFullScale = 32767.0;
inline constexpr double kMinimumPeak = 23000.0;
inline constexpr double kProgressInterval = 0.2;  // seconds between two progress displays

// How a job ended.
enum class JobOutcome {
    Done,
    FileExists,             // overwrite protection kept an existing output
    FormatMismatch,         // the job's container declares another sample layout than the configuration
    MetadataError,          // a configuration branch is faulty for the job's files
    IqError,
    SignalProcessingError,
    InputError,             // the input could not be opened, or shrank while it was read
    OutputError,
    Aborted,
    ClippingError,
    ScaleFactorTooLow,
};

// The status text of an outcome, as the job's status item shows it ("Status: Done", ...). A
// format mismatch adds both layouts to it: "Status: Format mismatch (file: ...; configuration: ...)".
const char *Conversion_OutcomeText(JobOutcome outcome);

struct ConversionEvent {
    enum class Kind {
        RunStarted,    // every job reset to "Status: Pending", no images, empty results
        JobActive,     // the job's status item becomes the active item
        Progress,      // status text and progress value
        Results,       // the four result texts
        JobFinished,   // final status text and image
        LogMessage,    // a line for the status log (text, icon)
        RunFinished,   // the worker has released everything; applying it ends the run
    };
    Kind kind = Kind::RunStarted;
    int runId = 0;                   // the run that sent it (RunState::runId)
    int job = -1;                    // 0-based
    std::string status;              // Progress, JobFinished: status item column 0
    double progress = 0.0;           // Progress: 0 to 100
    JobOutcome outcome = JobOutcome::Done;  // JobFinished
    int image = -1;                  // JobFinished: 0 success, 1 failure
    std::string convertedSamples;    // Results
    std::string fileSize;
    std::string runTime;
    std::string maxScaleFactor;
    std::optional<double> peak;      // JobFinished: of the last pass that ran
    std::optional<double> rms;
    double mbPerSecond = 0.0;        // JobFinished: input bytes read per second over the job
    double measuringSeconds = 0.0;   // JobFinished: the time of its measuring pass (0: none ran)
    std::string text;                // LogMessage
    StatusIcon icon = StatusIcon::Error;
};

// Receives the worker's events, on the worker's thread. It must not wait for the caller's
// thread (a window posts each event to its event loop).
using ConversionObserver = std::function<void(const ConversionEvent &)>;

// BUTTON_CONVERT pressed: starts the worker when idle, requests an abort while it runs, and
// logs "No conversion jobs defined" for an empty job list. Returns 1 when a run was started.
[[nodiscard]] int onConversion(Session &session, ConversionObserver observer);

// Requests the abort of the running conversion; the worker stops after its current block.
// Nothing happens unless a run is in progress and no abort was requested yet.
void Conversion_AbortThread(Session &session);

// Applies an event of the run in hand to the job list (and, for log messages, to the status
// log). A finished job also logs its result line, and RunFinished the run's summary (unless the
// run state says the caller reports them itself) before it ends the run (Conversion_EndRun).
// Events of any other run, and events that arrive after the run was ended, are ignored.
void Conversion_ApplyEvent(Session &session, const ConversionEvent &event);

// Takes the run back on the caller's thread: joins the worker, shows job 1 again, refreshes
// the browser, restores the convert button, unlocks the controls and sets the run state to
// idle, in that order. Nothing happens when no run is in hand.
void Conversion_EndRun(Session &session);

// Waits until the worker thread has ended (it was asked to abort, or runs to its end). The run
// is still in hand afterwards: its events can be applied, or Conversion_EndRun takes it back.
void Conversion_WaitForWorker(Session &session);
