#pragma once
// Running an engine whose samples find their edges independently: a scan
// object called as scan(i, edges) appends the edges sample i produces, in
// their order, and returns the samples it passed. The samples go in chunks
// to the worker pool, each chunk with its own copy of the scan; the chunks'
// edges are the consecutive parts of the result, in sample order, so the
// result never depends on the number of threads.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/ordered_pairs.hpp"
#include "core/series/edge_list.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

namespace detail {

inline constexpr std::size_t kSampleChunk = 4096;
// A scan polls for interruption after about this many samples passed, plus a
// few per sample for its fixed costs.
inline constexpr unsigned kPollWork = 1u << 20;
inline constexpr std::uint64_t kSampleWork = 16;

inline std::size_t sample_chunk(std::size_t n) { return std::max(kSampleChunk, n / (8 * parallel::thread_count())); }

// A part grows to the size its samples so far project for its whole range
// (plus an eighth) once fewer than kReserveMargin edges fit: growing by
// doubling would copy the edges of a dense range several times, each time
// into fresh memory that the system first clears. A step grows it at most
// fourfold: after a few samples the projection says little (one sample
// seeing the whole series would project terabytes).
inline constexpr std::size_t kReserveMargin = 4096;

inline void reserve_ahead(EdgeList& edges, std::size_t samples_done, std::size_t samples) {
    if (edges.capacity() - edges.size() >= kReserveMargin) return;
    const double size = static_cast<double>(edges.size());
    const double projected = size * static_cast<double>(samples) /
                             static_cast<double>(std::max<std::size_t>(samples_done, 1));
    const double target = std::max(std::min(1.125 * projected, 4.0 * size), 1.5 * size);
    edges.reserve(static_cast<std::size_t>(target) + kReserveMargin);
}

template <class Scan>
void scan_samples(std::size_t begin, std::size_t end, Scan& scan, EdgeList& edges) {
    interruption::Countdown poll(kPollWork);
    for (std::size_t i = begin; i < end; ++i) {
        reserve_ahead(edges, i - begin, end - begin);
        const std::uint64_t work = scan(static_cast<std::uint32_t>(i), edges) + kSampleWork;
        poll.tick(static_cast<unsigned>(std::min<std::uint64_t>(work, kPollWork)));
    }
}

}  // namespace detail

// The edges of samples 0 .. n - 1 as consecutive parts; in parallel when
// asked to and n is large.
template <class Scan>
std::vector<EdgeList> edges_by_sample(std::size_t n, const Scan& prototype, bool parallel) {
    if (!parallel || n < kParallelMinSamples) {
        std::vector<EdgeList> parts(1);
        Scan scan = prototype;
        parts[0].reserve(2 * n);
        detail::scan_samples(0, n, scan, parts[0]);
        return parts;
    }
    const std::size_t chunk = detail::sample_chunk(n);
    std::vector<EdgeList> parts((n + chunk - 1) / chunk);
    parallel::for_each_range(parts.size(), 1, [&](std::size_t first, std::size_t last) {
        Scan scan = prototype;
        for (std::size_t part = first; part < last; ++part) {
            parts[part].reserve(2 * chunk);
            detail::scan_samples(part * chunk, std::min(n, (part + 1) * chunk), scan, parts[part]);
        }
    });
    return parts;
}

// The chunks of a result written once (pairs_by_sample, the horizontal
// engine's): at most kMaxPairChunk samples, so that a scratch list stays
// small and reused, and about 32 per thread, so that the threads finish close
// together even when the cost of a chunk varies several times over (as along
// a random walk). A short series is one chunk.
inline constexpr std::size_t kMaxPairChunk = std::size_t{1} << 14;

inline std::size_t pair_chunk(std::size_t n) {
    if (n < kParallelMinSamples) return std::max<std::size_t>(n, 1);
    return std::clamp(n / (32 * parallel::thread_count()), detail::kSampleChunk, kMaxPairChunk);
}

// The same edges written once as int64 pairs (ordered_pairs.hpp), each
// chunk's edges passed to prepare(std::span<Edge>) first, in place, while
// they are still in the cache (to change their direction, say).
template <class Scan, class Prepare>
EdgePairs pairs_by_sample(std::size_t n, const Scan& prototype, Prepare prepare) {
    if (n < 2) return OrderedPairs(0, n).take();
    const std::size_t chunk = pair_chunk(n);
    const std::size_t chunks = (n + chunk - 1) / chunk;
    OrderedPairs result(chunks, n);
    parallel::for_each_range(chunks, 1, [&](std::size_t first, std::size_t last) {
        Scan scan = prototype;
        for (std::size_t part = first; part < last; ++part) {
            const std::size_t end = std::min(n, (part + 1) * chunk);
            EdgeList edges = result.scratch();
            detail::scan_samples(part * chunk, end, scan, edges);
            prepare(std::span<Edge>(edges));
            result.finish(part, end, std::move(edges));
        }
    });
    return result.take();
}

