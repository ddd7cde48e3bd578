// Phase-locked oscillators, valve firing references, step-changer commands and
// extinction-angle measurement for converter controls.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on):
//   tveka1_cfg  RTCF 2: 1 / Vbase (1.0 when Vbase <= 1e-20), 2 pi f0
//   tveka1_exe  RTCF 2 (read back); STORF 2: the angle for this step, the integral
//               of the error
//   phd3   stor 3: the stored sign, then two wakro_zcd (of d - 0.5, then of
//          sA - 0.5)
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace tveka1 {
enum : std::int32_t { kInvBase = 1, kOmega0, kRtcfSize = kOmega0 };      // RTCF: 1 / Vbase, 2 pi f0
enum : std::int32_t { kAngle = 1, kIntegral, kStorfSize = kIntegral };  // STORF: angle of this step, integral of e
}
namespace phd3 {  // stor before the two wakro_zcd records
enum : std::int32_t { kSign = 1, kStorOwn = kSign };
}
}  // namespace wakro::blocks::layout

// The constants of a phase-locked oscillator on a three-phase voltage of rated
// value Vbase (line-to-line RMS) and frequency f0 (Hz).
void tveka1_cfg(double Vbase, double f0);
// Phase-locked oscillator: the angle theta of the oscillator against the
// voltage's alpha/beta vector gives the error e = atan2(y, x) - offset; a PI on e
// (Kp, Ki) sets the oscillator's angular frequency, held within [L, U] times
// 2 pi f0. Up to the lock time the output snaps to the measured angle.
//   theta  out  the angle of this step, radians in [0, 2 pi)
//   error  out  e in degrees
//   freq   out  the oscillator's frequency, Hz
// U <= 1 or L outside (0, 1) is replaced (1.2, 0.8) with a warning on every call.
void tveka1_exe(double Va, double Vb, double Vc, double Kp, double Ki, double offset, double lockTime, double U,
                double L, double& theta, double& error, double& freq);

// Phase detector of two signals: d = 1 when exactly one of A > 0, B > 0 holds.
// A rising edge of d sets the stored sign to +1 when A > 0 rose in the same step,
// else to -1. OUT = d x sign (-1, 0 or +1).
void phd3(double A, double B, double& OUT);
