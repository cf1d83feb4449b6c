#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "signalprocessing/blockframing.h"

namespace {

constexpr double kPi = 3.141592653589793;

struct Interval {
    std::vector<double> i, q;
};

Interval RandomInterval(int total, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-20000.0, 20000.0);
    Interval interval{std::vector<double>(total), std::vector<double>(total)};
    for (int k = 0; k < total; ++k) {
        interval.i[k] = value(generator);
        interval.q[k] = value(generator);
    }
    return interval;
}

FilterBank ConversionFilter(int taps, int outputRateTenths, int window = kWindowBlackman, double cutoff = 0.4)
{
    FilterBank bank;
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, cutoff, taps, window, outputRateTenths), 1);
    return bank;
}

// Written independently of the framing: the interval filtered as one period of a repeating
// signal, output t centred on interval set t x 10 / L + `lead` (mod total), each sum in entry
// order.
Interval CyclicFilter(const Interval &x, const FilterBank &bank, int lead)
{
    const int64_t total = static_cast<int64_t>(x.i.size());
    const int phases = static_cast<int>(bank.phases.size());
    const int64_t count = total * phases / 10;
    Interval out{std::vector<double>(count), std::vector<double>(count)};
    for (int64_t t = 0; t < count; ++t) {
        const FilterPhase &phase = bank.phases[t % phases];
        double sumI = 0.0, sumQ = 0.0;
        for (std::size_t e = 0; e < phase.coefficients.size(); ++e) {
            int64_t position = (t * 10 / phases + phase.offsets[e] + lead) % total;
            if (position < 0) position += total;
            sumI += phase.coefficients[e] * x.i[position];
            sumQ += phase.coefficients[e] * x.q[position];
        }
        out.i[t] = sumI;
        out.q[t] = sumQ;
    }
    return out;
}

// The sets of one block, read straight from the interval (a block source).
struct IntervalBlock {
    const Interval *x;
    int first;  // the block's first set in the interval
};

void FillFromInterval(const void *context, int64_t first, int n, double *i, double *q)
{
    const IntervalBlock &block = *static_cast<const IntervalBlock *>(context);
    std::copy_n(block.x->i.begin() + block.first + first, n, i);
    std::copy_n(block.x->q.begin() + block.first + first, n, q);
}

// Feeds the interval through the framing in blocks of the given sizes (the last one cut to
// what is left, sizes repeated as needed) and collects the output. The blocks are stored in the
// slot, or with fromSource given to the framing as a source that it reads as it needs them.
Interval FrameInBlocks(const Interval &x, const ProcessingChain &chain, int blockSets, const std::vector<int> &sizes,
                       bool fromSource = false)
{
    BlockFraming framing;
    EXPECT_EQ(SignalProcessing_InitBlockFraming(framing, blockSets), 1);
    const int total = static_cast<int>(x.i.size());
    Interval out;
    int processed = 0;
    for (std::size_t b = 0; processed < total; ++b) {
        const BlockSlot slot = SignalProcessing_GetBlockSlot(framing);
        const int count = std::min({sizes[b % sizes.size()], slot.capacity, total - processed});
        IntervalBlock block{&x, processed};
        const SetSource source{FillFromInterval, &block};
        if (!fromSource) {
            std::copy_n(x.i.begin() + processed, count, slot.i);
            std::copy_n(x.q.begin() + processed, count, slot.q);
        }
        int outCount = -1;
        EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, count, processed, total, &outCount,
                                                fromSource ? &source : nullptr),
                  1);
        out.i.insert(out.i.end(), framing.outputI.begin(), framing.outputI.begin() + outCount);
        out.q.insert(out.q.end(), framing.outputQ.begin(), framing.outputQ.begin() + outCount);
        processed += count;
    }
    return out;
}

std::vector<int> RandomSizes(int low, int high, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> size(low, high);
    std::vector<int> sizes(64);
    for (int &s : sizes) s = size(generator);
    return sizes;
}

}  // namespace

struct FramingCase {
    int outputRateTenths;
    int taps;
    int total;
};

void PrintTo(const FramingCase &c, std::ostream *os)
{
    *os << "L=" << c.outputRateTenths << " taps=" << c.taps << " total=" << c.total;
}

class FramingEqualsCyclicFilter : public ::testing::TestWithParam<FramingCase> {};

