#pragma once
// Results computed from an unchanging graph, kept with it: each kind of
// result is computed once, by the first thread that asks for it, while other
// threads asking for the same result wait for it (and poll for interruption
// meanwhile). The computing thread itself may ask again before it is done (a
// signal handler run during the computation, say): it then computes the
// result a second time rather than wait for itself, and the first result
// finished is the one kept. The child of a fork has none of its parent's
// other threads: a computation claimed in the parent is claimed again there.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <typeindex>

namespace kaltrope {

class ResultCache {
public:
    // The cached Result, made by compute() on the first call. An exception
    // from compute() leaves nothing cached, so a later call tries again.
    template <class Result, class Compute>
    const Result& get(Compute&& compute) const {
        Slot& slot = slot_for(typeid(Result));
        if (const void* ready = wait_or_claim(slot)) return *static_cast<const Result*>(ready);
        std::shared_ptr<const void> made;
        try {
            made = std::make_shared<const Result>(compute());
        } catch (...) {
            release(slot, nullptr);
            throw;
        }
        return *static_cast<const Result*>(release(slot, std::move(made)));
    }

    // The cached Result, or null when none has been computed yet.
    template <class Result>
    const Result* find() const {
        return static_cast<const Result*>(value_of(typeid(Result)));
    }

private:
    struct Slot {
        std::mutex mutex;
        std::condition_variable finished;
        std::thread::id computing;  // the thread computing the result, if any
        std::size_t depth = 0;      // its computations in progress
        unsigned generation = 0;    // the process's fork generation when claimed
        std::shared_ptr<const void> owner;
        // The value once owner is set, for readers that do not wait for it.
        std::atomic<const void*> ready{nullptr};
    };

    Slot& slot_for(std::type_index kind) const;
    // The result once there is one; null when the calling thread is to compute it.
    const void* wait_or_claim(Slot& slot) const;
    // Ends a computation claimed by wait_or_claim, keeping made (unless a
    // result is kept already); returns the result kept.
    const void* release(Slot& slot, std::shared_ptr<const void> made) const;
    const void* value_of(std::type_index kind) const;

    mutable std::mutex mutex_;  // guards the map, not the slots
    mutable std::map<std::type_index, std::unique_ptr<Slot>> slots_;
};

}  // namespace kaltrope
