#include "signalprocessing/helperthread.h"

HelperThread::HelperThread() : thread_([this] { Loop(); }) {}

HelperThread::~HelperThread()
{
    Wait();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void HelperThread::Start(Task task, void *context)
{
    {
        std::lock_guard lock(mutex_);
        task_ = task;
        context_ = context;
        busy_ = true;
    }
    changed_.notify_all();
}

void HelperThread::Wait()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void HelperThread::Loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || busy_; });
        if (busy_) {
            const Task task = task_;
            void *context = context_;
            lock.unlock();
            task(context);
            lock.lock();
            busy_ = false;
            changed_.notify_all();
        } else {
            return;
        }
    }
}
