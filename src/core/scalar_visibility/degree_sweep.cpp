#include "core/scalar_visibility/degree_sweep.hpp"

#include <algorithm>
#include <atomic>
#include <optional>
#include <type_traits>
#include <vector>

#include "core/predicates/orientation.hpp"
#include "core/scalar_visibility/engine_choice.hpp"
#include "core/scalar_visibility/segments.hpp"
#include "core/scalar_visibility/sight_forest.hpp"
#include "support/interruption.hpp"
#include "support/large_buffer.hpp"
#include "support/worker_pool.hpp"

namespace kaltrope {
namespace {

// Dense graphs. The sweep pays about the same for every edge, while the edge
// engines' scans test many candidates an instruction, so where most
// candidates they test are edges (a convex stretch, a noisy oscillation)
// they count faster. Once the sweep has found more than kCheckedEdgesPerSample
// edges a sample, it compares, once, those edges with the candidates the
// engine the plan picks (engine_choice.hpp) tests among the same samples,
// and gives up where the scans cost less: a candidate costs about a fifth of
// an edge of the sweep in the scan engine and two thirds in the hull engine
// (10^6 samples: a sine of 1154 edges a sample took 2.9 s swept and 5.8 s
// scanned, a noisy one of 119 took 337 and 227 ms, a parabola 1.4 and 0.9 s).
constexpr std::uint64_t kCheckedEdgesPerSample = 16;
constexpr std::uint64_t kEdgeAllowance = std::uint64_t{1} << 16;
constexpr double kScanCandidateCost = 0.2;
constexpr double kHullCandidateCost = 0.6;

class DensityCheck {
public:
    explicit DensityCheck(Series y) : y_(y) {}

    // false when the sweep should give up, having found (or expecting) edges
    // among the samples [first, last].
    bool passes(std::uint64_t edges, std::uint64_t first, std::uint64_t last) {
        if (edges <= kCheckedEdgesPerSample * (last - first + 1) + kEdgeAllowance || checked_.exchange(true)) {
            return true;
        }
        const Segments windows = segments(y_);
        const double cost =
            uses_hull_tree(scan_work(windows), y_.size(), Algorithm::Auto) ? kHullCandidateCost : kScanCandidateCost;
        std::uint64_t candidates = 0;  // in the windows clipped to [first, last]
        for (std::uint64_t i = first; i <= last; ++i) {
            candidates += std::min<std::uint64_t>(windows.hi[i], last) - std::max<std::uint64_t>(windows.lo[i], first);
        }
        return static_cast<double>(edges) < cost * static_cast<double>(candidates);
    }

private:
    Series y_;
    std::atomic<bool> checked_{false};
};

// Samples an end claims at a time: a few milliseconds of work at most, after
// which it polls for an interruption and for the other end giving up.
constexpr std::uint64_t kClaim = 4096;

// The samples of a sweep from the left: sample j is sample j of the series.
template <class Positions>
struct FromLeft {
    const double* values;
    Positions positions;

    double x(std::uint64_t j) const { return positions[j]; }
    double y(std::uint64_t j) const { return values[j]; }
};

// From the right: sample j is sample last - j, at its negated position
// (negation is exact), so that positions increase along the sweep.
template <class Positions>
struct FromRight {
    const double* values;
    Positions positions;
    std::uint64_t last;

    double x(std::uint64_t j) const {
        if constexpr (std::is_same_v<Positions, UniformPositions>) {
            return positions[j];  // -(last - j) shifted by last: the same differences
        } else {
            return -positions[last - j];
        }
    }
    double y(std::uint64_t j) const { return values[last - j]; }
};

// The left part's samples 0 .. m - 1, then chosen samples of the right part
// as m, m + 1, ...
template <class Positions>
struct LeftThenChosen {
    FromLeft<Positions> series;
    std::uint64_t m;
    const std::uint32_t* chosen;

