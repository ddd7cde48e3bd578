// The lock a run holds on the names of the files it writes, so that a second
// run in the same folder cannot write over them.
//
// lock_output_names() takes, for each name the run will write under, an
// exclusive advisory lock (flock) on the lock file "<name>.lock" beside the
// files: the output name's base (fnames::onam, as the channel files and the
// record file are named from it) when output files are wanted, the stem of the
// snapshot name (fnames::snam) when snapshots are, and the stem of the
// multiple-run name (fnames::mnam) for a set of runs. It is called once at the
// start of a run set, after the start-up dialogue and before any file is
// written, and the locks are held across all the runs of the set. A name whose
// lock another process holds ends the start at once with one message naming
// the files and saying that another run is writing them (tag "OUTPUTLOCK",
// status 2000); nothing has been written then. A lock file that cannot be made
// (a folder that does not exist or may not be written) is no conflict: the
// files themselves will say why they cannot be written.
//
// The kernel releases a lock when its process ends, however it ends, so a lock
// file left by a run that was killed does not block the next run.
// release_output_names() removes the lock files and releases the locks (the end
// of the run set); a name this process already holds is not taken twice.
#pragma once

namespace wakro {

void lock_output_names();
void release_output_names();

}  // namespace wakro
