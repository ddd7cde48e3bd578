// Safe single printf-style conversions.
#include "diag/printf_field.h"

#include <charconv>
#include <cmath>
#include <cctype>

namespace wakro {

namespace {

constexpr int kMaxField = 255;

// Pads the converted body (sign and digits already joined) to the width.
// `zero_from` is where zeros go when zero padding applies (after the sign).
std::string pad(const PrintfConversion& s, std::string body, std::size_t zero_from, bool zero_ok) {
  if (body.size() >= static_cast<std::size_t>(s.width)) return body;
  const std::size_t n = static_cast<std::size_t>(s.width) - body.size();
  if (s.left) return body + std::string(n, ' ');
  if (s.zero && zero_ok) return body.insert(zero_from, n, '0');
  return std::string(n, ' ') + body;
}

std::string sign_of(const PrintfConversion& s, bool negative) {
  if (negative) return "-";
  if (s.plus) return "+";
  if (s.space) return " ";
  return "";
}

std::string chars(double ax, std::chars_format f, int precision) {
  std::string buf(static_cast<std::size_t>(330 + precision), '\0');
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), ax, f, precision);
  return std::string(buf.data(), r.ptr);
}

// C's exponent form: at least two exponent digits ("1.5e+05"); to_chars already
// writes it so.
std::string exp_form(double ax, int precision, bool alt) {
  std::string s = chars(ax, std::chars_format::scientific, precision);
  if (alt && precision == 0) s.insert(s.find('e'), 1, '.');
  return s;
}

std::string fixed_form(double ax, int precision, bool alt) {
  std::string s = chars(ax, std::chars_format::fixed, precision);
  if (alt && precision == 0) s += '.';
  return s;
}

// Drops trailing zeros of the fraction (and a bare point) before any exponent.
void strip_zeros(std::string& s) {
  const std::size_t e = s.find('e');
  std::string tail = e == std::string::npos ? "" : s.substr(e);
  std::string head = e == std::string::npos ? s : s.substr(0, e);
  if (head.find('.') != std::string::npos) {
    while (!head.empty() && head.back() == '0') head.pop_back();
    if (!head.empty() && head.back() == '.') head.pop_back();
  }
  s = head + tail;
}

}  // namespace

std::optional<PrintfConversion> parse_conversion(std::string_view t, std::string_view kinds) {
  PrintfConversion s;
  std::size_t k = 0;
  if (t.empty() || t[k++] != '%') return std::nullopt;
  for (; k < t.size(); ++k) {
    const char c = t[k];
    if (c == '-') s.left = true;
    else if (c == '+') s.plus = true;
    else if (c == ' ') s.space = true;
    else if (c == '#') s.alt = true;
    else if (c == '0') s.zero = true;
    else break;
  }
  auto number = [&](int& out) {
    int v = 0;
    bool any = false;
    while (k < t.size() && std::isdigit(static_cast<unsigned char>(t[k]))) {
      v = v * 10 + (t[k++] - '0');
      any = true;
      if (v > kMaxField) return false;
    }
    if (any) out = v;
    return true;
  };
  if (!number(s.width)) return std::nullopt;
  if (k < t.size() && t[k] == '.') {
    ++k;
    s.precision = 0;
    if (!number(s.precision)) return std::nullopt;
  }
  while (k < t.size() && (t[k] == 'h' || t[k] == 'l' || t[k] == 'L')) ++k;
  if (k + 1 != t.size()) return std::nullopt;
  s.conv = t[k];
  if (kinds.find(s.conv) == std::string_view::npos) return std::nullopt;
  return s;
}

std::string printf_int(const PrintfConversion& s, std::int64_t v) {
  const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  std::string digits = (s.precision == 0 && v == 0) ? std::string() : std::to_string(mag);
  if (s.precision > 0 && digits.size() < static_cast<std::size_t>(s.precision))
    digits.insert(0, static_cast<std::size_t>(s.precision) - digits.size(), '0');
  const std::string sign = sign_of(s, v < 0);
  return pad(s, sign + digits, sign.size(), s.precision < 0);
}

std::string printf_real(const PrintfConversion& s, double v) {
  const bool upper = std::isupper(static_cast<unsigned char>(s.conv)) != 0;
  const std::string sign = sign_of(s, std::signbit(v));
  const double av = std::fabs(v);
  std::string body;
  if (!std::isfinite(v)) {
    body = std::isnan(v) ? "nan" : "inf";
    for (char& c : body) if (upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return pad(s, sign + body, sign.size(), false);
  }
  const int p = s.precision < 0 ? 6 : s.precision;
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s.conv)));
  if (c == 'f') {
    body = fixed_form(av, p, s.alt);
  } else if (c == 'e') {
    body = exp_form(av, p, s.alt);
  } else {  // g: the shorter of the two forms by the exponent of the rounded value
    const int P = p == 0 ? 1 : p;
    int x = 0;
    if (av != 0.0) {
      const std::string e = chars(av, std::chars_format::scientific, P - 1);
      const std::string_view ex = std::string_view(e).substr(e.find('e') + 1);
      std::from_chars(ex.data() + (ex[0] == '+' ? 1 : 0), ex.data() + ex.size(), x);
    }
    if (P > x && x >= -4) {
      body = fixed_form(av, P - 1 - x, s.alt);
      if (s.alt && body.find('.') == std::string::npos) body += '.';
    } else {
      body = exp_form(av, P - 1, s.alt);
    }
    if (!s.alt) strip_zeros(body);
  }
  if (upper) for (char& ch : body) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return pad(s, sign + body, sign.size(), true);
}

std::string printf_text(const PrintfConversion& s, std::string_view v) {
  if (s.precision >= 0 && v.size() > static_cast<std::size_t>(s.precision))
    v = v.substr(0, static_cast<std::size_t>(s.precision));
  return pad(s, std::string(v), 0, false);
}

}  // namespace wakro
