#include "core/stream/natural_stream.hpp"

#include <algorithm>
#include <cmath>

namespace kaltrope {
namespace {

// Up to this many candidates, auto mode scans without an index.
constexpr std::size_t kScanOnlyCandidates = 4096;
// The backward scan considers the index after each window of candidates
// that held fewer than kSparseSources sources. A short window matters: on
// noisy data most samples have their last source within a few steps, and
// the index search that proves there are no more is cheap.
constexpr std::size_t kScanWindow = 32;
constexpr std::size_t kSparseSources = 4;
// The index holds whole leaves; the unindexed rest is shorter than a scan
// window, and the index is searched only below a point the scan has passed.
static_assert(GrowingHullIndex::kLeafSize <= kScanWindow);
// The scan asks whether the line of sight has cleared the highest sample yet
// at every this many candidates: often enough to stop soon, seldom enough to
// cost little next to the tests themselves.
constexpr std::size_t kHiddenCheckEvery = 4;
// Long backward scans poll for interruption after every this many candidates.
constexpr std::size_t kPollEvery = 4096;

}  // namespace

namespace {

constexpr Spelling<StreamMode> kStreamModeSpellings[] = {
    {"auto", StreamMode::Auto},
    {"scan", StreamMode::Scan},
    {"indexed", StreamMode::Indexed},
};

}  // namespace

const NameTable<StreamMode> kStreamModeNames{kStreamModeSpellings, LetterCase::Exact, "unknown mode '",
                                             "' (auto, scan, indexed)"};

Validated NaturalStream::check_run(Series values, std::optional<Series> positions) const {
    PositionRun run(size(), last_of(positions_), positions);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!is_finite(values[i])) return std::unexpected(InputError{InputError::Kind::NonFinite, size() + i});
        if (auto valid = run.check(i); !valid) return valid;
    }
    return {};
}

void NaturalStream::push_checked(double value, std::optional<double> position, Sources& sources) {
    const std::size_t n = size();
    const std::size_t earliest = window_start(n, window_);
    const double x = position.value_or(static_cast<double>(n));
    if (earliest < n) {
        const bool indexed =
            mode_ == StreamMode::Indexed || (mode_ == StreamMode::Auto && n - earliest > kScanOnlyCandidates);
        if (indexed) {
            index_.grow(values_, positions_, earliest);
        }
        CoordinateRange with_sample = coordinates_;
        with_sample.include(value, x);
        Sight sight{n - 1, SightLine<Side::Left>(x, value, positions_[n - 1], values_[n - 1], with_sample.extent())};
        sources.push_back(n - 1);
        std::size_t tested = 0;
        std::size_t found = 0;
        std::size_t steps = 0;
        const bool bounded = mode_ != StreamMode::Scan;
        for (std::size_t k = n - 1; k > earliest;) {
            --k;
            // Counted in steps: index searches make k jump.
            if (++steps % kPollEvery == 0) interruption::poll();
            if (bounded && k % kHiddenCheckEvery == 0 && hidden_through(sight, k)) break;
            if (sees(sight, k)) {
                look_at(sight, k);
                sources.push_back(k);
                ++found;
            }
            if (!indexed || ++tested < kScanWindow) continue;
            if (found < kSparseSources && k - earliest > kScanWindow) {
                if (!search_index(sight, earliest, k, sources)) break;
                k = sight.v;
            }
            tested = 0;
            found = 0;
        }
    }
    record_sample(value, x);
}

NaturalStream::NaturalStream(std::optional<std::size_t> window, StreamMode mode, std::size_t count, Series values,
                             Series positions)
    : window_(window),
      mode_(mode),
      values_(1, count - values.size(), values),
      positions_(1, count - values.size(), positions),
      unit_highest_(1, (count - values.size()) / kHighestUnit, {}) {
    // The units before the first kept sample's stay out of the history.
    for (std::size_t k = values_.first(); k < count; ++k) {
        highest_ = std::max(highest_, values_[k]);
        if ((k + 1) % kHighestUnit == 0) unit_highest_.push_back(highest_);
    }
    measure_kept();
}

void NaturalStream::record_sample(double value, double position) {
    // All room first, so that nothing is half-recorded.
    reserve(1);
    unit_highest_.reserve(1);
    values_.push_back(value);
    positions_.push_back(position);
    highest_ = std::max(highest_, value);
    if (size() % kHighestUnit == 0) unit_highest_.push_back(highest_);
    coordinates_.include(value, position);
}

void NaturalStream::measure_kept() {
    highest_ = -std::numeric_limits<double>::infinity();
    coordinates_ = CoordinateRange();
    for (std::size_t k = values_.first(); k < size(); ++k) {
        highest_ = std::max(highest_, values_[k]);
        coordinates_.include(values_[k], positions_[k]);
    }
}

void NaturalStream::roll_back(std::size_t size) {
    values_.truncate(size);
    positions_.truncate(size);
    unit_highest_.truncate(size / kHighestUnit);
    measure_kept();
    // The index is regrown from the samples at the next indexed push.
    index_ = GrowingHullIndex();
}

void NaturalStream::release_unseen() {
    const std::size_t earliest = window_start(size(), window_);
    values_.release_before(earliest);
    positions_.release_before(earliest);
    unit_highest_.release_before(earliest / kHighestUnit);
}

void NaturalStream::reserve(std::size_t more) {
    values_.reserve(more);
    positions_.reserve(more);
}

bool NaturalStream::search_index(Sight& sight, std::size_t earliest, std::size_t scanned_to, Sources& sources) const {
    std::uint64_t work_total = 0;
    std::uint64_t distance = 0;
    // Between the scan position and v nothing lies above the current line.
    std::size_t limit = scanned_to;
    const double x = sight.line.xa();
    const double y = sight.line.ya();
    auto above_line = [&](std::size_t k) { return sees(sight, k); };
    auto hidden = [&](std::size_t k) { return hidden_through(sight, k); };
    for (;;) {
        const double dy = values_[sight.v] - y;
        const double dx = x - positions_[sight.v];
        const PruneLine line{dx, dy, dy * x + dx * y, pruning_tolerance(dy, dx, x, y, coordinates_)};
        std::uint64_t work = 0;
        const auto found = index_.nearest_before(earliest, limit, values_, positions_, line, above_line, hidden, work);
        if (!found) return false;
        distance += sight.v - *found;
        work_total += work;
        look_at(sight, *found);
        sources.push_back(*found);
        limit = *found;
        if (work_total > 2 * distance + 64) return true;
    }
}

}  // namespace kaltrope
