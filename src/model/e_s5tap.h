// Module e_s5tap: what a tap change of a transformer rescales from.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace e_s5tap {

// Allocated by a_s in this order, after the e_s5 tables.
inline wakro::FArray<double, 3> lorig{"lorig"};  // winding inductance matrix as set up (nd3, nd3, nd4)
inline wakro::FArray<double, 3> rorig{"rorig"};  // winding resistance matrix as set up (nd3, nd3, nd4)
inline wakro::FArray<std::int32_t, 1> tss{"tss"};  // subsystem of the transformer's windings (nd4)

}  // namespace e_s5tap
