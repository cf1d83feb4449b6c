#pragma once
// The conversion job runner: converts every job of the list on one worker thread, block by
// block, with the measuring and writing passes, signal processing, level measurement, and the
// acceptance or rejection of each output file.
//
// The worker works on its own copy of the configuration and analysis state and never touches
// the session of the user-interface thread: it reports what the jobs tree shows through
// ConversionEvents, which the caller applies to its job list on its own thread
// (Conversion_ApplyEvent), and it writes nothing but the run state.

#include <functional>
#include <optional>
#include <string>

#include "configuration/session.h"

inline constexpr double kTargetPeak = 31128.65;   // 0.95 x 32767
inline constexpr double kFullScale = 32767.0;
inline constexpr double kMinimumPeak = 23000.0;
inline constexpr double kProgressInterval = 0.2;  // seconds between two progress displays

struct ConversionEvent {
    enum class Kind {
        RunStarted,    // every job reset to "Status: Pending", no images, empty results
        JobActive,     // the job's status item becomes the active item
        Progress,      // status text and progress value
        Results,       // the four result texts
        JobFinished,   // final status text and image
        LogMessage,    // a line for the status log (text, icon)
        RunFinished,   // the worker has released everything; the caller ends the run
    };
    Kind kind = Kind::RunStarted;
    int job = -1;                    // 0-based
    std::string status;              // Progress, JobFinished: status item column 0
    double progress = 0.0;           // Progress: 0 to 100
    int image = -1;                  // JobFinished: 0 success, 1 failure
    std::string convertedSamples;    // Results
    std::string fileSize;
    std::string runTime;
    std::string maxScaleFactor;
    std::optional<double> peak;      // JobFinished: of the last pass that ran
    std::optional<double> rms;
    double mbPerSecond = 0.0;        // JobFinished: input bytes read per second over the job
    std::string text;                // LogMessage
    StatusIcon icon = StatusIcon::Error;
};

// Receives the worker's events, on the worker's thread.
using ConversionObserver = std::function<void(const ConversionEvent &)>;

// BUTTON_CONVERT pressed: starts the worker when idle, requests an abort while it runs, and
// logs "No conversion jobs defined" for an empty job list. Returns 1 when a run was started.
int onConversion(Session &session, ConversionObserver observer);

// Requests the abort of the running conversion; the worker stops after its current block.
void Conversion_AbortThread(Session &session);

// Applies an event to the job list (and, for log messages, to the status log).
void Conversion_ApplyEvent(Session &session, const ConversionEvent &event);

// The user-interface side of the end of a run, after RunFinished: restores the convert button
// and unlocks the controls. Joins the finished worker thread.
void Conversion_EndRun(Session &session);

// Waits until the worker has stopped (the close of the main window): polls the run state every
// 200 ms, then joins the thread.
void Conversion_WaitForWorker(Session &session);
