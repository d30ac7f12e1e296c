#pragma once
// Memory for large buffers that are filled once, such as result arrays and
// whole files.

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace kaltrope::memory {

struct FreeMemory {
    void operator()(void* data) const { std::free(data); }
};

template <class T>
using LargeBuffer = std::unique_ptr<T[], FreeMemory>;

// Uninitialised room for bytes (at least one byte), released with std::free.
// Large buffers are backed by huge pages where the system allows, which
// saves most of the page faults of first writing them. Throws std::bad_alloc.
void* allocate_large(std::size_t bytes);

template <class T>
LargeBuffer<T> allocate_large_buffer(std::size_t count) {
    return LargeBuffer<T>(static_cast<T*>(allocate_large(count * sizeof(T))));
}

}  // namespace kaltrope::memory
