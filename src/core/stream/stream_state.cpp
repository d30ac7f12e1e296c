// Saving a stream, and building one again from a saved state that may come
// from anywhere: every check runs before anything is built.

#include <cmath>
#include <limits>
#include <string>

#include "core/stream/any_stream.hpp"

namespace kaltrope {
namespace {

// Sample indices and default positions stay exact in double below this.
constexpr std::size_t kLargestCount = std::size_t{1} << 53;

using Problem = std::optional<std::string>;

Problem check_shape(const StreamState& state, std::size_t row_length) {
    if (state.window == std::size_t{0}) return "window must be >= 1";
    if (is_vector(state.kind) != state.dim.has_value()) return "dim is given for vector kinds only, and always";
    if (row_length == 0) return "dim must be >= 1";
    if (state.count > kLargestCount) return "sample count out of range";
    const std::size_t rows = state.count - window_start(state.count, state.window);
    if (state.values.size() % row_length != 0 || state.values.size() / row_length != rows) {
        return "values do not match the sample count and window";
    }
    if (state.positions.size() != (state.kind == SeriesKind::Horizontal ? 0 : rows)) {
        return "positions do not match the values";
    }
    return std::nullopt;
}

Problem check_samples(const StreamState& state) {
    for (double value : state.values) {
        if (!std::isfinite(value)) return "a value is not finite";
    }
    for (std::size_t i = 0; i < state.positions.size(); ++i) {
        if (!std::isfinite(state.positions[i]) || (i > 0 && !(state.positions[i - 1] < state.positions[i]))) {
            return "positions are not finite and strictly increasing";
        }
    }
    return std::nullopt;
}

// Anchors by increasing index among the kept samples, the newest sample's
// untouched; the others as a push leaves them.
Problem check_anchors(const StreamState& state, std::size_t first) {
    const AnchorColumns& anchors = state.anchors;
    const std::size_t count = anchors.index.size();
    if (anchors.best_num.size() != count || anchors.best_den.size() != count) return "anchor columns differ in length";
    if (!is_vector(state.kind)) return count == 0 ? Problem() : "anchors are for vector kinds only";
    if ((count == 0) != (state.count == 0)) return "the newest sample is not an anchor";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t index = anchors.index[i];
        if (index < first || index >= state.count || (i > 0 && !(anchors.index[i - 1] < index))) {
            return "anchor indices are not increasing among the kept samples";
        }
        const double num = anchors.best_num[i];
        const double den = anchors.best_den[i];
        const bool fresh = num == -std::numeric_limits<double>::infinity() && den == 1.0;
        if (i + 1 == count) {
            if (index + 1 != state.count || !fresh) return "the newest sample is not an anchor";
        } else if (is_horizontal(state.kind) ? (den != 1.0 || std::isnan(num)) : !(den > 0)) {
            return "an anchor is inconsistent";
        }
    }
    return std::nullopt;
}

}  // namespace

std::expected<AnyStream, std::string> AnyStream::restore(const StreamState& state) {
    const std::size_t row_length = state.dim.value_or(1);
    Problem problem = check_shape(state, row_length);
    const std::size_t first = state.count - state.values.size() / std::max<std::size_t>(row_length, 1);
    if (!problem) problem = check_samples(state);
    if (!problem) problem = check_anchors(state, first);
    if (problem) return std::unexpected("invalid VisibilityStream state: " + *problem);
    switch (state.kind) {
        case SeriesKind::Natural:
            return AnyStream(state.kind, state.window,
                             Engine(std::in_place_type<NaturalStream>, state.window, state.mode, state.count,
                                    state.values, state.positions));
        case SeriesKind::Horizontal:
            return AnyStream(state.kind, state.window,
                             Engine(std::in_place_type<HorizontalStream>, state.window, state.count, state.values));
        case SeriesKind::VectorNatural:
        case SeriesKind::VectorHorizontal: {
            std::vector<VectorStream::Anchor> anchors(state.anchors.index.size());
            for (std::size_t i = 0; i < anchors.size(); ++i) {
                anchors[i] = {state.anchors.index[i], 0.0, state.anchors.best_num[i], state.anchors.best_den[i]};
            }
            return AnyStream(
                state.kind, state.window,
                Engine(std::in_place_type<VectorStream>, state.window, row_length, is_horizontal(state.kind),
                       state.count, state.values, state.positions, std::move(anchors)));
        }
    }
    return std::unexpected("unknown kind");
}

StreamState AnyStream::state() const {
    StreamState state;
    state.kind = kind_;
    state.window = window_;
    state.count = size();
    if (const auto* natural = std::get_if<NaturalStream>(&engine_)) {
        state.mode = natural->mode();
        state.values = natural->seen_values();
        state.positions = natural->seen_positions();
    } else if (const auto* horizontal = std::get_if<HorizontalStream>(&engine_)) {
        state.values = horizontal->seen_values();
    } else if (const auto* vector = std::get_if<VectorStream>(&engine_)) {
        state.dim = vector->dim();
        state.values = vector->seen_data();
        state.positions = vector->seen_positions();
        for (const VectorStream::Anchor& anchor : vector->saved_anchors()) {
            state.anchors.index.push_back(anchor.index);
            state.anchors.best_num.push_back(anchor.best_num);
            state.anchors.best_den.push_back(anchor.best_den);
        }
    }
    return state;
}

}  // namespace kaltrope