TEST_P(FramingEqualsCyclicFilter, ForBlocksSplittingTheIntervalAnywhere)
{
    const FramingCase c = GetParam();
    const FilterBank bank = ConversionFilter(c.taps, c.outputRateTenths);
    const ProcessingChain chain{0, 0.0, &bank, c.outputRateTenths};
    const Interval x = RandomInterval(c.total, 11);
    const Interval expected = CyclicFilter(x, bank, kFilterLead);
    ASSERT_EQ(expected.i.size(), static_cast<std::size_t>(static_cast<int64_t>(c.total) * c.outputRateTenths / 10));

    for (unsigned seed = 1; seed <= 3; ++seed) {
        const Interval framed = FrameInBlocks(x, chain, 7000, RandomSizes(3000, 7000, seed));
        ASSERT_EQ(framed.i, expected.i) << "seed " << seed;
        ASSERT_EQ(framed.q, expected.q) << "seed " << seed;
    }
    // Blocks shorter than the margin: the framing collects them before it starts.
    const Interval small = FrameInBlocks(x, chain, 700, RandomSizes(1, 700, 4));
    EXPECT_EQ(small.i, expected.i);
    EXPECT_EQ(small.q, expected.q);
    // Blocks read from a source as the filter needs them, large and small.
    for (const int blockSets : {7000, 700}) {
        const Interval sourced = FrameInBlocks(x, chain, blockSets, RandomSizes(1, blockSets, 5), true);
        EXPECT_EQ(sourced.i, expected.i) << "blocks up to " << blockSets;
        EXPECT_EQ(sourced.q, expected.q) << "blocks up to " << blockSets;
    }
}

INSTANTIATE_TEST_SUITE_P(RatesTapsAndLengths, FramingEqualsCyclicFilter,
                         ::testing::Values(FramingCase{10, 256, 23457}, FramingCase{5, 1024, 30001},
                                           FramingCase{9, 256, 23457}, FramingCase{3, 100, 12345},
                                           FramingCase{1, 1024, 20010}, FramingCase{7, 10, 2000},
                                           FramingCase{10, 256, 1999}, FramingCase{4, 256, 500},
                                           FramingCase{10, 1024, 8}, FramingCase{3, 1024, 8}));

TEST(BlockFraming, FullSizedBlocksGiveTheDocumentedCounts)
{
    // 250,001 sets at 5/10 with 1000 taps: 98,000 + 100,000 + 52,001 filtered sets.
    const FilterBank bank = ConversionFilter(1000, 5);
    const ProcessingChain chain{0, 0.0, &bank, 5};
    const Interval x = RandomInterval(250001, 12);
    const Interval framed = FrameInBlocks(x, chain, kBlockSets, {kBlockSets});
    EXPECT_EQ(framed.i.size(), 125000u);
    const Interval expected = CyclicFilter(x, bank, kFilterLead);
    EXPECT_EQ(framed.i, expected.i);
    EXPECT_EQ(framed.q, expected.q);

    const FilterBank sameRate = ConversionFilter(256, 10);
    const ProcessingChain sameRateChain{0, 0.0, &sameRate, 10};
    EXPECT_EQ(FrameInBlocks(x, sameRateChain, kBlockSets, {kBlockSets}).i.size(), 250001u);
}

TEST(BlockFraming, OneBlockIntervalIsTheInputRotatedByTheLeadFilteredCyclically)
{
    const FilterBank bank = ConversionFilter(512, 6);
    const ProcessingChain chain{0, 0.0, &bank, 6};
    const Interval x = RandomInterval(54321, 13);
    Interval rotated = x;
    std::rotate(rotated.i.begin(), rotated.i.begin() + kFilterLead, rotated.i.end());
    std::rotate(rotated.q.begin(), rotated.q.begin() + kFilterLead, rotated.q.end());
    const Interval expected = CyclicFilter(rotated, bank, 0);
    const Interval framed = FrameInBlocks(x, chain, kBlockSets, {kBlockSets});
    EXPECT_EQ(framed.i, expected.i);
    EXPECT_EQ(framed.q, expected.q);
}

