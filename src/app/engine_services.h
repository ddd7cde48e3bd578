// Plugs the engine's own services into the seams, all at once: what a case's
// program calls before wakro_main, after plugging in its four root routines.
#pragma once

namespace wakro {

// The output room's routines (the console start-up dialogue, the channel files,
// the record file's next run, console progress and screen plot), the network
// solution (one step's solution, the solver choice, the branch source terms and
// the MNA set-up of the case reader), the lines (their sections, the sizing
// pass and the per-step histories, and the ENI lines' start of run and names), the case reader wakro_readdata, and, over
// the link, the start-up dialogue, the run-time messages (watched values,
// progress, push buttons, end of run) and the load-flow display values, and the
// merge of a parallel multiple run with the statistics of the merged files.
void plug_engine_services();

}  // namespace wakro
