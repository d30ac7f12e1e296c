#pragma once
// The process-wide worker pool. Parallel loops split an index range into
// claims taken dynamically by the pool's threads and by the calling thread;
// bodies write only their own results, so the outcome never depends on the
// number of threads or on scheduling.

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace kaltrope::parallel {

// Number of threads a parallel loop may use (the caller included): the
// current thread limit (thread_limit.hpp), at least 1.
std::size_t thread_count();

namespace detail {
using RangeBody = void (*)(void* context, std::size_t begin, std::size_t end);
void run_range(std::size_t count, std::size_t grain, RangeBody body, void* context);
}  // namespace detail

// Calls body(begin, end) over disjoint ranges covering [0, count), each at
// most `grain` long, from several threads at once. An exception thrown by a
// body stops further claims and is rethrown here once all running bodies
// have returned (the one from the lowest range, so it does not depend on
// scheduling).
template <class Body>
void for_each_range(std::size_t count, std::size_t grain, Body&& body) {
    using Decayed = std::remove_reference_t<Body>;
    detail::run_range(
        count, grain,
        [](void* context, std::size_t begin, std::size_t end) { (*static_cast<Decayed*>(context))(begin, end); },
        const_cast<void*>(static_cast<const void*>(&body)));
}

// A claim size for count items of similar cost that keeps work balanced
// between threads.
inline std::size_t balanced_grain(std::size_t count) { return std::max<std::size_t>(1, count / (thread_count() * 16)); }

// Calls body(i) for every i in [0, count), in claims of balanced_grain(count).
template <class Body>
void for_each_index(std::size_t count, Body&& body) {
    for_each_range(count, balanced_grain(count), [&body](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) body(i);
    });
}

}  // namespace kaltrope::parallel
