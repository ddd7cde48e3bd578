// Modules harm_cus_com and harm_cus_com1: the custom-harmonic component records,
// cleared by the per-run initialisation.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace harm_cus_com {

inline wakro::FFixed<std::int32_t, 100> ctype;  // type of custom component 1..100

}  // namespace harm_cus_com

namespace harm_cus_com1 {

inline std::int32_t comp_indx = 0;                   // custom components recorded
inline wakro::FFixed<std::int32_t, 2000> cnodes;     // node records (8,000 bytes)
inline wakro::FFixed<std::int32_t, 5000> cbranches;  // branch records (20,000 bytes)

}  // namespace harm_cus_com1
