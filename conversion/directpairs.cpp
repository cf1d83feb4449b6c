#include "conversion/directpairs.h"

#include "parser/formats.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include "conversion/pairencoding.h"
#endif

std::optional<DirectPairs> Conversion_DirectPairsFor(const ConversionSettings &settings)
{
#if defined(__x86_64__)
    const int format = settings.sampleFormat;
    if (format != kInt16 && format != kFloat32) return std::nullopt;
    const bool plainPairs = !settings.separateFiles && settings.valuesPerSet == 2 && settings.iValueIndex == 0 &&
                            settings.qValueIndex == 1 && settings.bytesPerSet == 2 * kFormats[format].bytesPerValue;
    if (!plainPairs || settings.shiftFraction != 0.0 || !Conversion_HasAvx2()) return std::nullopt;
    DirectPairs pairs;
    pairs.sampleFormat = format;
    pairs.swapBytes = settings.swapBytes != 0;
    pairs.swapIQ = settings.swapIQ != 0;
    pairs.mirror = settings.mirrorOn != 0;
    pairs.scale = settings.scale;
    // As Parser_DecodeSets: with the order "QI" the first value of a set is Q and takes Q's offset.
    pairs.firstOffset = static_cast<double>(pairs.swapIQ ? settings.qOffset : settings.iOffset);
    pairs.secondOffset = static_cast<double>(pairs.swapIQ ? settings.iOffset : settings.qOffset);
    return pairs;
#else
    (void)settings;
    return std::nullopt;
#endif
}

#if defined(__x86_64__)
namespace {

// The values of four sets as doubles, before scale and offset: first[k] and second[k] of set k.
// The conversions are exact, as the plain decoder's casts are.
struct FourSets {
    __m256d first;
    __m256d second;
};

// Gathers the first values of the sets into the low half and the second values into the high half.
__attribute__((target("avx2"))) inline __m256i SplitFirstAndSecond(__m256i interleaved)
{
    return _mm256_permutevar8x32_epi32(interleaved, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

template <bool Swap>
struct Int16Sets {
    static constexpr int kBytes = 16;
    __attribute__((target("avx2"))) static FourSets Load(const char *at)
    {
        __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        if constexpr (Swap) raw = _mm_shuffle_epi8(raw, _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
        const __m256i split = SplitFirstAndSecond(_mm256_cvtepi16_epi32(raw));
        return {_mm256_cvtepi32_pd(_mm256_castsi256_si128(split)), _mm256_cvtepi32_pd(_mm256_extracti128_si256(split, 1))};
    }
};

template <bool Swap>
struct Float32Sets {
    static constexpr int kBytes = 32;
    __attribute__((target("avx2"))) static FourSets Load(const char *at)
    {
        __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
        if constexpr (Swap) {
            const __m256i reverse = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0, 7,
                                                     6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
            raw = _mm256_shuffle_epi8(raw, reverse);
        }
        const __m256 split = _mm256_castsi256_ps(SplitFirstAndSecond(raw));
        return {_mm256_cvtps_pd(_mm256_castps256_ps128(split)), _mm256_cvtps_pd(_mm256_extractf128_ps(split, 1))};
    }
};

// I and Q of four sets as the decoder and the mirror leave them.
struct FourPairs {
    __m256d i;
    __m256d q;
};

template <typename Sets>
__attribute__((target("avx2"))) inline FourPairs DecodeFour(const DirectPairs &pairs, const char *at)
{
    const FourSets raw = Sets::Load(at);
    const __m256d scale = _mm256_set1_pd(pairs.scale);
    // Multiply, then add: the plain decoder's value x scale + offset, never fused.
    const __m256d first = _mm256_add_pd(_mm256_mul_pd(raw.first, scale), _mm256_set1_pd(pairs.firstOffset));
    const __m256d second = _mm256_add_pd(_mm256_mul_pd(raw.second, scale), _mm256_set1_pd(pairs.secondOffset));
    FourPairs out = pairs.swapIQ ? FourPairs{second, first} : FourPairs{first, second};
    // Flipping the sign bit is the mirror's negation, for every value including zeros and NaN.
    if (pairs.mirror) out.q = _mm256_xor_pd(out.q, _mm256_set1_pd(-0.0));
    return out;
}

__attribute__((target("avx2"))) inline __m256d PowersOf(const FourPairs &values)
{
    return _mm256_add_pd(_mm256_mul_pd(values.i, values.i), _mm256_mul_pd(values.q, values.q));
}

// The larger of the lanes and `maximum` as the plain comparison picks it: NaN never wins.
__attribute__((target("avx2"))) double LargestOf(__m256d maxima, double maximum)
{
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, maxima);
    for (const double lane : lanes) maximum = lane > maximum ? lane : maximum;
    return maximum;
}

template <typename Sets>
__attribute__((target("avx2"))) int MeasureInLanes(const DirectPairs &pairs, const char *bytes, int count,
                                                   PowerMeter &meter)
{
    __m256d sums[2] = {_mm256_setzero_pd(), _mm256_setzero_pd()};
    __m256d maxima = _mm256_set1_pd(meter.maximum);
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        for (int half = 0; half < 2; ++half) {
            const __m256d powers = PowersOf(DecodeFour<Sets>(pairs, bytes + (k / 4 + half) * Sets::kBytes));
            maxima = _mm256_max_pd(powers, maxima);  // powers > maxima ? powers : maxima, lane by lane
            sums[half] = _mm256_add_pd(sums[half], powers);
        }
    }
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, _mm256_add_pd(sums[0], sums[1]));
    meter.sum += (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    meter.maximum = LargestOf(maxima, meter.maximum);
    return k;
}

template <typename Sets>
__attribute__((target("avx2"))) int MeasureAndEncodeInOrder(const DirectPairs &pairs, const char *bytes, int count,
                                                            PowerMeter &meter, int16_t *encoded)
{
    double sum = meter.sum;
    __m256d maxima = _mm256_set1_pd(meter.maximum);
    alignas(32) double power[4];
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const FourPairs values = DecodeFour<Sets>(pairs, bytes + (k / 4) * Sets::kBytes);
        const __m256d powers = PowersOf(values);
        maxima = _mm256_max_pd(powers, maxima);
        _mm256_store_pd(power, powers);
        // The sum of one pass is added pair after pair, as the plain loop adds it.
        sum += power[0];
        sum += power[1];
        sum += power[2];
        sum += power[3];
        Conversion_StoreFourPairsAvx2(values.i, values.q, encoded + 2 * k);
    }
    meter.sum = sum;
    meter.maximum = LargestOf(maxima, meter.maximum);
    return k;
}

}  // namespace

