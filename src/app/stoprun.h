// Stop and pause requests, and the display throttle for model code.
//
// wakro_stoprun(0) makes the next step the last of the present run;
// wakro_stoprun(1) also drops the remaining runs (except in a process that runs
// under another one's control, mruntype 2). wakro_stoprun1 does the same on the
// engine's behalf, with the component ids cleared. wakro_stop ends the process
// from model code with an error; wakro_pause asks the design environment to
// pause; g_updat says whether a run-time display should be refreshed now.
//
// SIGINT, SIGTERM, SIGHUP (the terminal closed) and the other signals that would
// end the process (link/stop_signal.h) end a run as a stop request does: the
// handler installed by install_stop_signals only records the signal; the run
// loop sees it at the start of its next step and calls wakro_stoprun1(1), so
// that step and the one after it run, the channel files are closed whole at the
// end of the run, the run set ends there, the end report says where the run
// stopped and the process ends with status 128 + the signal number. The handler is installed to act
// once for SIGINT, SIGTERM and SIGQUIT: a second one ends the process at once
// (for a run that waits on the design environment, which gets no further
// steps); the others, which may come again unasked, stay handled. A signal
// the process was started with ignored stays ignored, and SIGXFSZ is ignored.
// A signal while the start-up dialogue waits for an answer (on the console, or from the design environment)
// ends the program at once, before anything runs: those waits end on the signal
// (link/stop_signal.h) and stop through the fatal-exit point with the same
// status (diag/console_input.h).
#pragma once

#include <cstdint>

void wakro_stoprun(const std::int32_t& mode);
void wakro_stoprun1(const std::int32_t& mode);
[[noreturn]] void wakro_stop();
void wakro_pause();
bool g_updat(const double& interval);

namespace wakro {

void install_stop_signals();
// The stop signal received, 0 while none came.
int stop_signal();
// Forgets a received stop signal (for tests).
void clear_stop_signal();
// Records a stop signal as the handler does (for tests).
void note_stop_signal(int signal);

// The stop signal that ended the run set (0 while none did), and where the
// last run that ran ended: its last step and that step's time. The run loop
// notes the signal that it sees; the end report notes one that came after the
// last run's steps (between two runs, or after the last run) and decides with
// it once its first line is written out to the console: a signal that comes
// after that line changes nothing (the lock files are removed, a design
// environment's closing exchange runs and the process ends with the status
// decided).
struct SignalStop {
  int signal = 0;
  std::int32_t step = 0;
  double time = 0.0;
};
inline SignalStop signal_stop;

// The status of a process whose run set a stop signal ended (128 + the signal
// number of signal_stop), or 0 when no stop signal ended it.
int stop_signal_status();

// The time of day as hhmmss.sss read as a number; replaceable by tests.
inline double (*time_of_day_hhmmss)() = nullptr;
double system_time_of_day_hhmmss();
}  // namespace wakro
