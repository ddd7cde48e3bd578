// Preloaded into a run (LD_PRELOAD) by the tests of the output lock: its flock
// answers as on a file system that offers no locks at all, which no real file
// system here can be made to do on demand.
#include <cerrno>

extern "C" int flock(int, int) {
  errno = EOPNOTSUPP;
  return -1;
}
