// The stop signal as the process received it, and a wait that a stop signal
// ends.
//
// The handler that the process entry installs for the stop signals
// (stop_signals() below; see app/stoprun.h) only stores the signal number in g_received_stop_signal; the
// run loop asks for it once a step. The handler is installed with SA_RESTART, so
// reads and writes during a run are never cut short by the signal; the waits
// that must end on it (the start-up dialogues, on the console or with the design
// environment) wait through wait_readable_or_stop instead of blocking in a read.
//
// wait_readable_or_stop(fd) returns ready once fd can be read (or has reached
// its end or an error, which the following read then reports), stopped as soon
// as a stop signal has been received (also one received before the call), error
// when the wait itself fails. The stop signals are blocked while the flag is
// looked at and unblocked only inside the wait (ppoll), so a signal that arrives
// between the look and the wait still ends the wait.
//
// g_waits_end_on_stop is set while a wait on the design environment that a
// stop signal must end runs (the start-up dialogue, the wait for steps and for
// the end-of-run answer, the parallel runs' consolidation, the closing
// exchange): a blocking receive of the link then waits through
// wait_readable_or_stop and gives up (without breaking the link) on a stop
// signal; its caller, which sets the flag with WaitsEndOnStop, acts on the
// stop.
#pragma once

#include <signal.h>

#include <csignal>
#include <vector>

namespace wakro {

inline volatile std::sig_atomic_t g_received_stop_signal = 0;
inline volatile std::sig_atomic_t g_waits_end_on_stop = 0;

// Sets g_waits_end_on_stop for its lifetime, and puts back what it was.
class WaitsEndOnStop {
 public:
  WaitsEndOnStop() : before_(g_waits_end_on_stop) { g_waits_end_on_stop = 1; }
  ~WaitsEndOnStop() { g_waits_end_on_stop = before_; }
  WaitsEndOnStop(const WaitsEndOnStop&) = delete;
  WaitsEndOnStop& operator=(const WaitsEndOnStop&) = delete;

 private:
  std::sig_atomic_t before_;
};

// The signals that stop a run as a stop request does instead of killing it:
// every signal whose default action ends the process, except those that
// report a fault of the program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL,
// SIGABRT, SIGTRAP, SIGSYS) and SIGKILL. So an interrupt, a termination, a
// closed terminal (SIGHUP) or console pipe (SIGPIPE), a quit from the keyboard,
// a CPU-time limit reached, a timer, a power failure, an I/O or a user signal
// and the real-time signals. (A file-size limit's SIGXFSZ is ignored instead,
// so that the write past the limit fails and its writer reports it.)
const std::vector<int>& stop_signals();

enum class WaitResult { ready, stopped, error };

// timeoutMs < 0 waits without limit; when the limit passes the result is ready
// (the read that follows finds nothing and reports its own time-out).
WaitResult wait_readable_or_stop(int fd, int timeoutMs = -1);
// The same wait for the poll events given (POLLOUT: until fd can be written).
WaitResult wait_or_stop(int fd, short events, int timeoutMs = -1);

// How long a wait on the design environment may still last once a stop signal
// has come (its answer to the closing exchange, room to send in a full
// socket): a peer that keeps up is not cut off, a silent one does not hold the
// stopped program.
constexpr int kWaitAfterStopMs = 500;
// The link's failure when a send has waited that long in vain.
constexpr const char* kNotTakenAfterStop = "The peer took nothing more after the stop signal.";

// The name of a stop signal as the console gives it ("SIGINT", "SIGTERM",
// "SIGHUP", ..., "SIGRTMIN+3"), "a signal" for any other.
const char* stop_signal_name(int signal);

}  // namespace wakro
