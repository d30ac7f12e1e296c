#pragma once
// The edge format every visibility engine produces.

#include <cstdint>
#include <vector>

#include "performance/memory/large_buffer.hpp"

namespace kaltrope {

// An edge joins samples a < b, counted from 0 within one series.
struct Edge {
    std::uint32_t a;
    std::uint32_t b;
    friend bool operator==(const Edge&, const Edge&) = default;
};

using EdgeList = std::vector<Edge, memory::LargeAllocator<Edge>>;

}  // namespace kaltrope
