// read_console_line and stop_on_signal (see console_input.h).
#include "diag/console_input.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

#include "diag/console.h"
#include "diag/listout.h"
#include "diag/quit.h"
#include "link/stop_signal.h"
#include "model/fatal.h"

namespace wakro {

namespace {
constexpr int kStandardInput = 0;
constexpr int kSignalStatusBase = 128;  // a process ended by signal n reports 128 + n
long long g_lines_read = 0;             // console lines read so far, for the message below

// An answer longer than any question takes (the input may be a device such as
// /dev/zero, whose "line" never ends) ends the run instead of filling the memory.
[[noreturn]] void refuse_long_answer() {
  ListLine() << "WAKRO: Line too long: the console input, line " +
                    std::to_string(g_lines_read + 1) + ", is longer than " +
                    std::to_string(kMaxConsoleLine) + " characters";
  wakro_quit("CONSOLE", 0);
}

// The end of the input, or the stop signal that came with it: a closing
// terminal sends its hang-up and ends the input at once, and the signal may
// reach another thread while this one finds the end.
ConsoleRead end_or_stop() { return g_received_stop_signal != 0 ? ConsoleRead::stopped : ConsoleRead::end; }
}  // namespace

ConsoleRead read_console_line(std::string& line) {
  line.clear();
  // The question goes out before the wait for its answer, also through a pipe.
  console().flush();
  std::fflush(stdout);
  for (;;) {
    const WaitResult w = wait_readable_or_stop(kStandardInput);
    if (w == WaitResult::stopped) return ConsoleRead::stopped;
    if (w == WaitResult::error) return line.empty() ? end_or_stop() : ConsoleRead::ok;
    char c = 0;
    const ssize_t n = ::read(kStandardInput, &c, 1);
    if (n < 0 && errno == EINTR) continue;  // the flag is looked at by the wait
    if (n <= 0 && line.empty()) return end_or_stop();
    if (n <= 0 || c == '\n') {
      ++g_lines_read;
      return ConsoleRead::ok;
    }
    if (line.size() == kMaxConsoleLine) refuse_long_answer();
    line.push_back(c);
  }
}

void stop_on_signal(std::string_view waitingFor) {
  const int signal = g_received_stop_signal;
  ListLine() << std::string("Stopped by ") + stop_signal_name(signal) + " while waiting for " + std::string(waitingFor) +
                    ": the run did not start.";
  throw FatalExit(kSignalStatusBase + signal);
}

}  // namespace wakro
