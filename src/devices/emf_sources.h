// Older-style EMF sources writing EBR of one or three existing branches.
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace omegaref {  // e_omegaref, storf: time of the last call, reference angle
enum : std::int32_t { kLastTime = 1, kAngle, kStorfSize = kAngle };
}
namespace esys1 {  // stor: the angle of the last step
enum : std::int32_t { kAngle = 1, kStorSize = kAngle };
}
namespace ramped_emf {  // ebr1p2, ebr3p2, stor: 1 / ramp time (0 without a ramp)
enum : std::int32_t { kRampRate = 1, kStorSize = kRampRate };
}
}  // namespace wakro::devices::layout

// Reference angle advanced by omega over the time since its last call (2 storf
// slots); 2 pi at time zero.
double e_omegaref(double omega);
// Three-phase system source (1 stor slot). A negative branch number reverses that
// branch's EMF; ss < 1 selects the line-to-line form; omega < 0 starts softly
// over three periods.
void esys1(std::int32_t ss, std::int32_t br1, std::int32_t br2, std::int32_t br3, double magnitude,
           double omega, double phase);
// Single-phase (dc != 0: constant) and three-phase ramped sources (1 stor slot
// plus the reference angle).
void ebr1p2(std::int32_t ss, std::int32_t br, double magnitude, double omega, double phase,
            double ramp, std::int32_t dc);
void ebr3p2(std::int32_t ss, std::int32_t br1, std::int32_t br2, std::int32_t br3, double magnitude,
            double omega, double phase, double ramp);
