// The lock a run holds on the names of the files it writes, so that a second
// run in the same folder cannot write over them.
//
// lock_output_names() takes, for each name the run will write under, an
// exclusive advisory lock (flock) on the lock file "<name>.lock" beside the
// files: the output name's base (fnames::onam, as the channel files and the
// record file are named from it) when output files are wanted, the stem of the
// snapshot name (fnames::snam) when snapshots are, and the stem of the
// multiple-run name (fnames::mnam) for a set the dialogue gives more than one
// run. It is called once at the start of a run set, after the start-up
// dialogue and before any file is written, and the locks are held across all the runs of the set. Every stop
// below ends the start with one message (status 2000) before anything has been
// written:
//   - an output, snapshot or multiple-run name that gives its files no name
//     of their own (blank, or blank or a '.' where its file-name part starts:
//     ".inf", "_01.out", "dir/.snp"), tag "OUTPUTNAME";
//   - a name whose lock another process holds: the message names the files
//     and says that another run is writing them, tag "OUTPUTLOCK";
//   - a lock file that cannot be taken (its folder does not exist or may not
//     be written, a folder stands at its name, no inode is free, flock fails):
//     the message names the lock file and the reason, tag "OUTPUTLOCK".
// Where the file system offers no locks at all (flock answers ENOLCK,
// EOPNOTSUPP or ENOSYS) the run warns that its output files are not guarded
// and goes on.
//
// The kernel releases a lock when its process ends, however it ends, so a lock
// file left by a run that was killed does not block the next run.
// release_output_names() removes the lock files and releases the locks (the end
// of the run set); a name this process already holds is not taken twice.
//
// A set of runs whose model code raises the run count, or names its own
// multiple-run files, is not known at the start: the multiple-run room calls
// lock_multiple_run_file() with the name of each file it opens for writing
// (the multiple-run output file, a rank's file, the merged file, the extra
// recording files) before the file is first written. It locks the stem of the
// name as above; a stop then ends the message with "this set of runs stops
// before writing them" (the channel files may already be written), with the
// same tags. The lock is held until release_output_names().
#pragma once

#include <string_view>

namespace wakro {

void lock_output_names();
void lock_multiple_run_file(std::string_view file_name);
void release_output_names();

}  // namespace wakro
