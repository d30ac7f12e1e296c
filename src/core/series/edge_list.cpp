#include "core/series/edge_list.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kaltrope {

void widen_edges(std::span<const Edge> edges, std::int64_t* out, std::size_t result_edges) {
#if defined(__SSE2__)
    // A pair is 16 bytes, so out stays aligned once it starts aligned.
    if (result_edges >= kStreamedEdges && reinterpret_cast<std::uintptr_t>(out) % 16 == 0) {
        for (const Edge& edge : edges) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(out), _mm_set_epi64x(edge.b, edge.a));
            out += 2;
        }
        _mm_sfence();
        return;
    }
#endif
    (void)result_edges;
    for (const Edge& edge : edges) {
        *out++ = edge.a;
        *out++ = edge.b;
    }
}

}  // namespace kaltrope
