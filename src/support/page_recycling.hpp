#pragma once
// Page mappings for large blocks, and the freed results kept for the next.
//
// A fresh page costs a page fault when first written: on the virtual machines
// measured, more than writing the page itself (83 MB of fresh pages took 50 ms
// to map and write, the same pages kept with MADV_FREE 9 ms). A program that
// builds graph after graph frees results and asks for results of much the
// same sizes, so the mapping of a freed result is kept, up to kKeptBytes in
// all, and handed out again, resized, to a later block. A kept mapping's pages are left for the
// system to reclaim should it run short of memory (MADV_FREE): they stay the
// program's only while nobody else needs them. Blocks a call frees while it
// still holds others are unmapped at once, so that keeping them never adds
// to the call's peak.

#include <cstddef>

namespace kaltrope::memory {

// Smaller blocks come from malloc, which maps a fresh block from this size
// on (glibc's largest threshold) and below it reuses freed memory itself.
inline constexpr std::size_t kMappedMinBytes = std::size_t{32} << 20;
// The most bytes kept in freed mappings; a larger one is unmapped at once.
inline constexpr std::size_t kKeptBytes = std::size_t{512} << 20;

struct Mapping {
    void* base = nullptr;
    std::size_t bytes = 0;  // whole pages
};

// Whether this system maps pages as the functions below need (Linux).
bool maps_pages();

// A mapping of at least bytes: the kept one closest in size, resized, or a
// fresh one. Its contents are undefined. Throws std::bad_alloc.
Mapping map_pages(std::size_t bytes);

// mapping resized to at least bytes, keeping what fits of its contents; the
// system moves its pages, never copies them. Throws std::bad_alloc, leaving
// mapping as it was.
Mapping remap_pages(Mapping mapping, std::size_t bytes);

// Unmaps the mapping.
void unmap_pages(Mapping mapping);

// Gives the mapping back to be kept for map_pages, or unmapped.
void keep_pages(Mapping mapping);

}  // namespace kaltrope::memory
