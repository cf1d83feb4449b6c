#pragma once
// A thread beside the caller's that runs one task at a time: the filter hands it half of a
// block, so that both cores filter.

#include <condition_variable>
#include <mutex>
#include <thread>

class HelperThread {
public:
    using Task = void (*)(void *context);

    HelperThread();
    ~HelperThread();  // waits for a running task, then ends the thread
    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    // Runs task(context) on the helper thread. Call Wait before the next Start.
    void Start(Task task, void *context);
    // Waits until the task of the last Start has returned.
    void Wait();

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    Task task_ = nullptr;
    void *context_ = nullptr;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};
