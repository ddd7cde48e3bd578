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
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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
// Times a lock is asked again when a signal interrupts the asking.
constexpr int kInterruptedAttempts = 4;
// Links followed at most in one name, as the system itself follows them.
constexpr int kMaxLinks = 40;
constexpr std::string_view kOutputFile = "output file";

constexpr std::string_view kLockEnding = ".lock";
// Descriptors a run may open beside its channel files while they are open: a
// snapshot, a multiple-run and an extra recording file.
constexpr std::size_t kFilesBesideChannels = 3;

// A lock held: the lock file's descriptor, the writer of the file, known by
// the kind of file it writes ("output file", "snapshot", ...), the file's name
// as its writer gives it, and the lock on the file itself once the file
// exists (its descriptor, device and inode).
struct Held {
  int fd;
  std::string kind;
  std::string file;
  int file_fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
};
// The locks held: lock file (absolute) -> its holder.
std::unordered_map<std::string, Held> g_held;
// The files locked themselves: (device, inode) -> the lock file of their name.
std::map<std::pair<dev_t, ino_t>, std::string> g_files;
// Descriptors held in the place of the files a run keeps open at once, from
// the moment its channel files are locked to the moment they are opened, so
// that every lock taken meanwhile leaves room for them.
std::vector<int> g_room;
// Folders already said to have no locks.
std::set<std::string> g_unguarded_folders;
// Folders already said to hold a file whose lock on the file itself cannot be
// taken, though its lock file is.
std::set<std::string> g_unlocked_file_folders;
// The family locks held: lock file (absolute) -> its descriptor and how it is
// held (LOCK_EX, LOCK_SH, or 0 where the file system offers no locks).
struct Family {
  int fd;
  int how;
};
std::unordered_map<std::string, Family> g_families;
// The family lock of the set's own per-run files, held exclusively ("" when
// the set names no files after its runs).
std::string g_own_family;

// What taking one lock file came to: taken (fd holds it), busy (another process
// holds it), unguarded (the file system offers no locks: fd is open, unlocked)
// or refused (`why` says why it cannot be taken).
enum class Take { taken, busy, unguarded, refused };

