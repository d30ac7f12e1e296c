#include "core/predicates/sight_line.hpp"

#include <emmintrin.h>

namespace kaltrope {

// Two numbers at a time (SSE2, which every x86-64 has): the compiler does not
// vectorise the comparisons of moderate() by itself.
bool all_moderate(std::span<const double> numbers) {
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d smallest = _mm_set1_pd(kSmallestModerate);
    const __m128d largest = _mm_set1_pd(kLargestModerate);
    const __m128d zero = _mm_setzero_pd();
    __m128d immoderate = zero;
    std::size_t i = 0;
    for (; i + 2 <= numbers.size(); i += 2) {
        const __m128d magnitude = _mm_andnot_pd(sign, _mm_loadu_pd(numbers.data() + i));
        const __m128d too_small = _mm_and_pd(_mm_cmplt_pd(magnitude, smallest), _mm_cmpgt_pd(magnitude, zero));
        immoderate = _mm_or_pd(immoderate, _mm_or_pd(too_small, _mm_cmpgt_pd(magnitude, largest)));
    }
    bool all = _mm_movemask_pd(immoderate) == 0;
    for (; i < numbers.size(); ++i) all = all && moderate(numbers[i]);
    return all;
}

}  // namespace kaltrope
