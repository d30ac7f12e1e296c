#pragma once
// System calls as files need them: descriptors closed on every way out, and
// calls that a signal interrupts retried once the signal handlers have run.

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "support/interruption.hpp"

namespace kaltrope::io {

// Owns an open file descriptor (or none, when negative).
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }
    // Closes now, for the result: some write errors show only here.
    int close() { return ::close(std::exchange(descriptor_, -1)); }

private:
    int descriptor_;
};

// call() until it does not fail with EINTR, as Python's own I/O does: after
// each interruption the signal handlers run, and one that raises ends the
// call with interruption::Interrupted.
template <class Call>
auto retry_interrupted(Call&& call) {
    for (;;) {
        const auto result = call();
        if (result >= 0 || errno != EINTR) return result;
        interruption::after_interrupted_system_call();
    }
}

}  // namespace kaltrope::io
