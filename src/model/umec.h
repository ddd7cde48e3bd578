// Module umec: UMEC magnetic-core state of the transformers (transformer last).
// The counts 23 (flux paths) and 10 (curve points) are fixed by the core model.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace umec {

inline constexpr std::int32_t kFluxPaths = 23;
inline constexpr std::int32_t kCurvePoints = 10;

// Allocated by a_umec in this order.
inline wakro::FArray<double, 1> awlm{"awlm"};        // cross-section of the wound limbs (nd4)
inline wakro::FArray<double, 1> lwlm{"lwlm"};        // length of the wound limbs (nd4)
inline wakro::FArray<double, 1> ayok{"ayok"};        // cross-section of the yokes (nd4)
inline wakro::FArray<double, 1> lyok{"lyok"};        // length of the yokes (nd4)
inline wakro::FArray<double, 1> aol{"aol"};          // cross-section of the outer leakage path (nd4)
inline wakro::FArray<double, 1> lol{"lol"};          // length of the outer leakage path (nd4)
inline wakro::FArray<double, 2> nturn{"nturn"};      // turns of each winding (nd3, nd4)
inline wakro::FArray<double, 1> msl1{"msl1"};        // core datum (nd4)
inline wakro::FArray<double, 2> ai{"ai"};            // per-winding core datum (nd3, nd4)
inline wakro::FArray<double, 1> zes{"zes"};          // core datum (nd4)
inline wakro::FArray<double, 2> dvolt{"dvolt"};      // winding voltage increment of the step (nd3, nd4)
inline wakro::FArray<double, 2> dvoltd{"dvoltd"};    // the previous step's dvolt
inline wakro::FArray<double, 2> dphi{"dphi"};        // flux increments of the step (23, nd4)
inline wakro::FArray<double, 2> dphid{"dphid"};      // the previous step's dphi
inline wakro::FArray<double, 2> xt{"xt"};            // core value table (10, nd4)
inline wakro::FArray<double, 2> yt{"yt"};            // second core value table (10, nd4)
inline wakro::FArray<double, 2> fininjs{"fininjs"};  // saturation injection of each winding (nd3, nd4)
inline wakro::FArray<double, 2> fininjsd{"fininjsd"};  // the previous step's fininjs
inline wakro::FArray<std::int32_t, 1> satenab{"satenab"};  // saturation enabled (nd4)
inline wakro::FArray<std::int32_t, 1> wn{"wn"};            // integer core datum (nd4)
inline wakro::FArray<std::int32_t, 1> bn{"bn"};            // integer core datum (nd4)
inline wakro::FArray<std::int32_t, 1> cor{"cor"};          // core type datum (nd4)
inline wakro::FArray<std::int32_t, 2> satflag{"satflag"};  // saturation state flags (23, nd4)
inline wakro::FArray<std::int32_t, 1> injcur{"injcur"};    // injection option (nd4)
inline wakro::FArray<double, 1> ramp{"ramp"};              // saturation ramp value (nd4)

inline std::int32_t coreinj = 0;  // core-injection state of the UMEC model, cleared at each run's start

}  // namespace umec
