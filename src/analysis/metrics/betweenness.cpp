#include "analysis/metrics/betweenness.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "support/cpu_features.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Sources are taken in blocks of this many, each block summed on its own and
// the blocks added up in order, so every sum is the same for any number of
// threads.
constexpr std::size_t kSourcesPerBlock = 32;
// Searches from this many consecutive sources run in step, one lane each.
constexpr std::size_t kLanes = 4;
static_assert(kSourcesPerBlock % kLanes == 0);
// The block sums held at once: 32 MiB of them.
constexpr std::size_t kBlockSumValues = std::size_t{1} << 22;

constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();

// A value per lane in one vector (GCC's vector extensions, mapped onto the
// target's vector instructions); comparisons give a mask of all-one lanes.
using LaneDistances = std::uint32_t __attribute__((vector_size(kLanes * sizeof(std::uint32_t))));
using LaneMask = std::int32_t __attribute__((vector_size(kLanes * sizeof(std::int32_t))));
using WideLaneMask = std::int64_t __attribute__((vector_size(kLanes * sizeof(std::int64_t))));
using LaneValues = double __attribute__((vector_size(kLanes * sizeof(double))));

// Storage aligned to the size of its items: the AVX2 code loads a lane
// vector whole, with an instruction that wants it aligned so, where a plain
// build aligns it to half that.
template <class T>
struct WholeVectorAllocator {
    using value_type = T;
    WholeVectorAllocator() = default;
    template <class U>
    WholeVectorAllocator(const WholeVectorAllocator<U>&) {}
    T* allocate(std::size_t count) {
        return static_cast<T*>(::operator new(count * sizeof(T), std::align_val_t{sizeof(T)}));
    }
    void deallocate(T* items, std::size_t) { ::operator delete(items, std::align_val_t{sizeof(T)}); }
    friend bool operator==(WholeVectorAllocator, WholeVectorAllocator) { return true; }
};
template <class T>
using LaneArray = std::vector<T, WholeVectorAllocator<T>>;

constexpr LaneDistances kNoDistances = LaneDistances{} + kUnreached;

// chosen where mask is set, otherwise kept.
[[gnu::always_inline]] inline LaneValues select(LaneMask mask, LaneValues chosen, LaneValues kept) {
    const auto wide = __builtin_convertvector(mask, WideLaneMask);
    return reinterpret_cast<LaneValues>((reinterpret_cast<WideLaneMask>(chosen) & wide) |
                                        (reinterpret_cast<WideLaneMask>(kept) & ~wide));
}

[[gnu::always_inline]] inline bool any(LaneMask mask) {
    std::int32_t joined = 0;
    for (std::size_t lane = 0; lane < kLanes; ++lane) joined |= mask[lane];
    return joined != 0;
}

// The dependencies of every node on the shortest paths from a few
// consecutive sources (Brandes), found together: one sweep over the levels
// takes step k of every source's search at once, so a node and its edges are
// read once for all the sources that reach it at the same distance.
// Compiled once for any x86-64 and once for processors with AVX2, whose
// vectors hold all four lanes of a value (Avx2 tells the two apart; every
// lane's arithmetic is the same in both, without fused operations).
// Neighbouring samples lie at nearly the same distance from every node, so
// the sources share most of that work; each lane's arithmetic is that of a
// search on its own, done for all lanes by the same vector instructions.
//
// The backward sweep keeps, in each lane, the share (1 + dependency) / paths
// of the nodes one level below the level it works on and zeros elsewhere, so
// a node sums its neighbours' shares without asking which of them lie there.
template <bool Avx2>
class DependencySearch {
public:
    explicit DependencySearch(const Adjacency& adjacency)
        : adjacency_(adjacency),
          distance_(adjacency.node_count(), kNoDistances),
          paths_(adjacency.node_count(), LaneValues{}),
          share_(adjacency.node_count(), LaneValues{}),
          dependency_(adjacency.node_count(), LaneValues{}),
          listed_in_(adjacency.node_count(), 0) {}

