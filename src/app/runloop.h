// wakro_runloop carries one run from its first to its last step: output-step
// test, polling the design environment, the begin pass at time zero, the time
// step, progress, scheduled snapshots (within half a step of their time, or at
// the last step when promised for the end of the run) and output; then the
// end-of-run exchange.
#pragma once

#include <cstdint>

// version5: not used here; gui: the design environment is connected; abort:
// set to 1 when the design environment stopped the run set.
void wakro_runloop(bool& version5, bool& gui, std::int32_t& abort);

// The output-step test: takes a new output interval into account, counts the
// step and sets the output flag on every stepsPerOutput-th step; the poll flag
// is set on an output step with the link when data is waiting on it.
void wakro_chkstep(double& print, double& savedPrint, std::int32_t& counter,
                   std::int32_t& stepsPerOutput, std::int32_t& poll, std::int32_t& output);

namespace wakro {
// Nearest whole number of steps in an output interval, at least 0 and within
// the 32-bit range.
std::int32_t steps_per_output(double print, double delt);
}  // namespace wakro
