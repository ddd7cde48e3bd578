// Room `multirun`: multiple runs of one case and their result files.
//
// Owns: the multiple-run set-up and the varied parameters of each run
// (varied.h: mrunvini, mrunvr, mrunvi, mrunnum, pmr_flags), the multiple-run
// output file with its rows, optimum search, statistical summary, density
// tables and initial seed (mruno.h: mrunoini, the recorders mrunob, mrunoi,
// mrunor, mrunoc, and mruno), the column statistics both result files share
// (statistics.h), the extra recording files with their statistics
// (extrafiles.h: mrunxtralabels, mrunxtrafiles, mrunxtrafiles_statistics,
// mrunxtrafiles_statistics1), the names of the per-rank files (names.h), the
// locks of the files a process knows at the start of its set
// (run_set_locks.h) and
// the merge of the files of all ranks of a parallel multiple run
// (consolidate.h: pmr_mrun_consolidate, pmr_mrun_extrafiles_consolidate),
// the checked writer of all these files (result_file.h), whether the
// present run was cut short (run_end.h: written by the run driver's stop, read
// by the result files), and the statistics a stopped run set has not written
// (run_end.h: mrun_end_of_set, called by the run driver at the set's end).
//
// The case's model code calls the set-up, parameter and recording routines on
// every step; the run driver reaches the merge, the merged statistics and the
// end of the set only through its seams, which the app room plugs with the
// routines of this room.
//
// Stands on `model` (ctrl, e_s1, e_warn, storage, multpl, mrunseed,
// pmr_consolidate, the line directory), `diag` (model messages, wakro_quit,
// layouts, the free-format console writer, random numbers), `files` (the
// first word of a line) and `output` (the lock of each result file before it
// is first written, output_lock.h). Nothing of a higher room is included from
// here.
#pragma once
