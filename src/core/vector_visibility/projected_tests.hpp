#pragma once
// The two per-row tests of vector visibility. Row a looks forward at every
// later row j through its projection onto X_a:
//  - natural: the projected height s_j = X_j . X_a - |X_a|^2 (so row a sits
//    at height 0), and j is visible when it lies strictly above the line from
//    (x_a, 0) through the last visible row;
//  - horizontal: the projection p_j = X_j . X_a, and j is visible when every
//    row between has a projection strictly below both |X_a|^2 and p_j.
// Both stop a row's scan early once the suffix maxima of the row norms show
// that no later row can be visible, and step over a whole block of rows when
// the block's largest norm shows that none of its rows can be. The bounds are
// widened (a factor 1.000000001 plus 1e-9) so that rounding can only make a
// scan examine more rows; the test of every row examined is exact. Neither
// shortcut changes the edges: a skipped row would have failed its test, and
// once the stop holds no later row can pass its test, so the few rows that a
// group tests beyond it add nothing.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/series/edge_list.hpp"
#include "core/vector_visibility/row_matrix.hpp"
#include "support/cpu_features.hpp"

#ifdef KALTROPE_X86_SIMD
#include <immintrin.h>
#endif

namespace kaltrope::vector {

inline constexpr double kBoundFactor = 1.000000001;
inline constexpr double kBoundSlack = 1e-9;

// Above every projection X_j . X_a of a row whose norm is at most `norm`.
inline double projection_bound(double norm, double na) { return norm * na * kBoundFactor + kBoundSlack; }

// The number of features, fixed at compile time for the common small counts
// (Dim > 0) or read from the matrix (Dim = 0).
template <std::size_t Dim>
struct Features {
    std::size_t count;
    constexpr std::size_t size() const { return Dim > 0 ? Dim : count; }
};

template <std::size_t Dim>
inline double dot(const double* a, const double* b, Features<Dim> features) {
    return dot(a, b, features.size());
}

// Rows are examined four at a time: the four exact tests run side by side,
// in one instruction each where the processor has 256-bit vectors. Each lane
// computes exactly what the test of its row computes; when lanes pass, the
// first is visible, and the lanes after it are tested again against the line
// through it.
inline constexpr std::size_t kGroup = 4;

// Eight groups make a span: its 32 tests run without a branch, and the stop
// and the block bounds are checked between spans.
inline constexpr std::size_t kSpan = 32;
static_assert(kSpan <= 32, "a span's lanes are the bits of a 32-bit word");

using Lanes = double __attribute__((vector_size(kGroup * sizeof(double))));

[[gnu::always_inline]] inline Lanes load_lanes(const double* from) {
    Lanes lanes;
    std::memcpy(&lanes, from, sizeof lanes);
    return lanes;
}

// Bit l set when lane l of a comparison holds. Wide code is compiled only
// into functions built for AVX2, which run where the processor has it.
template <bool Wide, class Mask>
[[gnu::always_inline]] inline std::uint32_t lane_bits(Mask passed) {
#ifdef KALTROPE_X86_SIMD
    if constexpr (Wide) return static_cast<std::uint32_t>(__builtin_ia32_movmskpd256(reinterpret_cast<Lanes>(passed)));
#endif
    return static_cast<std::uint32_t>((passed[0] & 1) | (passed[1] & 2) | (passed[2] & 4) | (passed[3] & 8));
}

[[gnu::always_inline]] inline Lanes group_positions(UniformPositions, std::size_t j) {
    return static_cast<double>(j) + Lanes{0, 1, 2, 3};  // exact: whole numbers below 2^53
}

[[gnu::always_inline]] inline Lanes group_positions(ExplicitPositions positions, std::size_t j) {
    return load_lanes(positions.x + j);
}

// X_j . X_a for rows j .. j + 3, each summed as dot() sums it: adding the
// first product to -0.0 leaves it unchanged.
template <std::size_t Dim>
[[gnu::always_inline]] inline Lanes group_dots(RowMatrix x, const Prepared& prepared, std::size_t j, const double* xa,
                                               Features<Dim> dim) {
    Lanes sum = load_lanes(prepared.column(x, 0) + j) * xa[0];
    for (std::size_t k = 1; k < dim.size(); ++k) sum = sum + load_lanes(prepared.column(x, k) + j) * xa[k];
    return sum;
}

// The end of the largest block containing row j whose rows from j on all
// fail `blocked(bound, end)`, or j when there is none.
template <class Blocked>
[[gnu::always_inline]] inline std::size_t skip_block(const Prepared& prepared, std::size_t j, std::size_t t, double na,
                                                     Blocked&& blocked) {
    for (std::size_t level = kBlockLevels; level-- > 0;) {
        const unsigned shift = block_shift(level);
        const std::size_t block = j >> shift;
        const std::size_t end = std::min(t, (block + 1) << shift);
        if (blocked(projection_bound(prepared.block_max[level][block], na), end)) return end;
    }
    return j;
}

// Appends the natural edges (a, j) of row a, by j ascending.
template <std::size_t Dim = 0, bool Wide = false, class Positions>
[[gnu::always_inline]] inline void natural_row_edges(RowMatrix x, const Prepared& prepared, Positions positions,
                                                     std::size_t a, EdgeList& edges) {
    const std::size_t t = x.rows();
    if (a + 1 >= t) return;
    const Features<Dim> dim{x.dim};
    const double* xa = x.row(a);
    const double h = dot(xa, xa, dim);
    const double na = prepared.norms[a];
    const double at = positions[a];
    const auto source = static_cast<std::uint32_t>(a);
    auto add_edge = [&](std::size_t j) { edges.push_back({source, static_cast<std::uint32_t>(j)}); };

    add_edge(a + 1);
    // Onto a row of zeros every projected height is zero, so no later row
    // rises above the line to row a + 1; the stop, whose bound stays above
    // zero, would never show it.
    if (std::all_of(xa, xa + dim.size(), [](double value) { return value == 0.0; })) return;
    // The last visible row v: its height and distance from row a.
    double sv = dot(x.row(a + 1), xa, dim) - h;
    double dv = positions[a + 1] - at;
    const double farthest = positions[t - 1] - at;
    // w is above every height still to come: no later row can rise above the
    // current line once w, at its most favourable distance, cannot.
    auto stops = [&](std::size_t j) {
        const double w = projection_bound(prepared.suffix_max[j], na) - h;
        return w * dv <= (w > 0 ? positions[j] - at : farthest) * sv;
    };
    auto test_row = [&](std::size_t j) {
        const double sj = dot(x.row(j), xa, dim) - h;
        const double dj = positions[j] - at;
        if (dv * sj > sv * dj) {
            add_edge(j);
            sv = sj;
            dv = dj;
        }
    };

    // Rows j .. j + 4 * Groups - 1, tested side by side.
    auto test_groups = [&]<std::size_t Groups>(std::size_t j) __attribute__((always_inline)) {
        Lanes heights[Groups];
        Lanes distances[Groups];
        std::uint32_t passed = 0;
        for (std::size_t g = 0; g < Groups; ++g) {
            heights[g] = group_dots(x, prepared, j + g * kGroup, xa, dim) - h;
            distances[g] = group_positions(positions, j + g * kGroup) - at;
            passed |= lane_bits<Wide>(dv * heights[g] > sv * distances[g]) << (g * kGroup);
        }
        while (passed != 0) {
            const auto lane = static_cast<unsigned>(std::countr_zero(passed));
            const std::size_t group = lane / kGroup;
            add_edge(j + lane);
            sv = heights[group][lane % kGroup];
            dv = distances[group][lane % kGroup];
            passed = 0;
            for (std::size_t g = group; g < Groups; ++g) {
                passed |= lane_bits<Wide>(dv * heights[g] > sv * distances[g]) << (g * kGroup);
            }
            passed &= ~std::uint32_t{0} << lane << 1;
        }
    };

    std::size_t j = a + 2;
    while (j + kSpan <= t) {
        if (stops(j)) return;
        // The rows of a block from j on all stay on or below the line when
        // its height bound does at their most favourable distance.
        const double dj = positions[j] - at;
        const std::size_t end = skip_block(prepared, j, t, na, [&](double bound, std::size_t last) {
            return (bound - h) * dv <= sv * (sv < 0 ? positions[last - 1] - at : dj);
        });
        if (end != j) {
            j = end;
            continue;
        }
        test_groups.template operator()<kSpan / kGroup>(j);
        j += kSpan;
    }
    for (; j + kGroup <= t; j += kGroup) {
        if (stops(j)) return;
        test_groups.template operator()<1>(j);
    }
    for (; j < t; ++j) {
        if (stops(j)) return;
        test_row(j);
    }
}

// Appends the horizontal edges (a, j) of row a, by j ascending.
template <std::size_t Dim = 0, bool Wide = false>
[[gnu::always_inline]] inline void horizontal_row_edges(RowMatrix x, const Prepared& prepared, std::size_t a,
                                                        EdgeList& edges) {
    const std::size_t t = x.rows();
    if (a + 1 >= t) return;
    const Features<Dim> dim{x.dim};
    const double* xa = x.row(a);
    const double h = dot(xa, xa, dim);
    const double na = prepared.norms[a];
    const auto source = static_cast<std::uint32_t>(a);
    auto add_edge = [&](std::size_t j) { edges.push_back({source, static_cast<std::uint32_t>(j)}); };

    add_edge(a + 1);
    // The highest projection seen so far; once it reaches h nothing is visible.
    double m = dot(x.row(a + 1), xa, dim);
    if (a + 2 >= t || m >= h) return;
    auto stops = [&](std::size_t j) { return m >= projection_bound(prepared.suffix_max[j], na); };
    // True when the row ends the scan.
    auto test_row = [&](std::size_t j) {
        const double p = dot(x.row(j), xa, dim);
        if (!(m < p)) return false;
        add_edge(j);
        m = p;
        return m >= h;
    };

    // Rows j .. j + 4 * Groups - 1, tested side by side;
    // true when one of them ends the scan.
    auto test_groups = [&]<std::size_t Groups>(std::size_t j) __attribute__((always_inline)) {
        Lanes projections[Groups];
        std::uint32_t passed = 0;
        for (std::size_t g = 0; g < Groups; ++g) {
            projections[g] = group_dots(x, prepared, j + g * kGroup, xa, dim);
            passed |= lane_bits<Wide>(m < projections[g]) << (g * kGroup);
        }
        while (passed != 0) {
            const auto lane = static_cast<unsigned>(std::countr_zero(passed));
            const std::size_t group = lane / kGroup;
            add_edge(j + lane);
            m = projections[group][lane % kGroup];
            if (m >= h) return true;
            passed = 0;
            for (std::size_t g = group; g < Groups; ++g) passed |= lane_bits<Wide>(m < projections[g]) << (g * kGroup);
            passed &= ~std::uint32_t{0} << lane << 1;
        }
        return false;
    };

    std::size_t j = a + 2;
    while (j + kSpan <= t) {
        if (stops(j)) return;
        const std::size_t end = skip_block(prepared, j, t, na, [&](double bound, std::size_t) { return m >= bound; });
        if (end != j) {
            j = end;
            continue;
        }
        if (test_groups.template operator()<kSpan / kGroup>(j)) return;
        j += kSpan;
    }
    for (; j + kGroup <= t; j += kGroup) {
        if (stops(j) || test_groups.template operator()<1>(j)) return;
    }
    for (; j < t; ++j) {
        if (stops(j) || test_row(j)) return;
    }
}

}  // namespace kaltrope::vector
