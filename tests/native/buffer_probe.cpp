// Reaches, for the tests, the large buffers behind results and scratch
// lists, which the Python interface only ever uses through whole calls.
//
//   buffer_probe
//     Allocates, grows, shrinks, frees and recycles buffers from four
//     threads at once,
//     with sizes on both sides of where blocks become page mappings and
//     beyond what is kept of freed ones, checking after every step the
//     bytes that must have been kept and the alignment, and does the same
//     meanwhile in a child of fork(). Prints "ok", or the first fault found.

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "support/large_buffer.hpp"
#include "support/page_recycling.hpp"

namespace {

using kaltrope::memory::kKeptBytes;
using kaltrope::memory::kMappedMinBytes;

// The first seven sizes come often, the next two rarely, the last (beyond
// what is kept) more rarely still.
constexpr std::size_t kSizes[] = {0,
                                  1,
                                  4000,
                                  kMappedMinBytes - 65,
                                  kMappedMinBytes - 64,
                                  kMappedMinBytes,
                                  kMappedMinBytes + 1,
                                  kMappedMinBytes * 3 / 2 + 5,
                                  kKeptBytes / 4 + 3,
                                  kKeptBytes + 4096};

// The byte expected at offset of a buffer written with seed. Every 509th
// byte is written and checked, and the last, so that large buffers stay
// cheap to check.
unsigned char expected(std::uint32_t seed, std::size_t offset) {
    return static_cast<unsigned char>((offset * 2654435761u) >> 7 ^ seed);
}

void fill(unsigned char* data, std::size_t bytes, std::uint32_t seed) {
    for (std::size_t at = 0; at < bytes; at += 509) data[at] = expected(seed, at);
    if (bytes != 0) data[bytes - 1] = expected(seed, bytes - 1);
}

// Whether the written bytes below bytes hold what was written with seed.
bool holds_before(const unsigned char* data, std::size_t bytes, std::uint32_t seed) {
    for (std::size_t at = 0; at < bytes; at += 509) {
        if (data[at] != expected(seed, at)) return false;
    }
    return true;
}

bool holds(const unsigned char* data, std::size_t bytes, std::uint32_t seed) {
    return holds_before(data, bytes, seed) && (bytes == 0 || data[bytes - 1] == expected(seed, bytes - 1));
}

struct Live {
    unsigned char* data = nullptr;
    std::size_t bytes = 0;
    std::uint32_t seed = 0;
};

// Random steps over a few live buffers; returns the first fault, or null.
// Mapped sizes only call no malloc, whose lock a thread may have held at a
// fork() (the address sanitizer's allocator would then hang the child).
const char* churn(std::uint32_t thread, int steps, bool mapped_only) {
    std::mt19937 random(thread);
    std::array<Live, 3> live{};
    const char* fault = nullptr;
    auto pick_size = [&] {
        const std::size_t count = random() % 64 == 0 ? std::size(kSizes) : random() % 8 == 0 ? 9 : 7;
        const std::size_t first = mapped_only ? 5 : 0;
        return kSizes[first + random() % (count - first)];
    };
    for (int step = 0; step < steps && !fault; ++step) {
        Live& slot = live[random() % live.size()];
        const std::size_t bytes = pick_size();
        try {
            if (slot.data && random() % 2 == 0) {
                // Grow or shrink: the common prefix must survive.
                auto* moved = static_cast<unsigned char*>(kaltrope::memory::reallocate_large(slot.data, bytes));
                if (!holds_before(moved, std::min(bytes, slot.bytes), slot.seed)) fault = "contents lost on resizing";
                slot.data = moved;
            } else {
                // Half given back for a later block to reuse.
                (random() % 2 == 0 ? kaltrope::memory::recycle_large : kaltrope::memory::release_large)(slot.data);
                slot.data = static_cast<unsigned char*>(kaltrope::memory::allocate_large(bytes));
            }
        } catch (const std::bad_alloc&) {
            fault = "out of memory";
            break;
        }
        if (reinterpret_cast<std::uintptr_t>(slot.data) % 16 != 0) fault = "misaligned";
        slot.bytes = bytes;
        slot.seed = random();
        fill(slot.data, bytes, slot.seed);
        for (const Live& other : live) {
            if (other.data && !holds(other.data, other.bytes, other.seed)) fault = "another buffer overwritten";
        }
    }
    for (Live& slot : live) kaltrope::memory::release_large(slot.data);
    return fault;
}

}  // namespace

// The child of fork() churns while the parent's threads do: a lock they held
// at the fork must not stop it. Under the address sanitizer, whose runtime
// (GCC 12's) may itself hang a child forked while other threads run, the
// child is forked once they are done.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kForkWhileThreadsRun = false;
#else
constexpr bool kForkWhileThreadsRun = true;
#endif

int main() {
    std::array<const char*, 4> faults{};
    std::vector<std::thread> threads;
    for (std::uint32_t t = 0; t < faults.size(); ++t)
        threads.emplace_back([&, t] { faults[t] = churn(t, 150, false); });
    auto join = [&] {
        for (std::thread& thread : threads) thread.join();
        threads.clear();
    };
    if (!kForkWhileThreadsRun) join();
    const char* fault = nullptr;
    const pid_t child = fork();
    if (child == 0) _exit(churn(7, 60, true) ? 1 : 0);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fault = "fault in a child of fork()";
    join();
    for (const char* found : faults) {
        if (!fault) fault = found;
    }
    std::printf("%s\n", fault ? fault : "ok");
    return fault ? 1 : 0;
}
