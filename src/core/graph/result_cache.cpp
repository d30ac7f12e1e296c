#include "core/graph/result_cache.hpp"

#include <pthread.h>

#include <atomic>
#include <chrono>

#include "support/interruption.hpp"

namespace kaltrope {
namespace {

// How long a waiting thread sleeps between polls for interruption.
constexpr std::chrono::milliseconds kWaitSlice{20};

// Forks this process has gone through, counted in the children.
std::atomic<unsigned> fork_generation{0};

void after_fork_in_child() { fork_generation.fetch_add(1, std::memory_order_relaxed); }

unsigned current_generation() {
    static const bool fork_handler_installed = pthread_atfork(nullptr, nullptr, after_fork_in_child) == 0;
    (void)fork_handler_installed;
    return fork_generation.load(std::memory_order_relaxed);
}

}  // namespace

ResultCache::Slot& ResultCache::slot_for(std::type_index kind) const {
    const std::lock_guard lock(mutex_);
    std::unique_ptr<Slot>& slot = slots_[kind];
    if (!slot) slot = std::make_unique<Slot>();
    return *slot;
}

const void* ResultCache::value_of(std::type_index kind) const {
    const std::lock_guard lock(mutex_);
    const auto found = slots_.find(kind);
    return found == slots_.end() ? nullptr : found->second->ready.load(std::memory_order_acquire);
}

const void* ResultCache::wait_or_claim(Slot& slot) const {
    if (const void* ready = slot.ready.load(std::memory_order_acquire)) return ready;
    const std::thread::id self = std::this_thread::get_id();
    const unsigned generation = current_generation();
    std::unique_lock lock(slot.mutex);
    for (;;) {
        if (slot.owner) return slot.owner.get();
        // A claim from before a fork belongs to a thread this process lacks.
        if (slot.generation != generation) slot.depth = 0;
        if (slot.depth == 0 || slot.computing == self) {
            slot.computing = self;
            slot.generation = generation;
            ++slot.depth;
            return nullptr;
        }
        // A thread that waits long can still be interrupted; a computation
        // that fails leaves the claim to a waiter.
        slot.finished.wait_for(lock, kWaitSlice);
        lock.unlock();
        interruption::poll();
        lock.lock();
    }
}

const void* ResultCache::release(Slot& slot, std::shared_ptr<const void> made) const {
    const std::lock_guard lock(slot.mutex);
    if (made && !slot.owner) {
        slot.owner = std::move(made);
        slot.ready.store(slot.owner.get(), std::memory_order_release);
    }
    // A claim from before a fork may have been taken over (depth reset).
    if (slot.depth > 0 && --slot.depth == 0) {
        slot.computing = std::thread::id();
        slot.finished.notify_all();
    }
    return slot.owner.get();
}

}  // namespace kaltrope
