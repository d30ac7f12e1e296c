#include "core/scalar_visibility/slope_blocks.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

#include "core/predicates/sight_line.hpp"
#include "support/cpu_features.hpp"

#ifdef KALTROPE_X86_SIMD
#include <immintrin.h>
// GCC 12's AVX-512 intrinsics start their results from an undefined vector,
// which its flow analysis takes for an uninitialised one.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace kaltrope {

#ifdef KALTROPE_X86_SIMD
namespace {

constexpr std::uint32_t kLanes = 8;

// 1 / r for every run r a block reads (entry 0 unused), rounded as at run time.
constexpr auto kReciprocals = [] {
    std::array<double, kSlopeBlockMaxSpan + 1> runs{};
    for (std::uint32_t r = 1; r <= kSlopeBlockMaxSpan; ++r) runs[r] = 1.0 / static_cast<double>(r);
    return runs;
}();

// A difference of two computed slopes larger than this share of their
// magnitudes decides their exact comparison.
constexpr double kDecisive = 0x1p-50;

// The edges of one sample, written through a cursor into the list with room
// for a whole block's store ahead of it.
class EdgeWriter {
public:
    explicit EdgeWriter(EdgeList& edges) : edges_(&edges), start_(edges.size()) { grow(4 * kLanes); }
    EdgeWriter(const EdgeWriter&) = delete;
    EdgeWriter& operator=(const EdgeWriter&) = delete;
    ~EdgeWriter() { edges_->resize(start_ + written()); }

    // Where a block's store may go; wrote(count) then keeps count edges of it.
    Edge* block() {
        if (limit_ - cursor_ < static_cast<std::ptrdiff_t>(kLanes)) [[unlikely]]
            grow(2 * (written() + kLanes));
        return cursor_;
    }
    void wrote(unsigned count) { cursor_ += count; }
    void add(Edge edge) {
        *block() = edge;
        wrote(1);
    }

private:
    std::size_t written() const { return static_cast<std::size_t>(cursor_ - (edges_->data() + start_)); }
    void grow(std::size_t room) {
        const std::size_t kept = cursor_ ? written() : 0;
        edges_->resize(start_ + room);  // default-initialised: nothing written
        cursor_ = edges_->data() + start_ + kept;
        limit_ = edges_->data() + start_ + room;
    }

    EdgeList* edges_;
    std::size_t start_;
    Edge* cursor_ = nullptr;
    Edge* limit_ = nullptr;
};

// One side of sample i, its candidates counted by their run |j - i|.
template <Side FarEnd>
struct SideOf {
    static constexpr bool kRight = FarEnd == Side::Right;
    const double* y;
    std::uint32_t i;

    std::uint32_t at(std::uint32_t run) const { return kRight ? i + run : i - run; }
    Edge edge(std::uint32_t run) const { return kRight ? Edge{i, at(run)} : Edge{at(run), i}; }

