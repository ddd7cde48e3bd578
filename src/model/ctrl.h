// Module ctrl: run control shared by the driver, the run loop, the link and the
// multiple-run routines.
#pragma once

#include <cstdint>

namespace ctrl {

inline std::int32_t iii = 0;             // step counter of the present run
inline std::int32_t ndelt = 0;           // number of steps of the run
inline double ddelt = 0.0;               // the run's time step [s]
inline std::int32_t nrun = 1;            // number of runs of the run set
inline std::int32_t mmm = 1;             // current run, counted from 1
inline bool firstrun = true;             // this is the first run of the set
inline bool lastrun = false;             // this is the last run of the set
inline bool multirun = false;            // more than one run
inline std::int32_t mrunctrl = 0;        // 1: the design environment decides on further runs
inline std::int32_t mruntype = 0;        // multiple-run role: 1 master, 2 slave, 0 none
inline std::int32_t not2trace = 0;       // 1: no graphic trace is sent during the run
inline std::int32_t rank = 0;            // rank in a parallel multiple run (0: not parallel)
inline std::int32_t zerot = 0;           // 1: a resumed run counts its output time from the snapshot
inline std::int32_t lumbra_wakroid = 1;  // this engine's id on the link (the command line's default)

}  // namespace ctrl
