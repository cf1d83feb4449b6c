#include "signalprocessing/dsp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/cpu.h"

namespace {

// 2 pi as the frequency shift uses it; the literal keeps shifted values reproducible.
constexpr double kTwoPi = 6.283185307179586;

// Two doubles in one register; the compiler maps it to the target's vector instructions. Each
// lane is its own output sum: lanes never mix, so the results equal plain scalar sums.
typedef double Double2 __attribute__((vector_size(16)));

// Each output adds its products in entry order, starting at 0.0, so the result does not depend on
// how outputs are grouped into tiles or runs.

// Outputs per phase handled before moving to the next phase, so that the input a chunk needs
// stays in the cache while every phase passes over it.
constexpr int kChunkPerPhase = 1024;

// One phase list, ready for the inner loop.
struct PhaseView {
    const double *coefficients;
    const int *offsets;
    int entries;
};

PhaseView ViewOf(const FilterPhase &phase)
{
    return PhaseView{phase.coefficients.data(), phase.offsets.data(), static_cast<int>(phase.coefficients.size())};
}

// One output of one phase list at any stride: it reads around i[0] and goes to outI[0]. One
// vector holds its I and its Q sum.
void FilterOne(const PhaseView &phase, const double *i, const double *q, double *outI, double *outQ)
{
    Double2 sum = Double2{0.0, 0.0};
    for (int e = 0; e < phase.entries; ++e) {
        const Double2 coefficient = Double2{phase.coefficients[e], phase.coefficients[e]};
        sum += coefficient * Double2{i[phase.offsets[e]], q[phase.offsets[e]]};
    }
    *outI = sum[0];
    *outQ = sum[1];
}

// ---- Runs on deinterleaved input --------------------------------------------------------------
// Consecutive outputs read the input at a stride S (1 to 10). The input of a run is first split
// into S streams (stream r holds the sets r, S + r, 2S + r, ...): then neighbouring outputs read
// neighbouring stream values, four outputs fill one vector, and the wide loop needs no gathers.
// Each output still adds the same products in entry order from 0.0, bit for bit.

// Four doubles in one register (AVX2, or two SSE2 registers in the baseline build), and eight
// (AVX-512). Only ever locals: as parameters their calling conventions would differ between
// the builds.
typedef double Double4 __attribute__((vector_size(32)));
typedef double Double8 __attribute__((vector_size(64)));

// Vectors of neighbouring outputs in one tile of the wide loop: as many as the registers hold
// beside the coefficient and the loaded values (16 registers with AVX2, 32 with AVX-512).
constexpr int kWideVectors4 = 4;
constexpr int kWideVectors8 = 6;
// Outputs per stream run, at most: the streams of a run stay in the L1 and L2 caches.
constexpr int kStreamRunOutputs = 2048;

// The deinterleaved input of one run and where each entry starts in it; one per thread, grown
// to the largest run and then reused, so nothing is allocated per block.
// Lanes of the widest vector the wide loop uses.
constexpr int kSplatLanes = 8;

struct StreamScratch {
    std::vector<double> i, q;
    std::vector<int> entryStart;
    std::vector<double> splatted;  // each coefficient kSplatLanes times: a vector is one load
    std::vector<double> tailI, tailQ;  // the sets of the outputs after the last whole tile
};
thread_local StreamScratch streamScratch;

// even[k] = from[2k], odd[k] = from[2k + 1] for k < count: a stride-2 run's two streams. Built
// for AVX2 and for the baseline.
inline __attribute__((always_inline)) void SplitEvenOdd(const double *from, int64_t count, double *even, double *odd)
{
    int64_t k = 0;
    for (; k + 4 <= count; k += 4) {
        Double4 low, high;
        std::memcpy(&low, from + 2 * k, sizeof low);
        std::memcpy(&high, from + 2 * k + 4, sizeof high);
        const Double4 evens = __builtin_shufflevector(low, high, 0, 2, 4, 6);
        const Double4 odds = __builtin_shufflevector(low, high, 1, 3, 5, 7);
        std::memcpy(even + k, &evens, sizeof evens);
        std::memcpy(odd + k, &odds, sizeof odds);
    }
    for (; k < count; ++k) {
        even[k] = from[2 * k];
        odd[k] = from[2 * k + 1];
    }
}

int64_t FloorDiv(int64_t value, int64_t divisor)
{
    const int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

// The whole tiles of `count` outputs: output k adds coefficient e x stream value
// entryStart[e] + k, in entry order. Writes outI[k * outStride]; returns the outputs done.
// Vector holds the outputs of one register, each lane its own sum; a tile is kVectors of them.
template <typename Vector, int kVectors>
__attribute__((always_inline)) inline int FilterStreamTilesOf(const double *splatted, const int *entryStart,
                                                              int entries, const double *streamI,
                                                              const double *streamQ, double *outI, double *outQ,
                                                              std::ptrdiff_t outStride, int count)
{
    constexpr int kLanes = sizeof(Vector) / sizeof(double);
    constexpr int kTile = kLanes * kVectors;
    int k = 0;
    for (; k + kTile <= count; k += kTile) {
        Vector sumI[kVectors] = {};  // every sum starts at +0.0
        Vector sumQ[kVectors] = {};
        for (int e = 0; e < entries; ++e) {
            Vector coefficient;
            std::memcpy(&coefficient, splatted + kSplatLanes * e, sizeof coefficient);
            const double *inI = streamI + entryStart[e] + k;
            const double *inQ = streamQ + entryStart[e] + k;
            for (int v = 0; v < kVectors; ++v) {
                Vector valueI;
                Vector valueQ;
                std::memcpy(&valueI, inI + kLanes * v, sizeof valueI);
                std::memcpy(&valueQ, inQ + kLanes * v, sizeof valueQ);
                sumI[v] += coefficient * valueI;
                sumQ[v] += coefficient * valueQ;
            }
        }
        for (int v = 0; v < kVectors; ++v) {
            for (int lane = 0; lane < kLanes; ++lane) {
                outI[(k + kLanes * v + lane) * outStride] = sumI[v][lane];
                outQ[(k + kLanes * v + lane) * outStride] = sumQ[v][lane];
            }
        }
    }
    return k;
}

using TileFunction = int (*)(const double *splatted, const int *entryStart, int entries, const double *streamI,
                             const double *streamQ, double *outI, double *outQ, std::ptrdiff_t outStride, int count);

// Four lanes, built for AVX2 and for the baseline.
using FilterStreamTiles4 = VectorLoop<FilterStreamTilesOf<Double4, kWideVectors4>>;

#if defined(__x86_64__)
__attribute__((target("avx512f"))) int FilterStreamTiles8(const double *splatted, const int *entryStart,
                                                         int entries, const double *streamI, const double *streamQ,
                                                         double *outI, double *outQ, std::ptrdiff_t outStride,
                                                         int count)
{
    return FilterStreamTilesOf<Double8, kWideVectors8>(splatted, entryStart, entries, streamI, streamQ, outI, outQ,
                                                       outStride, count);
}
#endif

// The wide loop for this processor and the outputs of its tile: eight-lane registers where the
// processor has them (the same sums, twice as many per instruction), else four lanes.
struct TileLoop {
    TileFunction run;
    int tile;
};

const TileLoop &WideLoop()
{
#if defined(__x86_64__)
    static const TileLoop loop = Cpu_UseAvx512() ? TileLoop{FilterStreamTiles8, 8 * kWideVectors8}
                                                 : TileLoop{FilterStreamTiles4::Chosen(), 4 * kWideVectors4};
#else
    static const TileLoop loop{FilterStreamTiles4::Chosen(), 4 * kWideVectors4};
#endif
    return loop;
}

// Sets taken from a source at a time while the streams are filled: they stay in the L1 cache
// between the source and the streams.
constexpr int kFillChunkSets = 512;

// n consecutive sets, the first being `set` (relative to the run), into the streams: set s goes
// to group FloorDiv(s, S) - firstGroup of stream FloorMod(s, S).
void SpreadSets(const double *i, const double *q, int64_t set, int n, std::ptrdiff_t stride, int64_t firstGroup,
                int64_t groups, StreamScratch &scratch)
{
    if (stride == 2) {
        // Two streams take the sets alternately: whole pairs by vector shuffles.
        int k = 0;
        const auto place = [&](int64_t at) { return (at - (at & 1)) / 2 - firstGroup + (at & 1) * groups; };
        if ((set & 1) != 0 && n > 0) {
            scratch.i[place(set)] = i[0];
            scratch.q[place(set)] = q[0];
            k = 1;
        }
        const int64_t pairs = (n - k) / 2;
        const int64_t even = place(set + k);
        VectorLoop<SplitEvenOdd>::Run(i + k, pairs, scratch.i.data() + even, scratch.i.data() + even + groups);
        VectorLoop<SplitEvenOdd>::Run(q + k, pairs, scratch.q.data() + even, scratch.q.data() + even + groups);
        if ((n - k) % 2 == 1) {
            scratch.i[place(set + n - 1)] = i[n - 1];
            scratch.q[place(set + n - 1)] = q[n - 1];
        }
        return;
    }
    for (int k = 0; k < n; ++k) {
        const int64_t group = FloorDiv(set + k, stride);
        const int64_t at = (set + k - group * stride) * groups + group - firstGroup;
        scratch.i[at] = i[k];
        scratch.q[at] = q[k];
    }
}

// The streams of one run, whose set 0 is source set `origin`: group g of stream r holds the
// run's set (firstGroup + g) x S + r when that set lies in minimum ... last, else 0. Only those
// sets are taken from the source.
void FillStreams(const SetSource &source, int64_t origin, std::ptrdiff_t stride, int64_t minimum, int64_t last,
                 int64_t firstGroup, int64_t groups, StreamScratch &scratch)
{
    // The places outside minimum ... last are never read; they are cleared all the same.
    for (std::ptrdiff_t r = 0; r < stride; ++r) {
        const int64_t begin = std::max<int64_t>(0, FloorDiv(minimum - r + stride - 1, stride) - firstGroup);
        const int64_t end = std::max(begin, std::min<int64_t>(groups, FloorDiv(last - r, stride) - firstGroup + 1));
        const auto from = static_cast<std::ptrdiff_t>(r * groups);
        std::fill(scratch.i.begin() + from, scratch.i.begin() + from + begin, 0.0);
        std::fill(scratch.q.begin() + from, scratch.q.begin() + from + begin, 0.0);
        std::fill(scratch.i.begin() + from + end, scratch.i.begin() + from + groups, 0.0);
        std::fill(scratch.q.begin() + from + end, scratch.q.begin() + from + groups, 0.0);
    }
    alignas(64) double chunkI[kFillChunkSets];
    alignas(64) double chunkQ[kFillChunkSets];
    for (int64_t set = minimum; set <= last; set += kFillChunkSets) {
        const int n = static_cast<int>(std::min<int64_t>(kFillChunkSets, last - set + 1));
        source.fill(source.context, origin + set, n, chunkI, chunkQ);
        SpreadSets(chunkI, chunkQ, set, n, stride, firstGroup, groups, scratch);
    }
}

// Outputs 0 ... count - 1 of a run at input stride S, whole tiles only; returns the outputs done.
// The streams hold exactly the input sets the outputs read (other places are 0 and never read),
// so nothing outside the filter's reach is touched.
int FilterRunOnStreams(const PhaseView &phase, const SetSource &source, int64_t origin, std::ptrdiff_t stride,
                       double *outI, double *outQ, std::ptrdiff_t outStride, int count)
{
    const TileLoop &wide = WideLoop();
    count -= count % wide.tile;
    if (count <= 0 || phase.entries <= 0) return 0;
    int minimum = phase.offsets[0];
    int maximum = phase.offsets[0];
    for (int e = 1; e < phase.entries; ++e) {
        minimum = std::min(minimum, phase.offsets[e]);
        maximum = std::max(maximum, phase.offsets[e]);
    }
    StreamScratch &scratch = streamScratch;
    scratch.entryStart.resize(static_cast<std::size_t>(phase.entries));
    scratch.splatted.resize(static_cast<std::size_t>(phase.entries) * kSplatLanes);
    for (int e = 0; e < phase.entries; ++e)
        std::fill_n(scratch.splatted.begin() + kSplatLanes * e, kSplatLanes, phase.coefficients[e]);
    const int runOutputs = kStreamRunOutputs - kStreamRunOutputs % wide.tile;  // whole tiles
    for (int done = 0; done < count; done += runOutputs) {
        const int outputs = std::min(runOutputs, count - done);
        // Input sets minimum ... last of the run, grouped by their position modulo the stride.
        const int64_t last = static_cast<int64_t>(outputs - 1) * stride + maximum;
        const int64_t firstGroup = FloorDiv(minimum, stride);
        const int64_t groups = FloorDiv(last, stride) - firstGroup + 1;
        const std::size_t size = static_cast<std::size_t>(groups * stride);
        if (scratch.i.size() < size) {
            scratch.i.resize(size);
            scratch.q.resize(size);
        }
        FillStreams(source, origin + done * stride, stride, minimum, last, firstGroup, groups, scratch);
        for (int e = 0; e < phase.entries; ++e) {
            const int64_t group = FloorDiv(phase.offsets[e], stride);
            const int64_t r = phase.offsets[e] - group * stride;
            scratch.entryStart[e] = static_cast<int>(r * groups + group - firstGroup);
        }
        wide.run(scratch.splatted.data(), scratch.entryStart.data(), phase.entries, scratch.i.data(), scratch.q.data(),
                 outI + done * outStride, outQ + done * outStride, outStride, outputs);
    }
    return count;
}

// `count` outputs of one phase list; output k reads around source set origin + k x inStride
// and goes to outI[k * outStride].
void FilterRun(const PhaseView &phase, const SetSource &source, int64_t origin, std::ptrdiff_t inStride,
               double *outI, double *outQ, std::ptrdiff_t outStride, int count)
{
    const int done = FilterRunOnStreams(phase, source, origin, inStride, outI, outQ, outStride, count);
    if (done == count || phase.entries <= 0) return;
    // The outputs after the last whole tile, one at a time, from a copy of the sets they read.
    const auto [minimum, maximum] = std::minmax_element(phase.offsets, phase.offsets + phase.entries);
    const int64_t first = origin + done * inStride + *minimum;
    const int64_t sets = (count - 1 - done) * inStride + *maximum - *minimum + 1;
    StreamScratch &scratch = streamScratch;
    scratch.tailI.resize(static_cast<std::size_t>(sets));
    scratch.tailQ.resize(static_cast<std::size_t>(sets));
    for (int64_t k = 0; k < sets; k += kFillChunkSets) {
        source.fill(source.context, first + k, static_cast<int>(std::min<int64_t>(kFillChunkSets, sets - k)),
                    scratch.tailI.data() + k, scratch.tailQ.data() + k);
    }
    for (int k = done; k < count; ++k) {
        const int64_t at = (k - done) * inStride - *minimum;
        FilterOne(phase, scratch.tailI.data() + at, scratch.tailQ.data() + at, outI + k * outStride,
                  outQ + k * outStride);
    }
}

// Sets stored in two arrays: set k at i[k], q[k] (k may be negative).
struct ArraySets {
    const double *i;
    const double *q;
};

void FillFromArrays(const void *context, int64_t first, int n, double *i, double *q)
{
    const ArraySets &arrays = *static_cast<const ArraySets *>(context);
    std::memcpy(i, arrays.i + first, sizeof(double) * static_cast<std::size_t>(n));
    std::memcpy(q, arrays.q + first, sizeof(double) * static_cast<std::size_t>(n));
}

bool SamePhaseList(const FilterPhase &a, const FilterPhase &b)
{
    return a.coefficients.size() == b.coefficients.size() && a.offsets.size() == b.offsets.size() &&
           std::memcmp(a.coefficients.data(), b.coefficients.data(), a.coefficients.size() * sizeof(double)) == 0 &&
           std::memcmp(a.offsets.data(), b.offsets.data(), a.offsets.size() * sizeof(int)) == 0;
}

// True when every phase holds the same list and the input advances by a whole number of sets
// per output: then consecutive outputs can be computed together, whatever their phase.
bool UniformBank(const FilterBank &bank, int phases, int decimation)
{
    if (decimation % phases != 0) return false;
    for (int p = 1; p < phases; ++p) {
        if (!SamePhaseList(bank.phases[p], bank.phases[0])) return false;
    }
    return true;
}

bool ValidBank(const FilterBank &bank, int phases)
{
    if (static_cast<int>(bank.phases.size()) < phases) return false;
    for (int p = 0; p < phases; ++p) {
        if (bank.phases[p].coefficients.size() != bank.phases[p].offsets.size()) return false;
    }
    return true;
}

}  // namespace

void SignalProcessing_MirrorSpectrum(double *q, int count)
{
    for (int k = 0; k < count; ++k) q[k] = -q[k];
}

void SignalProcessing_FrequencyShift(double *i, double *q, int count, int firstIndex, double shift)
{
    const double radiansPerSet = kTwoPi * shift;
    for (int k = 0; k < count; ++k) {
        // The position in double: exact for every 32-bit index, and no int overflow at the end.
        const double theta = radiansPerSet * (static_cast<double>(firstIndex) + k);
        const double c = std::cos(theta);
        const double s = std::sin(theta);
        const double inI = i[k];
        const double inQ = q[k];
        i[k] = inI * c - inQ * s;
        q[k] = inI * s + inQ * c;
    }
}

int SignalProcessing_InitFilterbank(FilterBank &bank, int phases, int decimation, int taps, const double *prototype)
{
    if (phases < 1 || decimation < 1 || taps < 1 || prototype == nullptr) return 0;
    bank.phases.assign(static_cast<std::size_t>(phases), FilterPhase{});
    for (int p = 0; p < phases; ++p) {
        FilterPhase &list = bank.phases[p];
        list.coefficients.reserve(static_cast<std::size_t>(taps / phases + 2));
        list.offsets.reserve(static_cast<std::size_t>(taps / phases + 2));
        const int64_t centre = taps / 2 - (static_cast<int64_t>(p) * decimation) % phases;
        // With few taps and many phases the centre can fall before the prototype's start; the
        // coefficient there is zero, so the phase simply has no entry at offset 0.
        if (centre >= 0) {
            list.coefficients.push_back(prototype[centre]);
            list.offsets.push_back(0);
        }
        int left = 0;
        int right = 0;
        for (int64_t k = 1; k < taps; ++k) {
            const int64_t before = centre - k * phases;
            const int64_t after = centre + k * phases;
            if (before < 0 && after >= taps) break;
            if (before >= 0) {
                list.coefficients.push_back(prototype[before]);
                list.offsets.push_back(-++left);
            }
            if (after < taps) {
                list.coefficients.push_back(prototype[after]);
                list.offsets.push_back(++right);
            }
        }
    }
    return 1;
}

void SignalProcessing_FilterSource(const SetSource &source, int inCount, int decimation, int phases,
                                   const FilterBank &bank, double *outI, double *outQ, int *outCount)
{
    if (outCount == nullptr) return;
    *outCount = 0;
    if (source.fill == nullptr || inCount <= 0 || decimation < 1 || phases < 1 || !ValidBank(bank, phases)) return;
    const int64_t wanted = static_cast<int64_t>(inCount) * phases / decimation;
    if (wanted > INT_MAX) return;
    const int count = static_cast<int>(wanted);

    if (UniformBank(bank, phases, decimation)) {
        // base = t x M / L = t x (M / L): consecutive outputs step through the input evenly.
        FilterRun(ViewOf(bank.phases[0]), source, 0, decimation / phases, outI, outQ, 1, count);
        *outCount = count;
        return;
    }

    // Output t uses phase t mod L and base t x M / L; outputs T + p + k L of one phase (T a
    // multiple of L) have the base T M / L + p M / L + k M. The output range is walked in chunks
    // so that all phases meet the input while it is in the cache.
    const int chunk = kChunkPerPhase * phases;
    for (int64_t first = 0; first < count; first += chunk) {
        const int64_t chunkEnd = first + chunk < count ? first + chunk : count;
        const int64_t chunkBase = first * decimation / phases;
        for (int p = 0; p < phases && first + p < chunkEnd; ++p) {
            const int outputs = static_cast<int>((chunkEnd - first - p + phases - 1) / phases);
            const int64_t base = chunkBase + static_cast<int64_t>(p) * decimation / phases;
            FilterRun(ViewOf(bank.phases[p]), source, base, decimation, outI + first + p, outQ + first + p, phases,
                      outputs);
        }
    }
    *outCount = count;
}

void SignalProcessing_Filter(const double *i, const double *q, int inCount, int decimation, int phases,
                             const FilterBank &bank, double *outI, double *outQ, int *outCount)
{
    const ArraySets arrays{i, q};
    SignalProcessing_FilterSource(SetSource{FillFromArrays, &arrays}, inCount, decimation, phases, bank, outI, outQ,
                                  outCount);
}
