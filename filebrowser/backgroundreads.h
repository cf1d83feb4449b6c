#pragma once
// Reads of the disk on threads of their own, each result handed to the user-interface thread.
//
// Nobody ever waits for these threads: a read that never returns (a network mount that does
// not answer) keeps its own thread and nothing else. Once the owner is destroyed, results that
// arrive later are dropped, and a result already queued for the owner goes with it.

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

class BackgroundReads {
public:
    // `receiver` (a QObject of the user-interface thread, usually the owner) gets the results.
    explicit BackgroundReads(QObject *receiver) : inbox_(std::make_shared<Inbox>()) { inbox_->receiver = receiver; }
    ~BackgroundReads()
    {
        const std::scoped_lock lock(inbox_->mutex);
        inbox_->receiver = nullptr;
    }
    BackgroundReads(const BackgroundReads &) = delete;
    BackgroundReads &operator=(const BackgroundReads &) = delete;

    // Runs `read` on a new thread; `deliver` gets its result later on the receiver's thread,
    // unless the owner is gone by then. False when no thread could be started (nothing runs).
    template <typename Read, typename Deliver>
    [[nodiscard]] bool start(Read read, Deliver deliver)
    {
        try {
            std::thread([inbox = inbox_, read = std::move(read), deliver = std::move(deliver)]() mutable {
                auto result = read();
                const std::scoped_lock lock(inbox->mutex);
                if (!inbox->receiver) return;
                QMetaObject::invokeMethod(
                    inbox->receiver,
                    [deliver = std::move(deliver), result = std::move(result)]() mutable { deliver(std::move(result)); },
                    Qt::QueuedConnection);
            }).detach();
            return true;
        } catch (const std::system_error &) {
            return false;
        }
    }

private:
    struct Inbox {
        std::mutex mutex;
        QObject *receiver = nullptr;  // null once the owner is gone
    };
    std::shared_ptr<Inbox> inbox_;
};
