#include "support/large_buffer.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace kaltrope::memory {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Smaller blocks, such as the per-chunk edge lists of parallel runs, fault in
// faster as ordinary pages when many grow at once.
constexpr std::size_t kHugePageThreshold = 16 * kHugePage;

}  // namespace

void* allocate_large(std::size_t bytes) {
    bytes = std::max<std::size_t>(bytes, 1);
    void* data = nullptr;
    if (bytes >= kHugePageThreshold) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        data = std::aligned_alloc(kHugePage, rounded);
        if (data) madvise(data, rounded, MADV_HUGEPAGE);
    } else {
        data = std::malloc(bytes);
    }
    if (!data) throw std::bad_alloc();
    return data;
}

void* reallocate_large(void* data, std::size_t bytes) {
    bytes = std::max<std::size_t>(bytes, 1);
    void* moved = std::realloc(data, bytes);
    if (!moved) throw std::bad_alloc();
    if (bytes >= kHugePageThreshold) {
        // The block may have come from malloc or moved: ask again for huge
        // pages over its aligned interior.
        const auto begin = reinterpret_cast<std::uintptr_t>(moved);
        const std::uintptr_t first = (begin + kHugePage - 1) / kHugePage * kHugePage;
        const std::uintptr_t last = (begin + bytes) / kHugePage * kHugePage;
        if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
    return moved;
}

}  // namespace kaltrope::memory
