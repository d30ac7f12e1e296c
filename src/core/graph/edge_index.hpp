#pragma once
// Constant-time lookup of an edge by its key (a, b).

#include <bit>
#include <cstdint>
#include <vector>

#include "core/graph/adjacency.hpp"

namespace kaltrope {

// The multiply-rotate word hash of the key (a, b), a first: from state 0,
// each word w gives state := (rotate_left(state, 5) XOR w) * K. Deterministic,
// so the same edges hash the same way in every run.
struct EdgeHasher {
    static constexpr std::uint64_t kMultiplier = 0x517cc1b727220a95;

    std::uint64_t operator()(std::uint64_t a, std::uint64_t b) const {
        std::uint64_t state = 0;
        for (const std::uint64_t word : {a, b}) state = (std::rotl(state, 5) ^ word) * kMultiplier;
        return state;
    }
};

// The edge set of an adjacency as an open-addressing hash set.
class EdgeIndex {
public:
    explicit EdgeIndex(const Adjacency& adjacency);

    // Whether (a, b), a < b, is an edge.
    bool contains(std::uint32_t a, std::uint32_t b) const;

private:
    // The slot where the search for (a, b) starts: the hash's top bits, which
    // the multiplication mixes best.
    std::size_t home(std::uint32_t a, std::uint32_t b) const { return EdgeHasher{}(a, b) >> shift_; }

    // A key packs a above b; no edge has a = b, so this one marks an empty slot.
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};

    unsigned shift_;
    std::vector<std::uint64_t> slots_;  // a power of two, at most two thirds full
};

}  // namespace kaltrope
