// Branches that machine, transformer and compensator models define at set-up:
// the series R-C branch and the interface branch whose current the model forms.
// Argument order: subsystem first, branch second.
//
// rcbranch itself is the network room's (network/companion.h, where every
// companion stamp is written); this header forwards it to the models that
// include it from here.
#pragma once

#include <cstdint>

#include "network/companion.h"

// Interface branch of resistance r (conductance 0 for r <= 0) whose history the
// owner forms. Checks the branch (tag "INTFC_BRNCH1").
void intfc_brnch1_cfg(std::int32_t iss, std::int32_t ibr, double r);
// After the owner has written its Norton current into CCBR: removes the branch's
// own conductance current at the present branch voltage.
void intfc_brnch1_exe(std::int32_t iss, std::int32_t ibr);
