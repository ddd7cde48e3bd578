// The locks of the multiple-run files a process knows at the start of its run
// set (output_lock.h).
//
// lock_run_set_names(): for a set the start-up dialogue gives more than one run,
// the multiple-run file named after the project's multiple-run name
// (fnames::mnam): the set's own file "<base>.out" when the process is no rank of
// a parallel run; in rank r its own file "<base>_<rank code>.out", and on the
// last rank (r = pmr_count >= 2), which merges, the merged file "<base>.out"
// too. The ranks of one parallel run so lock only their own files and run side
// by side in one folder, while two sets that would write one file refuse each
// other. Taken before anything is written; every file is locked again when it
// is opened (mrunoini, the extra recording files, the merge).
#pragma once

namespace wakro::multirun {

void lock_run_set_names();

}  // namespace wakro::multirun
