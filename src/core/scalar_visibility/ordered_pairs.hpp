#pragma once
// One result written once, as the int64 pairs the array functions return,
// from chunks of samples finished in any order: a chunk's edges wait in a
// scratch list until every earlier chunk has its place, then are widened into
// the result behind them, by several threads at once. Scratch lists are
// reused, so a long series faults in its result's memory alone rather than
// that and a copy of every edge.

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "core/series/edge_list.hpp"
#include "support/large_buffer.hpp"

namespace kaltrope {

// Edges as pairs a0, b0, a1, b1, ... of count edges.
struct EdgePairs {
    memory::LargeBuffer<std::int64_t> pairs;
    std::size_t count = 0;
};

class OrderedPairs {
public:
    // chunks consecutive chunks over samples samples. The result is sized
    // when the first chunk is written, from what it projects for all
    // samples, and enlarged (remapped by the system, not copied) when the
    // written ones project more. An engine that knows a bound on its edges
    // gives it as most_edges: the result is then sized for it at once (unless
    // the system refuses that much) and never enlarged.
    OrderedPairs(std::size_t chunks, std::size_t samples, std::optional<std::size_t> most_edges = std::nullopt);

    // An empty list to collect one chunk's edges in. Thread-safe.
    EdgeList scratch();

    // Hands over the edges of chunk, which ends at sample samples_end; writes
    // every chunk now preceded by written ones. Thread-safe.
    void finish(std::size_t chunk, std::size_t samples_end, EdgeList edges);

    // The result once every chunk is finished, trimmed to its size when more
    // than an eighth of its room is unused.
    EdgePairs take();

private:
    void reserve(std::size_t edges);
    void grow(std::size_t needed, std::size_t samples_end);

    std::mutex mutex_;
    std::condition_variable drained_;         // signalled when a thread stops copying
    std::size_t copying_ = 0;                 // threads copying into the result
    std::size_t samples_;
    std::vector<EdgeList> waiting_;           // by chunk, until written
    std::vector<std::size_t> waiting_end_;    // their samples_end; 0 while not finished
    std::vector<EdgeList> spare_;
    std::size_t next_ = 0;                    // the first chunk not written yet
    EdgePairs result_;
    std::size_t capacity_ = 0;                // edges
};

}  // namespace kaltrope
