// Core saturation of transformers with two to four windings per phase (a bank of
// three single-phase units, or one unit serving all three phases). Each phase's
// magnetising current is found at the core, behind the leakage of winding 1:
// the winding-1 voltage, less its resistive drop, is integrated to a flux, the
// leakage flux of winding 1 is taken off, and a characteristic turns the core
// flux into a current. That current is shared among the windings as it divides
// through their leakage inductances, and each winding's share, referred to the
// winding by its turns ratio, is the current source of a magnetising branch
// across that winding (branches::ccbr; the branch itself adds no conductance).
//
// Three members differ in the characteristic:
//   tsat2  the hyperbola of the three-phase form (saturation.h), with flux decay
//          and holding;
//   tsat3  a hysteresis loop from a pair of hyperbolas, with initial fluxes; a
//          selector 1..4 places the magnetising branch directly across that
//          winding instead (no resistive or leakage correction, no sharing);
//   tsat4  a magnetisation model in physical units (anhysteretic curve with
//          pinning), the same selector.
//
// The _cfg routine runs once in the begin pass, after the windings are
// configured; the _exe routine runs every step of the dynamics pass, meeting the
// same configuration pointer. Branches are numbered per winding and phase in the
// order (winding 1: A, B, C), (winding 2: A, B, C), ...; 0 is an absent branch;
// only the branches of windings 1..NW are read. Per step the units kA, kB, kC
// of the three phases (the same number three times for a three-phase unit),
// the tap winding and tap setting (taps below 0.001 count as 0.001), and the
// enable flag (0: currents computed, then cleared, nothing injected).
//
// Refused at set-up (messages with the component's ids, then the run ends under
// the routine tag): NW outside 2..4, a selector outside 0..NW, S, a winding
// voltage or f not above 0, a used leakage reactance not above 0, a
// characteristic that cannot be formed. Refused on the first step: a unit
// outside 1..jset, or winding count of unit kA other than NW, and branches or
// subsystem that do not exist.
//
// Units: kV, kA, MVA, s, H; fluxes in kV s. Reactances in pu on S and V1.
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
inline constexpr std::string_view kTsat2Tag = "TSAT2       ";
inline constexpr std::string_view kTsat3Tag = "TSAT3       ";
inline constexpr std::string_view kTsat4Tag = "Transformer ";
}  // namespace wakro

// The records of the three members, declared once. The configuration records
// (rtcf) are addressed by position from 0 (slot = position + 1), the state
// (e_s2::stor from nexc + 1) and the selector (rtci) by slot.
namespace wakro::transformers::layout {
namespace multiwinding {
// Positions every member's configuration record shares (written at set-up by
// the common skeleton).
enum : std::int32_t {
  kAdvance1 = 1,  // a1, a2: the advance coefficients of the winding-1 branches
  kAdvance2,
  kRatios = 15,             // N2 = V1/V2, N3, N4 (as far as NW goes)
  kLeakages = kRatios + 3,  // the six pair leakage inductances [H]
  kLeakageCount = 6,
  kCommonEnd = kLeakages + kLeakageCount,  // the first position after them
  kShareSlots = 9,                         // winding shares in the state: NW a phase, at most 3 x 3
};
// The hyperbola's constants, where tsat2 and tsat3 keep them (as the
// three-phase form does).
namespace curve {
enum : std::int32_t {
  kAirReactance = 3,  // Xa [pu]
  kMagnetising,       // Im [pu]
  kKneeVoltage,       // Vk [pu]
  kOmega = 7,         // w [rad/s]
  kRating,            // S [MVA]
  kCurveC,            // c [(kV s)^2]
  kCurveH,            // h = 0.5 / La [1/H]
  kKneeFlux,          // Phik [kV s]
};
}  // namespace curve
}  // namespace multiwinding

// The selector of tsat3 and tsat4 in rtci: 0 behind winding 1, 1..4 across
// that winding.
namespace selector::rtci {
enum : std::int32_t { kSelector = 1, kSize = kSelector };
}

namespace tsat2 {
namespace rtcf {
enum : std::int32_t {
  kDecay = 0,          // D [1/s]
  kRelease = 6,        // Tr [s]
  kWindingCount = 12,  // NW as set up
  kZeroOffset,         // i0 [kA]
  kHoldCurrent,        // Ih [kA]
  kSize = multiwinding::kCommonEnd
};
}  // namespace rtcf
namespace stor {
enum : std::int32_t {
  kScaledC = 2,     // c T^2
  kScaledH,         // h / T^2
  kScaledOffset,    // i0 at T
  kScaledKnee,      // Phik T
  kScaledHold = 9,  // Ih / T
  kScale,           // T of the last rescaling
  kFluxA,           // flux of phase A, then its slope; B and C follow
  kSlopeA,
  kCurrentA = kFluxA + 6,    // phase magnetising currents [kA]
  kSharesA = kCurrentA + 3,  // share of winding j in phase p at kSharesA + (p - 1) NW + j - 1
  kSize = kSharesA + multiwinding::kShareSlots - 1
};
}  // namespace stor
}  // namespace tsat2

namespace tsat3 {
namespace rtcf {
enum : std::int32_t {
  kInnerC = 25,                // 4 q La (its c = 4 p28 La at curve::kCurveC)
  kInnerKnee,                  // d2 = Phik - 2 Ihw La
  kAirInductance,              // La
  kOuterP,                     // p28
  kInnerQ,                     // q
  kHalfWidth,                  // Ihw, the loop's half width [kA]
  kInitialFluxA,               // initial fluxes of phases A, B, C [kV s]
  kSpare = kInitialFluxA + 3,  // six positions not used
  kWindingCount = 12,          // NW as set up
  kSize = kSpare + 6
};
}  // namespace rtcf
namespace stor {
enum : std::int32_t {
  kOuterC = 2,  // the loop at the scale T (hysteresis_loop.h)
  kCurveH,
  kOuterOffset,
  kOuterKnee,
  kScale = 10,  // T of the last rescaling
  kFluxA,       // flux of phase A, then its previous advanced voltage
  kLastVoltageA,
  kCurrentA = kFluxA + 6,    // phase currents [kA]
  kSharesA = kCurrentA + 3,  // winding shares as tsat2's
  kInnerC = 30,
  kInnerKnee,
  kInnerOffset,
  kAirInductance,  // La T^2
  kOuterP,
  kInnerQ,
  kHalfWidth,                 // Ihw / T
  kCoreFluxA = 38,            // previous core fluxes
  kBranchA = kCoreFluxA + 3,  // 0 none, 1 rising, 2 falling
  kSigmaA = kBranchA + 3,     // the loop scale sigma
  kRhoA = kSigmaA + 3,        // the loop offset rho
  kSpare = kRhoA + 3,         // eleven slots not used
  kSize = kSpare + 10
};
}  // namespace stor
}  // namespace tsat3

namespace tsat4 {
namespace rtcf {
enum : std::int32_t {
  kInitialFluxA = 3,  // initial fluxes of phases A, B, C [kV s]
  kParameters = 6,    // P6 .. P14 (P8 = F1, P9 = F2)
  kParameterCount = 9,
  kOmega = multiwinding::kCommonEnd,  // w [rad/s]
  kDensity,                           // Bn [T]
  kWindingVoltage,                    // Vw, the selected winding's voltage [kV]
  kAirInductance,                     // La on Vw [H]
  kWindingCount,                      // NW as set up
  kSpare,                             // not used (nor is position 0)
  kSize = kSpare + 1
};
}  // namespace rtcf
namespace stor {
enum : std::int32_t {
  kFluxA = 1,  // per phase: flux, previous advanced voltage, B, H, M, dM/dH
  kLastVoltageA,
  kDensityA,
  kFieldA,
  kMagnetisationA,
  kSlopeA,
  kPhaseStride = 6,                       // phase B's slots follow phase A's at this distance
  kCurrentA = kFluxA + 3 * kPhaseStride,  // phase currents [kA]
  kSharesA = kCurrentA + 3,               // winding shares as tsat2's
  kDirectionA = kSharesA + multiwinding::kShareSlots,  // the directions delta
  kCoreFluxA = kDirectionA + 3,                        // the core fluxes
  kSpare = kCoreFluxA + 3,                             // four slots not used
  kSize = kSpare + 3
};
}  // namespace stor
}  // namespace tsat4
}  // namespace wakro::transformers::layout

