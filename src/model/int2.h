// Module int2: per-subsystem counts and node lists of the solution.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace int2 {

inline wakro::FArray<std::int32_t, 1> insb{"insb"};        // branch count per subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> ntriang{"ntriang"};  // factorisation count per subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> nmb{"nmb"};          // Norton buses per subsystem (nd2)
inline wakro::FArray<std::int32_t, 2> ll{"ll"};            // node list of the Norton buses (nd1, nd2)
inline wakro::FArray<bool, 2> nilltr{"nilltr"};            // ill-conditioned diagonal of a node (nd1, nd2)
inline wakro::FArray<double, 1> glvl{"glvl"};              // chatter level per subsystem (nd2)
inline std::int32_t nmat = 0;                               // number of subsystems to solve

}  // namespace int2
