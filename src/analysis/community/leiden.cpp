#include "analysis/community/leiden.hpp"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <optional>
#include <span>
#include <utility>

#include "analysis/community/weighted_graph.hpp"
#include "support/interruption.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Rounds stop here even if the last one still improved the communities.
constexpr int kMaxRounds = 50;

// Rounds stop once one raises the quality by less than this: later rounds
// would cost as much as the first for a few parts in a million.
constexpr double kMinRoundGain = 1e-4;

// SplitMix64: a small generator whose stream is fixed by its seed on every
// platform, unlike the standard distributions.
class RandomStream {
public:
    explicit RandomStream(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = state_ += 0x9e3779b97f4a7c15;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }

    // 0, 1, ..., count - 1 in a random order (Fisher-Yates).
    std::vector<std::uint32_t> permutation(std::size_t count) {
        std::vector<std::uint32_t> order(count);
        std::iota(order.begin(), order.end(), std::uint32_t{0});
        for (std::size_t i = count; i > 1; --i) {
            const auto j = static_cast<std::size_t>((static_cast<unsigned __int128>(next()) * i) >> 64);
            std::swap(order[i - 1], order[j]);
        }
        return order;
    }

private:
    std::uint64_t state_;
};

// Communities of a weighted graph's nodes with their total strengths.
class Partition {
public:
    template <class Graph>
    Partition(const Graph& graph, std::vector<std::uint32_t> community)
        : community_(std::move(community)), strength_(graph.node_count(), 0.0), size_(graph.node_count(), 0) {
        for (std::size_t v = 0; v < community_.size(); ++v) {
            strength_[community_[v]] += graph.strength(v);
            ++size_[community_[v]];
        }
        for (std::size_t c = size_.size(); c-- > 0;) {
            if (size_[c] == 0) unused_.push_back(static_cast<std::uint32_t>(c));
        }
    }

    std::uint32_t of(std::size_t node) const { return community_[node]; }
    double strength(std::uint32_t c) const { return strength_[c]; }
    std::uint32_t size(std::uint32_t c) const { return size_[c]; }
    std::size_t community_count() const { return size_.size() - unused_.size(); }
    const std::vector<std::uint32_t>& communities() const { return community_; }

    void move(std::size_t node, double node_strength, std::uint32_t to) {
        const std::uint32_t from = community_[node];
        strength_[from] -= node_strength;
        if (--size_[from] == 0) unused_.push_back(from);
        strength_[to] += node_strength;
        ++size_[to];
        community_[node] = to;
    }

    // A community without nodes; there is one while a community has two nodes.
    std::uint32_t take_unused() {
        const std::uint32_t c = unused_.back();
        unused_.pop_back();
        return c;
    }

private:
    std::vector<std::uint32_t> community_;
    std::vector<double> strength_;
    std::vector<std::uint32_t> size_;
    std::vector<std::uint32_t> unused_;
};

// The quality terms of a graph: moving a node of strength k with weight w_c
// towards community c (of strength K_c without the node) scores
// w_c - gamma k K_c / 2m, and the move of highest score wins.
struct Scale {
    double penalty;  // gamma / 2m

    double score(double weight_to, double node_strength, double community_strength) const {
        return weight_to - penalty * node_strength * community_strength;
    }
};

// The weight of v's edges to the rest of its community.
template <class Graph>
double weight_inside(const Graph& graph, const Partition& partition, std::uint32_t v) {
    const std::uint32_t own = partition.of(v);
    double weight = 0.0;
    graph.for_each_neighbor(v, [&](std::uint32_t u, double w) { weight += partition.of(u) == own ? w : 0.0; });
    return weight;
}

