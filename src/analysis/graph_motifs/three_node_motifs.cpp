#include "analysis/graph_motifs/three_node_motifs.hpp"

#include "analysis/metrics/clustering.hpp"

namespace kaltrope {
namespace {

// The classes of the triples of an undirected graph with 0, 1, 2 and 3 edges
// among their nodes.
constexpr std::array<TriadArcs, 4> kUndirectedTriads = {{
    {},
    {.ij = true, .ji = true},
    {.ij = true, .ji = true, .jk = true, .kj = true},
    {.ij = true, .ji = true, .ik = true, .ki = true, .jk = true, .kj = true},
}};

TripleCount pairs_among(std::size_t count) { return count < 2 ? 0 : TripleCount{count} * (count - 1) / 2; }

}  // namespace

std::string_view motif_name(MotifKind kind) {
    switch (kind) {
        case MotifKind::Empty: return "empty";
        case MotifKind::SingleEdge: return "single_edge";
        case MotifKind::Chain: return "chain";
        case MotifKind::Fork: return "fork";
        case MotifKind::Cycle: return "cycle";
        case MotifKind::ThreeEdges: return "three_edges";
        case MotifKind::FourEdges: return "four_edges";
        case MotifKind::FiveEdges: return "five_edges";
        case MotifKind::CompleteTriangle: return "complete_triangle";
    }
    return {};
}

MotifKind classify_triad(const TriadArcs& arcs) {
    struct Arc {
        bool present;
        int from, to;
    };
    const Arc all[] = {{arcs.ij, 0, 1}, {arcs.ji, 1, 0}, {arcs.ik, 0, 2},
                       {arcs.ki, 2, 0}, {arcs.jk, 1, 2}, {arcs.kj, 2, 1}};
    int in[3] = {};
    int out[3] = {};
    int count = 0;
    for (const Arc& arc : all) {
        if (!arc.present) continue;
        ++count;
        ++out[arc.from];
        ++in[arc.to];
    }
    const auto passes_through = [&](int node) { return in[node] == 1 && out[node] == 1; };
    const auto touched = [&](int node) { return in[node] + out[node] != 0; };
    switch (count) {
        case 0: return MotifKind::Empty;
        case 1: return MotifKind::SingleEdge;
        case 2: {
            // A path x -> m -> y touches all three nodes; two arcs between one
            // pair pass through both of its nodes but leave the third alone.
            const bool path =
                touched(0) && touched(1) && touched(2) && (passes_through(0) || passes_through(1) || passes_through(2));
            return path ? MotifKind::Chain : MotifKind::Fork;
        }
        case 3:
            return passes_through(0) && passes_through(1) && passes_through(2) ? MotifKind::Cycle
                                                                               : MotifKind::ThreeEdges;
        case 4: return MotifKind::FourEdges;
        case 5: return MotifKind::FiveEdges;
        default: return MotifKind::CompleteTriangle;
    }
}

MotifCounts detect_3node_motifs(const VisibilityGraph& graph) {
    MotifCounts counts;
    const std::size_t n = graph.node_count();
    if (n < 3) return counts;
    const Adjacency& adjacency = graph.adjacency();

    // Every edge with a third node spans a triple; a triple with e edges is
    // spanned e times. A node's pairs of neighbours are the triples with two
    // edges meeting there, a triangle being one at each of its corners.
    const TripleCount triangles = triangle_count(graph);
    TripleCount neighbour_pairs = 0;
    for (std::size_t v = 0; v < n; ++v) neighbour_pairs += pairs_among(adjacency.degree(v));
    const TripleCount two_edges = neighbour_pairs - 3 * triangles;
    const TripleCount one_edge = TripleCount{adjacency.edge_count()} * (n - 2) - 2 * two_edges - 3 * triangles;
    counts.total_subgraphs = TripleCount{n} * (n - 1) * (n - 2) / 6;
    const TripleCount by_edges[] = {counts.total_subgraphs - one_edge - two_edges - triangles, one_edge, two_edges,
                                    triangles};
    for (std::size_t edges = 0; edges < kUndirectedTriads.size(); ++edges) {
        counts.by_kind[static_cast<std::size_t>(classify_triad(kUndirectedTriads[edges]))] += by_edges[edges];
    }
    return counts;
}

}  // namespace kaltrope
