#pragma once
// An online visibility graph of any kind: the engine a kind names, and runs
// of samples pushed through it all or nothing.

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "core/series/series_kind.hpp"
#include "core/stream/horizontal_stream.hpp"
#include "core/stream/natural_stream.hpp"
#include "core/stream/stream_state.hpp"
#include "core/stream/vector_stream.hpp"

namespace kaltrope {

class AnyStream {
public:
    // The engine of kind; vector kinds need a dim of at least 1. The mode is
    // used by the natural kind alone.
    static std::expected<AnyStream, std::string> create(SeriesKind kind, std::optional<std::size_t> window,
                                                        std::optional<std::size_t> dim, StreamMode mode);

    // The stream a state describes, after checking that it is one a stream
    // could have reached: the message says what is wrong otherwise.
    static std::expected<AnyStream, std::string> restore(const StreamState& state);
    // The state of this stream; its spans view the stream, valid until it
    // changes.
    StreamState state() const;

    SeriesKind kind() const { return kind_; }
    // Whether samples have positions: every kind but the scalar horizontal one.
    bool uses_positions() const { return kind_ != SeriesKind::Horizontal; }
    std::size_t size() const;

    // Validates a run of `rows` samples of row_length values each (1 for
    // the scalar kinds), then pushes it; on_sample(i, sources) sees the
    // sources of sample i. On any error, from the check or thrown while
    // pushing, the stream is left as it was.
    template <class OnSample>
    Validated push_run(Series values, std::size_t rows, std::size_t row_length, std::optional<Series> positions,
                       OnSample&& on_sample);

private:
    using Engine = std::variant<NaturalStream, HorizontalStream, VectorStream>;
    AnyStream(SeriesKind kind, std::optional<std::size_t> window, Engine engine)
        : kind_(kind), window_(window), engine_(std::move(engine)) {}

    SeriesKind kind_;
    std::optional<std::size_t> window_;
    Engine engine_;
};

template <class OnSample>
Validated AnyStream::push_run(Series values, std::size_t rows, std::size_t row_length, std::optional<Series> positions,
                              OnSample&& on_sample) {
    auto position = [&](std::size_t i) { return positions ? std::optional((*positions)[i]) : std::nullopt; };
    return std::visit(
        [&](auto& stream) -> Validated {
            using Stream = std::decay_t<decltype(stream)>;
            Validated valid;
            if constexpr (std::is_same_v<Stream, VectorStream>) {
                valid = stream.check_run(values, row_length, rows, positions);
            } else if constexpr (std::is_same_v<Stream, NaturalStream>) {
                valid = stream.check_run(values, positions);
            } else {
                valid = stream.check_run(values);
            }
            if (!valid) return valid;
            push_checked_run(
                stream, rows,
                [&](std::size_t i, Sources& sources) {
                    if constexpr (std::is_same_v<Stream, VectorStream>) {
                        stream.push_checked(values.subspan(i * row_length, row_length), position(i), sources);
                    } else if constexpr (std::is_same_v<Stream, NaturalStream>) {
                        stream.push_checked(values[i], position(i), sources);
                    } else {
                        stream.push_checked(values[i], sources);
                    }
                },
                on_sample);
            return {};
        },
        engine_);
}

}  // namespace kaltrope
