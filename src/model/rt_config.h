// Module rt_config: the configuration store, written by the _cfg routines at time
// zero and read back by the _exe routines every step at the same pointer values,
// and the transformer hand-over tables.
//
// The four stores are checked in every build. Allocated by a_rtconfig, released by
// d_rtconfig (groups.h); umectfdata and umecsatdata exist without allocation.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace rt_config {

inline wakro::FArray<bool, 1, true> rtcl{"rtcl"};            // logical store (nd61)
inline wakro::FArray<std::int32_t, 1, true> rtci{"rtci"};    // integer store (nd62)
inline wakro::FArray<double, 1, true> rtcf{"rtcf"};          // real store (nd63)
inline wakro::FArray<wakro::cplx, 1, true> rtcc{"rtcc"};     // complex store (nd64)
inline wakro::FArray<double, 2> tfdata{"tfdata"};            // winding data, 2*nd3 x nd3
inline wakro::FArray<double, 2> umecwdgdata{"umecwdgdata"};  // UMEC per-winding data, nd3 x 2

inline wakro::FFixed<double, 8> umectfdata;       // work table of the UMEC transformer reader
inline wakro::FFixed<double, 10, 2> umecsatdata;  // UMEC saturation-curve work table

inline std::int32_t nrtcl = 1;  // next free slot of rtcl
inline std::int32_t nrtci = 1;  // next free slot of rtci
inline std::int32_t nrtcf = 1;  // next free slot of rtcf
inline std::int32_t nrtcc = 1;  // next free slot of rtcc

}  // namespace rt_config
