#pragma once
// Hands events from conversion workers to the command line's main thread.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

template <typename Event>
class EventQueue {
public:
    // On a worker's thread.
    void Push(const Event &event)
    {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        ready_.notify_one();
    }
    // Waits up to `timeout` for an event; false when none came.
    bool Pop(Event &event, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !events_.empty(); })) return false;
        event = std::move(events_.front());
        events_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Event> events_;
};
