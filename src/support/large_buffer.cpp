#include "support/large_buffer.hpp"

#include <algorithm>
#include <new>

namespace kaltrope::memory {

void* allocate_large(std::size_t bytes) {
    void* data = std::malloc(std::max<std::size_t>(bytes, 1));
    if (!data) throw std::bad_alloc();
    return data;
}

void* reallocate_large(void* data, std::size_t bytes) {
    void* moved = std::realloc(data, std::max<std::size_t>(bytes, 1));
    if (!moved) throw std::bad_alloc();
    return moved;
}

}  // namespace kaltrope::memory
