#pragma once
// A thread beside the caller's that shares the caller's work on a block (its filtering), so
// that both cores compute.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class HelperThread {
public:
    using Piece = void (*)(void *context, int piece);

    HelperThread();
    ~HelperThread();  // ends the thread
    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    // Runs piece(context, k) once for every k = 0 ... pieces - 1 and returns when all have
    // returned. The caller takes pieces from the front, the helper from the back, until they
    // meet: each thread mostly works on neighbouring data, and a thread that is held up (by the
    // reading threads, or by another program) simply ends up with fewer pieces, instead of
    // keeping the other waiting. Pieces must not depend on each other.
    void Share(int pieces, Piece piece, void *context);

private:
    void Loop();
    int Take(bool fromBack);

    std::mutex mutex_;
    std::condition_variable changed_;
    Piece piece_ = nullptr;
    void *context_ = nullptr;
    bool posted_ = false;   // a share waits for the helper to take it up
    bool running_ = false;  // the helper works on a share
    bool stop_ = false;
    // The pieces not taken yet: the front index in the high half, the end in the low half.
    std::atomic<uint64_t> open_{0};
    std::thread thread_;
};

// Runs piece(context, k) for k = 0 ... pieces - 1: shared with the helper, or all on the
// caller's thread where there is none (a single core).
void SignalProcessing_RunPieces(HelperThread *helper, int pieces, HelperThread::Piece piece, void *context);
