// The trapezoidal companion of a series R-L-C branch, and its entry into the
// set-up form of the conductance matrix. Written once here; the branch reader,
// the segmented switches, the test fixtures and the benchmarks all call it.
//
// With dt the time step (L in henries, C in microfarads):
//   X_L = 2 L / dt        X_C = dt / (2 C 1e-6) = 500000 dt / C
//   Z = R + X_L + X_C     G = 1 / Z   (0 when |Z| <= 1e-20)
// and the shares of the series voltage that the history gives to each part:
//   rlg = G X_L   rcg = G X_C   rcl = X_C G X_L
//   rsc = (X_C + R) G X_L     rsl = (X_L + R) G X_C
// A part the branch does not have counts 0 in every formula.
//
// Entry into the set-up form (before the time-zero build, see e_s0.h): a branch
// between two nodes adds G to both off-diagonal entries (f, t) and (t, f), which
// are marked in the fill pattern; a branch to ground adds G to the diagonal of
// its one node. A switching branch and an ideal branch are marked in the pattern
// but enter no conductance (the solution takes a switch from its GEQ and
// collapses an ideal branch). Nothing here allocates or writes to the console.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/constants.h"
#include "model/e_s0.h"

namespace wakro {

// An impedance at most this large in magnitude is no impedance: its conductance
// is 0 (and a companion resistance this small has no conductance of its own).
inline constexpr double kNoImpedance = wakro::kTiny;

// Companion resistance of an inductance l [H] and of a capacitance c_uf [uF].
inline double inductive_resistance(double l, double dt) { return 2.0 * l / dt; }
inline double capacitive_resistance(double c_uf, double dt) { return 500000.0 * dt / c_uf; }
// Companion conductance of an inductance alone, dt / (2 L).
inline double inductive_conductance(double l, double dt) { return 0.5 * dt / l; }
// Conductance of a series impedance z: 1 / z, or 0 for no impedance.
inline double series_conductance(double z) { return std::abs(z) > kNoImpedance ? 1.0 / z : 0.0; }

// The companion of one series branch: the resistance taken (after any ideal
// conversion), the companion resistances, the series impedance and conductance.
struct Companion {
  double r = 0.0;
  double xl = 0.0;
  double xc = 0.0;
  double z = 0.0;
  double g = 0.0;
};

// Companion of R, L (when has_l) and C (when has_c) at time step dt. X_C of a
// capacitance of 0 and values too large to represent come out infinite: callers
// that read data check them (the branch reader refuses them).
Companion series_companion(double r, double l, double c_uf, bool has_l, bool has_c, double dt);

// Writes the part conductances of branch b of ss: G2L := 1/X_L and G2C := 1/X_C,
// 0 for a part without conductance.
void set_part_conductances(std::int32_t b, std::int32_t ss, const Companion& k);
// Writes the whole companion of branch b of ss: GEQ, GEQD, GEQON, GEQOF := G,
// the part conductances, and the shares RLG, RCG, RCL, RSC, RSL.
void set_branch_companion(std::int32_t b, std::int32_t ss, const Companion& k);

// The starting state of branch b of ss: part histories CCL, CCLD, CCC, CCCD and
// CCBR 0, current CBR := i0, source EBR, EBRON, EBROF, EBRD := e, and the part
// voltages V12L, V20L from the node voltages VDC (ground 0 V).
void start_branch(std::int32_t b, std::int32_t ss, double i0, double e);

// Marks the two off-diagonal positions of a branch f - t in the fill pattern
// (nothing for a branch to ground).
void mark_branch(const e_s0::FilledView& filled, std::int32_t f, std::int32_t t);
// Adds conductance g of a branch f - t into gm in set-up form: (t, f) and (f, t)
// for two nodes, the diagonal of the node for a branch to ground.
void add_setup_conductance(const e_s0::GmView& gm, std::int32_t f, std::int32_t t, double g);
// Both, into the matrices of subsystem ss.
void stamp_branch(std::int32_t ss, std::int32_t f, std::int32_t t, double g);

}  // namespace wakro
