// The locks on the files a run writes (see output_lock.h).
//
// A lock file is taken with open(O_CREAT) and flock(LOCK_EX | LOCK_NB). Its
// holder removes it before releasing the lock, so a second process may have
// locked a file that no longer has a name: after locking, the name must still
// lead to the file locked, or the taking starts again with the new file.
#include "output/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/textfile.h"
#include "files/words.h"
#include "model/ctrl.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "output/channel_files.h"
#include "output/record_bindings.h"

namespace wakro {
namespace {

constexpr int kTakeAttempts = 16;
constexpr std::string_view kOutputFile = "output file";

constexpr std::string_view kLockEnding = ".lock";
// Descriptors a run may open beside its channel files while they are open: a
// snapshot, a multiple-run and an extra recording file.
constexpr std::size_t kFilesBesideChannels = 3;

// A lock held: its descriptor, and the writer of the file, known by the kind
// of file it writes ("output file", "snapshot", ...).
struct Held {
  int fd;
  std::string kind;
};
// The locks held: lock file (absolute) -> its holder.
std::unordered_map<std::string, Held> g_held;
// Descriptors held in the place of the files a run keeps open at once, from
// the moment its channel files are locked to the moment they are opened, so
// that every lock taken meanwhile leaves room for them.
std::vector<int> g_room;
// Folders already said to have no locks.
std::set<std::string> g_unguarded_folders;

// What taking one lock file came to: taken (fd holds it), busy (another process
// holds it), unguarded (the file system offers no locks: fd is open, unlocked)
// or refused (`why` says why it cannot be taken).
enum class Take { taken, busy, unguarded, refused };

// flock's answers that say the file system offers no locks at all, as against
// a lock that is held or a call that failed.
bool no_locks_here(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS; }

// Raises the limit on open files by a step, up to the hard limit; false when
// it is there already.
bool raise_descriptor_limit() {
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0 || lim.rlim_cur == RLIM_INFINITY) return false;
  if (lim.rlim_max != RLIM_INFINITY && lim.rlim_cur >= lim.rlim_max) return false;
  rlim_t wanted = std::max<rlim_t>(2 * lim.rlim_cur, lim.rlim_cur + 64);
  if (lim.rlim_max != RLIM_INFINITY) wanted = std::min(wanted, lim.rlim_max);
  lim.rlim_cur = wanted;
  return ::setrlimit(RLIMIT_NOFILE, &lim) == 0;
}

// Opens a file, raising the limit on open files as it needs.
int open_raising(const char* path, int flags) {
  int fd = ::open(path, flags | O_CLOEXEC, 0644);
  while (fd < 0 && errno == EMFILE && raise_descriptor_limit()) fd = ::open(path, flags | O_CLOEXEC, 0644);
  return fd;
}

int open_lock_file(const std::string& path) { return open_raising(path.c_str(), O_RDWR | O_CREAT); }

// Holds `n` descriptors as room for files; false when the limit on open files
// (raised up to the hard limit) leaves no room for them all.
bool keep_room(std::size_t n) {
  while (g_room.size() < n) {
    const int fd = open_raising("/dev/null", O_RDONLY);
    if (fd < 0) return false;
    g_room.push_back(fd);
  }
  return true;
}

Take take(const std::string& path, int& fd, std::string& why) {
  for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
    // A folder, a device or a pipe standing at the name is no lock file.
    if (const std::string_view kind = not_a_file(path); !kind.empty()) {
      why = "it " + std::string(kind);
      return Take::refused;
    }
    fd = open_lock_file(path);
    if (fd < 0) {
      why = "it cannot be made: " + system_reason(errno);
      return Take::refused;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno;
      why = system_reason(reason);
      if (no_locks_here(reason)) return Take::unguarded;
      ::close(fd);
      if (reason == EWOULDBLOCK) return Take::busy;
      why = "it cannot be locked: " + why;
      return Take::refused;
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 && locked.st_dev == named.st_dev &&
        locked.st_ino == named.st_ino)
      return Take::taken;
    ::close(fd);  // its holder removed it as we opened it: take the new one
  }
  why = "other runs removed it and made it again " + std::to_string(kTakeAttempts) + " times while this run took it";
  return Take::refused;
}

