#pragma once
// Which natural engine runs: the scan engine, whose work is the sum of the
// window spans, or the output-sensitive hull engine.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "core/series/input.hpp"
#include "support/name_table.hpp"

namespace kaltrope {

enum class Algorithm { Auto, Scan, Hull };

inline constexpr std::size_t kHullMinSamples = 1024;
inline constexpr std::size_t kParallelMinSamples = 32768;

// In any letter case; an unknown name is reported lower-cased.
extern const NameTable<Algorithm> kAlgorithmNames;

// Whether to build a hull tree for n >= 2 samples whose scan costs scan_work.
bool uses_hull_tree(std::uint64_t scan_work, std::size_t n, Algorithm requested);

struct Plan {
    std::uint64_t scan_work;
    Algorithm algorithm;  // Scan or Hull
    bool parallel;
};

// What the natural engine does with a validated series under Auto.
Plan plan_natural(Series y);

}  // namespace kaltrope
