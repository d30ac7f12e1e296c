#pragma once
// A pass over every edge of a result held in parts, in blocks on the worker
// pool: body(edges, first) gets a block of one part and the index of its
// first edge in the whole result.

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "core/series/edge_list.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

inline constexpr std::size_t kEdgeBlock = std::size_t{1} << 16;

template <class Body>
void for_each_edge_block(std::span<EdgeList> parts, Body&& body) {
    struct Block {
        Edge* from;
        std::size_t count;
        std::size_t first;
    };
    std::vector<Block> blocks;
    std::size_t total = 0;
    for (EdgeList& part : parts) {
        for (std::size_t begin = 0; begin < part.size(); begin += kEdgeBlock) {
            blocks.push_back({part.data() + begin, std::min(kEdgeBlock, part.size() - begin), total + begin});
        }
        total += part.size();
    }
    parallel::for_each_range(blocks.size(), 1, [&](std::size_t begin, std::size_t end) {
        for (const Block& block : std::span(blocks).subspan(begin, end - begin)) {
            body(std::span(block.from, block.count), block.first);
        }
    });
}

}  // namespace kaltrope
