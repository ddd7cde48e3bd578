// Preloaded into a run (LD_PRELOAD) by the output lock's tests: flock answers as a file system with no locks,
// EOPNOTSUPP, or the answer the build names (EINVAL, ENOLCK; EBADF or EINTR, a call that failed). The build may
// name the files that answer so (WAKRO_NO_FLOCK_LOCK_FILES 1: the lock files, named "*.lock"; 0: every other
// file) and how many times (WAKRO_NO_FLOCK_TIMES); the system's flock answers the rest.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#ifndef WAKRO_NO_FLOCK_ANSWER
#define WAKRO_NO_FLOCK_ANSWER EOPNOTSUPP
#endif

namespace {

// Whether the file open at fd is named as a lock file.
[[maybe_unused]] bool is_lock_file(int fd) {
  char link[32], name[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, name, sizeof name);
  return n > 0 && std::string_view(name, static_cast<std::size_t>(n)).ends_with(".lock");
}

}  // namespace

extern "C" int flock(int fd, int how) {
  bool answers = true;
#ifdef WAKRO_NO_FLOCK_LOCK_FILES
  answers = is_lock_file(fd) == (WAKRO_NO_FLOCK_LOCK_FILES != 0);
#endif
#ifdef WAKRO_NO_FLOCK_TIMES
  static int answered = 0;
  answers = answers && answered++ < WAKRO_NO_FLOCK_TIMES;
#endif
  if (answers) return errno = WAKRO_NO_FLOCK_ANSWER, -1;
  static const auto next = reinterpret_cast<int (*)(int, int)>(::dlsym(RTLD_NEXT, "flock"));
  return next(fd, how);
}
