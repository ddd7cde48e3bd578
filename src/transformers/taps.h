// On-load tap changers: the case calls one routine per tap changer every step
// (time zero included). Each builds the transformer's new winding matrix before
// inversion in temp1::si from the base values e_s5tap::lorig and rorig (never
// changed by a tap) and hands it to e_change_xfmr. A requested tap that differs
// from the one in effect waits until the watched winding current (e_s0::cdctr of
// the last solved step) has changed sign or is zero since the previous call; it
// then takes effect in one step.
//
// The form of the transformer is the one its base values were stored in: the
// configuration routine's kind (e_s5tap::tkind) when one formed the unit (kind 2,
// the impedance form: lorig = 2L/dt, the matrix R + 2L/dt is inverted; kind 1,
// the admittance form: lorig = (dt/2) Gamma, corrected for the winding resistance
// as A (I + R A)^-1; UMEC, the admittance form with R = 0), else the form of its
// section entry: the sign of e_s5tap::tss (positive, impedance; negative,
// admittance, corrected for R when e_s5::nummag = -1).
//
// Each tap changer appends one harmonic-registry record at time zero and keeps
// that record's tap current afterwards: trtap5 keeps the record's number in its
// third storage slot (0 when the registry was full; any value there but 0 or a
// record of this tap changer stops the run, see store_integer.h), the
// auto-transformer routines in a table keyed by the position of their
// configuration record. Taps on UMEC cores are refused.
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
inline constexpr std::string_view kTrtap5Tag = "TRTAP5      ";
inline constexpr std::string_view kAuto2Tag = "AUTO_TF_2WDG";
inline constexpr std::string_view kAuto3Tag = "AUTO_TF_3WDG";
}  // namespace wakro

// The records of the tap changers, slot by slot (sizes last).
namespace wakro::transformers::layout {
namespace trtap5::stor {
enum : std::int32_t {
  kTap = 1,  // the tap in effect
  kCurrent,  // the watched current of the last call
  kRecord,   // the harmonic-registry record's number
  kUnused4,
  kUnused5,
  kSize = kUnused5
};
}
// Both auto-transformer routines keep the same two slots of storf.
namespace auto_tap::storf {
enum : std::int32_t { kTap = 1, kCurrent, kSize = kCurrent };
}
namespace trtap2wa1::rtcf {
enum : std::int32_t {
  kTapLow = 1,  // r / 51
  kTapHigh,     // r / 1.02
  kRatioLess1,  // r - 1
  kSize = kRatioLess1
};
}
namespace trtap3wa1::rtcf {
enum : std::int32_t {
  kP1 = 1,  // V3^2 / (S w)
  kP2,      // (V1 - V2)^2 / (S w)
  kP3,      // V2^2 / (S w)
  kX1,
  kX2,
  kX3,
  kKa,       // V3 / (V1 - V2)
  kKb,       // V3 / V2
  kM,        // X / 100
  kTapLow,   // V1 / (51 V2)
  kTapHigh,  // V1 / (1.02 V2)
  kSize = kTapHigh
};
}
}  // namespace wakro::transformers::layout

// Tap `tap` (limited to 0.01 .. 100) on winding w of transformer k of subsystem
// ss. Five slots of e_s2::stor from nexc + 1: the tap in effect, the watched
// current of the last call, the registry record's number, two unused; nexc
// advances by 5 on every path. A transformer not of ss (or k outside 1 .. jset),
// a winding outside 1 .. msiz(k) or a UMEC core gives two console lines at time
// zero and no tap action on any step.
void trtap5(std::int32_t k, std::int32_t w, std::int32_t ss, double tap);

// Takes temp1::si(1..n, 1..n) as transformer k's new winding matrix before
// inversion: inverts it (impedance form, pivot limit 1e-20) or corrects it for R
// (admittance form with resistance: kind 1, or an entry with mag = -1), brings
// the change from hm into the conductance matrix of ss in the form it has
// (network's admittance stamp: diagonals and ideal::gms after time zero, mxinv
// lowered to the lowest winding node), and sets
// hm = the new admittance Y, sm = I - 2 Y R. A singular matrix ends the run with
// console message 24 for ss.
void e_change_xfmr(std::int32_t ss, std::int32_t k, std::int32_t mag, std::int32_t n);

// Two-winding auto-transformer. Set-up: transformer k must have two windings,
// wa and wb be its two different windings, V2 > 0 and V1 != V2 (each fatal under
// "AUTO_TF_2WDG"); appends r/51, r/1.02 and r - 1 (r = V1/V2) to rt_config::rtcf.
void trtap2wa1_cfg(std::int32_t k, std::int32_t wb, std::int32_t wa, double v1, double v2);
// Per step: tap limited to the set-up's bounds, c = 1 + (1 - t)/(r - 1); winding
// wa (watched) scales with t, winding wb with c. Two slots of storage::storf (tap
// in effect, watched current); rtcf advances by 3.
void trtap2wa1_exe(std::int32_t k, std::int32_t wb, std::int32_t wa, double tap);

// Three-winding auto-transformer. Set-up: transformer k must have three windings,
// S, f, V2, V3 and X above 0 and V1 != V2 (fatal under "AUTO_TF_3WDG"); appends
// eleven constants to rtcf (see taps.cpp).
void trtap3wa1_cfg(std::int32_t k, double s, double f, double v1, double v2, double v3, double x,
                   double x1, double x2, double x3);
// Per step: the full 3 x 3 matrix of windings wa, wb (watched), wc. Two slots of
// storf; rtcf advances by 11.
void trtap3wa1_exe(std::int32_t k, std::int32_t wa, std::int32_t wb, std::int32_t wc, double tap);
