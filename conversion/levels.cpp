#include "conversion/levels.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "base/cpu.h"

#include "conversion/wvwriter.h"
#if defined(__x86_64__)
#include <immintrin.h>

#include "conversion/pairencoding.h"
#endif

namespace {

// Four doubles in one register; the compiler maps it to the target's vector instructions. The
// products and sums are those of the plain expression, lane by lane (nothing is fused).
typedef double Double4 __attribute__((vector_size(32)));
typedef int64_t Int4 __attribute__((vector_size(32)));

// ---- The in-order sum without its chain of additions ------------------------------------------
// The plain loop `sum += p` waits for each addition before the next. While the sum stays within
// one binade [2^(e-1), 2^e), every addition rounds to a multiple of the same unit u = 2^(e-53):
// with S = sum / u (an integer) and P = p / u, the rounded sum is S + round(P), where round(P)
// is P's nearest integer, except when P lies exactly halfway (then the even result of S + P
// wins, which depends on S). So a group of powers without such halfway cases, whose total keeps
// the sum below 2^e, adds as integers: S + round(P0) + round(P1) + ..., in any order, exactly.
// Every other group (a halfway case, NaN or infinity, a sum of zero, crossing into the next
// binade) is added by the plain loop.

constexpr int kGroupPowers = 256;
constexpr double kTwoTo52 = 4503599627370496.0;
// Binades in which the unit and its inverse are normal doubles.
constexpr int kLowestExponent = -900;
constexpr int kHighestExponent = 900;

// 2^exponent for a normal result.
inline double PowerOfTwo(int exponent) { return std::bit_cast<double>(static_cast<uint64_t>(exponent + 1023) << 52); }

inline void Splat(Double4 *vector, double value) { *vector = Double4{value, value, value, value}; }

// The sum as a whole number of its units, while it lies in a binade where the unit and its
// inverse are normal doubles.
struct SumInUnits {
    double unit;
    double perUnit;
    int64_t units;  // an integer in [2^52, 2^53)
};

bool InUnits(double sum, SumInUnits *inUnits)
{
    if (!(sum > 0.0)) return false;
    // sum lies in [2^(exponent - 1), 2^exponent); its unit and the unit's inverse are powers of
    // two, built from their exponent bits.
    const int exponent = static_cast<int>(std::bit_cast<uint64_t>(sum) >> 52) - 1022;
    if (exponent < kLowestExponent || exponent > kHighestExponent) return false;
    inUnits->unit = PowerOfTwo(exponent - 53);
    inUnits->perUnit = PowerOfTwo(53 - exponent);
    inUnits->units = static_cast<int64_t>(sum * inUnits->perUnit);  // exact
    return true;
}

// The sum after `added` units, unless it would reach the next binade (whose unit is larger).
bool AddUnits(const SumInUnits &inUnits, int64_t added, double *sum)
{
    const int64_t total = inUnits.units + added;
    if (total >= (int64_t{1} << 53)) return false;
    *sum = static_cast<double>(total) * inUnits.unit;
    return true;
}

// Adds the first powers (a whole number of vectors, all of them or none) to *sum as integers of
// its unit when that gives the plain loop's result. Returns how many it added: 0, *sum
// untouched, when the group must be added plainly. Built for AVX2 and for the baseline.
inline __attribute__((always_inline)) int AddGroupInUnits4(double *sum, const double *powers, int count)
{
    count -= count % 4;
    SumInUnits inUnits;
    if (count <= 0 || !InUnits(*sum, &inUnits)) return 0;
    Double4 scale, magic, zero, half;
    Splat(&scale, inUnits.perUnit);
    Splat(&magic, kTwoTo52);
    Splat(&zero, 0.0);
    Splat(&half, 0.5);
    Int4 refused = Int4{0, 0, 0, 0};
    Int4 added = Int4{0, 0, 0, 0};
    for (int k = 0; k < count; k += 4) {
        Double4 p;
        std::memcpy(&p, powers + k, sizeof p);
        p *= scale;  // exact: a power of two (a value too small to stay exact rounds to nothing anyway)
        // Only 0 <= P < 2^52 is taken; NaN fails both comparisons.
        const Int4 usable = (p >= zero) & (p < magic);
        refused |= ~usable;
        const Double4 taken = reinterpret_cast<Double4>(reinterpret_cast<Int4>(p) & usable);
        // Adding 2^52 rounds to the nearest integer (ties to even) and leaves it in the low bits.
        const Double4 rounded = taken + magic;
        added += reinterpret_cast<Int4>(rounded) - reinterpret_cast<Int4>(magic);
        const Double4 distance = (rounded - magic) - taken;  // exact
        refused |= (distance == half) | (distance == -half);
    }
    if ((refused[0] | refused[1] | refused[2] | refused[3]) != 0) return 0;
    return AddUnits(inUnits, (added[0] + added[1]) + (added[2] + added[3]), sum) ? count : 0;
}

using GroupAdder = int (*)(double *sum, const double *powers, int count);

#if defined(__x86_64__)
QUELVOR_AVX512_CODE_BEGIN
// The same steps on eight lanes, with AVX-512's comparison masks.
__attribute__((target("avx512f"))) int AddGroupInUnits8(double *sum, const double *powers, int count)
{
    count -= count % 8;
    SumInUnits inUnits;
    if (count <= 0 || !InUnits(*sum, &inUnits)) return 0;
    const __m512d scale = _mm512_set1_pd(inUnits.perUnit);
    const __m512d magic = _mm512_set1_pd(kTwoTo52);
    const __m512d zero = _mm512_setzero_pd();
    __mmask8 refused = 0;
    __m512i added = _mm512_setzero_si512();
    for (int k = 0; k < count; k += 8) {
        const __m512d p = _mm512_mul_pd(_mm512_loadu_pd(powers + k), scale);
        const __mmask8 usable = _mm512_cmp_pd_mask(p, zero, _CMP_GE_OQ) & _mm512_cmp_pd_mask(p, magic, _CMP_LT_OQ);
        refused |= static_cast<__mmask8>(~usable);
        const __m512d taken = _mm512_maskz_mov_pd(usable, p);
        const __m512d rounded = _mm512_add_pd(taken, magic);
        added = _mm512_add_epi64(added, _mm512_sub_epi64(_mm512_castpd_si512(rounded), _mm512_castpd_si512(magic)));
        const __m512d distance = _mm512_sub_pd(_mm512_sub_pd(rounded, magic), taken);
        refused |= _mm512_cmp_pd_mask(distance, _mm512_set1_pd(0.5), _CMP_EQ_OQ) |
                   _mm512_cmp_pd_mask(distance, _mm512_set1_pd(-0.5), _CMP_EQ_OQ);
    }
    if (refused != 0) return 0;
    return AddUnits(inUnits, _mm512_reduce_add_epi64(added), sum) ? count : 0;
}
QUELVOR_AVX512_CODE_END
#endif

// Eight lanes where the processor has them: twice the powers per instruction.
GroupAdder AddGroupInUnits()
{
#if defined(__x86_64__)
    static const GroupAdder adder = Cpu_UseAvx512() ? AddGroupInUnits8 : VectorLoop<AddGroupInUnits4>::Chosen();
#else
    static const GroupAdder adder = VectorLoop<AddGroupInUnits4>::Chosen();
#endif
    return adder;
}

// Vectors are only passed by pointer: a 32-byte vector by value would differ in its calling
// convention between the AVX2 build and the baseline one.
inline void Load4(Double4 *value, const double *at) { std::memcpy(value, at, sizeof *value); }

// The larger of two powers as the plain comparison picks it: a NaN candidate never wins.
inline double Larger(double candidate, double maximum) { return candidate > maximum ? candidate : maximum; }

double LargestLane(const Double4 *maxima, double maximum)
{
    for (int lane = 0; lane < 4; ++lane) maximum = Larger((*maxima)[lane], maximum);
    return maximum;
}

#if defined(__x86_64__)
// The whole groups of four pairs; returns the pairs done.
__attribute__((target("avx2"))) int MeasureAndEncodeAvx2(PowerMeter &meter, const double *i, const double *q,
                                                         int count, int16_t *pairs)
{
    __m256d maxima = _mm256_set1_pd(meter.maximum);
    alignas(32) double powers[kGroupPowers];
    const int whole = count - count % 4;
    for (int first = 0; first < whole; first += kGroupPowers) {
        const int n = std::min(kGroupPowers, whole - first);
        for (int k = 0; k < n; k += 4) {
            const __m256d inI = _mm256_loadu_pd(i + first + k);
            const __m256d inQ = _mm256_loadu_pd(q + first + k);
            const __m256d power = _mm256_add_pd(_mm256_mul_pd(inI, inI), _mm256_mul_pd(inQ, inQ));
            maxima = _mm256_max_pd(power, maxima);  // power > maxima ? power : maxima, lane by lane
            _mm256_store_pd(powers + k, power);
            Conversion_StoreFourPairsAvx2(inI, inQ, pairs + 2 * (first + k));
        }
        meter.sum = Conversion_AddInOrder(meter.sum, powers, n);
    }
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, maxima);
    for (const double lane : lanes) meter.maximum = Larger(lane, meter.maximum);
    return whole;
}
#endif

}  // namespace

