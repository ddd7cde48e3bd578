// Preloaded into a run (LD_PRELOAD) by the output lock's tests: flock answers as
// the Linux NFS client's does, which takes it as a whole-file record lock
// (fcntl): an exclusive lock needs a descriptor open for writing (a shared one,
// for reading) or fails with EBADF, the lock belongs to the process (two of its
// descriptors of one file never conflict), and closing any descriptor of the
// file releases it.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

extern "C" int flock(int fd, int operation) {
  struct ::flock range {};
  range.l_whence = SEEK_SET;  // from 0 to the end: the whole file
  switch (operation & ~LOCK_NB) {
    case LOCK_EX: range.l_type = F_WRLCK; break;
    case LOCK_SH: range.l_type = F_RDLCK; break;
    case LOCK_UN: range.l_type = F_UNLCK; break;
    default: return errno = EINVAL, -1;
  }
  if (::fcntl(fd, (operation & LOCK_NB) != 0 ? F_SETLK : F_SETLKW, &range) == 0) return 0;
  if (errno == EACCES) errno = EWOULDBLOCK;  // a lock held by another process, as flock says it
  return -1;
}
