#pragma once
// Communities by greedy local moves: each node in turn joins the neighbouring
// community that most raises a modularity-style gain.

#include <cstdint>
#include <vector>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// The community label of each node, in node order. Labels are dense (0 to
// c - 1 for c communities) and numbered in order of first appearance by node
// index, so node 0 is in community 0.
//
// Every node starts alone. A pass visits the nodes in index order and moves
// node v, of degree k with e_c neighbours labelled c, to the neighbouring
// label c of largest gain (e_c - e_own) / 2m - k^2 / 4m^2 when that gain is
// above 0 (m edges; on equal gains the smallest label wins). Passes repeat
// until one moves nothing, 100 passes at most. Deterministic.
std::vector<std::uint32_t> detect_communities(const VisibilityGraph& graph);

}  // namespace kaltrope
