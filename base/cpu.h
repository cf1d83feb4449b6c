#pragma once
// Hot loops marked QUELVOR_VECTOR_CLONES are built twice, for AVX2 and for the baseline, and the
// loader picks the one the processor runs. The thread sanitizer's run time crashes in the
// loader's choice (it runs before the sanitizer is set up), and clang cannot clone function
// templates, so those builds (the thread-sanitized tests and the fuzz targets) keep the baseline.

#if defined(QUELVOR_NO_TARGET_CLONES) || defined(__clang__)
#define QUELVOR_VECTOR_CLONES
#else
#define QUELVOR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif

// GCC's AVX-512 intrinsics pass a deliberately undefined register through, which its flow
// analysis reports as maybe uninitialized; code using them sits between these two.
#if defined(__clang__)
#define QUELVOR_AVX512_CODE_BEGIN
#define QUELVOR_AVX512_CODE_END
#else
#define QUELVOR_AVX512_CODE_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define QUELVOR_AVX512_CODE_END _Pragma("GCC diagnostic pop")
#endif

#include <cstdlib>

// True where the processor runs the AVX-512 loops (AVX-512 F and BW), unless the environment
// sets QUELVOR_NO_AVX512: the AVX2 loops then run instead, with the same results, which is how
// the tests check those loops on such processors and how the two are compared. Decided once.
inline bool Configuration_UseAvx512()
{
#if defined(__x86_64__)
    static const bool use = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            std::getenv("QUELVOR_NO_AVX512") == nullptr;
    return use;
#else
    return false;
#endif
}
