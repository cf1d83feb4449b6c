// Decoding speed: binary blocks beside memcpy of the bytes they read and of the bytes they write, text values beside a plain
// strtod/strtol loop over the same text.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "parser/formats.h"

namespace {

constexpr int64_t kSets = 100000;  // one block of the conversion runner

std::vector<char> RandomBytes(size_t size)
{
    std::vector<char> bytes(size);
    std::mt19937 random(1);
    for (char &c : bytes) c = static_cast<char>(random() % 200);  // no NaN patterns for floats
    return bytes;
}

// Copies one block of the given bytes per value; 8 bytes per value is the size of the decoded
// doubles, which the decoders must write whatever the input format.
void BM_Memcpy(benchmark::State &state)
{
    const int bytesPerValue = static_cast<int>(state.range(0));
    const std::vector<char> input = RandomBytes(static_cast<size_t>(kSets * 2 * bytesPerValue));
    std::vector<char> output(input.size());
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), input.size());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.size()));
}
BENCHMARK(BM_Memcpy)->Arg(2)->Arg(4)->Arg(8)->ArgName("bytesPerValue");

// Interleaved I/Q pairs decoded, scaled and offset into two arrays, as the set reader does.
void BM_DecodeBinaryPairs(benchmark::State &state)
{
    const int code = static_cast<int>(state.range(0));
    const int swapBytes = static_cast<int>(state.range(1));
    const std::vector<char> input = RandomBytes(static_cast<size_t>(kSets * 2 * kFormats[code].bytesPerValue));
    std::vector<double> i(kSets), q(kSets);
    for (auto _ : state) {
        Parser_DecodeBinaryPairs(code, swapBytes, input.data(), kSets, 0.5, 1.0, -1.0, i.data(), q.data());
        benchmark::DoNotOptimize(i.data());
        benchmark::DoNotOptimize(q.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(input.size()));
    state.SetLabel(std::string(kFormats[code].displayText) + (swapBytes ? ", swapped" : ""));
}
BENCHMARK(BM_DecodeBinaryPairs)->ArgsProduct({{kInt16, kFloat32}, {0, 1}})->ArgNames({"format", "swap"});

// About 4 MB of "%.6f %.6f\n" lines (floating point) or "%d %d\n" lines (integer).
std::string MakeText(int code)
{
    std::string text;
    std::mt19937 random(2);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    char line[64];
    while (text.size() < 4000000) {
        if (code == kTextFloatingPoint) {
            std::snprintf(line, sizeof line, "%.6f %.6f\n", uniform(random), uniform(random));
        } else {
            std::snprintf(line, sizeof line, "%d %d\n", static_cast<int>(uniform(random) * 32767),
                          static_cast<int>(uniform(random) * 32767));
        }
        text += line;
    }
    return text;
}

void BM_ExtractTextValues(benchmark::State &state)
{
    const int code = static_cast<int>(state.range(0));
    const std::string text = MakeText(code);
    for (auto _ : state) {
        double sum = 0.0, value = 0.0;
        int offset = 0, length = 0;
        for (const char *at = text.c_str(); Parser_ExtractTextValueFromBuffer(code, at, &value, &offset, &length);
             at += offset + length) {
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
    state.SetLabel(std::string(kFormats[code].displayText));
}
BENCHMARK(BM_ExtractTextValues)->Arg(kTextFloatingPoint)->Arg(kTextInteger)->ArgName("format");

// The same text taken in batches of plain values, as the text reading does. The text starts
// with white space, and values are taken while whole 64-byte windows remain.
void BM_ScanPlainTextValues(benchmark::State &state)
{
    constexpr int kBatch = 64;
    const int code = static_cast<int>(state.range(0));
    std::string text = " ";
    text += MakeText(code);
    const auto end = static_cast<int64_t>(text.size());
    text.append(kTextScanPadding + 1, '\0');
    double values[kBatch];
    int64_t ends[kBatch];
    int64_t position = 0;
    for (auto _ : state) {
        double sum = 0.0;
        position = 0;
        for (int taken; (taken = Parser_ScanPlainTextValues(code, text.c_str(), position, end, kBatch, values, ends)) > 0;) {
            for (int v = 0; v < taken; ++v) sum += values[v];
            position = ends[taken - 1];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * position);
    state.SetLabel(std::string(kFormats[code].displayText));
}
BENCHMARK(BM_ScanPlainTextValues)->Arg(kTextFloatingPoint)->Arg(kTextInteger)->ArgName("format");

// The plain C library loop over the same text, for comparison.
void BM_CLibraryTextLoop(benchmark::State &state)
{
    const int code = static_cast<int>(state.range(0));
    const std::string text = MakeText(code);
    for (auto _ : state) {
        double sum = 0.0;
        const char *at = text.c_str();
        for (;;) {
            char *end = nullptr;
            const double value = code == kTextFloatingPoint ? std::strtod(at, &end)
                                                            : static_cast<double>(std::strtol(at, &end, 10));
            if (end == at) break;
            sum += value;
            at = end;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
    state.SetLabel(code == kTextFloatingPoint ? "strtod" : "strtol");
}
BENCHMARK(BM_CLibraryTextLoop)->Arg(kTextFloatingPoint)->Arg(kTextInteger)->ArgName("format");

}  // namespace

BENCHMARK_MAIN();
