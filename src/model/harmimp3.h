// Module harmimp3: complex work arrays of the harmonic-impedance scan.
#pragma once

#include "model/farray.h"

namespace harmimp3 {

inline wakro::FArray<wakro::cplx, 1> yvec{"yvec"};      // (harmimp1::ku + 1)
inline wakro::FArray<wakro::cplx, 2> li{"li"};          // (nd3, nd3)
inline wakro::FArray<wakro::cplx, 2> lit{"lit"};        // (nd3, nd3)
inline wakro::FArray<wakro::cplx, 2> zttf{"zttf"};      // (nd3, nd3)
inline wakro::FArray<wakro::cplx, 2> tftmp1{"tftmp1"};  // (nd3, nd3)
inline wakro::FArray<wakro::cplx, 2> tftmp2{"tftmp2"};  // (nd3, nd3)

}  // namespace harmimp3

void a_harmimp3();  // yvec, li, lit, zttf, tftmp1, tftmp2
void d_harmimp3();
