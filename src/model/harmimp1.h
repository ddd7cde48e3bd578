// Module harmimp1: index work arrays of the harmonic-impedance scan.
// Allocated only by a_harmimp1_1 / a_harmimp1_2 (the scan itself is not built).
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace harmimp1 {

inline std::int32_t ku = 0;    // order of the scan's matrix; lmat has ku+1 entries
inline std::int32_t ntot = 0;  // total node count of the scan; yl is ntot x ntot
inline wakro::FArray<std::int32_t, 1> mbus1{"mbus1"};      // (2*nd2)
inline wakro::FArray<std::int32_t, 1> ssnodes{"ssnodes"};  // nodes per subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> nlookup{"nlookup"};  // node look-up (n of a_harmimp1_1)
inline wakro::FArray<std::int32_t, 1> lmat{"lmat"};        // (ku+1)

}  // namespace harmimp1

void a_harmimp1_1(std::int32_t n);  // mbus1, ssnodes, nlookup(n)
void a_harmimp1_2();                // lmat from the current ku
void d_harmimp1_1();
void d_harmimp1_2();
