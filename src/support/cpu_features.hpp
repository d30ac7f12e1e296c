#pragma once
// Which wider instructions the processor running the module offers. Kernels
// that use them are compiled for them alone (with a target attribute) and
// chosen at run time; the plain build stays runnable on any x86-64.

namespace kaltrope::simd {

// The kernels rely on GCC's inlining across target attributes; a clang build
// (the coverage-guided fuzzing build) uses the portable kernels alone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KALTROPE_X86_SIMD 1
#endif

// AVX2 (256-bit vectors) with the population count instruction.
bool has_avx2();

// AVX-512 Foundation (512-bit vectors, mask registers) with the population
// count instruction.
bool has_avx512();

}  // namespace kaltrope::simd
