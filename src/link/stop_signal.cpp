// wait_readable_or_stop: a wait for input that a stop signal ends (see
// stop_signal.h).
#include "link/stop_signal.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <utility>

namespace wakro {

WaitResult wait_readable_or_stop(int fd, int timeoutMs) {
  // 1. Hold the stop signals back while the flag is looked at.
  sigset_t stops, before;
  sigemptyset(&stops);
  for (const int s : stop_signals()) sigaddset(&stops, s);
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

const std::vector<int>& stop_signals() {
  static const std::vector<int> signals = [] {
    std::vector<int> v = {SIGINT,  SIGTERM, SIGHUP,    SIGPIPE, SIGQUIT, SIGXCPU, SIGALRM,
                          SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSTKFLT};
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) v.push_back(s);
    return v;
  }();
  return signals;
}

const char* stop_signal_name(int signal) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n(static_cast<std::size_t>(SIGRTMAX) + 1);
    const std::pair<int, const char*> fixed[] = {
        {SIGINT, "SIGINT"},     {SIGTERM, "SIGTERM"},     {SIGHUP, "SIGHUP"},   {SIGPIPE, "SIGPIPE"},
        {SIGQUIT, "SIGQUIT"},   {SIGXCPU, "SIGXCPU"},     {SIGALRM, "SIGALRM"}, {SIGUSR1, "SIGUSR1"},
        {SIGUSR2, "SIGUSR2"},   {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGIO, "SIGIO"},
        {SIGPWR, "SIGPWR"},     {SIGSTKFLT, "SIGSTKFLT"}};
    for (const auto& [s, name] : fixed) n[static_cast<std::size_t>(s)] = name;
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
      n[static_cast<std::size_t>(s)] = s == SIGRTMIN ? "SIGRTMIN" : "SIGRTMIN+" + std::to_string(s - SIGRTMIN);
    return n;
  }();
  if (signal < 1 || signal >= static_cast<int>(names.size()) || names[static_cast<std::size_t>(signal)].empty())
    return "a signal";
  return names[static_cast<std::size_t>(signal)].c_str();
}

}  // namespace wakro
