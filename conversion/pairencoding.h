#pragma once
// The 16-bit encoding of output values on AVX2, shared by the pair encoder and the fused
// measuring and encoding loop. Each value becomes floor(x + 0.5) held to -32768 .. 32767, NaN 0:
// the integers of the plain encoder, bit for bit. Call these only from code built for AVX2 and
// only where Cpu_UseAvx2() (base/cpu.h).

#include <immintrin.h>

#include <cstdint>

// Four values as 32-bit integers. NaN becomes 0 first, then the value is held to the 16-bit
// range (before the rounding, which gives the same integer as after: the bounds are integers),
// so the truncating conversion of the floored value is always defined and exact.
__attribute__((target("avx2"))) inline __m128i Conversion_EncodeFourAvx2(__m256d x)
{
    __m256d t = _mm256_add_pd(x, _mm256_set1_pd(0.5));
    t = _mm256_and_pd(t, _mm256_cmp_pd(t, t, _CMP_ORD_Q));
    t = _mm256_min_pd(_mm256_max_pd(t, _mm256_set1_pd(-32768.0)), _mm256_set1_pd(32767.0));
    return _mm256_cvttpd_epi32(_mm256_round_pd(t, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}

// Encodes four pairs into eight 16-bit values I0 Q0 I1 Q1 I2 Q2 I3 Q3.
__attribute__((target("avx2"))) inline void Conversion_StoreFourPairsAvx2(__m256d i, __m256d q, int16_t *pairs)
{
    const __m128i iValues = Conversion_EncodeFourAvx2(i);
    const __m128i qValues = Conversion_EncodeFourAvx2(q);
    const __m128i interleaved =
        _mm_packs_epi32(_mm_unpacklo_epi32(iValues, qValues), _mm_unpackhi_epi32(iValues, qValues));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(pairs), interleaved);
}
