// wakro_comm: our communication library. It carries whole messages between the
// processes of one machine, through the eleven entry points the engine loads
// with -lumbra.
//
// Communication_Initialize(argc, argv) reads "/HOST <host>", "/PORT <port>" and
// "/ID <id>" among its texts, connects to the design environment over TCP at
// host:port and sends it, as the first frame, every text it was given (each
// with its NUL). Results: 0 connected; 1 the connection could not be made; 2
// the texts name no valid port. The environment variable
// WAKRO_COMM_INITIALIZE_RESULT replaces the result of a successful start (1 and
// 2 then close the connection again), so that a peer can try every answer.
// Communication_Finalize closes every connection; the library may be started
// again afterwards.
//
// Server calls carry the link to the design environment; only connection 0
// exists. On the TCP stream every message travels as one frame: a 32-bit total
// length (its own four bytes included, native order) and the message bytes.
//
// Client and other calls carry point-to-point connections between the
// processes started with the same port: connection k of one kind joins the two
// processes that use it. The first of the two to use it listens on a local
// socket named after the user, the port, the kind and k (the Linux abstract
// name space: nothing is left on disk); the second connects. Messages keep
// their boundaries (sequenced packets of at most about 200 kB).
//
// Data calls (connection id, data, size, flags) return a signed 64-bit result:
//   send: the size sent; 0 when the peer has closed; -1 on any other error
//         (errno EINTR: the peer took nothing for half a second after a
//         signal interrupted the send; the frame is cut).
//   peek: the size of the next whole message without taking it; -1 when none
//         is waiting (flags 1), or none arrived in time (flags 0: waits, up to
//         the time limit); -2 when the connection is closed or cannot be made.
//   recv: the size of the message taken into data; flags 0 waits for one (up
//         to the time limit); -1 none; -2 closed; -3 the message is larger than
//         the size given (it stays queued).
// Every wait ends after WAKRO_COMM_TIMEOUT_MS milliseconds (default 600000).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#define WAKRO_COMM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr std::int64_t kNone = -1;
constexpr std::int64_t kClosed = -2;
constexpr std::int64_t kTooSmall = -3;
constexpr int kServerId = 0;
constexpr std::size_t kMaxFrame = 64u * 1024u * 1024u;

enum class Kind { Client = 1, Other = 2 };

using Clock = std::chrono::steady_clock;

int timeout_ms() {
  const char* text = std::getenv("WAKRO_COMM_TIMEOUT_MS");
  const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return value > 0 && value < 86400000 ? static_cast<int>(value) : 600000;
}