// Each node taken from a queue joins the community of best score, staying
// on ties; a node that moves queues its neighbours outside its new community.
// Keeps in inside[v] the weight of v's edges to the rest of its community,
// for every node: weighed once, on the worker pool, then kept up as nodes
// come and go. Returns whether a node moved.
template <class Graph>
bool move_nodes(const Graph& graph, Partition& partition, const Scale& scale, RandomStream& random,
                KeyedWeights& to_community, std::vector<double>& inside) {
    const std::size_t n = graph.node_count();
    std::vector<std::uint32_t> queue = random.permutation(n);
    std::vector<std::uint8_t> queued(n, 1);
    inside.assign(n, 0.0);  // right for nodes alone
    if (partition.community_count() < n) {
        parallel::for_each_range(n, n < kSerialNodes ? n : std::max<std::size_t>(1024, parallel::balanced_grain(n)),
                                 [&](std::size_t first, std::size_t last) {
                                     interruption::Countdown countdown(1u << 18);
                                     for (std::size_t v = first; v < last; ++v) {
                                         inside[v] = weight_inside(graph, partition, v);
                                         countdown.tick(static_cast<unsigned>(1 + graph.neighbors(v).size()));
                                     }
                                 });
    }
    // Polls after about this many neighbours looked at.
    interruption::Countdown countdown(1u << 18);
    bool moved = false;
    // A ring of n slots: no node is queued twice at once.
    std::size_t tail = 0;  // where the next queued node goes
    for (std::size_t head = 0, pending = n; pending != 0; --pending) {
        const std::uint32_t v = queue[head];
        if (++head == n) head = 0;
        // Nodes come in random order, so their rows are rarely cached: the
        // next one's is fetched while this one is weighed. (A slot past the
        // queue's end holds some earlier node: a harmless fetch.)
        __builtin_prefetch(graph.neighbors(queue[head]).data());
        queued[v] = 0;
        countdown.tick(1);
        const std::uint32_t own = partition.of(v);
        const double k = graph.strength(v);
        // Most nodes keep most of their weight inside their community: when
        // the weight to all other communities together is no more than the
        // score of staying, no single one can beat it, and neither can being
        // alone (which scores 0). Weights count edges, so their sums and
        // differences are exact.
        if (partition.size(own) > 1) {
            const double stay = scale.score(inside[v], k, partition.strength(own) - k);
            if (stay >= 0.0 && graph.row_weight(v) - inside[v] <= stay) continue;
        }
        countdown.tick(static_cast<unsigned>(graph.neighbors(v).size()));
        const auto row = graph.neighbors(v);
        const auto row_weights = graph.weights(v);
        to_community.add_all([&](auto add) {
            for (std::size_t i = 0; i < row.size(); ++i) add(partition.of(row[i]), row_weights[i]);
        });

        std::uint32_t best = own;
        double best_weight = to_community.weight(own);
        double best_score = scale.score(best_weight, k, partition.strength(own) - k);
        for (const std::uint32_t c : to_community.keys()) {
            const double score = scale.score(to_community.weight(c), k, partition.strength(c));
            if (c != own && score > best_score) {
                best = c;
                best_score = score;
                best_weight = to_community.weight(c);
            }
        }
        to_community.clear();
        // Alone, the node would score 0.
        if (best_score < 0.0) {
            best = partition.take_unused();
            best_weight = 0.0;
        }
        inside[v] = best_weight;
        if (best == own) continue;
        partition.move(v, k, best);
        moved = true;
        graph.for_each_neighbor(v, [&](std::uint32_t u, double weight) {
            const std::uint32_t c = partition.of(u);
            if (c == best) {
                inside[u] += weight;
                return;
            }
            if (c == own) inside[u] -= weight;
            if (queued[u]) return;
            queued[u] = 1;
            queue[tail] = u;
            if (++tail == n) tail = 0;
            ++pending;
        });
    }
    return moved;
}