// flock's answers that say the file system offers no locks at all, as against
// a lock that is held or a call that failed. The operations asked are always
// valid, so EINVAL too can only be the file system refusing locks.
bool no_locks_here(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

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

// A link at a lock file's name is never followed: the open would make or lock
// the file it leads to. `made` says whether this open made the file.
int open_lock_file(const std::string& path, bool& made) {
  int fd = open_raising(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW);
  made = fd >= 0;
  if (fd < 0 && errno == EEXIST) fd = open_raising(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW);
  return fd;
}

// The folder of a path, with its closing '/' (the path is absolute).
std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// flock without waiting, asked again (a few times) when a signal interrupts it.
int flock_now(int fd, int how) {
  int result = ::flock(fd, how | LOCK_NB);
  for (int n = 1; result != 0 && errno == EINTR && n < kInterruptedAttempts; ++n) result = ::flock(fd, how | LOCK_NB);
  return result;
}

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

Take take(const std::string& path, int& fd, std::string& why, int how = LOCK_EX) {
  for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
    // A link, a folder, a device or a pipe standing at the name is no lock file.
    if (struct stat st {}; ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      why = "it is a symbolic link, and a lock file is never followed";
      return Take::refused;
    }
    if (const std::string_view kind = not_a_file(path); !kind.empty()) {
      why = "it " + std::string(kind);
      return Take::refused;
    }
    bool made = false;
    fd = open_lock_file(path, made);
    if (fd < 0) {
      why = "it cannot be made: " + system_reason(errno);
      return Take::refused;
    }
    if (flock_now(fd, how) != 0) {
      const int reason = errno;
      why = system_reason(reason);
      if (no_locks_here(reason)) return Take::unguarded;
      ::close(fd);
      if (reason == EWOULDBLOCK) return Take::busy;
      if (made) ::unlink(path.c_str());  // not left behind by a run it refuses
      why = "it cannot be locked: " + why;
      return Take::refused;
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) == 0 && ::lstat(path.c_str(), &named) == 0 && locked.st_dev == named.st_dev &&
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

// The file a name leads to, as an absolute name, with '/' for '\' (as the
// files are opened): its folder resolved and, while a symbolic link stands at
// its file name, the link followed, as the writer's open would follow it (a
// chain of links too, and a dangling one, whose target that open would make).
// A name that leads to a device, a pipe or a socket keeps its own lock beside
// it: such a file holds no rows to mix, and its folder (/dev) is no place for
// lock files, nor one lock for every name that leads to /dev/null.
// `found` is false when the name's folder does not exist.
std::string resolved_file(std::string name, bool& found) {
  std::replace(name.begin(), name.end(), '\\', '/');
  const std::string named = resolved_folder(name, found) + name.substr(file_part_start(name));
  std::string path = named;
  for (int hop = 0; found && hop < kMaxLinks; ++hop) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {  // it exists: every link on the way resolved
      path = real;
      std::free(real);
      struct stat st {};
      return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) ? named : path;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0 || n >= PATH_MAX) return path;
    target.resize(static_cast<std::size_t>(n));
    if (target.front() != '/') target = path.substr(0, path.rfind('/') + 1) + target;
    const std::size_t cut = target.rfind('/');
    const std::string file = target.substr(cut + 1);
    if (file.empty() || file == "." || file == "..") return path;
    // A target whose folder is missing is made by no open: the link's own name is kept.
    char* folder = ::realpath(cut == 0 ? "/" : target.substr(0, cut).c_str(), nullptr);
    if (folder == nullptr) return path;
    path = std::string(folder) + (std::string_view(folder) == "/" ? "" : "/") + file;
    std::free(folder);
  }
  return path;
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

// A name with its folder resolved and its file name as given (no link at it
// followed), with '/' for '\'.
std::string named_file(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  bool found = false;
  return resolved_folder(name, found) + name.substr(file_part_start(name));
}

// Number of decimal digits at the end of `s`.
std::size_t digits_at_end(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && s[s.size() - 1 - n] >= '0' && s[s.size() - 1 - n] <= '9') ++n;
  return n;
}

// The family lock of a file (an absolute name), or "" when the file is none of
// a family. The files a set of runs names after each of its runs
// ("<base>_r00002.inf", "<base>_r00002_01.out": "_r", five digits or more,
// then the description file's ending or "_" and a channel file's number) form
// one family, and a set holds its family's lock for as long as it runs,
// exclusively: it releases each run's own file locks when that run ends, and
// the family lock keeps the finished files of its runs from a run beside it.
// Any other run writing a file of a family holds its lock shared. The lock is
// "<folder>/<base>_r.lock.lock": a name ending in ".lock", which no file a run
// writes may have, and the lock file of no such file either (that file's name
// would end in ".lock").
std::string family_lock_of(const std::string& path) {
  const std::size_t part = path.rfind('/') + 1;
  std::string_view name = std::string_view(path).substr(part);
  if (name.ends_with(".out")) {
    name.remove_suffix(4);
    const std::size_t k = digits_at_end(name);
    if (k < 2 || k >= name.size() || name[name.size() - 1 - k] != '_') return {};
    name.remove_suffix(k + 1);
  } else if (name.ends_with(".inf")) {
    name.remove_suffix(4);
  } else {
    return {};
  }
  const std::size_t run = digits_at_end(name);
  name.remove_suffix(run);
  if (run < 5 || name.size() < 3 || !name.ends_with("_r"))
    return {};  // a base of one character at least
  return path.substr(0, part) + std::string(name) + std::string(kLockEnding) +
         std::string(kLockEnding);
}

