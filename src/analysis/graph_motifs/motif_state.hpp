#pragma once
// Motif counts as saved: the counts themselves, checked when restored.

#include <cstdint>
#include <expected>
#include <string>

#include "analysis/graph_motifs/three_node_motifs.hpp"

namespace kaltrope {

// Changes whenever the saved form does; a state of another version is refused.
inline constexpr std::uint64_t kMotifStateVersion = 1;

// The counts, if every triple is counted once: they sum to the total.
std::expected<MotifCounts, std::string> restore_motif_counts(const MotifCounts& counts);

}  // namespace kaltrope
