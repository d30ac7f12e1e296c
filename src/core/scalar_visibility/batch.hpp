#pragma once
// Batches of independent series: validate every row, then compute groups of
// consecutive rows on the worker pool, each group by one worker into one edge
// list, so that many short rows cost no allocation each and the result is
// gathered from a few large parts.

#include <expected>
#include <span>
#include <type_traits>
#include <vector>

#include "core/series/edge_list.hpp"
#include "core/series/input.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {

using BatchEdges = std::expected<GroupedEdges, InputError>;

// A group holds consecutive rows until they reach this many samples.
inline constexpr std::size_t kBatchGroupSamples = std::size_t{1} << 16;

// engine(row, edges) appends a row's edges to edges; an engine that returns
// the row's edges instead is accepted too.
template <class RowEngine>
BatchEdges run_batch(std::span<const Series> rows, RowEngine&& engine) {
    if (auto valid = validate_rows(rows); !valid) return std::unexpected(valid.error());
    struct Group {
        std::size_t first_row;
        std::size_t samples;
    };
    std::vector<Group> groups;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        if (groups.empty() || groups.back().samples >= kBatchGroupSamples) groups.push_back({k, 0});
        groups.back().samples += rows[k].size();
    }
    GroupedEdges batch{std::vector<EdgeList>(groups.size()), std::vector<std::uint64_t>(rows.size())};
    auto rows_end = [&](std::size_t g) { return g + 1 < groups.size() ? groups[g + 1].first_row : rows.size(); };
    parallel::for_each_range(groups.size(), 1, [&](std::size_t first, std::size_t last) {
        for (std::size_t g = first; g < last; ++g) {
            EdgeList& edges = batch.parts[g];
            // Series with short windows have about 3 edges per sample or fewer.
            edges.reserve(3 * groups[g].samples);
            for (std::size_t k = groups[g].first_row; k < rows_end(g); ++k) {
                if constexpr (std::is_invocable_v<RowEngine&, Series, EdgeList&>) {
                    engine(rows[k], edges);
                } else {
                    const EdgeList row = engine(rows[k]);
                    edges.insert(edges.end(), row.begin(), row.end());
                }
                batch.ends[k] = edges.size();  // within the group for now
            }
        }
    });
    std::uint64_t total = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (std::size_t k = groups[g].first_row; k < rows_end(g); ++k) batch.ends[k] += total;
        total += batch.parts[g].size();
    }
    return batch;
}

}  // namespace kaltrope