    // The runs [first, last) by the exact test, from the line to the last
    // visible candidate, which it moves.
    void walk_exactly(std::uint32_t first, std::uint32_t last, std::uint32_t& visible, EdgeWriter& out) const {
        const auto position = [&](std::uint32_t run) { return static_cast<double>(at(run)); };
        SightLine<FarEnd, Coordinates::Any> sight(static_cast<double>(i), y[i], position(visible), y[at(visible)],
                                                  SeriesExtent{.exact_in_double = false, .moderate = true});
        for (std::uint32_t run = first; run < last; ++run) {
            const double yj = y[at(run)];
            if (sight.above(position(run), yj)) {
                out.add(edge(run));
                sight.aim_at(position(run), yj);
                visible = run;
            }
        }
    }
};

// The side's candidates from run 2 (the neighbour at run 1 is visible and
// written) up to `last`, or to the sample that ends the side. Returns the
// last run passed.
template <Side FarEnd>
__attribute__((target("avx512f,avx512dq,popcnt"))) std::uint32_t walk_side(SideOf<FarEnd> side, std::uint32_t last,
                                                                           EdgeWriter& out) {
    constexpr bool kRight = SideOf<FarEnd>::kRight;
    const double* y = side.y;
    const std::uint32_t i = side.i;
    const double* reciprocal = kReciprocals.data();
    const __m512d yi = _mm512_set1_pd(y[i]);
    const __m512d lowest = _mm512_set1_pd(-std::numeric_limits<double>::infinity());
    const __m512d decisive = _mm512_set1_pd(kDecisive);
    const __m512i lanes = _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i steps = kRight ? lanes : _mm512_sub_epi64(_mm512_setzero_si512(), lanes);
    const __m512i own = kRight ? _mm512_set1_epi64(i) : _mm512_set1_epi64(std::int64_t{i} << 32);
    const __m512i up1 = _mm512_set_epi64(6, 5, 4, 3, 2, 1, 0, 0);
    const __m512i up2 = _mm512_set_epi64(5, 4, 3, 2, 1, 0, 0, 0);
    const __m512i up4 = _mm512_set_epi64(3, 2, 1, 0, 0, 0, 0, 0);
    const __m512i top = _mm512_set1_epi64(7);

    // The last visible run, and the largest slope passed, visible or not.
    std::uint32_t visible = 1;
    __m512d running = _mm512_set1_pd((y[side.at(1)] - y[i]) * reciprocal[1]);
    std::uint32_t run = 2;
    for (; run <= last; run += kLanes) {
        // The last block may be short: its other lanes load nothing and
        // hold the lowest slope.
        std::uint32_t count = std::min(kLanes, last + 1 - run);
        auto valid = static_cast<__mmask8>((1u << count) - 1);
        __m512d values;
        if constexpr (kRight) {
            values = _mm512_maskz_loadu_pd(valid, y + i + run);
        } else {
            const __m512i reverse = _mm512_sub_epi64(_mm512_set1_epi64(count - 1), lanes);
            values = _mm512_permutexvar_pd(reverse, _mm512_maskz_loadu_pd(valid, y + (i - run - count + 1)));
        }
        // The side ends before the first sample not lower than y_i on the
        // left, or higher on the right: that pair is the other sample's.
        const __mmask8 beyond = _mm512_mask_cmp_pd_mask(valid, values, yi, kRight ? _CMP_GT_OQ : _CMP_GE_OQ);
        if (beyond != 0) {
            count = static_cast<std::uint32_t>(std::countr_zero(static_cast<unsigned>(beyond)));
            valid = static_cast<__mmask8>((1u << count) - 1);
        }
        const __m512d inverse = _mm512_maskz_loadu_pd(valid, reciprocal + run);
        const __m512d slopes = _mm512_mask_blend_pd(valid, lowest, _mm512_mul_pd(_mm512_sub_pd(values, yi), inverse));
        // Prefix maximum over the lanes, then each lane's largest slope before it.
        __m512d prefix = _mm512_max_pd(slopes, _mm512_mask_permutexvar_pd(lowest, 0xFE, up1, slopes));
        prefix = _mm512_max_pd(prefix, _mm512_mask_permutexvar_pd(lowest, 0xFC, up2, prefix));
        prefix = _mm512_max_pd(prefix, _mm512_mask_permutexvar_pd(lowest, 0xF0, up4, prefix));
        const __m512d before = _mm512_max_pd(running, _mm512_mask_permutexvar_pd(lowest, 0xFE, up1, prefix));
        running = _mm512_max_pd(running, _mm512_permutexvar_pd(top, prefix));
        const __m512d difference = _mm512_sub_pd(slopes, before);
        const __m512d margin = _mm512_mul_pd(_mm512_add_pd(_mm512_abs_pd(slopes), _mm512_abs_pd(before)), decisive);
        const __mmask8 above = _mm512_mask_cmp_pd_mask(valid, difference, margin, _CMP_GT_OQ);
        const __mmask8 below =
            _mm512_mask_cmp_pd_mask(valid, difference, _mm512_sub_pd(_mm512_setzero_pd(), margin), _CMP_LT_OQ);
        if ((above | below) != valid) [[unlikely]] {
            side.walk_exactly(run, run + count, visible, out);
        } else {
            const __m512i positions = _mm512_add_epi64(_mm512_set1_epi64(side.at(run)), steps);
            const __m512i block = _mm512_or_si512(own, kRight ? _mm512_slli_epi64(positions, 32) : positions);
            _mm512_storeu_si512(out.block(), _mm512_maskz_compress_epi64(above, block));
            out.wrote(static_cast<unsigned>(std::popcount(static_cast<unsigned>(above))));
            // The last visible lane's run, without a branch on whether there is one.
            const auto width = static_cast<std::uint32_t>(31 - __builtin_clz((unsigned{above} << 1) | 1));
            visible = std::max(visible, (run + width - 1) & (0u - (width != 0)));
        }
        if (beyond != 0) return run + count;
    }
    return last;
}

}  // namespace

bool slope_blocks_available() { return simd::has_avx512(); }

std::uint32_t scan_sample_in_blocks(const double* y, std::uint32_t i, std::uint32_t lo, std::uint32_t hi,
                                    EdgeList& edges) {
    const double yi = y[i];
    EdgeWriter out(edges);
    std::uint32_t left_end = i;
    std::uint32_t right_end = i;
    if (lo < i && y[i - 1] < yi) {
        out.add({i - 1, i});
        left_end = lo + 1 < i ? i - walk_side(SideOf<Side::Left>{y, i}, i - lo, out) : i - 1;
    }
    if (i < hi && y[i + 1] <= yi) {
        out.add({i, i + 1});
        right_end = i + 1 < hi && y[i + 1] < yi ? i + walk_side(SideOf<Side::Right>{y, i}, hi - i, out) : i + 1;
    }
    return right_end - left_end;
}

#else

bool slope_blocks_available() { return false; }
std::uint32_t scan_sample_in_blocks(const double*, std::uint32_t, std::uint32_t, std::uint32_t, EdgeList&) { return 0; }

#endif

}  // namespace kaltrope
