// Module temp3: node work arrays of the snapshot and of the ideal-branch collapse.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace temp3 {

inline wakro::FArray<std::int32_t, 1> itemp{"itemp"};  // integer work array of the snapshot (nd1)
inline wakro::FArray<bool, 1> collap{"collap"};        // node collapsed by an ideal branch (nd1)

}  // namespace temp3