TEST(BlockFraming, ConversionFilterPassesTheBandAndStopsWhatLiesAbove)
{
    // Output at 5/10 of the input rate, cut-off 0.2 of the input rate. Each phase sums to about
    // 1 / L of the prototype's gain, so a tone in the band comes out at about 1 / 5 of its level.
    const FilterBank bank = ConversionFilter(1024, 5, kWindowBlackman, 0.2);
    const ProcessingChain chain{0, 0.0, &bank, 5};
    for (const double tone : {0.05, 0.35}) {
        Interval x{std::vector<double>(20000), std::vector<double>(20000)};
        for (int k = 0; k < 20000; ++k) {
            x.i[k] = std::cos(2.0 * kPi * tone * k);
            x.q[k] = std::sin(2.0 * kPi * tone * k);
        }
        const Interval out = FrameInBlocks(x, chain, kBlockSets, {kBlockSets});
        double peak = 0.0;
        for (std::size_t t = 0; t < out.i.size(); ++t) peak = std::max(peak, std::hypot(out.i[t], out.q[t]));
        if (tone < 0.2) {
            EXPECT_NEAR(peak, 0.2, 0.2 * 0.01);
        } else {
            EXPECT_LT(peak, 0.2 * 1e-3);
        }
    }
}

TEST(BlockFraming, WithoutFilterTheBlockIsMirroredShiftedAndCopied)
{
    // A tone at +0.1 mirrored to -0.1, then shifted by 0.25 to +0.15; the phase runs on across
    // the blocks.
    const int total = 25000;
    Interval x{std::vector<double>(total), std::vector<double>(total)};
    for (int k = 0; k < total; ++k) {
        x.i[k] = std::cos(2.0 * kPi * 0.1 * k);
        x.q[k] = std::sin(2.0 * kPi * 0.1 * k);
    }
    const ProcessingChain chain{1, 0.25, nullptr, 10};
    const Interval out = FrameInBlocks(x, chain, 7000, RandomSizes(1, 7000, 5));
    ASSERT_EQ(out.i.size(), static_cast<std::size_t>(total));
    for (int k = 0; k < total; k += 97) {
        EXPECT_NEAR(out.i[k], std::cos(2.0 * kPi * 0.15 * k), 1e-8) << k;
        EXPECT_NEAR(out.q[k], std::sin(2.0 * kPi * 0.15 * k), 1e-8) << k;
    }
}

TEST(BlockFraming, MirrorAndShiftComeBeforeTheFilter)
{
    const Interval x = RandomInterval(9000, 14);
    Interval prepared = x;
    SignalProcessing_MirrorSpectrum(prepared.q.data(), 9000);
    SignalProcessing_FrequencyShift(prepared.i.data(), prepared.q.data(), 9000, 0, -0.125);
    for (const bool fromSource : {false, true}) {
        for (const int rate : {8, 5}) {
            const FilterBank bank = ConversionFilter(256, rate);
            const Interval expected = CyclicFilter(prepared, bank, kFilterLead);
            const ProcessingChain chain{1, -0.125, &bank, rate};
            const Interval framed = FrameInBlocks(x, chain, 4000, {3333, 1500, 4000, 17}, fromSource);
            EXPECT_EQ(framed.i, expected.i) << "rate " << rate << (fromSource ? ", from a source" : "");
            EXPECT_EQ(framed.q, expected.q) << "rate " << rate << (fromSource ? ", from a source" : "");
        }
    }
}

TEST(BlockFraming, RefusesBlocksThatDoNotFitTheInterval)
{
    const FilterBank bank = ConversionFilter(256, 10);
    const ProcessingChain chain{0, 0.0, &bank, 10};
    BlockFraming framing;
    int outCount = -1;
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 10, 0, 100, &outCount), 0);  // not initialised
    EXPECT_EQ(SignalProcessing_InitBlockFraming(framing, 0), 0);
    ASSERT_EQ(SignalProcessing_InitBlockFraming(framing, 5000), 1);
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 5001, 0, 10000, &outCount), 0);  // above blockSets
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 0, 0, 10000, &outCount), 0);
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 100, 0, 99, &outCount), 0);     // past the end
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 100, 50, 10000, &outCount), 0); // sets missed
    EXPECT_EQ(outCount, 0);
    EXPECT_EQ(framing.received, 0);

    const ProcessingChain wrongRate{0, 0.0, &bank, 5};
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, wrongRate, 100, 0, 10000, &outCount), 0);
    FilterBank farReaching;
    std::vector<double> wide(2101, 1.0 / 2101);
    ASSERT_EQ(SignalProcessing_InitFilterbank(farReaching, 1, 10, 2101, wide.data()), 1);
    const ProcessingChain tooWide{0, 0.0, &farReaching, 1};
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, tooWide, 100, 0, 10000, &outCount), 0);
    const SetSource noFill{nullptr, nullptr};
    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 100, 0, 10000, &outCount, &noFill), 0);

    EXPECT_EQ(SignalProcessing_ProcessBlock(framing, chain, 100, 0, 10000, &outCount), 1);
    EXPECT_EQ(framing.received, 100);
}

