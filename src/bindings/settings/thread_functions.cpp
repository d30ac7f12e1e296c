// get_num_threads() and set_num_threads(n): the thread limit of the worker
// pool, shared by every parallel call of the process.

#include "bindings/settings/thread_functions.hpp"

#include "bindings/common/method_table.hpp"
#include "bindings/common/py_ref.hpp"
#include "support/thread_limit.hpp"

namespace kaltrope::bindings {
namespace {

PyObject* get_num_threads(PyObject*, PyObject*) { return PyLong_FromSize_t(parallel::thread_limit()); }

PyObject* set_num_threads(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"n", nullptr};
    PyObject* n_argument = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:set_num_threads", const_cast<char**>(keywords), &n_argument)) {
        return nullptr;
    }
    // A bool is an int to Python, but never a count of threads.
    if (PyBool_Check(n_argument) || !PyIndex_Check(n_argument)) {
        PyRef type = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(n_argument)), "__name__"));
        if (!type) return nullptr;
        return PyErr_Format(PyExc_TypeError, "set_num_threads(): n must be an int, not %S", type.get());
    }
    PyRef n = PyRef::steal(PyNumber_Index(n_argument));
    if (!n) return nullptr;
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(n.get(), &overflow);
    if (value == -1 && PyErr_Occurred()) return nullptr;
    if (overflow != 0 || value < 1 || value > static_cast<long long>(parallel::kMaxThreads)) {
        return PyErr_Format(PyExc_ValueError, "set_num_threads(): n must be from 1 to %zu, got %R",
                            parallel::kMaxThreads, n.get());
    }
    parallel::set_thread_limit(static_cast<std::size_t>(value));
    Py_RETURN_NONE;
}

PyMethodDef functions[] = {
    {"get_num_threads", get_num_threads, METH_NOARGS,
     "get_num_threads()\n--\n\n"
     "The number of threads a parallel call may use.\n"
     "\n"
     "Returns\n"
     "-------\n"
     "int\n"
     "    The process-wide thread limit, the calling thread included: the\n"
     "    last value given to `set_num_threads`, else the starting value\n"
     "    (``KALTROPE_NUM_THREADS``, else the first entry of\n"
     "    ``OMP_NUM_THREADS``, else the CPUs this process may run on).\n"
     "\n"
     "See Also\n"
     "--------\n"
     "set_num_threads\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> kt.get_num_threads() >= 1\n"
     "True\n"},
    {"set_num_threads", method_pointer(set_num_threads), METH_VARARGS | METH_KEYWORDS,
     "set_num_threads(n)\n--\n\n"
     "Limit the threads of every later parallel call.\n"
     "\n"
     "The limit is process-wide and counts the calling thread, so 1 runs\n"
     "every call on its caller alone and starts no worker thread. Workers are\n"
     "started only when a call wants them; when the limit drops, the extra\n"
     "ones stay idle. A call already running keeps the limit it started with.\n"
     "Safe from any thread. Results never depend on the limit.\n"
     "\n"
     "Parameters\n"
     "----------\n"
     "n : int\n"
     "    The number of threads, from 1 to 1024.\n"
     "\n"
     "Raises\n"
     "------\n"
     "TypeError\n"
     "    If `n` is not an int (a bool is refused too).\n"
     "ValueError\n"
     "    If `n` is below 1 or above 1024.\n"
     "\n"
     "See Also\n"
     "--------\n"
     "get_num_threads\n"
     "\n"
     "Examples\n"
     "--------\n"
     ">>> import kaltrope as kt\n"
     ">>> before = kt.get_num_threads()\n"
     ">>> kt.set_num_threads(1)\n"
     ">>> kt.get_num_threads()\n"
     "1\n"
     ">>> kt.set_num_threads(before)\n"},
    {nullptr, nullptr, 0, nullptr},
};

// The variable as Python shows os.environ's values, for the warning.
int warn_about_ignored_setting(const std::string& setting) {
    PyRef shown =
        PyRef::steal(PyUnicode_DecodeFSDefaultAndSize(setting.data(), static_cast<Py_ssize_t>(setting.size())));
    if (!shown) return -1;
    return PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                            "KALTROPE_NUM_THREADS=%R is not a whole number from 1 to %zu and is ignored; "
                            "kaltrope starts with %zu threads",
                            shown.get(), parallel::kMaxThreads, parallel::starting_limit().threads);
}

}  // namespace

int add_thread_functions(PyObject* module) {
    if (PyModule_AddFunctions(module, functions) < 0) return -1;
    const auto& ignored = parallel::starting_limit().ignored_setting;
    return ignored ? warn_about_ignored_setting(*ignored) : 0;
}

}  // namespace kaltrope::bindings
