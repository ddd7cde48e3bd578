// Surge and test-signal generators: a trapezoid over an input axis, the
// double-exponential impulse of a lightning or switching surge, the
// concave-front lightning current, and a sine, three-level square or harmonic
// test signal with a ramped envelope.
//
// The surges are _cfg/_exe pairs over the configuration store: _cfg checks its
// parameters (a bad one stops the run before any slot is taken) and writes its
// constants; _exe reads them back in the same order. sgen11 is an old-style
// block with its state in stor.
//
// Slots per instance, in the order they are written: the records of
// wakro::blocks::layout below.
// Surge times are in microseconds from the start time; every surge is 0 until
// half a step after its start.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace surge1 {
enum : std::int32_t { kHasRise = 1, kHasFall, kHasFlat, kRtclSize = kHasFlat };  // RTCL
enum : std::int32_t {                                                             // RTCF
  kRiseSlope = 1, kFallSlope, kRiseIntercept, kFallIntercept, kX1, kX2, kX3, kX4, kPeak, kRtcfSize = kPeak
};
}
namespace surge_ieee1 {  // RTCF: a, b (1/us), the normaliser k, peak, start time
enum : std::int32_t { kA = 1, kB, kNormaliser, kPeak, kStart, kRtcfSize = kStart };
}
namespace surge_cigre1 {  // RTCF: times in us
enum : std::int32_t { kA = 1, kB, kN, kTn, kTau1, kTau2, kI1, kI2, kStart, kRtcfSize = kStart };
}
namespace sgen11 {  // stor: the increment and phase of five components, the stop time after the third
enum : std::int32_t {
  kIncrement1 = 1, kPhase1, kIncrement2, kPhase2, kIncrement3, kPhase3, kStopTime,
  kIncrement4, kPhase4, kIncrement5, kPhase5, kStorSize = kPhase5
};
}
}  // namespace wakro::blocks::layout

// Trapezoid: 0 up to X1, a straight rise to the peak at X2, flat to X3, a
// straight fall to 0 at X4, 0 beyond. Tag "SURGE       ".
void surge1_cfg(double x1, double x2, double x3, double x4, double peak);
void surge1_exe(double x, double& y);

// k peak (exp(-a t) - exp(-b t)). type -2: A front time, B half-value time (us),
// the polarity switch picks the front constant; type -1: a = A, b = B; types
// 1 .. 7: preset shapes. Tag "SURGE_IEEE1 ".
void surge_ieee1_cfg(std::int32_t type, std::int32_t polarity, double a, double b, double peak,
                     double start);
void surge_ieee1_exe(double& y);

// Concave-front lightning current of maximum steepness sm (per us), tail
// half-value time th (us), front time tf (us) and peak i. Tag "SURGE_CIGRE1".
void surge_cigre1_cfg(double sm, double th, double tf, double i, double start);
void surge_cigre1_exe(double& y);

// Test signal: type 1 sine, 2 three-level square, N >= 3 a series of harmonics
// of f (from the group m on when m >= 2); the envelope ramps up over rampCycles
// periods; the signal lasts rampCycles + signalCycles periods from start.
// Reports the signal on the console at time zero.
double sgen11(std::int32_t type, double amplitude, double f, std::int32_t m, double rampCycles,
              double signalCycles, double start);
