#pragma once
// The process-wide limit on the threads of one parallel loop, the calling
// thread included. It starts from the environment and can be changed at any
// time from any thread; a loop reads it when it starts.

#include <cstddef>
#include <optional>
#include <string>

namespace kaltrope::parallel {

// The largest limit accepted, from the environment or from set_thread_limit.
inline constexpr std::size_t kMaxThreads = 1024;

// The limit a process starts with: KALTROPE_NUM_THREADS when it holds a valid
// count (a decimal whole number from 1 to kMaxThreads, blanks around it
// allowed), else the first entry of OMP_NUM_THREADS (a comma list, as OpenMP
// reads it) when that one is valid, else the CPUs in the affinity mask.
struct StartingLimit {
    std::size_t threads = 1;
    // KALTROPE_NUM_THREADS as set, when it was set (not empty) but not a valid
    // count and so ignored; the binding warns about it.
    std::optional<std::string> ignored_setting;
};

// The starting limit of this process, read from the environment on the first
// call and the same ever after.
const StartingLimit& starting_limit();

// The current limit: the starting limit until set_thread_limit is called.
std::size_t thread_limit();

// threads from 1 to kMaxThreads; loops that start afterwards use it.
void set_thread_limit(std::size_t threads);

}  // namespace kaltrope::parallel
