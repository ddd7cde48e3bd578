// Module multpl: the multiple-run output file and the optimum run.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"

namespace multpl {

inline wakro::FixedText<360> mrunfilename;              // multiple-run output file name
inline wakro::FixedText<186> mrunxtralabel;             // heading line of the extra files
inline std::int32_t optimumrun = 0;                     // run that gave the best value so far
inline wakro::FFixed<double, 6> optimumr;               // real inputs 1..6 of that run
inline wakro::FFixed<std::int32_t, 6> optimumi;         // integer inputs 1..6 of that run

}  // namespace multpl
