// Preloaded into a run (LD_PRELOAD) by the dialogue's tests: a read of standard
// input that finds its end raises SIGHUP first, as a closing terminal does.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  using Read = ssize_t (*)(int, void*, size_t);
  static const auto next = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
  const ssize_t n = next(fd, buffer, count);
  if (fd == STDIN_FILENO && n == 0) raise(SIGHUP);
  return n;
}
