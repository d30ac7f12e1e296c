#include "core/algorithms/stream/natural_stream.hpp"

#include <algorithm>
#include <cmath>

namespace kaltrope {
namespace {

// Up to this many candidates, auto mode scans without an index.
constexpr std::size_t kScanOnlyCandidates = 4096;
// The backward scan considers the blocks after each window of candidates
// that held fewer than kSparseSources sources. A short window matters: on
// noisy data most samples have their last source within a few steps, and
// the block search that proves there are no more is cheap.
constexpr std::size_t kScanWindow = 32;
constexpr std::size_t kSparseSources = 4;
// History is indexed in whole units of this many samples (full leaves of a
// hull tree), so blocks are few and two equal blocks join without a rebuild.
// The unindexed rest is always shorter than a scan window, and the blocks
// are searched only below a point the backward scan has passed.
constexpr std::size_t kBlockUnit = 2 * HullTree::kLeafSize;
static_assert(kBlockUnit <= kScanWindow);

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
            index_history(n, earliest);
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
                if (!search_blocks(sight, earliest, k, sources)) break;
                k = sight.v;
            }
            tested = 0;
            found = 0;
        }
    }
    reserve(1);
    values_.push_back(value);
    positions_.push_back(sight.x);
    largest_magnitude_ = std::max(largest_magnitude_, std::abs(value));
}

void NaturalStream::reserve(std::size_t more) {
    const double* stored_values = values_.data();
    const double* stored_positions = positions_.data();
    make_room(values_, more);
    make_room(positions_, more);
    // The blocks read the samples in place: follow them when they move.
    if (values_.data() != stored_values || positions_.data() != stored_positions) rebind_blocks();
}

void NaturalStream::rebind_blocks() {
    for (Block& block : blocks_) {
        block.tree.rebind(std::span(values_).subspan(block.start, block.tree.size()),
                          std::span(positions_).subspan(block.start, block.tree.size()));
    }
}

void NaturalStream::index_history(std::size_t n, std::size_t earliest) {
    for (; indexed_ + kBlockUnit <= n; indexed_ += kBlockUnit) {
        const double highest =
            std::max(blocks_.empty() ? values_[indexed_] : blocks_.back().highest_so_far,
                     *std::max_element(values_.begin() + static_cast<std::ptrdiff_t>(indexed_),
                                       values_.begin() + static_cast<std::ptrdiff_t>(indexed_ + kBlockUnit)));
        blocks_.push_back({HullTree::build_over(std::span(values_).subspan(indexed_, kBlockUnit),
                                                std::span(positions_).subspan(indexed_, kBlockUnit)),
                           indexed_, highest});
        // A block the window has left is dropped rather than joined, so the
        // blocks never span much more than the window.
        drop_blocks_before(earliest);
        // Like a binary counter: two blocks of one size become one of twice it.
        while (blocks_.size() >= 2 && blocks_.back().tree.size() == blocks_[blocks_.size() - 2].tree.size()) {
            Block& older = blocks_[blocks_.size() - 2];
            older.tree = HullTree::joined(older.tree, blocks_.back().tree);
            older.highest_so_far = blocks_.back().highest_so_far;
            blocks_.pop_back();
        }
    }
}

void NaturalStream::drop_blocks_before(std::size_t earliest) {
    const auto first_kept = std::find_if(blocks_.begin(), blocks_.end(),
                                         [earliest](const Block& block) { return block.end() > earliest; });
    blocks_.erase(blocks_.begin(), first_kept);
}

bool NaturalStream::search_blocks(Sight& sight, std::size_t earliest, std::size_t scanned_to,
                                  Sources& sources) const {
    std::uint64_t work_total = 0;
    std::uint64_t distance = 0;
    // Between the scan position and v nothing lies above the current line.
    std::size_t limit = scanned_to;
    for (;;) {
        std::uint64_t work = 0;
        const auto found = nearest_in_blocks(sight, earliest, limit, work);
        if (!found) return false;
        distance += sight.v - *found;
        work_total += work;
        look_at(sight, *found);
        sources.push_back(*found);
        limit = *found;
        if (work_total > 2 * distance + 64) return true;
    }
}

std::optional<std::size_t> NaturalStream::nearest_in_blocks(const Sight& sight, std::size_t earliest,
                                                            std::size_t limit, std::uint64_t& work) const {
    const double threshold = sight.dy * sight.x + sight.dx * sight.y;
    // Where the line rises into the past, a block and every older one lie
    // below it once the highest value so far does at the block's last point.
    const double tolerance =
        1e-12 * (std::abs(sight.dx) * (std::max(largest_magnitude_, std::abs(sight.y)) + 1) +
                 std::abs(sight.dy) * (std::max(std::abs(positions_.front()), std::abs(sight.x)) + 1));
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        if (block->start >= limit) continue;
        if (block->end() <= earliest) break;
        const double last_x = positions_[std::min(block->end(), limit) - 1];
        if (sight.dy > 0 && sight.dx * block->highest_so_far + sight.dy * last_x <= threshold - tolerance) break;
        const std::size_t start = block->start;
        auto above_line = [&](std::uint32_t local) { return sees(sight, start + local); };
        const std::size_t lo = earliest > start ? earliest - start : 0;
        const std::size_t hi = std::min(block->end(), limit) - start;
        const auto local = block->tree.rightmost(1, lo, hi, above_line, work, sight.dx, sight.dy,
                                                 threshold, block->tree.tolerance(sight.dy, sight.dx, sight.x, sight.y));
        if (local) return start + *local;
    }
    return std::nullopt;
}

}  // namespace kaltrope
