#include "core/series/input.hpp"

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

Validated validate_series(Series y) {
    if (y.size() >= kMaxSamples) return std::unexpected(InputError{InputError::Kind::TooLong});
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (!is_finite(y[i])) return std::unexpected(InputError{InputError::Kind::NonFinite, i});
    }
    return {};
}

Validated validate_positions(Series y, Series x) {
    if (x.size() != y.size()) return std::unexpected(InputError{InputError::Kind::MismatchedLength});
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
