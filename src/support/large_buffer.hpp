#pragma once
// Memory for large buffers that are filled once, such as result arrays and
// whole files.

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace kaltrope::memory {

// Gives back a block of allocate_large or reallocate_large (or null).
void release_large(void* data) noexcept;

// Gives back such a block for a later one to reuse its pages (as
// page_recycling.hpp tells): for results, which a program frees and asks for
// again, call after call.
void recycle_large(void* data) noexcept;

struct FreeMemory {
    void operator()(void* data) const { release_large(data); }
};

template <class T>
using LargeBuffer = std::unique_ptr<T[], FreeMemory>;

// Uninitialised room for bytes, released with release_large or
// recycle_large. Large blocks are mappings of their own
// (page_recycling.hpp), of ordinary pages, not huge ones: on virtual
// machines whose host backs memory only when first touched, fresh huge pages
// fault in two to five times slower (a 10^7-sample walk took 10.9 to 12.8 s
// with them, 5.8 to 8.4 s without), and results are written front to back,
// where huge pages save nothing. Throws std::bad_alloc.
void* allocate_large(std::size_t bytes);

template <class T>
LargeBuffer<T> allocate_large_buffer(std::size_t count) {
    return LargeBuffer<T>(static_cast<T*>(allocate_large(count * sizeof(T))));
}

// data (from allocate_large, or null) enlarged or shrunk to bytes, keeping
// its contents. Large blocks are remapped by the system rather than copied.
// Throws std::bad_alloc, leaving data as it was.
void* reallocate_large(void* data, std::size_t bytes);

// The buffer with room for count elements, keeping its contents.
template <class T>
void resize_large_buffer(LargeBuffer<T>& buffer, std::size_t count) {
    T* resized = static_cast<T*>(reallocate_large(buffer.get(), count * sizeof(T)));
    (void)buffer.release();  // realloc has taken over the old block
    buffer.reset(resized);
}

// An allocator for std::vector that takes its memory from allocate_large.
template <class T>
struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return static_cast<T*>(allocate_large(count * sizeof(T))); }
    void deallocate(T* data, std::size_t) noexcept { release_large(data); }

    // resize() default-initialises new elements, so that a buffer of a
    // trivial type is not written twice: once with zeros, once with results.
    template <class U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const LargeAllocator&, const LargeAllocator&) = default;
};

}  // namespace kaltrope::memory
