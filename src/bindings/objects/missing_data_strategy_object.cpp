// MissingDataStrategy: strategies come only from its static methods.

#include "bindings/objects/missing_data_strategy_object.hpp"

#include <string>

#include "bindings/common/argument_conversion.hpp"
#include "bindings/common/class_support.hpp"
#include "bindings/common/method_table.hpp"
#include "bindings/common/errors.hpp"
#include "bindings/common/state_conversion.hpp"

namespace kaltrope::bindings {
namespace {

PyTypeObject* strategy_type = nullptr;

PyObject* wrap_strategy(MissingDataStrategy strategy) { return wrap(strategy_type, std::move(strategy)); }

template <MissingDataStrategy (*make)()>
PyObject* plain_strategy(PyObject*, PyObject*) {
    return guarded([] { return wrap_strategy(make()); });
}

template <MissingDataStrategy (*make)(std::size_t), const char* name>
PyObject* windowed_strategy(PyObject*, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"window_size", nullptr};
        static const std::string format = std::string("O:") + name;
        PyObject* window_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, format.c_str(), const_cast<char**>(keywords),
                                         &window_argument)) {
            return nullptr;
        }
        const auto window_size = unsigned_size(window_argument, "window_size");
        if (!window_size) return nullptr;
        return wrap_strategy(make(*window_size));
    });
}

PyObject* with_fallback(PyObject* self, PyObject* args, PyObject* kwargs) {
    return guarded([&]() -> PyObject* {
        static const char* keywords[] = {"fallback", nullptr};
        PyObject* fallback_argument = nullptr;
        if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:with_fallback", const_cast<char**>(keywords),
                                         &fallback_argument)) {
            return nullptr;
        }
        const MissingDataStrategy* fallback = strategy_argument(fallback_argument, "fallback");
        if (fallback == nullptr) return nullptr;
        return wrap_strategy(MissingDataStrategy::with_fallback(held<MissingDataStrategy>(self), *fallback));
    });
}

PyObject* represent(PyObject* self) {
    return guarded([&] {
        const std::string text = "MissingDataStrategy(" + held<MissingDataStrategy>(self).debug_text() + ")";
        return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    });
}

// (version, codes): a tuple of two ints per step of the chain, in pre-order.
PyObject* reduce(PyObject* self, PyObject*) {
    return guarded([&]() -> PyObject* {
        const std::vector<std::uint64_t> codes = held<MissingDataStrategy>(self).codes();
        PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(codes.size())));
        if (!tuple) return nullptr;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            PyObject* code = PyLong_FromUnsignedLongLong(codes[i]);
            if (code == nullptr) return nullptr;
            PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), code);  // steals code
        }
        return reduce_with(self, MissingDataStrategy::kStateVersion, {tuple.release()});
    });
}

PyObject* restore(PyObject*, PyObject* args) {
    return guarded([&]() -> PyObject* {
        const auto items = state_tuple(args, 2, "MissingDataStrategy state");
        if (!items) return nullptr;
        if (!check_state_version((*items)[0], MissingDataStrategy::kStateVersion, "MissingDataStrategy")) {
            return nullptr;
        }
        const auto code_items = state_tuple((*items)[1], -1, "codes");
        if (!code_items) return nullptr;
        std::vector<std::uint64_t> codes;
        for (PyObject* item : *code_items) {
            const auto code = state_count(item, "a code");
            if (!code) return nullptr;
            codes.push_back(*code);
        }
        auto strategy = MissingDataStrategy::from_codes(codes);
        if (!strategy) return raise_value_error(strategy.error());
        return wrap_strategy(std::move(*strategy));
    });
}

constexpr char kMeanImputation[] = "mean_imputation";
constexpr char kMedianImputation[] = "median_imputation";

