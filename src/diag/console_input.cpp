// read_console_line and stop_on_signal (see console_input.h).
#include "diag/console_input.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "diag/console.h"
#include "diag/listout.h"
#include "link/stop_signal.h"
#include "model/fatal.h"

namespace wakro {

namespace {
constexpr int kStandardInput = 0;
constexpr int kSignalStatusBase = 128;  // a process ended by signal n reports 128 + n
}  // namespace

ConsoleRead read_console_line(std::string& line) {
  line.clear();
  // The question goes out before the wait for its answer, also through a pipe.
  console().flush();
  std::fflush(stdout);
  for (;;) {
    const WaitResult w = wait_readable_or_stop(kStandardInput);
    if (w == WaitResult::stopped) return ConsoleRead::stopped;
    if (w == WaitResult::error) return line.empty() ? ConsoleRead::end : ConsoleRead::ok;
    char c = 0;
    const ssize_t n = ::read(kStandardInput, &c, 1);
    if (n < 0 && errno == EINTR) continue;  // the flag is looked at by the wait
    if (n <= 0) return line.empty() ? ConsoleRead::end : ConsoleRead::ok;
    if (c == '\n') return ConsoleRead::ok;
    line.push_back(c);
  }
}

void stop_on_signal(std::string_view waitingFor) {
  const int signal = g_received_stop_signal;
  const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
  ListLine() << std::string("Stopped by ") + name + " while waiting for " + std::string(waitingFor) +
                    ": the run did not start.";
  throw FatalExit(kSignalStatusBase + signal);
}

}  // namespace wakro
