// Node 0 is ground: its voltage is 0 and no node array is read at index 0.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace wakro {

// v(n) for a node n >= 1, 0 for ground.
inline double at_node(const FArray<double, 1>& v, std::int32_t n) { return n > 0 ? v(n) : 0.0; }

}  // namespace wakro
