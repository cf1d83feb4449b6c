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

// ---- The input as the filter reads it ----------------------------------------------------------

// The interval's sets by buffer set b: the buffer holds sets 0 ... stored - 1; a block given by
// a source is read from it (decoded, mirrored and shifted as it is read, so that it never has to
// pass through the buffer as a whole); behind `write` follows the head (the last block only).
struct FramedInput {
    BlockFraming *framing;
    const ProcessingChain *chain;
    SetSource block;    // fill null: the block is in the buffer
    int blockStart;     // buffer set of the block's first set
    int setsBefore;     // interval sets before the block
    int stored;         // buffer sets that hold their values
};

// Sets first ... first + n - 1 of the block from its source, mirrored and shifted.
void FillBlockSets(const FramedInput &input, int first, int n, double *i, double *q)
{
    input.block.fill(input.block.context, first, n, i, q);
    SignalProcessing_MirrorAndShift(*input.chain, i, q, n, input.setsBefore + first);
}

void FillFramed(const FramedInput &input, int64_t b, int n, double *i, double *q)
{
    const BlockFraming &framing = *input.framing;
    while (n > 0) {
        int take = n;
        if (b < input.stored) {
            take = static_cast<int>(std::min<int64_t>(n, input.stored - b));
            CopySets(framing.inputI.data() + b, framing.inputQ.data() + b, take, i, q);
        } else if (b < framing.write) {
            take = static_cast<int>(std::min<int64_t>(n, framing.write - b));
            FillBlockSets(input, static_cast<int>(b - input.blockStart), take, i, q);
        } else {
            CopySets(framing.headI.data() + (b - framing.write), framing.headQ.data() + (b - framing.write), take, i,
                     q);
        }
        b += take;
        i += take;
        q += take;
        n -= take;
    }
}

// Stores the block's sets that are not in the buffer yet.
void StoreBlock(FramedInput &input)
{
    BlockFraming &framing = *input.framing;
    if (input.stored >= framing.write) return;
    const int first = input.stored;
    FillBlockSets(input, first - input.blockStart, framing.write - first, framing.inputI.data() + first,
                  framing.inputQ.data() + first);
    input.stored = framing.write;
}

// ---- Filtering -----------------------------------------------------------------------------------

// The filtering of m positions from buffer set kFilterLead on, shared out in pieces.
struct FilterShare {
    const FramedInput *input;
    int sets;
    std::atomic<int> outCount;
};

// The input of one piece: its set 0 is buffer set `origin`.
struct PieceInput {
    const FramedInput *input;
    int64_t origin;
};

void FillPiece(const void *context, int64_t first, int n, double *i, double *q)
{
    const PieceInput &piece = *static_cast<const PieceInput *>(context);
    FillFramed(*piece.input, piece.origin + first, n, i, q);
}

// Filters piece k: positions k x kPieceSets ... into the outputs from that position x L / 10 on.
void FilterPiece(void *context, int piece)
{
    FilterShare &share = *static_cast<FilterShare *>(context);
    BlockFraming &framing = *share.input->framing;
    const ProcessingChain &chain = *share.input->chain;
    const int first = piece * kPieceSets;
    const int sets = std::min(kPieceSets, share.sets - first);
    const int outFirst = first / kRateDenominator * chain.outputRateTenths;
    const PieceInput input{share.input, kFilterLead + first};
    int outCount = 0;
    SignalProcessing_FilterSource(SetSource{FillPiece, &input}, sets, kRateDenominator, chain.outputRateTenths,
                                  *chain.filter, framing.outputI.data() + outFirst,
                                  framing.outputQ.data() + outFirst, &outCount);
    share.outCount += outCount;
}

// Filters m positions starting at buffer set kFilterLead into the output buffers, on both
// threads where there are two.
void FilterFromLead(const FramedInput &input, int m, int *outCount)
{
    FilterShare share{&input, m, 0};
    SignalProcessing_RunPieces(input.framing->helper.get(), (m + kPieceSets - 1) / kPieceSets, FilterPiece, &share);
    *outCount = share.outCount;
}

// An interval shorter than the margin, complete in the buffer at 0 ... total - 1: repeat it
// behind itself so the filter sees total + 2000 sets of the periodic signal, then filter it
// whole.
void FilterShortInterval(FramedInput &input, int total, int *outCount)
{
    BlockFraming &framing = *input.framing;
    for (int k = total; k < total + kFilterMargin; ++k) {
        framing.inputI[k] = framing.inputI[k - total];
        framing.inputQ[k] = framing.inputQ[k - total];
    }
    input.stored = total + kFilterMargin;
    FilterFromLead(input, total, outCount);
}

