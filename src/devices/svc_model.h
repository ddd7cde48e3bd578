// The static var compensator's internal circuit, shared by the rated form
// (svc.h, constants in the configuration store, interface branches) and the
// data-file form (svc400.h, constants in its own storage, node injections).
//
// The circuit: a coupling transformer of three single-phase three-winding units
// (primary W1 in wye at the terminals, W3 in delta, W2 in ungrounded wye), a
// twelve-pulse thyristor-controlled reactor in two delta-connected groups (on W3
// and on W2) and a switched capacitor bank of up to ten stages per branch on the
// same groups. It is integrated as 24 states over sub-steps of the step:
//   X1 (3) primary currents, X2 (5) W3 a, b, c and W2 a, b currents,
//   IT (6) reactor currents, VS (6) snubber voltages, U (4) capacitor voltages
//   (branch voltages U1, U2, -U1 - U2 and U3, U4, -U3 - U4).
//
// The device's block of 233 old-style slots (offsets from its first slot):
//   1-6 gates of the delta group (forward a, b, c, reverse a, b, c); 7 valve
//   event flag; 8-10, 11-13 forward and reverse valve resistances of the delta
//   group; 14-16 X1; 17-19 X2(1..3); 20-22 VS(1..3); 23-25 IT(1..3); 26, 27 U1,
//   U2; 28 -U1 - U2; 29, 30 firing-loop angle and integral; 31-36 gates of the
//   wye group; 38-43 its valve resistances; 44, 45 X2(4, 5); 46 -(X2(4) +
//   X2(5)); 47-49 VS(4..6); 50-52 IT(4..6); 53, 54 U3, U4; 56-115 stage voltages
//   VST(k, s) at 55 + 10 (k - 1) + s; 116-121 the six branch voltages; 122-127
//   the previous voltage across each next stage's switch; 128-133 the previous
//   branch currents; 134-139 branch capacitances; 140-145 stages in service;
//   146 stages ordered; 147 switching mode; 148-157 the delta group's matrix H1;
//   158-165 and 228-233 the wye group's H2; 198-227 the valve-branch
//   coefficients P, Q, E, F (at 198, 204, 216, 222).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "blocks/slots.h"

namespace wakro::devices::layout {
namespace svc_block {  // the device's block, as listed above
enum : std::int32_t {
  kGatesDelta = 1,  // forward a, b, c, reverse a, b, c
  kValveEvent = 7,
  kRfDelta = 8,     // forward resistances a, b, c
  kRrDelta = 11,    // reverse resistances
  kX1 = 14,
  kX2Delta = 17,
  kVsDelta = 20,
  kItDelta = 23,
  kU12 = 26,
  kU3Delta = 28,
  kGatesWye = 31,
  kRfWye = 38,
  kRrWye = 41,
  kX2Wye = 44,
  kX2WyeC = 46,
  kVsWye = 47,
  kItWye = 50,
  kU34 = 53,
  kStageVolts = 55,  // VST(k, s) at 55 + 10 (k - 1) + s
  kBranchVolts = 116,
  kDvPrev = 122,
  kIbPrev = 128,
  kCb = 134,
  kNon = 140,
  kNcord = 146,
  kCmode = 147,
  kH1 = 148,   // 2 x 5, row by row
  kH2a = 158,  // first 8 of H2 (2 x 7, row by row)
  kP = 198, kQ = 204, kE = 216, kF = 222,
  kH2b = 228,  // its last 6
  kStorSize = kH2b + 5
};
}
static_assert(svc_block::kStorSize == 233);
namespace svc_head {  // the eight leading constants of both forms' stores
enum : std::int32_t { kLt = 1, kR, kCs, kRon, kRoff, kCst, kC0, kRd, kSize = kRd };
}
namespace stsvc2 {  // stor: previous flux derivative, flux
enum : std::int32_t { kDerivative = 1, kFlux, kStorSize = kFlux };
}
}  // namespace wakro::devices::layout

namespace wakro::devices {

inline constexpr std::int32_t kSvcBlock = layout::svc_block::kStorSize;
inline constexpr std::int32_t kSvcMaxStages = 10;

// The constants of one compensator (per call; nothing carries between instances).
struct SvcConstants {
  double lt = 0.0;    // reactor inductance of a TCR branch, H
  double r = 0.0;     // snubber resistance, ohm
  double cs = 0.0;    // snubber capacitance, F
  double ron = 0.0;   // valve on / off resistance, ohm
  double roff = 0.0;
  double cst = 0.0;   // one capacitor stage, F
  double c0 = 0.0;    // a branch with no stage in service, F
  double rd = 0.0;    // discharge resistance of the stages, ohm
  std::array<double, 64> minv{};   // M^-1, row by row
  std::array<double, 6> d{};       // TCR voltage matrix (3 x 2), row by row
  std::array<double, 32> minvb{};  // M^-1 B (8 x 4), row by row
  std::array<double, 8> row9{};    // row 9 of L9 T
  std::int32_t ncap = 0, nc0 = 0, nsub = 1, nref = 1;
};

// Orders and outputs of one step.
struct SvcOrders {
  double alpha = 0.0;         // firing-angle order, rad
  double* cord = nullptr;     // capacitor order, read and rewritten
  std::int32_t enab = 0;      // firing enable
  std::int32_t fsrc = 0;      // 0: own firing control
  double kp = 0.0, ki = 0.0;  // loop gains
  std::int32_t cmode = 0;     // out: switching in progress (+1, -1, 0)
  std::int32_t ncord = 0;     // out: stages ordered per branch
};

// From the winding inductance matrix L9 (9 x 9, column by column): M = T' L9 T,
// its inverse, M^-1 B and row 9 of L9 T into k. A singular M stops under tag.
void svc_transformer(std::string_view tag, const double* l9, SvcConstants& k);
// The TCR voltage matrix D from k.lt.
void svc_reactor_matrix(SvcConstants& k);
// The eight leading constants lt, r, cs, ron, roff, cst, c0 and rd, which both
// forms keep at positions 1 to 8 of their store s.
void svc_head_from(const blocks::Slots<double>& s, SvcConstants& k);

// One step of the internal circuit on the device's block, with the predicted
// terminal voltages v (kV). Leaves the states in the block; the primary
// currents are block slots 14-16.
void svc_step(const SvcConstants& k, const blocks::Slots<double>& blk, const double (&v)[3], SvcOrders& io);
// Primary current of phase p (1..3) in the block.
double svc_primary_current(const blocks::Slots<double>& blk, std::int32_t p);

}  // namespace wakro::devices

// Core saturation current of one phase (2 stor slots: previous derivative, flux):
// the flux psi follows 2 pi f (1.225 vp / v1) with decay tflux; beyond +-fknee the
// current is -(1 / xair - 0.001) (psi -+ fknee) isc. psi is returned.
double stsvc2(double vp, double xair, double fknee, double v1, double isc, double f, double tflux, double& psi);
