// The general (G) field of the channel files: one real in 23 columns with 14
// significant digits, written without allocating.
//
// 0.1 <= |v| < 1e14 after rounding to 14 digits (and zero): fixed form with
// 14 - k decimals right-aligned in 19 columns, then four blanks (k: digits
// before the point). Otherwise the exponent form 0.dddddddddddddd followed by
// E+xx (a three-digit exponent drops the E), right-aligned in 23 columns.
// NaN and infinities take the layout renderer's form for the same field.
#pragma once

#include <cstddef>

namespace wakro {

inline constexpr std::size_t kGFieldWidth = 23;

// Writes exactly kGFieldWidth characters at out (no terminating NUL).
void write_g23_14(double v, char* out);

}  // namespace wakro