// Moves buffer sets m ... write - 1 to the front; the block's sets among them are stored there
// from its source.
void KeepTail(FramedInput &input, int m)
{
    BlockFraming &framing = *input.framing;
    const auto fromBuffer = static_cast<std::size_t>(std::max(0, input.stored - m));
    std::memmove(framing.inputI.data(), framing.inputI.data() + m, sizeof(double) * fromBuffer);
    std::memmove(framing.inputQ.data(), framing.inputQ.data() + m, sizeof(double) * fromBuffer);
    const int first = std::max(m, input.stored);
    if (first < framing.write) {
        FillBlockSets(input, first - input.blockStart, framing.write - first, framing.inputI.data() + first - m,
                      framing.inputQ.data() + first - m);
    }
    framing.write -= m;
    input.stored = framing.write;
}

void FilterFramed(FramedInput &input, int total, int *outCount)
{
    BlockFraming &framing = *input.framing;
    const bool lastBlock = framing.received == total;
    if (total < kFilterMargin) {
        StoreBlock(input);
        if (lastBlock) FilterShortInterval(input, total, outCount);
        return;
    }
    if (!framing.headKept) {
        if (framing.received < kFilterMargin) {  // too few sets yet to start filtering
            StoreBlock(input);
            return;
        }
        // Nothing has been filtered or moved yet, so the input starts with the interval.
        FillFramed(input, 0, kFilterMargin, framing.headI.data(), framing.headQ.data());
        framing.headKept = true;
    }
    if (lastBlock) {
        // The head behind the end: the first 1000 sets are filtered last, with the end as their
        // left and sets 1000 ... 1999 as their right neighbours.
        FilterFromLead(input, framing.write, outCount);
        return;
    }
    // Keep 1000 sets of right neighbours after the last filtered set, and the rest of a group of
    // ten for the next block.
    int m = framing.write - kFilterMargin;
    m -= m % kRateDenominator;
    if (m <= 0) {
        StoreBlock(input);
        return;
    }
    FilterFromLead(input, m, outCount);
    KeepTail(input, m);
}

}  // namespace

int SignalProcessing_InitBlockFraming(BlockFraming &framing, int blockSets, bool useHelper)
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
    if (!framing.helper && useHelper && std::thread::hardware_concurrency() > 1)
        framing.helper = std::make_unique<HelperThread>();
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

void SignalProcessing_MirrorAndShift(const ProcessingChain &chain, double *i, double *q, int n, int firstSet)
{
    if (chain.mirrorOn) SignalProcessing_MirrorSpectrum(q, n);
    if (chain.shiftFraction != 0.0) SignalProcessing_FrequencyShift(i, q, n, firstSet, chain.shiftFraction);
}

int SignalProcessing_ProcessBlock(BlockFraming &framing, const ProcessingChain &chain, int count, int setsBefore,
                                  int total, int *outCount, const SetSource *source)
{
    if (outCount == nullptr) return 0;
    *outCount = 0;
    if (framing.inputI.empty()) return 0;
    if (count < 1 || count > framing.blockSets || setsBefore != framing.received) return 0;
    if (total < setsBefore || total - setsBefore < count) return 0;
    if (chain.filter != nullptr && !ValidFilter(chain)) return 0;
    if (source != nullptr && source->fill == nullptr) return 0;

    FramedInput input{&framing, &chain, source != nullptr ? *source : SetSource{nullptr, nullptr}, framing.write,
                      setsBefore, framing.write};
    if (source == nullptr) {  // the block is in the slot, which is the buffer behind `write`
        SignalProcessing_MirrorAndShift(chain, framing.inputI.data() + framing.write,
                                        framing.inputQ.data() + framing.write, count, setsBefore);
        input.stored += count;
    }
    framing.received += count;

    if (chain.filter == nullptr) {
        if (source == nullptr) {
            CopySets(framing.inputI.data() + framing.write, framing.inputQ.data() + framing.write, count,
                     framing.outputI.data(), framing.outputQ.data());
        } else {
            FillBlockSets(input, 0, count, framing.outputI.data(), framing.outputQ.data());
        }
        *outCount = count;
        return 1;
    }
    framing.write += count;
    FilterFramed(input, total, outCount);
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
