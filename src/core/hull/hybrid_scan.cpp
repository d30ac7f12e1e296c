#include "core/hull/hybrid_scan.hpp"

#include "core/predicates/orientation.hpp"

namespace kaltrope {
namespace {

// A side hands over to the tree at most this many times.
constexpr int kMaxSwitches = 4;
// Fewer edges than this in a window of candidates counts as sparse.
constexpr int kSparseEdges = 4;

// Both sides keep only the line to the last visible sample, as the plain
// scan does (valid because the exact comparisons are transitive).
void hybrid_left(const HullTree& tree, std::uint32_t i, std::uint32_t lo, EdgeList& edges) {
    const auto y = tree.values();
    const auto x = tree.positions();
    edges.push_back({i - 1, i});
    SightLine<Side::Left> sight(x[i], y[i], x[i - 1], y[i - 1], tree.extent().from(x[i], y[i], x[lo]));
    std::uint32_t v = i - 1;
    std::uint32_t position = v;
    std::uint32_t tested = 0;
    int found = 0;
    int switches = 0;
    while (position > lo) {
        const std::uint32_t k = --position;
        if (sight.above(x[k], y[k])) {
            edges.push_back({k, i});
            v = k;
            sight.aim_at(x[k], y[k]);
            ++found;
        }
        if (++tested < kHybridWindow) continue;
        if (switches < kMaxSwitches && found < kSparseEdges && position - lo > kHybridWindow) {
            const auto resume = tree.left_from(i, lo, v, true, edges);
            if (!resume) return;
            v = position = *resume;
            sight.aim_at(x[v], y[v]);
            ++switches;
        }
        tested = 0;
        found = 0;
    }
}

void hybrid_right(const HullTree& tree, std::uint32_t i, std::uint32_t hi, EdgeList& edges) {
    const auto y = tree.values();
    const auto x = tree.positions();
    const double yi = y[i];
    edges.push_back({i, i + 1});
    std::uint32_t v = i + 1;
    if (v >= hi || !(y[v] < yi)) return;
    SightLine<Side::Right> sight(x[i], yi, x[v], y[v], tree.extent().from(x[i], yi, x[hi]));
    std::uint32_t position = v;
    std::uint32_t tested = 0;
    int found = 0;
    int switches = 0;
    while (position < hi) {
        const std::uint32_t k = ++position;
        if (sight.above(x[k], y[k])) {
            edges.push_back({i, k});
            v = k;
            sight.aim_at(x[k], y[k]);
            ++found;
            if (y[k] >= yi) return;
        }
        if (++tested < kHybridWindow) continue;
        if (switches < kMaxSwitches && found < kSparseEdges && hi - position > kHybridWindow) {
            const auto resume = tree.right_from(i, hi, v, true, edges);
            if (!resume) return;
            v = position = *resume;
            sight.aim_at(x[v], y[v]);
            ++switches;
            if (y[v] >= yi || position == hi) return;
        }
        tested = 0;
        found = 0;
    }
}

}  // namespace

void hybrid_scan(const HullTree& tree, std::uint32_t i, std::uint32_t lo, std::uint32_t hi, EdgeList& edges) {
    if (lo < i) hybrid_left(tree, i, lo, edges);
    if (i < hi) hybrid_right(tree, i, hi, edges);
}

}  // namespace kaltrope
