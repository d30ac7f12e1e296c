#pragma once
// Three-node motifs: every set of three nodes classified by the edges among
// them, and the number of sets of each class.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/graph/visibility_graph.hpp"

namespace kaltrope {

// The classes, in the order in which they are listed and reported.
enum class MotifKind : std::uint8_t {
    Empty,
    SingleEdge,
    Chain,
    Fork,
    Cycle,
    ThreeEdges,
    FourEdges,
    FiveEdges,
    CompleteTriangle,
};
inline constexpr std::size_t kMotifKindCount = 9;

// "empty", "single_edge", "chain", "fork", "cycle", "three_edges",
// "four_edges", "five_edges", "complete_triangle".
std::string_view motif_name(MotifKind kind);

// The arcs among three nodes i < j < k of a directed graph; an undirected
// edge is the two arcs between its ends.
struct TriadArcs {
    bool ij = false, ji = false, ik = false, ki = false, jk = false, kj = false;
};

// The class of a triad by its number of arcs t: 0 "empty", 1 "single_edge",
// 2 "chain" when the two arcs form a directed path through all three nodes
// and "fork" otherwise (two arcs out of or into one node, or both arcs
// between one pair), 3 "cycle" for a directed cycle and "three_edges"
// otherwise, 4 to 6 "four_edges", "five_edges", "complete_triangle". The
// class does not depend on how the three nodes are numbered.
MotifKind classify_triad(const TriadArcs& arcs);

// Counts of node triples: exact for every graph, so wider than 64 bits
// (a graph of 10^7 nodes has about 1.7 * 10^20 triples).
using TripleCount = unsigned __int128;

struct MotifCounts {
    std::array<TripleCount, kMotifKindCount> by_kind{};  // indexed by MotifKind
    TripleCount total_subgraphs = 0;                     // n(n - 1)(n - 2)/6
};

// The motif counts of an undirected graph, as if every triple i < j < k were
// classified, without enumerating them: from the number of triangles, the
// degrees and the edge count. All zero for fewer than three nodes.
MotifCounts detect_3node_motifs(const VisibilityGraph& graph);

}  // namespace kaltrope
