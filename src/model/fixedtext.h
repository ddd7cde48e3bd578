// Fixed-width, blank-padded texts (data lines of 72 characters, routine tags of 12,
// file names of 34/72, channel names of 200 ...).
//
// Assignment pads with blanks and cuts what does not fit; comparison follows the
// input files' rule: two texts are equal when they are equal after padding the
// shorter with blanks, so trailing blanks never matter.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace wakro {

// Copies src into dst[0..n), cut at n and padded with blanks.
inline void assign_padded(char* dst, std::size_t n, std::string_view src) {
  const std::size_t k = std::min(n, src.size());
  if (k > 0) std::memcpy(dst, src.data(), k);
  if (n > k) std::memset(dst + k, ' ', n - k);
}

// Where a name cut to at most n bytes ends: at n, or, when byte n continues a
// UTF-8 letter begun before it, at that letter's first byte, so that a file
// name formed from the cut name is still valid text. Bytes that are not such a
// letter (no lead byte within the three before n) are cut at n as before.
inline std::size_t name_cut(std::string_view s, std::size_t n) {
  if (n >= s.size()) return s.size();
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  std::size_t k = n;
  while (k > 0 && n - k < 3 && (byte(k) & 0xC0) == 0x80) --k;
  return (byte(k) & 0xC0) == 0xC0 ? k : n;
}

// The first bytes of a name that a field of n bytes shows: cut where name_cut
// cuts, so that the console never prints part of a letter.
inline std::string_view name_prefix(std::string_view s, std::size_t n) { return s.substr(0, name_cut(s, n)); }

// The text without its trailing blanks.
inline std::string_view trim_right(std::string_view s) {
  const auto last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1);
}

// Equality of two texts under the blank-padding rule.
inline bool padded_equal(std::string_view a, std::string_view b) {
  return trim_right(a) == trim_right(b);
}

template <std::size_t N>
struct FixedText {
  static_assert(N > 0);
  char c[N];

  FixedText() { std::memset(c, ' ', N); }
  explicit FixedText(std::string_view s) { assign(s); }
  FixedText& operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  FixedText& operator=(const char* s) {
    assign(s);
    return *this;
  }

  void assign(std::string_view s) { assign_padded(c, N, s); }
  void blank() { std::memset(c, ' ', N); }

  static constexpr std::size_t size() { return N; }
  std::string_view view() const { return {c, N}; }
  std::string_view trimmed() const { return trim_right(view()); }
  std::string str() const { return std::string(view()); }
  bool is_blank() const { return trimmed().empty(); }

  char& operator[](std::size_t i) { return c[i]; }
  char operator[](std::size_t i) const { return c[i]; }

  friend bool operator==(const FixedText& a, const FixedText& b) {
    return padded_equal(a.view(), b.view());
  }
  friend bool operator==(const FixedText& a, std::string_view b) {
    return padded_equal(a.view(), b);
  }
  friend bool operator==(const FixedText& a, const char* b) {
    return padded_equal(a.view(), b);
  }
};

}  // namespace wakro
