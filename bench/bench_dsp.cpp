// Throughput of the signal processing kernels on one core: the polyphase filter over 10 million
// complex sets, and the frequency shift.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "signalprocessing/blockframing.h"
#include "signalprocessing/dsp.h"

namespace {

constexpr int kFilterSets = 10000000;
constexpr int kShiftSets = 1000000;

std::vector<double> RandomValues(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> value(-30000.0, 30000.0);
    std::vector<double> values(count);
    for (double &v : values) v = value(generator);
    return values;
}

// Multiply-adds of one filter call, both channels.
int64_t MultiplyAdds(const FilterBank &bank, int outCount)
{
    const int phases = static_cast<int>(bank.phases.size());
    int64_t total = 0;
    for (int t = 0; t < outCount; ++t) total += static_cast<int64_t>(bank.phases[t % phases].coefficients.size());
    return 2 * total;
}

// Arguments: taps, output rate in tenths.
void BM_Filter(benchmark::State &state)
{
    const int taps = static_cast<int>(state.range(0));
    const int phases = static_cast<int>(state.range(1));
    FilterBank bank;
    if (!SignalProcessing_InitConversionFilter(bank, 0.4, taps, kWindowBlackman, phases)) {
        state.SkipWithError("filter design failed");
        return;
    }
    const std::size_t withMargin = kFilterSets + 2 * kFilterLead;
    const std::vector<double> i = RandomValues(withMargin, 1), q = RandomValues(withMargin, 2);
    std::vector<double> outI(kFilterSets), outQ(kFilterSets);
    int outCount = 0;
    for (auto _ : state) {
        SignalProcessing_Filter(i.data() + kFilterLead, q.data() + kFilterLead, kFilterSets, kRateDenominator, phases,
                                bank, outI.data(), outQ.data(), &outCount);
        benchmark::DoNotOptimize(outI.data());
        benchmark::ClobberMemory();
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["out_sets/s"] = benchmark::Counter(iterations * outCount, benchmark::Counter::kIsRate);
    state.counters["mult_adds/s"] =
        benchmark::Counter(iterations * static_cast<double>(MultiplyAdds(bank, outCount)), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Filter)
    ->Args({256, 10})
    ->Args({256, 5})
    ->Args({1024, 5})
    ->Args({256, 9})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FrequencyShift(benchmark::State &state)
{
    std::vector<double> i = RandomValues(kShiftSets, 3), q = RandomValues(kShiftSets, 4);
    int firstIndex = 0;
    for (auto _ : state) {
        SignalProcessing_FrequencyShift(i.data(), q.data(), kShiftSets, firstIndex, 0.123);
        firstIndex += kShiftSets;
        benchmark::ClobberMemory();
    }
    state.counters["sets/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kShiftSets, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrequencyShift)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole chain as the conversion runs it: 100,000-set blocks, mirror, shift, framed filter.
void BM_ProcessBlock(benchmark::State &state)
{
    const int taps = static_cast<int>(state.range(0));
    const int phases = static_cast<int>(state.range(1));
    FilterBank bank;
    BlockFraming framing;
    if (!SignalProcessing_InitConversionFilter(bank, 0.4, taps, kWindowBlackman, phases) ||
        !SignalProcessing_InitBlockFraming(framing)) {
        state.SkipWithError("set-up failed");
        return;
    }
    const ProcessingChain chain{1, 0.123, &bank, phases};
    const std::vector<double> i = RandomValues(kBlockSets, 5), q = RandomValues(kBlockSets, 6);
    const int total = 2000000000;  // an interval long enough never to end
    int64_t sets = 0;
    for (auto _ : state) {
        const BlockSlot slot = SignalProcessing_GetBlockSlot(framing);
        std::copy(i.begin(), i.end(), slot.i);
        std::copy(q.begin(), q.end(), slot.q);
        int outCount = 0;
        if (!SignalProcessing_ProcessBlock(framing, chain, kBlockSets, framing.received, total, &outCount)) {
            state.SkipWithError("block refused");
            return;
        }
        sets += kBlockSets;
        if (framing.received > total - kBlockSets) SignalProcessing_ResetBlockFraming(framing);
    }
    state.counters["sets/s"] = benchmark::Counter(static_cast<double>(sets), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessBlock)->Args({256, 10})->Args({1024, 5})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
