// Module harmimp2: connectivity work array of the harmonic-impedance scan.
#pragma once

#include "model/farray.h"

namespace harmimp2 {

inline wakro::FArray<bool, 2> yl{"yl"};  // one byte per entry (harmimp1::ntot, harmimp1::ntot)

}  // namespace harmimp2

void a_harmimp2();  // yl from the current harmimp1::ntot
void d_harmimp2();
