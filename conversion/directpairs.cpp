#include "conversion/directpairs.h"

#include <algorithm>

#include "base/cpu.h"
#include "parser/formats.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include "conversion/pairencoding.h"
#endif

namespace {

// The description of plain pairs without mirror, whatever the chain does after decoding.
std::optional<DirectPairs> PlainPairsFor(const ConversionSettings &settings)
{
#if defined(__x86_64__)
    const int format = settings.sampleFormat;
    if (format != kInt16 && format != kFloat32) return std::nullopt;
    const bool plainPairs = !settings.separateFiles && settings.valuesPerSet == 2 && settings.iValueIndex == 0 &&
                            settings.qValueIndex == 1 && settings.bytesPerSet == 2 * kFormats[format].bytesPerValue;
    if (!plainPairs || !Cpu_UseAvx2()) return std::nullopt;
    DirectPairs pairs;
    pairs.sampleFormat = format;
    pairs.swapBytes = settings.swapBytes != 0;
    pairs.swapIQ = settings.swapIQ != 0;
    pairs.wide = Cpu_UseAvx512();
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

}  // namespace

std::optional<DirectPairs> Conversion_DirectPairsFor(const ConversionSettings &settings)
{
    if (settings.shiftFraction != 0.0) return std::nullopt;
    std::optional<DirectPairs> pairs = PlainPairsFor(settings);
    if (pairs) pairs->mirror = settings.mirrorOn != 0;
    return pairs;
}

std::optional<DirectPairs> Conversion_DecodingPairsFor(const ConversionSettings &settings)
{
    return PlainPairsFor(settings);
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
        if constexpr (Swap)
            raw = _mm_shuffle_epi8(raw, _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14));
        const __m256i split = SplitFirstAndSecond(_mm256_cvtepi16_epi32(raw));
        return {_mm256_cvtepi32_pd(_mm256_castsi256_si128(split)),
                _mm256_cvtepi32_pd(_mm256_extracti128_si256(split, 1))};
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
        return {_mm256_cvtps_pd(_mm256_castps256_ps128(split)),
                _mm256_cvtps_pd(_mm256_extractf128_ps(split, 1))};
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
    constexpr int kGroup = 256;
    __m256d maxima = _mm256_set1_pd(meter.maximum);
    alignas(32) double powers[kGroup];
    const int whole = count - count % 4;
    for (int first = 0; first < whole; first += kGroup) {
        const int n = std::min(kGroup, whole - first);
        for (int k = 0; k < n; k += 4) {
            const FourPairs values = DecodeFour<Sets>(pairs, bytes + (first + k) / 4 * Sets::kBytes);
            const __m256d power = PowersOf(values);
            maxima = _mm256_max_pd(power, maxima);
            _mm256_store_pd(powers + k, power);
            Conversion_StoreFourPairsAvx2(values.i, values.q, encoded + 2 * (first + k));
        }
        // The sum of the writing pass is the plain loop's, pair after pair.
        meter.sum = Conversion_AddInOrder(meter.sum, powers, n);
    }
    meter.maximum = LargestOf(maxima, meter.maximum);
    return whole;
}

// ---- Eight sets per step (AVX-512) -------------------------------------------------------------
// The same steps as above on registers of eight doubles: the same results, bit for bit.

#define QUELVOR_AVX512 __attribute__((target("avx512f,avx512bw")))

QUELVOR_AVX512_CODE_BEGIN

struct EightSets {
    __m512d first;
    __m512d second;
};

QUELVOR_AVX512 inline __m512i SplitFirstAndSecond(__m512i interleaved)
{
    return _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15),
                                    interleaved);
}

template <bool Swap>
struct Int16Sets8 {
    static constexpr int kBytes = 32;
    QUELVOR_AVX512 static EightSets Load(const char *at)
    {
        __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
        if constexpr (Swap) {
            const __m256i reverse = _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1, 0, 3, 2,
                                                     5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
            raw = _mm256_shuffle_epi8(raw, reverse);
        }
        const __m512i split = SplitFirstAndSecond(_mm512_cvtepi16_epi32(raw));
        return {_mm512_cvtepi32_pd(_mm512_castsi512_si256(split)),
                _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(split, 1))};
    }
};

