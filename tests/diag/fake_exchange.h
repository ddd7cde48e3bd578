// Test doubles for the diag tests: a link that records every message it sends,
// a builder of the bytes a message should hold, and console capture.
#pragma once

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "diag/console.h"
#include "link/exchange.h"
#include "model/fatal.h"
#include "model/quolbv3.h"
#include "support/fatal_capture.h"

namespace diagtest {

using Bytes = std::vector<unsigned char>;

// Records the bytes of every sent message; installs itself as exQuolb and sets
// quolbv3::guisoc for its lifetime.
class FakeExchange : public Exchange {
 public:
  FakeExchange() {
    exQuolb = this;
    quolbv3::guisoc = 1;
  }
  ~FakeExchange() override {
    exQuolb = nullptr;
    quolbv3::guisoc = 0;
  }
  void SendKey() override {}
  void RecvKey() override {}
  void SendMsg() override {
    sent.emplace_back(send_.data.begin(), send_.data.begin() + send_.position);
    send_.position = 0;
  }
  bool RecvMsg(bool) override { return false; }
  int DataWaiting() const override { return 0; }
  bool isDataWaiting() override { return false; }
  // Bytes appended but not sent yet.
  std::int32_t pending() const { return send_.position; }

  std::vector<Bytes> sent;
};

// The expected bytes of a message, in native order.
class Msg {
 public:
  Msg& i(std::int32_t v) { return raw(&v, sizeof v); }
  Msg& r(double v) { return raw(&v, sizeof v); }
  Msg& s(std::string_view t) {
    raw(t.data(), t.size());
    bytes_.push_back(0);
    return *this;
  }
  operator Bytes() const { return bytes_; }

 private:
  Msg& raw(const void* p, std::size_t n) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + n);
    if (n > 0) std::memcpy(bytes_.data() + at, p, n);
    return *this;
  }
  Bytes bytes_;
};

// Captures the console (standard output) for its lifetime.
class Capture {
 public:
  Capture() : redirect_(out_) {}
  std::string str() const { return out_.str(); }

 private:
  std::ostringstream out_;
  wakro::ConsoleRedirect redirect_;
};

using wakro_test::fatal_status;

}  // namespace diagtest
