// The free-format ("list-directed") console writer.
//
// One line per ListLine object: the line starts with one blank; a text item that
// follows a text item is written without separation; every other item gets one
// blank before it (also a text after a number). Integers are right-aligned in 11
// columns ("%11d"); reals are written in their shortest exact decimal form (the
// fewest digits that read back as the same double, "1.5", "5e-05"); logicals as
// T or F. The line is written, with its '\n', when the object ends (or at
// end()), so a line can be built in one expression:
//
//   wakro::ListLine() << "Too many branches:" << n << ">" << limit;
//   -> " Too many branches:           7 >          10"
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "model/fixedtext.h"

namespace wakro {

class ListLine {
 public:
  ListLine();  // writes to console()
  explicit ListLine(std::ostream& os);
  ~ListLine();
  ListLine(const ListLine&) = delete;
  ListLine& operator=(const ListLine&) = delete;

  ListLine& operator<<(std::string_view text);
  ListLine& operator<<(const char* text);
  ListLine& operator<<(const std::string& text) { return *this << std::string_view(text); }
  template <std::size_t N>
  ListLine& operator<<(const FixedText<N>& text) {
    return *this << text.view();
  }
  ListLine& operator<<(std::int32_t value);
  ListLine& operator<<(std::int64_t value);
  ListLine& operator<<(double value);
  ListLine& operator<<(bool value);

  // Writes the line now; later items start a new line.
  void end();
  // The line built so far (without its '\n').
  const std::string& str() const { return line_; }

 private:
  void item(std::string_view s, bool is_text);

  std::ostream& os_;
  std::string line_;
  bool last_text_ = false;
  bool empty_ = true;
};

// The free-format form of one real, as ListLine writes it (without the blank).
std::string list_real(double value);

}  // namespace wakro