    std::uint64_t index(std::uint64_t j) const { return j < m ? j : chosen[j - m]; }
    double x(std::uint64_t j) const { return series.x(index(j)); }
    double y(std::uint64_t j) const { return series.y(index(j)); }
};

// Where the sweeps keep sample j's record: every sample's at its own index,
// and the chosen samples' (LeftThenChosen) beside.
template <class Record>
struct AtIndex {
    Record* records;
    Record& operator()(std::uint64_t j) const { return records[j]; }
};

template <class Record>
struct AtMirroredIndex {
    Record* last;
    Record& operator()(std::uint64_t j) const { return *(last - j); }
};

template <class Record>
struct LeftThenExtra {
    Record* records;
    std::uint64_t m;
    Record* extra;
    Record& operator()(std::uint64_t j) const { return j < m ? records[j] : extra[j - m]; }
};

// One end's progress.
struct End {
    bool from_right;
    std::uint64_t samples = 0;  // swept from this end
    std::uint64_t edges = 0;    // between them

    // The lowest index swept, of n samples.
    std::uint64_t first(std::uint64_t n) const { return from_right ? n - samples : 0; }
};

// The samples the ends have yet to sweep: shared as they ask for them, or
// split at a fixed sample, the left end taking those before it.
class Claims {
public:
    Claims(std::uint64_t n, std::optional<std::uint64_t> split) : n_(n), split_(split) {}

    // How many samples the end may sweep next: 0 once it has all of its
    // share or an end gave up.
    std::uint64_t take(const End& end) {
        if (given_up()) return 0;
        if (split_) {
            const std::uint64_t share = end.from_right ? n_ - *split_ : *split_;
            return std::min(kClaim, share - end.samples);
        }
        const std::uint64_t start = claimed_.fetch_add(kClaim, std::memory_order_relaxed);
        return start >= n_ ? 0 : std::min(kClaim, n_ - start);
    }
    void give_up() { given_up_.store(true, std::memory_order_relaxed); }
    bool given_up() const { return given_up_.load(std::memory_order_relaxed); }

private:
    std::uint64_t n_;
    std::optional<std::uint64_t> split_;
    std::atomic<std::uint64_t> claimed_{0};
    std::atomic<bool> given_up_{false};
};

// The upper hull of the samples swept from the left, exact (strict turns
// only), grown as they join.
template <class Positions>
class LeftHull {
public:
    LeftHull(FromLeft<Positions> points, PositiveTurn turn) : points_(points), turn_(turn) {}

    void add(std::uint32_t i) {
        while (vertices_.size() >= 2) {
            // The last vertex stays when i lies strictly below the line
            // through it from the one before.
            if (turns(vertices_[vertices_.size() - 2], i, vertices_.back())) break;
            vertices_.pop_back();
        }
        vertices_.push_back(i);
    }

    // The vertex with the least slope towards sample k, which lies right of
    // them all: some sample of the hull's lies strictly above a line through
    // k exactly when this vertex does. The edges' lines fall at k along the
    // hull, so k lies strictly below those of a first run of edges, past
    // which the slope towards k rises.
    std::uint32_t tangent_from(std::uint64_t k) const {
        std::size_t lo = 0;
        std::size_t hi = vertices_.size() - 1;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            if (turns(vertices_[mid], k, vertices_[mid + 1])) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        return vertices_[lo];
    }

private:
    bool turns(std::uint64_t a, std::uint64_t b, std::uint64_t c) const {
        return turn_(points_.x(a), points_.y(a), points_.x(b), points_.y(b), points_.x(c), points_.y(c));
    }

    FromLeft<Positions> points_;
    PositiveTurn turn_;
    std::vector<std::uint32_t> vertices_;
};

constexpr auto kEverySample = [](std::uint64_t) { return true; };

template <class Positions, class Record>
class DegreeSweep {
    using Layout = RecordLayout<Record>;

public:
    // split: where the ends meet if fixed.
    DegreeSweep(Series y, Positions x, Record* records, std::optional<std::uint64_t> split)
        : n_(y.size()),
          series_{y.data(), x},
          records_(records),
          above_(small_whole_numbers(y, x)),
          claims_(n_, split),
          both_ends_(split.has_value()),
          ends_density_(y),
          across_density_(y),
          hull_(series_, above_) {
        std::fill_n(records_, n_, Layout::empty());
    }

