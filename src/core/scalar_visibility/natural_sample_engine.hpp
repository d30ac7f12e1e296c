#pragma once
// The plain natural engines' work for one sample at a time: each sample's
// window, and the scan, the hull tree or the hybrid of both over it, as
// chosen for the whole series.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/hull/hull_tree.hpp"
#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/segments.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

template <class Positions>
class NaturalSampleEngine {
public:
    // y (and the positions) validated, n >= 2; y must outlive the engine.
    // With a window, only pairs at most that many samples apart are found,
    // and the algorithm is chosen for the work that remains.
    NaturalSampleEngine(Series y, Positions x, Algorithm algorithm, std::optional<std::uint64_t> window = std::nullopt);

    // Appends the edges of sample i: left edges (j, i) by j descending, then
    // right edges (i, j) by j ascending.
    void scan(std::uint32_t i, EdgeList& edges) const;

    // The span of sample i's window: a measure of the work scan(i) does.
    std::uint32_t span(std::uint32_t i) const { return windows_.hi[i] - windows_.lo[i]; }

private:
    Series y_;
    Positions x_;
    Segments windows_;
    std::optional<HullTree<Positions>> tree_;
    SeriesExtent extent_;
};

// The engine as a scan of sample_parts.hpp.
template <class Positions>
struct SampleEngineScan {
    const NaturalSampleEngine<Positions>* engine;

    std::uint64_t operator()(std::uint32_t i, EdgeList& edges) const {
        engine->scan(i, edges);
        return engine->span(i);
    }
};

extern template class NaturalSampleEngine<UniformPositions>;
extern template class NaturalSampleEngine<ExplicitPositions>;

}  // namespace kaltrope
