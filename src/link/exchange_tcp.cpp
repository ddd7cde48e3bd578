// ExchangeTcp: connecting, binding and accepting, framing of sent messages and
// the resumable receive of length-prefixed messages.
#include "link/exchange_tcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#include "link/stop_signal.h"

namespace {

constexpr const char* kTransportError = "Unexpected error at transport mechanism.";
constexpr const char* kTransportClosed = "Unexpected closure of transport mechanism.";
constexpr const char* kBadLength = "Bad message length received.";
constexpr const char* kTooLong = "Message too long.";
constexpr const char* kTimedOut = "Timed out waiting for the peer.";

// Resolves the loopback host name; false when it cannot be resolved.
bool resolve_by_name(const char* host, in_addr& out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &result) != 0 || result == nullptr) return false;
  out = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
  freeaddrinfo(result);
  return true;
}

// The socket failures are console lines (standard output), flushed at once.
void console_line(const char* format, long code) {
  std::printf(format, code);
  std::fflush(stdout);
}

// True when a failed send or receive means that the peer has closed its end: a
// reset (the peer closed with our data unread, or our data reached a closed
// socket) or a broken pipe. Whether the closure reads as an end of stream or as
// a reset depends only on the timing of the peer's close against our sends, so
// both are reported as the closure.
bool peer_closed(int err) { return err == ECONNRESET || err == EPIPE; }

void set_nodelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// A private generator for the accept timeouts, so that no other user of the
// C library's rand() is disturbed.
std::minstd_rand& accept_random() {
  static std::minstd_rand gen(static_cast<unsigned>(
      std::chrono::system_clock::now().time_since_epoch().count() ^ getpid()));
  return gen;
}

// Waits until the socket can be written (a connection under way has ended).
void wait_writable(int fd) {
  pollfd p{fd, POLLOUT, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

// Waits for the connection under way on the non-blocking socket fd; a stop
// signal ends the wait, unless the connection is made by then (the stop is
// then seen by the first wait on the link). 0, or -1 with errno set (EINTR:
// stopped).
int finish_connect(int fd) {
  wakro::WaitResult w = wakro::wait_or_stop(fd, POLLOUT);
  pollfd now{fd, POLLOUT, 0};
  if (w == wakro::WaitResult::stopped && poll(&now, 1, 0) == 1) w = wakro::WaitResult::ready;
  if (w == wakro::WaitResult::stopped) errno = EINTR;
  if (w != wakro::WaitResult::ready) return -1;
  int err = 0;
  socklen_t size = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) return -1;
  errno = err;
  return err == 0 ? 0 : -1;
}

}  // namespace

int connect_retrying(int fd, const sockaddr* address, socklen_t length, ConnectCall call) {
  bool interrupted = false;
  for (;;) {
    if (call(fd, address, length) == 0) return 0;
    const int err = errno;
    if (err == EINTR) {
      interrupted = true;
      continue;
    }
    if (interrupted && err == EISCONN) return 0;
    if (interrupted && err == EALREADY) {
      wait_writable(fd);
      continue;
    }
    errno = err;
    return -1;
  }
}

ExchangeTcp::ExchangeTcp() = default;

ExchangeTcp::~ExchangeTcp() { CloseSocket(); }

void ExchangeTcp::CloseSocket() {
  if (socket_ != -1) close(socket_);
  socket_ = -1;
}

void ExchangeTcp::Fail(const char* text) {
  if (text != nullptr) throwError(text);
  broken_ = true;
  stage_ = Stage::Prefix;
  expected_ = 4;
  received_ = 0;
}

