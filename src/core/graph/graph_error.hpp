#pragma once
// Why a visibility graph cannot be built from a series.

#include <string>

namespace kaltrope {

struct GraphError {
    enum class Kind {
        AllValuesMissing,
        // Nodes are numbered with 32-bit integers.
        TooManySamples,
    };
    Kind kind;

    std::string message() const;
};

}  // namespace kaltrope
