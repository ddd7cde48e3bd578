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

WaitResult wait_readable_or_stop(int fd, int timeoutMs) { return wait_or_stop(fd, POLLIN, timeoutMs); }

WaitResult wait_or_stop(int fd, short events, int timeoutMs) {
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
    pollfd p{fd, events, 0};
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

namespace {

// Every stop signal with its console name: the fixed ones, then the real-time
// signals ("SIGRTMIN", "SIGRTMIN+1", ...), whose numbers the system sets.
const std::vector<std::pair<int, std::string>>& named_stop_signals() {
  static const std::vector<std::pair<int, std::string>> signals = [] {
    std::vector<std::pair<int, std::string>> v = {
        {SIGINT, "SIGINT"},   {SIGTERM, "SIGTERM"},     {SIGHUP, "SIGHUP"},   {SIGPIPE, "SIGPIPE"},
        {SIGQUIT, "SIGQUIT"}, {SIGXCPU, "SIGXCPU"},     {SIGALRM, "SIGALRM"}, {SIGUSR1, "SIGUSR1"},
        {SIGUSR2, "SIGUSR2"}, {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGIO, "SIGIO"},
        {SIGPWR, "SIGPWR"},   {SIGSTKFLT, "SIGSTKFLT"}};
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
      v.emplace_back(s, s == SIGRTMIN ? "SIGRTMIN" : "SIGRTMIN+" + std::to_string(s - SIGRTMIN));
    return v;
  }();
  return signals;
}

}  // namespace

const std::vector<int>& stop_signals() {
  static const std::vector<int> signals = [] {
    std::vector<int> v;
    for (const auto& [s, name] : named_stop_signals()) v.push_back(s);
    return v;
  }();
  return signals;
}

const char* stop_signal_name(int signal) {
  for (const auto& [s, name] : named_stop_signals())
    if (s == signal) return name.c_str();
  return "a signal";
}

}  // namespace wakro
