// VisibilityGraph methods that write the graph as text, returned as a str or
// saved to a file. The text is made without the interpreter lock, and a file
// is written only once its text is complete.

#include <string>

#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/objects/visibility_graph_methods.hpp"
#include "bindings/objects/visibility_graph_object.hpp"
#include "io/export/graph_text.hpp"
#include "io/export/text_file_output.hpp"

namespace kaltrope::bindings {
namespace {

using WriteText = std::string (*)(const VisibilityGraph&);

std::string json_text(const VisibilityGraph& graph) { return io::to_json(graph, io::JsonOptions{}); }

PyObject* to_python_text(const std::string& text) {
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
}

// A method without arguments returning write_text(graph) as a str.
template <WriteText write_text>
PyObject* text_of(PyObject* self, PyObject*) {
    return guarded([&] {
        const VisibilityGraph& graph = graph_of(self);
        return to_python_text(without_lock([&] { return write_text(graph); }));
    });
}

// None once the text that make_text makes is saved at path; else
// RuntimeError with the path and the system's error text.
template <class MakeText>
PyObject* save(const FilePath& path, MakeText&& make_text) {
    const auto saved = without_lock([&] { return io::write_text_file(path.encoded, make_text()); });
    if (!saved) return raise_error(saved.error(), path.shown.get());
    Py_RETURN_NONE;
}

// The body of a method taking a path and saving write_text(graph) there.
PyObject* save_to_path(PyObject* self, PyObject* args, PyObject* kwargs, const char* format, WriteText write_text) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"path", nullptr};
        PyObject* path_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(keywords), &path_argument)) {
            return nullptr;
        }
        const auto path = file_path(path_argument, "path");
        if (!path) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        return save(*path, [&] { return write_text(graph); });
    });
}

PyObject* save_adjacency_csv(PyObject* self, PyObject* args, PyObject* kwargs) {
    return save_to_path(self, args, kwargs, "O:save_adjacency_csv", io::to_adjacency_matrix_csv);
}

PyObject* save_dot(PyObject* self, PyObject* args, PyObject* kwargs) {
    return save_to_path(self, args, kwargs, "O:save_dot", io::to_dot);
}

PyObject* save_graphml(PyObject* self, PyObject* args, PyObject* kwargs) {
    return save_to_path(self, args, kwargs, "O:save_graphml", io::to_graphml);
}

PyObject* edge_list_csv(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"include_weights", nullptr};
        PyObject* weights_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:to_edge_list_csv", const_cast<char**>(keywords),
                                         &weights_argument)) {
            return nullptr;
        }
        const auto include_weights = boolean(weights_argument, "include_weights");
        if (!include_weights) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        return to_python_text(without_lock([&] { return io::to_edge_list_csv(graph, *include_weights); }));
    });
}

PyObject* save_edge_list_csv(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"path", "include_weights", nullptr};
        PyObject* path_argument = nullptr;
        PyObject* weights_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO:save_edge_list_csv", const_cast<char**>(keywords),
                                         &path_argument, &weights_argument)) {
            return nullptr;
        }
        const auto path = file_path(path_argument, "path");
        if (!path) return nullptr;
        const auto include_weights = boolean(weights_argument, "include_weights");
        if (!include_weights) return nullptr;
        const VisibilityGraph& graph = graph_of(self);
        return save(*path, [&] { return io::to_edge_list_csv(graph, *include_weights); });
    });
}

