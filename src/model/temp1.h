// Module temp1: work arrays of the substitution, the transformer reader and the
// switching bookkeeping within a step.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace temp1 {

inline wakro::FArray<double, 2> si{"si"};               // transformer reader / tap changer work matrix (nd3, nd3)
inline wakro::FArray<double, 1> caa{"caa"};             // node work vector of the substitution (nd1)
inline wakro::FArray<double, 1> caai{"caai"};           // second work vector of the substitution (nd15)
inline wakro::FArray<std::int32_t, 1> icnt{"icnt"};     // switchings of each branch in this step (nd15)
inline wakro::FArray<bool, 1> stabck{"stabck"};         // chatter detected in the subsystem (nd2)
inline wakro::FArray<bool, 1> consid{"consid"};         // switch considered for interpolation (nd15)

}  // namespace temp1
