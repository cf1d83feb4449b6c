#pragma once
// The run state that the conversion worker and the user-interface thread share.

#include <mutex>
#include <thread>

inline constexpr int kRunIdle = 0;
inline constexpr int kRunRunning = 1;
inline constexpr int kRunAbortRequested = -1;

struct RunState {
    std::mutex guiLock;               // guards conversionRunning only
    int conversionRunning = kRunIdle; // 0 idle, 1 running, -1 abort requested; idle again only
                                      // once the run was taken back (Conversion_EndRun)
    // Used by the session's own thread only:
    std::thread worker;               // the conversion worker of the current or last run
    int runId = 0;                    // the current or last run; its events carry it
    // Set before a run when other runs of the process take the other cores (quelvor-cli
    // --jobs): the worker then computes on its own thread only.
    bool coresShared = false;
    // Set before a run by a caller that reports every finished job and the run's end in lines of
    // its own (quelvor-cli): the status log then leaves those lines out.
    bool ownResultLines = false;

    RunState() = default;
    RunState(const RunState &) = delete;
    RunState &operator=(const RunState &) = delete;
    // A session never ends under a running worker.
    ~RunState()
    {
        if (worker.joinable()) worker.join();
    }
};

// Reads the run state under the lock.
inline int Gui_GetConversionRunning(RunState &run)
{
    std::lock_guard lock(run.guiLock);
    return run.conversionRunning;
}

// Writes the run state under the lock.
inline void Gui_SetConversionRunning(RunState &run, int state)
{
    std::lock_guard lock(run.guiLock);
    run.conversionRunning = state;
}
