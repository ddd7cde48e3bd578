// Core saturation of three-phase transformers (or banks of three single-phase
// units): the voltage across one winding per phase is integrated to a flux, and
// a hyperbolic flux-current characteristic gives the magnetising current, which
// enters the network as a current source. The windings themselves are linear.
//
// The characteristic, for a flux phi: with y = |phi| - Phik,
//   m = (y + sqrt(y^2 + c)) h - i0,   current = m with the sign of phi,
// where h = 0.5 / La (La the air-core inductance), Phik the knee flux and i0 the
// offset that makes m(0) = 0. It rises slowly below the knee and approaches the
// air-core line of slope 1/La through Phik above it. From the nameplate (S in
// MVA, V in kV, X air-core reactance in pu, K knee voltage in pu, f in Hz, Im
// magnetising current in pu):
//   La = Xa V^2 / (w S), Ipk = sqrt2 Im S / V, Phin = sqrt2 V / w, Phik = Vk Phin,
//   a = La / Phik^2, d = La Ipk - Phin, e = d / Phik,
//   Dq = e^2 - 4 a (d + Phik) Ipk, b = (e + sqrt(Dq)) / 2, c = -4 La b / a,
// with Xa = max(|X|, 0.002) and Vk = |K| when |K| >= 1.01, else 1.25. Data for
// which Dq < 0 or c < 0 have no such characteristic and are refused at set-up,
// as are S, V or f not above 0 (messages with the component's ids).
//
// Units: kV, kA, MVA, s, H; fluxes in kV s.
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
inline constexpr std::string_view kTsat1Tag = "TSAT1       ";
inline constexpr std::string_view kTsat21Tag = "TSAT21      ";
inline constexpr std::string_view kTsat21bTag = "TSAT21B     ";
}  // namespace wakro

// The records of the models below, slot by slot (sizes last).
namespace wakro::transformers::layout {
namespace tsat1 {
// rtcf, written by tsat1_cfg and read by tsat1_exe.
namespace rtcf {
enum : std::int32_t {
  kDecay = 1,  // D decay coefficient [1/s]
  kAdvance1,   // a1, a2: the advance coefficients
  kAdvance2,
  kAirReactance,  // Xa [pu]
  kMagnetising,   // Im [pu]
  kKneeVoltage,   // Vk [pu]
  kRelease,       // Tr release time [s]
  kOmega,         // w [rad/s]
  kRating,        // S as passed [MVA]
  kCurveC,        // c [(kV s)^2]
  kCurveH,        // h = 0.5 / La [1/H]
  kKneeFlux,      // Phik [kV s]
  kUnused,
  kZeroOffset,   // i0 [kA]
  kHoldCurrent,  // Ih = 1.2 Ipk [kA]
  kSize = kHoldCurrent
};
}  // namespace rtcf
// stor: the characteristic at the tap t, then per phase flux and slope, then the
// phase currents; slots 1, 6..8, 20 and 21 are not used.
namespace stor {
enum : std::int32_t {
  kUnused1 = 1,
  kScaledC,       // c t^2
  kScaledH,       // h / t^2
  kScaledOffset,  // i0 at the tap
  kScaledKnee,    // Phik t
  kUnused6,
  kUnused7,
  kUnused8,
  kScaledHold,  // Ih / t
  kScale,       // t of the last rescaling
  kFluxA,       // flux of phase A, then its slope; B and C follow
  kSlopeA,
  kCurrentA = kFluxA + 6,  // phase currents A, B, C [kA]
  kUnused20 = kCurrentA + 3,
  kUnused21,
  kSize = kUnused21
};
}  // namespace stor
}  // namespace tsat1
// tsat21 and tsat21b: stor only.
namespace tsat21::stor {
enum : std::int32_t {
  kWarned = 1,   // the late-voltage warning given
  kCurveC,       // c
  kCurveH,       // h
  kZeroOffset,   // i0
  kKneeFlux,     // Phik
  kPeakRatio,    // S Ipk / V^2
  kHalfStep,     // dt/2
  kDecay,        // D
  kHoldCurrent,  // Ih
  kVoltage,      // V of the last set-up
  kFluxA,        // flux of phase A, then its integration history; B and C follow
  kHistoryA,
  kCurrentA = kFluxA + 6,     // phase currents A, B, C
  kAdvance1 = kCurrentA + 3,  // a1, a2
  kAdvance2,
  kSize = kAdvance2
};
}  // namespace tsat21::stor
// Per-phase slots follow phase A's at this stride.
inline constexpr std::int32_t kFluxStride = 2;
}  // namespace wakro::transformers::layout

// Set-up at time zero (begin pass) of three magnetising branches br_a, br_b,
// br_c of subsystem ss (0: the phase is absent): each present branch gets
// conductance 0, is left to this component (branches::defrdbr) and gets a
// harmonic-registry record of kind 9, in phase order. Appends 15 constants to
// rt_config::rtcf (see saturation.cpp for the layout). I in percent of rated
// current; T the flux decay time; Tr the time until which the flux is held.
void tsat1_cfg(std::int32_t br_a, std::int32_t br_b, std::int32_t br_c, std::int32_t ss, double s,
               double v, double x, double k, double f, double t, double i, double tr);

// Per step: 15 constants of rtcf and 21 slots of e_s2::stor. Integrates the
// branch voltages (advanced one step for a full three-phase set) into fluxes,
// rescales the characteristic when the tap moves by 0.001 or more (taps below
// 0.001 count as 0.001) and, when `enable` is not 0, writes each present phase's
// current into branches::ccbr; otherwise the stored currents are cleared.
void tsat1_exe(std::int32_t br_a, std::int32_t br_b, std::int32_t br_c, std::int32_t ss, double tap,
               std::int32_t enable);

// The older single-routine form: phases between node pairs (n1x from, n2x to; a
// phase is present when both nodes lie in 0 .. mbus(ss) and not both are 0). I
// in pu; X <= 1e-6 also removes the zero-sequence part of voltages and currents
// of a full three-phase set; |K| < 1e-6 makes the model inert; K < 0 holds the
// flux while the current is beyond 1.2 Ipk. The current is injected through
// e_s0::ccin when enab is not 0. nll (no-load losses) is not modelled: a value
// above 1e-10 gives a warning. 21 slots of e_s2::stor. No phase present ends
// the run with console message 403. A later V not above 0 keeps the constants in
// use and warns once.
void tsat21(std::int32_t n1a, std::int32_t n2a, std::int32_t n1b, std::int32_t n2b, std::int32_t n1c,
            std::int32_t n2c, std::int32_t ss, double s, double v, double x, double k, double f,
            double t, double i, double nll, std::int32_t enab);
// The same on three branches of ss (their end nodes), each made a damped R-C
// branch at time zero (R = 50 V^2/S, C = 5e6 dt / R uF).
void tsat21b(std::int32_t br_a, std::int32_t br_b, std::int32_t br_c, std::int32_t ss, double s,
             double v, double x, double k, double f, double t, double i, std::int32_t enab);
