// Three-phase voltage and power meters on the solved network: the line-to-line
// RMS voltage of a three-phase set, the three-phase real and reactive power
// through three branches, their node-based forms and a single-phase P/Q meter.
//
// They read the network's shared arrays as network_reads.h says (node 0 reads
// 0 V; the node, branch and subsystem numbers are checked at the time-zero pass)
// and smooth through realp2. Voltages and currents are those of vdc and cbr,
// powers their product; no per-unit scaling.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on; records
// in wakro::blocks::layout below):
//   vm3ph2, p3ph2, q3ph2   stor: realp2
//   p3ph3, q3ph3    stor: realp2, then the unsmoothed power of this step
//   pqvi1ph         stor: rms3 of v, rms3 of i, phd3 (3), realp2 of the angle,
//                   realp2 of P; then its STORF
//
// Fatal stops at the time-zero pass: a zero or too large branch under "P3PH3",
// "Q3PH3", "PQVI1PH"; a node beyond the subsystem under "VM3PH2", "P3PH2",
// "Q3PH2", "PQVI1PH"; a ground node in p3ph2 / q3ph2 with the framed console text
// of outmsg 421 / 420 under "OUTMSG".
#pragma once

#include <cstdint>

#include "blocks/continuous.h"

namespace wakro::blocks::layout {
namespace branch_power {  // p3ph3, q3ph3: stor: realp2, then the unsmoothed power
enum : std::int32_t { kPower = 1, kStorOwn = kPower, kStorSize = realp2::kStorSize + kStorOwn };
}
namespace pqvi1ph {  // STORF
enum : std::int32_t { kP = 1, kQ, kStorfSize = kQ };
}
}  // namespace wakro::blocks::layout

// 0.7407 (max - min of the three node voltages), smoothed with T.
double vm3ph2(std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, double T);
// Three-phase power through branches ka, kb, kc, measured at the from-nodes when
// (ka >= 0 and end = 0) or (ka < 0 and end != 0), else at the to-nodes; negated
// when ka < 0.
double p3ph3(std::int32_t ss, std::int32_t ka, std::int32_t kb, std::int32_t kc, double T, std::int32_t end);
double q3ph3(std::int32_t ss, std::int32_t ka, std::int32_t kb, std::int32_t kc, double T, std::int32_t end);
// Power at nodes na, nb, nc with the currents of the branches to ma, mb, mc (or,
// when any m is 0, of the branches to ground, negated).
double p3ph2(std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, std::int32_t ma, std::int32_t mb,
             std::int32_t mc, double T);
double q3ph2(std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, std::int32_t ma, std::int32_t mb,
             std::int32_t mc, double T);
// Single-phase P and Q at node with branch k (negated when k < 0); the caller
// reads P at STORF(NSTORF - 2) and Q at STORF(NSTORF - 1).
void pqvi1ph(std::int32_t ss, std::int32_t node, std::int32_t k, double T);
