// Module spcial: the solution of the present sub-step before interpolation.
#pragma once

#include "model/farray.h"

namespace spcial {

inline wakro::FArray<double, 1> vdcnew{"vdcnew"};  // node voltages just solved (nd1)
inline wakro::FArray<double, 1> cbrnew{"cbrnew"};  // branch currents just solved (nd15)

}  // namespace spcial
