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

// The part of a name up to the first '.' of its file-name part (the folder part
// is kept whole); a '\' separates folders too.
std::string stem(std::string_view name) {
  return std::string(name.substr(0, name.find_first_of(". ", file_part_start(name))));
}

std::string absolute_name(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(name, ec);
  return ec ? name : p.lexically_normal().string();
}

// Ends the start before anything is written, with the message given.
[[noreturn]] void refuse_run(const std::string& message, std::string_view tag) {
  release_output_names();
  ListLine() << "ERROR: " + message + ": this run is refused and writes nothing.";
  wakro_quit(tag, 0);
}

// Takes the lock of one name; `files` says which files it guards. A lock that
// cannot be taken ends the start: a run that went on without it could write
// over the files of another run. Only where the file system offers no locks at
// all does the run go on, unguarded, and says so.
void lock_name(const std::string& base, const std::string& files) {
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
                        "): the file system offers no locks, so the output files " + files +
                        " are not guarded against another run writing them.";
      [[fallthrough]];
    case Take::taken:
      g_held.push_back(Held{path, fd});
      return;
    case Take::busy:
      refuse_run("Another run is writing the output files " + files + " (it holds the lock " + path + ")",
                 "OUTPUTLOCK");
    case Take::refused:
      refuse_run("The lock file " + path + " for the output files " + files + " cannot be taken (" + why + ")",
                 "OUTPUTLOCK");
  }
}

// The output files need a name of their own: a blank output name (or one that
// is blank or a '.' where its file-name part starts) would write ".inf" and
// "_01.out", which no lock could guard.
void check_output_name(const std::string& base) {
  const std::size_t slash = base.find_last_of("/\\");
  if (base.size() > (slash == std::string::npos ? 0 : slash + 1)) return;
  const std::string_view given = fnames::onam.trimmed();
  refuse_run((given.empty() ? std::string("The output name is blank")
                            : "The output name '" + std::string(given) + "' gives the output files no name") +
                 " (they would be " + base + ".inf and " + base + "_01.out)",
             "OUTPUTNAME");
}

}  // namespace

void lock_output_names() {
  if (outppp::outfil != 0) {
    const std::string base = output_base_name();
    check_output_name(base);
    lock_name(base, base + "_01.out ..., " + base + ".inf and " + base + ".qbout");
  }
  if (outppp::snpfil != 0) {
    const std::string snap = stem(fnames::snam.trimmed());
    lock_name(snap, snap + ".snp (and its numbered snapshots)");
  }
  if (ctrl::nrun > 1) {
    const std::string runs = stem(fnames::mnam.trimmed());
    lock_name(runs, runs + " (the multiple-run files)");
  }
}

void release_output_names() {
  for (const Held& h : g_held) {
    ::unlink(h.path.c_str());
    ::close(h.fd);
  }
  g_held.clear();
}

}  // namespace wakro
