// The free-format ("list-directed") reader: the one way the engine reads values
// from a data line in free format.
//
// Grammar:
//   - items are separated by blanks (a tab counts as a blank) and at most one
//     comma; two commas in a row, or a comma before the first item, give a null
//     item, which leaves its target unchanged;
//   - a '/' ends the read: the remaining targets keep their values;
//   - integers: optional sign and digits, within the 32-bit range;
//   - reals: optional sign, digits with an optional decimal point, an optional
//     exponent with E, D or Q (either case); an integer form is a real too.
//     NaN, Inf and values beyond the range of a double are read errors;
//   - logicals: an optional '.', then T or F (either case), then anything up to
//     the next separator (".TRUE.", "F", "true");
//   - complex values: "(re, im)" within one line;
//   - texts: quoted with ' or " (a doubled quote inside stands for one), or a
//     bare word that ends at a blank or comma.
// Numbers never depend on the locale.
//
// A read from an in-memory line stops at the line's end: targets left without a
// value give ReadStatus::end (those read before keep their new values). A read
// from an input unit starts at the unit's next record and continues over the
// following records until every target has a value; the unit is then positioned
// after the last record it used (the rest of that record is not read again).
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "files/units.h"
#include "model/fixedtext.h"

namespace wakro {

// One target of a free-format read; a span stands for one target per element.
class ListItem {
 public:
  enum class Kind : unsigned char { Int, Real, Logical, Complex, Text, IntSpan, RealSpan };

  ListItem(std::int32_t& v) : kind_(Kind::Int), p_(&v) {}
  ListItem(double& v) : kind_(Kind::Real), p_(&v) {}
  ListItem(bool& v) : kind_(Kind::Logical), p_(&v) {}
  ListItem(std::complex<double>& v) : kind_(Kind::Complex), p_(&v) {}
  ListItem(std::string& v) : kind_(Kind::Text), p_(&v), n_(0) {}
  // A fixed-width text: the value is cut or blank-padded to its width.
  template <std::size_t N>
  ListItem(FixedText<N>& v) : kind_(Kind::Text), p_(v.c), n_(N) {}
  ListItem(std::span<std::int32_t> v) : kind_(Kind::IntSpan), p_(v.data()), n_(v.size()) {}
  ListItem(std::span<double> v) : kind_(Kind::RealSpan), p_(v.data()), n_(v.size()) {}

  Kind kind() const { return kind_; }
  void* target() const { return p_; }
  // Width of a fixed text (0 for a std::string), element count of a span.
  std::size_t count() const { return n_; }

 private:
  Kind kind_;
  void* p_;
  std::size_t n_ = 1;
};

// Reads the targets in order from one in-memory line.
ReadStatus list_read(std::string_view line, std::initializer_list<ListItem> items);
ReadStatus list_read(std::string_view line, std::span<const ListItem> items);

// Reads the targets in order from the records of an open input unit.
ReadStatus list_read_unit(std::int32_t unit, std::initializer_list<ListItem> items);
ReadStatus list_read_unit(std::int32_t unit, std::span<const ListItem> items);

}  // namespace wakro
