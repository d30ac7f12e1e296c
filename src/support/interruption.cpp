#include "support/interruption.hpp"

namespace kaltrope::interruption {
namespace {

// How often a call's thread runs the signal handlers: often enough to stop
// well within half a second, seldom enough that taking the interpreter lock
// costs nothing measurable.
constexpr std::chrono::milliseconds kCheckInterval{40};

// Any address unique to the thread identifies it.
thread_local const char thread_tag = 0;

}  // namespace

constinit thread_local Call* detail::current_call = nullptr;

const char* Interrupted::what() const noexcept { return "interrupted"; }

Call::Call(SignalCheck check)
    : check_(check),
      outer_(detail::current_call),
      next_check_(std::chrono::steady_clock::now() + kCheckInterval),
      owner_(&thread_tag) {
    detail::current_call = this;
}

Call::~Call() { detail::current_call = outer_; }

void Call::poll() {
    check_if_due();
    if (stop_requested()) throw Interrupted();
}

void Call::check_if_due() {
    if (check_ == nullptr || owner_ != &thread_tag || stop_requested()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now < next_check_) return;
    next_check_ = now + kCheckInterval;
    check_now();
}

void Call::check_now() {
    // Once a handler has raised, its exception is the call's outcome: no
    // second handler runs on top of it.
    if (check_ != nullptr && owner_ == &thread_tag && !stop_requested() && check_()) {
        stop_.store(true, std::memory_order_relaxed);
    }
}

void after_interrupted_system_call() {
    Call* call = detail::current_call;
    if (call == nullptr) return;
    call->check_now();
    if (call->stop_requested()) throw Interrupted();
}

}  // namespace kaltrope::interruption
