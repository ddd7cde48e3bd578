// Answers read from the console, and the stop of a wait that a stop signal
// ended.
//
// read_console_line reads one line (without its '\n') from the process's
// standard input: it first flushes the console, so that the question is out
// before the wait for its answer (also when the output goes to a pipe); it waits through
// wait_readable_or_stop (link/stop_signal.h), so that Ctrl-C or SIGTERM ends a wait for an answer
// at once, and reads byte by byte, so that nothing beyond the line is taken from the input (later
// readers of standard input find the next line where it is). Results: ok; end when the input has
// ended (or cannot be read) before any character of the line; stopped when a stop signal came. A
// line longer than kMaxConsoleLine characters ends the run (wakro_quit, tag "CONSOLE") with one
// line naming the console input and the line's number.
//
// stop_on_signal ends the program through the fatal-exit point with status 128
// plus the signal number, after one console line "Stopped by SIGINT while
// waiting for <what>: the run did not start." (any other stop signal likewise).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace wakro {

enum class ConsoleRead { ok, end, stopped };

// The longest answer taken: an answer is a name of at most a few dozen
// characters or a number, so 64 KiB is far beyond any.
inline constexpr std::size_t kMaxConsoleLine = std::size_t{64} << 10;

ConsoleRead read_console_line(std::string& line);

[[noreturn]] void stop_on_signal(std::string_view waitingFor);

}  // namespace wakro
