#pragma once
// What the scalar array functions may add to their edges once the engine
// has found them: the direction each pair is written in, and a weight per
// edge computed from the doubles of its two samples.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"
#include "support/large_buffer.hpp"
#include "support/name_table.hpp"

namespace kaltrope {

enum class EdgeDirection {
    LeftToRight,  // (a, b) with a < b, as the engines give them
    TopToBottom,  // (higher sample, lower sample); equal samples stay (a, b)
};

// For an edge (p, q) as written, with dx = x_q - x_p and dy = y_q - y_p:
enum class EdgeWeight {
    Distance,      // hypot(dx, dy)
    SqDistance,    // dx * dx + dy * dy
    VDistance,     // dy
    AbsVDistance,  // |dy|
    HDistance,     // dx
    AbsHDistance,  // |dx|
    Slope,         // dy / dx
    AbsSlope,      // |dy / dx|
    Angle,         // atan(dy / dx)
    AbsAngle,      // |atan(dy / dx)|
};

// Edges as consecutive parts (of one series, or one part per series of a
// batch), with one weight per edge in their order when a weight was asked for.
struct EdgeResult {
    std::vector<EdgeList> parts;
    memory::LargeBuffer<double> weights;  // null without a weight
};

// In exact letter case; an unknown name's message lists the accepted ones.
extern const NameTable<EdgeDirection> kEdgeDirectionNames;
extern const NameTable<EdgeWeight> kEdgeWeightNames;

// Rewrites, in place, every edge whose second sample is higher as (b, a).
void direct_top_to_bottom(std::span<Edge> edges, Series y);

// Rewrites edges, as the engines give them, in direction.
inline void direct_edges(std::span<Edge> edges, Series y, EdgeDirection direction) {
    if (direction == EdgeDirection::TopToBottom) direct_top_to_bottom(edges, y);
}

// The weight of each edge into out[0 .. edges.size()); x empty for positions
// 0, 1, ..., n - 1.
void edge_weights_into(std::span<const Edge> edges, Series y, Series x, EdgeWeight weight, double* out);

// The same over the parts of one series' edges, on the worker pool.
void direct_top_to_bottom(std::span<EdgeList> parts, Series y);
memory::LargeBuffer<double> edge_weights(std::span<EdgeList> parts, Series y, Series x, EdgeWeight weight);

// The parts of one series' edges written in direction, with their weights.
EdgeResult with_edge_values(std::vector<EdgeList> parts, Series y, Series x, EdgeDirection direction,
                            std::optional<EdgeWeight> weight);

}  // namespace kaltrope
