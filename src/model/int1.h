// Module int1: switching bookkeeping of the branches and the sub-step time.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace int1 {

inline wakro::FArray<std::int32_t, 2> iorv{"iorv"};  // switching mode code of each branch (nd15, nd2)
inline wakro::FArray<double, 2> xstor{"xstor"};      // switching-instant bookkeeping (nd15, nd2)
// Final conductance of each branch (nd15, nd2): allocated with the branch
// bookkeeping and cleared when a branch is read; no routine uses it yet.
inline wakro::FArray<double, 2> gfinal{"gfinal"};
inline double solution_time = 0.0;                    // time of the present sub-step within the step

}  // namespace int1