// The snapshot writer keeps at most this much of a name without a folder.
constexpr std::size_t kSnapshotStemLength = 28;

// The part of a name up to the first blank or '.' of its file-name part (the
// folder part is kept whole; a '\' separates folders too).
std::string stem(std::string_view name) {
  return std::string(name.substr(0, name.find_first_of(". ", file_part_start(name))));
}

// The folder of a name (its part before the file name) as the system resolves
// it, with a '/' at its end; `found` false and the folder made absolute as
// written when it cannot be resolved (it does not exist).
std::string resolved_folder(const std::string& name, bool& found) {
  const std::size_t part = file_part_start(name);
  const std::string folder = part == 0 ? std::string(".") : name.substr(0, part);
  std::string dir;
  char* real = ::realpath(folder.c_str(), nullptr);
  found = real != nullptr;
  if (found) {
    dir = real;
    std::free(real);
  } else {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(folder, ec);
    dir = ec ? folder : p.lexically_normal().string();
  }
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// The lock file of a name with '/' for '\' (as the files are opened).
std::string lock_file_of(std::string name, bool& found) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return resolved_folder(name, found) + name.substr(file_part_start(name)) + ".lock";
}

// How a stop ends its message.
std::string_view ending_of(LockRefusal refusal) {
  return refusal == LockRefusal::writes_nothing ? "this run is refused and writes nothing"
                                                : "this set of runs stops before writing them";
}

// Ends the run with the message given. A refusal before anything is written
// releases the locks held; later the run set's end releases them as the stop
// unwinds it.
[[noreturn]] void refuse_run(const std::string& message, std::string_view tag, LockRefusal refusal) {
  if (refusal == LockRefusal::writes_nothing) release_output_names();
  ListLine() << "ERROR: " + message + ": " + std::string(ending_of(refusal)) + ".";
  wakro_quit(tag, 0);
}

// Files need a name of their own: a name that is blank (or blank or a '.'
// where its file-name part starts) would write files named by their endings
// alone (".inf", "_01.out", ".snp"), which no lock could guard. `base` is the
// name's stem, `given` the name as given, `what` says which name it is and
// `files` which files it names; `would_be` lists them.
void check_name(const std::string& base, std::string_view given, std::string_view what, std::string_view files,
                const std::string& would_be, LockRefusal refusal = LockRefusal::writes_nothing) {
  if (base.size() > file_part_start(base)) return;
  refuse_run((given.empty() ? "The " + std::string(what) + " is blank"
                            : "The " + std::string(what) + " '" + std::string(given) + "' gives " +
                                  std::string(files) + " no name") +
                 " (they would be " + would_be + ")",
             "OUTPUTNAME", refusal);
}

}  // namespace

std::string lock_file_of(std::string_view file_name) {
  bool found = false;
  return lock_file_of(std::string(file_name), found);
}

std::size_t held_lock_count() { return g_held.size(); }

// A lock that cannot be taken ends the run: a run that went on without it could
// write over the file of another run. Only where the file system offers no
// locks at all does the run go on, unguarded, and says so.
//
// A file whose folder is missing when it is opened has nothing to guard: its
// writer's own open says so. At the start a missing folder is refused here.
void lock_output_file(std::string_view file_name, std::string_view kind, LockRefusal refusal) {
  bool found = false;
  const std::string path = lock_file_of(std::string(file_name), found);
  const std::string file = std::string(kind) + " " + std::string(file_name);
  // Written, such a file would take the place of the lock of another file.
  if (file_name.ends_with(kLockEnding))
    refuse_run("The " + file + " would have the name of a lock file (a name ending in \"" +
                   std::string(kLockEnding) + "\")",
               "OUTPUTNAME", refusal);
  // A file this process writes already is written by one writer only: the
  // same writer opens it again on a later run, another would mix the two.
  if (const auto it = g_held.find(path); it != g_held.end()) {
    if (it->second.kind == kind) return;
    refuse_run("The " + file + " is written already as this run's " + it->second.kind + " (it holds the lock " +
                   path + ")",
               "OUTPUTLOCK", refusal);
  }
  if (!found && refusal == LockRefusal::stops_before_writing) return;
  int fd = -1;
  std::string why;
  switch (take(path, fd, why)) {
    case Take::unguarded: {
      const std::string folder = path.substr(0, path.rfind('/') + 1);
      if (g_unguarded_folders.insert(folder).second)
        ListLine() << "WARNING: The lock file " + path + " cannot be locked (" + why +
                          "): the file system offers no locks, so the files this run writes in " + folder +
                          " are not guarded against another run writing them.";
    }
      [[fallthrough]];
    case Take::taken:
      g_held.emplace(path, Held{fd, std::string(kind)});
      return;
    case Take::busy:
      refuse_run("Another run is writing the " + file + " (it holds the lock " + path + ")", "OUTPUTLOCK", refusal);
    case Take::refused:
      refuse_run("The lock file " + path + " for the " + file + " cannot be taken (" + why + ")", "OUTPUTLOCK",
                 refusal);
  }
}

