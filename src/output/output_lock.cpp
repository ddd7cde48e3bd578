// The lock on a run's output names (see output_lock.h).
//
// A lock file is taken with open(O_CREAT) and flock(LOCK_EX | LOCK_NB). Its
// holder removes it before releasing the lock, so a second process may have
// locked a file that no longer has a name: after locking, the name must still
// lead to the file locked, or the taking starts again with the new file.
#include "output/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/textfile.h"
#include "files/words.h"
#include "model/ctrl.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "output/channel_files.h"

namespace wakro {
namespace {

constexpr int kTakeAttempts = 16;

struct Held {
  std::string path;  // absolute
  int fd = -1;
};
std::vector<Held> g_held;

// What taking one lock file came to: taken (fd holds it), busy (another process
// holds it), unguarded (the file system offers no locks: fd is open, unlocked)
// or refused (`why` says why it cannot be taken).
enum class Take { taken, busy, unguarded, refused };

// flock's answers that say the file system offers no locks at all, as against
// a lock that is held or a call that failed.
bool no_locks_here(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS; }

Take take(const std::string& path, int& fd, std::string& why) {
  for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
    // A folder, a device or a pipe standing at the name is no lock file.
    if (const std::string_view kind = not_a_file(path); !kind.empty()) {
      why = "it " + std::string(kind);
      return Take::refused;
    }
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
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

std::string absolute_name(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(name, ec);
  return ec ? name : p.lexically_normal().string();
}

// How a stop ends its message: at the start nothing has been written yet; a
// set of runs that reaches a multiple-run file has written its channel files.
constexpr std::string_view kWritesNothing = "this run is refused and writes nothing";
constexpr std::string_view kStopsBeforeThem = "this set of runs stops before writing them";

// Ends the run with the message given. A stop at the start releases the names
// held; later the run set's end releases them as the stop unwinds it.
[[noreturn]] void refuse_run(const std::string& message, std::string_view tag,
                             std::string_view ending = kWritesNothing) {
  if (ending == kWritesNothing) release_output_names();
  ListLine() << "ERROR: " + message + ": " + std::string(ending) + ".";
  wakro_quit(tag, 0);
}

// Takes the lock of one name; `files` says which files it guards ("the output
// files ...") and `ending` how a stop ends its message. A lock that
// cannot be taken ends the start: a run that went on without it could write
// over the files of another run. Only where the file system offers no locks at
// all does the run go on, unguarded, and says so.
void lock_name(const std::string& base, const std::string& files, std::string_view ending = kWritesNothing) {
  if (base.empty()) return;
  std::string name = base + ".lock";
  std::replace(name.begin(), name.end(), '\\', '/');
  const std::string path = absolute_name(name);
  if (std::any_of(g_held.begin(), g_held.end(), [&](const Held& h) { return h.path == path; })) return;
  int fd = -1;
  std::string why;
  switch (take(path, fd, why)) {
    case Take::unguarded:
      ListLine() << "WARNING: The lock file " + path + " cannot be locked (" + why +
                        "): the file system offers no locks, so " + files +
                        " are not guarded against another run writing them.";
      [[fallthrough]];
    case Take::taken:
      g_held.push_back(Held{path, fd});
      return;
    case Take::busy:
      refuse_run("Another run is writing " + files + " (it holds the lock " + path + ")", "OUTPUTLOCK", ending);
    case Take::refused:
      refuse_run("The lock file " + path + " for " + files + " cannot be taken (" + why + ")", "OUTPUTLOCK",
                 ending);
  }
}

// Files need a name of their own: a name that is blank (or blank or a '.'
// where its file-name part starts) would write files named by their endings
// alone (".inf", "_01.out", ".snp"), which no lock could guard. `base` is the
// name's stem, `given` the name as given, `what` says which name it is and
// `files` which files it names; `would_be` lists them.
void check_name(const std::string& base, std::string_view given, std::string_view what, std::string_view files,
                const std::string& would_be, std::string_view ending = kWritesNothing) {
  if (base.size() > file_part_start(base)) return;
  refuse_run((given.empty() ? "The " + std::string(what) + " is blank"
                            : "The " + std::string(what) + " '" + std::string(given) + "' gives " +
                                  std::string(files) + " no name") +
                 " (they would be " + would_be + ")",
             "OUTPUTNAME", ending);
}

}  // namespace

void lock_output_names() {
  if (outppp::outfil != 0) {
    const std::string base = output_base_name();
    check_name(base, fnames::onam.trimmed(), "output name", "the output files", base + ".inf and " + base + "_01.out");
    lock_name(base, "the output files " + base + "_01.out ..., " + base + ".inf and " + base + ".qbout");
  }
  if (outppp::snpfil != 0) {
    std::string snap = stem(fnames::snam.trimmed());
    if (file_part_start(snap) == 0 && snap.size() > kSnapshotStemLength) snap.resize(kSnapshotStemLength);
    check_name(snap, fnames::snam.trimmed(), "snapshot name", "the snapshots", snap + ".snp");
    lock_name(snap, "the output files " + snap + ".snp (and its numbered snapshots)");
  }
  if (ctrl::nrun > 1) {
    const std::string runs = stem(fnames::mnam.trimmed());
    check_name(runs, fnames::mnam.trimmed(), "multiple-run name", "the multiple-run files", runs + ".out");
    lock_name(runs, "the output files " + runs + " (the multiple-run files)");
  }
}

void lock_multiple_run_file(std::string_view file_name) {
  const std::string name(file_name);
  const std::string base = stem(name);
  check_name(base, name, "multiple-run file name", "the multiple-run files", name, kStopsBeforeThem);
  lock_name(base, "the multiple-run files " + name, kStopsBeforeThem);
}

void release_output_names() {
  for (const Held& h : g_held) {
    ::unlink(h.path.c_str());
    ::close(h.fd);
  }
  g_held.clear();
}

}  // namespace wakro
