// The end of a run and of a run set, as the result files see them.
//
// run_cut_short: whether the present run was cut short: ended before its
// planned last step by a stop from outside the case (a stop signal, the design
// environment's stop). The run driver clears it when a run starts and sets it
// when such a stop moves the run's last step earlier; a stop the case's own
// code asks for ends its run as planned by the case and leaves it clear. The
// result files mark the row of a run cut short and leave it out of their
// statistics.
//
// mrun_end_of_set(): called by the run driver once the run set has ended,
// however it ended. The statistics of a result file are written on the last
// step of the set's last run; a set stopped on a run's last step or between
// two runs (a stop signal, the design environment's stop) never reaches it.
// For each file whose last row has no statistics after it, the multiple-run
// output file and every extra recording file whose statistics the case asked
// for, they are written here, over all the rows the file holds: the runs the
// set finished, every row whole. So every file of a set ends with its
// statistics exactly once, wherever the set stopped. The multiple-run output
// file is closed. A set that ended at its last run finds nothing to write.
#pragma once

#include <cstdint>

namespace wakro::multirun {

inline bool run_cut_short = false;

// The run count of the set as it stood before a stop of the whole set lowered
// it to the present run (0 while no such stop came): the count the console
// names a run cut short with, and the count whose last run a merge leaves out.
inline std::int32_t runs_before_stop = 0;

// The rows the last merge wrote to its merged file: the rows its statistics
// are over (every rank's whole rows and cut-short rows, each rank's left-out
// last run not among them).
inline std::int32_t merged_rows = 0;

// The two halves of mrun_end_of_set: the multiple-run output file (mruno.h),
// the extra recording files (extrafiles.h).
void finish_output_file();
void finish_extra_files();

}  // namespace wakro::multirun

void mrun_end_of_set();
