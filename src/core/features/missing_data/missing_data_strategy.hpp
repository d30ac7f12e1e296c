#pragma once
// The ways of filling a missing sample, and chains of them.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <optional>
#include <string>
#include <vector>

#include "core/features/missing_data/missing_data_handler.hpp"

namespace kaltrope {

class MissingDataStrategy final : public MissingDataHandler {
public:
    enum class Kind : std::uint8_t {
        LinearInterpolation,
        ForwardFill,
        BackwardFill,
        NearestNeighbor,
        MeanImputation,
        MedianImputation,
        ZeroFill,
        Drop,
        Fallback,
    };

    static MissingDataStrategy linear_interpolation() { return MissingDataStrategy(Kind::LinearInterpolation); }
    static MissingDataStrategy forward_fill() { return MissingDataStrategy(Kind::ForwardFill); }
    static MissingDataStrategy backward_fill() { return MissingDataStrategy(Kind::BackwardFill); }
    static MissingDataStrategy nearest_neighbor() { return MissingDataStrategy(Kind::NearestNeighbor); }
    static MissingDataStrategy mean_imputation(std::size_t window_size) {
        return MissingDataStrategy(Kind::MeanImputation, window_size);
    }
    static MissingDataStrategy median_imputation(std::size_t window_size) {
        return MissingDataStrategy(Kind::MedianImputation, window_size);
    }
    static MissingDataStrategy zero_fill() { return MissingDataStrategy(Kind::ZeroFill); }
    static MissingDataStrategy drop() { return MissingDataStrategy(Kind::Drop); }
    // The answer of primary where it has one, else the answer of fallback.
    static MissingDataStrategy with_fallback(const MissingDataStrategy& primary, const MissingDataStrategy& fallback);

    std::optional<double> handle(const SampleView& samples, std::size_t index) const override;

    // The saved form: per step of the chain in pre-order, its Kind's number
    // and its window size (0 but for the imputations).
    static constexpr std::uint64_t kStateVersion = 1;
    std::vector<std::uint64_t> codes() const;
    // The strategy of saved codes, after checking that they form one chain.
    static std::expected<MissingDataStrategy, std::string> from_codes(std::span<const std::uint64_t> codes);

    // The variant's name, or its struct form: "MeanImputation { window_size: 5 }",
    // "Fallback { primary: ForwardFill, fallback: ZeroFill }".
    std::string debug_text() const;

private:
    // A chain is kept as its tree in pre-order (each Fallback followed by its
    // primary's steps, then its fallback's), so that chains of any depth are
    // copied, applied and printed without recursion.
    struct Step {
        Kind kind;
        std::size_t window_size = 0;
    };

    explicit MissingDataStrategy(Kind kind, std::size_t window_size = 0) : steps_{{kind, window_size}} {}
    MissingDataStrategy() = default;

    static std::optional<double> answer(const Step& step, const SampleView& samples, std::size_t index);

    std::vector<Step> steps_;
};

}  // namespace kaltrope
