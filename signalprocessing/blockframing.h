#pragma once
// Block framing of a conversion: carries one interval, block by block, through spectrum mirror,
// frequency shift and the low-pass filter with rate change. With the filter on, the interval is
// filtered as one period of a repeating signal, so the output loops without a seam:
//
//   out[t] = 0.0 + sum over the entries of phase t mod L of
//            coefficient x x[(t x 10 / L + offset + 1000) mod total]
//
// for t = 0 ... floor(total x L / 10) - 1, x the (mirrored, shifted) interval, L the output rate
// in tenths. The output starts with the set centred on interval position 1000 (mod total) and
// ends with the filtered first 1000 sets. Blocks of any size give the same values, bit for bit,
// as the whole interval in one piece; intervals shorter than the 2000-set margin are extended
// periodically from the sets they have.
//
// The buffers are allocated once by SignalProcessing_InitBlockFraming; nothing is allocated per
// block. One BlockFraming serves one thread; on a machine with two or more cores it keeps a
// helper thread that takes a share of each block's filtering (every output is computed exactly
// as in one piece, so the result does not change).

#include <memory>
#include <vector>

#include "signalprocessing/dsp.h"
#include "signalprocessing/helperthread.h"

inline constexpr int kBlockSets = 100000;       // the most sets per block
// Blocks of a filtered conversion: larger, so that the two threads that filter each block meet
// less often (each hand-over wakes a thread). The results do not depend on the block size.
inline constexpr int kFilterBlockSets = 200000;
inline constexpr int kFilterMargin = 2000;      // history kept in front of a block; sets kept as head
inline constexpr int kFilterLead = 1000;        // the filter is fed from this far into the buffer
inline constexpr int kRateDenominator = 10;     // output rate = input rate x L / 10
inline constexpr int kMaxTaps = 1024;           // the longest conversion filter

// What the chain does to every block of an interval; the same for the whole interval.
struct ProcessingChain {
    int mirrorOn = 0;                    // 1: negate Q first
    double shiftFraction = 0.0;          // cycles per set; 0.0: no shift
    const FilterBank *filter = nullptr;  // nullptr: no low-pass and no rate change
    int outputRateTenths = 10;           // L, 1 to 10; the filter bank's phase count
};

struct BlockFraming {
    int blockSets = kBlockSets;
    // Input: up to kFilterMargin (+ kRateDenominator - 1) sets of history and one block (with
    // a block source, only its sets kept for the next block), or a short interval repeated.
    std::vector<double> inputI, inputQ;
    std::vector<double> outputI, outputQ;  // the processed block
    std::vector<double> headI, headQ;      // the interval's first kFilterMargin sets
    int write = 0;                          // where the next block goes in inputI / inputQ
    int received = 0;                       // sets of the interval received so far
    bool headKept = false;
    std::unique_ptr<HelperThread> helper;  // null on a single core
};

// Where the reader stores the next block: at most `capacity` sets at i[0...], q[0...].
struct BlockSlot {
    double *i;
    double *q;
    int capacity;
};

// Allocates the buffers for blocks of at most blockSets sets (1 or more) and resets the
// framing. With useHelper (and two or more cores) it starts the helper thread; without, the
// caller's thread filters alone (other conversions keep the other cores busy). Returns 1, or 0
// for blockSets < 1.
[[nodiscard]] int SignalProcessing_InitBlockFraming(BlockFraming &framing, int blockSets = kBlockSets,
                                                   bool useHelper = true);

// Starts a new interval (a pass over a job): forgets the history and the head.
void SignalProcessing_ResetBlockFraming(BlockFraming &framing);

// The slot for the next block of the interval.
BlockSlot SignalProcessing_GetBlockSlot(BlockFraming &framing);

// Mirrors and shifts n sets in place as the chain says; firstSet is the number of the interval's
// sets before them, which gives the shift its phase.
void SignalProcessing_MirrorAndShift(const ProcessingChain &chain, double *i, double *q, int n, int firstSet);

// Processes the `count` sets of the next block, just stored in the slot or given by `source`
// (not null; its set 0 is the block's first set): mirror, shift (phase counted from the interval's start, setsBefore = the sets of
// the interval before this block), then either a plain copy (no filter) or the framed filtering.
// The result is in outputI / outputQ, *outCount pairs; with the filter on it may be 0 for a block
// while the framing still collects sets. Over the whole interval the filter delivers
// floor(total x L / 10) pairs. The framing takes a source's sets as the filter needs them, on
// the caller's and the helper's thread at once, some of them more than once, and only during
// this call; the sets must not change meanwhile.
// Returns 1, or 0 (with *outCount = 0) when the framing is not initialised, count is not
// 1 ... blockSets, setsBefore is not the number of sets received so far, the block reaches past
// `total`, or the filter bank does not hold outputRateTenths phases reaching at most
// kFilterLead sets.
[[nodiscard]] int SignalProcessing_ProcessBlock(BlockFraming &framing, const ProcessingChain &chain, int count, int setsBefore,
                                  int total, int *outCount, const SetSource *source = nullptr);

// Builds the conversion filter: a prototype of tapCount coefficients designed at L times the
// input rate (cut-off cutoffFraction / L of it) with the given window, split into L phases for
// the rate change to L / 10. Returns 1, or 0 when L is not 1 ... 10, tapCount not
// 1 ... kMaxTaps or the design fails.
[[nodiscard]] int SignalProcessing_InitConversionFilter(FilterBank &bank, double cutoffFraction, int tapCount, int windowCode,
                                          int outputRateTenths);
