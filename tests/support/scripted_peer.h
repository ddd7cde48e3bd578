// A scripted design-environment peer for end-to-end tests of the link.
//
// The peer listens on 127.0.0.1 (an ephemeral port), accepts one engine
// connection, sends the 12-byte key block in native or swapped byte order (or
// any chosen key), and exchanges length-prefixed frames of typed values with the
// engine. Every wait has a timeout, so a faulty engine makes a test fail instead
// of hang. Frames can also be sent in fragments, or cut short, to test the
// engine's receive path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace wakro_test {

// Builds the bytes of one frame: int32 total length (its own 4 bytes included)
// then the values, numbers byte-reversed when `swapped` is set.
class Frame {
 public:
  explicit Frame(bool swapped = false) : swapped_(swapped) {}
  Frame& i(std::int32_t v);
  Frame& d(double v);
  Frame& s(const std::string& text);  // with its NUL
  Frame& raw(const void* bytes, std::size_t n);  // unchanged bytes
  // Body without the length prefix.
  const std::vector<unsigned char>& body() const { return body_; }
  // Complete frame with the true length prefix.
  std::vector<unsigned char> bytes() const;
  // The frame with a chosen (possibly false) length prefix.
  std::vector<unsigned char> bytesWithLength(std::int32_t length) const;

 private:
  bool swapped_;
  std::vector<unsigned char> body_;
};

// Reads typed values from a received frame body (after the length prefix).
class Reader {
 public:
  Reader(std::vector<unsigned char> body, bool swapped) : body_(std::move(body)), swapped_(swapped) {}
  std::int32_t i();
  double d();
  std::string s();
  bool atEnd() const { return pos_ == body_.size(); }
  // True after any read ran past the end of the body.
  bool overrun() const { return overrun_; }
  const std::vector<unsigned char>& body() const { return body_; }

 private:
  std::vector<unsigned char> body_;
  bool swapped_;
  std::size_t pos_ = 0;
  bool overrun_ = false;
};

// The 12 bytes of a key block: the integer then the double, reversed when swapped.
std::vector<unsigned char> keyBlock(std::int32_t key, double value, bool swapped);

class ScriptedPeer {
 public:
  ScriptedPeer();  // listening on 127.0.0.1, ephemeral port
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  int port() const { return port_; }
  bool listening() const { return listener_ >= 0; }

  // Accepts the engine's connection; false when none arrives in time.
  bool accept(int timeoutMs = 5000);
  // Sends the key block; native or swapped order; or a chosen key.
  bool sendKey(bool swapped = false);
  bool sendKey(std::int32_t key, double value, bool swapped);
  // Swapped order of this peer's frames (set it with the key).
  void setSwapped(bool swapped) { swapped_ = swapped; }
  bool swapped() const { return swapped_; }
  Frame frame() const { return Frame(swapped_); }

  bool sendRaw(const void* bytes, std::size_t n);
  bool sendRaw(const std::vector<unsigned char>& bytes) { return sendRaw(bytes.data(), bytes.size()); }
  bool sendFrame(const Frame& f) { return sendRaw(f.bytes()); }

  // Receives exactly n bytes within the timeout.
  std::optional<std::vector<unsigned char>> recvExact(std::size_t n, int timeoutMs = 5000);
  // Receives one frame and returns a reader of its body (prefix checked >= 4).
  std::optional<Reader> recvFrame(int timeoutMs = 5000);
  // True when the engine's side has closed (end of stream) within the timeout.
  bool waitForClose(int timeoutMs = 5000);

  // A design environment that never pauses: sends `first`, then `again` over
  // and over in batches of many frames without waiting for the engine, reading
  // and dropping whatever the engine sends, until a stop is requested or the
  // engine's side closes or fails (EPIPE, a reset). Never blocks: the socket is
  // used without waiting and polled for 10 ms at most at a time. With `reads`
  // false it never reads: the engine's answers fill the socket.
  void flood(const std::vector<unsigned char>& first, const Frame& again, std::stop_token stop, bool reads = true);

  // The bytes the engine has sent that this peer has not read yet.
  std::size_t unread() const;

  // Closes the connection to the engine (the listener stays).
  void closeClient();
  void closeListener();

 private:
  int listener_ = -1;
  int client_ = -1;
  int port_ = 0;
  bool swapped_ = false;
};

// Polls the predicate every millisecond until it holds or the timeout passes.
template <typename Pred>
bool waitUntil(Pred pred, int timeoutMs);

// Runs while a test body runs: when the body does not finish in time, prints
// the name and ends the whole test process, so a hang becomes a failure.
class Watchdog {
 public:
  Watchdog(const char* what, int seconds);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  struct State;
  State* state_;
};

}  // namespace wakro_test

#include <chrono>
#include <thread>

template <typename Pred>
bool wakro_test::waitUntil(Pred pred, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
