#include "core/stream/any_stream.hpp"

namespace kaltrope {

std::expected<AnyStream, std::string> AnyStream::create(SeriesKind kind, std::optional<std::size_t> window,
                                                        std::optional<std::size_t> dim, StreamMode mode) {
    switch (kind) {
        case SeriesKind::Natural:
            return AnyStream(kind, window, Engine(std::in_place_type<NaturalStream>, window, mode));
        case SeriesKind::Horizontal:
            return AnyStream(kind, window, Engine(std::in_place_type<HorizontalStream>, window));
        case SeriesKind::VectorNatural:
        case SeriesKind::VectorHorizontal:
            if (!dim) return std::unexpected("dim is required for vector kinds");
            // A vector of no values is a vector of the wrong length.
            if (*dim == 0) return std::unexpected(InputError{InputError::Kind::MismatchedLength}.message());
            return AnyStream(kind, window, Engine(std::in_place_type<VectorStream>, window, *dim, is_horizontal(kind)));
    }
    return std::unexpected("unknown kind");
}

std::size_t AnyStream::size() const {
    return std::visit([](const auto& stream) { return stream.size(); }, engine_);
}

}  // namespace kaltrope
