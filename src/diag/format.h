// The renderer of formatted layouts: the one place where the engine turns a
// layout text such as "(/' **** YOU HAVE OVER ',I4,' NODES IN SUBSYSTEM ',I3)"
// and a list of values into console lines.
//
// Layout notation (blanks outside quotes are ignored, commas are optional):
//   'text'   literal text; a doubled apostrophe stands for one apostrophe
//   /        ends the current line (several in a row give empty lines)
//   nX       n blanks (X alone is 1X)
//   Tn       continues at column n of the current line
//   Iw Iw.m  an integer right-aligned in w columns, at least m digits
//   Fw.d     a real in fixed form, d decimals
//   Ew.d     a real in exponent form 0.ddddE+xx
//   Gw.d     a real in general form: fixed form with d significant digits
//            followed by four blanks when 0.1 <= |x| < 10**d (after rounding),
//            exponent form otherwise
//   Aw A     w characters of a text (cut on the right, or blanks before it when
//            shorter), or the whole text
//   k(...)   the group repeated k times; kI4, kF8.3 ... repeat one item
// A value that does not fit its field, or is of the wrong kind for it, prints w
// asterisks. Writing stops at the first data item that has no value left; when
// values remain at the end of the layout, a new line starts and the layout is
// taken again from its last top-level group (or from its beginning). Every
// rendering ends its last line with '\n'. Numbers never depend on the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "model/fixedtext.h"

namespace wakro {

// One value handed to a layout.
class FmtValue {
 public:
  enum class Kind : unsigned char { Int, Real, Text };

  FmtValue(std::int32_t v) : kind_(Kind::Int), i_(v) {}
  FmtValue(std::int64_t v) : kind_(Kind::Int), i_(v) {}
  FmtValue(double v) : kind_(Kind::Real), r_(v) {}
  FmtValue(std::string_view t) : kind_(Kind::Text), t_(t) {}
  FmtValue(const char* t) : kind_(Kind::Text), t_(t ? t : "") {}
  FmtValue(const std::string& t) : kind_(Kind::Text), t_(t) {}
  template <std::size_t N>
  FmtValue(const FixedText<N>& t) : kind_(Kind::Text), t_(t.view()) {}

  Kind kind() const { return kind_; }
  std::int64_t integer() const { return i_; }
  double real() const { return r_; }
  std::string_view text() const { return t_; }

 private:
  Kind kind_;
  std::int64_t i_ = 0;
  double r_ = 0.0;
  std::string_view t_;
};

// Field editors. w <= 0 means "as narrow as the value needs" for I and F; E and G
// need a positive width. m < 0: no minimum digit count.
std::string edit_i(std::int64_t v, int w, int m = -1);
std::string edit_f(double x, int w, int d);
std::string edit_e(double x, int w, int d);
std::string edit_g(double x, int w, int d);
std::string edit_a(std::string_view t, int w);  // w < 0: the whole text

// The work area the F, E and G editors need for a field of w columns and d digits.
constexpr std::size_t field_scratch_need(int w, int d) {
  return 4 * (340 + static_cast<std::size_t>(d > 0 ? d : 0)) + static_cast<std::size_t>(w > 0 ? w : 0);
}

// Room for one real field edited without the heap, for texts written each step:
// up to kWidth columns (a wider field is cut) and at least kDigits digits (a
// field whose digits need more work area than the room has prints asterisks).
// The text stays valid until the room is used again.
class FieldRoom {
 public:
  static constexpr int kWidth = 64;
  static constexpr int kDigits = 32;

 private:
  friend std::string_view edit_g(FieldRoom& room, double x, int w, int d);
  char text_[kWidth];
  char scratch_[field_scratch_need(kWidth, kDigits)];
};

// edit_g into the room: the same field, without allocating.
std::string_view edit_g(FieldRoom& room, double x, int w, int d);

// Appends the rendered lines to out. A malformed layout appends nothing and
// gives false.
bool render_layout(std::string& out, std::string_view layout,
                   std::span<const FmtValue> values);
// The rendered lines ("" for a malformed layout).
std::string render_layout(std::string_view layout,
                          std::span<const FmtValue> values = {});
std::string render_layout(std::string_view layout,
                          std::initializer_list<FmtValue> values);
// Renders and writes to the stream; false for a malformed layout (nothing written).
bool write_layout(std::ostream& os, std::string_view layout,
                  std::span<const FmtValue> values = {});
bool write_layout(std::ostream& os, std::string_view layout,
                  std::initializer_list<FmtValue> values);

}  // namespace wakro
