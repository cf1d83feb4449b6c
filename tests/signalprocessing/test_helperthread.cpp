#include "signalprocessing/helperthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

// Counts how often each piece ran; a piece may sleep to hold up the thread that runs it.
struct Tally {
    std::vector<std::atomic<int>> runs;
    int sleepyPiece = -1;
    explicit Tally(int pieces) : runs(static_cast<std::size_t>(pieces)) {}
};

void CountPiece(void *context, int piece)
{
    Tally &tally = *static_cast<Tally *>(context);
    if (piece == tally.sleepyPiece) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ++tally.runs[static_cast<std::size_t>(piece)];
}

void ExpectEachPieceRanOnce(const Tally &tally)
{
    for (std::size_t k = 0; k < tally.runs.size(); ++k) EXPECT_EQ(tally.runs[k].load(), 1) << "piece " << k;
}

}  // namespace

TEST(HelperThread, RunsEveryPieceOnceWhateverTheSplit)
{
    HelperThread helper;
    // Repeated shares of many sizes, some with a piece that holds up whichever thread took it
    // (the other one then takes the rest), and shares so small that the helper has not woken up
    // before the caller is done.
    for (int round = 0; round < 200; ++round) {
        const int pieces = round % 17;
        Tally tally(pieces);
        if (round % 10 == 3) tally.sleepyPiece = pieces / 2;
        SignalProcessing_RunPieces(&helper, pieces, CountPiece, &tally);
        ExpectEachPieceRanOnce(tally);
    }
}

TEST(HelperThread, RunsThePiecesOnTheCallersThreadWithoutAHelper)
{
    Tally tally(9);
    SignalProcessing_RunPieces(nullptr, 9, CountPiece, &tally);
    ExpectEachPieceRanOnce(tally);
}
