// Time-based blocks of the interpolated-signal family: an on-delay, a
// transition timer, a monostable, impulse generators, a triangle/pulse
// generator, and the firing-pulse blocks that compare a ramp with an order and
// turn a gate on and off at the instant of the crossing.
//
// Every output is an interpolated pair OUT = (value at the end of the step, time
// from the change inside the step to the end of the step; 0 when it did not
// change). An input pair X is read the same way; its value is a logic signal
// (true when it rounds to a nonzero integer). An interpolation switch is on only
// when it equals 1; with it off the blocks report no time.
//
// Slots per instance, in the order they are taken (typed stores; the
// configuration written by _cfg and read back by _exe): the records of
// wakro::blocks::layout below. A block built on a detector or on wakro_blp takes
// their STORF after its own, counted in its size; e_xsgen1 keeps the storage of
// wakro_xsgen.
#pragma once

#include <cstdint>

#include "blocks/conventions.h"
#include "blocks/interpolated.h"

namespace wakro::blocks::layout {
namespace xondlay {
enum : std::int32_t { kOnTime = 1, kStorfSize = kOnTime };  // STORF
enum : std::int32_t { kState = 1, kStoriSize = kState };    // STORI: 0 idle, 1 timing, 2 on
}
namespace xttrans {
enum : std::int32_t { kTimeLeft = 1, kChangeTime, kStorfSize = kChangeTime };  // STORF
enum : std::int32_t { kState = 1, kStoriSize = kState };  // STORI: 0 off, 1 turning on, 2 on, 3 turning off
}
namespace xmstab {  // STORF: its own, then its detector's
enum : std::int32_t { kOutput = 1, kEndTime, kSpare, kStorfOwn = kSpare, kStorfSize = kStorfOwn + xzcd::kStorfSize };
}
namespace xigen {
enum : std::int32_t { kHeight = 1, kNextTime, kStorfSize = kNextTime };  // STORF
enum : std::int32_t { kGiven = 1, kStoriSize = kGiven };                 // STORI: impulses given
}
namespace xigen1 {  // e_xigen1: RTCF (the next impulse time moved on by _exe), STORI
enum : std::int32_t { kHeight = 1, kNextTime, kFirstTime, kPeriod, kRtcfSize = kPeriod };
enum : std::int32_t { kGiven = 1, kStoriSize = kGiven };
}
namespace xsgen {  // wakro_xsgen and e_xsgen1_exe
enum : std::int32_t { kTau = 1, kPeriod, kOnTime, kRiseSlope, kFallSlope, kGivenF, kStorfSize = kGivenF };  // STORF
enum : std::int32_t { kHigh = 1, kStorlSize = kHigh };  // STORL: pulse high
}
namespace xsgen1 {  // e_xsgen1: RTCF: phase (degrees, in (0, 360]), duty (%)
enum : std::int32_t { kPhase = 1, kDuty, kMaximum, kMinimum, kRtcfSize = kMinimum };
}
namespace blp {  // STORF: previous order, previous ramp, ramp before that; then its detector's
enum : std::int32_t { kOrder = 1, kRamp, kOlderRamp, kStorfOwn = kOlderRamp, kStorfSize = kStorfOwn + xzcd::kStorfSize };
}
namespace itfp {  // STORF: its own, then its wakro_blp's
enum : std::int32_t { kState = 1, kEndTime, kStorfOwn = kEndTime, kStorfSize = kStorfOwn + blp::kStorfSize };
}
namespace igfp {  // STORF: its own, then two wakro_blp (on, off)
enum : std::int32_t { kState = 1, kStorfOwn = kState, kStorfSize = kStorfOwn + 2 * blp::kStorfSize };
}
}  // namespace wakro::blocks::layout

// On-delay: OUT follows X once X has been on for D without a break; off at once.
void wakro_xondlay(std::int32_t interp, double D, const wakro::blocks::XPair& X,
                   wakro::blocks::XPair& OUT);
// Transition timer: OUT turns on Ton after X turns on and off Toff after X turns
// off; X is not looked at while a delay runs. Initial state 0 off, 1 on.
void wakro_xttrans(std::int32_t initial, double Ton, double Toff, const wakro::blocks::XPair& X,
                   wakro::blocks::XPair& OUT);
// Monostable: one pulse of width max(W, 0) per rising edge of X through 0.5.
void wakro_xmstab(std::int32_t interp, double W, const wakro::blocks::XPair& X,
                  wakro::blocks::XPair& OUT);
// Impulses of height H (H/delt with the area switch on, area H) at T1, T1 + P, ...
void wakro_xigen(std::int32_t area, std::int32_t interp, double T1, double H, double P,
                 wakro::blocks::XPair& OUT);
// Impulses as wakro_xigen with the period 1/F. Tag "IMPULSE     ".
void e_xigen1_cfg(std::int32_t area, double T1, double H, double F);
void e_xigen1_exe(wakro::blocks::XPair& OUT);
// Type 1 triangle rising from minimum to maximum over the on-time (duty % of the
// period 1/F) and falling back over the rest; type 2 pulse at maximum during the
// on-time and at minimum after it. The phase (degrees) shifts the start.
void wakro_xsgen(std::int32_t type, std::int32_t interp, double phase, double F, double duty,
                 double maximum, double minimum, wakro::blocks::XPair& OUT);
// As wakro_xsgen with the constants configured once; always interpolated.
// Tag "E_XSGEN     ".
void e_xsgen1_cfg(std::int32_t type, double phase, double duty, double maximum, double minimum);
void e_xsgen1_exe(std::int32_t type, double F, wakro::blocks::XPair& OUT);
// Crossing of a ramp A with an order B, corrected where the ramp leaves the band
// [L, U] between two samples. OUT(1) +1 rising, -1 falling (or 1/0 where
// corrected), OUT(2) the time since the crossing.
void wakro_blp(double A, double B, double U, double L, wakro::blocks::XPair& OUT);
// Firing pulse of a fixed width from each rising crossing of the ramp over the
// order; enable 0 starts no new pulse.
void wakro_itfp(std::int32_t enable, double width, double U, double L, double ramp, double order,
                wakro::blocks::XPair& OUT);
// Gate on at a rising crossing of the on ramp over the on order, off when the
// off ramp falls through the off order; enable 0 holds the gate off.
void wakro_igfp(std::int32_t enable, double U, double L, double onRamp, double onOrder,
                double offOrder, double offRamp, wakro::blocks::XPair& OUT);