// tsat2: 24 constants in rtcf, 28 slots of e_s2::stor. X air-core reactance
// [pu], K knee voltage [pu], T decay time [s], I magnetising current [%], Tr
// the time until which the flux is held at the holding threshold. x12, x13, x23
// the pair leakage reactances (with four windings the sum of all six is used).
void tsat2_cfg(std::int32_t nw, std::int32_t b1a, std::int32_t b1b, std::int32_t b1c,
               std::int32_t b2a, std::int32_t b2b, std::int32_t b2c, std::int32_t b3a,
               std::int32_t b3b, std::int32_t b3c, std::int32_t b4a, std::int32_t b4b,
               std::int32_t b4c, std::int32_t ss, double s, double x, double k, double f, double t,
               double i, double tr, double x12, double x13, double x23, double x5, double x6,
               double x7, double v1, double v2, double v3, double v4);

// tsat3: 40 constants in rtcf and the selector in rtci, 60 slots of e_s2::stor.
// width: the loop's width at zero flux [% of the peak magnetising current];
// phi0a..c: initial fluxes [pu of the rated peak flux]. The characteristic is
// formed on the rated voltage of the selected winding (winding 1 for 0).
void tsat3_cfg(std::int32_t nw, std::int32_t sel, std::int32_t b1a, std::int32_t b1b,
               std::int32_t b1c, std::int32_t b2a, std::int32_t b2b, std::int32_t b2c,
               std::int32_t b3a, std::int32_t b3b, std::int32_t b3c, std::int32_t b4a,
               std::int32_t b4b, std::int32_t b4c, std::int32_t ss, double s, double x, double k,
               double f, double i, double x12, double x13, double x23, double x5, double x6,
               double x7, double v1, double v2, double v3, double v4, double width, double phi0a,
               double phi0b, double phi0c);

// tsat4: 30 constants in rtcf and the selector in rtci, 40 slots of e_s2::stor.
// bn nominal flux density [T], xair air-core reactance [pu]; p6..p14 the
// magnetisation model's parameters (p8 = F1, p9 = F2; see the source).
// Refuses also f below 1e-6, F2 < F1, Bn below 0.001, xair below 0.001 and
// P10, P12 or P14 equal to 0.
void tsat4_cfg(std::int32_t nw, std::int32_t sel, std::int32_t b1a, std::int32_t b1b,
               std::int32_t b1c, std::int32_t b2a, std::int32_t b2b, std::int32_t b2c,
               std::int32_t b3a, std::int32_t b3b, std::int32_t b3c, std::int32_t b4a,
               std::int32_t b4b, std::int32_t b4c, std::int32_t ss, double s, double f, double x12,
               double x13, double x23, double x5, double x6, double x7, double v1, double v2,
               double v3, double v4, double bn, double xair, double phi0a, double phi0b,
               double phi0c, double p6, double p7, double p8, double p9, double p10, double p11,
               double p12, double p13, double p14);

// The step routines of the three members take the same arguments.
void tsat2_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable);
void tsat3_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable);
void tsat4_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable);
