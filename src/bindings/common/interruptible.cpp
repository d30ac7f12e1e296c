#include "bindings/common/interruptible.hpp"

#include <pthread.h>

#include "bindings/common/py_ref.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {
namespace {

unsigned long main_thread = 0;

// Runs the pending handlers with the lock taken for the moment (or already
// held); a raised exception stays set for the call to report.
bool run_signal_handlers() {
    const PyGILState_STATE state = PyGILState_Ensure();
    const bool raised = PyErr_CheckSignals() < 0;
    PyGILState_Release(state);
    return raised;
}

// The child of a fork has one thread, the one that forked: the interpreter
// makes it the main thread, and so does this module.
void after_fork_in_child() { main_thread = PyThread_get_thread_ident(); }

interruption::SignalCheck check_for_this_thread() {
    return main_thread != 0 && PyThread_get_thread_ident() == main_thread ? run_signal_handlers : nullptr;
}

}  // namespace

int find_main_thread() {
    PyRef threading = PyRef::steal(PyImport_ImportModule("threading"));
    if (!threading) return -1;
    PyRef thread = PyRef::steal(PyObject_CallMethod(threading.get(), "main_thread", nullptr));
    if (!thread) return -1;
    PyRef ident = PyRef::steal(PyObject_GetAttrString(thread.get(), "ident"));
    if (!ident) return -1;
    main_thread = PyLong_AsUnsignedLong(ident.get());
    if (PyErr_Occurred()) return -1;
    static const bool fork_handler_installed = pthread_atfork(nullptr, nullptr, after_fork_in_child) == 0;
    (void)fork_handler_installed;
    return 0;
}

InterruptibleCall::InterruptibleCall() : interruption::Call(check_for_this_thread()) {}

}  // namespace kaltrope::bindings