void lock_output_names() {
  if (outppp::outfil != 0) {
    const std::string base = output_base_name();
    check_name(base, fnames::onam.trimmed(), "output name", "the output files", base + ".inf and " + base + "_01.out");
    // The record file is named after the whole output name.
    if (fnames::iouttype == 1)
      lock_output_file(std::string(fnames::onam.trimmed()) + ".qbout", kOutputFile, LockRefusal::writes_nothing);
  }
  if (outppp::snpfil != 0) {
    std::string snap = stem(fnames::snam.trimmed());
    if (file_part_start(snap) == 0 && snap.size() > kSnapshotStemLength) snap.resize(kSnapshotStemLength);
    check_name(snap, fnames::snam.trimmed(), "snapshot name", "the snapshots", snap + ".snp");
  }
  if (ctrl::nrun > 1) {
    const std::string runs = stem(fnames::mnam.trimmed());
    check_name(runs, fnames::mnam.trimmed(), "multiple-run name", "the multiple-run files", runs + ".out");
  }
}

LockRefusal refusal_once_case_read() {
  return !record_file_path().empty() ? LockRefusal::stops_before_writing : LockRefusal::writes_nothing;
}

void check_lock_file_name(std::string_view file, std::string_view what, std::string_view given,
                          std::string_view files) {
  if (!file.ends_with(kLockEnding)) return;
  refuse_run("The " + std::string(what) + " '" + std::string(given) + "' gives " + std::string(files) +
                 " the name of a lock file (they would be " + std::string(file) + ")",
             "OUTPUTNAME", LockRefusal::writes_nothing);
}

// The channel files of a run are open together, each beside its lock: room
// for them is kept first (the files of the run that writes the most, with its
// description file, and those opened beside them), so that a lock that would
// leave them none is refused as one that cannot be made, before anything is
// written.
void lock_channel_files() {
  if (outppp::outfil == 0 || fnames::iouttype != 0) return;
  const LockRefusal refusal = refusal_once_case_read();
  // Every run but the last writes as many files as the first.
  const std::vector<std::string> first_run = run_output_file_names(1), last_run = run_output_file_names(ctrl::nrun);
  const std::size_t at_once = std::max(first_run.size(), last_run.size());
  if (at_once == 0) return;
  if (!keep_room(at_once + kFilesBesideChannels)) {
    const std::string& first = first_run.empty() ? last_run.front() : first_run.front();
    refuse_run("The lock file " + lock_file_of(first) + " for the " + std::string(kOutputFile) + " " + first +
                   " cannot be taken (it cannot be made: " + system_reason(EMFILE) + ")",
               "OUTPUTLOCK", refusal);
  }
  for (std::int32_t run = 1; run <= ctrl::nrun; ++run)
    for (const std::string& name : run_output_file_names(run)) lock_output_file(name, kOutputFile, refusal);
}

void release_file_room() {
  for (const int fd : g_room) ::close(fd);
  g_room.clear();
}

void lock_multiple_run_file(std::string_view file_name, std::string_view kind) {
  const std::string name(file_name);
  check_name(stem(name), name, "multiple-run file name", "the multiple-run files", name,
             LockRefusal::stops_before_writing);
  lock_output_file(name, kind);
}

void release_output_names() {
  for (const auto& [path, held] : g_held) {
    ::unlink(path.c_str());
    ::close(held.fd);
  }
  g_held.clear();
  g_unguarded_folders.clear();
  release_file_room();
}

}  // namespace wakro
