// Module ctrl: run control shared by the driver, the run loop, the link and the
// multiple-run routines.
#pragma once

#include <cstdint>

#include "model/run_defaults.h"

namespace ctrl {

inline std::int32_t iii = 0;             // step counter of the present run
inline std::int32_t ndelt = 0;           // number of steps of the run
inline double ddelt = 0.0;               // the run's time step [s]
inline std::int32_t nrun = wakro::kRunDefaults.nrun;            // number of runs of the run set
inline std::int32_t mmm = 1;             // current run, counted from 1
inline bool firstrun = true;             // this is the first run of the set
inline bool lastrun = false;             // this is the last run of the set
inline bool multirun = wakro::kRunDefaults.multirun;            // more than one run
inline std::int32_t mrunctrl = wakro::kRunDefaults.mrunctrl;        // 1: the design environment decides on further runs
inline std::int32_t mruntype = wakro::kRunDefaults.mruntype;        // multiple-run role: 1 master, 2 slave, 0 none
inline std::int32_t not2trace = wakro::kRunDefaults.not2trace;       // 1: no graphic trace is sent during the run
inline std::int32_t rank = wakro::kRunDefaults.rank;            // rank in a parallel multiple run (0: not parallel)
inline std::int32_t zerot = wakro::kRunDefaults.zerot;           // 1: a resumed run counts its output time from the snapshot
inline std::int32_t lumbra_wakroid = 1;  // this engine's id on the link (the command line's default)

}  // namespace ctrl
