#pragma once
// Memory for large edge arrays. Results of hundreds of megabytes are written
// once, front to back; with ordinary pages the kernel's page faults cost more
// than the writing. Large blocks are therefore aligned to huge pages and
// marked for them, where the system allows.

#include <cstddef>
#include <new>

namespace kaltrope {

// Uninitialised memory of at least bytes bytes; throws std::bad_alloc.
void* allocate_large(std::size_t bytes);
void free_large(void* data) noexcept;

// An allocator for std::vector that takes its memory from allocate_large.
template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return static_cast<T*>(allocate_large(count * sizeof(T))); }
    void deallocate(T* data, std::size_t) noexcept { free_large(data); }

    friend bool operator==(const LargeAllocator&, const LargeAllocator&) = default;
};

}  // namespace kaltrope