// Holds the family lock `lock` for the `file` about to be written, `how`
// (LOCK_EX for the set's own family, else LOCK_SH), to the end of the set.
void hold_family(const std::string& lock, const std::string& file, int how, LockRefusal refusal) {
  if (const auto it = g_families.find(lock); it != g_families.end()) {
    if (how == LOCK_SH || it->second.how != LOCK_SH) return;  // held as wanted, or unguarded
    if (flock_now(it->second.fd, LOCK_EX) == 0) {
      it->second.how = LOCK_EX;
      return;
    }
    refuse_run("Another run is writing the " + file + " (it holds the lock " + lock + ")",
               "OUTPUTLOCK", refusal);
  }
  int fd = -1;
  std::string why;
  switch (take(lock, fd, why, how)) {
    case Take::taken:
      g_families.emplace(lock, Family{fd, how});
      return;
    case Take::unguarded:  // its folder is said to be unguarded with the file's own lock
      g_families.emplace(lock, Family{fd, 0});
      return;
    case Take::busy:
      refuse_run("Another run is writing the " + file + " (it holds the lock " + lock + ")",
                 "OUTPUTLOCK", refusal);
    case Take::refused:
      refuse_run("The lock file " + lock + " for the " + file + " cannot be taken (" + why + ")",
                 "OUTPUTLOCK", refusal);
  }
}

// The family lock of the file a name leads to (`target`), when it is a file
// of a family.
void hold_family_of(const std::string& target, const std::string& file, LockRefusal refusal) {
  if (const std::string lock = family_lock_of(target); !lock.empty())
    hold_family(lock, file, lock == g_own_family ? LOCK_EX : LOCK_SH, refusal);
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

// Opens an existing regular file to lock it, without making, cutting or
// following anything, and without waiting (a pipe's open would wait); -1 when
// it cannot be opened (`error` says why) or is no regular file (error 0). It is
// opened for writing: where flock is a whole-file record lock (NFS), an
// exclusive lock needs a descriptor open for writing. A file that may only be
// read is left to its writer's own open to refuse.
int open_file_itself(const std::string& path, int& error) {
  error = 0;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;  // none yet: its writer makes it
  const int fd = open_raising(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY);
  if (fd < 0) error = errno;
  return fd;
}

// Takes again the lock on a file held (`held`, its lock file's holder), false
// when another process holds it. Where flock is a record lock of the process
// (NFS), closing any descriptor of the file (its writer's, a reader's) has
// released it; elsewhere the lock is held still and this changes nothing.
bool lock_again(const Held& held) {
  return held.file_fd < 0 || flock_now(held.file_fd, LOCK_EX) == 0 || errno != EWOULDBLOCK;
}

// The lock on the file itself, held with the lock of its name `lock`: an
// exclusive flock on a descriptor of the file (`given`, a writer's, is
// duplicated; without it the file at `path` is opened when it exists). Every
// name of one file, a hard link too, meets at this lock, and a name linked to
// the file later finds it held while the file is written. A file made again
// under the name is locked anew. A file locked already (by this lock or
// another) is known by its device and inode before a descriptor of it is
// opened: where flock is a record lock of the process (NFS), closing that
// second descriptor would release the lock.
void hold_file_itself(const std::string& lock, int given, const std::string& path, LockRefusal refusal) {
  Held& held = g_held.at(lock);
  const std::string file = held.kind + " " + held.file;
  const std::string itself = "lock on the file itself, " + path;
  const std::string through =
      "Another run is writing the " + file + " through another name (it holds the " + itself + ")";
  struct stat st {};
  // None yet: its writer makes it. A pipe or a device is not written over.
  if (given >= 0 ? ::fstat(given, &st) != 0 : ::lstat(path.c_str(), &st) != 0) return;
  if (!S_ISREG(st.st_mode)) return;
  if (held.file_fd >= 0 && held.dev == st.st_dev && held.ino == st.st_ino) {
    if (!lock_again(held)) refuse_run(through, "OUTPUTLOCK", refusal);
    return;
  }
  if (const auto other = g_files.find({st.st_dev, st.st_ino}); other != g_files.end()) {
    const Held& first = g_held.at(other->second);
    refuse_run("The " + file + " is written already as this run's " + first.kind + " " + first.file +
                   " (it holds the " + itself + ")",
               "OUTPUTLOCK", refusal);
  }
  int error = 0;
  const int fd = given >= 0 ? ::fcntl(given, F_DUPFD_CLOEXEC, 0) : open_file_itself(path, error);
  if (given >= 0 && fd < 0) error = errno;
  if (fd < 0) {
    if (error != EMFILE) return;  // not to be opened: its writer's own open says why
    refuse_run("The " + itself + ", for the " + file + " cannot be taken (" + system_reason(error) + ")",
               "OUTPUTLOCK", refusal);
  }
  // A file made again at the name as it was opened: its writer's own open locks it.
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
    ::close(fd);
    return;
  }
  if (flock_now(fd, LOCK_EX) != 0) {
    const int reason = errno;
    ::close(fd);
    if (no_locks_here(reason)) {
      // Unguarded, as the lock files of its folder are, and said so there;
      // where those lock, said once for the folder here.
      const std::string folder = folder_of(path);
      if (!g_unguarded_folders.contains(folder) && g_unlocked_file_folders.insert(folder).second)
        ListLine() << "WARNING: The " + itself + ", cannot be taken (" + system_reason(reason) +
                          "): a run writing it through another name is not refused.";
      return;
    }
    if (reason == EWOULDBLOCK) refuse_run(through, "OUTPUTLOCK", refusal);
    refuse_run("The " + itself + ", for the " + file + " cannot be taken (it cannot be locked: " +
                   system_reason(reason) + ")",
               "OUTPUTLOCK", refusal);
  }
  if (held.file_fd >= 0) {
    g_files.erase({held.dev, held.ino});
    ::close(held.file_fd);
  }
  held.file_fd = fd;
  held.dev = st.st_dev;
  held.ino = st.st_ino;
  g_files.emplace(std::pair{st.st_dev, st.st_ino}, lock);
}

