// The locks a run holds on the files it writes, so that two runs never write
// one file, whatever names led them to it.
//
// One file, one lock: before a run writes a file it takes an exclusive advisory
// lock (flock) on the lock file "<file>.lock" beside it, named after the
// file's final name ("ramp_01.out.lock", "sn_01.snp.lock", "mrun_0002.out.lock")
// in the file's folder resolved as the system resolves it (realpath: "./x",
// "sub/../x" and a linked folder all reach one lock file). The lock is held to
// the end of the run set (all the runs of a multiple run count as one) and
// removed by its holder then (release_output_names); a name this process
// already holds is not taken again. The kernel releases a lock when its process
// ends, however it ends, so a lock file left by a run that was killed blocks
// no later run.
//
// When each file is locked:
//   - at the start of a run set, after the start-up dialogue and before
//     anything is written (lock_output_names, and the names the snapshot and
//     multiple-run rooms know then): the record file "<output name>.qbout" when
//     the record file is asked for, a snapshot under a fixed name, and the
//     multiple-run files of a set the dialogue gives more than one run (the
//     set's file "mrun.out"; in rank r of a parallel run its own file
//     "mrun_000r.out", and on the last rank, which merges, also "mrun.out");
//   - once the first run's case is read (lock_channel_files, and the numbered
//     snapshots the run will take, at most ten names): the description and
//     channel files of every run of the set that writes them;
//   - when a file is first opened, before its first byte (lock_output_file):
//     every file, which is how names that only appear while the set runs are
//     locked (numbered snapshots past the planned ones, run-time snapshots,
//     the multiple-run files the model code names, the extra recording files,
//     the merged files, channel files of runs the model code adds).
// The ranks of one parallel run therefore run side by side in one folder: each
// writes, and locks, only its own files.
//
// Every refusal ends the run with one message, status 2000:
//   - an output, snapshot or multiple-run name that gives its files no name
//     of their own (blank, or blank or a '.' where its file-name part starts:
//     ".inf", "_01.out", "dir/.snp"), tag "OUTPUTNAME";
//   - a file whose lock another process holds: "Another run is writing the
//     <kind> <file> (it holds the lock <lock file>)", tag "OUTPUTLOCK";
//   - a lock file that cannot be taken (its folder does not exist or may not
//     be written, a folder stands at its name, no inode or descriptor is free,
//     flock fails): the lock file, the file and the reason, tag "OUTPUTLOCK".
// A file opened later whose folder does not exist takes no lock: its writer's
// own open fails and says so. A refusal at the start or once the case is read
// ends with "this run is refused and writes nothing" (the locks taken are
// released first); a later one with "this set of runs stops before writing
// them" (earlier files of the set may be written). Where the file system offers no locks at all (flock
// answers ENOLCK, EOPNOTSUPP or ENOSYS) the run warns once per folder that
// the files it writes there are not guarded, and goes on.
//
// Each lock keeps one descriptor open; a run raises its own limit on open files
// (up to the hard limit) as its locks need.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wakro {

// What a refusal has left behind: nothing yet, or the files the set wrote
// before it.
enum class LockRefusal { writes_nothing, stops_before_writing };

// The start of a run set: the names checked, the record file locked.
void lock_output_names();
// Once the first run's case is read: the channel and description files.
void lock_channel_files();
// What a refusal once the first run's case is read leaves behind: nothing,
// unless the case's description lines have made the record file.
LockRefusal refusal_once_case_read();
// The lock of one file, `kind` naming it in the messages ("output file",
// "snapshot", "multiple-run file").
void lock_output_file(std::string_view file_name, std::string_view kind,
                      LockRefusal refusal = LockRefusal::stops_before_writing);
// A multiple-run file opened for writing: its name checked and locked.
void lock_multiple_run_file(std::string_view file_name);
// The lock file of a file: "<folder resolved>/<file name>.lock".
std::string lock_file_of(std::string_view file_name);
// Number of locks held.
std::size_t held_lock_count();
void release_output_names();

}  // namespace wakro
