// StackText: a message text built in a buffer of N characters held by the object
// itself, for messages that may be written every step and so must not allocate.
// Pieces that do not fit are cut; integers are written in plain decimal, as
// std::to_string writes them.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wakro {

template <std::size_t N>
class StackText {
 public:
  StackText& operator<<(std::string_view s) {
    const std::size_t k = s.size() < N - n_ ? s.size() : N - n_;
    s.copy(c_ + n_, k);
    n_ += k;
    return *this;
  }
  StackText& operator<<(std::int64_t v) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
  }
  StackText& operator<<(std::int32_t v) { return *this << static_cast<std::int64_t>(v); }

  std::string_view view() const { return {c_, n_}; }
  operator std::string_view() const { return view(); }

 private:
  char c_[N];
  std::size_t n_ = 0;
};

}  // namespace wakro
