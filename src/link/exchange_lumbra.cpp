// ExchangeLumbraServer: sending and receiving whole messages through the
// communication library's server calls.
#include "link/exchange_lumbra.h"

#include <signal.h>
#include <sys/time.h>

#include <cstdio>
#include <cstring>

#include "link/communication.h"
#include "link/link_failure.h"
#include "link/stop_signal.h"

namespace {

constexpr const char* kTransportError = "Unexpected error at transport mechanism.";
constexpr const char* kTransportClosed = "Unexpected closure of transport mechanism.";
constexpr const char* kTooLong = "Message too long.";
// Flags of the library calls: 1 looks without waiting.
constexpr unsigned kNoWait = 1;
constexpr unsigned kPlain = 0;
// The smallest message that holds an identifier.
constexpr std::int64_t kIdentifierSize = 4;

void interrupt_only(int) {}

// The library's send waits for room until a signal interrupts the wait, and
// then gives the peer half a second more. A stop signal that came before the
// send interrupts nothing, so a send made after one runs under a timer whose
// signal (SIGALRM, quiet while the send lasts) interrupts the wait once the
// wait a stop allows has passed: a peer that reads nothing holds the stopped
// program a second at most.
class InterruptedAfterStopWait {
 public:
  InterruptedAfterStopWait() {
    static_assert(wakro::kWaitAfterStopMs < 1000, "the timer's microseconds hold the whole wait");
    if (wakro::g_received_stop_signal == 0) return;
    struct sigaction quiet {};
    quiet.sa_handler = &interrupt_only;
    sigemptyset(&quiet.sa_mask);
    if (sigaction(SIGALRM, &quiet, &before_) != 0) return;
    armed_ = true;
    itimerval once{};
    once.it_value.tv_usec = wakro::kWaitAfterStopMs * 1000;
    setitimer(ITIMER_REAL, &once, nullptr);
  }
  ~InterruptedAfterStopWait() {
    if (!armed_) return;
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &before_, nullptr);
  }
  InterruptedAfterStopWait(const InterruptedAfterStopWait&) = delete;
  InterruptedAfterStopWait& operator=(const InterruptedAfterStopWait&) = delete;

 private:
  struct sigaction before_ {};
  bool armed_ = false;
};

}  // namespace

ExchangeLumbraServer::ExchangeLumbraServer(std::uint32_t id) : id_(id) {}

void ExchangeLumbraServer::Fail(const char* text) {
  throwError(text);
  broken_ = true;
}

void ExchangeLumbraServer::SendKey() {
  swap_ = false;
  keyChecked_ = true;
  unsigned char block[kKeySize];
  const std::int32_t key = kKeyInteger;
  const double pi = kKeyDouble;
  std::memcpy(block, &key, 4);
  std::memcpy(block + 4, &pi, 8);
  const std::int64_t r = Communication::send_server(id_, block, kKeySize, kPlain);
  if (r < 0) Fail(kTransportError);
  if (r == 0) Fail(kTransportClosed);
}

void ExchangeLumbraServer::RecvKey() {
  swap_ = false;
  keyChecked_ = false;
}

void ExchangeLumbraServer::SendMsg() {
  const std::int32_t n = send_.position;
  const bool refused = send_.overrun;
  send_.position = 0;
  send_.overrun = false;
  if (broken_) return;  // reported when the link broke
  if (refused) {
    throwError(kTooLong);
    return;
  }
  const InterruptedAfterStopWait bounded;
  const std::int64_t r = Communication::send_server(id_, send_.data.data(), static_cast<std::uint64_t>(n), kPlain);
  // The library gives up a send that the peer leaves untaken for half a
  // second after a signal, as the TCP link does after a stop signal.
  if (r < 0 && wakro::g_received_stop_signal != 0) Fail(wakro::kNotTakenAfterStop);
  else if (r < 0) Fail(kTransportError);
  if (r == 0) Fail(kTransportClosed);
}

bool ExchangeLumbraServer::RecvMsg(bool wait) {
  if (broken_) return false;
  if (wait && DataWaiting() <= 0) {
    // About to wait: let everything written so far reach the user first.
    std::fflush(stdout);
    std::fflush(stderr);
  }
  int tries = 0;
  for (;;) {
    // During the waits that a stop signal ends (see stop_signal.h) the signal
    // ends the wait (the link stays whole), as it does on the TCP link, also
    // when messages keep arriving.
    if (wait && wakro::g_waits_end_on_stop != 0 && wakro::g_received_stop_signal != 0) return false;
    // 1. The size of the next whole message, or why there is none.
    const std::int64_t n = Communication::peek_server(id_, nullptr, 0, kNoWait);
    if (n <= Communication::kPeerClosed) {
      Fail(kTransportClosed);
      return false;
    }
    if (n < 0) {
      if (!wait) return false;
      wakro::poll_pause(tries);
      continue;
    }
    if (n > kMaxMessage) {
      Fail(kTooLong);
      return false;
    }
    // 2. Take it whole into the receive buffer; it is read from its first byte.
    recv_.position = 0;
    recv_.size = 0;
    recv_.overrun = false;
    recv_.CheckSize(static_cast<std::int32_t>(n));
    const std::int64_t r = Communication::recv_server(id_, recv_.data.data(),
                                                      static_cast<std::uint64_t>(recv_.capacity), kNoWait);
    if (r != n) {
      Fail(r <= Communication::kPeerClosed ? kTransportClosed : kTransportError);
      return false;
    }
    // 3. A message too short to hold its identifier carries nothing: skip it.
    //    A look without waiting reads no further once a stop signal has come,
    //    so a stream of such messages does not hold the stop off.
    if (n < kIdentifierSize) {
      if (!wait && wakro::g_received_stop_signal != 0) return false;
      continue;
    }
    recv_.size = static_cast<std::int32_t>(n);
    return true;
  }
}

int ExchangeLumbraServer::DataWaiting() const {
  const std::int64_t n = Communication::peek_server(id_, nullptr, 0, kNoWait);
  return n > 0x7fffffff ? 0x7fffffff : static_cast<int>(n);
}

// A closed connection counts as waiting, so that the receive that follows
// reports the closure instead of the run going on without its peer.
bool ExchangeLumbraServer::isDataWaiting() {
  if (broken_) return false;
  const std::int64_t n = Communication::peek_server(id_, nullptr, 0, kNoWait);
  return n >= 0 || n <= Communication::kPeerClosed;
}
