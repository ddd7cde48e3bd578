// Module radiolinks: the values of the wireless signal links.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace radiolinks {

inline wakro::FArray<double, 1> tx{"tx"};              // link values set by the design environment (nd37)
inline wakro::FArray<std::int32_t, 1> txrx{"txrx"};    // integer table of the links, from "RADIOLINKS:" (nd38)
inline std::int32_t ntxrx = 0;                          // offset into the link tables, reset before each pass

}  // namespace radiolinks
