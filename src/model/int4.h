// Module int4: the previous step's node injections, for change detection.
#pragma once

#include "model/farray.h"

namespace int4 {

inline wakro::FArray<double, 2> ccind{"ccind"};  // previous step's e_s0::ccin (nd1, nd2)
inline wakro::FArray<double, 2> ggind{"ggind"};  // previous step's e_s0::ggin (nd1, nd2)
inline wakro::FArray<double, 2> cclid{"cclid"};  // previous step's e_s0::ccli (nd1, nd2)
inline wakro::FArray<bool, 1> gginchange{"gginchange"};  // node's injected conductance changed (nd1)

}  // namespace int4