    // Adds each node's dependency on each source first, first + 1, ...
    // (count of them, at most kLanes), sum over t of sigma_st(v) / sigma_st,
    // to totals, source by source (a source's own excluded).
    [[gnu::always_inline]] void add_from(std::uint32_t first, std::size_t count, std::vector<double>& totals) {
        count_paths(first, count);
        // The last step is empty, and the sources have no dependency to add.
        for (std::size_t step = step_start_.size() - 3; step >= 1; --step) add_dependencies(step);
        for (const std::uint32_t v : touched_) {
            for (std::size_t lane = 0; lane < count; ++lane) totals[v] += dependency_[v][lane];
            distance_[v] = kNoDistances;
            paths_[v] = share_[v] = dependency_[v] = LaneValues{};
            listed_in_[v] = 0;
        }
    }

private:
    static LaneDistances all(std::size_t step) { return LaneDistances{} + static_cast<std::uint32_t>(step); }

    // Appends node to the list of step, once.
    [[gnu::always_inline]] void list(std::uint32_t node, std::size_t step) {
        if (listed_in_[node] == step + 1) return;
        if (listed_in_[node] == 0) touched_.push_back(node);
        listed_in_[node] = static_cast<std::uint32_t>(step + 1);
        order_.push_back(node);
    }

    // The shortest-path counts in every lane, as floats (they can outgrow
    // any integer); order_ lists, for each step k, the nodes at distance k
    // in some lane, in [step_start_[k], step_start_[k + 1]). A last empty
    // step ends the list.
    [[gnu::always_inline]] void count_paths(std::uint32_t first, std::size_t count) {
        order_.clear();
        touched_.clear();
        step_start_.assign(1, 0);
        for (std::uint32_t lane = 0; lane < count; ++lane) {
            distance_[first + lane][lane] = 0;
            paths_[first + lane][lane] = 1.0;
            list(first + lane, 0);
        }
        step_start_.push_back(order_.size());
        for (std::size_t step = 0; step_start_[step] != step_start_[step + 1]; ++step) {
            const LaneDistances next = all(step + 1);
            for (std::size_t i = step_start_[step]; i < step_start_[step + 1]; ++i) {
                const std::uint32_t u = order_[i];
                const LaneMask here = distance_[u] == all(step);
                const LaneValues paths = paths_[u];
                for (const std::uint32_t w : adjacency_.neighbors(u)) {
                    const LaneDistances before = distance_[w];
                    const LaneMask first_reach = here & (before == kNoDistances);
                    const LaneDistances after = first_reach ? next : before;
                    distance_[w] = after;
                    paths_[w] += select(here & (after == next), paths, LaneValues{});
                    if (any(first_reach)) list(w, step + 1);
                }
            }
            step_start_.push_back(order_.size());
        }
    }

    // The dependencies of the nodes at distance step, from the shares of the
    // level below; then their own shares in place of those.
    [[gnu::always_inline]] void add_dependencies(std::size_t step) {
        const LaneDistances at = all(step);
        for (std::size_t i = step_start_[step]; i < step_start_[step + 1]; ++i) {
            const std::uint32_t w = order_[i];
            LaneValues shares{};
            for (const std::uint32_t x : adjacency_.neighbors(w)) shares += share_[x];
            dependency_[w] = select(distance_[w] == at, paths_[w] * shares, dependency_[w]);
        }
        for (std::size_t i = step_start_[step + 1]; i < step_start_[step + 2]; ++i) {
            const std::uint32_t x = order_[i];
            share_[x] = select(distance_[x] == all(step + 1), LaneValues{}, share_[x]);
        }
        for (std::size_t i = step_start_[step]; i < step_start_[step + 1]; ++i) {
            const std::uint32_t w = order_[i];
            // Lanes where w lies elsewhere divide by nothing useful, and keep their share.
            share_[w] = select(distance_[w] == at, (1.0 + dependency_[w]) / paths_[w], share_[w]);
        }
    }

