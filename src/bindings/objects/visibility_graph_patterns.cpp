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
                                          "detect_motifs($self)\n--\n\nDetects motifs in the graph."},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_pattern_methods() { return pattern_methods; }

}  // namespace kaltrope::bindings
