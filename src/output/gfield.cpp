// write_g23_14: the 23-column general field of the channel files.
//
// Digits come from std::to_chars, which rounds the binary value exactly and
// never depends on the locale. The fixed and the exponent form round to the
// same digit position, so the choice made from the exponent form holds for the
// fixed form too.
#include "output/gfield.h"

#include <charconv>
#include <cmath>
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

}  // namespace

void write_g23_14(double v, char* out) {
  if (!std::isfinite(v)) {
    const std::string s = edit_g(v, static_cast<int>(kGFieldWidth), kDigits);
    right_align(s.data(), s.size(), out, kGFieldWidth);
    return;
  }
  const double a = std::fabs(v);
  const bool negative = std::signbit(v) && v != 0.0;
  char buf[400];
  std::size_t n = 0;
  if (negative) buf[n++] = '-';

  // Digits before the point of the value rounded to 14 significant digits.
  int k = 1;
  char sci[40];
  if (a != 0.0) {
    const auto r = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific, kDigits - 1);
    *r.ptr = '\0';
    const char* e = std::strchr(sci, 'e');
    k = std::atoi(e + 1) + 1;
  }

  if (a == 0.0 || (k >= 0 && k <= kDigits)) {
    // Fixed form: F19.(14-k) and four blanks.
    const auto r = std::to_chars(buf + n, buf + sizeof buf, a, std::chars_format::fixed, kDigits - k);
    n = static_cast<std::size_t>(r.ptr - buf);
    if (k == kDigits) buf[n++] = '.';  // no decimals: the point still ends the digits
    constexpr std::size_t w = kGFieldWidth - 4;
    right_align(buf, n, out, w);
    std::memset(out + w, ' ', 4);
    return;
  }

  // Exponent form: 0. and the 14 digits (the point moved before the first one).
  buf[n++] = '0';
  buf[n++] = '.';
  buf[n++] = sci[0];
  std::memcpy(buf + n, sci + 2, kDigits - 1);
  n += kDigits - 1;
  const int exponent = k;
  const int ae = std::abs(exponent);
  if (ae <= 99) {
    buf[n++] = 'E';
    buf[n++] = exponent < 0 ? '-' : '+';
    buf[n++] = static_cast<char>('0' + ae / 10);
    buf[n++] = static_cast<char>('0' + ae % 10);
  } else {
    buf[n++] = exponent < 0 ? '-' : '+';
    buf[n++] = static_cast<char>('0' + ae / 100);
    buf[n++] = static_cast<char>('0' + (ae / 10) % 10);
    buf[n++] = static_cast<char>('0' + ae % 10);
  }
  right_align(buf, n, out, kGFieldWidth);
}

}  // namespace wakro