template <bool Swap>
struct Float32Sets8 {
    static constexpr int kBytes = 64;
    QUELVOR_AVX512 static EightSets Load(const char *at)
    {
        __m512i raw = _mm512_loadu_si512(at);
        if constexpr (Swap) {
            const __m512i reverse = _mm512_set4_epi32(0x0C0D0E0F, 0x08090A0B, 0x04050607, 0x00010203);
            raw = _mm512_shuffle_epi8(raw, reverse);
        }
        const __m512d split = _mm512_castsi512_pd(SplitFirstAndSecond(raw));
        return {_mm512_cvtps_pd(_mm256_castpd_ps(_mm512_castpd512_pd256(split))),
                _mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(split, 1)))};
    }
};

struct EightPairs {
    __m512d i;
    __m512d q;
};

template <typename Sets>
QUELVOR_AVX512 inline EightPairs DecodeEight(const DirectPairs &pairs, const char *at)
{
    const EightSets raw = Sets::Load(at);
    const __m512d scale = _mm512_set1_pd(pairs.scale);
    const __m512d first = _mm512_add_pd(_mm512_mul_pd(raw.first, scale), _mm512_set1_pd(pairs.firstOffset));
    const __m512d second = _mm512_add_pd(_mm512_mul_pd(raw.second, scale), _mm512_set1_pd(pairs.secondOffset));
    EightPairs out = pairs.swapIQ ? EightPairs{second, first} : EightPairs{first, second};
    if (pairs.mirror) out.q = _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(out.q),
                                                                  _mm512_set1_epi64(INT64_MIN)));
    return out;
}

QUELVOR_AVX512 inline __m512d PowersOf(const EightPairs &values)
{
    return _mm512_add_pd(_mm512_mul_pd(values.i, values.i), _mm512_mul_pd(values.q, values.q));
}

// Eight values as 32-bit integers as Conversion_EncodeFourAvx2 gives them: NaN 0, held to the
// 16-bit range, then floored (by the conversion's own rounding toward minus infinity).
QUELVOR_AVX512 inline __m256i EncodeEight(__m512d x)
{
    __m512d t = _mm512_add_pd(x, _mm512_set1_pd(0.5));
    t = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(t, t, _CMP_ORD_Q), t);
    t = _mm512_min_pd(_mm512_max_pd(t, _mm512_set1_pd(-32768.0)), _mm512_set1_pd(32767.0));
    return _mm512_cvt_roundpd_epi32(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}

// Encodes eight pairs into sixteen 16-bit values I0 Q0 I1 Q1 ... I7 Q7.
QUELVOR_AVX512 inline void StoreEightPairs(__m512d i, __m512d q, int16_t *pairs)
{
    const __m512i both = _mm512_inserti64x4(_mm512_castsi256_si512(EncodeEight(i)), EncodeEight(q), 1);
    const __m512i interleaved =
        _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15), both);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(pairs), _mm512_cvtsepi32_epi16(interleaved));
}

QUELVOR_AVX512 double LargestOf(__m512d maxima, double maximum)
{
    alignas(64) double lanes[8];
    _mm512_store_pd(lanes, maxima);
    for (const double lane : lanes) maximum = lane > maximum ? lane : maximum;
    return maximum;
}

template <typename Sets>
QUELVOR_AVX512 int MeasureInLanes8(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter)
{
    __m512d sums[2] = {_mm512_setzero_pd(), _mm512_setzero_pd()};
    __m512d maxima = _mm512_set1_pd(meter.maximum);
    int k = 0;
    for (; k + 16 <= count; k += 16) {
        for (int half = 0; half < 2; ++half) {
            const __m512d powers = PowersOf(DecodeEight<Sets>(pairs, bytes + (k / 8 + half) * Sets::kBytes));
            maxima = _mm512_max_pd(powers, maxima);
            sums[half] = _mm512_add_pd(sums[half], powers);
        }
    }
    alignas(64) double lanes[8];
    _mm512_store_pd(lanes, _mm512_add_pd(sums[0], sums[1]));
    meter.sum += ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
    meter.maximum = LargestOf(maxima, meter.maximum);
    return k;
}

