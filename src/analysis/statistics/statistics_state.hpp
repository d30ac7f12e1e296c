#pragma once
// Graph statistics as saved: the record itself, checked when restored.

#include <cstdint>
#include <expected>
#include <string>

#include "analysis/statistics/graph_statistics.hpp"

namespace kaltrope {

// Changes whenever the saved form does; a state of another version is refused.
inline constexpr std::uint64_t kStatisticsStateVersion = 1;

// The statistics, if they could be those of an undirected graph: degrees,
// edges, components and distances within what its node count allows.
std::expected<GraphStatistics, std::string> restore_statistics(const GraphStatistics& statistics);

}  // namespace kaltrope
