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
                                    "to_json($self)\n--\n\nExports the graph to JSON."},
    {"to_edge_list_csv", method_pointer(edge_list_csv), METH_VARARGS | METH_KEYWORDS,
    "to_edge_list_csv($self, include_weights)\n--\n\nExports edges to CSV string (with weights)."},
    {"to_adjacency_csv", text_of<io::to_adjacency_matrix_csv>, METH_NOARGS,
    "to_adjacency_csv($self)\n--\n\nExports adjacency matrix to CSV string."},
    {"to_features_csv", text_of<io::features_to_csv>, METH_NOARGS,
                                            "to_features_csv($self)\n--\n\nExports node features to CSV string."},
    {"to_dot", text_of<io::to_dot>, METH_NOARGS,
                                   "to_dot($self)\n--\n\nExports graph to DOT format (GraphViz)."},
    {"to_graphml", text_of<io::to_graphml>, METH_NOARGS,
                                       "to_graphml($self)\n--\n\nExports graph to GraphML format."},
    {"save_edge_list_csv", method_pointer(save_edge_list_csv), METH_VARARGS | METH_KEYWORDS,
    "save_edge_list_csv($self, path, include_weights)\n--\n\nSaves edges to CSV file."},
    {"save_adjacency_csv", method_pointer(save_adjacency_csv), METH_VARARGS | METH_KEYWORDS,
    "save_adjacency_csv($self, path)\n--\n\nSaves adjacency matrix to CSV file."},
    {"save_dot", method_pointer(save_dot),
                                     METH_VARARGS | METH_KEYWORDS, "save_dot($self, path)\n--\n\nSaves to DOT file."},
    {"save_graphml", method_pointer(save_graphml),
                                         METH_VARARGS | METH_KEYWORDS,
                                         "save_graphml($self, path)\n--\n\nSaves to GraphML file."},
};

}  // namespace

std::span<const PyMethodDef> visibility_graph_export_methods() { return export_methods; }

}  // namespace kaltrope::bindings
