#include "support/large_buffer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "support/page_recycling.hpp"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

namespace kaltrope::memory {
namespace {

// Every block starts with a header telling how it was obtained; the
// caller's bytes follow it, 64-byte aligned in a mapping, 16 from malloc.
struct Header {
    std::size_t mapped;  // the mapping's bytes, or 0 for a block from malloc
    std::size_t used;    // the caller's bytes
};
constexpr std::size_t kHeaderBytes = 64;

Header* header_of(void* data) { return reinterpret_cast<Header*>(static_cast<char*>(data) - kHeaderBytes); }

std::size_t with_header(std::size_t bytes) {
    if (bytes > SIZE_MAX - kHeaderBytes) throw std::bad_alloc();
    return bytes + kHeaderBytes;
}

bool belongs_in_mapping(std::size_t bytes) { return bytes >= kMappedMinBytes && maps_pages(); }

// The room beyond the caller's bytes may not be touched: the address
// sanitizer reports any access, as it does past the end of a block from malloc.
void hide_room(const Header& header) {
#ifdef __SANITIZE_ADDRESS__
    const auto* base = reinterpret_cast<const char*>(&header);
    ASAN_POISON_MEMORY_REGION(base + kHeaderBytes + header.used, header.mapped - kHeaderBytes - header.used);
#else
    (void)header;
#endif
}

// The block's whole mapping, to be resized or given back.
Mapping mapping_of(Header* header) {
#ifdef __SANITIZE_ADDRESS__
    ASAN_UNPOISON_MEMORY_REGION(header, header->mapped);
#endif
    return {header, header->mapped};
}

void* start(Mapping mapping, std::size_t bytes) {
    auto* header = static_cast<Header*>(mapping.base);
    *header = {mapping.bytes, bytes};
    hide_room(*header);
    return reinterpret_cast<char*>(header) + kHeaderBytes;
}

void* start(void* base, std::size_t bytes) {
    auto* header = static_cast<Header*>(base);
    *header = {0, bytes};
    return reinterpret_cast<char*>(header) + kHeaderBytes;
}

}  // namespace

void* allocate_large(std::size_t bytes) {
    const std::size_t total = with_header(bytes);
    if (belongs_in_mapping(bytes)) return start(map_pages(total), bytes);
    void* base = std::malloc(total);
    if (!base) throw std::bad_alloc();
    return start(base, bytes);
}

void* reallocate_large(void* data, std::size_t bytes) {
    if (!data) return allocate_large(bytes);
    Header* header = header_of(data);
    const std::size_t total = with_header(bytes);
    if (header->mapped != 0) {
        // A mapping stays one: as it shrinks, the system takes back its pages.
        const Mapping mapping = mapping_of(header);
        try {
            return start(remap_pages(mapping, total), bytes);
        } catch (const std::bad_alloc&) {
            hide_room(*header);
            throw;
        }
    }
    if (belongs_in_mapping(bytes)) {
        void* moved = allocate_large(bytes);
        std::memcpy(moved, data, std::min(bytes, header->used));
        std::free(header);
        return moved;
    }
    void* base = std::realloc(header, total);
    if (!base) throw std::bad_alloc();
    return start(base, bytes);
}

void release_large(void* data) noexcept {
    if (!data) return;
    Header* header = header_of(data);
    if (header->mapped != 0) {
        unmap_pages(mapping_of(header));
    } else {
        std::free(header);
    }
}

void recycle_large(void* data) noexcept {
    if (!data) return;
    Header* header = header_of(data);
    if (header->mapped != 0) {
        keep_pages(mapping_of(header));
    } else {
        std::free(header);
    }
}

}  // namespace kaltrope::memory
