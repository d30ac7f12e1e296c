#include "core/graph/result_cache.hpp"

namespace kaltrope {

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

}  // namespace kaltrope