    const Adjacency& adjacency_;
    LaneArray<LaneDistances> distance_;  // kUnreached until reached
    LaneArray<LaneValues> paths_;        // 0.0 until reached
    LaneArray<LaneValues> share_;
    LaneArray<LaneValues> dependency_;
    std::vector<std::uint32_t> listed_in_;  // the last step whose list holds the node, plus 1; 0 for none
    std::vector<std::uint32_t> order_;
    std::vector<std::size_t> step_start_;
    std::vector<std::uint32_t> touched_;  // the nodes listed, each once
};

// Adds each node's dependencies on the sources [first, last) to sums.
template <bool Avx2>
[[gnu::always_inline]] inline void add_sources(DependencySearch<Avx2>& search, std::size_t first, std::size_t last,
                                               std::vector<double>& sums) {
    for (std::size_t source = first; source < last; source += kLanes) {
        interruption::poll();
        search.add_from(static_cast<std::uint32_t>(source), std::min(kLanes, last - source), sums);
    }
}

void add_sources_plain(DependencySearch<false>& search, std::size_t first, std::size_t last,
                       std::vector<double>& sums) {
    add_sources(search, first, last, sums);
}

#ifdef KALTROPE_X86_SIMD
__attribute__((target("avx2"))) void add_sources_avx2(DependencySearch<true>& search, std::size_t first,
                                                      std::size_t last, std::vector<double>& sums) {
    add_sources(search, first, last, sums);
}
#endif

// The blocks [begin, end) of this round, each into its own sums.
template <bool Avx2>
void add_blocks(const Adjacency& adjacency, std::size_t first_block, std::size_t begin, std::size_t end,
                std::vector<std::vector<double>>& block_sums) {
    const std::size_t n = adjacency.node_count();
    DependencySearch<Avx2> search(adjacency);
    for (std::size_t k = begin; k < end; ++k) {
        std::vector<double>& sums = block_sums[k];
        sums.assign(n, 0.0);
        const std::size_t block = first_block + k;
        const std::size_t first = block * kSourcesPerBlock;
        const std::size_t last = std::min(n, first + kSourcesPerBlock);
        if constexpr (Avx2) {
#ifdef KALTROPE_X86_SIMD
            add_sources_avx2(search, first, last, sums);
#endif
        } else {
            add_sources_plain(search, first, last, sums);
        }
    }
}

std::vector<double> all_betweenness(const Adjacency& adjacency) {
    const std::size_t n = adjacency.node_count();
    if (n == 0) return {};
    if (n == 1) return {-0.0};
    std::vector<double> totals(n, 0.0);
    const std::size_t blocks = (n + kSourcesPerBlock - 1) / kSourcesPerBlock;
    // As many blocks at a time as kBlockSumValues allow, so that the threads
    // rarely wait for each other between rounds (under load, for one that
    // lost its CPU), and at least a few per thread.
    const std::size_t blocks_per_round = std::max(parallel::thread_count() * 4, kBlockSumValues / n);
    std::vector<std::vector<double>> block_sums(std::min(blocks, blocks_per_round));
#ifdef KALTROPE_X86_SIMD
    const bool avx2 = simd::has_avx2();
#else
    const bool avx2 = false;
#endif
    for (std::size_t first = 0; first < blocks; first += blocks_per_round) {
        const std::size_t round = std::min(blocks_per_round, blocks - first);
        parallel::for_each_range(round, 1, [&](std::size_t begin, std::size_t end) {
            if (avx2) {
                add_blocks<true>(adjacency, first, begin, end, block_sums);
            } else {
                add_blocks<false>(adjacency, first, begin, end, block_sums);
            }
        });
        for (std::size_t k = 0; k < round; ++k) {
            for (std::size_t v = 0; v < n; ++v) totals[v] += block_sums[k][v];
        }
    }
    if (n >= 3) {
        const auto pairs = static_cast<double>((n - 1) * (n - 2));
        for (double& total : totals) total /= pairs;
    }
    return totals;
}

// The cache's key.
struct AllBetweenness {
    std::vector<double> values;
};

}  // namespace

const std::vector<double>& betweenness_centrality_all(const VisibilityGraph& graph) {
    return graph.results()
        .get<AllBetweenness>([&] { return AllBetweenness{all_betweenness(graph.adjacency())}; })
        .values;
}

}  // namespace kaltrope