PyMethodDef methods[] = {
    {"linear_interpolation", plain_strategy<MissingDataStrategy::linear_interpolation>, METH_NOARGS | METH_STATIC,
     "linear_interpolation()\n--\n\n"
     "Linear interpolation: average of neighbors\n"
     "\n"
     "Fills a sample with the midpoint of the nearest present samples before\n"
     "and after it, whatever their distances; no answer for the first and\n"
     "the last sample, nor where one side has no present sample.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"},
    {"forward_fill", plain_strategy<MissingDataStrategy::forward_fill>, METH_NOARGS | METH_STATIC,
     "forward_fill()\n--\n\n"
     "Forward fill: use last valid value\n"
     "\n"
     "Fills a sample with the nearest present value before it; no answer\n"
     "where there is none.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"},
    {"backward_fill", plain_strategy<MissingDataStrategy::backward_fill>, METH_NOARGS | METH_STATIC,
     "backward_fill()\n--\n\n"
     "Backward fill: use next valid value\n"
     "\n"
     "Fills a sample with the nearest present value after it; no answer\n"
     "where there is none.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"},
    {"nearest_neighbor", plain_strategy<MissingDataStrategy::nearest_neighbor>, METH_NOARGS | METH_STATIC,
     "nearest_neighbor()\n--\n\n"
     "Nearest neighbor: use closest valid value\n"
     "\n"
     "Fills a sample with the present value nearest by index, the earlier\n"
     "one on a tie; no answer only where no value is present.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"},
    {kMeanImputation, method_pointer(windowed_strategy<MissingDataStrategy::mean_imputation, kMeanImputation>),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "mean_imputation(window_size)\n--\n\n"
     "Mean imputation with window\n"
     "\n"
     "Fills a sample with the mean of the present samples within\n"
     "``window_size // 2`` positions on either side of it; no answer where\n"
     "there is none (so always none for a window size below 2).\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "window_size : int\n"
     "    The width of the window, 0 or more.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `window_size` is not an int.\n"
     "OverflowError\n"
     "    If `window_size` is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.MissingDataStrategy.mean_imputation(3)\n"
     "MissingDataStrategy(MeanImputation { window_size: 3 })\n"},
    {kMedianImputation, method_pointer(windowed_strategy<MissingDataStrategy::median_imputation, kMedianImputation>),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "median_imputation(window_size)\n--\n\n"
     "Median imputation with window\n"
     "\n"
     "Fills a sample with the median of the present samples within\n"
     "``window_size // 2`` positions on either side of it; no answer where\n"
     "there is none (so always none for a window size below 2).\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "window_size : int\n"
     "    The width of the window, 0 or more.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `window_size` is not an int.\n"
     "OverflowError\n"
     "    If `window_size` is negative.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.MissingDataStrategy.median_imputation(3)\n"
     "MissingDataStrategy(MedianImputation { window_size: 3 })\n"},
    {"zero_fill", plain_strategy<MissingDataStrategy::zero_fill>, METH_NOARGS | METH_STATIC,
     "zero_fill()\n--\n\n"
     "Fill with zeros\n"
     "\n"
     "Fills every missing sample with 0.0: always has an answer.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"},
    {"drop", plain_strategy<MissingDataStrategy::drop>, METH_NOARGS | METH_STATIC,
     "drop()\n--\n\n"
     "Drop missing values: fills nothing.\n"
     "\n"
     "This strategy has no answer for any sample: the series keeps its\n"
     "length, so `TimeSeries.handle_missing` raises RuntimeError at the first\n"
     "missing sample unless a fallback fills it. `handle_missing` never\n"
     "returns None.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    The strategy.\n"},
    {"with_fallback", method_pointer(with_fallback), METH_VARARGS | METH_KEYWORDS,
     "with_fallback($self, fallback)\n--\n\n"
     "Chain strategies: try primary, fallback to secondary if it fails\n"
     "\n"
     "Where this strategy has no answer for a sample, `fallback` is asked.\n"
     "Neither strategy is changed; chains may be nested to any depth.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "fallback : MissingDataStrategy\n"
     "    The strategy asked where this one has no answer.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "MissingDataStrategy\n"
     "    A new strategy: this one, then `fallback`.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `fallback` is not a MissingDataStrategy.\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> fill = kt.MissingDataStrategy.backward_fill().with_fallback(kt.MissingDataStrategy.zero_fill())\n"
     ">>> kt.TimeSeries.with_missing([0.0, 1.0], [1.0, None]).handle_missing(fill).to_numpy()\n"
     "array([1., 0.])\n"},
    {"__reduce__", reduce, METH_NOARGS,
     "__reduce__($self)\n--\n\n"
     "The state of the strategy, for pickle and copy.\n\n"
     "Returns\n-------\ntuple\n"
     "    ``(MissingDataStrategy._restore, state)``: its chain of steps as a tuple of ints."},
    {"_restore", restore, METH_VARARGS | METH_CLASS,
     "_restore($cls, version, /, *state)\n--\n\n"
     "The strategy a state of ``__reduce__`` describes.\n\n"
     "Raises\n------\nValueError\n"
     "    For an unknown version or a state that describes no strategy.\n"
     "TypeError\n    For an item of the wrong type."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_doc,
     const_cast<char*>("A way of filling the missing samples of a TimeSeries.\n"
                       "\n"
                       "Strategies come from the static methods (the class has no constructor)\n"
                       "and are chained with `with_fallback`. A strategy fills a missing sample\n"
                       "from the present samples of the unrepaired series; where it has no\n"
                       "answer, the chain's next strategy is asked, and\n"
                       "`TimeSeries.handle_missing` raises RuntimeError where none has one.\n"
                       "\n"
                       "Raises\n"
                       "------\n"
                       "TypeError\n"
                       "    If called: use the static methods.\n"
                       "\n"
                       "Examples\n"
                       "--------\n"
                       ">>> import kaltrope as kt\n"
                       ">>> fill = kt.MissingDataStrategy.linear_interpolation().with_fallback(\n"
                       "...     kt.MissingDataStrategy.nearest_neighbor())\n"
                       ">>> fill\n"
                       "MissingDataStrategy(Fallback { primary: LinearInterpolation, fallback: NearestNeighbor })\n"
                       ">>> series = kt.TimeSeries.with_missing([0.0, 1.0, 2.0, 3.0], [1.0, None, 3.0, None])\n"
                       ">>> series.handle_missing(fill).to_numpy()\n"
                       "array([1., 2., 3., 3.])\n")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor)},
    {Py_tp_dealloc, reinterpret_cast<void*>(release_holder<MissingDataStrategy>)},
    {Py_tp_repr, reinterpret_cast<void*>(represent)},
    {Py_tp_methods, methods},
    {0, nullptr},
};

PyType_Spec spec = {"_kaltrope.MissingDataStrategy", sizeof(Holder<MissingDataStrategy>), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

int add_missing_data_strategy_class(PyObject* module) {
    strategy_type = add_class(module, spec);
    return strategy_type != nullptr ? 0 : -1;
}

const MissingDataStrategy* strategy_argument(PyObject* object, const char* argument) {
    if (!has_type(object, strategy_type, argument)) return nullptr;
    return &held<MissingDataStrategy>(object);
}

}  // namespace kaltrope::bindings
