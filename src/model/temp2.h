// Module temp2: transformer history and matrix work arrays.
#pragma once

#include "model/farray.h"

namespace temp2 {

inline wakro::FArray<double, 1> av{"av"};      // history work vector (nd3)
inline wakro::FArray<double, 1> ac{"ac"};      // history work vector (nd3)
inline wakro::FArray<double, 2> rm{"rm"};      // matrix work array (nd3, nd3)
inline wakro::FArray<double, 2> hs{"hs"};      // matrix work array (nd3, nd3)
inline wakro::FArray<double, 2> rli{"rli"};    // matrix work array (nd3, nd3)
inline wakro::FArray<double, 2> irli{"irli"};  // matrix work array (nd3, nd3)

}  // namespace temp2
