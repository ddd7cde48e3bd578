// Module e_s8: the re-factorisation markers of each subsystem.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace e_s8 {

// First matrix row to factorise again at the next factorisation of subsystem k; a
// value not above e_s0::mbus(k) means the matrix changed (nd2, allocated by a_s).
inline wakro::FArray<std::int32_t, 1> mxinv{"mxinv"};

// Subsystem k was switched since its last solution: its matrix changed by a
// switching (a switch, a stamp, an MNA element), not only by conductances of
// branches that hold no state across their change, or its sources were switched
// on at time zero. The step then starts with a solution at its start (nd2,
// allocated by a_s with mxinv; cleared when the step is solved).
inline wakro::FArray<bool, 1> switched{"switched"};

}  // namespace e_s8
