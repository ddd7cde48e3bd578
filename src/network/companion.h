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
#include <initializer_list>

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
// Companion conductance of a capacitance alone, 2 C / dt: c_uf in microfarads
// (2e-6 C / dt) or c_f in farads.
inline double capacitive_conductance(double c_uf, double dt) { return 2.0e-6 * c_uf / dt; }
inline double capacitive_conductance_farad(double c_f, double dt) { return 2.0 * c_f / dt; }
// Conductance of a series impedance z: 1 / z, or 0 for no impedance.
inline double series_conductance(double z) { return std::abs(z) > kNoImpedance ? 1.0 / z : 0.0; }
// Conductance of a companion resistance or resistance x known to be non-zero.
inline double part_conductance(double x) { return 1.0 / x; }

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

// The companion of a branch whose series parts the caller holds as companion
// resistances rl and rc and resistance reff, with conductance g (the variable
// impedance branches): GEQD, GEQON, GEQOF := g and
//   rlg = rl g   rcg = rc g   rcl = rc rl g
//   rsc = rl g (rc + reff)   rsl = g rc (rl + reff)
// GEQ itself enters through the run-time change of the matrix (matrix.h).
void set_series_shares(std::int32_t b, std::int32_t ss, double rl, double reff, double rc, double g);
// A branch that the owner forms itself: GEQD, GEQON, GEQOF and the five shares 0.
void clear_branch_companion(std::int32_t b, std::int32_t ss);
// The shares of a series R-C branch of conductance g = 1 / (r + rc):
// G2C := 1 / rc, rcg = rc g, rsl = rc g r.
void set_rc_shares(std::int32_t b, std::int32_t ss, double r, double rc, double g);
// GEQD, GEQON, GEQOF := g (a fixed branch whose conductance entered the matrix).
void set_fixed_conductances(std::int32_t b, std::int32_t ss, double g);

// The two states of a switching branch: GEQOF := 1 / roff; GEQON := 1 / ron, or
// 0 for an ideal ON state (the solution collapses it).
void set_off_conductance(std::int32_t b, std::int32_t ss, double roff);
void set_on_conductance(std::int32_t b, std::int32_t ss, double ron);
void set_ideal_on(std::int32_t b, std::int32_t ss);

// Appends a harmonic-impedance record. At the registry's limit nothing is written:
// the first refusal of a run writes the warning (under the present component's
// ids)
//   "Harmonic impedance registry full: further records are not kept"
// and later refusals are silent. Returns whether the record was kept.
bool harm_record(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                 std::initializer_list<double> values = {});
// The record of a branch (kind 9): the branch number and 0 as its nodes.
bool harm_branch_record(std::int32_t br, std::int32_t ss);
// Allows the warning of a full registry again (a new run).
void reset_harm_warning();

// The starting state of branch b of ss: part histories CCL, CCLD, CCC, CCCD and
// CCBR 0, current CBR := i0, source EBR, EBRON, EBROF, EBRD := e, and the part
// voltages V12L, V20L from the node voltages VDC (ground 0 V).
void start_branch(std::int32_t b, std::int32_t ss, double i0, double e);

// Marks the two off-diagonal positions of a branch f - t in the fill pattern
// (nothing for a branch to ground), as every stamp does (stamp_pattern.h).
void mark_branch(const e_s0::FilledView& filled, std::int32_t f, std::int32_t t);
// Adds conductance g of a branch f - t into gm in set-up form: (t, f) and (f, t)
// for two nodes, the diagonal of the node for a branch to ground.
void add_setup_conductance(const e_s0::GmView& gm, std::int32_t f, std::int32_t t, double g);
// Both, into the matrices of subsystem ss.
void stamp_branch(std::int32_t ss, std::int32_t f, std::int32_t t, double g);

}  // namespace wakro

// The series R-C branch that machine, transformer and compensator models define
// at set-up. At time zero only: R > 0 gives a resistor (C below 1e-12 uF) or a
// series R-C branch; R <= 0 leaves the branch to its owner (DEFRDBR, conductance
// 0). Appends one branch record to the harmonic registry. Checks the branch (tag
// "RCBRANCH"). Argument order: subsystem first, branch second.
void rcbranch(std::int32_t iss, std::int32_t ibr, double r, double c_uf);

// The interface branch whose current its owner (a machine model) forms: a
// resistance r (conductance 0 for r <= 0) that the registry sees as a one-ohm
// branch, left to its owner (DEFRDBR). Checks the branch (tag "INTFC_BRNCH1").
void intfc_brnch1_cfg(std::int32_t iss, std::int32_t ibr, double r);
// After the owner has written its Norton current into CCBR: removes the branch's
// own conductance current at the present branch voltage.
void intfc_brnch1_exe(std::int32_t iss, std::int32_t ibr);
