// Module int3: the sparse-solver choice.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace int3 {

inline wakro::FArray<bool, 1> use_klu{"use_klu"};  // the subsystem is solved by the sparse solver (nd2)
inline bool enable_sparse = false;                  // sparse solver allowed for the case
inline std::int32_t sparse_limit = 0;               // subsystem order from which the sparse solver is used

}  // namespace int3
