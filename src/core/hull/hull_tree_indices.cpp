// The hull tree with vertices stored as indices.
#include "core/hull/hull_tree_members.hpp"

namespace kaltrope {

template class HullTree<UniformPositions, VertexStorage::Indices>;
template class HullTree<ExplicitPositions, VertexStorage::Indices>;

}  // namespace kaltrope
