#pragma once
// The plain natural engines' work for one sample at a time: the scan, the
// hull tree or the hybrid of both over the sample's window, as chosen for the
// whole series.

#include <cstdint>
#include <optional>
#include <vector>

#include "core/hull/hull_tree.hpp"
#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/segments.hpp"
#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"

namespace kaltrope {

// Storage: that of the hull tree, if one is built.
template <class Positions, VertexStorage Storage = VertexStorage::Coordinates>
class NaturalSampleEngine {
public:
    // y (and the positions) validated, n >= 2; y must outlive the engine.
    // scan_work: that of the windows the scans will be given (segments.hpp),
    // which chooses the algorithm under Auto.
    NaturalSampleEngine(Series y, Positions x, Algorithm algorithm, std::uint64_t scan_work);

    // Appends the edges of sample i inside its window: left edges (j, i) by
    // j descending, then right edges (i, j) by j ascending.
    void scan(std::uint32_t i, Window window, EdgeList& edges) const;

private:
    Series y_;
    Positions x_;
    std::optional<HullTree<Positions, Storage>> tree_;
    SeriesExtent extent_;
};

// The windows of every sample, kept whole.
struct StoredWindows {
    const Segments* windows;

    Window operator[](std::uint32_t i) const { return {windows->lo[i], windows->hi[i]}; }
};

// The engine as a scan of sample_parts.hpp, each sample over its window from
// Windows: StoredWindows, or a WindowCursor (one chunk of windows at a time,
// so each copy of the scan has its own).
template <class Engine, class Windows>
struct SampleEngineScan {
    const Engine* engine;
    Windows windows;

    // Returns the span of sample i's window: a measure of the work done.
    std::uint64_t operator()(std::uint32_t i, EdgeList& edges) {
        const Window window = windows[i];
        engine->scan(i, window, edges);
        return window.hi - window.lo;
    }
};

extern template class NaturalSampleEngine<UniformPositions>;
extern template class NaturalSampleEngine<ExplicitPositions>;
extern template class NaturalSampleEngine<UniformPositions, VertexStorage::Indices>;
extern template class NaturalSampleEngine<ExplicitPositions, VertexStorage::Indices>;

}  // namespace kaltrope
