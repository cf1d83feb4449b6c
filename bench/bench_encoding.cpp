// Encoding a block of double I/Q values into 16-bit pairs, against copying the same bytes with
// memcpy. Throughput counts the double input bytes (16 per pair) for both.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "conversion/wvwriter.h"

namespace {

constexpr int kPairs = 102000;  // about one block of the runner

struct Block {
    std::vector<double> i, q;
    std::vector<int16_t> pairs;
    Block() : i(kPairs), q(kPairs), pairs(2 * kPairs)
    {
        for (int k = 0; k < kPairs; ++k) {
            i[k] = 31000.0 * std::sin(0.001 * k) + 0.25;
            q[k] = 31000.0 * std::cos(0.001 * k) - 0.25;
        }
    }
};

void BM_EncodePairs(benchmark::State &state)
{
    Block block;
    for (auto _ : state) {
        Conversion_EncodeZmxPairs(kPairs, block.i.data(), block.q.data(), block.pairs.data());
        benchmark::DoNotOptimize(block.pairs.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kPairs * 2 * int64_t(sizeof(double)));
}
BENCHMARK(BM_EncodePairs);

// The plain per-value loop with floor and clamp, for comparison.
void BM_EncodePairsPlainLoop(benchmark::State &state)
{
    Block block;
    for (auto _ : state) {
        for (int k = 0; k < kPairs; ++k) {
            const double values[2] = {block.i[k], block.q[k]};
            for (int part = 0; part < 2; ++part) {
                const double rounded = std::floor(values[part] + 0.5);
                block.pairs[2 * k + part] =
                    std::isnan(rounded) ? 0 : static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
            }
        }
        benchmark::DoNotOptimize(block.pairs.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kPairs * 2 * int64_t(sizeof(double)));
}
BENCHMARK(BM_EncodePairsPlainLoop);

void BM_MemcpySameBytes(benchmark::State &state)
{
    Block block;
    std::vector<double> copy(2 * kPairs);
    for (auto _ : state) {
        std::memcpy(copy.data(), block.i.data(), kPairs * sizeof(double));
        std::memcpy(copy.data() + kPairs, block.q.data(), kPairs * sizeof(double));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kPairs * 2 * int64_t(sizeof(double)));
}
BENCHMARK(BM_MemcpySameBytes);

}  // namespace

BENCHMARK_MAIN();