    // Both ends at once in parallel, or one after the other at a fixed
    // split, or the left end alone. false: the sweep gave up (see
    // DensityCheck).
    bool count(bool parallel) {
        both_ends_ = both_ends_ || parallel;
        auto sweep_left = [&] {
            sweep_end(series_, AtIndex<Record>{records_}, left_, [&](std::uint64_t c) {
                if (both_ends_) hull_.add(static_cast<std::uint32_t>(c));
            });
        };
        auto sweep_right = [&] {
            sweep_end(FromRight<Positions>{series_.values, series_.positions, n_ - 1},
                      AtMirroredIndex<Record>{records_ + n_ - 1}, right_, [](std::uint64_t) {});
        };
        if (parallel) {
            parallel::for_each_range(2, 1,
                                     [&](std::size_t end, std::size_t) { end == 0 ? sweep_left() : sweep_right(); });
        } else {
            sweep_left();
            if (both_ends_) sweep_right();
        }
        return !claims_.given_up() && count_pairs_across();
    }

    void write(std::int64_t* degrees) const {
        for (std::size_t i = 0; i < n_; ++i) degrees[i] = static_cast<std::int64_t>(Layout::degree(records_[i]));
        for (std::size_t k = 0; k < across_.size(); ++k) degrees[seeing_left_[k]] += across_[k];
    }

private:
    // Sweeps the samples this end claims, in order, calling joined(c) after
    // sample c joins.
    template <class Points, class Place, class Joined>
    void sweep_end(const Points& points, const Place& place, End& end, Joined joined) {
        for (std::uint64_t claimed; (claimed = claims_.take(end)) != 0;) {
            const std::uint64_t stop = end.samples + claimed;
            for (std::uint64_t c = end.samples; c < stop; ++c) {
                if (c > 0) {
                    const std::uint64_t found = join<Record>(c, points, place, above_, kEverySample);
                    place(c) += found;
                    end.edges += found;
                }
                joined(c);
            }
            end.samples = stop;
            if (!ends_density_.passes(end.edges, end.first(n_), end.first(n_) + end.samples - 1)) {
                claims_.give_up();
                return;
            }
            interruption::poll();
        }
    }

    // The pairs across m, the first sample swept from the right: the left
    // sweep goes on over the right samples that see a left one, in order,
    // counting only the left samples that see them. That is exact although
    // it skips the other right samples: a right sample's farthest visible
    // sample within the right part is one of those it goes on over, and
    // passes below a line from a left sample exactly when all the right
    // samples before it do.
    bool count_pairs_across() {
        const std::uint64_t m = left_.samples;
        if (m == 0 || m == n_) return true;
        std::vector<std::uint32_t> chosen = right_samples_seeing_left(m);
        std::sort(chosen.begin(), chosen.end());
        std::vector<Record> extra(chosen.size(), Layout::empty());
        const LeftThenChosen<Positions> points{series_, m, chosen.data()};
        const LeftThenExtra<Record> place{records_, m, extra.data()};
        std::vector<std::uint64_t> across(chosen.size());
        const std::uint64_t within = left_.edges + right_.edges;
        std::uint64_t crossing = 0;
        interruption::Countdown poll(1u << 20);
        for (std::size_t k = 0; k < chosen.size(); ++k) {
            across[k] = join<Record>(m + k, points, place, above_, [m](std::uint64_t j) { return j < m; });
            crossing += across[k];
            // Expecting as many pairs across for the right samples still to come.
            const std::uint64_t expected = within + crossing / (k + 1) * chosen.size();
            if (!across_density_.passes(expected, 0, n_ - 1)) return false;
            poll.tick(static_cast<unsigned>(std::min<std::uint64_t>(across[k] + 1, 1u << 20)));
        }
        seeing_left_ = std::move(chosen);
        across_ = std::move(across);
        return true;
    }

