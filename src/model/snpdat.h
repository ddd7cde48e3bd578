// Module snpdat: the snapshot schedule.
#pragma once

#include <cstdint>

#include "model/run_defaults.h"

namespace snpdat {

inline double tsnap = wakro::kRunDefaults.tsnap;        // time of the next scheduled snapshot [s]
inline double snpinc = wakro::kRunDefaults.snpinc;       // interval between scheduled snapshots [s]
inline std::int32_t rtsnap = 0;     // 1 while a run-time snapshot request is served
inline std::int32_t newsnp = wakro::kRunDefaults.newsnp;     // 1: each scheduled snapshot gets a new (numbered) name
// The scheduled snapshot is taken at the last step of the last run, whatever
// finish time the run ends up with, instead of at tsnap (its time was not valid).
inline bool at_run_end = wakro::kRunDefaults.snap_at_run_end;
// The design environment asked for the scheduled snapshot "at the time step"
// (time 0) while no case had given one yet: each run places it at its first
// step, and a periodic one every step (see wakro_initcom).
inline bool at_first_step = wakro::kRunDefaults.snap_at_first_step;
inline std::int32_t nmaxsnp = 0;    // number of incremental names (10 once names are formed)
inline std::int32_t icntsp = 0;     // scheduled snapshots taken
inline std::int32_t icntsprt = 0;   // run-time snapshots taken
inline std::int32_t iiisnp = 0;     // steps already run in the snapshot the run started from

}  // namespace snpdat
