#include "analysis/community/weighted_graph.hpp"

namespace kaltrope {

GroupMembers::GroupMembers(std::span<const std::uint32_t> group, std::size_t group_count)
    : first(group_count + 1, 0), members(group.size()) {
    for (const std::uint32_t g : group) ++first[g + 1];
    for (std::size_t g = 0; g < group_count; ++g) first[g + 1] += first[g];
    std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
    for (std::size_t v = 0; v < group.size(); ++v) members[fill[group[v]]++] = static_cast<std::uint32_t>(v);
}

}  // namespace kaltrope
