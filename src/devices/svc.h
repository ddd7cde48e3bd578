// The static var compensator set up from its ratings: svc1_cfg in the begin pass,
// svc1_exe every step (the circuit is described in svc_model.h).
//
// svc1_cfg appends 131 RTCF and 4 RTCI slots, read back by svc1_exe:
//   RTCF 1 LT; 2 r; 3 Cs (F); 4, 5 RON, ROFF; 6 CST (F); 7 C0 (F); 8 RD; 9-72
//   M^-1 row by row; 73-78 the TCR voltage matrix D row by row; 79-110 M^-1 B row
//   by row; 111, 112 reserved; 113-120 row 9 of L9 T; 121 sqrt 3 S / V1; 122
//   SCALE; 123 GSH; 124 GC; 125, 126 KP, KI; 127 FKNEE; 128 TFLUX; 129 XAIR; 130
//   V1; 131 F.  RTCI: NCAP, NC0, NSUB, NREF.
// svc1_exe takes 241 stor slots: 2 for the one-step advance of the terminal
// voltages, the device's block of 233, and 2 per phase for the core saturation.
//
// The device meets the network through three interface branches, each between
// ground and a terminal node (either way round: the measured voltage and the
// injected current follow the branch's orientation), with conductance
// (GC + GSH) SCALE whose history the device forms, and three series R-C branches
// of 7 V1^2 / S ohm and a time constant of ten steps.
#pragma once

#include <cstdint>

#include "devices/svc_model.h"

namespace wakro::devices::layout {
namespace svc1 {
// RTCF: the eight leading constants (svc_head), then as listed above.
enum : std::int32_t {
  kMinv = svc_head::kSize + 1, kD = kMinv + 64, kMinvB = kD + 6, kReserved = kMinvB + 32, kRow9 = kReserved + 2,
  kIsat = kRow9 + 8, kScale, kGsh, kGc, kKp, kKi, kFknee, kTflux, kXair, kV1, kF, kRtcfSize = kF
};
static_assert(kMinv == 9 && kD == 73 && kMinvB == 79 && kRow9 == 113 && kIsat == 121 && kF == 131);
enum : std::int32_t { kNcap = 1, kNc0, kNsub, kNref, kRtciSize = kNref };  // RTCI
// svc1_exe's stor: the advance of the terminal voltages, the block, three saturations.
inline constexpr std::int32_t kAdvanceStor = 2;
inline constexpr std::int32_t kStorSize = kAdvanceStor + svc_block::kStorSize + 3 * stsvc2::kStorSize;
}
}  // namespace wakro::devices::layout

// The ratings, in the order of svc1_cfg's arguments.
struct SvcRatings {
  std::int32_t iss = 1;
  std::int32_t ibr[3] = {0, 0, 0};  // interface branches, phases a, b, c
  std::int32_t irc[3] = {0, 0, 0};  // series R-C branches
  double s = 0.0;                   // MVA, three-phase
  double v1 = 0.0, v2 = 0.0;        // kV, primary and secondary line voltages
  double im[3] = {0.0, 0.0, 0.0};   // magnetising currents of W1, W2, W3, percent
  double f = 0.0;                   // Hz
  double x12 = 0.0, x13 = 0.0, x23 = 0.0;  // leakage reactances, pu on S
  double ql = 0.0, qc = 0.0, q0 = 0.0;     // MVAr
  double r = 0.0, cs_uf = 0.0;             // snubber, ohm and uF
  double ron = 0.0, roff = 0.0, rd = 0.0;  // ohm
  std::int32_t ncap = 0, nc0 = 0;
  double kp = 0.0, ki = 0.0;
  std::int32_t nsub = 1, nref = 1;
  double xair = 0.0, fknee = 0.0, gsh = 0.0, tflux = 0.0, scale = 1.0;
};

// Begin pass: checks the data (a zero rating, voltage, frequency, magnetising
// current or reactive power, fewer than 1 stage or a negative initial count,
// non-positive RD, Cs, XAIR, TFLUX or reactor inductance, SCALE 0, NSUB below 1,
// an interface branch not between ground and a node, or a singular inductance
// matrix stop with tag "SVC"), defines the six branches, records the harmonic
// impedances and appends the configuration. ROFF <= RON stops with "On
// resistance must be less than Off resistance"; NCAP above 10 and NC0 above NCAP
// are reset with a warning each.
void svc1_cfg(const SvcRatings& d);
void svc1_cfg(std::int32_t iss, std::int32_t ibr1, std::int32_t ibr2, std::int32_t ibr3, std::int32_t irc1,
              std::int32_t irc2, std::int32_t irc3, double s, double v1, double v2, double im1, double im2,
              double im3, double f, double x12, double x13, double x23, double ql, double qc, double q0, double r,
              double cs, double ron, double roff, double rd, std::int32_t ncap, std::int32_t nc0, double kp,
              double ki, std::int32_t nsub, std::int32_t nref, double xair, double fknee, double gsh, double tflux,
              double scale);
// Every step: integrates the compensator and writes the Norton currents of its
// interface branches: (saturation - X1 + GC v) SCALE with enab >= 1, GC v SCALE
// otherwise. cord is read and rewritten; cmode and ncord are outputs.
void svc1_exe(std::int32_t iss, std::int32_t ibr1, std::int32_t ibr2, std::int32_t ibr3, double alpha, double& cord,
              std::int32_t enab, std::int32_t& cmode, std::int32_t& ncord, std::int32_t fsrc);
