// Whether the present run was cut short: ended before its planned last step
// by a stop from outside the case (a stop signal, the design environment's
// stop). The run driver clears it when a run starts and sets it when such a
// stop moves the run's last step earlier; a stop the case's own code asks for
// ends its run as planned by the case and leaves it clear. The result files
// mark the row of a run cut short and leave it out of their statistics.
#pragma once

namespace wakro::multirun {

inline bool run_cut_short = false;

}  // namespace wakro::multirun