TEST(BlockFraming, ResetStartsTheNextIntervalAfresh)
{
    const FilterBank bank = ConversionFilter(128, 10);
    const ProcessingChain chain{0, 0.0, &bank, 10};
    const Interval first = RandomInterval(5000, 15), second = RandomInterval(3000, 16);
    BlockFraming framing;
    ASSERT_EQ(SignalProcessing_InitBlockFraming(framing, 4000), 1);
    int outCount = 0;
    BlockSlot slot = SignalProcessing_GetBlockSlot(framing);
    std::copy_n(first.i.begin(), 4000, slot.i);
    std::copy_n(first.q.begin(), 4000, slot.q);
    ASSERT_EQ(SignalProcessing_ProcessBlock(framing, chain, 4000, 0, 5000, &outCount), 1);  // a pass left unfinished

    SignalProcessing_ResetBlockFraming(framing);
    slot = SignalProcessing_GetBlockSlot(framing);
    std::copy(second.i.begin(), second.i.end(), slot.i);
    std::copy(second.q.begin(), second.q.end(), slot.q);
    ASSERT_EQ(SignalProcessing_ProcessBlock(framing, chain, 3000, 0, 3000, &outCount), 1);
    const Interval expected = CyclicFilter(second, bank, kFilterLead);
    ASSERT_EQ(outCount, 3000);
    EXPECT_TRUE(std::equal(expected.i.begin(), expected.i.end(), framing.outputI.begin()));
    EXPECT_TRUE(std::equal(expected.q.begin(), expected.q.end(), framing.outputQ.begin()));
}

TEST(ConversionFilter, RefusesRatesAndLengthsOutsideTheDesign)
{
    FilterBank bank;
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, 0.25, 256, kWindowHamming, 0), 0);
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, 0.25, 256, kWindowHamming, 11), 0);
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, 0.25, 1025, kWindowHamming, 10), 0);
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, 0.25, 256, 9, 10), 0);
    EXPECT_EQ(SignalProcessing_InitConversionFilter(bank, 0.25, 1024, kWindowHamming, 1), 1);
    EXPECT_EQ(bank.phases.size(), 1u);
}

TEST(BlockFraming, TwoThreadsGiveTheOutputOfOneBitForBit)
{
    // Every rate: uniform banks (10, 5, 2, 1) and banks whose phases differ, blocks of all sizes.
    const Interval x = RandomInterval(60007, 14);
    for (const int rate : {10, 9, 7, 5, 3, 1}) {
        const FilterBank bank = ConversionFilter(256, rate);
        const ProcessingChain chain{0, 0.0, &bank, rate};
        BlockFraming split, whole;
        ASSERT_EQ(SignalProcessing_InitBlockFraming(split, 20000), 1);
        ASSERT_EQ(SignalProcessing_InitBlockFraming(whole, 20000), 1);
        split.helper = std::make_unique<HelperThread>();  // also on a single core
        whole.helper.reset();
        const std::vector<int> sizes = RandomSizes(1, 20000, static_cast<unsigned>(rate));
        int processed = 0;
        for (std::size_t b = 0; processed < 60007; ++b) {
            const int count = std::min(sizes[b % sizes.size()], 60007 - processed);
            for (BlockFraming *framing : {&split, &whole}) {
                const BlockSlot slot = SignalProcessing_GetBlockSlot(*framing);
                std::copy_n(x.i.begin() + processed, count, slot.i);
                std::copy_n(x.q.begin() + processed, count, slot.q);
            }
            int splitCount = -1, wholeCount = -2;
            ASSERT_EQ(SignalProcessing_ProcessBlock(split, chain, count, processed, 60007, &splitCount), 1);
            ASSERT_EQ(SignalProcessing_ProcessBlock(whole, chain, count, processed, 60007, &wholeCount), 1);
            ASSERT_EQ(splitCount, wholeCount);
            ASSERT_TRUE(std::equal(whole.outputI.begin(), whole.outputI.begin() + wholeCount, split.outputI.begin()));
            ASSERT_TRUE(std::equal(whole.outputQ.begin(), whole.outputQ.begin() + wholeCount, split.outputQ.begin()));
            processed += count;
        }
    }
}
