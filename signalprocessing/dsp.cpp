#include "signalprocessing/dsp.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// 2 pi as the frequency shift uses it; the literal keeps shifted values reproducible.
constexpr double kTwoPi = 6.283185307179586;

// Two doubles in one register; the compiler maps it to the target's vector instructions. Each
// lane is its own output sum: lanes never mix, so the results equal plain scalar sums.
typedef double Double2 __attribute__((vector_size(16)));

inline Double2 Load2(const double *at)
{
    Double2 value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

inline void Store2(double *at, Double2 value) { std::memcpy(at, &value, sizeof value); }

// Outputs computed side by side in one pass over a phase list, enough independent sums to hide
// the latency of the adds. Each output still adds its products in entry order, starting at 0.0,
// so the result does not depend on how outputs are grouped.
constexpr int kTile = 8;

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

// kTile consecutive outputs that read consecutive input sets (output g around i[g]): I and Q
// each in kTile / 2 vectors of neighbouring outputs, loaded straight from the input.
void FilterTileConsecutive(const PhaseView &phase, const double *i, const double *q, double *outI, double *outQ)
{
    constexpr int kVectors = kTile / 2;
    Double2 sumI[kVectors];
    Double2 sumQ[kVectors];
    for (int v = 0; v < kVectors; ++v) {
        sumI[v] = Double2{0.0, 0.0};
        sumQ[v] = Double2{0.0, 0.0};
    }
    for (int e = 0; e < phase.entries; ++e) {
        const Double2 coefficient = Double2{phase.coefficients[e], phase.coefficients[e]};
        const double *inI = i + phase.offsets[e];
        const double *inQ = q + phase.offsets[e];
        for (int v = 0; v < kVectors; ++v) {
            sumI[v] += coefficient * Load2(inI + 2 * v);
            sumQ[v] += coefficient * Load2(inQ + 2 * v);
        }
    }
    for (int v = 0; v < kVectors; ++v) {
        Store2(outI + 2 * v, sumI[v]);
        Store2(outQ + 2 * v, sumQ[v]);
    }
}

// Tile outputs of one phase list at any input stride: output g reads around i[g * inStride]
// and goes to outI[g * outStride]. One vector holds the I and the Q sum of one output.
template <int Tile>
void FilterTileStrided(const PhaseView &phase, const double *i, const double *q, std::ptrdiff_t inStride,
                       double *outI, double *outQ, std::ptrdiff_t outStride)
{
    Double2 sum[Tile];
    for (int g = 0; g < Tile; ++g) sum[g] = Double2{0.0, 0.0};
    for (int e = 0; e < phase.entries; ++e) {
        const Double2 coefficient = Double2{phase.coefficients[e], phase.coefficients[e]};
        const double *inI = i + phase.offsets[e];
        const double *inQ = q + phase.offsets[e];
        for (int g = 0; g < Tile; ++g) sum[g] += coefficient * Double2{inI[g * inStride], inQ[g * inStride]};
    }
    for (int g = 0; g < Tile; ++g) {
        outI[g * outStride] = sum[g][0];
        outQ[g * outStride] = sum[g][1];
    }
}

// `count` outputs of one phase list; output k reads around i[k * inStride] and goes to
// outI[k * outStride].
void FilterRun(const PhaseView &phase, const double *i, const double *q, std::ptrdiff_t inStride, double *outI,
               double *outQ, std::ptrdiff_t outStride, int count)
{
    int k = 0;
    if (inStride == 1 && outStride == 1) {
        for (; k + kTile <= count; k += kTile) FilterTileConsecutive(phase, i + k, q + k, outI + k, outQ + k);
    } else {
        for (; k + kTile <= count; k += kTile) {
            FilterTileStrided<kTile>(phase, i + k * inStride, q + k * inStride, inStride, outI + k * outStride,
                                     outQ + k * outStride, outStride);
        }
    }
    for (; k < count; ++k) {
        FilterTileStrided<1>(phase, i + k * inStride, q + k * inStride, inStride, outI + k * outStride,
                             outQ + k * outStride, outStride);
    }
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

void SignalProcessing_Filter(const double *i, const double *q, int inCount, int decimation, int phases,
                             const FilterBank &bank, double *outI, double *outQ, int *outCount)
{
    if (outCount == nullptr) return;
    *outCount = 0;
    if (inCount <= 0 || decimation < 1 || phases < 1 || !ValidBank(bank, phases)) return;
    const int64_t wanted = static_cast<int64_t>(inCount) * phases / decimation;
    if (wanted > INT_MAX) return;
    const int count = static_cast<int>(wanted);

    if (UniformBank(bank, phases, decimation)) {
        // base = t x M / L = t x (M / L): consecutive outputs step through the input evenly.
        FilterRun(ViewOf(bank.phases[0]), i, q, decimation / phases, outI, outQ, 1, count);
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
            FilterRun(ViewOf(bank.phases[p]), i + base, q + base, decimation, outI + first + p,
                               outQ + first + p, phases, outputs);
        }
    }
    *outCount = count;
}
