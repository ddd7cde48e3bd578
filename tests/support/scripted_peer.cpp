// The scripted peer: a plain POSIX socket server on 127.0.0.1 that speaks the
// link's framing byte by byte, independent of the engine's own link code.
#include "support/scripted_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace wakro_test {

namespace {

void append(std::vector<unsigned char>& out, const void* src, std::size_t n, bool reverse) {
  const auto* p = static_cast<const unsigned char*>(src);
  for (std::size_t k = 0; k < n; ++k) out.push_back(reverse ? p[n - 1 - k] : p[k]);
}

long ms_left(std::chrono::steady_clock::time_point end) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<long>(left.count()) : 0;
}

}  // namespace

// ---------------------------------------------------------------- Frame, Reader

Frame& Frame::i(std::int32_t v) {
  append(body_, &v, 4, swapped_);
  return *this;
}

Frame& Frame::d(double v) {
  append(body_, &v, 8, swapped_);
  return *this;
}

Frame& Frame::s(const std::string& text) {
  append(body_, text.c_str(), text.size() + 1, false);
  return *this;
}

Frame& Frame::raw(const void* bytes, std::size_t n) {
  append(body_, bytes, n, false);
  return *this;
}

std::vector<unsigned char> Frame::bytes() const {
  return bytesWithLength(static_cast<std::int32_t>(body_.size() + 4));
}

std::vector<unsigned char> Frame::bytesWithLength(std::int32_t length) const {
  std::vector<unsigned char> prefix;
  append(prefix, &length, 4, swapped_);
  std::vector<unsigned char> out(4 + body_.size());
  std::copy(prefix.begin(), prefix.end(), out.begin());
  std::copy(body_.begin(), body_.end(), out.begin() + 4);
  return out;
}

std::int32_t Reader::i() {
  std::int32_t v = 0;
  if (pos_ + 4 > body_.size()) {
    overrun_ = true;
    return 0;
  }
  unsigned char b[4];
  for (int k = 0; k < 4; ++k) b[k] = body_[pos_ + (swapped_ ? 3 - k : k)];
  std::memcpy(&v, b, 4);
  pos_ += 4;
  return v;
}

double Reader::d() {
  double v = 0;
  if (pos_ + 8 > body_.size()) {
    overrun_ = true;
    return 0;
  }
  unsigned char b[8];
  for (int k = 0; k < 8; ++k) b[k] = body_[pos_ + (swapped_ ? 7 - k : k)];
  std::memcpy(&v, b, 8);
  pos_ += 8;
  return v;
}

std::string Reader::s() {
  std::string out;
  while (pos_ < body_.size() && body_[pos_] != 0) out.push_back(static_cast<char>(body_[pos_++]));
  if (pos_ >= body_.size()) {
    overrun_ = true;
    return out;
  }
  ++pos_;  // the NUL
  return out;
}

std::vector<unsigned char> keyBlock(std::int32_t key, double value, bool swapped) {
  std::vector<unsigned char> out;
  append(out, &key, 4, swapped);
  append(out, &value, 8, swapped);
  return out;
}

// ---------------------------------------------------------------- ScriptedPeer

ScriptedPeer::ScriptedPeer() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  local.sin_port = 0;
  socklen_t len = sizeof local;
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(fd, 4) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    close(fd);
    return;
  }
  listener_ = fd;
  port_ = ntohs(local.sin_port);
}

ScriptedPeer::~ScriptedPeer() {
  closeClient();
  closeListener();
}

void ScriptedPeer::closeClient() {
  if (client_ >= 0) close(client_);
  client_ = -1;
}

void ScriptedPeer::closeListener() {
  if (listener_ >= 0) close(listener_);
  listener_ = -1;
}

bool ScriptedPeer::accept(int timeoutMs) {
  if (listener_ < 0) return false;
  pollfd p{listener_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return false;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return false;
  closeClient();
  client_ = fd;
  return true;
}

bool ScriptedPeer::sendKey(bool swapped) { return sendKey(0x12345678, 3.14159265359, swapped); }

bool ScriptedPeer::sendKey(std::int32_t key, double value, bool swapped) {
  swapped_ = swapped;
  return sendRaw(keyBlock(key, value, swapped));
}

bool ScriptedPeer::sendRaw(const void* bytes, std::size_t n) {
  if (client_ < 0) return false;
  const auto* p = static_cast<const unsigned char*>(bytes);
  std::size_t sent = 0;
  while (sent < n) {
    const ssize_t r = ::send(client_, p + sent, n - sent, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    sent += static_cast<std::size_t>(r);
  }
  return true;
}

std::optional<std::vector<unsigned char>> ScriptedPeer::recvExact(std::size_t n, int timeoutMs) {
  if (client_ < 0) return std::nullopt;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<unsigned char> out(n);
  std::size_t got = 0;
  while (got < n) {
    pollfd p{client_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(ms_left(end)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    const ssize_t r = ::recv(client_, out.data() + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::nullopt;
    got += static_cast<std::size_t>(r);
  }
  return out;
}

std::optional<Reader> ScriptedPeer::recvFrame(int timeoutMs) {
  const auto prefix = recvExact(4, timeoutMs);
  if (!prefix) return std::nullopt;
  Reader lengthReader(*prefix, swapped_);
  const std::int32_t length = lengthReader.i();
  if (length < 4 || length > (64 << 20)) return std::nullopt;
  auto body = recvExact(static_cast<std::size_t>(length - 4), timeoutMs);
  if (!body) return std::nullopt;
  return Reader(std::move(*body), swapped_);
}

void ScriptedPeer::flood(const std::vector<unsigned char>& first, const Frame& again, std::stop_token stop,
                         bool reads) {
  constexpr std::size_t kBatch = 65536;
  const std::vector<unsigned char> one = again.bytes();
  std::vector<unsigned char> batch = first;
  std::size_t sent = 0;
  unsigned char sink[65536];
  while (client_ >= 0 && !stop.stop_requested()) {
    if (sent == batch.size()) {
      batch.clear();
      sent = 0;
    }
    while (batch.size() + one.size() <= kBatch) batch.insert(batch.end(), one.begin(), one.end());
    pollfd p{client_, static_cast<short>(reads ? POLLIN | POLLOUT : POLLOUT), 0};
    if (poll(&p, 1, 10) < 0 && errno != EINTR) return;
    if ((p.revents & (POLLERR | POLLNVAL)) != 0 || (!reads && (p.revents & POLLHUP) != 0)) return;
    if (reads && (p.revents & (POLLIN | POLLHUP)) != 0) {
      const ssize_t r = ::recv(client_, sink, sizeof sink, MSG_DONTWAIT);
      if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR)) return;
    }
    if ((p.revents & POLLOUT) == 0) continue;
    const ssize_t r = ::send(client_, batch.data() + sent, batch.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r < 0 && errno != EAGAIN && errno != EINTR) return;  // EPIPE, a reset: the engine is gone
    if (r > 0) sent += static_cast<std::size_t>(r);
  }
}

std::size_t ScriptedPeer::unread() const {
  int n = 0;
  return client_ >= 0 && ::ioctl(client_, FIONREAD, &n) == 0 ? static_cast<std::size_t>(n) : 0;
}

bool ScriptedPeer::waitForClose(int timeoutMs) {
  if (client_ < 0) return true;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  unsigned char sink[256];
  for (;;) {
    pollfd p{client_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(ms_left(end)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t r = ::recv(client_, sink, sizeof sink, 0);
    if (r == 0 || (r < 0 && errno != EINTR)) return true;
  }
}

}  // namespace wakro_test
