#pragma once
// The choice of the hot loops' instruction sets, made at run time. Most loops come in an AVX2
// build and a baseline one (x86-64: SSE2), some also in an AVX-512 build; all of them give the
// same results, bit for bit (nothing is fused, -ffp-contract=off, and every sum keeps its order).
// Cpu_UseAvx2() and Cpu_UseAvx512() pick the variant once per process, and two environment
// variables turn the wider ones off: QUELVOR_NO_AVX512 leaves AVX2 and the baseline,
// QUELVOR_NO_AVX2 leaves only the baseline, the loops of a processor without AVX2. That is how
// the tests run each variant on one machine.

#include <cstdlib>
#include <type_traits>

// True where the processor runs AVX2 instructions, unless the environment sets QUELVOR_NO_AVX2.
// Decided once.
inline bool Cpu_UseAvx2()
{
#if defined(__x86_64__)
    static const bool use = __builtin_cpu_supports("avx2") && std::getenv("QUELVOR_NO_AVX2") == nullptr;
    return use;
#else
    return false;
#endif
}

// True where the processor runs the AVX-512 loops (AVX-512 F and BW) and the AVX2 ones are in
// use, unless the environment sets QUELVOR_NO_AVX512: the AVX2 loops then run instead. Decided
// once.
inline bool Cpu_UseAvx512()
{
#if defined(__x86_64__)
    static const bool use = Cpu_UseAvx2() && __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") && std::getenv("QUELVOR_NO_AVX512") == nullptr;
    return use;
#else
    return false;
#endif
}

// Code built for AVX2 whatever the target of the build; run it only where Cpu_UseAvx2().
#if defined(__x86_64__)
#define QUELVOR_AVX2 __attribute__((target("avx2")))
#else
#define QUELVOR_AVX2
#endif

// One loop built twice. Loop is a function declared `inline __attribute__((always_inline))`, so
// that each of the two functions below gets its own copy of it, compiled for its instruction
// set: Avx2 (which only Cpu_UseAvx2() may run) and Baseline. Run calls the one in use; Chosen
// gives it for a table of functions.
//   VectorLoop<SplitEvenOdd>::Run(from, count, even, odd);
template <auto Loop, typename Signature = std::remove_pointer_t<decltype(Loop)>>
struct VectorLoop;

template <auto Loop, typename Result, typename... Parameters>
struct VectorLoop<Loop, Result(Parameters...)> {
    using Function = Result (*)(Parameters...);

    QUELVOR_AVX2 static Result Avx2(Parameters... arguments) { return Loop(arguments...); }
    static Result Baseline(Parameters... arguments) { return Loop(arguments...); }

    static Result Run(Parameters... arguments)
    {
        return Cpu_UseAvx2() ? Avx2(arguments...) : Baseline(arguments...);
    }
    static Function Chosen() { return Cpu_UseAvx2() ? Avx2 : Baseline; }
};

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
