#include "signalprocessing/blockframing.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Filter positions per piece of a block that the two threads share out: a multiple of 10, so
// that every piece starts at phase 0 with the phase its outputs have in the whole interval.
constexpr int kPieceSets = 10000;

// The input buffer holds, from index 0, the interval's sets from `filtered` on, where `filtered`
// counts the filter positions done so far (filter position j is interval set j + 1000): so
// index 1000 is the next set to filter, and indices 0 ... 999 are its left neighbours. Blocks are
// filtered in multiples of 10 sets so that every filter call starts at phase 0 with the same
// phase its outputs have in the whole interval.

bool ValidFilter(const ProcessingChain &chain)
{
    const int phases = chain.outputRateTenths;
    if (phases < 1 || phases > kRateDenominator) return false;
    if (static_cast<int>(chain.filter->phases.size()) != phases) return false;
    for (const FilterPhase &phase : chain.filter->phases) {
        if (phase.offsets.size() != phase.coefficients.size()) return false;
        for (int offset : phase.offsets) {
            if (std::abs(offset) > kFilterLead) return false;
        }
    }
    return true;
}

void CopySets(const double *fromI, const double *fromQ, int count, double *toI, double *toQ)
{
    std::memcpy(toI, fromI, sizeof(double) * static_cast<std::size_t>(count));
    std::memcpy(toQ, fromQ, sizeof(double) * static_cast<std::size_t>(count));
}

// The filtering of m positions from input index kFilterLead on, shared out in pieces.
struct FilterShare {
    BlockFraming *framing;
    const ProcessingChain *chain;
    int sets;
    std::atomic<int> outCount;
};

// Filters piece k: positions k x kPieceSets ... into the outputs from that position x L / 10 on.
void FilterPiece(void *context, int piece)
{
    FilterShare &share = *static_cast<FilterShare *>(context);
    BlockFraming &framing = *share.framing;
    const int first = piece * kPieceSets;
    const int sets = std::min(kPieceSets, share.sets - first);
    const int outFirst = first / kRateDenominator * share.chain->outputRateTenths;
    int outCount = 0;
    SignalProcessing_Filter(framing.inputI.data() + kFilterLead + first, framing.inputQ.data() + kFilterLead + first,
                            sets, kRateDenominator, share.chain->outputRateTenths, *share.chain->filter,
                            framing.outputI.data() + outFirst, framing.outputQ.data() + outFirst, &outCount);
    share.outCount += outCount;
}

// Filters m positions starting at buffer index kFilterLead into the output buffers, on both
// threads where there are two.
void FilterFromLead(BlockFraming &framing, const ProcessingChain &chain, int m, int *outCount)
{
    FilterShare share{&framing, &chain, m, 0};
    SignalProcessing_RunPieces(framing.helper.get(), (m + kPieceSets - 1) / kPieceSets, FilterPiece, &share);
    *outCount = share.outCount;
}

// An interval shorter than the margin, complete in the buffer at 0 ... total - 1: repeat it
// behind itself so the filter sees total + 2000 sets of the periodic signal, then filter it
// whole.
void FilterShortInterval(BlockFraming &framing, const ProcessingChain &chain, int total, int *outCount)
{
    for (int k = total; k < total + kFilterMargin; ++k) {
        framing.inputI[k] = framing.inputI[k - total];
        framing.inputQ[k] = framing.inputQ[k - total];
    }
    FilterFromLead(framing, chain, total, outCount);
}

