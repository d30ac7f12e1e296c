#include "analysis/graph_motifs/motif_state.hpp"

namespace kaltrope {

std::expected<MotifCounts, std::string> restore_motif_counts(const MotifCounts& counts) {
    TripleCount sum = 0;
    for (const TripleCount count : counts.by_kind) {
        if (count > counts.total_subgraphs - sum) {
            return std::unexpected("invalid MotifCounts state: the counts exceed the total");
        }
        sum += count;
    }
    if (sum != counts.total_subgraphs) return std::unexpected("invalid MotifCounts state: the counts miss triples");
    return counts;
}

}  // namespace kaltrope
