#include "core/hull/hybrid_scan.hpp"

#include <algorithm>

#include "core/predicates/sight_line.hpp"

namespace kaltrope {
namespace {

// A side hands over to the tree at most this many times.
constexpr int kMaxSwitches = 4;
// Fewer edges than this in a window of candidates counts as sparse.
constexpr int kSparseEdges = 4;

// Both sides keep only the line to the last visible sample, as the plain
// scan does (valid because the exact comparisons are transitive). They scan
// windows of kHybridWindow candidates and may hand over to the tree after each.
template <Coordinates Kind, class Tree>
void hybrid_left(const Tree& tree, std::uint32_t i, std::uint32_t lo, EdgeList& edges) {
    const double* y = tree.values().data();
    const auto x = tree.positions();
    edges.push_back({i - 1, i});
    SightLine<Side::Left, Kind> sight(x[i], y[i], x[i - 1], y[i - 1], tree.extent());
    std::uint32_t v = i - 1;
    std::uint32_t position = v;
    int switches = 0;
    while (position > lo) {
        const std::uint32_t window_end = position - std::min(kHybridWindow, position - lo);
        int found = 0;
        while ((position = sight.pass_below(y, x, position, window_end)) > window_end) {
            const std::uint32_t k = --position;
            const double xk = x[k];
            const double yk = y[k];
            if (sight.above(xk, yk)) {
                edges.push_back({k, i});
                v = k;
                sight.aim_at(xk, yk);
                ++found;
            }
        }
        if (switches < kMaxSwitches && found < kSparseEdges && position - lo > kHybridWindow) {
            const auto resume = tree.left_from(i, lo, v, true, edges);
            if (!resume) return;
            v = position = *resume;
            sight.aim_at(x[v], y[v]);
            ++switches;
        }
    }
}

template <Coordinates Kind, class Tree>
void hybrid_right(const Tree& tree, std::uint32_t i, std::uint32_t hi, EdgeList& edges) {
    const double* y = tree.values().data();
    const auto x = tree.positions();
    const double yi = y[i];
    edges.push_back({i, i + 1});
    std::uint32_t v = i + 1;
    if (v >= hi || !(y[v] < yi)) return;
    SightLine<Side::Right, Kind> sight(x[i], yi, x[v], y[v], tree.extent());
    std::uint32_t position = v;
    int switches = 0;
    while (position < hi) {
        const std::uint32_t window_end = position + std::min(kHybridWindow, hi - position);
        int found = 0;
        while ((position = sight.pass_below(y, x, position, window_end)) < window_end) {
            const std::uint32_t k = ++position;
            const double xk = x[k];
            const double yk = y[k];
            if (sight.above(xk, yk)) {
                edges.push_back({i, k});
                v = k;
                sight.aim_at(xk, yk);
                ++found;
                if (yk >= yi) return;
            }
        }
        if (switches < kMaxSwitches && found < kSparseEdges && hi - position > kHybridWindow) {
            const auto resume = tree.right_from(i, hi, v, true, edges);
            if (!resume) return;
            v = position = *resume;
            sight.aim_at(x[v], y[v]);
            ++switches;
            if (y[v] >= yi || position == hi) return;
        }
    }
}

template <Coordinates Kind, class Tree>
void hybrid_scan_with(const Tree& tree, std::uint32_t i, std::uint32_t lo, std::uint32_t hi,
                      EdgeList& edges) {
    if (lo < i) hybrid_left<Kind>(tree, i, lo, edges);
    if (i < hi) hybrid_right<Kind>(tree, i, hi, edges);
}

}  // namespace

template <class Tree>
void hybrid_scan(const Tree& tree, std::uint32_t i, std::uint32_t lo, std::uint32_t hi,
                 EdgeList& edges) {
    if (tree.extent().exact_in_double) {
        hybrid_scan_with<Coordinates::SmallWhole>(tree, i, lo, hi, edges);
    } else {
        hybrid_scan_with<Coordinates::Any>(tree, i, lo, hi, edges);
    }
}

template void hybrid_scan(const HullTree<UniformPositions>&, std::uint32_t, std::uint32_t, std::uint32_t, EdgeList&);
template void hybrid_scan(const HullTree<ExplicitPositions>&, std::uint32_t, std::uint32_t, std::uint32_t, EdgeList&);
template void hybrid_scan(const HullTree<UniformPositions, VertexStorage::Indices>&, std::uint32_t, std::uint32_t,
                          std::uint32_t, EdgeList&);
template void hybrid_scan(const HullTree<ExplicitPositions, VertexStorage::Indices>&, std::uint32_t, std::uint32_t,
                          std::uint32_t, EdgeList&);

}  // namespace kaltrope
