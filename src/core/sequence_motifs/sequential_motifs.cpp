#include "core/sequence_motifs/sequential_motifs.hpp"

#include <algorithm>
#include <bit>

#include "core/predicates/orientation.hpp"
#include "core/vector_visibility/row_matrix.hpp"
#include "core/vector_visibility/scaling.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"
#include "support/cpu_features.hpp"

#ifdef KALTROPE_X86_SIMD
#include <immintrin.h>
#endif

namespace kaltrope::motifs {
namespace {

// The optional edges of heights w0 .. w3 at unit spacing: [a, a + 2] with
// one sample between, [0, 3] with two. All comparisons are strict; natural
// ones are exact orientations (a sample strictly below the line through the
// ends), which the vector kernels filter as the predicate's filter does.
template <bool Horizontal>
inline bool sees_over_one(double w0, double w1, double w2) {
    if constexpr (Horizontal) {
        return std::min(w0, w2) > w1;
    } else {
        return orientation(0, w0, 2, w2, 1, w1) < 0;
    }
}

template <bool Horizontal>
inline bool sees_over_two(double w0, double w1, double w2, double w3) {
    if constexpr (Horizontal) {
        const double low = std::min(w0, w3);
        return (low > w1) & (low > w2);
    } else {
        return orientation(0, w0, 3, w3, 1, w1) < 0 && orientation(0, w0, 3, w3, 2, w2) < 0;
    }
}

// [1,3] of window k is [0,2] of window k + 1: the same three samples under
// the same rule, so each triple is tested once.

// Windows [begin, end) one at a time, into counts; false when a sample
// q[begin .. end) is not finite.
template <bool Horizontal>
bool count_windows(const double* q, std::size_t begin, std::size_t end, MotifHistogram& counts) {
    if (begin >= end) return true;
    bool finite = true;
    bool over_one = sees_over_one<Horizontal>(q[begin], q[begin + 1], q[begin + 2]);
    for (std::size_t k = begin; k < end; ++k) {
        finite &= is_finite(q[k]);
        const bool following = sees_over_one<Horizontal>(q[k + 1], q[k + 2], q[k + 3]);
        const unsigned code = unsigned{over_one} | (unsigned{following} << 1) |
                              (unsigned{sees_over_two<Horizontal>(q[k], q[k + 1], q[k + 2], q[k + 3])} << 2);
        ++counts[code];
        over_one = following;
    }
    return finite;
}

// Whole words of 64 windows, four (AVX2) or eight (AVX-512) windows per
// instruction: the tests of a word become bit masks, and each code's count is
// the population count of one combination of the three masks. A kernel counts
// the words whose windows all exist, including the triple after the word
// (start + 64 <= windows), returns the number of windows it counted, and sets
// `finite` to false when one of their first samples is not finite.
#ifdef KALTROPE_X86_SIMD
constexpr std::size_t kWord = 64;

// over_one: [0,2] of each window of the word; next: [0,2] of the window after
// it, which is [1,3] of the word's last window; over_two: [0,3].
__attribute__((target("popcnt"), always_inline)) inline void add_word(MotifHistogram& counts, std::uint64_t over_one,
                                                                      std::uint64_t next, std::uint64_t over_two) {
    const std::uint64_t a = over_one;
    const std::uint64_t b = (over_one >> 1) | (next << 63);
    const std::uint64_t c = over_two;
    counts[0] += static_cast<std::uint64_t>(__builtin_popcountll(~a & ~b & ~c));
    counts[1] += static_cast<std::uint64_t>(__builtin_popcountll(a & ~b & ~c));
    counts[2] += static_cast<std::uint64_t>(__builtin_popcountll(~a & b & ~c));
    counts[3] += static_cast<std::uint64_t>(__builtin_popcountll(a & b & ~c));
    counts[4] += static_cast<std::uint64_t>(__builtin_popcountll(~a & ~b & c));
    counts[5] += static_cast<std::uint64_t>(__builtin_popcountll(a & ~b & c));
    counts[6] += static_cast<std::uint64_t>(__builtin_popcountll(~a & b & c));
    counts[7] += static_cast<std::uint64_t>(__builtin_popcountll(a & b & c));
}

// The orientation filter on four lanes: lanes where l - r is certainly
// negative (the middle sample strictly below the line), and, added to
// unsure, the lanes it cannot settle.
__attribute__((target("avx2"), always_inline)) inline __m256d below_avx2(__m256d l, __m256d r, __m256d& unsure) {
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d det = _mm256_sub_pd(l, r);
    const __m256d size = _mm256_add_pd(_mm256_andnot_pd(sign, l), _mm256_andnot_pd(sign, r));
    const __m256d bound =
        _mm256_mul_pd(_mm256_set1_pd(kRelativeBound), _mm256_add_pd(size, _mm256_set1_pd(kUnderflowGuard)));
    unsure = _mm256_or_pd(unsure, _mm256_cmp_pd(_mm256_andnot_pd(sign, det), bound, _CMP_NGT_UQ));
    return _mm256_cmp_pd(det, _mm256_xor_pd(bound, sign), _CMP_LT_OQ);
}

// The same on eight lanes.
__attribute__((target("avx512f"), always_inline)) inline __mmask8 below_avx512(__m512d l, __m512d r, __mmask8& unsure) {
    const __m512d det = _mm512_sub_pd(l, r);
    const __m512d size = _mm512_add_pd(_mm512_abs_pd(l), _mm512_abs_pd(r));
    const __m512d bound =
        _mm512_mul_pd(_mm512_set1_pd(kRelativeBound), _mm512_add_pd(size, _mm512_set1_pd(kUnderflowGuard)));
    unsure |= _mm512_cmp_pd_mask(_mm512_abs_pd(det), bound, _CMP_NGT_UQ);
    return _mm512_cmp_pd_mask(det, _mm512_sub_pd(_mm512_setzero_pd(), bound), _CMP_LT_OQ);
}

// Decides the natural tests of a word's windows that the filter left
// unsettled (rare: near-collinear samples) with the exact predicate.
inline void settle_word(const double* w, std::uint64_t unsettled_one, std::uint64_t unsettled_two,
                        std::uint64_t& over_one, std::uint64_t& over_two) {
    for (; unsettled_one != 0; unsettled_one &= unsettled_one - 1) {
        const int k = std::countr_zero(unsettled_one);
        const std::uint64_t bit = std::uint64_t{1} << k;
        over_one = sees_over_one<false>(w[k], w[k + 1], w[k + 2]) ? over_one | bit : over_one & ~bit;
    }
    for (; unsettled_two != 0; unsettled_two &= unsettled_two - 1) {
        const int k = std::countr_zero(unsettled_two);
        const std::uint64_t bit = std::uint64_t{1} << k;
        over_two = sees_over_two<false>(w[k], w[k + 1], w[k + 2], w[k + 3]) ? over_two | bit : over_two & ~bit;
    }
}

template <bool Horizontal>
__attribute__((target("avx2,popcnt"))) std::size_t count_words_avx2(const double* q, std::size_t windows,
                                                                    MotifHistogram& counts, bool& finite) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d three = _mm256_set1_pd(3.0);
    // The OR of every first sample times zero: NaN as soon as one is not finite.
    __m256d poison = zero;
    std::size_t start = 0;
    for (; start + kWord <= windows; start += kWord) {
        std::uint64_t over_one = 0;
        std::uint64_t over_two = 0;
        std::uint64_t unsettled_one = 0;
        std::uint64_t unsettled_two = 0;
#pragma GCC unroll 16
        for (std::size_t i = 0; i < kWord; i += 4) {
            const double* w = q + start + i;
            const __m256d w0 = _mm256_loadu_pd(w);
            const __m256d w1 = _mm256_loadu_pd(w + 1);
            const __m256d w2 = _mm256_loadu_pd(w + 2);
            const __m256d w3 = _mm256_loadu_pd(w + 3);
            poison = _mm256_or_pd(poison, _mm256_mul_pd(w0, zero));
            __m256d one;
            __m256d two;
            if constexpr (Horizontal) {
                one = _mm256_cmp_pd(_mm256_min_pd(w0, w2), w1, _CMP_GT_OQ);
                const __m256d low = _mm256_min_pd(w0, w3);
                two = _mm256_and_pd(_mm256_cmp_pd(low, w1, _CMP_GT_OQ), _mm256_cmp_pd(low, w2, _CMP_GT_OQ));
            } else {
                const __m256d rise = _mm256_sub_pd(w1, w0);
                const __m256d mid = _mm256_sub_pd(w2, w0);
                const __m256d span = _mm256_sub_pd(w3, w0);
                __m256d unsure_one = _mm256_setzero_pd();
                __m256d unsure_two = _mm256_setzero_pd();
                one = below_avx2(_mm256_add_pd(rise, rise), mid, unsure_one);
                two = _mm256_and_pd(below_avx2(_mm256_mul_pd(three, rise), span, unsure_two),
                                    below_avx2(_mm256_mul_pd(three, mid), _mm256_add_pd(span, span), unsure_two));
                unsettled_one |= static_cast<std::uint64_t>(_mm256_movemask_pd(unsure_one)) << i;
                unsettled_two |= static_cast<std::uint64_t>(_mm256_movemask_pd(unsure_two)) << i;
            }
            over_one |= static_cast<std::uint64_t>(_mm256_movemask_pd(one)) << i;
            over_two |= static_cast<std::uint64_t>(_mm256_movemask_pd(two)) << i;
        }
        if constexpr (!Horizontal) settle_word(q + start, unsettled_one, unsettled_two, over_one, over_two);
        const double* after = q + start + kWord;
        add_word(counts, over_one, sees_over_one<Horizontal>(after[0], after[1], after[2]), over_two);
    }
    finite = _mm256_movemask_pd(_mm256_cmp_pd(poison, poison, _CMP_UNORD_Q)) == 0;
    return start;
}

// The natural tests with eight windows per instruction. (The horizontal tests
// are cheap enough that the 256-bit kernel, whose masks move to ordinary
// registers in one instruction, counts them faster.)
__attribute__((target("avx512f,popcnt"))) std::size_t count_natural_words_avx512(const double* q, std::size_t windows,
                                                                                 MotifHistogram& counts, bool& finite) {
    const __m512d zero = _mm512_setzero_pd();
    const __m512d three = _mm512_set1_pd(3.0);
    __m512i poison = _mm512_setzero_si512();
    std::size_t start = 0;
    for (; start + kWord <= windows; start += kWord) {
        std::uint64_t over_one = 0;
        std::uint64_t over_two = 0;
        std::uint64_t unsettled_one = 0;
        std::uint64_t unsettled_two = 0;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < kWord; i += 8) {
            const double* w = q + start + i;
            const __m512d w0 = _mm512_loadu_pd(w);
            const __m512d rise = _mm512_sub_pd(_mm512_loadu_pd(w + 1), w0);
            const __m512d mid = _mm512_sub_pd(_mm512_loadu_pd(w + 2), w0);
            const __m512d span = _mm512_sub_pd(_mm512_loadu_pd(w + 3), w0);
            poison = _mm512_or_si512(poison, _mm512_castpd_si512(_mm512_mul_pd(w0, zero)));
            __mmask8 unsure_one = 0;
            __mmask8 unsure_two = 0;
            const __mmask8 one = below_avx512(_mm512_add_pd(rise, rise), mid, unsure_one);
            const __mmask8 two = below_avx512(_mm512_mul_pd(three, rise), span, unsure_two) &
                                 below_avx512(_mm512_mul_pd(three, mid), _mm512_add_pd(span, span), unsure_two);
            over_one |= static_cast<std::uint64_t>(one) << i;
            over_two |= static_cast<std::uint64_t>(two) << i;
            unsettled_one |= static_cast<std::uint64_t>(unsure_one) << i;
            unsettled_two |= static_cast<std::uint64_t>(unsure_two) << i;
        }
        settle_word(q + start, unsettled_one, unsettled_two, over_one, over_two);
        const double* after = q + start + kWord;
        add_word(counts, over_one, sees_over_one<false>(after[0], after[1], after[2]), over_two);
    }
    const __m512d poisoned = _mm512_castsi512_pd(poison);
    finite = _mm512_cmp_pd_mask(poisoned, poisoned, _CMP_UNORD_Q) == 0;
    return start;
}
#endif

