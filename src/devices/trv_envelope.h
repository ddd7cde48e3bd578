// The transient-recovery-voltage monitor: once a breaker pole starts to open
// (its state input shows 2), the pole's recovery voltage is compared every step
// with a set of piecewise-linear envelopes, timed from the step before that
// input; each envelope is given out (with its negative), and an envelope that
// the voltage passes by more than the margin X raises that pole's flag for it.
// A state input of 0 ends the timing of its pole and clears the stored envelope
// values of all three poles.
//
// Envelopes, numbered 1 .. NC in this order:
//   the four standard envelopes (TYPE 2 .. 5): four values (t1, u1, t2, u2) each
//     in A(1..16);
//   the listed envelopes (TYPE below 4 with N1 + N2 > 0): N1 ramps to a point
//     (t1, u1) and flat after, two values each in B(1..8), then N2 of four values
//     in C(1..16);
//   one envelope from the first point (TYPE 6): the ramp to (A(1), A(2)).
// N1 and N2 lie in 0 .. 4, and NC must be the number of envelopes so selected:
// otherwise the run ends (tag "TRVENVELOPE2").
//
// trvenvelope2_cfg appends RTCL 3 (standard, listed, first-point), RTCI 2 (N1,
// N2), RTCF 41 (X, A, B, C). trvenvelope2_exe reads them back and keeps STORI 3
// (per pole 1 timing, 0 idle) and STORF 3 + 3 NC (opening times of the poles,
// then the envelope values of poles A, B, C). Times in seconds; the voltages in
// the unit of V.
#pragma once

#include <cstdint>
#include <span>

namespace wakro::devices::layout {
namespace trvenvelope2 {
enum : std::int32_t { kL1 = 1, kL2, kL3, kRtclSize = kL3 };  // RTCL: standard, listed, first point
enum : std::int32_t { kN1 = 1, kN2, kRtciSize = kN2 };        // RTCI
// RTCF: X, then A (16), B (8) and C (16) from their first slots.
enum : std::int32_t { kX = 1, kA, kB = kA + 16, kC = kB + 8, kRtcfSize = kC + 15 };
static_assert(kB == 18 && kC == 26 && kRtcfSize == 41);
// An envelope's values in A or C: (t1, u1, t2, u2); the first point of A is (t1, u1).
enum : std::int32_t { kT1 = 1, kU1, kT2, kU2 };
enum : std::int32_t { kPoleA = 1, kStoriSize = kPoleA + 2 };  // STORI: per pole timing or idle
// STORF: the opening times of the three poles, then 3 NC envelope values.
enum : std::int32_t { kOpeningA = 1, kValues = kOpeningA + 3 };
constexpr std::int32_t storf_size(std::int32_t nc) { return kValues - 1 + 3 * nc; }
}
}  // namespace wakro::devices::layout

namespace trv_envelope {
// u1 t / t1 up to t1, u2 from t2 on, and the straight line between.
double envelope(double t, double t1, double u1, double t2, double u2);
}  // namespace trv_envelope

void trvenvelope2_cfg(std::int32_t type, std::int32_t n1, std::int32_t n2, double x,
                      std::span<const double, 16> a, std::span<const double, 8> b,
                      std::span<const double, 16> c);
// STATE, V: the three poles. FA, FB, FC: NC flags each; EA, EB, EC: 2 NC values
// each. K is not used.
void trvenvelope2_exe(std::int32_t nc, std::int32_t k, std::span<const std::int32_t, 3> state,
                      std::span<const double, 3> v, std::span<std::int32_t> fa,
                      std::span<std::int32_t> fb, std::span<std::int32_t> fc,
                      std::span<double> ea, std::span<double> eb, std::span<double> ec);