// Releases one lock: its file removed, then its descriptors closed.
void release(std::unordered_map<std::string, Held>::iterator it) {
  ::unlink(it->first.c_str());
  ::close(it->second.fd);
  if (it->second.file_fd >= 0) {
    g_files.erase({it->second.dev, it->second.ino});
    ::close(it->second.file_fd);
  }
  g_held.erase(it);
}

// A lock that cannot be taken ends the run: a run that went on without it could
// write over the file of another run. Only where the file system offers no
// locks at all does the run go on, unguarded, and says so.
//
// A file whose folder is missing when it is opened has nothing to guard: its
// writer's own open says so. At the start a missing folder is refused here.
//
// `itself`: the file is locked itself too once it exists (hold_file_itself);
// not the record file, whose writer locks it itself.
void lock_file(std::string_view file_name, std::string_view kind, LockRefusal refusal, bool itself) {
  bool found = false;
  const std::string target = resolved_file(std::string(file_name), found);
  const std::string path = target + std::string(kLockEnding);
  const std::string file = std::string(kind) + " " + std::string(file_name);
  // Written, such a file would take the place of the lock of another file;
  // so would the file a link at its name leads to.
  if (file_name.ends_with(kLockEnding) || target.ends_with(kLockEnding))
    refuse_run("The " + file +
                   (file_name.ends_with(kLockEnding) ? std::string(" would have the name of a lock file")
                                                     : " leads to a file named as a lock file, " + target) +
                   " (a name ending in \"" + std::string(kLockEnding) + "\")",
               "OUTPUTNAME", refusal);
  // A file this process writes already is written by one writer only: the
  // same writer opens it again on a later run, another would mix the two.
  if (const auto it = g_held.find(path); it != g_held.end()) {
    if (it->second.kind != kind)
      refuse_run("The " + file + " is written already as this run's " + it->second.kind + " (it holds the lock " +
                     path + ")",
                 "OUTPUTLOCK", refusal);
    if (itself) hold_file_itself(path, -1, target, refusal);
    return;
  }
  if (!found && refusal == LockRefusal::stops_before_writing) return;
  int fd = -1;
  std::string why;
  switch (take(path, fd, why)) {
    case Take::unguarded: {
      const std::string folder = folder_of(path);
      if (g_unguarded_folders.insert(folder).second)
        ListLine() << "WARNING: The lock file " + path + " cannot be locked (" + why +
                          "): the file system offers no locks, so the files this run writes in " + folder +
                          " are not guarded against another run writing them.";
      g_held.emplace(path, Held{fd, std::string(kind), std::string(file_name)});
      hold_family_of(target, file, refusal);
      return;
    }
    case Take::taken:
      g_held.emplace(path, Held{fd, std::string(kind), std::string(file_name)});
      if (itself) hold_file_itself(path, -1, target, refusal);
      hold_family_of(target, file, refusal);
      return;
    case Take::busy:
      refuse_run("Another run is writing the " + file + " (it holds the lock " + path + ")", "OUTPUTLOCK", refusal);
    case Take::refused:
      refuse_run("The lock file " + path + " for the " + file + " cannot be taken (" + why + ")", "OUTPUTLOCK",
                 refusal);
  }
}

}  // namespace