// Claims of degrees_by_sample: those of edges_by_sample, of at most
// kMaxDegreeChunk samples, so that the tally of a claim's own samples stays
// small (uint32: a degree is less than n < 2^32).
inline constexpr std::size_t kMaxDegreeChunk = std::size_t{1} << 16;

namespace detail {

// The ends a claim of degrees_by_sample finds outside its own samples, to be
// added to shared degrees: they fall on few samples (along a random walk of
// 10^6 samples, 3.2 million ends on 22 thousand samples, the high ones seen
// from afar), so a small table keyed by the sample's low bits counts them
// and adds a count atomically only when another sample takes its slot, or
// at the end.
class OutsideEnds {
public:
    explicit OutsideEnds(std::int64_t* degrees) : degrees_(degrees), slots_(kSlots) {}
    OutsideEnds(const OutsideEnds&) = delete;
    OutsideEnds& operator=(const OutsideEnds&) = delete;
    ~OutsideEnds() {
        for (const Slot& slot : slots_) add_to_degrees(slot);
    }

    void add(std::uint32_t sample) {
        Slot& slot = slots_[sample % kSlots];
        if (slot.sample != sample) {
            add_to_degrees(slot);
            slot = {sample, 0};
        }
        ++slot.count;
    }

private:
    static constexpr std::size_t kSlots = 4096;
    struct Slot {
        std::uint32_t sample = 0;
        std::uint32_t count = 0;
    };

    void add_to_degrees(const Slot& slot) const {
        if (slot.count != 0) std::atomic_ref(degrees_[slot.sample]).fetch_add(slot.count, std::memory_order_relaxed);
    }

    std::int64_t* degrees_;
    std::vector<Slot> slots_;
};

}  // namespace detail

// The degree of every sample into degrees[0 .. n), without keeping more than
// one sample's edges at a time. Every edge of sample i has i as one end. In
// parallel, each claim tallies the ends inside its own range of samples
// (most of them) and the ends outside it apart (OutsideEnds), and adds both
// to the degrees atomically at the end.
template <class Scan>
void degrees_by_sample(std::size_t n, const Scan& prototype, std::int64_t* degrees, bool parallel) {
    std::fill_n(degrees, n, 0);
    // Ends outside [begin, end) occur only when other claims share degrees.
    auto count_range = [&](std::size_t begin, std::size_t end, Scan& scan, auto* tally, auto&& outside) {
        EdgeList edges;
        interruption::Countdown poll(detail::kPollWork);
        for (std::size_t s = begin; s < end; ++s) {
            const auto i = static_cast<std::uint32_t>(s);
            edges.clear();
            const std::uint64_t work = scan(i, edges) + detail::kSampleWork;
            tally[s - begin] += static_cast<std::uint32_t>(edges.size());
            for (const Edge& edge : edges) {
                const std::uint32_t other = edge.a ^ edge.b ^ i;
                if (other - begin < end - begin) {
                    ++tally[other - begin];
                } else {
                    outside(other);
                }
            }
            poll.tick(static_cast<unsigned>(std::min<std::uint64_t>(work + edges.size(), detail::kPollWork)));
        }
    };
    if (!parallel || n < kParallelMinSamples) {
        Scan scan = prototype;
        count_range(0, n, scan, degrees, [](std::uint32_t) {});
        return;
    }
    const std::size_t chunk = std::min(detail::sample_chunk(n), kMaxDegreeChunk);
    parallel::for_each_range((n + chunk - 1) / chunk, 1, [&](std::size_t first, std::size_t last) {
        Scan scan = prototype;
        const std::size_t begin = first * chunk;
        const std::size_t end = std::min(n, last * chunk);
        std::vector<std::uint32_t> tally(end - begin);
        detail::OutsideEnds outside(degrees);
        count_range(begin, end, scan, tally.data(), [&](std::uint32_t other) { outside.add(other); });
        for (std::size_t s = begin; s < end; ++s) {
            if (tally[s - begin] != 0) {
                std::atomic_ref(degrees[s]).fetch_add(tally[s - begin], std::memory_order_relaxed);
            }
        }
    });
}

}  // namespace kaltrope