// Milliseconds left until the deadline (0 when passed).
int remaining(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

// One point-to-point connection of the client or other kind.
struct Peer {
  int listener = -1;  // while waiting for the second process
  int socket = -1;    // once joined
  bool failed = false;
};

struct State {
  bool started = false;
  int server = -1;                  // TCP stream to the design environment
  std::vector<unsigned char> input; // bytes received from it, not yet taken
  bool serverClosed = false;
  std::string port;                 // names the local sockets of the session
  std::map<std::pair<int, unsigned>, Peer> peers;
  bool sendInterrupted = false;     // a signal has interrupted a wait for room
};

State& state() {
  static State s;
  return s;
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

void close_all() {
  State& s = state();
  close_fd(s.server);
  for (auto& [key, peer] : s.peers) {
    close_fd(peer.listener);
    close_fd(peer.socket);
  }
  s.peers.clear();
  s.input.clear();
  s.serverClosed = false;
  s.sendInterrupted = false;
  s.started = false;
}

// ---- The design environment's TCP stream ---------------------------------

// How long a send waiting for room may last once a signal has interrupted the
// wait: the same half second the engine gives a peer after a stop signal, so a
// peer that reads nothing cannot hold a stopped process for ever.
constexpr auto kWaitAfterSignal = std::chrono::milliseconds(500);

// Waits until fd takes more bytes. Unbounded until a handled signal interrupts
// a wait; from the first interruption on, kWaitAfterSignal at most in all for
// that send, and for each later one. False when that time passed.
bool wait_for_room(int fd, std::chrono::steady_clock::time_point& deadline, bool& interrupted) {
  for (;;) {
    int timeoutMs = -1;
    if (interrupted) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      timeoutMs = static_cast<int>(left.count());
    }
    pollfd p{fd, POLLOUT, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // the send that follows reports the error
    if (!interrupted) deadline = std::chrono::steady_clock::now() + kWaitAfterSignal;
    interrupted = true;
  }
}

// Sends the whole of bytes; a frame the peer left untaken past the wait after
// a signal is cut (false with errno EINTR), and the stream is then given up.
bool send_all(int fd, const unsigned char* bytes, std::size_t n, bool& closed) {
  std::size_t sent = 0;
  bool& interrupted = state().sendInterrupted;
  auto deadline = std::chrono::steady_clock::now() + kWaitAfterSignal;
  while (sent < n) {
    const ssize_t r = send(fd, bytes + sent, n - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (wait_for_room(fd, deadline, interrupted)) continue;
      closed = false;
      errno = EINTR;
      return false;
    }
    if (r <= 0) {
      closed = r == 0 || errno == EPIPE || errno == ECONNRESET;
      return false;
    }
    sent += static_cast<std::size_t>(r);
  }
  return true;
}

std::int64_t send_frame(const void* data, std::uint64_t size) {
  State& s = state();
  if (s.server < 0 || size > kMaxFrame) return -1;
  std::vector<unsigned char> frame(4 + size);
  const std::int32_t total = static_cast<std::int32_t>(size + 4);
  std::memcpy(frame.data(), &total, 4);
  if (size > 0) std::memcpy(frame.data() + 4, data, size);
  bool closed = false;
  if (!send_all(s.server, frame.data(), frame.size(), closed)) return closed ? 0 : -1;
  return static_cast<std::int64_t>(size);
}

// Size of the first complete frame's message in the input, -1 while none.
std::int64_t complete_frame() {
  const State& s = state();
  if (s.input.size() < 4) return kNone;
  std::int32_t total = 0;
  std::memcpy(&total, s.input.data(), 4);
  if (total < 4 || static_cast<std::size_t>(total) > kMaxFrame) return kClosed;
  return s.input.size() >= static_cast<std::size_t>(total) ? total - 4 : kNone;
}

enum class Pump { Data, Nothing, Closed };

// Reads what the stream holds, waiting up to waitMs for something to arrive.
Pump pump_server(int waitMs) {
  State& s = state();
  if (s.server < 0 || s.serverClosed) return Pump::Closed;
  pollfd p{s.server, POLLIN, 0};
  const int ready = poll(&p, 1, waitMs);
  if (ready == 0 || (ready < 0 && errno == EINTR)) return Pump::Nothing;
  unsigned char chunk[65536];
  const ssize_t r = ready < 0 ? -1 : recv(s.server, chunk, sizeof chunk, MSG_DONTWAIT);
  if (r < 0 && (errno == EAGAIN || errno == EINTR)) return Pump::Nothing;
  if (r <= 0) {
    s.serverClosed = true;
    return Pump::Closed;
  }
  s.input.insert(s.input.end(), chunk, chunk + r);
  return Pump::Data;
}

// The next frame's message size: flags 1 looks without waiting, flags 0 waits
// for a whole frame up to the time limit.
std::int64_t peek_frame(unsigned flags) {
  const bool wait = flags == 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(wait ? timeout_ms() : 0);
  for (;;) {
    const std::int64_t n = complete_frame();
    if (n != kNone) return n;
    const Pump got = pump_server(remaining(deadline));
    if (got == Pump::Closed) return kClosed;
    if (got == Pump::Nothing && remaining(deadline) == 0) return kNone;
  }
}

std::int64_t recv_frame(void* data, std::uint64_t capacity, unsigned flags) {
  const std::int64_t n = peek_frame(flags);
  if (n < 0) return n;
  if (static_cast<std::uint64_t>(n) > capacity) return kTooSmall;
  State& s = state();
  if (n > 0) std::memcpy(data, s.input.data() + 4, static_cast<std::size_t>(n));
  s.input.erase(s.input.begin(), s.input.begin() + 4 + n);
  return n;
}

// ---- Point-to-point connections -------------------------------------------

sockaddr_un local_name(Kind kind, unsigned id, socklen_t& length) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  const std::string name = "wakro-comm:" + std::to_string(getuid()) + ":" + state().port + ":" +
                           std::to_string(static_cast<int>(kind)) + ":" + std::to_string(id);
  // Abstract name: a leading NUL, then the name (no terminating NUL).
  std::memcpy(a.sun_path + 1, name.data(), name.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return a;
}

// Joins the connection: connects to the process already listening, or listens
// for the other one. With wait, blocks (up to the time limit) until joined.
Peer* join(Kind kind, unsigned id, bool wait) {
  State& s = state();
  if (!s.started) return nullptr;
  Peer& peer = s.peers[{static_cast<int>(kind), id}];
  if (peer.socket >= 0 || peer.failed) return &peer;
  const int limit = timeout_ms();
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms());
  socklen_t length = 0;
  const sockaddr_un name = local_name(kind, id, length);
  while (peer.listener < 0 && peer.socket < 0) {
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) break;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&name), length) == 0) {
      peer.socket = fd;
      break;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&name), length) == 0 && listen(fd, 1) == 0) {
      set_nonblocking(fd);
      peer.listener = fd;
      break;
    }
    close(fd);
    // The other process holds the name but is not listening yet: try again.
    if (remaining(deadline) == 0) break;
    std::this_thread::yield();
  }
  if (peer.listener < 0 && peer.socket < 0) {
    peer.failed = true;
    return &peer;
  }
  pollfd p{peer.listener, POLLIN, 0};
  if (peer.socket < 0 && poll(&p, 1, wait ? remaining(deadline) : 0) > 0) {
    peer.socket = accept4(peer.listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer.socket >= 0) close_fd(peer.listener);
  }
  if (peer.socket >= 0) {
    // Sends wait for room at most as long as any other wait.
    const timeval t{limit / 1000, (limit % 1000) * 1000};
    setsockopt(peer.socket, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
  }
  return &peer;
}

