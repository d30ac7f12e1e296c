// The hull tree with vertices stored with their coordinates.
#include "core/hull/hull_tree_members.hpp"

namespace kaltrope {

template class HullTree<UniformPositions>;
template class HullTree<ExplicitPositions>;

}  // namespace kaltrope
