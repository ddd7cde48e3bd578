// write_g23_14: the 23-column general field of the channel files.
//
// The 14 digits are the binary value rounded exactly (ties to even), as
// std::to_chars rounds it, never depending on the locale: in 128-bit integer
// arithmetic (round_digits below) for the magnitudes a channel holds, from
// std::to_chars beyond them. The fixed and the exponent form round to the same
// digit position, so the choice made from the exponent form holds for the fixed
// form too.
#include "output/gfield.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/format.h"

namespace wakro {
namespace {

constexpr int kDigits = 14;

// Copies len characters right-aligned into the field of width w (blank before).
void right_align(const char* s, std::size_t len, char* out, std::size_t w) {
  if (len > w) {
    std::memset(out, '*', w);
    return;
  }
  std::memset(out, ' ', w - len);
  std::memcpy(out + (w - len), s, len);
}

// 5^0 .. 5^27, each below 2^63.
constexpr int kMaxPower = 27;
constexpr std::array<std::uint64_t, kMaxPower + 1> kFives = [] {
  std::array<std::uint64_t, kMaxPower + 1> p{};
  std::uint64_t x = 1;
  for (auto& e : p) {
    e = x;
    x *= 5;
  }
  return p;
}();

using Wide = unsigned __int128;

// num / den rounded to the nearest integer, an exact tie to the even one.
std::uint64_t rounded_quotient(Wide num, Wide den) {
  const Wide q = num / den;
  const Wide twice_rest = (num - q * den) * 2;  // below 2 den <= 2^128
  const bool up = twice_rest > den || (twice_rest == den && (q & 1) != 0);
  return static_cast<std::uint64_t>(q) + (up ? 1 : 0);
}

// The kDigits digits of d (exactly that many) at p: two halves of seven
// digits, each in 32-bit arithmetic.
void put_digits(std::uint64_t d, char* p) {
  static_assert(kDigits == 14);
  const auto seven = [](std::uint32_t x, char* q) {
    for (int i = 6; i >= 0; --i) {
      q[i] = static_cast<char>('0' + x % 10);
      x /= 10;
    }
  };
  seven(static_cast<std::uint32_t>(d / 10000000), p);
  seven(static_cast<std::uint32_t>(d % 10000000), p + 7);
}

// a (finite, > 0) rounded to kDigits significant digits: its kDigits digits at
// digits, and the decimal exponent of the first digit
// (a ~ 0.d1d2... * 10^k, k returned), in exact integer arithmetic: with a =
// m 2^q (m < 2^53) and e10 the decimal exponent of a's first digit, the digits
// are m 2^q 10^s rounded, s = kDigits - 1 - e10, and 10^s = 5^s 2^s. False
// when |s| > kMaxPower (a below about 1e-14 or above 1e40; the caller then asks
// std::to_chars), where the terms would leave 128 bits.
bool round_digits(double a, char* digits, int& k) {
  constexpr std::uint64_t kLow = 10000000000000;  // 10^(kDigits - 1)
  constexpr std::uint64_t kHigh = kLow * 10;      // 10^kDigits
  std::uint64_t bits = 0;
  std::memcpy(&bits, &a, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased == 0) return false;  // subnormal: far below the range
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int q = biased - 1075;  // a = m 2^q, and a in [2^(q+52), 2^(q+53))
  // floor(log10(a)), or one below it.
  int e10 = static_cast<int>(std::floor((q + 52) * 0.30102999566398120));
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int s = (kDigits - 1) - e10;
    if (s > kMaxPower || s < -kMaxPower) return false;
    std::uint64_t d = 0;
    if (s >= 0) {
      // m 5^s 2^(q+s): m 5^s < 2^116.
      const Wide n = Wide{m} * kFives[static_cast<std::size_t>(s)];
      const int shift = q + s;
      if (shift > 127 - 116 || shift < -127) return false;  // (not reached in the range)
      d = shift >= 0 ? static_cast<std::uint64_t>(n << shift)
                     : rounded_quotient(n, Wide{1} << -shift);
    } else {
      // m 2^q / (5^t 2^t), t = -s.
      const int t = -s;
      const Wide five = kFives[static_cast<std::size_t>(t)];
      const int shift = q - t;
      if (shift > 127 - 53 || -shift > 127 - 63) return false;  // (not reached in the range)
      d = shift >= 0 ? rounded_quotient(Wide{m} << shift, five)
                     : rounded_quotient(Wide{m}, five << -shift);
    }
    if (d > kHigh) {  // the estimate was one low
      ++e10;
      continue;
    }
    if (d < kLow) return false;  // (the estimate is never high)
    // Rounded up to a power of ten (99999999999999.6 and the like; also an
    // estimate one low whose product was within half a unit above 10^14): the
    // digits of 10^(e10 + 1).
    if (d == kHigh) {
      d = kLow;
      ++e10;
    }
    put_digits(d, digits);
    k = e10 + 1;
    return true;
  }
  return false;
}

// The field from the sign, the kDigits digits and k (the value is
// 0.d1d2... * 10^k): the fixed form for 0 <= k <= kDigits, the exponent form
// otherwise.
void write_rounded(bool negative, const char* d, int k, char* out) {
  char buf[40];
  std::size_t n = 0;
  if (negative) buf[n++] = '-';
  if (k >= 0 && k <= kDigits) {
    // Fixed form: F19.(14-k) and four blanks.
    if (k == 0) buf[n++] = '0';
    std::memcpy(buf + n, d, static_cast<std::size_t>(k));
    n += static_cast<std::size_t>(k);
    buf[n++] = '.';
    std::memcpy(buf + n, d + k, static_cast<std::size_t>(kDigits - k));
    n += static_cast<std::size_t>(kDigits - k);
    constexpr std::size_t w = kGFieldWidth - 4;
    right_align(buf, n, out, w);
    std::memset(out + w, ' ', 4);
    return;
  }
  // Exponent form: 0. and the 14 digits (the point before the first one).
  buf[n++] = '0';
  buf[n++] = '.';
  std::memcpy(buf + n, d, kDigits);
  n += kDigits;
  const int ae = std::abs(k);
  if (ae <= 99) {
    buf[n++] = 'E';
    buf[n++] = k < 0 ? '-' : '+';
    buf[n++] = static_cast<char>('0' + ae / 10);
    buf[n++] = static_cast<char>('0' + ae % 10);
  } else {
    buf[n++] = k < 0 ? '-' : '+';
    buf[n++] = static_cast<char>('0' + ae / 100);
    buf[n++] = static_cast<char>('0' + (ae / 10) % 10);
    buf[n++] = static_cast<char>('0' + ae % 10);
  }
  right_align(buf, n, out, kGFieldWidth);
}

}  // namespace

void write_g23_14(double v, char* out) {
  if (!std::isfinite(v)) {
    const std::string s = edit_g(v, static_cast<int>(kGFieldWidth), kDigits);
    right_align(s.data(), s.size(), out, kGFieldWidth);
    return;
  }
  const double a = std::fabs(v);
  const bool negative = std::signbit(v) && v != 0.0;
  // The value rounded to 14 significant digits: the digits and k, the digits
  // before the point (zero: 0.0000000000000 in the fixed form).
  char digits[kDigits];
  int k = 1;
  if (a == 0.0) {
    std::memset(digits, '0', kDigits);
  } else if (!round_digits(a, digits, k)) {
    char sci[40];
    const auto r =
        std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific, kDigits - 1);
    *r.ptr = '\0';
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, kDigits - 1);
    k = std::atoi(std::strchr(sci, 'e') + 1) + 1;
  }
  write_rounded(negative, digits, k, out);
}

}  // namespace wakro
