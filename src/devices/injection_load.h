// A voltage- and frequency-dependent load at one node with no branch of its own.
//
// tldm34(node, ss, p0, q0, vbase, np, nq, kpf, kqf, f0)
//   p0     in  real power, MW (a negative value counts as 0)
//   q0     in  reactive power, Mvar (> 0 inductive)
//   vbase  in  rated voltage, kV RMS; above 1e-4, else the run stops
//   np, nq in  voltage exponents of P and Q
//   kpf, kqf in frequency coefficients of P and Q
//   f0     in  rated frequency, Hz; above 0, else the run stops
//
// The load is a series inductance Ls (reactance 10 % of the base impedance)
// feeding an internal node with a shunt resistance R in parallel with a shunt
// inductance or capacitance, all with trapezoidal companions. It enters the
// network as a Norton equivalent at the node (add_norton every step). R is fitted
// again at zero crossings of its current, the shunt element at zero crossings of
// its current, each when the per-unit voltage (limited to [0.8, 1.25]) moved by
// more than 0.01 since its last fit: P = Vpu^np p0 (1 + kpf df), Q likewise.
// df comes from the intervals between zero crossings of the node voltage.
//
// Takes 34 slots of stor on every call (layout::tldm34 below). At time
// zero appends one harmonic-registry record of kind 7 (R, Lsh or -C, Ls).
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace tldm34 {  // stor: shunt marker (-1 C, +1 L), companions, measurements, held values
enum : std::int32_t {
  kMarker = 1, kGsh, kG, kGLs, kVcoef, kGt, kK, kVi, kIsh, kVlow, kIs, kVhigh, kVheld, kVpuQ,
  kVmean, kA, kVpuP, kIr, kB, kImean, kXs, kVmax, kVmin, kImax, kImin, kIheld, kVprev, kVnow,
  kFalling, kRising, kShortest, kDf, kFirstFalling, kFirstRising, kStorSize = kFirstRising
};
}
}  // namespace wakro::devices::layout

void tldm34(std::int32_t node, std::int32_t iss, double p0, double q0, double vbase, double np,
            double nq, double kpf, double kqf, double f0);
