#include "core/series/input.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "support/worker_pool.hpp"

namespace kaltrope {

std::string InputError::message() const {
    switch (kind) {
        case Kind::NonFinite: return "non-finite value at index " + std::to_string(index);
        case Kind::MismatchedLength: return "x and y must have the same length";
        case Kind::BadPosition: return "x must be finite and strictly increasing (index " + std::to_string(index) + ")";
        case Kind::TooLong: return "series longer than u32::MAX points";
    }
    return {};
}

namespace {

// Long series are checked in blocks of this many values on the worker pool.
constexpr std::size_t kCheckBlock = std::size_t{1} << 16;

// The index of the first non-finite value of block b of y, if any.
std::optional<std::size_t> first_non_finite(Series y, std::size_t b) {
    const std::size_t from = b * kCheckBlock;
    const Series block = y.subspan(from, std::min(kCheckBlock, y.size() - from));
    const auto at = std::ranges::find_if_not(block, is_finite);
    if (at == block.end()) return std::nullopt;
    return from + static_cast<std::size_t>(at - block.begin());
}

}  // namespace

Validated validate_series(Series y) {
    if (y.size() >= kMaxSamples) return std::unexpected(InputError{InputError::Kind::TooLong});
    std::optional<std::size_t> bad;
    if (y.size() <= kCheckBlock) {
        bad = first_non_finite(y, 0);
    } else {
        std::vector<std::optional<std::size_t>> first((y.size() + kCheckBlock - 1) / kCheckBlock);
        parallel::for_each_range(first.size(), 1, [&](std::size_t begin, std::size_t end) {
            for (std::size_t b = begin; b < end; ++b) first[b] = first_non_finite(y, b);
        });
        // The first failure of the first block that has one.
        for (auto at = first.begin(); !bad && at != first.end(); ++at) bad = *at;
    }
    if (bad) return std::unexpected(InputError{InputError::Kind::NonFinite, *bad});
    return {};
}

Validated validate_positions(Series y, Series x) { return validate_positions(y.size(), x); }

Validated validate_positions(std::size_t length, Series x) {
    if (x.size() != length) return std::unexpected(InputError{InputError::Kind::MismatchedLength});
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!is_finite(x[i])) return std::unexpected(InputError{InputError::Kind::BadPosition, i});
    }
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (!(x[i - 1] < x[i])) return std::unexpected(InputError{InputError::Kind::BadPosition, i});
    }
    return {};
}

Validated validate_rows(std::span<const Series> rows) {
    for (Series row : rows) {
        if (auto valid = validate_series(row); !valid) return valid;
    }
    return {};
}

}  // namespace kaltrope
