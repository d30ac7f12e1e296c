#pragma once
// The four kinds of visibility that streams and sequence motifs work under:
// natural or horizontal, of scalar samples or of vectors.

#include "support/name_table.hpp"

namespace kaltrope {

enum class SeriesKind { Natural, Horizontal, VectorNatural, VectorHorizontal };

inline constexpr bool is_horizontal(SeriesKind kind) {
    return kind == SeriesKind::Horizontal || kind == SeriesKind::VectorHorizontal;
}

inline constexpr bool is_vector(SeriesKind kind) {
    return kind == SeriesKind::VectorNatural || kind == SeriesKind::VectorHorizontal;
}

inline constexpr Spelling<SeriesKind> kSeriesKindSpellings[] = {
    {"natural", SeriesKind::Natural},
    {"horizontal", SeriesKind::Horizontal},
    {"vector_natural", SeriesKind::VectorNatural},
    {"vector_horizontal", SeriesKind::VectorHorizontal},
};

// Matched exactly, letter case included.
inline constexpr NameTable<SeriesKind> kSeriesKindNames{kSeriesKindSpellings, LetterCase::Exact, "unknown kind '", "'"};

}  // namespace kaltrope