// Subcommunities of each community: every node starts alone, and a node
// still alone and well connected to its community joins the well-connected
// subcommunity of the same community, joined to it by an edge, that scores
// best if that score is not negative. Every subcommunity is connected. The
// nodes are visited in one random order; communities are refined apart
// from each other, on the worker pool, each visiting its nodes in that order.
// Returns each node's subcommunity, named by a place in that order.
template <class Graph>
std::vector<std::uint32_t> refine(const Graph& graph, const Partition& partition, const std::vector<double>& inside,
                                  const Scale& scale, RandomStream& random) {
    const std::size_t n = graph.node_count();
    const GroupMembers by_community(partition.communities(), n, random.permutation(n));
    // A subcommunity is named by the place of its first node in that list,
    // and its sums are kept at that place: a community's subcommunities are
    // named within its stretch of the list, so whether a neighbour is in the
    // same community shows in its subcommunity's name alone, and a run of
    // communities counts weights by place in its own stretch.
    std::vector<std::uint32_t> sub(n);
    std::vector<double> sub_strength(n);
    // The weight of the edges from a subcommunity to the rest of its community.
    std::vector<double> outward(n);
    for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t v = by_community.members[k];
        sub[v] = k;
        sub_strength[k] = graph.strength(v);
        outward[k] = inside[v];
    }
    std::vector<std::uint32_t> sub_size(n, 1);
    // Names of other runs' subcommunities are read while their threads
    // change them, hence atomically (and so by every thread); any name read
    // lies in the neighbour's own community all the same.
    // (Through a copied pointer: the atomic accesses would make the compiler
    // reload the vector's at every neighbour.)
    std::uint32_t* const subs = sub.data();
    const auto sub_of = [subs](std::uint32_t u) { return std::atomic_ref(subs[u]).load(std::memory_order_relaxed); };
    const auto well_connected = [&](std::uint32_t s, std::uint32_t c) {
        return outward[s] >= scale.penalty * sub_strength[s] * (partition.strength(c) - sub_strength[s]);
    };
    const std::vector<std::uint32_t> runs =
        by_community.balanced_ranges(n < kSerialNodes ? 1 : parallel::thread_count() * 4);
    parallel::for_each_index(runs.size() - 1, [&](std::size_t run) {
        interruption::Countdown countdown(1u << 18);
        const std::uint32_t begin = by_community.first[runs[run]];
        const std::uint32_t end = by_community.first[runs[run + 1]];
        KeyedWeights to_sub(end - begin);  // keyed by name - begin
        for (std::uint32_t k = begin; k < end; ++k) {
            const std::uint32_t v = by_community.members[k];
            const std::uint32_t c = partition.of(v);
            if (sub_size[k] != 1 || sub_of(v) != k || !well_connected(k, c)) continue;
            const std::uint32_t first = by_community.first[c];
            const std::uint32_t size = by_community.first[c + 1] - first;
            const double strength = graph.strength(v);
            to_sub.add_all([&](auto add) {
                graph.for_each_neighbor(v, [&](std::uint32_t u, double weight) {
                    const std::uint32_t s = sub_of(u);
                    if (s - first < size) add(s - begin, weight);
                });
            });
            countdown.tick(static_cast<unsigned>(1 + graph.neighbors(v).size()));
            std::optional<std::uint32_t> best;
            double best_score = 0.0;
            double best_weight = 0.0;
            for (const std::uint32_t key : to_sub.keys()) {
                const std::uint32_t s = begin + key;
                const double score = scale.score(to_sub.weight(key), strength, sub_strength[s]);
                if (well_connected(s, c) && score >= best_score && (!best || score > best_score)) {
                    best = s;
                    best_score = score;
                    best_weight = to_sub.weight(key);
                }
            }
            if (best) {
                outward[*best] += outward[k] - 2.0 * best_weight;
                sub_strength[*best] += strength;
                ++sub_size[*best];
                sub_size[k] = 0;
                std::atomic_ref(subs[v]).store(*best, std::memory_order_relaxed);
            }
            to_sub.clear();
        }
    });
    return sub;
}

// ids renumbered 0, 1, ... in order of first appearance; returns the count.
std::size_t renumber(std::vector<std::uint32_t>& ids) {
    constexpr auto kUnseen = ~std::uint32_t{0};
    std::vector<std::uint32_t> renamed(ids.empty() ? 0 : std::size_t{*std::ranges::max_element(ids)} + 1, kUnseen);
    std::uint32_t next = 0;
    for (std::uint32_t& id : ids) {
        if (renamed[id] == kUnseen) renamed[id] = next++;
        id = renamed[id];
    }
    return next;
}

// The quality of graph's nodes each a community of its own, times the
// total strength: what a node's edges to the rest of its group weigh, less
// the expected weight. Taken on a round's last graph, it is the quality of
// the round's communities, without a pass over the edges of the base graph.
template <class Graph>
double singleton_quality(const Graph& graph, const Scale& scale) {
    double quality = 0.0;
    for (std::size_t v = 0; v < graph.node_count(); ++v) {
        double inner = graph.strength(v);
        graph.for_each_neighbor(v, [&](std::uint32_t, double weight) { inner -= weight; });
        quality += inner - scale.penalty * graph.strength(v) * graph.strength(v);
    }
    return quality / graph.total_strength();
}

