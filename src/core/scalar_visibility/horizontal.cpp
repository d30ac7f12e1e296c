#include "core/scalar_visibility/horizontal.hpp"

#include <algorithm>
#include <limits>

#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/limited_horizontal_scan.hpp"
#include "core/scalar_visibility/sample_parts.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

constexpr std::size_t kMinChunk = std::size_t{1} << 14;

// The edges a chunk's records close with the samples of earlier chunks:
// those of its k-th record are edges[ends[k - 1] .. ends[k]).
struct OuterEdges {
    std::vector<Edge> edges;
    std::vector<std::size_t> ends;
};

// A sample on the stack of the stack pass.
struct StackEntry {
    double value;
    std::uint32_t index;
};

// The stack pass over samples [begin, end), starting from an empty stack,
// calling emit(a, b) for each edge it finds, by b ascending, then a
// descending. A record (a sample strictly higher than every earlier one of
// the range) empties the stack without meeting a sample that blocks it: its
// edges with earlier ranges come next, from record(), which is called once
// for each record in turn.
template <class Emit, class Record>
void stack_pass(Series y, std::uint32_t begin, std::uint32_t end, Emit emit, Record record) {
    // Samples whose values decrease strictly from bottom to top, over a
    // bottom entry higher than any sample, which ends every run of pops.
    std::vector<StackEntry> stack(64);
    stack[0] = {std::numeric_limits<double>::infinity(), 0};
    StackEntry* top = stack.data();
    for (std::uint32_t i = begin; i < end; ++i) {
        if (i % (1u << 20) == 0) interruption::poll();
        const double value = y[i];
        while (value > top->value) {
            emit(top->index, i);
            --top;
        }
        if (top != stack.data()) {
            emit(top->index, i);
            // An equal value blocks everything behind it, so it leaves the stack.
            if (value == top->value) --top;
        } else {
            record();
        }
        if (top + 1 == stack.data() + stack.size()) {
            const std::ptrdiff_t depth = top - stack.data();
            stack.resize(2 * stack.size());
            top = stack.data() + depth;
        }
        *++top = {value, i};
    }
}

// The pass writing each sample's edges from out on, a record's edges with
// earlier ranges (from outer) after its own; returns the end of what it wrote.
Edge* write_edges(Series y, std::uint32_t begin, std::uint32_t end, const OuterEdges& outer, Edge* out) {
    std::size_t record = 0;
    stack_pass(
        y, begin, end, [&](std::uint32_t a, std::uint32_t b) { *out++ = {a, b}; },
        [&] {
            if (record < outer.ends.size()) {
                const std::size_t from = record == 0 ? 0 : outer.ends[record - 1];
                out = std::copy(outer.edges.begin() + from, outer.edges.begin() + outer.ends[record], out);
                ++record;
            }
        });
    return out;
}

// What a chunk shows the others without its edges: its records, by ascending
// index (and value), and the samples left on its stack at its end, those
// strictly higher than every later sample of the chunk, bottom to top.
struct ChunkShape {
    std::vector<std::uint32_t> records;
    std::vector<std::uint32_t> remaining;
};

ChunkShape shape_of(Series y, std::uint32_t begin, std::uint32_t end) {
    ChunkShape shape;
    double highest = -std::numeric_limits<double>::infinity();
    for (std::uint32_t i = begin; i < end; ++i) {
        if (y[i] > highest) {
            highest = y[i];
            shape.records.push_back(i);
        }
    }
    highest = -std::numeric_limits<double>::infinity();
    for (std::uint32_t i = end; i-- > begin;) {
        if (y[i] > highest) {
            highest = y[i];
            shape.remaining.push_back(i);
        }
    }
    std::ranges::reverse(shape.remaining);
    return shape;
}

// The records of each chunk met in order by the stack the earlier chunks
// leave, exactly as the single stack pass meets them: each record sees the
// stack from its top down to the first sample at least as high, popping the
// lower ones and an equal one.
std::vector<OuterEdges> outer_edges(Series y, std::span<const ChunkShape> shapes) {
    std::vector<OuterEdges> outer(shapes.size());
    std::vector<std::uint32_t> stack;
    for (std::size_t c = 0; c < shapes.size(); ++c) {
        for (const std::uint32_t r : shapes[c].records) {
            const double value = y[r];
            while (!stack.empty()) {
                const std::uint32_t top = stack.back();
                outer[c].edges.push_back({top, r});
                if (value < y[top]) break;
                stack.pop_back();
                if (value == y[top]) break;
            }
            outer[c].ends.push_back(outer[c].edges.size());
        }
        stack.insert(stack.end(), shapes[c].remaining.begin(), shapes[c].remaining.end());
    }
    return outer;
}

