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
// configuration written by _cfg and read back by _exe):
//   wakro_xondlay   STORF 1: switch-on time.  STORI 1: state (0 idle, 1 timing, 2 on)
//   wakro_xttrans   STORF 2: time left, time of the input change.
//                   STORI 1: state (0 off, 1 turning on, 2 on, 3 turning off)
//   wakro_xmstab    STORF 3: output, end time, spare; then STORF 1 of its detector
//   wakro_xigen     STORF 2: impulse height, time of the next impulse.  STORI 1: impulses given
//   e_xigen1        RTCF 4: height, next impulse time (moved on by _exe), first time,
//                   period.  STORI 1: impulses given
//   wakro_xsgen     STORF 6: time within the period, period, on-time, rising slope,
//                   falling slope, frequency as given.  STORL 1: pulse high
//   e_xsgen1        RTCF 4: phase (degrees, in (0, 360]), duty (%), maximum,
//                   minimum; storage as wakro_xsgen
//   wakro_blp       STORF 3: previous order, previous ramp, ramp before that; then
//                   STORF 1 of its detector
//   wakro_itfp      STORF 2: output state, end time; then the 4 of its wakro_blp
//   wakro_igfp      STORF 1: output state; then 4 + 4 of two wakro_blp (on, off)
#pragma once

#include <cstdint>

#include "blocks/conventions.h"

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
