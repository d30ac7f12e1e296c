// VisibilityGraph methods that find structure in the graph: communities and
// three-node motifs. Each runs without the interpreter lock.

#include "analysis/community/communities.hpp"
#include "analysis/graph_motifs/three_node_motifs.hpp"
#include "bindings/objects/motif_counts_object.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* communities(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return to_python_list(without_lock([&] { return detect_communities(graph); }));
    });
}

PyObject* motifs(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return wrap_motif_counts(without_lock([&] { return detect_3node_motifs(graph); }));
    });
}

const PyMethodDef pattern_methods[] = {
    {"detect_communities", communities, METH_NOARGS,
    "detect_communities($self)\n--\n\n"
    "Detects communities and returns node assignments.\n"
    "\n"
    "Greedy local moves: every node starts alone; a pass visits the nodes\n"
    "in index order and moves a node of degree k to the neighbouring label\n"
    "c of largest gain (e_c - e_own)/2m - k\xc2\xb2/4m\xc2\xb2 (e_c of its neighbours\n"
    "labelled c, m edges) when that gain is positive, smaller labels\n"
    "winning ties; passes repeat until nothing moves (100 at most). The\n"
    "result is deterministic. It is not a modularity optimisation: on a\n"
    "connected visibility graph the labels usually flood into one\n"
    "community; isolated nodes stay alone.\n"
    "\n"
    "Returns\n"
    "-------\n"
    "list of int\n"
    "    One label per node: 0, 1, ... in order of first appearance.\n"
    "\n"
    "Examples\n"
    "--------\n"
    ">>> import kaltrope as kt\n"
    ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
    ">>> graph.detect_communities()\n"
    "[0, 0, 0, 0]\n"},
    {"detect_motifs", motifs, METH_NOARGS,
                                          "detect_motifs($self)\n--\n\n"
                                          "Detects motifs in the graph.\n"
                                          "\n"
                                          "Classifies every set of three nodes by the edges among it: none\n"
                                          "\"empty\", one \"fork\", two \"four_edges\", three \"complete_triangle\" (the\n"
                                          "names count directed arcs, two per edge). Computed from the triangles\n"
                                          "and the degrees, without enumerating triples; exact for any size.\n"
                                          "\n"
                                          "Returns\n"
                                          "-------\n"
                                          "MotifCounts\n"
                                          "    The counts of the classes that occur.\n"
                                          "\n"
                                          "Examples\n"
                                          "--------\n"
                                          ">>> import kaltrope as kt\n"
                                          ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
                                          ">>> graph.detect_motifs().counts()\n"
                                          "{'fork': 1, 'four_edges': 2, 'complete_triangle': 1}\n"},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_pattern_methods() { return pattern_methods; }

}  // namespace kaltrope::bindings