// Appends the edges of samples [begin, end); a horizontal graph of m samples
// has fewer than 2m edges.
void append_range_edges(Series y, std::uint32_t begin, std::uint32_t end, const OuterEdges& outer, EdgeList& edges) {
    const std::size_t before = edges.size();
    edges.resize(before + 2 * std::size_t{end - begin} + outer.edges.size());
    edges.resize(static_cast<std::size_t>(write_edges(y, begin, end, outer, edges.data() + before) - edges.data()));
}

void horizontal_row(Series y, EdgeList& edges) {
    append_range_edges(y, 0, static_cast<std::uint32_t>(y.size()), OuterEdges{}, edges);
}

// The chunks of a long series, about four per thread.
std::size_t chunk_length(std::size_t n) { return std::max(kMinChunk, n / (4 * parallel::thread_count())); }

// A series in consecutive chunks of size samples whose stack passes run
// independently, each told the edges its records close with earlier chunks.
class Chunks {
public:
    Chunks(Series y, std::size_t size) : y_(y), size_(size), outer_((y.size() + size - 1) / size) {
        if (outer_.size() < 2) return;
        std::vector<ChunkShape> shapes(outer_.size());
        parallel::for_each_range(shapes.size(), 1, [&](std::size_t first, std::size_t last) {
            for (std::size_t c = first; c < last; ++c) shapes[c] = shape_of(y, begin(c), begin(c + 1));
        });
        outer_ = outer_edges(y, shapes);
    }

    std::size_t count() const { return outer_.size(); }
    std::uint32_t begin(std::size_t c) const { return static_cast<std::uint32_t>(std::min(y_.size(), c * size_)); }

    // Appends the edges of chunk c: together, chunk after chunk, those of the
    // whole series.
    void append_edges(std::size_t c, EdgeList& edges) const {
        append_range_edges(y_, begin(c), begin(c + 1), outer_[c], edges);
    }

    // Calls visit(a, b) for every edge between chunks.
    template <class Visit>
    void for_each_outer_edge(Visit visit) const {
        for (const OuterEdges& outer : outer_) {
            for (const Edge& edge : outer.edges) visit(edge.a, edge.b);
        }
    }

private:
    Series y_;
    std::size_t size_;
    std::vector<OuterEdges> outer_;
};

}  // namespace

std::vector<EdgeList> horizontal_edge_parts(Series y) {
    const std::size_t n = y.size();
    std::vector<EdgeList> parts;
    if (n < kParallelMinSamples) {
        horizontal_row(y, parts.emplace_back());
        return parts;
    }
    const Chunks chunks(y, chunk_length(n));
    parts.resize(chunks.count());
    parallel::for_each_range(chunks.count(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t c = first; c < last; ++c) chunks.append_edges(c, parts[c]);
    });
    return parts;
}

EdgePairs horizontal_edge_pairs(Series y, const VisibilityLimits& limits, EdgeDirection direction) {
    const std::size_t n = y.size();
    // Pairs are turned while their chunk is still in the cache.
    auto directed = [&](std::span<Edge> edges) { direct_edges(edges, y, direction); };
    if (!limits.plain()) {
        if (n < 2) return OrderedPairs(0, n).take();
        const SampleReach reach(limits.window, n);
        const std::vector<std::uint32_t> previous = previous_higher(y);
        return pairs_by_sample(n, LimitedHorizontalScan(y, previous, limits.penetrable, reach), directed);
    }
    // Small chunks, so that each one's edges are still in the cache when they
    // are widened into the result; a horizontal graph of n samples has fewer
    // than 2n edges, so the result is sized once.
    const Chunks chunks(y, pair_chunk(n));
    OrderedPairs result(chunks.count(), n, 2 * n);
    parallel::for_each_range(chunks.count(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t c = first; c < last; ++c) {
            EdgeList edges = result.scratch();
            chunks.append_edges(c, edges);
            directed(edges);
            result.finish(c, chunks.begin(c + 1), std::move(edges));
        }
    });
    return result.take();
}

// The chunks' own edges are counted in parallel, each chunk into its own
// samples' degrees; the edges between chunks, few, first, by this thread.
void horizontal_degrees(Series y, std::optional<std::uint64_t> window, bool parallel, std::int64_t* degrees) {
    const std::size_t n = y.size();
    std::fill_n(degrees, n, 0);
    const std::uint64_t reach = window.value_or(n);
    auto count = [&](std::uint32_t a, std::uint32_t b) {
        if (b - a <= reach) {
            ++degrees[a];
            ++degrees[b];
        }
    };
    if (!parallel || n < kParallelMinSamples) {
        stack_pass(y, 0, static_cast<std::uint32_t>(n), count, [] {});
        return;
    }
    const Chunks chunks(y, chunk_length(n));
    chunks.for_each_outer_edge(count);
    parallel::for_each_range(chunks.count(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t c = first; c < last; ++c) stack_pass(y, chunks.begin(c), chunks.begin(c + 1), count, [] {});
    });
}

BatchEdges horizontal_batch(std::span<const Series> rows) { return run_batch(rows, horizontal_row); }

}  // namespace kaltrope
