#pragma once
// The degrees of a plain natural visibility graph by one sweep over the
// samples (sight_forest.hpp): two exact tests an edge however far it
// reaches, where a search from every sample pays more for far edges. The
// sweep counts in the degree array itself; in parallel, two threads sweep
// from the two ends until they meet and the pairs across are counted after.

#include <cstdint>

#include "core/series/input.hpp"

namespace kaltrope {

// The degree of every sample of the validated series y (at the positions x)
// into degrees[0 .. n). Returns false, leaving degrees unspecified, once the
// graph proves to have many edges a sample (smooth or convex stretches):
// the scans of the edge engines count those faster, many candidates at once.
template <class Positions>
bool sweep_natural_degrees(Series y, Positions x, bool parallel, std::int64_t* degrees);

// The same, one end after the other: the left end sweeps the samples before
// split, the right end the others, as a parallel sweep whose ends meet there.
template <class Positions>
bool sweep_natural_degrees_split(Series y, Positions x, std::uint64_t split, std::int64_t* degrees);

extern template bool sweep_natural_degrees(Series, UniformPositions, bool, std::int64_t*);
extern template bool sweep_natural_degrees(Series, ExplicitPositions, bool, std::int64_t*);
extern template bool sweep_natural_degrees_split(Series, UniformPositions, std::uint64_t, std::int64_t*);
extern template bool sweep_natural_degrees_split(Series, ExplicitPositions, std::uint64_t, std::int64_t*);

}  // namespace kaltrope
