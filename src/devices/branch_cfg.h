// Set-up of a passive branch from its series R, L and C.
#pragma once

#include <cstdint>

// e_branch_cfg(IBR, ISS, LR, LL, LC, R, L, C)
//   in  ibr, iss     branch and subsystem (checked here, tag "E_BRANCH_CFG")
//   in  lr, ll, lc   the branch has a resistive, inductive, capacitive part
//   in  r, l, c_uf   ohms, henries, microfarads
// Writes the branch's flags, its trapezoidal companion (GEQ, GEQD, GEQON, GEQOF,
// G2L, G2C and the history shares) and its R, L and C in the harmonic-impedance
// tables. A resistance at most 1 / gonmax(iss) is dropped with a console notice:
// a pure resistor becomes an ideal branch, an R-L or R-C branch keeps only L and
// C. The ideal flag the branch had before is cleared first. A non-switching
// branch then enters the change of its conductance into the subsystem's matrix
// through the network's run-time change helper.
// A capacitive part of C at most 1e-20 uF is a data error: the run ends with
// "Zero capacitance given for a capacitive branch" (tag "E_BRANCH_CFG").
void e_branch_cfg(std::int32_t ibr, std::int32_t iss, bool lr, bool ll, bool lc, double r, double l,
                  double c_uf);
