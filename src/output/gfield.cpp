// write_g23_14: the 23-column general field of the channel files.
//
// The 14 digits are the binary value rounded exactly (ties to even), as
// std::to_chars rounds it, never depending on the locale. Most values take them
// from one product in extended precision (round_digits below), which decides the
// rounding whenever the product is not within a hair of half a unit; the rest,
// and the magnitudes beyond the exact powers of ten, ask std::to_chars. The
// fixed and the exponent form round to the same digit position, so the choice
// made from the exponent form holds for the fixed form too.
#include "output/gfield.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
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

// 10^0 .. 10^27, each exact in extended precision (5^27 < 2^64).
constexpr int kMaxPower = 27;
constexpr std::array<long double, kMaxPower + 1> kPowers = [] {
  std::array<long double, kMaxPower + 1> p{};
  long double x = 1.0L;
  for (auto& e : p) {
    e = x;
    x *= 10.0L;
  }
  return p;
}();

// a (finite, > 0) rounded to kDigits significant digits: digits, an integer of
// exactly kDigits digits, and the decimal exponent of the first digit
// (a ~ 0.d1d2... * 10^k, k returned). The product a * 10^s is formed in one
// rounding of extended precision, within 2^-64 of itself, which is 6e-6 at
// most for a product below 10^14: the rounding to an integer is certain unless
// the fraction lies that near one half (an exact tie among them), or the
// product that near a power of ten. False then, or when 10^|s| is not exact
// (a below about 1e-14 or above 1e40): the caller asks std::to_chars.
bool round_digits(double a, std::uint64_t& digits, int& k) {
  if constexpr (std::numeric_limits<long double>::digits < 64) {
    return false;
  } else {
    constexpr long double kLow = 1e13L;   // 10^(kDigits - 1)
    constexpr long double kHigh = 1e14L;  // 10^kDigits
    constexpr long double kDoubt = 1e-4L;
    // a in [2^(e2-1), 2^e2) for a normal a (a subnormal one ends beyond the
    // exact powers below).
    std::uint64_t bits = 0;
    std::memcpy(&bits, &a, sizeof bits);
    const int e2 = static_cast<int>((bits >> 52) & 0x7ff) - 1022;
    // floor(log10(a)), or one below it.
    int e10 = static_cast<int>(std::floor((e2 - 1) * 0.30102999566398120));
    for (int attempt = 0; attempt < 2; ++attempt) {
      const int s = (kDigits - 1) - e10;
      if (s > kMaxPower || s < -kMaxPower) return false;
      const long double y = s >= 0 ? a * kPowers[static_cast<std::size_t>(s)]
                                   : a / kPowers[static_cast<std::size_t>(-s)];
      if (y >= kHigh - kDoubt) {
        if (y < kHigh + kDoubt) return false;
        ++e10;  // the estimate was one low
        continue;
      }
      if (y < kLow + kDoubt) return false;  // (the estimate is never high)
      const long double whole = std::floor(y);
      const long double frac = y - whole;
      if (std::fabs(frac - 0.5L) <= kDoubt) return false;
      digits = static_cast<std::uint64_t>(whole) + (frac > 0.5L ? 1 : 0);
      k = e10 + 1;
      if (digits == static_cast<std::uint64_t>(kHigh)) {  // 99999999999999.6 and the like
        digits /= 10;
        ++k;
      }
      return true;
    }
    return false;
  }
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
  std::uint64_t d = 0;
  if (a == 0.0) {
    std::memset(digits, '0', kDigits);
  } else if (round_digits(a, d, k)) {
    put_digits(d, digits);
  } else {
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
