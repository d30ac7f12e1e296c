#pragma once
// The hull engine's work for one sample with a wide window: a linear scan in
// windows of 256 candidates that hands a side to the tree's budgeted searches
// where edges are sparse, and takes it back when the tree stops paying off.

#include <cstdint>

#include "core/series/edge_list.hpp"
#include "core/hull/hull_tree.hpp"

namespace kaltrope {

inline constexpr std::uint32_t kHybridWindow = 256;

// Appends exactly the edges of the plain scan of sample i over [lo, hi], in
// the same order.
template <class Tree>
void hybrid_scan(const Tree& tree, std::uint32_t i, std::uint32_t lo, std::uint32_t hi, EdgeList& edges);

extern template void hybrid_scan(const HullTree<UniformPositions>&, std::uint32_t, std::uint32_t, std::uint32_t,
                                 EdgeList&);
extern template void hybrid_scan(const HullTree<ExplicitPositions>&, std::uint32_t, std::uint32_t, std::uint32_t,
                                 EdgeList&);
extern template void hybrid_scan(const HullTree<UniformPositions, VertexStorage::Indices>&, std::uint32_t,
                                 std::uint32_t, std::uint32_t, EdgeList&);
extern template void hybrid_scan(const HullTree<ExplicitPositions, VertexStorage::Indices>&, std::uint32_t,
                                 std::uint32_t, std::uint32_t, EdgeList&);

}  // namespace kaltrope
