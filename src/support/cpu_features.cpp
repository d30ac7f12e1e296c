#include "support/cpu_features.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace kaltrope::simd {
namespace {

struct Features {
    bool avx2 = false;
    bool avx512 = false;
    std::vector<std::string> unknown;
};

void disable(Features& features, std::string name) {
    std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
    if (name == "avx2") {
        features.avx2 = false;
        features.avx512 = false;
    } else if (name == "avx512") {
        features.avx512 = false;
    } else {
        features.unknown.push_back(std::move(name));
    }
}

Features detect() {
    Features features;
#ifdef KALTROPE_X86_SIMD
    const bool popcnt = __builtin_cpu_supports("popcnt");
    features.avx2 = popcnt && __builtin_cpu_supports("avx2");
    // The kernels may use DQ's instructions; only the Xeon Phi had F alone.
    features.avx512 = popcnt && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
#endif
    const char* text = std::getenv("KALTROPE_DISABLE_CPU_FEATURES");
    const std::string_view names = text ? text : "";
    constexpr std::string_view kSeparators = ", \t\n\r\f\v";
    for (std::size_t start = names.find_first_not_of(kSeparators); start != std::string_view::npos;) {
        const std::size_t end = std::min(names.find_first_of(kSeparators, start), names.size());
        disable(features, std::string(names.substr(start, end - start)));
        start = names.find_first_not_of(kSeparators, end);
    }
    return features;
}

const Features& features() {
    static const Features detected = detect();
    return detected;
}

}  // namespace

bool has_avx2() { return features().avx2; }

bool has_avx512() { return features().avx512; }

const std::vector<std::string>& unknown_disabled_features() { return features().unknown; }

}  // namespace kaltrope::simd