    // The right samples that see a left one. m sees m - 1; a later right
    // sample b sees one exactly when a left sample lies strictly above the
    // line from its farthest visible sample t within the right part (its link
    // in the right sweep's forest) through b, and then t sees one too. So
    // they form a subtree around m, and as each sample's children come
    // farthest first, their lines through it passing lower and lower to its
    // left, a walk that stops at the first child that sees none finds them.
    std::vector<std::uint32_t> right_samples_seeing_left(std::uint64_t m) const {
        const std::uint64_t last = n_ - 1;
        std::vector<std::uint32_t> found{static_cast<std::uint32_t>(m)};
        std::vector<std::uint32_t> stack = found;
        while (!stack.empty()) {
            const std::uint64_t k = stack.back();
            stack.pop_back();
            const std::uint64_t v = hull_.tangent_from(k);
            for (std::uint64_t child = Layout::first_child(records_[k]); child != Layout::none();
                 child = Layout::next_sibling(records_[last - child])) {
                const std::uint64_t b = last - child;
                if (!above_(series_.x(v), series_.y(v), series_.x(k), series_.y(k), series_.x(b), series_.y(b))) break;
                found.push_back(static_cast<std::uint32_t>(b));
                stack.push_back(static_cast<std::uint32_t>(b));
            }
        }
        return found;
    }

    std::uint64_t n_;
    FromLeft<Positions> series_;
    Record* records_;
    PositiveTurn above_;
    Claims claims_;
    bool both_ends_;
    DensityCheck ends_density_;
    DensityCheck across_density_;
    End left_{.from_right = false};
    End right_{.from_right = true};
    LeftHull<Positions> hull_;
    std::vector<std::uint32_t> seeing_left_;  // right samples with pairs across,
    std::vector<std::uint64_t> across_;       // and how many each
};

template <class Record, class Positions>
bool sweep_into(Series y, Positions x, Record* records, bool parallel, std::optional<std::uint64_t> split,
                std::int64_t* degrees) {
    DegreeSweep<Positions, Record> sweep(y, x, records, split);
    if (!sweep.count(parallel)) return false;
    sweep.write(degrees);
    return true;
}

template <class Positions>
bool sweep(Series y, Positions x, bool parallel, std::optional<std::uint64_t> split, std::int64_t* degrees) {
    const std::size_t n = y.size();
    if (n < 2) {
        std::fill_n(degrees, n, 0);
        return true;
    }
    if (RecordLayout<std::uint64_t>::fits(n)) {
        // The records take the degrees' own room, and become the degrees.
        return sweep_into(y, x, reinterpret_cast<std::uint64_t*>(degrees), parallel, split, degrees);
    }
    const auto records = memory::allocate_large_buffer<unsigned __int128>(n);
    return sweep_into(y, x, records.get(), parallel, split, degrees);
}

}  // namespace

template <class Positions>
bool sweep_natural_degrees(Series y, Positions x, bool parallel, std::int64_t* degrees) {
    parallel = parallel && y.size() >= kParallelMinSamples && parallel::thread_count() > 1;
    return sweep(y, x, parallel, std::nullopt, degrees);
}

template <class Positions>
bool sweep_natural_degrees_split(Series y, Positions x, std::uint64_t split, std::int64_t* degrees) {
    return sweep(y, x, false, std::min<std::uint64_t>(split, y.size()), degrees);
}

template bool sweep_natural_degrees(Series, UniformPositions, bool, std::int64_t*);
template bool sweep_natural_degrees(Series, ExplicitPositions, bool, std::int64_t*);
template bool sweep_natural_degrees_split(Series, UniformPositions, std::uint64_t, std::int64_t*);
template bool sweep_natural_degrees_split(Series, ExplicitPositions, std::uint64_t, std::int64_t*);

}  // namespace kaltrope