bool ExchangeTcp::Connect(const char* host, int port) {
  // 1. The address: the loopback name by lookup, anything else as a dotted address.
  const char* name = host ? host : "";
  in_addr address{};
  const bool resolved = strcasecmp(name, "localhost") == 0 ? resolve_by_name(name, address)
                                                           : inet_pton(AF_INET, name, &address) == 1;
  if (!resolved) {
    std::fprintf(stderr, "Exchange::Connect: Cannot resolve address '%s'\n", name);
    return false;
  }
  // 2. The socket, without delay on small messages.
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    console_line("socket function failed with error: %ld\n", static_cast<long>(errno));
    return false;
  }
  set_nodelay(fd);
  // 3. Connect.
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_addr = address;
  peer.sin_port = htons(static_cast<std::uint16_t>(port));
  int rc = -1;
  int err = EINVAL;
  if (port >= 0 && port <= 65535) {
    // Connected without blocking, so that a stop signal ends the wait for a
    // peer that does not take the connection.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    rc = connect_retrying(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    if (rc != 0 && errno == EINPROGRESS) rc = finish_connect(fd);
    err = errno;
    fcntl(fd, F_SETFL, flags);
  }
  if (rc != 0) {
    // (A stop signal that ended the wait is said by the caller.)
    if (err != EINTR) console_line("connect function failed with error: %ld\n", static_cast<long>(err));
    if (err == ETIMEDOUT)
      console_line("Exchange::Connect:Connection Timed Out: %ld\n", static_cast<long>(err));
    if (err == ECONNREFUSED)
      console_line("Exchange::Connect:Connection Refused: %ld\n", static_cast<long>(err));
    close(fd);
    errno = err;  // the caller reports the system error of the failed connect
    return false;
  }
  CloseSocket();
  socket_ = fd;
  broken_ = false;
  Init(false);
  return true;
}

int ExchangeTcp::Bind(unsigned port, const char* address) {
  if (port > 65535) return -1;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<std::uint16_t>(port));
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (address != nullptr && inet_pton(AF_INET, address, &local.sin_addr) != 1) {
    close(fd);
    return -1;
  }
  socklen_t len = sizeof local;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    close(fd);
    return -1;
  }
  CloseSocket();
  const int bound = ntohs(local.sin_port);
  if (bound == 0) {
    close(fd);
    perror("ExchangeBind");
    return 0;
  }
  socket_ = fd;
  return bound;
}

void ExchangeTcp::SetReceiveLimit(int ms) {
  if (socket_ < 0) return;
  const timeval t{ms / 1000, (ms % 1000) * 1000};
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
}

int ExchangeTcp::Listen(int backlog) { return listen(socket_, backlog); }

bool ExchangeTcp::Accept() {
  // 1. A random wait of 10 to 999 ms keeps several waiting engines out of step.
  const int timeoutMs = 10 + static_cast<int>(accept_random()() % 990);
  // 2. Wait for a client.
  pollfd p{socket_, POLLIN, 0};
  const int ready = poll(&p, 1, timeoutMs);
  if (ready < 0) {
    // (A signal only cuts the wait short: its caller looks at it.)
    if (errno != EINTR) console_line("Socket Select Error: %ld\n", static_cast<long>(errno));
    return false;
  }
  if (ready == 0) return false;
  // 3. Take the client, drop the listening socket, send the key block.
  const int client = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client < 0) return false;
  CloseSocket();
  socket_ = client;
  broken_ = false;
  Init(true);
  return true;
}

void ExchangeTcp::SendKey() {
  swap_ = false;
  keyChecked_ = true;
  stage_ = Stage::Prefix;
  received_ = 0;
  expected_ = 4;
  const std::int32_t key = kKeyInteger;
  const double pi = kKeyDouble;
  int result = SendAll(reinterpret_cast<const unsigned char*>(&key), 4);
  if (result == 1) result = SendAll(reinterpret_cast<const unsigned char*>(&pi), 8);
  ReportSendResult(result);
}

void ExchangeTcp::RecvKey() {
  swap_ = false;
  keyChecked_ = false;
  stage_ = Stage::Key;
  received_ = 0;
  expected_ = kKeySize;
}

// Waits until the socket takes more bytes. A peer that reads nothing holds
// the wait until a stop signal comes (also one that came before); after it,
// kWaitAfterStopMs at most in all, however many signals interrupt it. False
// when the wait gave up.
bool ExchangeTcp::WaitToSend() const {
  if (wakro::g_received_stop_signal == 0 && wakro::wait_or_stop(socket_, POLLOUT) == wakro::WaitResult::ready)
    return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wakro::kWaitAfterStopMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{socket_, POLLOUT, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    if (ready >= 0 || errno != EINTR) return ready > 0;
  }
}

