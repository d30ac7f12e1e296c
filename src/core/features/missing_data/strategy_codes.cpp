// Strategies in their saved form: two numbers per step of the chain.

#include "core/features/missing_data/missing_data_strategy.hpp"

namespace kaltrope {

std::vector<std::uint64_t> MissingDataStrategy::codes() const {
    std::vector<std::uint64_t> codes;
    for (const Step& step : steps_) {
        codes.push_back(static_cast<std::uint64_t>(step.kind));
        codes.push_back(step.window_size);
    }
    return codes;
}

std::expected<MissingDataStrategy, std::string> MissingDataStrategy::from_codes(std::span<const std::uint64_t> codes) {
    auto invalid = [](const char* what) {
        return std::unexpected(std::string("invalid MissingDataStrategy state: ") + what);
    };
    if (codes.size() % 2 != 0) return invalid("codes come in pairs");
    MissingDataStrategy strategy;
    // A pre-order chain: every Fallback is followed by two whole chains.
    std::size_t open = 1;
    for (std::size_t i = 0; i < codes.size(); i += 2) {
        if (open == 0) return invalid("steps after the end of the chain");
        if (codes[i] > static_cast<std::uint64_t>(Kind::Fallback)) return invalid("unknown kind of step");
        const auto kind = static_cast<Kind>(codes[i]);
        const bool windowed = kind == Kind::MeanImputation || kind == Kind::MedianImputation;
        if (!windowed && codes[i + 1] != 0) return invalid("a window size for a step without a window");
        strategy.steps_.push_back({kind, static_cast<std::size_t>(codes[i + 1])});
        open += kind == Kind::Fallback ? 1 : -1;
    }
    if (open != 0) return invalid("the chain is incomplete");
    return strategy;
}

}  // namespace kaltrope
