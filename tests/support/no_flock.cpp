// Preloaded into a run (LD_PRELOAD) by the output lock's tests: flock answers as a file system with no locks,
// EOPNOTSUPP, or the answer the build names (EINVAL).
#include <cerrno>

#ifndef WAKRO_NO_FLOCK_ANSWER
#define WAKRO_NO_FLOCK_ANSWER EOPNOTSUPP
#endif

extern "C" int flock(int, int) { return errno = WAKRO_NO_FLOCK_ANSWER, -1; }
