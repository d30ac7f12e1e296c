#include "core/graph/graph_error.hpp"

namespace kaltrope {

std::string GraphError::message() const {
    switch (kind) {
        case Kind::AllValuesMissing: return "All values are missing";
        case Kind::TooManySamples: return "Time series has more than 4294967295 samples";
    }
    return {};
}

}  // namespace kaltrope
