// Module e_s2: the old-style real storage of the single-routine models.
//
// A model's block starts at nexc+1 and the pointer advances by the block size; the
// array is checked in every build, so a wrong pointer stops naming `stor` instead of
// writing past it.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace e_s2 {

inline wakro::FArray<double, 1, true> stor{"stor"};  // old-style real storage (nd10, allocated by a_s)
inline std::int32_t nexc = 0;                         // slots of stor used so far in this pass

}  // namespace e_s2