template <typename Sets>
QUELVOR_AVX512 int MeasureAndEncodeInOrder8(const DirectPairs &pairs, const char *bytes, int count,
                                            PowerMeter &meter, int16_t *encoded)
{
    constexpr int kGroup = 256;
    __m512d maxima = _mm512_set1_pd(meter.maximum);
    alignas(64) double powers[kGroup];
    const int whole = count - count % 8;
    for (int first = 0; first < whole; first += kGroup) {
        const int n = std::min(kGroup, whole - first);
        for (int k = 0; k < n; k += 8) {
            const EightPairs values = DecodeEight<Sets>(pairs, bytes + (first + k) / 8 * Sets::kBytes);
            const __m512d power = PowersOf(values);
            maxima = _mm512_max_pd(power, maxima);
            _mm512_store_pd(powers + k, power);
            StoreEightPairs(values.i, values.q, encoded + 2 * (first + k));
        }
        meter.sum = Conversion_AddInOrder(meter.sum, powers, n);
    }
    meter.maximum = LargestOf(maxima, meter.maximum);
    return whole;
}

template <typename Sets>
QUELVOR_AVX512 int DecodeEights(const DirectPairs &pairs, const char *bytes, int count, double *i, double *q)
{
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        const EightPairs values = DecodeEight<Sets>(pairs, bytes + k / 8 * Sets::kBytes);
        _mm512_storeu_pd(i + k, values.i);
        _mm512_storeu_pd(q + k, values.q);
    }
    return k;
}

QUELVOR_AVX512_CODE_END

template <typename Sets>
__attribute__((target("avx2"))) int DecodeFours(const DirectPairs &pairs, const char *bytes, int count, double *i,
                                                double *q)
{
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const FourPairs values = DecodeFour<Sets>(pairs, bytes + k / 4 * Sets::kBytes);
        _mm256_storeu_pd(i + k, values.i);
        _mm256_storeu_pd(q + k, values.q);
    }
    return k;
}

// Runs the loop for the format, byte order and width of `pairs`: wide.template operator()<Sets>()
// with the eight-set loaders, narrow... with the four-set ones.
template <typename Wide, typename Narrow>
int ForPairs(const DirectPairs &pairs, Wide wide, Narrow narrow)
{
    if (pairs.wide && pairs.sampleFormat == kInt16)
        return pairs.swapBytes ? wide.template operator()<Int16Sets8<true>>()
                               : wide.template operator()<Int16Sets8<false>>();
    if (pairs.wide)
        return pairs.swapBytes ? wide.template operator()<Float32Sets8<true>>()
                               : wide.template operator()<Float32Sets8<false>>();
    if (pairs.sampleFormat == kInt16)
        return pairs.swapBytes ? narrow.template operator()<Int16Sets<true>>()
                               : narrow.template operator()<Int16Sets<false>>();
    return pairs.swapBytes ? narrow.template operator()<Float32Sets<true>>()
                           : narrow.template operator()<Float32Sets<false>>();
}

}  // namespace

int Conversion_MeasureDirectPairs(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter)
{
    return ForPairs(
        pairs, [&]<typename Sets>() { return MeasureInLanes8<Sets>(pairs, bytes, count, meter); },
        [&]<typename Sets>() { return MeasureInLanes<Sets>(pairs, bytes, count, meter); });
}

int Conversion_MeasureAndEncodeDirectPairs(const DirectPairs &pairs, const char *bytes, int count, PowerMeter &meter,
                                           int16_t *encoded)
{
    return ForPairs(
        pairs, [&]<typename Sets>() { return MeasureAndEncodeInOrder8<Sets>(pairs, bytes, count, meter, encoded); },
        [&]<typename Sets>() { return MeasureAndEncodeInOrder<Sets>(pairs, bytes, count, meter, encoded); });
}

int Conversion_DecodeDirectPairs(const DirectPairs &pairs, const char *bytes, int count, double *i, double *q)
{
    return ForPairs(
        pairs, [&]<typename Sets>() { return DecodeEights<Sets>(pairs, bytes, count, i, q); },
        [&]<typename Sets>() { return DecodeFours<Sets>(pairs, bytes, count, i, q); });
}

#else

int Conversion_MeasureDirectPairs(const DirectPairs &, const char *, int, PowerMeter &) { return 0; }
int Conversion_MeasureAndEncodeDirectPairs(const DirectPairs &, const char *, int, PowerMeter &, int16_t *)
{
    return 0;
}
int Conversion_DecodeDirectPairs(const DirectPairs &, const char *, int, double *, double *) { return 0; }

#endif
