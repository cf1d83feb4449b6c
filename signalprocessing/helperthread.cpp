#include "signalprocessing/helperthread.h"

namespace {

uint64_t Range(uint64_t front, uint64_t end)
{
    return front << 32 | end;
}

}  // namespace

HelperThread::HelperThread() : thread_([this] { Loop(); }) {}

HelperThread::~HelperThread()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void HelperThread::Share(int pieces, Piece piece, void *context)
{
    if (pieces <= 0) return;
    if (pieces == 1) {  // nothing to share
        piece(context, 0);
        return;
    }
    open_.store(Range(0, static_cast<uint64_t>(pieces)));
    {
        std::lock_guard lock(mutex_);
        piece_ = piece;
        context_ = context;
        posted_ = true;
    }
    changed_.notify_all();
    for (int k = Take(false); k >= 0; k = Take(false)) piece(context, k);
    std::unique_lock lock(mutex_);
    // A helper that has not woken up yet finds nothing left to do: the share is withdrawn
    // rather than waited for, as waking a thread can take longer than a small share.
    if (posted_) {
        posted_ = false;
        return;
    }
    changed_.wait(lock, [this] { return !running_; });
}

// The next piece from the front or from the back, or -1 when none is left.
int HelperThread::Take(bool fromBack)
{
    uint64_t open = open_.load();
    for (;;) {
        const uint64_t front = open >> 32;
        const uint64_t end = open & 0xffffffffu;
        if (front >= end) return -1;
        const uint64_t rest = fromBack ? Range(front, end - 1) : Range(front + 1, end);
        if (open_.compare_exchange_weak(open, rest)) return static_cast<int>(fromBack ? end - 1 : front);
    }
}

void HelperThread::Loop()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || posted_; });
        if (!posted_) return;
        posted_ = false;
        running_ = true;
        const Piece piece = piece_;
        void *context = context_;
        lock.unlock();
        for (int k = Take(true); k >= 0; k = Take(true)) piece(context, k);
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

void SignalProcessing_RunPieces(HelperThread *helper, int pieces, HelperThread::Piece piece, void *context)
{
    if (helper != nullptr) {
        helper->Share(pieces, piece, context);
        return;
    }
    for (int k = 0; k < pieces; ++k) piece(context, k);
}
