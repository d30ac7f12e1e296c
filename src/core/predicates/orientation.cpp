#include "core/predicates/orientation.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <span>

#include "core/series/input.hpp"

namespace kaltrope {
namespace {

using Wide = unsigned __int128;

// A finite double as mantissa * 2^exponent, with a mantissa below 2^53.
struct Scaled {
    std::uint64_t mantissa;
    int exponent;
    bool negative;
};

Scaled scaled(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased != 0) mantissa |= std::uint64_t{1} << 52;
    // A subnormal has the exponent of the smallest normal and no hidden bit.
    return {mantissa, std::max(biased, 1) - 1075, (bits >> 63) != 0};
}

// One product of two doubles, exactly: magnitude * 2^exponent.
struct Product {
    Wide magnitude;
    int exponent;
    bool negative;
};

Product product(double a, double b, bool negate) {
    const Scaled sa = scaled(a);
    const Scaled sb = scaled(b);
    return {Wide{sa.mantissa} * sb.mantissa, sa.exponent + sb.exponent, (sa.negative != sb.negative) != negate};
}

// Products span exponents 2 * (-1074) to 2 * 971 and magnitudes below 2^106;
// six of them add up to less than 2^3 times the largest.
constexpr int kLowestExponent = -2 * 1074;
constexpr int kWidestBits = 2 * 971 - kLowestExponent + 106 + 3;
constexpr std::size_t kMaxLimbs = kWidestBits / 64 + 2;

// A non-negative fixed-point integer: limbs[k] holds bits 64k .. 64k + 63
// above the lowest exponent of the sum.
struct Accumulator {
    std::array<std::uint64_t, kMaxLimbs> limbs;
    std::size_t used;

    explicit Accumulator(std::size_t count) : used(count) { std::fill_n(limbs.begin(), count, 0); }

    void add(Wide value, int shift) {
        const auto low = static_cast<std::uint64_t>(value);
        const auto high = static_cast<std::uint64_t>(value >> 64);
        const int bit = shift % 64;
        const std::uint64_t parts[3] = {
            low << bit,
            bit == 0 ? high : (high << bit) | (low >> (64 - bit)),
            bit == 0 ? 0 : high >> (64 - bit),
        };
        std::uint64_t carry = 0;
        for (std::size_t k = static_cast<std::size_t>(shift / 64); k < used; ++k) {
            const std::size_t part = k - static_cast<std::size_t>(shift / 64);
            const std::uint64_t addend = part < 3 ? parts[part] : 0;
            if (part >= 3 && carry == 0) break;
            const Wide sum = Wide{limbs[k]} + addend + carry;
            limbs[k] = static_cast<std::uint64_t>(sum);
            carry = static_cast<std::uint64_t>(sum >> 64);
        }
    }

    friend int compare(const Accumulator& a, const Accumulator& b) {
        for (std::size_t k = a.used; k-- > 0;) {
            if (a.limbs[k] != b.limbs[k]) return a.limbs[k] > b.limbs[k] ? 1 : -1;
        }
        return 0;
    }
};

int sign_of_sum(std::span<const Product> products) {
    int lowest = 0;
    int highest = 0;
    bool any = false;
    for (const Product& p : products) {
        if (p.magnitude == 0) continue;
        lowest = any ? std::min(lowest, p.exponent) : p.exponent;
        highest = any ? std::max(highest, p.exponent) : p.exponent;
        any = true;
    }
    if (!any) return 0;
    const std::size_t limbs = static_cast<std::size_t>(highest - lowest + 106 + 3) / 64 + 1;
    Accumulator positive(limbs);
    Accumulator negative(limbs);
    for (const Product& p : products) {
        if (p.magnitude == 0) continue;
        (p.negative ? negative : positive).add(p.magnitude, p.exponent - lowest);
    }
    return compare(positive, negative);
}

}  // namespace

int exact_orientation(double xa, double ya, double xb, double yb, double xk, double yk) {
    if (!(is_finite(xa) && is_finite(ya) && is_finite(xb) && is_finite(yb) && is_finite(xk) && is_finite(yk))) {
        return 0;
    }
    // (x_b - x_a)(y_k - y_a) - (y_b - y_a)(x_k - x_a), multiplied out; the
    // two x_a y_a terms cancel.
    const std::array<Product, 6> products = {
        product(xb, yk, false), product(xb, ya, true),  product(xa, yk, true),
        product(yb, xk, true),  product(yb, xa, false), product(ya, xk, false),
    };
    return sign_of_sum(products);
}

}  // namespace kaltrope
