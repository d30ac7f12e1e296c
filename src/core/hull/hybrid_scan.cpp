#include "core/hull/hybrid_scan.hpp"

namespace kaltrope {
namespace {

// A side hands over to the tree at most this many times.
constexpr int kMaxSwitches = 4;
// Fewer edges than this in a window of candidates counts as sparse.
constexpr int kSparseEdges = 4;

void hybrid_left(const HullTree& tree, std::uint32_t i, std::uint32_t lo, EdgeList& edges) {
    const auto y = tree.values();
    const auto x = tree.positions();
    const double yi = y[i];
    const double xi = x[i];
    edges.push_back({i - 1, i});
    std::uint32_t v = i - 1;
    double dy = y[v] - yi;
    double dx = xi - x[v];
    std::uint32_t position = v;
    std::uint32_t tested = 0;
    int found = 0;
    int switches = 0;
    while (position > lo) {
        const std::uint32_t k = --position;
        if ((y[k] - yi) * dx > (xi - x[k]) * dy) {
            edges.push_back({k, i});
            v = k;
            dy = y[k] - yi;
            dx = xi - x[k];
            ++found;
        }
        if (++tested < kHybridWindow) continue;
        if (switches < kMaxSwitches && found < kSparseEdges && position - lo > kHybridWindow) {
            const auto resume = tree.left_from(i, lo, v, true, dy, dx, edges);
            if (!resume) return;
            v = position = resume->k;
            dy = resume->dy;
            dx = resume->dx;
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
    const double xi = x[i];
    edges.push_back({i, i + 1});
    std::uint32_t v = i + 1;
    double dy = y[v] - yi;
    if (v >= hi || !(dy < 0)) return;
    double dx = x[v] - xi;
    std::uint32_t position = v;
    std::uint32_t tested = 0;
    int found = 0;
    int switches = 0;
    while (position < hi) {
        const std::uint32_t k = ++position;
        if ((y[k] - yi) * dx > (x[k] - xi) * dy) {
            edges.push_back({i, k});
            v = k;
            dy = y[k] - yi;
            dx = x[k] - xi;
            ++found;
            if (dy >= 0) return;
        }
        if (++tested < kHybridWindow) continue;
        if (switches < kMaxSwitches && found < kSparseEdges && hi - position > kHybridWindow) {
            const auto resume = tree.right_from(i, hi, v, true, dy, dx, edges);
            if (!resume) return;
            v = position = resume->k;
            dy = resume->dy;
            dx = resume->dx;
            ++switches;
            if (dy >= 0 || position == hi) return;
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
