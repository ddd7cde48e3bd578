// The value layouts of a snapshot file: writing value groups and reading them
// back.
//
// A value group starts on a new line and fills lines of its layout's width; a
// group of no values is one empty line. Layouts (one value each):
//   R8   8 a line: general editing, width 24, 16 significant digits, 3-digit
//        exponent, then a blank
//   I15  15 a line: an integer in 11 columns, then a blank
//   L80  80 a line: a blank, then T or F
//   C1   1 a line: " (" re "," im ")", each part as R8 without its blank
//   H3   3 a line: as R8 with the default (2-digit) exponent
//   E20  20 a line: exponent form 0.d16E+ddd in 24 columns, then a blank
//   EC   1 a line: two values in exponent form, no separator
//   B255 255 a line: one digit, no separator
// General editing writes a value whose magnitude is from 0.1 below 1e16 (after
// rounding to 16 digits), and zero, in fixed form followed by as many blanks as
// the exponent takes; any other value in exponent form. A value that is not a
// number is written "NaN", "Infinity" or "-Infinity", right-aligned, so that
// the file reads back what was written. Numbers never depend on the locale.
//
// SnapIn reads the groups back from an open input unit: every read starts on a
// new record and takes the values it needs over as many records as they fill;
// a "/" ends a read early. A value left over on its last record (not after a
// "/") fails the read: the count did not fit what was written. It accepts
// integers, reals (with "NaN", "Infinity", "-Infinity"), T/F logicals and
// "(re,im)" complex values. A malformed value or the end of the file calls the
// failure routine given to it, which does not return.
#pragma once

#include <algorithm>
#include <complex>
#include <cstdint>
#include <string>
#include <string_view>

namespace wakro::snapshot {

enum class Layout { R8, I15, L80, C1, H3, E20, EC, B255 };

// One real in general editing: width w, d significant digits, e exponent digits
// (0: the default exponent of two digits).
std::string gedit(double v, int w, int d, int e);
// One real in exponent form 0.dddE+xxx: width w, d digits, e exponent digits.
std::string eedit(double v, int w, int d, int e);

// Builds the text of a snapshot file.
class SnapOut {
 public:
  std::string& text() { return text_; }
  // A line as it stands (a '\n' is added).
  void line(std::string_view s);
  // A free-format line: one leading blank and the items.
  void free(std::string_view s) { text_ += ' '; line(s); }
  // A free-format line of one integer followed by a text (" / Busses").
  void free_int(std::int32_t v, std::string_view label = {});
  void free_bool(bool v, std::string_view label = {});
  // A value group of the layout; `n` values given by `at(k)`, k = 1..n.
  template <class F>
  void group(Layout layout, std::int64_t n, F at) {
    begin_group();
    for (std::int64_t k = 1; k <= n; ++k) value(layout, at(k));
    end_group();
  }
  // A free-format group of logicals (" T F T ...", all on one line).
  template <class F>
  void bool_list(std::int64_t n, F at) {
    std::string s;
    for (std::int64_t k = 1; k <= n; ++k) s += at(k) ? " T" : " F";
    line(s);
  }
  // Low-level group building, for groups whose values come from several arrays.
  void begin_group() { count_ = 0; }
  void value(Layout layout, double v);
  void value(Layout layout, std::int32_t v);
  void value(Layout layout, bool v);
  void value(Layout layout, std::complex<double> v);
  void end_group();
  // value() that also gives back the value as the file holds it (read back
  // from the text just written).
  double put(Layout layout, double v);
  std::complex<double> put(Layout layout, std::complex<double> v);

 private:
  void next(Layout layout);
  std::string text_;
  std::int64_t count_ = 0;
  int per_line_ = 8;
};

class SnapIn {
 public:
  using Fail = void (*)(bool end_of_file);
  SnapIn(std::int32_t unit, Fail fail) : unit_(unit), fail_(fail) {}

  // Skips blank lines and lines whose first word begins with "!"; the next read
  // starts at the first other line.
  void skip_comments();
  // The next record whole (a raw line), or fails at the end of the file.
  std::string raw_line();
  // The record just read is read again by the next read.
  void step_back();
  // Reads n values into at(k), k = 1..n, as one free-format read.
  template <class T, class F>
  void read(std::int64_t n, F at) {
    start();
    for (std::int64_t k = 1; k <= n; ++k) {
      if (!next_token()) break;
      take(tok_, at(k));
    }
    finish();
  }
  // One value read as a read of its own; a "/" after it ends the read.
  template <class T>
  T one() {
    T v{};
    read<T>(1, [&](std::int64_t) -> T& { return v; });
    return v;
  }
  // A group of a count followed by that many values, the count checked
  // against limit first (check is called with the count).
  template <class T, class F, class C>
  std::int32_t counted(C check, F at) {
    start();
    std::int32_t n = 0;
    if (next_token()) take(tok_, n);
    check(n);
    for (std::int64_t k = 1; k <= n; ++k) {
      if (!next_token()) break;
      take(tok_, at(k));
    }
    finish();
    return n;
  }
  // One B255 row of n digits (over ceil(n / 255) lines): digit k to at(k).
  // Returns the digits the row holds (trailing blanks aside), n when each of
  // its lines holds its share of zeros and ones, and -1 when a line holds
  // anything else.
  template <class F>
  std::int64_t bits(std::int64_t n, F at) {
    std::int64_t k = 1, held = 0;
    bool fits = true, digits = true;
    while (k <= n) {
      std::string s = raw_line();
      s.erase(s.find_last_not_of(' ') + 1);
      const std::int64_t share = std::min<std::int64_t>(255, n - k + 1);
      held += static_cast<std::int64_t>(s.size());
      fits = fits && static_cast<std::int64_t>(s.size()) == share;
      digits = digits && s.find_first_not_of("01") == std::string::npos;
      for (std::int64_t j = 0; j < share; ++j, ++k) at(k, j < static_cast<std::int64_t>(s.size()) && s[j] == '1');
    }
    return !digits ? -1 : fits ? n : held;
  }

 private:
  void start();
  bool next_token();
  void finish();
  void take(const std::string& t, double& v);
  void take(const std::string& t, std::int32_t& v);
  void take(const std::string& t, bool& v);
  void take(const std::string& t, std::complex<double>& v);
  bool fetch();

  std::int32_t unit_;
  Fail fail_;
  std::string rec_;
  std::size_t pos_ = 0;
  bool have_ = false;
  bool ended_ = false;
  std::string tok_;
};

// Parses a real as the snapshot writes it (also "NaN", "Infinity", "-Infinity",
// and D or Q exponents); false when the text is not one.
bool parse_real(std::string_view s, double& v);

}  // namespace wakro::snapshot
