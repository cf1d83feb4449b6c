// The writing pass's inner work on one block of 100,000 pairs held in the cache: the in-order sum
// of the powers (the plain loop against Conversion_AddInOrder) and the whole decode, measure
// and encode of plain 16-bit pairs. Items are pairs.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "conversion/directpairs.h"
#include "conversion/levels.h"
#include "parser/formats.h"

namespace {

constexpr int kPairs = 100000;

std::vector<double> Powers()
{
    std::mt19937 generator(3);
    std::uniform_real_distribution<double> value(-30000.0, 30000.0);
    std::vector<double> powers(kPairs);
    for (double &p : powers) {
        const double i = value(generator), q = value(generator);
        p = i * i + q * q;
    }
    return powers;
}

void BM_SumPlainLoop(benchmark::State &state)
{
    const std::vector<double> powers = Powers();
    double sum = 1e12;
    for (auto _ : state) {
        for (const double p : powers) sum += p;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPairs);
}
BENCHMARK(BM_SumPlainLoop);

void BM_SumAddInOrder(benchmark::State &state)
{
    const std::vector<double> powers = Powers();
    double sum = 1e12;
    for (auto _ : state) {
        sum = Conversion_AddInOrder(sum, powers.data(), kPairs);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPairs);
}
BENCHMARK(BM_SumAddInOrder);

void BM_DirectPairsInt16(benchmark::State &state)
{
    ConversionSettings settings;
    settings.sampleFormat = kInt16;
    settings.scale = 0.9731;
    const std::optional<DirectPairs> direct = Conversion_DirectPairsFor(settings);
    if (!direct) {
        state.SkipWithError("no AVX2");
        return;
    }
    std::vector<int16_t> raw(2 * kPairs);
    std::mt19937 generator(5);
    for (int16_t &value : raw) value = static_cast<int16_t>(generator());
    std::vector<int16_t> encoded(2 * kPairs);
    for (auto _ : state) {
        PowerMeter meter{1e12, 0.0};
        benchmark::DoNotOptimize(Conversion_MeasureAndEncodeDirectPairs(
            *direct, reinterpret_cast<const char *>(raw.data()), kPairs, meter, encoded.data()));
        benchmark::DoNotOptimize(meter);
        benchmark::DoNotOptimize(encoded.data());
    }
    state.SetItemsProcessed(state.iterations() * kPairs);
}
BENCHMARK(BM_DirectPairsInt16);

}  // namespace

BENCHMARK_MAIN();
