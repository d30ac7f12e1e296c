#pragma once
// Results computed from an unchanging graph, kept with it: each kind of
// result is computed at most once, by the first thread that asks for it,
// while other threads asking for the same result wait for it.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <typeindex>

namespace kaltrope {

class ResultCache {
public:
    // The cached Result, made by compute() on the first call. An exception
    // from compute() leaves nothing cached, so a later call tries again.
    template <class Result, class Compute>
    const Result& get(Compute&& compute) const {
        Slot& slot = slot_for(typeid(Result));
        std::call_once(slot.computed, [&] {
            slot.owner = std::make_shared<const Result>(compute());
            slot.ready.store(slot.owner.get(), std::memory_order_release);
        });
        return *static_cast<const Result*>(slot.owner.get());
    }

    // The cached Result, or null when none has been computed yet.
    template <class Result>
    const Result* find() const {
        return static_cast<const Result*>(value_of(typeid(Result)));
    }

private:
    struct Slot {
        std::once_flag computed;
        std::shared_ptr<const void> owner;
        // The value once owner is set, for readers that do not wait for it.
        std::atomic<const void*> ready{nullptr};
    };

    Slot& slot_for(std::type_index kind) const;
    const void* value_of(std::type_index kind) const;

    mutable std::mutex mutex_;  // guards the map, not the slots
    mutable std::map<std::type_index, std::unique_ptr<Slot>> slots_;
};

}  // namespace kaltrope