int ExchangeTcp::SendAll(const unsigned char* bytes, std::int32_t n) {
  std::int32_t sent = 0;
  while (sent < n) {
    const ssize_t r = send(socket_, bytes + sent, static_cast<std::size_t>(n - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (WaitToSend()) continue;
      return -2;
    }
    if (r < 0) return peer_closed(errno) ? 0 : -1;
    if (r == 0) return 0;
    sent += static_cast<std::int32_t>(r);
  }
  return 1;
}

void ExchangeTcp::ReportSendResult(int result) {
  if (result == 1) return;
  Fail(result == -2 ? wakro::kNotTakenAfterStop : result < 0 ? kTransportError : kTransportClosed);
}

void ExchangeTcp::SendMsg() {
  // 1. The frame length goes into the four bytes kept free at the front.
  const std::int32_t n = send_.position;
  const bool refused = send_.overrun;
  send_.overrun = false;
  send_.position = 0;
  *this << n;  // position is 4 again, ready for the next message
  if (broken_ || socket_ < 0) return;  // the failure was reported when it happened
  if (refused) {
    throwError(kTooLong);
    return;
  }
  // 2. The whole frame, completed across short sends.
  ReportSendResult(SendAll(send_.data.data(), n));
}

bool ExchangeTcp::RecvMsg(bool wait) {
  if (broken_ || socket_ < 0) return false;
  if (wait && DataWaiting() == 0) {
    // About to block: let everything written so far reach the user first.
    std::fflush(stdout);
    std::fflush(stderr);
  }
  for (;;) {
    // 1. Receive what the current stage still lacks.
    if (received_ < expected_) {
      // During the start-up dialogue a stop signal ends the wait (the link
      // stays whole); the receive limit still holds.
      bool dontWait = !wait;
      if (wait && wakro::g_waits_end_on_stop != 0) {
        if (wakro::wait_readable_or_stop(socket_, ReceiveLimitMs()) == wakro::WaitResult::stopped) return false;
        dontWait = true;
      }
      const ssize_t r = recv(socket_, recv_.data.data() + received_,
                             static_cast<std::size_t>(expected_ - received_), dontWait ? MSG_DONTWAIT : 0);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 && !wait && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;  // kept for later
      if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        Fail(kTimedOut);  // the receive limit passed with the peer silent
        return false;
      }
      if (r < 0 && !peer_closed(errno)) {
        Fail(kTransportError);
        return false;
      }
      if (r <= 0) {
        Fail(kTransportClosed);
        return false;
      }
      received_ += static_cast<std::int32_t>(r);
      if (received_ < expected_) continue;
    }
    // 2. The stage is complete.
    switch (stage_) {
      case Stage::Key:
        recv_.size = kKeySize;
        if (!KeyTest()) {
          Fail(nullptr);  // reported by the key test; the link stops here
          return false;
        }
        stage_ = Stage::Prefix;
        received_ = 0;
        expected_ = 4;
        break;
      case Stage::Prefix: {
        recv_.size = 4;
        recv_.position = 0;
        std::int32_t total = 0;
        recv_.Extract(&total, 4, swap_);
        if (total < 4 || total > kMaxMessage) {
          Fail(kBadLength);
          return false;
        }
        recv_.position = 0;
        recv_.CheckSize(total);
        if (total > 4) {
          stage_ = Stage::Body;
          expected_ = total;
          break;
        }
        // A message without values: delivered empty.
        [[fallthrough]];
      }
      case Stage::Body:
        recv_.size = expected_;
        recv_.position = 4;
        recv_.overrun = false;
        stage_ = Stage::Prefix;
        received_ = 0;
        expected_ = 4;
        return true;
    }
  }
}

int ExchangeTcp::ReceiveLimitMs() const {
  timeval t{};
  socklen_t size = sizeof t;
  if (getsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &t, &size) != 0 || (t.tv_sec == 0 && t.tv_usec == 0)) return -1;
  return static_cast<int>(t.tv_sec * 1000 + t.tv_usec / 1000);
}

int ExchangeTcp::DataWaiting() const {
  int n = 0;
  if (socket_ < 0 || ioctl(socket_, FIONREAD, &n) != 0) {
    throwError("Unable to check read buffer.");
    return -1;
  }
  return n;
}

bool ExchangeTcp::isDataWaiting() {
  if (socket_ < 0) return false;
  pollfd p{socket_, POLLIN, 0};
  const int ready = poll(&p, 1, 0);
  if (ready < 0) {
    console_line("Socket Select Error:%ld\n", static_cast<long>(errno));
    return false;
  }
  return ready > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}
