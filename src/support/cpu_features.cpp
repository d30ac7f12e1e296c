#include "support/cpu_features.hpp"

namespace kaltrope::simd {

bool has_avx2() {
#ifdef KALTROPE_X86_SIMD
    static const bool supported = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return supported;
#else
    return false;
#endif
}

bool has_avx512() {
#ifdef KALTROPE_X86_SIMD
    static const bool supported = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("popcnt");
    return supported;
#else
    return false;
#endif
}

}  // namespace kaltrope::simd
