// The locks a run holds on the files it writes, so that two runs never write
// one file, whatever names led them to it.
//
// One file, one lock: before a run writes a file it takes an exclusive advisory
// lock (flock) on the lock file "<file>.lock" beside it, named after the
// file's final name ("ramp_01.out.lock", "sn_01.snp.lock", "mrun_0002.out.lock")
// in the file's folder resolved as the system resolves it (realpath: "./x",
// "sub/../x" and a linked folder all reach one lock file), and after the file
// a symbolic link at the file's name leads to (a chain of links too, and a
// dangling one, whose target the writer's open would make). Once the file
// exists, the run locks the file itself as well (flock on a descriptor of it
// that the lock keeps, opened without cutting it, or taken from the writer's
// own open before the writer cuts or writes it: lock_file_opened): every name
// of one file, a hard link too, meets at that lock, and so does a name linked
// to the file while it is written. A link standing at a lock file's name is
// never followed: the lock is refused. The lock is held to the end of the run
// set (all the runs of a multiple run count as one) and removed by its holder
// then (release_output_names), except the channel and description files of
// a multiple run that keeps channels on every run ("<name>_r00002_01.out"):
// each run's own files are locked when that run opens them (run 1's once the
// case is read) and released when that run closes them
// (release_output_file), so a set of any number of runs holds the locks of
// one run's files at a time. Those files stay guarded for the whole set by
// one more lock: the files named after a run ("<base>_r00002.inf",
// "<base>_r00002_01.out") form a family whose lock "<base>_r.lock.lock" (in
// the folder of the files, resolved) the set holds exclusively from the
// moment its first run's files are locked to its end; any other run about to
// write a file of a family (by its name or through links to it) holds that
// family's lock shared, so it is refused beside a set writing the family, and
// a second set is refused beside either. A family lock is removed by its
// last holder. The kernel releases a lock when its process
// ends, however it ends, so a lock file left by a run that was killed blocks
// no later run.
//
// A file has one writer, known by the kind of file it writes ("output file",
// "snapshot", "temporary snapshot", "multiple-run file", "extra recording
// file"): the lock records it. The same writer opening its file again (on a
// later run) takes nothing new; another writer of this process reaching the
// same file, by its name or as another name of it, is refused, as a run
// beside would be.
//
// When each file is locked:
//   - at the start of a run set, after the start-up dialogue and before
//     anything is written (lock_output_names, and the names the snapshot and
//     multiple-run rooms know then): the record file "<output name>.qbout" when
//     the record file is asked for (its name only: the output-writer library
//     locks the file itself), a snapshot under a fixed name, and the
//     multiple-run files of a set the dialogue gives more than one run (the
//     set's file "mrun.out"; in rank r of a parallel run its own file
//     "mrun_000r.out", and on the last rank, which merges, also "mrun.out");
//   - once the first run's case is read (lock_channel_files, and the numbered
//     snapshots the run will take, at most ten names): the description and
//     channel files of the first run that writes them (run 1, or the last run
//     of a set that keeps channels on its last run only);
//   - when a file is first opened, before its first byte (lock_output_file):
//     every file, which is how names that only appear while the set runs are
//     locked (the channel files of each later run, numbered snapshots past the
//     planned ones, run-time snapshots, the multiple-run files the model code
//     names, the extra recording files, the merged files).
// The ranks of one parallel run therefore run side by side in one folder: each
// writes, and locks, only its own files.
//
// A snapshot is written whole to "<file>.tmp" and then renamed: that
// temporary file is a file the run writes too, locked with its snapshot.
//
// Every refusal ends the run with one message, status 2000:
//   - an output, snapshot or multiple-run name that gives its files no name
//     of their own (blank, or blank or a '.' where its file-name part starts:
//     ".inf", "_01.out", "dir/.snp"), tag "OUTPUTNAME";
//   - a file named as a lock file is (its name ends in ".lock"), which would
//     take the place of another file's lock, tag "OUTPUTNAME": the snapshot
//     names at the start (check_lock_file_name), every file when it is locked,
//     and a file whose name is a link to a file so named;
//   - a file whose lock, or whose family's lock, another process holds:
//     "Another run is writing the <kind> <file> (it holds the lock <lock
//     file>)", tag "OUTPUTLOCK"; and
//     when it holds the lock on the file itself, reached by another name:
//     "Another run is writing the <kind> <file> through another name (it
//     holds the lock on the file itself, <file resolved>)";
//   - a file this process writes already as another kind of file: "The
//     <kind> <file> is written already as this run's <kind> (it holds the
//     lock <lock file>)", or, reached by another name, "... as this run's
//     <kind> <its name> (it holds the lock on the file itself, <file>)", tag
//     "OUTPUTLOCK";
//   - a lock file that cannot be taken (its folder does not exist or may not
//     be written, a folder or a symbolic link stands at its name, no inode or
//     descriptor is free, flock fails): the lock file, the file and the
//     reason, tag "OUTPUTLOCK".
// A file opened later whose folder does not exist takes no lock: its writer's
// own open fails and says so. A refusal at the start or once the case is read
// ends with "this run is refused and writes nothing" (the locks taken are
// released first); a later one with "this set of runs stops before writing
// them" (earlier files of the set may be written). Where the file system offers no locks at all
// (flock answers ENOLCK, EOPNOTSUPP, ENOSYS or EINVAL) the run warns once per folder that the files it
// writes there are not guarded, and goes on.
//
// Where flock is a whole-file record lock (the Linux NFS client takes it so),
// the lock belongs to the process and any close of a descriptor of the file
// releases it, and an exclusive one needs a descriptor open for writing. So
// the file itself is opened for writing to lock it (a file that may only be
// read is left to its writer's open to refuse), a file locked already is never
// opened again to be locked, and after a writer or a reader of this process
// closes a file locked (lock_file_closed) or opens it again, the lock is taken
// again; between that close and that taking, on NFS only, the file is guarded
// by the lock of its name alone.
//
// Each lock keeps one descriptor open, and one more for the file itself once
// it exists; a run raises its own limit on open files (up to the hard limit)
// as its locks need. The channel files of a run are open at once beside their
// locks: when they are locked, room is kept for them (and
// for the few files opened beside them) until they are opened, so a limit too
// low for the locks and the files together refuses the run before it writes
// anything, as a lock that cannot be made.
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
// The lock of one file, `kind` naming its writer and naming it in the messages
// ("output file", "snapshot", "multiple-run file").
void lock_output_file(std::string_view file_name, std::string_view kind,
                      LockRefusal refusal = LockRefusal::stops_before_writing);
// A file locked by its name that its writer has just opened (`fd`), before the
// writer cuts or writes it: the file itself locked, as it now is.
void lock_file_opened(int fd, std::string_view file_name);
// A descriptor of a file locked by its name has been closed (its writer's or
// a reader's): the lock on the file itself is taken again where that close
// released it (NFS).
void lock_file_closed(std::string_view file_name);
// The lock of one file released (a run's own channel files, closed).
void release_output_file(std::string_view file_name);
// At the start: refuses a name (`what`, as `given`) whose file `file` would be
// named as a lock file is; `files` says which files the name names.
void check_lock_file_name(std::string_view file, std::string_view what, std::string_view given,
                          std::string_view files);
// A multiple-run file opened for writing: its name checked and locked; `kind`
// names its writer ("multiple-run file", "extra recording file").
void lock_multiple_run_file(std::string_view file_name, std::string_view kind = "multiple-run file");
// The channel files are opened: the room kept for them is given back.
void release_file_room();
// The lock file of a file: "<folder resolved>/<file name>.lock".
std::string lock_file_of(std::string_view file_name);
// Number of locks held.
std::size_t held_lock_count();
void release_output_names();

}  // namespace wakro
