// Module e_s1: the time state of the run.
#pragma once

#include "model/run_defaults.h"

namespace e_s1 {

inline double time = 0.0;      // time at the end of the present step [s]
inline double delt = 0.0;      // time step [s]
inline double fintim = wakro::kRunDefaults.fintim;    // finish time [s] (the start-up dialogue's default)
inline double print = 0.0;     // output interval [s]
inline bool timezero = false;  // the time-zero step of a run that starts from data files
inline bool firststep = false; // the first step of the run
inline bool laststep = false;  // the last step of the run
inline bool onstep = false;    // a subsystem's solution is in its first pass of the step

}  // namespace e_s1