std::int64_t peer_send(Kind kind, unsigned id, const void* data, std::uint64_t size) {
  Peer* peer = join(kind, id, true);
  if (peer == nullptr || peer->socket < 0) return -1;
  for (;;) {
    const ssize_t r = send(peer->socket, data, size, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno == EPIPE || errno == ECONNRESET ? 0 : -1;
    return r;
  }
}

std::int64_t peer_peek(Kind kind, unsigned id, unsigned flags) {
  const bool wait = flags == 0;
  Peer* peer = join(kind, id, wait);
  if (peer == nullptr || peer->failed) return kClosed;
  if (peer->socket < 0) return kNone;
  pollfd p{peer->socket, POLLIN, 0};
  if (poll(&p, 1, wait ? timeout_ms() : 0) <= 0) return kNone;
  char none = 0;
  ssize_t n = recv(peer->socket, &none, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
  // A peer that closed with messages of ours unread leaves a reset pending,
  // reported once ahead of the messages it sent before closing: look again.
  if (n < 0 && errno == ECONNRESET) n = recv(peer->socket, &none, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? kNone : kClosed;
  if (n == 0 && (p.revents & POLLHUP) != 0) return kClosed;
  return n;
}

std::int64_t peer_recv(Kind kind, unsigned id, void* data, std::uint64_t capacity, unsigned flags) {
  const std::int64_t n = peer_peek(kind, id, flags);
  if (n < 0) return n;
  if (static_cast<std::uint64_t>(n) > capacity) return kTooSmall;
  Peer& peer = state().peers[{static_cast<int>(kind), id}];
  const ssize_t r = recv(peer.socket, data, static_cast<std::size_t>(n), MSG_DONTWAIT);
  return r < 0 ? kClosed : r;
}

// ---- Start -------------------------------------------------------------------

const char* value_after(int argc, char** argv, const char* key) {
  for (int k = 0; k + 1 < argc; ++k)
    if (argv[k] != nullptr && std::strcmp(argv[k], key) == 0) return argv[k + 1];
  return nullptr;
}

int connect_server(const char* host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return -1;
  sockaddr_in a = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  freeaddrinfo(found);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int rc = 0;
  do {
    rc = connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

WAKRO_COMM_EXPORT int Communication_Initialize(int argc, char** argv) {
  close_all();
  State& s = state();
  const char* host = value_after(argc, argv, "/HOST");
  const char* portText = value_after(argc, argv, "/PORT");
  char* end = nullptr;
  const long port = portText != nullptr ? std::strtol(portText, &end, 10) : 0;
  if (portText == nullptr || *end != '\0' || port < 1 || port > 65535) return 2;
  s.server = connect_server(host != nullptr && *host != '\0' ? host : "localhost", static_cast<int>(port));
  if (s.server < 0) return 1;
  s.port = portText;
  s.started = true;
  // The first frame: every start text, in order.
  std::vector<unsigned char> texts;
  for (int k = 0; k < argc; ++k) {
    const char* t = argv[k] != nullptr ? argv[k] : "";
    texts.insert(texts.end(), t, t + std::strlen(t) + 1);
  }
  if (send_frame(texts.data(), texts.size()) != static_cast<std::int64_t>(texts.size())) {
    close_all();
    return 1;
  }
  const char* forced = std::getenv("WAKRO_COMM_INITIALIZE_RESULT");
  const int result = forced != nullptr ? std::atoi(forced) : 0;
  if (result == 1 || result == 2) close_all();
  return result;
}

WAKRO_COMM_EXPORT int Communication_Finalize(int, char**) {
  close_all();
  return 0;
}

WAKRO_COMM_EXPORT std::int64_t Communication_send_server(unsigned id, void* data, std::uint64_t size, unsigned) {
  return id == kServerId ? send_frame(data, size) : -1;
}
WAKRO_COMM_EXPORT std::int64_t Communication_peek_server(unsigned id, void*, std::uint64_t, unsigned flags) {
  return id == kServerId ? peek_frame(flags) : kClosed;
}
WAKRO_COMM_EXPORT std::int64_t Communication_recv_server(unsigned id, void* data, std::uint64_t size, unsigned flags) {
  return id == kServerId ? recv_frame(data, size, flags) : kClosed;
}

WAKRO_COMM_EXPORT std::int64_t Communication_send_client(unsigned id, void* data, std::uint64_t size, unsigned) {
  return peer_send(Kind::Client, id, data, size);
}
WAKRO_COMM_EXPORT std::int64_t Communication_peek_client(unsigned id, void*, std::uint64_t, unsigned flags) {
  return peer_peek(Kind::Client, id, flags);
}
WAKRO_COMM_EXPORT std::int64_t Communication_recv_client(unsigned id, void* data, std::uint64_t size, unsigned flags) {
  return peer_recv(Kind::Client, id, data, size, flags);
}

WAKRO_COMM_EXPORT std::int64_t Communication_send_other(unsigned id, void* data, std::uint64_t size, unsigned) {
  return peer_send(Kind::Other, id, data, size);
}
WAKRO_COMM_EXPORT std::int64_t Communication_recv_other(unsigned id, void* data, std::uint64_t size, unsigned flags) {
  return peer_recv(Kind::Other, id, data, size, flags);
}
// The partial build of this library leaves out one entry point, so that the
// engine's refusal of an incomplete library can be tested.
#ifndef WAKRO_COMM_WITHOUT_PEEK_OTHER
WAKRO_COMM_EXPORT std::int64_t Communication_peek_other(unsigned id, void*, std::uint64_t, unsigned flags) {
  return peer_peek(Kind::Other, id, flags);
}
#endif
