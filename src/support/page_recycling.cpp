#include "support/page_recycling.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/asan_interface.h>
#endif

namespace kaltrope::memory {

#ifdef __linux__
namespace {

// Kept mappings may not be touched: the address sanitizer reports any access.
void hide(Mapping mapping) {
#ifdef __SANITIZE_ADDRESS__
    ASAN_POISON_MEMORY_REGION(mapping.base, mapping.bytes);
#else
    (void)mapping;
#endif
}

void show(Mapping mapping) {
#ifdef __SANITIZE_ADDRESS__
    ASAN_UNPOISON_MEMORY_REGION(mapping.base, mapping.bytes);
#else
    (void)mapping;
#endif
}

std::size_t whole_pages(std::size_t bytes) {
    static const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (bytes > SIZE_MAX - page) throw std::bad_alloc();
    return (bytes + page - 1) / page * page;
}

// The freed mappings. Its lock is only ever tried: a thread that finds it
// taken maps or unmaps as if nothing were kept, so nothing waits on it, and
// a child of fork() whose parent held it keeps nothing.
class KeptMappings {
public:
    static constexpr std::size_t kMost = 16;

    // The kept mapping closest in size to bytes, or none. Only one within a
    // factor of two is taken: a much larger one, shrunk, would give back
    // most of its pages, and a much smaller one, grown, would fault in most
    // of the block afresh, while either may suit a later block.
    Mapping take(std::size_t bytes) {
        const std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock) return {};
        std::size_t best = count_;
        for (std::size_t k = 0; k < count_; ++k) {
            if (kept_[k].bytes / 2 > bytes || kept_[k].bytes < bytes / 2) continue;
            if (best == count_ || distance(kept_[k].bytes, bytes) < distance(kept_[best].bytes, bytes)) best = k;
        }
        if (best == count_) return {};
        const Mapping taken = kept_[best];
        kept_[best] = kept_[--count_];
        bytes_ -= taken.bytes;
        show(taken);
        return taken;
    }

    // Keeps mapping, giving up the smallest ones beyond kKeptBytes or kMost
    // mappings (those cost least to map afresh); returns those to unmap
    // (mapping itself when it is not kept).
    std::array<Mapping, kMost + 1> keep(Mapping mapping) {
        std::array<Mapping, kMost + 1> dropped{};
        const std::unique_lock lock(mutex_, std::try_to_lock);
        if (!lock) {
            dropped[0] = mapping;
            return dropped;
        }
        hide(mapping);
        kept_[count_++] = mapping;
        bytes_ += mapping.bytes;
        for (std::size_t k = 0; bytes_ > kKeptBytes || count_ > kMost; ++k) {
            const auto smallest = std::min_element(kept_.begin(), kept_.begin() + count_,
                                                   [](Mapping a, Mapping b) { return a.bytes < b.bytes; });
            dropped[k] = *smallest;
            show(*smallest);
            bytes_ -= smallest->bytes;
            *smallest = kept_[--count_];
        }
        return dropped;
    }

private:
    static std::size_t distance(std::size_t a, std::size_t b) { return a > b ? a - b : b - a; }

    std::mutex mutex_;
    std::array<Mapping, kMost + 1> kept_{};
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;
};

KeptMappings& kept_mappings() {
    // Never destroyed: results may be freed while the program exits.
    static KeptMappings* const kept = new KeptMappings;
    return *kept;
}

void unmap(Mapping mapping) {
    if (mapping.base) munmap(mapping.base, mapping.bytes);
}

}  // namespace

bool maps_pages() { return true; }

Mapping map_pages(std::size_t bytes) {
    const std::size_t wanted = whole_pages(bytes);
    const Mapping kept = kept_mappings().take(wanted);
    // A kept mapping much larger than wanted gives its excess back.
    if (kept.base && kept.bytes >= wanted && kept.bytes - wanted <= wanted / 4) return kept;
    if (kept.base) {
        try {
            return remap_pages(kept, wanted);
        } catch (const std::bad_alloc&) {
            unmap(kept);
        }
    }
    void* base = mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) throw std::bad_alloc();
    return {base, wanted};
}

Mapping remap_pages(Mapping mapping, std::size_t bytes) {
    const std::size_t wanted = whole_pages(bytes);
    if (wanted == mapping.bytes) return mapping;
    void* moved = mremap(mapping.base, mapping.bytes, wanted, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    return {moved, wanted};
}

void unmap_pages(Mapping mapping) { unmap(mapping); }

void keep_pages(Mapping mapping) {
    if (!mapping.base) return;
    // Without MADV_FREE (before Linux 4.5) a kept mapping would hold its
    // pages whatever the system's need: it is unmapped instead.
    if (mapping.bytes > kKeptBytes || madvise(mapping.base, mapping.bytes, MADV_FREE) != 0) {
        unmap(mapping);
        return;
    }
    for (const Mapping dropped : kept_mappings().keep(mapping)) unmap(dropped);
}

#else

bool maps_pages() { return false; }
Mapping map_pages(std::size_t) { throw std::bad_alloc(); }
Mapping remap_pages(Mapping, std::size_t) { throw std::bad_alloc(); }
void unmap_pages(Mapping) {}
void keep_pages(Mapping) {}

#endif

}  // namespace kaltrope::memory