template <bool Horizontal>
MotifHistogram scalar_histogram(const double* q, std::size_t n, bool& all_finite) {
    MotifHistogram counts{};
    const std::size_t windows = n - 3;
    std::size_t counted = 0;
    bool finite = true;
#ifdef KALTROPE_X86_SIMD
    if (!Horizontal && simd::has_avx512()) {
        counted = count_natural_words_avx512(q, windows, counts, finite);
    } else if (simd::has_avx2()) {
        counted = count_words_avx2<Horizontal>(q, windows, counts, finite);
    }
#endif
    finite &= count_windows<Horizontal>(q, counted, windows, counts);
    // The last three samples start no window.
    for (std::size_t i = windows; i < n; ++i) finite &= is_finite(q[i]);
    all_finite = finite;
    return counts;
}

template <bool Horizontal>
MotifHistogram vector_histogram(const double* x, std::size_t n, std::size_t dim) {
    MotifHistogram counts{};
    if (n < 4) return counts;
    using vector::dot;
    // Projections onto sample k of samples k .. k + 3.
    auto projections = [&](std::size_t k, double* p, std::size_t count) {
        const double* reference = x + k * dim;
        for (std::size_t j = 0; j < count; ++j) p[j] = dot(reference + j * dim, reference, dim);
    };
    double current[4] = {};
    double following[4] = {};
    projections(0, current, 4);
    for (std::size_t k = 0; k + 3 < n; ++k) {
        if (k % (std::size_t{1} << 16) == 0) interruption::poll();
        // Sample k + 1 needs its fourth projection only if it starts a window.
        projections(k + 1, following, std::min<std::size_t>(4, n - k - 1));
        const unsigned code =
            unsigned{sees_over_one<Horizontal>(current[0], current[1], current[2])} |
            (unsigned{sees_over_one<Horizontal>(following[0], following[1], following[2])} << 1) |
            (unsigned{sees_over_two<Horizontal>(current[0], current[1], current[2], current[3])} << 2);
        ++counts[code];
        std::copy_n(following, 4, current);
    }
    return counts;
}