std::string lock_file_of(std::string_view file_name) {
  bool found = false;
  return resolved_file(std::string(file_name), found) + std::string(kLockEnding);
}

std::size_t held_lock_count() { return g_held.size() + g_families.size(); }

void lock_output_file(std::string_view file_name, std::string_view kind, LockRefusal refusal) {
  lock_file(file_name, kind, refusal, true);
}

void lock_file_opened(int fd, std::string_view file_name) {
  bool found = false;
  const std::string target = resolved_file(std::string(file_name), found);
  if (g_held.contains(target + std::string(kLockEnding)))
    hold_file_itself(target + std::string(kLockEnding), fd, target, LockRefusal::stops_before_writing);
}

void lock_file_closed(std::string_view file_name) {
  if (const auto it = g_held.find(lock_file_of(file_name)); it != g_held.end()) (void)lock_again(it->second);
}

void release_output_file(std::string_view file_name) {
  if (const auto it = g_held.find(lock_file_of(file_name)); it != g_held.end()) release(it);
}

void lock_output_names() {
  if (outppp::outfil != 0) {
    const std::string base = output_base_name();
    check_name(base, fnames::onam.trimmed(), "output name", "the output files", base + ".inf and " + base + "_01.out");
    // The record file is named after the whole output name.
    if (fnames::iouttype == 1)
      lock_file(std::string(fnames::onam.trimmed()) + ".qbout", kOutputFile, LockRefusal::writes_nothing, false);
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

// The channel files of a run are open together, each beside its lock and the
// lock on the file itself: room for them is kept first (each file's own
// descriptor, the lock on each file not made yet, which its open takes, and
// the files opened beside them), so that a lock that would leave them none is
// refused as one that cannot be made, before anything is written. Only the
// files of the run about to start are locked here: run 1's, or, when only the
// last run writes them, the last run's (named without a run number); a later
// run locks its own when it opens them.
void lock_channel_files() {
  if (outppp::outfil == 0 || fnames::iouttype != 0) return;
  const LockRefusal refusal = refusal_once_case_read();
  const std::vector<std::string> names =
      run_output_file_names(ctrl::nrun > 1 && outppp::mplt <= 0 ? ctrl::nrun : 1);
  if (names.empty()) return;
  std::size_t room = names.size() + kFilesBesideChannels;
  for (const std::string& name : names) {
    bool found = false;
    struct stat st {};
    room += ::stat(resolved_file(name, found).c_str(), &st) != 0;
  }
  if (!keep_room(room))
    refuse_run("The lock file " + lock_file_of(names.front()) + " for the " + std::string(kOutputFile) + " " +
                   names.front() + " cannot be taken (it cannot be made: " + system_reason(EMFILE) + ")",
               "OUTPUTLOCK", refusal);
  // A set that names its files after its runs holds their family's lock,
  // exclusively, taken with the lock of its first file here.
  if (ctrl::nrun > 1 && outppp::mplt > 0) g_own_family = family_lock_of(named_file(names.front()));
  for (const std::string& name : names) lock_output_file(name, kOutputFile, refusal);
  if (!g_own_family.empty())
    hold_family(g_own_family, std::string(kOutputFile) + " " + names.front(), LOCK_EX, refusal);
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
  while (!g_held.empty()) release(g_held.begin());
  // A family lock is removed by its last holder only: one held shared is
  // removed when no other run holds it any more.
  for (const auto& [lock, family] : g_families) {
    if (family.how != LOCK_SH || ::flock(family.fd, LOCK_EX | LOCK_NB) == 0) ::unlink(lock.c_str());
    ::close(family.fd);
  }
  g_families.clear();
  g_own_family.clear();
  g_unguarded_folders.clear();
  g_unlocked_file_folders.clear();
  release_file_room();
}

}  // namespace wakro
