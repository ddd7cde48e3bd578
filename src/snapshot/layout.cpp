// Value layouts of the snapshot file (see layout.h).
#include "snapshot/layout.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "files/units.h"
#include "model/fnames.h"

namespace wakro::snapshot {
namespace {

std::string right(std::string_view s, int w) {
  if (static_cast<int>(s.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + std::string(s);
}

std::string non_finite(double v, int w) {
  return right(std::isnan(v) ? "NaN" : (v > 0 ? "Infinity" : "-Infinity"), w);
}

// The digits and the decimal exponent of |v| rounded to d significant digits:
// |v| = 0.D1..Dd * 10^x.
// (std::to_chars: the same digits as printf's "%.*e", whatever the locale.)
void digits_of(double v, int d, std::string& digits, int& x) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, d - 1);
  const std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t epos = s.find('e');
  digits.clear();
  for (std::size_t i = 0; i < epos; ++i)
    if (s[i] != '.') digits += s[i];
  std::string_view e = s.substr(epos + 1);
  if (!e.empty() && e.front() == '+') e.remove_prefix(1);
  int exponent = 0;
  std::from_chars(e.data(), e.data() + e.size(), exponent);
  x = exponent + 1;
}

std::string exponent_form(double v, int w, int d, int e) {
  std::string digits;
  int x = 0;
  if (v == 0.0) {
    digits.assign(static_cast<std::size_t>(d), '0');
  } else {
    digits_of(v, d, digits, x);
  }
  std::string s = std::signbit(v) && v != 0.0 ? "-0." : "0.";
  s += digits;
  const int ax = std::abs(x);
  char ebuf[16];
  if (e == 0) {
    if (ax <= 99)
      std::snprintf(ebuf, sizeof ebuf, "E%c%02d", x < 0 ? '-' : '+', ax);
    else
      std::snprintf(ebuf, sizeof ebuf, "%c%03d", x < 0 ? '-' : '+', ax);
  } else {
    std::snprintf(ebuf, sizeof ebuf, "E%c%0*d", x < 0 ? '-' : '+', e, ax);
  }
  s += ebuf;
  return right(s, w);
}

}  // namespace

std::string eedit(double v, int w, int d, int e) {
  if (!std::isfinite(v)) return non_finite(v, w);
  return exponent_form(v, w, d, e);
}

std::string gedit(double v, int w, int d, int e) {
  if (!std::isfinite(v)) return non_finite(v, w);
  const int n = e == 0 ? 4 : e + 2;
  int k = 1;
  if (v != 0.0) {
    std::string digits;
    digits_of(v, d, digits, k);
    if (k < 0 || k > d) return exponent_form(v, w, d, e);
  }
  const int decimals = v == 0.0 ? d - 1 : d - k;
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string fixed(buf, r.ptr);
  if (decimals == 0) fixed += '.';  // the fixed form always shows its point
  return right(fixed, w - n) + std::string(static_cast<std::size_t>(n), ' ');
}

void SnapOut::line(std::string_view s) {
  text_ += s;
  text_ += '\n';
}

void SnapOut::free_int(std::int32_t v, std::string_view label) {
  char buf[32];
  std::snprintf(buf, sizeof buf, " %11d", static_cast<int>(v));
  text_ += buf;
  line(label);
}

void SnapOut::free_bool(bool v, std::string_view label) {
  text_ += v ? " T" : " F";
  line(label);
}

void SnapOut::next(Layout layout) {
  switch (layout) {
    case Layout::R8: per_line_ = 8; break;
    case Layout::I15: per_line_ = 15; break;
    case Layout::L80: per_line_ = 80; break;
    case Layout::C1: per_line_ = 1; break;
    case Layout::H3: per_line_ = 3; break;
    case Layout::E20: per_line_ = 20; break;
    case Layout::EC: per_line_ = 1; break;
    case Layout::B255: per_line_ = 255; break;
  }
  if (count_ > 0 && count_ % per_line_ == 0) text_ += '\n';
  ++count_;
}

void SnapOut::value(Layout layout, double v) {
  next(layout);
  switch (layout) {
    case Layout::H3: text_ += gedit(v, 24, 16, 0) + ' '; break;
    case Layout::E20: text_ += eedit(v, 24, 16, 3) + ' '; break;
    default: text_ += gedit(v, 24, 16, 3) + ' '; break;
  }
}

void SnapOut::value(Layout layout, std::int32_t v) {
  next(layout);
  if (layout == Layout::B255) {
    text_ += v != 0 ? '1' : '0';
    return;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%11d ", static_cast<int>(v));
  text_ += buf;
}

void SnapOut::value(Layout layout, bool v) {
  next(layout);
  if (layout == Layout::B255) {
    text_ += v ? '1' : '0';
    return;
  }
  text_ += v ? " T" : " F";
}

void SnapOut::value(Layout layout, std::complex<double> v) {
  next(layout);
  if (layout == Layout::EC) {
    text_ += eedit(v.real(), 24, 16, 3) + eedit(v.imag(), 24, 16, 3);
    return;
  }
  text_ += " (" + gedit(v.real(), 24, 16, 3) + "," + gedit(v.imag(), 24, 16, 3) + ")";
}

namespace {

// The last n fields of width w of the text, read back.
double read_back(const std::string& text, std::size_t end, std::size_t w) {
  std::string_view f = std::string_view(text).substr(end - w, w);
  while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
  while (!f.empty() && f.back() == ' ') f.remove_suffix(1);
  double v = 0.0;
  parse_real(f, v);
  return v;
}

}  // namespace

double SnapOut::put(Layout layout, double v) {
  value(layout, v);
  // Every real layout writes a 24-character field and one blank.
  return read_back(text_, text_.size() - 1, 24);
}

std::complex<double> SnapOut::put(Layout layout, std::complex<double> v) {
  value(layout, v);
  if (layout == Layout::EC) {
    const std::size_t e = text_.size();
    return {read_back(text_, e - 24, 24), read_back(text_, e, 24)};
  }
  // " (" re "," im ")"
  const std::size_t e = text_.size() - 1;
  return {read_back(text_, e - 25, 24), read_back(text_, e, 24)};
}

void SnapOut::end_group() {
  text_ += '\n';
  count_ = 0;
}

bool parse_real(std::string_view s, double& v) {
  std::string t(s);
  if (t == "NaN" || t == "nan" || t == "NAN") {
    v = std::nan("");
    return true;
  }
  if (t == "Infinity" || t == "+Infinity" || t == "Inf" || t == "inf") {
    v = HUGE_VAL;
    return true;
  }
  if (t == "-Infinity" || t == "-Inf" || t == "-inf") {
    v = -HUGE_VAL;
    return true;
  }
  for (char& c : t)
    if (c == 'D' || c == 'd' || c == 'Q' || c == 'q') c = 'E';
  const char* b = t.data();
  if (!t.empty() && *b == '+') ++b;
  const auto r = std::from_chars(b, t.data() + t.size(), v);
  return r.ec == std::errc() && r.ptr == t.data() + t.size() && !t.empty();
}

bool SnapIn::fetch() {
  const ReadStatus st = read_record(unit_, rec_);
  if (st != ReadStatus::ok) {
    fail_(st == ReadStatus::end);
    return false;
  }
  fnames::dumlin = std::string_view(rec_).substr(0, std::min<std::size_t>(rec_.size(), 72));
  pos_ = 0;
  have_ = true;
  return true;
}

void SnapIn::skip_comments() {
  for (;;) {
    fetch();
    const std::size_t p = rec_.find_first_not_of(" \t");
    if (p != std::string::npos && rec_[p] != '!') {
      wakro::step_back(unit_);
      have_ = false;
      return;
    }
  }
}

std::string SnapIn::raw_line() {
  fetch();
  have_ = false;
  return rec_;
}

void SnapIn::step_back() {
  wakro::step_back(unit_);
  have_ = false;
}

void SnapIn::start() {
  have_ = false;
  ended_ = false;
}

bool SnapIn::next_token() {
  if (ended_) return false;
  for (;;) {
    if (!have_) fetch();
    while (pos_ < rec_.size() && (rec_[pos_] == ' ' || rec_[pos_] == '\t')) ++pos_;
    if (pos_ < rec_.size() && rec_[pos_] == ',') {
      ++pos_;
      while (pos_ < rec_.size() && (rec_[pos_] == ' ' || rec_[pos_] == '\t')) ++pos_;
    }
    if (pos_ >= rec_.size()) {
      have_ = false;
      continue;
    }
    if (rec_[pos_] == '/') {
      ended_ = true;
      return false;
    }
    const std::size_t b = pos_;
    if (rec_[pos_] == '(') {
      const std::size_t e = rec_.find(')', pos_);
      if (e == std::string::npos) fail_(false);
      pos_ = e + 1;
    } else {
      while (pos_ < rec_.size() && rec_[pos_] != ' ' && rec_[pos_] != '\t' && rec_[pos_] != ',' &&
             rec_[pos_] != '/')
        ++pos_;
    }
    tok_.assign(rec_, b, pos_ - b);
    return true;
  }
}

// A read ends where its values end: anything but blanks or a "/" after them on
// the last record means the count read before does not fit the values written.
void SnapIn::finish() {
  if (have_ && !ended_) {
    const std::size_t p = rec_.find_first_not_of(" \t", pos_);
    if (p != std::string::npos && rec_[p] != '/') fail_(false);
  }
  have_ = false;
  ended_ = false;
}

void SnapIn::take(const std::string& t, double& v) {
  if (!parse_real(t, v)) fail_(false);
}

void SnapIn::take(const std::string& t, std::int32_t& v) {
  const char* b = t.data();
  if (!t.empty() && *b == '+') ++b;
  const auto r = std::from_chars(b, t.data() + t.size(), v);
  if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) fail_(false);
}

void SnapIn::take(const std::string& t, bool& v) {
  std::size_t i = !t.empty() && t[0] == '.' ? 1 : 0;
  const char c = i < t.size() ? t[i] : ' ';
  if (c == 'T' || c == 't')
    v = true;
  else if (c == 'F' || c == 'f')
    v = false;
  else
    fail_(false);
}

void SnapIn::take(const std::string& t, std::complex<double>& v) {
  if (t.size() < 3 || t.front() != '(' || t.back() != ')') fail_(false);
  const std::string_view in = std::string_view(t).substr(1, t.size() - 2);
  const std::size_t c = in.find(',');
  if (c == std::string_view::npos) fail_(false);
  auto trim = [](std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  };
  double re = 0.0, im = 0.0;
  if (!parse_real(trim(in.substr(0, c)), re) || !parse_real(trim(in.substr(c + 1)), im)) fail_(false);
  v = {re, im};
}

}  // namespace wakro::snapshot
