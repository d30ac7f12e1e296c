#include "analysis/community/weighted_graph.hpp"

#include <numeric>

namespace kaltrope {

GroupMembers::GroupMembers(std::span<const std::uint32_t> group, std::size_t group_count,
                           std::span<const std::uint32_t> order)
    : first(group_count + 1, 0), members(group.size()) {
    for (const std::uint32_t g : group) ++first[g + 1];
    for (std::size_t g = 0; g < group_count; ++g) first[g + 1] += first[g];
    std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
    for (const std::uint32_t v : order) members[fill[group[v]]++] = v;
}

GroupMembers::GroupMembers(std::span<const std::uint32_t> group, std::size_t group_count)
    : GroupMembers(group, group_count, [&] {
          std::vector<std::uint32_t> ascending(group.size());
          std::iota(ascending.begin(), ascending.end(), std::uint32_t{0});
          return ascending;
      }()) {}

std::vector<std::uint32_t> GroupMembers::balanced_ranges(std::size_t parts) const {
    const std::size_t group_count = first.size() - 1;
    std::vector<std::uint32_t> bounds{0};
    for (std::size_t part = 1; part < parts; ++part) {
        // The first group boundary at or past this part's share of the members.
        const std::size_t share = members.size() * part / parts;
        std::size_t g = bounds.back();
        while (g < group_count && first[g] < share) ++g;
        if (g > bounds.back() && g < group_count) bounds.push_back(static_cast<std::uint32_t>(g));
    }
    bounds.push_back(static_cast<std::uint32_t>(group_count));
    return bounds;
}

}  // namespace kaltrope
