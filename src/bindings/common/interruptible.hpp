#pragma once
// Calls that signals can interrupt. While one runs, its thread runs the
// interpreter's signal handlers every few tens of milliseconds, with or
// without the interpreter lock held; a handler that raises stops the call,
// which then fails with that handler's exception (KeyboardInterrupt for
// Ctrl-C). Only the main thread runs handlers, so calls on other threads run
// to the end.

#include "support/interruption.hpp"

namespace kaltrope::bindings {

// Notes which thread is the main one; at import, with the lock held.
// Returns -1 with the error set.
int find_main_thread();

// Opened with the interpreter lock held, on the calling thread.
class InterruptibleCall : public interruption::Call {
public:
    InterruptibleCall();
};

}  // namespace kaltrope::bindings
