// One printf-style conversion ("%02d", "%.2f", "%#+-10.3g", "%s" ...) applied to
// one value, without ever handing the conversion text to printf.
//
// Catalogue texts and model code carry such conversions inside their
// placeholders. A conversion is accepted only when it is exactly one "%", the
// flags "-+ #0", an optional width, an optional "." and precision (each at most
// 255), optional length letters h/l/L (ignored), and one conversion letter of the
// value's kind: d or i for integers, f F e E g G for reals, s for texts. Anything
// else (a second "%", "*", "n", trailing characters) is refused, and the caller
// reports the placeholder as unsupported. The output follows the C rules of
// these conversions in the "C" locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wakro {

struct PrintfConversion {
  bool left = false;    // '-'
  bool plus = false;    // '+'
  bool space = false;   // ' '
  bool alt = false;     // '#'
  bool zero = false;    // '0'
  int width = 0;
  int precision = -1;   // -1: none given
  char conv = 'd';
};

// Parses one conversion; nullopt when it is not exactly one acceptable
// conversion. `kinds` lists the conversion letters allowed.
std::optional<PrintfConversion> parse_conversion(std::string_view text, std::string_view kinds);

std::string printf_int(const PrintfConversion& conversion, std::int64_t value);
std::string printf_real(const PrintfConversion& conversion, double value);
std::string printf_text(const PrintfConversion& conversion, std::string_view value);

}  // namespace wakro