// One level of a round on graph, from the communities start of its nodes:
// moves the nodes, then either maps node_of (each base node's node in
// graph) to the communities found, when every node stayed alone, and
// returns nothing with quality set to theirs, or returns the graph of the
// groups the nodes merge into, with node_of mapped to its nodes and start
// to their communities.
template <class Graph>
std::optional<WeightedGraph> search_level(const Graph& graph, std::vector<std::uint32_t>& start,
                                          std::vector<std::uint32_t>& node_of, const Scale& scale, RandomStream& random,
                                          KeyedWeights& scratch, double& quality) {
    Partition partition(graph, std::move(start));
    std::vector<double> inside;
    move_nodes(graph, partition, scale, random, scratch, inside);
    if (partition.community_count() == graph.node_count()) {
        for (std::uint32_t& node : node_of) node = partition.of(node);
        quality = singleton_quality(graph, scale);
        return std::nullopt;
    }
    // Grouped by the subcommunities, unless none formed; the graph then
    // shrinks by the communities themselves.
    std::vector<std::uint32_t> group = refine(graph, partition, inside, scale, random);
    std::size_t group_count = renumber(group);
    if (group_count == graph.node_count()) {
        group = partition.communities();
        group_count = renumber(group);
    }
    start.assign(group_count, 0);
    for (std::size_t v = 0; v < group.size(); ++v) start[group[v]] = partition.of(v);
    renumber(start);  // ids below the new node count
    for (std::uint32_t& node : node_of) node = group[node];
    return WeightedGraph::grouped(graph, group, group_count, scratch);
}

// One round from the given communities of the base graph's nodes; sets
// quality to that of the communities found.
std::vector<std::uint32_t> leiden_round(const UnitGraph& base, std::vector<std::uint32_t> start, const Scale& scale,
                                        RandomStream& random, KeyedWeights& scratch, double& quality) {
    std::vector<std::uint32_t> node_of(base.node_count());  // each base node's node in the current graph
    std::iota(node_of.begin(), node_of.end(), std::uint32_t{0});
    std::optional<WeightedGraph> coarse = search_level(base, start, node_of, scale, random, scratch, quality);
    while (coarse) coarse = search_level(*coarse, start, node_of, scale, random, scratch, quality);
    return node_of;
}

// Each community split into its connected parts, numbered 0, 1, ... in
// order of first appearance.
std::vector<std::uint32_t> connected_parts(const Adjacency& adjacency, const std::vector<std::uint32_t>& community) {
    constexpr auto kUnassigned = ~std::uint32_t{0};
    std::vector<std::uint32_t> part(community.size(), kUnassigned);
    std::vector<std::uint32_t> stack;
    std::uint32_t next = 0;
    for (std::size_t start = 0; start < part.size(); ++start) {
        if (part[start] != kUnassigned) continue;
        part[start] = next;
        stack.push_back(static_cast<std::uint32_t>(start));
        while (!stack.empty()) {
            const std::uint32_t v = stack.back();
            stack.pop_back();
            for (const std::uint32_t u : adjacency.neighbors(v)) {
                if (part[u] == kUnassigned && community[u] == community[v]) {
                    part[u] = next;
                    stack.push_back(u);
                }
            }
        }
        ++next;
    }
    return part;
}

}  // namespace

std::vector<std::uint32_t> leiden_communities(const Adjacency& adjacency, const LeidenOptions& options) {
    std::vector<std::uint32_t> community(adjacency.node_count());
    std::iota(community.begin(), community.end(), std::uint32_t{0});
    if (adjacency.edge_count() == 0) return community;
    const UnitGraph graph(adjacency);
    const Scale scale{options.resolution / graph.total_strength()};
    RandomStream random(options.seed);
    // Scratch space for the levels' serial steps: none has more nodes than the graph.
    KeyedWeights scratch(graph.node_count());
    double quality = singleton_quality(graph, scale);
    for (int round = 0; round < kMaxRounds; ++round) {
        double next_quality = 0.0;
        std::vector<std::uint32_t> next = leiden_round(graph, community, scale, random, scratch, next_quality);
        renumber(next);
        if (next == community) break;
        if (next_quality < quality) break;
        community = std::move(next);
        if (next_quality - quality < kMinRoundGain) {
            // A round ends on its coarsest graph; no node of this one may
            // still gain by moving on its own.
            Partition partition(graph, std::move(community));
            std::vector<double> inside;
            while (move_nodes(graph, partition, scale, random, scratch, inside)) {
            }
            community = partition.communities();
            renumber(community);
            break;
        }
        quality = next_quality;
    }
    return connected_parts(adjacency, community);
}

}  // namespace kaltrope
