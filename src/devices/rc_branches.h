// Branches that machine, transformer and compensator models define at set-up:
// the series R-C branch and the interface branch whose current the model forms.
// Argument order: subsystem first, branch second.
#pragma once

#include <cstdint>

// At time zero only: R > 0 gives a resistor (C below 1e-12 uF) or a series R-C
// branch; R <= 0 leaves the branch to its owner (DEFRDBR, conductance 0). Appends
// one branch record to the harmonic registry. Checks the branch (tag "RCBRANCH").
void rcbranch(std::int32_t iss, std::int32_t ibr, double r, double c_uf);
// Interface branch of resistance r (conductance 0 for r <= 0) whose history the
// owner forms. Checks the branch (tag "INTFC_BRNCH1").
void intfc_brnch1_cfg(std::int32_t iss, std::int32_t ibr, double r);
// After the owner has written its Norton current into CCBR: removes the branch's
// own conductance current at the present branch voltage.
void intfc_brnch1_exe(std::int32_t iss, std::int32_t ibr);
