#pragma once
// Ownership helpers for the interpreter: references and the interpreter lock.

#include <unistd.h>

#include <type_traits>
#include <utility>

#include "bindings/common/interruptible.hpp"
#include "bindings/common/python.hpp"

namespace kaltrope::bindings {

// Owns one strong reference (or none).
class PyRef {
public:
    PyRef() = default;
    // Takes over a new reference; null means a Python error is set.
    static PyRef steal(PyObject* object) { return PyRef(object); }
    static PyRef borrow(PyObject* object) {
        Py_XINCREF(object);
        return PyRef(object);
    }

    PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    PyRef& operator=(PyRef&& other) noexcept {
        PyRef(std::move(other)).swap(*this);
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    PyObject* release() { return std::exchange(object_, nullptr); }
    explicit operator bool() const { return object_ != nullptr; }
    void swap(PyRef& other) noexcept { std::swap(object_, other.object_); }

private:
    explicit PyRef(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

// Releases the interpreter lock for its lifetime, and takes it back on every
// way out, exceptions included. Nothing may touch a Python object meanwhile.
class ThreadsReleased {
public:
    ThreadsReleased() : state_(PyEval_SaveThread()) {}
    ~ThreadsReleased() {
        try {
            PyEval_RestoreThread(state_);
        } catch (...) {
            // While the interpreter shuts down, a thread that asks for the
            // lock back is ended by pthread_exit, whose unwinding would stop
            // at this destructor and abort the process. The thread waits here
            // instead, its work unused, until the process exits.
            for (;;) pause();
        }
    }
    ThreadsReleased(const ThreadsReleased&) = delete;
    ThreadsReleased& operator=(const ThreadsReleased&) = delete;

private:
    PyThreadState* state_;
};

// compute() run without the interpreter lock, as a call that signals can
// interrupt (it then throws interruption::Interrupted); its result is handed
// back with the lock held again.
template <class Compute>
auto without_lock(Compute&& compute) {
    const InterruptibleCall call;
    ThreadsReleased unlocked;
    // A handler's exception is never left set beside a result.
    if constexpr (std::is_void_v<decltype(compute())>) {
        compute();
        if (call.stop_requested()) throw interruption::Interrupted();
    } else {
        auto result = compute();
        if (call.stop_requested()) throw interruption::Interrupted();
        return result;
    }
}

}  // namespace kaltrope::bindings