const PyMethodDef export_methods[] = {
    {"to_json", text_of<json_text>, METH_NOARGS,
     "to_json($self)\n--\n\n"
     "Exports the graph to JSON.\n"
     "\n"
     "Nodes come in index order and edges (a, b), a < b, ascending; every\n"
     "line ends with a line feed. Numbers are written in the shortest form\n"
     "that reads back to the same double, never with an exponent.\n"
     "Non-finite numbers are written as null.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "str\n"
     "    A JSON object: \"nodes\" (the node count), \"edges\" (objects with\n"
     "    \"source\", \"target\" and \"weight\") and, for a graph with features,\n"
     "    \"features\" (one object per node with its \"node\" and \"values\").\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> import json\n"
     ">>> json.loads(graph.to_json())[\"nodes\"]\n"
     "4\n"},
    {"to_edge_list_csv", method_pointer(edge_list_csv), METH_VARARGS | METH_KEYWORDS,
     "to_edge_list_csv($self, include_weights)\n--\n\n"
     "Exports edges to CSV string, with or without weights.\n"
     "\n"
     "Nodes come in index order and edges (a, b), a < b, ascending; every\n"
     "line ends with a line feed. Numbers are written in the shortest form\n"
     "that reads back to the same double, never with an exponent.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "include_weights : bool\n"
     "    Whether to add the weight column.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "str\n"
     "    The header \"source,target\" (\",weight\" added with weights), then one\n"
     "    line per edge.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `include_weights` is not a bool.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.to_edge_list_csv(False)\n"
     "'source,target\\n0,1\\n1,2\\n1,3\\n2,3\\n'\n"},
    {"to_adjacency_csv", text_of<io::to_adjacency_matrix_csv>, METH_NOARGS,
     "to_adjacency_csv($self)\n--\n\n"
     "Exports adjacency matrix to CSV string.\n"
     "\n"
     "Nodes come in index order and edges (a, b), a < b, ascending; every\n"
     "line ends with a line feed. Numbers are written in the shortest form\n"
     "that reads back to the same double, never with an exponent.\n"
     "Takes n\xc2\xb2 cells: for small graphs.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "str\n"
     "    The header \"node,0,1,...\", then one line per node: its index, then\n"
     "    1 or 0 for each node.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.to_adjacency_csv().splitlines()[:2]\n"
     "['node,0,1,2,3', '0,0,1,0,0']\n"},
    {"to_features_csv", text_of<io::features_to_csv>, METH_NOARGS,
     "to_features_csv($self)\n--\n\n"
     "Exports node features to CSV string.\n"
     "\n"
     "Nodes come in index order and edges (a, b), a < b, ascending; every\n"
     "line ends with a line feed. Numbers are written in the shortest form\n"
     "that reads back to the same double, never with an exponent.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "str\n"
     "    The header \"node\" and the feature names, sorted; then one line per\n"
     "    node. An empty cell is a feature without a value at that node; a\n"
     "    graph without features gives the header \"node\" and no row.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> features = kt.FeatureSet().add_builtin(kt.BuiltinFeature(kt.BuiltinFeature.DELTA_FORWARD))\n"
     ">>> graph = kt.TimeSeries([1.0, 3.0, 2.0]).natural_visibility_with_features(features)\n"
     ">>> graph.to_features_csv()\n"
     "'node,delta_forward\\n0,2\\n1,-1\\n2,\\n'\n"},
    {"to_dot", text_of<io::to_dot>, METH_NOARGS,
     "to_dot($self)\n--\n\n"
     "Exports graph to DOT format (GraphViz).\n"
     "\n"
     "Nodes come in index order and edges (a, b), a < b, ascending; every\n"
     "line ends with a line feed. Numbers are written in the shortest form\n"
     "that reads back to the same double, never with an exponent.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "str\n"
     "    An undirected DOT graph (\"graph { ... }\"), nodes then edges.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> graph = kt.natural_visibility([1.0, 3.0, 2.0, 4.0])\n"
     ">>> graph.to_dot().splitlines()[0]\n"
     "'graph {'\n"},
    {"to_graphml", text_of<io::to_graphml>, METH_NOARGS,
     "to_graphml($self)\n--\n\n"
     "Exports graph to GraphML format.\n"
     "\n"
     "Nodes come in index order and edges (a, b), a < b, ascending; every\n"
     "line ends with a line feed. Numbers are written in the shortest form\n"
     "that reads back to the same double, never with an exponent.\n"
     "One key per feature name, sorted; it reads back with\n"
     "``networkx.read_graphml``.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "str\n"
     "    The GraphML document.\n"},
    {"save_edge_list_csv", method_pointer(save_edge_list_csv), METH_VARARGS | METH_KEYWORDS,
     "save_edge_list_csv($self, path, include_weights)\n--\n\n"
     "Saves edges to CSV file.\n"
     "\n"
     "Saves the text of `to_edge_list_csv`.\n"
     "The whole text is built first, without the interpreter lock, then the\n"
     "file is created or truncated (mode 0666 less the umask) and written.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "path : str, bytes or os.PathLike\n"
     "    The file.\n"
     "include_weights : bool\n"
     "    Whether to add the weight column.\n"
     "\n"
     "Raises\n"
     "------\n"
     "RuntimeError\n"
     "    If the file cannot be written, with the system's message (\"No such\n"
     "    file or directory (os error 2)\"); a missing directory gets no file.\n"
     "TypeError\n"
     "    If `path` is not a str, bytes or os.PathLike, or `include_weights`\n"
     "    not a bool.\n"},
    {"save_adjacency_csv", method_pointer(save_adjacency_csv), METH_VARARGS | METH_KEYWORDS,
     "save_adjacency_csv($self, path)\n--\n\n"
     "Saves adjacency matrix to CSV file.\n"
     "\n"
     "Saves the text of `to_adjacency_csv`.\n"
     "The whole text is built first, without the interpreter lock, then the\n"
     "file is created or truncated (mode 0666 less the umask) and written.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "path : str, bytes or os.PathLike\n"
     "    The file.\n"
     "\n"
     "Raises\n"
     "------\n"
     "RuntimeError\n"
     "    If the file cannot be written, with the system's message (\"No such\n"
     "    file or directory (os error 2)\"); a missing directory gets no file.\n"
     "TypeError\n"
     "    If `path` is not a str, bytes or os.PathLike.\n"},
    {"save_dot", method_pointer(save_dot), METH_VARARGS | METH_KEYWORDS,
     "save_dot($self, path)\n--\n\n"
     "Saves to DOT file.\n"
     "\n"
     "Saves the text of `to_dot`.\n"
     "The whole text is built first, without the interpreter lock, then the\n"
     "file is created or truncated (mode 0666 less the umask) and written.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "path : str, bytes or os.PathLike\n"
     "    The file.\n"
     "\n"
     "Raises\n"
     "------\n"
     "RuntimeError\n"
     "    If the file cannot be written, with the system's message (\"No such\n"
     "    file or directory (os error 2)\"); a missing directory gets no file.\n"
     "TypeError\n"
     "    If `path` is not a str, bytes or os.PathLike.\n"},
    {"save_graphml", method_pointer(save_graphml), METH_VARARGS | METH_KEYWORDS,
     "save_graphml($self, path)\n--\n\n"
     "Saves to GraphML file.\n"
     "\n"
     "Saves the text of `to_graphml`.\n"
     "The whole text is built first, without the interpreter lock, then the\n"
     "file is created or truncated (mode 0666 less the umask) and written.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "path : str, bytes or os.PathLike\n"
     "    The file.\n"
     "\n"
     "Raises\n"
     "------\n"
     "RuntimeError\n"
     "    If the file cannot be written, with the system's message (\"No such\n"
     "    file or directory (os error 2)\"); a missing directory gets no file.\n"
     "TypeError\n"
     "    If `path` is not a str, bytes or os.PathLike.\n"},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_export_methods() { return export_methods; }

}  // namespace kaltrope::bindings
