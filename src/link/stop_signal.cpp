// wait_readable_or_stop: a wait for input that a stop signal ends (see
// stop_signal.h).
#include "link/stop_signal.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>

namespace wakro {

WaitResult wait_readable_or_stop(int fd, int timeoutMs) {
  // 1. Hold the stop signals back while the flag is looked at.
  sigset_t stops, before;
  sigemptyset(&stops);
  for (const int s : kStopSignals) sigaddset(&stops, s);
  pthread_sigmask(SIG_BLOCK, &stops, &before);
  // 2. Wait with the signals let through again; a signal ends the wait with
  //    EINTR and the flag is looked at once more.
  WaitResult result = WaitResult::error;
  for (;;) {
    if (g_received_stop_signal != 0) {
      result = WaitResult::stopped;
      break;
    }
    pollfd p{fd, POLLIN, 0};
    const timespec limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
    const int n = ppoll(&p, 1, timeoutMs < 0 ? nullptr : &limit, &before);
    if (n >= 0) {
      result = WaitResult::ready;
      break;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  // 3. The signal mask as it was.
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return result;
}

const char* stop_signal_name(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE";
    case SIGQUIT: return "SIGQUIT";
    case SIGXCPU: return "SIGXCPU";
    case SIGALRM: return "SIGALRM";
    case SIGUSR1: return "SIGUSR1";
    case SIGUSR2: return "SIGUSR2";
    case SIGVTALRM: return "SIGVTALRM";
    case SIGPROF: return "SIGPROF";
    default: return "a signal";
  }
}

}  // namespace wakro