int Conversion_MeasureDirectPairs(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter)
{
    if (pairs.sampleFormat == kInt16)
        return pairs.swapBytes ? MeasureInLanes<Int16Sets<true>>(pairs, bytes, count, meter)
                               : MeasureInLanes<Int16Sets<false>>(pairs, bytes, count, meter);
    return pairs.swapBytes ? MeasureInLanes<Float32Sets<true>>(pairs, bytes, count, meter)
                           : MeasureInLanes<Float32Sets<false>>(pairs, bytes, count, meter);
}

int Conversion_MeasureAndEncodeDirectPairs(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter,
                                           int16_t *encoded)
{
    if (pairs.sampleFormat == kInt16)
        return pairs.swapBytes ? MeasureAndEncodeInOrder<Int16Sets<true>>(pairs, bytes, count, meter, encoded)
                               : MeasureAndEncodeInOrder<Int16Sets<false>>(pairs, bytes, count, meter, encoded);
    return pairs.swapBytes ? MeasureAndEncodeInOrder<Float32Sets<true>>(pairs, bytes, count, meter, encoded)
                           : MeasureAndEncodeInOrder<Float32Sets<false>>(pairs, bytes, count, meter, encoded);
}

#else

int Conversion_MeasureDirectPairs(const DirectPairs &, const char *, int, PowerMeter &) { return 0; }
int Conversion_MeasureAndEncodeDirectPairs(const DirectPairs &, const char *, int, PowerMeter &, int16_t *)
{
    return 0;
}

#endif
