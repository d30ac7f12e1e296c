#include "support/thread_limit.hpp"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace kaltrope::parallel {
namespace {

std::size_t cpus_available() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return static_cast<std::size_t>(count);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

// A valid count, or nothing.
std::optional<std::size_t> parse_thread_count(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\n\r\f\v";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (value < 1 || value > kMaxThreads) return std::nullopt;
    return value;
}

// The variable's text, or nothing when it is unset or empty.
std::optional<std::string_view> variable(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return std::nullopt;
    return std::string_view(text);
}

StartingLimit read_starting_limit() {
    StartingLimit start;
    if (const auto own = variable("KALTROPE_NUM_THREADS")) {
        if (const auto threads = parse_thread_count(*own)) {
            start.threads = *threads;
            return start;
        }
        start.ignored_setting = std::string(*own);
    }
    // OpenMP's own list gives the threads of each nesting level; a loop here
    // is the outermost level. An invalid value is OpenMP's to report.
    if (const auto openmp = variable("OMP_NUM_THREADS")) {
        if (const auto threads = parse_thread_count(openmp->substr(0, openmp->find(',')))) {
            start.threads = *threads;
            return start;
        }
    }
    start.threads = std::min(cpus_available(), kMaxThreads);
    return start;
}

// 0 until the first reader settles the starting limit.
std::atomic<std::size_t> current_limit{0};

}  // namespace

const StartingLimit& starting_limit() {
    static const StartingLimit start = read_starting_limit();
    return start;
}

std::size_t thread_limit() {
    std::size_t limit = current_limit.load(std::memory_order_relaxed);
    if (limit != 0) return limit;
    std::size_t unset = 0;
    limit = starting_limit().threads;
    // A set_thread_limit that came first wins.
    if (!current_limit.compare_exchange_strong(unset, limit, std::memory_order_relaxed)) return unset;
    return limit;
}

void set_thread_limit(std::size_t threads) { current_limit.store(threads, std::memory_order_relaxed); }

}  // namespace kaltrope::parallel