void FilterFramed(BlockFraming &framing, const ProcessingChain &chain, int total, int *outCount)
{
    const bool lastBlock = framing.received == total;
    if (total < kFilterMargin) {
        if (lastBlock) FilterShortInterval(framing, chain, total, outCount);
        return;
    }
    if (!framing.headKept) {
        if (framing.received < kFilterMargin) return;  // too few sets yet to start filtering
        // Nothing has been filtered or moved yet, so the buffer starts with the interval.
        CopySets(framing.inputI.data(), framing.inputQ.data(), kFilterMargin, framing.headI.data(),
                 framing.headQ.data());
        framing.headKept = true;
    }
    if (lastBlock) {
        // The head behind the end: the first 1000 sets are filtered last, with the end as their
        // left and sets 1000 ... 1999 as their right neighbours.
        CopySets(framing.headI.data(), framing.headQ.data(), kFilterMargin, framing.inputI.data() + framing.write,
                 framing.inputQ.data() + framing.write);
        FilterFromLead(framing, chain, framing.write, outCount);
        return;
    }
    // Keep 1000 sets of right neighbours after the last filtered set, and the rest of a group of
    // ten for the next block.
    int m = framing.write - kFilterMargin;
    m -= m % kRateDenominator;
    if (m <= 0) return;
    FilterFromLead(framing, chain, m, outCount);
    const int kept = framing.write - m;
    std::memmove(framing.inputI.data(), framing.inputI.data() + m, sizeof(double) * static_cast<std::size_t>(kept));
    std::memmove(framing.inputQ.data(), framing.inputQ.data() + m, sizeof(double) * static_cast<std::size_t>(kept));
    framing.write = kept;
}

}  // namespace

int SignalProcessing_InitBlockFraming(BlockFraming &framing, int blockSets)
{
    if (blockSets < 1) return 0;
    // History of at most kFilterMargin + 9 sets, one block, then the head behind it.
    const std::size_t bufferSets =
        static_cast<std::size_t>(blockSets) + 2 * kFilterMargin + (kRateDenominator - 1);
    framing.blockSets = blockSets;
    framing.inputI.assign(bufferSets, 0.0);
    framing.inputQ.assign(bufferSets, 0.0);
    framing.outputI.assign(bufferSets, 0.0);
    framing.outputQ.assign(bufferSets, 0.0);
    framing.headI.assign(kFilterMargin, 0.0);
    framing.headQ.assign(kFilterMargin, 0.0);
    if (!framing.helper && std::thread::hardware_concurrency() > 1) framing.helper = std::make_unique<HelperThread>();
    SignalProcessing_ResetBlockFraming(framing);
    return 1;
}

void SignalProcessing_ResetBlockFraming(BlockFraming &framing)
{
    framing.write = 0;
    framing.received = 0;
    framing.headKept = false;
}

BlockSlot SignalProcessing_GetBlockSlot(BlockFraming &framing)
{
    return BlockSlot{framing.inputI.data() + framing.write, framing.inputQ.data() + framing.write,
                     framing.blockSets};
}

int SignalProcessing_ProcessBlock(BlockFraming &framing, const ProcessingChain &chain, int count, int setsBefore,
                                  int total, int *outCount)
{
    if (outCount == nullptr) return 0;
    *outCount = 0;
    if (framing.inputI.empty()) return 0;
    if (count < 1 || count > framing.blockSets || setsBefore != framing.received) return 0;
    if (total < setsBefore || total - setsBefore < count) return 0;
    if (chain.filter != nullptr && !ValidFilter(chain)) return 0;

    double *blockI = framing.inputI.data() + framing.write;
    double *blockQ = framing.inputQ.data() + framing.write;
    if (chain.mirrorOn) SignalProcessing_MirrorSpectrum(blockQ, count);
    if (chain.shiftFraction != 0.0) SignalProcessing_FrequencyShift(blockI, blockQ, count, setsBefore, chain.shiftFraction);
    framing.received += count;

    if (chain.filter == nullptr) {
        CopySets(blockI, blockQ, count, framing.outputI.data(), framing.outputQ.data());
        *outCount = count;
        return 1;
    }
    framing.write += count;
    FilterFramed(framing, chain, total, outCount);
    return 1;
}

int SignalProcessing_InitConversionFilter(FilterBank &bank, double cutoffFraction, int tapCount, int windowCode,
                                          int outputRateTenths)
{
    if (outputRateTenths < 1 || outputRateTenths > kRateDenominator) return 0;
    if (tapCount < 1 || tapCount > kMaxTaps) return 0;
    // The prototype runs at L times the input rate, so the cut-off (a fraction of the input rate)
    // is a fraction L times smaller of it.
    std::vector<double> prototype(static_cast<std::size_t>(tapCount));
    if (!SignalProcessing_DesignLowpass(1.0, cutoffFraction / outputRateTenths, tapCount, prototype.data(), windowCode)) {
        return 0;
    }
    return SignalProcessing_InitFilterbank(bank, outputRateTenths, kRateDenominator, tapCount, prototype.data());
}
