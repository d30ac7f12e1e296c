#pragma once
// The scan engine's work for one sample in blocks of eight candidates, with
// no branch that depends on whether a candidate is visible. Along a side, a
// candidate's slope from the sample i (rising away from i) is
// (y_j - y_i) / |j - i| at uniform positions, and j is visible from i
// exactly when its slope is strictly greater than every slope passed. The
// slopes are computed in floating point; a block compares each with the
// largest slope passed before it (the running maximum and a prefix maximum
// over the block's lanes) and writes its visible candidates' edges with one
// store.
//
// Each computed slope lies within 3.001u of its own magnitude of the true
// slope (three roundings: the difference, the reciprocal of the run and
// their product, u = 2^-53; coordinates moderate, so nothing underflows),
// and the running maximum is the largest computed slope passed, so a
// difference larger than 8u of the two magnitudes decides the exact
// comparison. A block with a difference that small (a tie, or nearly one)
// is walked with the exact test of sight_line.hpp instead, from the last
// visible candidate, and the blocks go on from there: every decision agrees
// with exact arithmetic, and the edges are those of the plain scan, in its
// order.
//
// For uniform positions over a series of moderate coordinates that are not
// all small whole numbers (sight_line.hpp), where near ties are rare, on a
// processor with AVX-512.

#include <cstdint>

#include "core/series/edge_list.hpp"

namespace kaltrope {

// The widest bounds the blocks take: longer sides, whose candidates are
// mostly hidden, are walked as fast two at a time by the plain scan.
inline constexpr std::uint32_t kSlopeBlockMaxSpan = 4096;

// Whether this processor runs the blocks.
bool slope_blocks_available();

// The edges of sample i within [lo, hi] as scan_sample (sample_scan.hpp)
// appends them, for uniform positions over a moderate series that is not all
// small whole numbers, hi - lo at most kSlopeBlockMaxSpan. The bounds may be
// wider than i's window (segments.hpp): a side ends at the first sample not
// lower than y_i on the left, or higher on the right, whose pair is that
// sample's own. Returns the number of candidates passed.
std::uint32_t scan_sample_in_blocks(const double* y, std::uint32_t i, std::uint32_t lo, std::uint32_t hi,
                                    EdgeList& edges);

}  // namespace kaltrope
