// Module e_s8: the re-factorisation marker of each subsystem.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace e_s8 {

// First matrix row to factorise again at the next factorisation of subsystem k; a
// value not above e_s0::mbus(k) means the matrix changed (nd2, allocated by a_s).
inline wakro::FArray<std::int32_t, 1> mxinv{"mxinv"};

}  // namespace e_s8
