#include "core/graph/edge_index.hpp"

namespace kaltrope {
namespace {

std::uint64_t key_of(std::uint32_t a, std::uint32_t b) { return std::uint64_t{a} << 32 | b; }

}  // namespace

EdgeIndex::EdgeIndex(const Adjacency& adjacency) {
    const std::size_t capacity = std::bit_ceil(adjacency.edge_count() * 3 / 2 + 2);
    shift_ = 64 - static_cast<unsigned>(std::countr_zero(capacity));
    slots_.assign(capacity, kEmpty);
    const std::size_t mask = capacity - 1;
    adjacency.for_each_edge([&](std::size_t a, std::size_t b) {
        const auto a32 = static_cast<std::uint32_t>(a);
        const auto b32 = static_cast<std::uint32_t>(b);
        std::size_t slot = home(a32, b32);
        while (slots_[slot] != kEmpty) slot = (slot + 1) & mask;
        slots_[slot] = key_of(a32, b32);
    });
}

bool EdgeIndex::contains(std::uint32_t a, std::uint32_t b) const {
    const std::uint64_t key = key_of(a, b);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = home(a, b);; slot = (slot + 1) & mask) {
        if (slots_[slot] == key) return true;
        if (slots_[slot] == kEmpty) return false;
    }
}

}  // namespace kaltrope
