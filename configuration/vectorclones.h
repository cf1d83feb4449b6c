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