double Conversion_AddInOrder(double sum, const double *powers, int count)
{
    for (int first = 0; first < count; first += kGroupPowers) {
        const int n = std::min(kGroupPowers, count - first);
        for (int k = AddGroupInUnits()(&sum, powers + first, n); k < n; ++k) sum += powers[first + k];
    }
    return sum;
}

namespace {

// The loops of Conversion_MeasureInOrder and Conversion_MeasureInLanes, built for AVX2 and for
// the baseline.
inline __attribute__((always_inline)) void MeasureInOrder(PowerMeter &meter, const double *i, const double *q,
                                                          int count)
{
    Double4 maxima = {meter.maximum, meter.maximum, meter.maximum, meter.maximum};
    double maximum = meter.maximum;
    double powers[kGroupPowers];
    for (int first = 0; first < count; first += kGroupPowers) {
        const int n = std::min(kGroupPowers, count - first);
        int k = 0;
        for (; k + 4 <= n; k += 4) {
            Double4 inI, inQ;
            Load4(&inI, i + first + k);
            Load4(&inQ, q + first + k);
            const Double4 power = inI * inI + inQ * inQ;
            maxima = power > maxima ? power : maxima;
            std::memcpy(powers + k, &power, sizeof power);
        }
        for (; k < n; ++k) {
            powers[k] = i[first + k] * i[first + k] + q[first + k] * q[first + k];
            maximum = Larger(powers[k], maximum);
        }
        meter.sum = Conversion_AddInOrder(meter.sum, powers, n);
    }
    meter.maximum = LargestLane(&maxima, maximum);
}

inline __attribute__((always_inline)) void MeasureInLanes(PowerMeter &meter, const double *i, const double *q,
                                                          int count)
{
    Double4 sums[2] = {{0.0, 0.0, 0.0, 0.0}, {0.0, 0.0, 0.0, 0.0}};
    Double4 maxima = {meter.maximum, meter.maximum, meter.maximum, meter.maximum};
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        for (int half = 0; half < 2; ++half) {
            Double4 inI, inQ;
            Load4(&inI, i + k + 4 * half);
            Load4(&inQ, q + k + 4 * half);
            const Double4 power = inI * inI + inQ * inQ;
            maxima = power > maxima ? power : maxima;
            sums[half] += power;
        }
    }
    const Double4 lanes = sums[0] + sums[1];
    double sum = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    double maximum = LargestLane(&maxima, meter.maximum);
    for (; k < count; ++k) {
        const double power = i[k] * i[k] + q[k] * q[k];
        sum += power;
        maximum = Larger(power, maximum);
    }
    meter.sum += sum;
    meter.maximum = maximum;
}

}  // namespace

void Conversion_MeasureInOrder(PowerMeter &meter, const double *i, const double *q, int count)
{
    VectorLoop<MeasureInOrder>::Run(meter, i, q, count);
}

void Conversion_MeasureInLanes(PowerMeter &meter, const double *i, const double *q, int count)
{
    VectorLoop<MeasureInLanes>::Run(meter, i, q, count);
}

void Conversion_MeasureAndEncodeInOrder(PowerMeter &meter, const double *i, const double *q, int count,
                                        int16_t *pairs)
{
    int k = 0;
#if defined(__x86_64__)
    if (Cpu_UseAvx2()) k = MeasureAndEncodeAvx2(meter, i, q, count, pairs);
#endif
    Conversion_MeasureInOrder(meter, i + k, q + k, count - k);
    Conversion_EncodeZmxPairs(count - k, i + k, q + k, pairs + 2 * k);
}
