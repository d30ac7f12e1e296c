#pragma once
// Communities by the Leiden algorithm (Traag, Waltman and van Eck, 2019),
// maximising modularity with a resolution.

#include <cstdint>
#include <vector>

#include "core/graph/adjacency.hpp"

namespace kaltrope {

struct LeidenOptions {
    // gamma in Q = sum over communities c of e_c / m - gamma (K_c / 2m)^2.
    double resolution = 1.0;
    // Orders the visits of the nodes; the same seed gives the same result.
    std::uint64_t seed = 0;
};

// The community of each node: 0, 1, ... in order of first appearance.
//
// Each round of the algorithm moves nodes, from a queue, to the neighbouring
// community that raises the quality most; refines each community by merging
// its nodes greedily, one edge at a time, into well-connected subcommunities;
// and repeats on the graph whose nodes are the subcommunities, starting from
// the communities found, until no node moves. Rounds repeat, each starting
// from the last one's communities, until one changes nothing or raises the
// quality by less than 1e-4; nodes then move on their own until none gains
// by it. A community that falls apart is split into its connected parts,
// which can only raise the quality. Nodes move on one thread; refinement and
// grouping are split between threads by communities, each visited in the
// same order as alone, so the result depends only on the graph and the
// options. Nodes without edges stay alone.
std::vector<std::uint32_t> leiden_communities(const Adjacency& adjacency, const LeidenOptions& options);

}  // namespace kaltrope
