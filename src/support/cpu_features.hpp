#pragma once
// Which wider instructions the kernels may use on the processor running the
// module. Kernels that use them are compiled for them alone (with a target
// attribute) and chosen at run time; the plain build stays runnable on any
// x86-64. Every kernel gives the same results as the portable one.
//
// KALTROPE_DISABLE_CPU_FEATURES (read once) names instruction sets the
// kernels must not use, as NumPy's NPY_DISABLE_CPU_FEATURES does: "avx512",
// or "avx2" (which disables the AVX-512 kernels too), separated by commas or
// blanks, in any case. It runs the kernels of an older processor here: for
// their tests, and to rule a kernel out when a result is in question.

#include <string>
#include <vector>

namespace kaltrope::simd {

// The kernels rely on GCC's inlining across target attributes; a clang build
// (the coverage-guided fuzzing build) uses the portable kernels alone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KALTROPE_X86_SIMD 1
#endif

// AVX2 (256-bit vectors) with the population count instruction.
bool has_avx2();

// AVX-512 Foundation (512-bit vectors, mask registers) and its doubleword
// and quadword instructions (DQ), with the population count instruction.
bool has_avx512();

// The names in KALTROPE_DISABLE_CPU_FEATURES that name no instruction set
// above; they disable nothing.
const std::vector<std::string>& unknown_disabled_features();

}  // namespace kaltrope::simd
