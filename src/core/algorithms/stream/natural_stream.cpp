#include "core/algorithms/stream/natural_stream.hpp"

#include <algorithm>

namespace kaltrope {
namespace {

// Up to this many candidates, auto mode scans without an index.
constexpr std::size_t kScanOnlyCandidates = 4096;
// The backward scan considers the blocks after each window of candidates
// that held fewer than kSparseSources sources.
constexpr std::size_t kScanWindow = 256;
constexpr std::size_t kSparseSources = 4;

}  // namespace

std::expected<StreamMode, std::string> parse_stream_mode(std::string_view text) {
    if (text == "auto") return StreamMode::Auto;
    if (text == "scan") return StreamMode::Scan;
    if (text == "indexed") return StreamMode::Indexed;
    return std::unexpected("unknown mode '" + std::string(text) + "' (auto, scan, indexed)");
}

Validated NaturalStream::check_run(Series values, std::optional<Series> positions) const {
    PositionRun run(size(), last_of(positions_), positions);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!is_finite(values[i])) return std::unexpected(InputError{InputError::Kind::NonFinite, size() + i});
        if (auto valid = run.check(i); !valid) return valid;
    }
    return {};
}

void NaturalStream::look_at(Sight& sight, std::size_t k) const {
    sight.v = k;
    sight.dy = values_[k] - sight.y;
    sight.dx = sight.x - positions_[k];
}

void NaturalStream::push_checked(double value, std::optional<double> position, Sources& sources) {
    const std::size_t n = size();
    const std::size_t earliest = window_start(n, window_);
    Sight sight{n, position.value_or(static_cast<double>(n)), value, 0, 0, 0};
    if (earliest < n) {
        const bool indexed = mode_ == StreamMode::Indexed ||
                             (mode_ == StreamMode::Auto && n - earliest > kScanOnlyCandidates);
        if (indexed) {
            index_history(n);
            drop_blocks_before(earliest);
        }
        look_at(sight, n - 1);
        sources.push_back(n - 1);
        std::size_t tested = 0;
        std::size_t found = 0;
        for (std::size_t k = n - 1; k > earliest;) {
            --k;
            if (sees(sight, k)) {
                look_at(sight, k);
                sources.push_back(k);
                ++found;
            }
            if (!indexed || ++tested < kScanWindow) continue;
            if (found < kSparseSources && k - earliest > kScanWindow) {
                if (!search_blocks(sight, earliest, sources)) break;
                k = sight.v;
            }
            tested = 0;
            found = 0;
        }
    }
    values_.push_back(value);
    positions_.push_back(sight.x);
}

void NaturalStream::index_history(std::size_t n) {
    for (; indexed_ < n; ++indexed_) {
        blocks_.push_back({HullTree::build_owned({values_[indexed_]}, {positions_[indexed_]}), indexed_});
        // Like a binary counter: two blocks of one size become one of twice it.
        while (blocks_.size() >= 2 && blocks_.back().tree.size() == blocks_[blocks_.size() - 2].tree.size()) {
            const std::size_t start = blocks_[blocks_.size() - 2].start;
            const std::size_t end = blocks_.back().end();
            blocks_.pop_back();
            blocks_.back() = {HullTree::build_owned({values_.begin() + start, values_.begin() + end},
                                                    {positions_.begin() + start, positions_.begin() + end}),
                              start};
        }
    }
}

void NaturalStream::drop_blocks_before(std::size_t earliest) {
    const auto first_kept = std::find_if(blocks_.begin(), blocks_.end(),
                                         [earliest](const Block& block) { return block.end() > earliest; });
    blocks_.erase(blocks_.begin(), first_kept);
}

bool NaturalStream::search_blocks(Sight& sight, std::size_t earliest, Sources& sources) const {
    std::uint64_t work_total = 0;
    std::uint64_t distance = 0;
    for (;;) {
        std::uint64_t work = 0;
        const auto found = nearest_in_blocks(sight, earliest, work);
        if (!found) return false;
        distance += sight.v - *found;
        work_total += work;
        look_at(sight, *found);
        sources.push_back(*found);
        if (work_total > 2 * distance + 64) return true;
    }
}

std::optional<std::size_t> NaturalStream::nearest_in_blocks(const Sight& sight, std::size_t earliest,
                                                            std::uint64_t& work) const {
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        if (block->start >= sight.v) continue;
        if (block->end() <= earliest) break;
        const std::size_t start = block->start;
        auto above_line = [&](std::uint32_t local) { return sees(sight, start + local); };
        const std::size_t lo = earliest > start ? earliest - start : 0;
        const std::size_t hi = std::min(block->end(), sight.v) - start;
        const auto local = block->tree.rightmost(1, lo, hi, above_line, work, sight.dx, sight.dy,
                                                 sight.dy * sight.x + sight.dx * sight.y,
                                                 block->tree.tolerance(sight.dy, sight.dx, sight.x, sight.y));
        if (local) return start + *local;
    }
    return std::nullopt;
}

}  // namespace kaltrope
