#include "conversion/levels.h"

#include <cstring>

#include "configuration/vectorclones.h"

#include "conversion/wvwriter.h"
#if defined(__x86_64__)
#include "conversion/pairencoding.h"
#endif

namespace {

// Four doubles in one register; the compiler maps it to the target's vector instructions. The
// products and sums are those of the plain expression, lane by lane (nothing is fused).
typedef double Double4 __attribute__((vector_size(32)));

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
    double sum = meter.sum;
    __m256d maxima = _mm256_set1_pd(meter.maximum);
    alignas(32) double power[4];
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d inI = _mm256_loadu_pd(i + k);
        const __m256d inQ = _mm256_loadu_pd(q + k);
        const __m256d powers = _mm256_add_pd(_mm256_mul_pd(inI, inI), _mm256_mul_pd(inQ, inQ));
        maxima = _mm256_max_pd(powers, maxima);  // powers > maxima ? powers : maxima, lane by lane
        _mm256_store_pd(power, powers);
        sum += power[0];
        sum += power[1];
        sum += power[2];
        sum += power[3];
        Conversion_StoreFourPairsAvx2(inI, inQ, pairs + 2 * k);
    }
    _mm256_store_pd(power, maxima);
    double maximum = meter.maximum;
    for (const double lane : power) maximum = Larger(lane, maximum);
    meter.sum = sum;
    meter.maximum = maximum;
    return k;
}
#endif

}  // namespace

// Built for AVX2 and for the baseline; the loader picks the one the processor runs.
QUELVOR_VECTOR_CLONES void Conversion_MeasureInOrder(PowerMeter &meter, const double *i,
                                                                                 const double *q, int count)
{
    double sum = meter.sum;
    Double4 maxima = {meter.maximum, meter.maximum, meter.maximum, meter.maximum};
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        Double4 inI, inQ;
        Load4(&inI, i + k);
        Load4(&inQ, q + k);
        const Double4 power = inI * inI + inQ * inQ;
        maxima = power > maxima ? power : maxima;
        sum += power[0];
        sum += power[1];
        sum += power[2];
        sum += power[3];
    }
    double maximum = LargestLane(&maxima, meter.maximum);
    for (; k < count; ++k) {
        const double power = i[k] * i[k] + q[k] * q[k];
        sum += power;
        maximum = Larger(power, maximum);
    }
    meter.sum = sum;
    meter.maximum = maximum;
}

QUELVOR_VECTOR_CLONES void Conversion_MeasureInLanes(PowerMeter &meter, const double *i,
                                                                                 const double *q, int count)
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

void Conversion_MeasureAndEncodeInOrder(PowerMeter &meter, const double *i, const double *q, int count,
                                        int16_t *pairs)
{
    int k = 0;
#if defined(__x86_64__)
    if (Conversion_HasAvx2()) k = MeasureAndEncodeAvx2(meter, i, q, count, pairs);
#endif
    Conversion_MeasureInOrder(meter, i + k, q + k, count - k);
    Conversion_EncodeZmxPairs(count - k, i + k, q + k, pairs + 2 * k);
}