std::unexpected<InputError> first_non_finite(Series values, std::size_t dim) {
    const auto at = std::ranges::find_if(values, [](double v) { return !is_finite(v); });
    return std::unexpected(
        InputError{InputError::Kind::NonFinite, static_cast<std::size_t>(at - values.begin()) / dim});
}

}  // namespace

Counted count_scalar_motifs(Series row, bool horizontal) {
    const std::size_t n = row.size();
    if (n >= kMaxSamples) return std::unexpected(InputError{InputError::Kind::TooLong});
    if (n < 4) {
        if (auto valid = validate_series(row); !valid) return std::unexpected(valid.error());
        return MotifHistogram{};
    }
    // Counting also tells whether every sample is finite, which saves a
    // second pass over the row; the counts of a failing row are discarded.
    bool all_finite = true;
    const MotifHistogram counts = horizontal ? scalar_histogram<true>(row.data(), n, all_finite)
                                             : scalar_histogram<false>(row.data(), n, all_finite);
    if (!all_finite) return first_non_finite(row, 1);
    return counts;
}

Counted count_vector_motifs(Series row, std::size_t dim, bool horizontal) {
    if (dim == 0 || row.size() % dim != 0) return std::unexpected(InputError{InputError::Kind::MismatchedLength});
    const std::size_t n = row.size() / dim;
    if (n >= kMaxSamples) return std::unexpected(InputError{InputError::Kind::TooLong});
    if (!std::ranges::all_of(row, is_finite)) return first_non_finite(row, dim);
    const vector::SafeValues x(row.data(), row.size());
    return horizontal ? vector_histogram<true>(x.data(), n, dim) : vector_histogram<false>(x.data(), n, dim);
}

std::expected<std::vector<MotifHistogram>, InputError> count_motif_batch(std::span<const Series> rows, SeriesKind kind,
                                                                         std::size_t dim) {
    std::vector<Counted> counted(rows.size());
    parallel::for_each_index(rows.size(), [&](std::size_t k) {
        counted[k] = is_vector(kind) ? count_vector_motifs(rows[k], dim, is_horizontal(kind))
                                     : count_scalar_motifs(rows[k], is_horizontal(kind));
    });
    std::vector<MotifHistogram> counts;
    counts.reserve(rows.size());
    for (const Counted& row : counted) {
        if (!row) return std::unexpected(row.error());
        counts.push_back(*row);
    }
    return counts;
}

}  // namespace kaltrope::motifs
