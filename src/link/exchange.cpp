// Exchange: typed message buffers, the key test and error reporting shared by
// every concrete link.
//
// The receive side never trusts the message: every read is checked against the
// number of bytes received, and an over-long read yields zeros and raises the
// buffer's overrun flag instead of touching memory beyond the message.
#include "link/exchange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies n bytes, last byte first when reverse is set.
void copy_bytes(unsigned char* dst, const unsigned char* src, std::int32_t n, bool reverse) {
  if (!reverse) {
    std::memcpy(dst, src, static_cast<std::size_t>(n));
    return;
  }
  for (std::int32_t i = 0; i < n; ++i) dst[i] = src[n - 1 - i];
}

}  // namespace

// ---------------------------------------------------------------- Buffer

Exchange::Buffer::Buffer() : data(4096, 0) {}

bool Exchange::Buffer::CheckSize(std::int32_t n) {
  if (n < 0 || position < 0) return false;
  const std::int64_t need = static_cast<std::int64_t>(position) + n;
  if (need > kMaxMessage) return false;
  if (need <= capacity) return true;
  // The buffer grows to exactly position + n + 16 bytes. The vector below
  // reserves geometrically, so a long run of small appends still copies the
  // bytes only a logarithmic number of times.
  const std::int64_t grown = need + 16;
  if (static_cast<std::size_t>(grown) > data.capacity()) {
    const std::size_t ceiling = static_cast<std::size_t>(kMaxMessage) + 16;
    data.reserve(std::max(static_cast<std::size_t>(grown), std::min(2 * data.capacity(), ceiling)));
  }
  data.resize(static_cast<std::size_t>(grown), 0);  // std::bad_alloc ends the process
  capacity = static_cast<std::int32_t>(grown);
  return true;
}

void Exchange::Buffer::Insert(const void* src, std::int32_t n, bool reverse) {
  if (!CheckSize(n)) {
    overrun = true;
    return;
  }
  copy_bytes(data.data() + position, static_cast<const unsigned char*>(src), n, reverse);
  position += n;
}

bool Exchange::Buffer::Extract(void* dst, std::int32_t n, bool reverse) {
  if (n <= 0) return n == 0;
  if (position < 0 || position > size || size - position < n) {
    std::memset(dst, 0, static_cast<std::size_t>(n));
    position = size;
    overrun = true;
    return false;
  }
  copy_bytes(static_cast<unsigned char*>(dst), data.data() + position, n, reverse);
  position += n;
  return true;
}

bool Exchange::Buffer::Assign(const void* src, std::int32_t n) {
  position = 0;
  size = 0;
  overrun = false;
  if (!CheckSize(n)) {
    overrun = true;
    return false;
  }
  if (n > 0) std::memcpy(data.data(), src, static_cast<std::size_t>(n));
  size = n;
  return true;
}

// ---------------------------------------------------------------- Exchange

Exchange::Exchange() = default;
Exchange::~Exchange() = default;

Exchange& Exchange::operator<<(std::int32_t value) {
  send_.Insert(&value, 4, swap_);
  return *this;
}

Exchange& Exchange::operator<<(double value) {
  send_.Insert(&value, 8, swap_);
  return *this;
}

Exchange& Exchange::operator<<(const char* text) {
  if (text == nullptr) text = "";
  const std::size_t n = std::strlen(text) + 1;
  if (n > static_cast<std::size_t>(kMaxMessage)) {
    send_.overrun = true;
    return *this;
  }
  send_.Insert(text, static_cast<std::int32_t>(n), false);
  return *this;
}

Exchange& Exchange::operator>>(std::int32_t& value) {
  recv_.Extract(&value, 4, swap_);
  return *this;
}

Exchange& Exchange::operator>>(double& value) {
  recv_.Extract(&value, 8, swap_);
  return *this;
}

Exchange& Exchange::operator>>(std::string& text) {
  text.clear();
  const std::int32_t start = recv_.position;
  if (start < 0 || start >= recv_.size) {
    recv_.position = recv_.size;
    recv_.overrun = true;
    return *this;
  }
  const unsigned char* begin = recv_.data.data() + start;
  const std::size_t avail = static_cast<std::size_t>(recv_.size - start);
  const void* nul = std::memchr(begin, 0, avail);
  const std::size_t len = nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - begin)
                              : avail;
  text.assign(reinterpret_cast<const char*>(begin), std::min(len, kMaxText));
  if (nul) {
    recv_.position = start + static_cast<std::int32_t>(len) + 1;
  } else {
    recv_.position = recv_.size;
    recv_.overrun = true;
  }
  return *this;
}

void Exchange::ReadText(char* dst, std::size_t dstSize) {
  std::string text;
  *this >> text;
  if (dst == nullptr || dstSize == 0) return;
  const std::size_t n = std::min(text.size(), dstSize - 1);
  std::memcpy(dst, text.data(), n);
  dst[n] = '\0';
}

void Exchange::Init(bool sender) {
  send_.position = 4;
  if (sender) {
    SendKey();
  } else {
    RecvKey();
  }
}

bool Exchange::KeyTest() {
  recv_.position = 0;
  std::int32_t key = 0;
  recv_.Extract(&key, 4, false);
  const char* refusal = nullptr;
  bool swap = false;
  switch (key) {
    case 0x12345678: swap = false; break;
    case 0x78563412: swap = true; break;
    case 0x56781234: refusal = "Word reversal not supported"; break;
    case 0x34127856: refusal = "Word-byte reversal not supported"; break;
    default: refusal = "Bad key value received."; break;
  }
  if (refusal != nullptr) {
    // A refused key ends the link: taking later messages for key blocks would
    // only consume and refuse them one after the other.
    throwError(refusal);
    keyChecked_ = false;
    broken_ = true;
    return false;
  }
  swap_ = swap;
  keyChecked_ = true;
  double pi = 0.0;
  recv_.Extract(&pi, 8, swap_);
  if (!(std::fabs(pi - kKeyDouble) <= kKeyTolerance)) throwError("Bad floating point format");
  return true;
}

void Exchange::throwError(const char* text) {
  std::fprintf(stderr, "Exchange Error: %s", text ? text : "");
  std::fflush(stderr);
}
