// Firing of the static var compensator's twelve-pulse reactor: its three-phase
// phase-locked loop, the twelve gate signals from the tracked angle and a
// firing-angle order, and the on/off rule of one of its thyristor switches.
//
// pll2 and firctl keep their state in the old-style storage of the calling
// compensator, at fixed offsets k from e_s2::nexc at the call (stor(nexc + k)),
// and do not move nexc; the compensator owns and advances that block:
//   1 .. 6    gate signals of the first six-pulse group (1.0 fire, 0.0)
//   29        tracked angle theta, 0 <= theta < 2 pi
//   30        integral of the phase error
//   31 .. 36  gate signals of the second six-pulse group
#pragma once

#include <cstdint>

namespace wakro::devices {

// Offsets of the firing slots from nexc at the call.
inline constexpr std::int32_t kGateGroup1 = 1;
inline constexpr std::int32_t kLoopAngle = 29;
inline constexpr std::int32_t kLoopIntegral = 30;
inline constexpr std::int32_t kGateGroup2 = 31;
// firctl runs the loop on voltages normalised by this base about this frequency.
inline constexpr double kFiringVoltageBase = 100.0;
inline constexpr double kFiringFrequency = 60.0;

}  // namespace wakro::devices

// Three-phase phase-locked loop. On entry sint, cost are the sine and cosine of
// the stored angle; the error valpha cos + vbeta sin drives a PI (kp, ki) that sets
// the angular frequency, held within 0.8 .. 1.2 of 2 pi f0; theta is the angle
// after the step (wrapped once below 2 pi).
void pll2(double va, double vb, double vc, double& sint, double& cost, double kp, double ki, double vbase,
          double f0, double& theta);
// Runs pll2 (base 100, 60 Hz) and sets the twelve gate slots: with enab >= 1 a
// gate is 1.0 while alpha < its reference angle < pi, the second group lagging the
// first by 5 pi / 6; with enab < 1 all are 0.0 (the loop still runs).
void firctl(double alpha, double kp, double ki, std::int32_t enab, double va, double vb, double vc);
// One thyristor switch: an on valve (r = ron) turns off when x < 0 (flag -1); an
// off valve (r = roff) turns on when gate > 0.5 and x > 0 (flag 1); otherwise
// flag 0. A resistance equal to neither (within 1e-6) leaves r and flag alone.
void thyrx(double x, double gate, double& r, double ron, double roff, std::int32_t& flag);
