// Branches whose element a control signal sets while the simulation runs: a
// resistance, inductance or capacitance (wakro_varrlc10, e_varrlc1_cfg/_exe) or a
// series R-L-C impedance whose parts vary (e_varimpbranch, e_varimpbranch2).
//
// Each call rewrites the companion of an existing branch (model/branches.h) and
// brings its new conductance into the matrix through the network's run-time
// change helper, which also marks the rows to factorise again. A value within
// 1e-4 of the last applied one (relative to that one) changes nothing; the EMF
// and the correction current are applied on every step. At time zero every
// routine applies its value without the change test.
//
// Element kinds: 0 resistance (ohm), 1 inductance (H), 2 capacitance (uF); the
// configured form adds 3, an inductance whose flux correction flows in a
// companion current-source branch, and 4, a capacitance whose charge correction
// does. A capacitance at or below 1e-20 uF is an open circuit.
//
// Argument order as the callers use it; branch and subsystem are checked.
#pragma once

#include <cstdint>

namespace wakro::devices {
// Element kinds of the variable branches.
enum VariableKind : std::int32_t {
  kVarResistance = 0,
  kVarInductance = 1,
  kVarCapacitance = 2,
  kVarInductanceCorrected = 3,
  kVarCapacitanceCorrected = 4,
};
}  // namespace wakro::devices

namespace wakro::devices::layout {
namespace varrlc10 {  // stor: last value applied, correction current, 3 .. 10 unused
enum : std::int32_t { kValue = 1, kCorrection, kStorSize = 10 };
}
namespace varrlc1 {  // e_varrlc1_exe, storf
enum : std::int32_t { kValue = 1, kCorrection, kStorfSize = kCorrection };
}
namespace varimpbranch {  // e_varimpbranch, e_varimpbranch2, storf (the last three unused by the second)
enum : std::int32_t { kR = 1, kL, kC, kRc, kRl, kReff, kStorfSize = kReff };
}
}  // namespace wakro::devices::layout

// Kinds 0, 1, 2 on branch ibr of iss. emf goes to EBR; current returns CBR, plus
// the correction current for L and C, which is injected at the end nodes
// (Norton). stor 10: 1 last value applied, 2 correction current, 3..10 unused.
void wakro_varrlc10(std::int32_t ibr, std::int32_t iss, std::int32_t kind, double& current,
                    double value, double emf);

// Set-up of the configured form: the branch becomes a source branch with no part;
// for kinds 3 and 4 branch ibr2 becomes the current-source branch that carries
// the correction (deferred history, conductance 0). Appends one branch record to
// the harmonic registry (ibr2 for kinds 3 and 4, ibr for the others).
void e_varrlc1_cfg(std::int32_t kind, std::int32_t iss, std::int32_t ibr, std::int32_t ibr2);
// The step of the configured form: kinds 1, 3 inductances, 2, 4 capacitances,
// any other a resistance. The correction of kinds 3 and 4 goes to CCBR of ibr2.
// A too small L or C warns. storf 2: last value applied, correction current.
void e_varrlc1_exe(std::int32_t kind, std::int32_t iss, std::int32_t ibr, std::int32_t ibr2,
                   double value, double emf);

// Series R-L-C branch whose parts are switched in by use_r, use_l, use_c (non-zero
// selects). Values below zero count as zero. All parts off gives an open branch.
// storf 6: R, L, C as last applied, RC, RL, effective R.
void e_varimpbranch(std::int32_t ibr, std::int32_t iss, std::int32_t use_r, std::int32_t use_l,
                    std::int32_t use_c, double r, double l, double c_uf);
// As e_varimpbranch without the zero floor: no part, or a selected C at or below
// 1e-20, leaves a 1e8 ohm branch; a selected L at or below 1e-20 with neither R
// nor C makes the branch ideal. storf 6: R, L, C as applied, 3 unused.
void e_varimpbranch2(std::int32_t ibr, std::int32_t iss, std::int32_t use_r, std::int32_t use_l,
                     std::int32_t use_c, double r, double l, double c_uf);
