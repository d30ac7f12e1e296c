// VisibilityGraph methods that find structure in the graph: three-node
// motifs (communities have their own file). Each runs without the
// interpreter lock.

#include "analysis/graph_motifs/three_node_motifs.hpp"
#include "bindings/objects/motif_counts_object.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/result_conversion.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* motifs(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return wrap_motif_counts(without_lock([&] { return detect_3node_motifs(graph); }));
    });
}

const PyMethodDef pattern_methods[] = {
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
