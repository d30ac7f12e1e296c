#include "core/scalar_visibility/ordered_pairs.hpp"

#include <algorithm>
#include <new>
#include <utility>

namespace kaltrope {

OrderedPairs::OrderedPairs(std::size_t chunks, std::size_t samples, std::optional<std::size_t> most_edges)
    : samples_(samples), waiting_(chunks), waiting_end_(chunks, 0) {
    if (!most_edges) return;
    try {
        reserve(*most_edges);
    } catch (const std::bad_alloc&) {
        // A bound the system would not lend; sized from the chunks then.
    }
}

void OrderedPairs::reserve(std::size_t edges) {
    // Large blocks are remapped by the system, not copied.
    memory::resize_large_buffer(result_.pairs, 2 * edges);
    capacity_ = edges;
}

EdgeList OrderedPairs::scratch() {
    const std::lock_guard lock(mutex_);
    if (spare_.empty()) return {};
    EdgeList edges = std::move(spare_.back());
    spare_.pop_back();
    return edges;
}

void OrderedPairs::grow(std::size_t needed, std::size_t samples_end) {
    // What the samples written so far project for the whole series, with
    // half as much again of the projected rest as a margin: room never
    // written costs no memory, a copy of the written edges does. The margin
    // is bounded, so that a dense start does not project more than the
    // system would lend.
    const double projected = static_cast<double>(needed) * static_cast<double>(samples_) /
                             static_cast<double>(samples_end);
    const double rest = std::max(projected - static_cast<double>(needed), 0.0);
    const double bound = static_cast<double>(needed) + 16.0 * static_cast<double>(samples_ - samples_end);
    const std::size_t margin = static_cast<std::size_t>(std::min(1.5 * rest, bound)) + needed / 8 + 4096;
    try {
        reserve(needed + margin);
    } catch (const std::bad_alloc&) {
        reserve(needed + needed / 8 + 4096);
    }
}

void OrderedPairs::finish(std::size_t chunk, std::size_t samples_end, EdgeList edges) {
    struct Job {
        EdgeList edges;
        std::size_t first;  // the index of its first edge in the result
    };
    std::unique_lock lock(mutex_);
    waiting_[chunk] = std::move(edges);
    waiting_end_[chunk] = std::max<std::size_t>(samples_end, 1);
    std::vector<Job> jobs;
    for (;;) {
        // Places the chunks that follow the written ones, as far as the
        // result has room; it grows only once no thread is copying into it.
        while (next_ < waiting_.size() && waiting_end_[next_] != 0) {
            const std::size_t needed = result_.count + waiting_[next_].size();
            if (needed > capacity_) {
                if (!jobs.empty()) break;  // this thread's own copies first
                drained_.wait(lock, [&] { return copying_ == 0; });
                // Other threads may have placed chunks or grown the result meanwhile.
                if (next_ >= waiting_.size() || waiting_end_[next_] == 0) break;
                const std::size_t now_needed = result_.count + waiting_[next_].size();
                if (now_needed > capacity_) grow(now_needed, waiting_end_[next_]);
                continue;
            }
            jobs.push_back({std::move(waiting_[next_]), result_.count});
            result_.count = needed;
            ++next_;
        }
        if (jobs.empty()) return;
        // The copies run outside the lock, so that threads fault in the
        // result's pages side by side.
        ++copying_;
        std::int64_t* const pairs = result_.pairs.get();
        lock.unlock();
        for (const Job& job : jobs) {
            std::int64_t* out = pairs + 2 * job.first;
            for (const Edge& edge : job.edges) {
                *out++ = edge.a;
                *out++ = edge.b;
            }
        }
        lock.lock();
        --copying_;
        for (Job& job : jobs) {
            job.edges.clear();
            spare_.push_back(std::move(job.edges));
        }
        jobs.clear();
        drained_.notify_all();
    }
}

EdgePairs OrderedPairs::take() {
    const std::lock_guard lock(mutex_);
    if (!result_.pairs) reserve(1);
    // Room left unused is given back when it is a sizeable share. Trimming a
    // few edges from a result sized for a bound would leave a hole that the
    // next result of the same size no longer fits, so that every call took
    // fresh memory from the system.
    if (capacity_ - result_.count > capacity_ / 8) {
        memory::resize_large_buffer(result_.pairs, 2 * std::max<std::size_t>(result_.count, 1));
        capacity_ = std::max<std::size_t>(result_.count, 1);
    }
    spare_.clear();
    return std::move(result_);
}

}  // namespace kaltrope
