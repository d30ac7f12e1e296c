#include "core/scalar_visibility/ordered_pairs.hpp"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace kaltrope {

OrderedPairs::OrderedPairs(std::size_t chunks, std::size_t samples)
    : samples_(samples), waiting_(chunks), waiting_end_(chunks, 0) {}

void OrderedPairs::reserve(std::size_t edges) {
    // A new block and a copy of what is written: enlarging a block in place
    // fails once part of it is marked for huge pages (the system's remapping
    // takes one mapping at a time), and the library would copy it anyway.
    auto larger = memory::allocate_large_buffer<std::int64_t>(2 * edges);
    if (result_.count > 0) std::memcpy(larger.get(), result_.pairs.get(), 2 * result_.count * sizeof(std::int64_t));
    result_.pairs = std::move(larger);
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
            // with half as much again of the projected rest as a margin: room
            // never written costs no memory, a copy of the written edges does.
            const double projected = static_cast<double>(needed) * static_cast<double>(samples_) /
                                     static_cast<double>(waiting_end_[next_]);
            // The margin is bounded, so that a dense start does not project
            // more than the system would lend.
            const double rest = std::max(projected - static_cast<double>(needed), 0.0);
            const double bound = static_cast<double>(needed) + 16.0 * static_cast<double>(samples_ - waiting_end_[next_]);
            const std::size_t margin = static_cast<std::size_t>(std::min(1.5 * rest, bound)) + needed / 8 + 4096;
            try {
                reserve(needed + margin);
            } catch (const std::bad_alloc&) {
                reserve(needed + needed / 8 + 4096);
            }
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
    if (!result_.pairs) reserve(1);
    if (result_.count < capacity_) {
        memory::resize_large_buffer(result_.pairs, 2 * std::max<std::size_t>(result_.count, 1));
        capacity_ = std::max<std::size_t>(result_.count, 1);
    }
    spare_.clear();
    return std::move(result_);
}

}  // namespace kaltrope
