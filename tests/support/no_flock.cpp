// Preloaded into a run (LD_PRELOAD) by the output lock's tests: flock answers as a file system with no locks.
#include <cerrno>

extern "C" int flock(int, int) { return errno = EOPNOTSUPP, -1; }
