#pragma once
// Stopping a long call early. The bindings open a Call around each call that
// may run long; the call's thread then runs the interpreter's signal handlers
// every few tens of milliseconds, through a check the bindings supply, and a
// handler that raises asks the call to stop. Long loops poll: a poll on any
// thread of the call (worker pool threads included) throws Interrupted once
// the call is asked to stop. Interrupted unwinds like std::bad_alloc, so
// everything a call allocated is freed and a stream rolls back its run; the
// bindings turn it into the exception the handler raised.

#include <atomic>
#include <chrono>
#include <exception>

namespace kaltrope::interruption {

struct Interrupted final : std::exception {
    const char* what() const noexcept override;
};

// Runs the handlers of pending signals; true when one of them raised.
using SignalCheck = bool (*)();

class Call;

namespace detail {
// The call the current thread works for, or null.
extern constinit thread_local Call* current_call;
}  // namespace detail

class Call {
public:
    // A call on this thread, checked through check (null: nothing stops it).
    // Calls nest; the innermost one is polled.
    explicit Call(SignalCheck check);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    bool stop_requested() const { return stop_.load(std::memory_order_relaxed); }

    // Throws Interrupted once the call is asked to stop; on the call's own
    // thread it first runs the signal check when one is due.
    void poll();
    // The same without throwing: for a thread that waits for others.
    void check_if_due();
    // Runs the signal check now (after a system call was interrupted).
    void check_now();

private:
    SignalCheck check_;
    Call* outer_;
    std::atomic<bool> stop_{false};
    std::chrono::steady_clock::time_point next_check_;
    const void* owner_;  // the thread that opened the call
};

// The current thread's call, or null.
inline Call* current() { return detail::current_call; }

// Polls the current thread's call, if any.
inline void poll() {
    if (Call* call = detail::current_call) call->poll();
}

// For a system call that failed with EINTR: runs the signal handlers at
// once and throws Interrupted when one raised; the caller then retries.
void after_interrupted_system_call();

// A worker thread's share of a call started on another thread: polls on this
// thread see that call while it lives.
class Joined {
public:
    explicit Joined(Call* call) : outer_(detail::current_call) { detail::current_call = call; }
    ~Joined() { detail::current_call = outer_; }
    Joined(const Joined&) = delete;
    Joined& operator=(const Joined&) = delete;

private:
    Call* outer_;
};

// Polls once every `period` ticks: for loops whose steps are short.
class Countdown {
public:
    explicit Countdown(unsigned period) : period_(period), left_(period) {}
    void tick(unsigned steps = 1) {
        if (left_ > steps) {
            left_ -= steps;
            return;
        }
        left_ = period_;
        poll();
    }

private:
    unsigned period_;
    unsigned left_;
};

}  // namespace kaltrope::interruption
