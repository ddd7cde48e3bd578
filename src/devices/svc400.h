// The static var compensator set up from data lines, in one routine: the same
// circuit and step as the rated form (svc_model.h), with the transformer's
// inductance matrix and the valve and capacitor data read from the component
// data file at time zero, the constants kept in its own storage, and the network
// met through Norton injections at its three terminal nodes.
//
// Data lines (current input unit, each after the comment skip, free format):
//   1 .. 9  row i of the lower triangle of L9 (H), i values on line i; states
//           W1 a, b, c, W3 a, b, c, W2 a, b, c
//   10      LT (H), r (ohm), Cs (uF), RON, ROFF (ohm)
//   11      CST (uF), RD (ohm), NCAP, NC0, C0 (uF)
// Storage, 389 stor slots from the call's first: 1-2 the one-step advance of the
// terminal voltages (always at 60 Hz); 3-144 the constants (LT, r, Cs, RON,
// ROFF, CST, C0, RD in farads and ohms, M^-1 and M^-1 B row by row, NCAP, NC0);
// 145-377 the device's block; 378-383 the core saturation; 384-386 the terminal
// snubber's conductance G = 20 / (21 R) with R = 7 V1^2 / S, 2 G / 21 and 19 / 21;
// 387-389 its three history currents.
#pragma once

#include <cstdint>

#include "devices/svc_model.h"

namespace wakro::devices::layout {
namespace svc400 {
// The constants' view: the eight leading constants (svc_head), M^-1, M^-1 B,
// NCAP, NC0; the rest of the view unused.
enum : std::int32_t {
  kMinv = svc_head::kSize + 1, kMinvB = kMinv + 64, kNcap = kMinvB + 32, kNc0, kConstantsStor = 142
};
static_assert(kMinv == 9 && kMinvB == 73 && kNcap == 105 && kNc0 == 106);
// The terminal snubber's view: G, 2 G / 21, 19 / 21, three history currents.
enum : std::int32_t { kSnubG = 1, kSnubA, kSnubB, kSnubH, kSnubberStor = kSnubH + 2 };
inline constexpr std::int32_t kAdvanceStor = 2;
inline constexpr std::int32_t kStorSize =
    kAdvanceStor + kConstantsStor + svc_block::kStorSize + 3 * stsvc2::kStorSize + kSnubberStor;
}
}  // namespace wakro::devices::layout

// A data line that cannot be read stops with "Error reading SVC data line <n>"
// and the line shown (tag "SVC400"); data that the circuit cannot take (a
// non-positive inductance diagonal, rating, voltage, frequency, LT, Cs, CST, RD,
// XAIR or TFLUX, fewer than one stage, a negative initial count, ROFF <= RON,
// SCALE 0, NSUB below 1, a singular inductance matrix) stops too. NCAP above 10
// and NC0 above NCAP are reset with a warning box each.
void svc400(std::int32_t iss, std::int32_t node1, std::int32_t node2, std::int32_t node3, double alpha,
            double& cord, std::int32_t enab, std::int32_t& cmode, std::int32_t& ncord, std::int32_t fsrc, double kp,
            double ki, std::int32_t nsub, std::int32_t nref, double s, double v1, double f, double xair,
            double fknee, double gsh, double tflux, double scale);
