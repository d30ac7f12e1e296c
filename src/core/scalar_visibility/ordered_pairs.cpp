#include "core/scalar_visibility/ordered_pairs.hpp"

#include <algorithm>
#include <utility>

namespace kaltrope {

OrderedPairs::OrderedPairs(std::size_t chunks, std::size_t samples, std::size_t expected_edges)
    : samples_(samples), waiting_(chunks), waiting_end_(chunks, 0) {
    reserve(std::max<std::size_t>(expected_edges, 1));
}

void OrderedPairs::reserve(std::size_t edges) {
    if (edges <= capacity_) return;
    if (!result_.pairs) {
        result_.pairs = memory::allocate_large_buffer<std::int64_t>(2 * edges);
    } else {
        // Large blocks are remapped, not copied; the pages never written
        // are never faulted in.
        memory::resize_large_buffer(result_.pairs, 2 * edges);
    }
    capacity_ = edges;
}

EdgeList OrderedPairs::scratch() {
    const std::lock_guard lock(mutex_);
    if (spare_.empty()) return {};
    EdgeList edges = std::move(spare_.back());
    spare_.pop_back();
    return edges;
}

void OrderedPairs::finish(std::size_t chunk, std::size_t samples_end, EdgeList edges) {
    const std::lock_guard lock(mutex_);
    waiting_[chunk] = std::move(edges);
    waiting_end_[chunk] = std::max<std::size_t>(samples_end, 1);
    for (; next_ < waiting_.size() && waiting_end_[next_] != 0; ++next_) {
        EdgeList& part = waiting_[next_];
        const std::size_t needed = result_.count + part.size();
        if (needed > capacity_) {
            // What the samples written so far project for the whole series,
            // plus an eighth: a few remappings at most.
            const double projected = static_cast<double>(needed) * static_cast<double>(samples_) /
                                     static_cast<double>(waiting_end_[next_]);
            reserve(std::max(static_cast<std::size_t>(projected * 1.125), needed + needed / 4) + 4096);
        }
        std::int64_t* out = result_.pairs.get() + 2 * result_.count;
        for (const Edge& edge : part) {
            *out++ = edge.a;
            *out++ = edge.b;
        }
        result_.count = needed;
        part.clear();
        spare_.push_back(std::move(part));
    }
}

EdgePairs OrderedPairs::take() {
    const std::lock_guard lock(mutex_);
    if (result_.count < capacity_) {
        memory::resize_large_buffer(result_.pairs, 2 * std::max<std::size_t>(result_.count, 1));
        capacity_ = std::max<std::size_t>(result_.count, 1);
    }
    spare_.clear();
    return std::move(result_);
}

}  // namespace kaltrope
