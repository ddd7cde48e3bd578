// What the examples' model code shares: the call record a page call opens in
// dsdyn, the EMF of the line step cases, and the conversion of a count the case
// data give as a real.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <string_view>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/quolbv3.h"

namespace example {

// Call record: a new row of quolbv3::txfr holding the page call's signal bases
// (stored logicals, integers, reals and texts), which dsout reads back.
inline void open_call_record() {
  quolbv3::ntxfr += 1;
  quolbv3::txfr(quolbv3::ntxfr, 1) = quolbv3::nstol;
  quolbv3::txfr(quolbv3::ntxfr, 2) = quolbv3::nstoi;
  quolbv3::txfr(quolbv3::ntxfr, 3) = quolbv3::nstof;
  quolbv3::txfr(quolbv3::ntxfr, 4) = quolbv3::nstoc;
}

// E for a step (frequency 0) or E sin(2 pi f t), with E the page's stored real
// 1 [kV] and f its stored real 2 [Hz].
inline double step_emf(std::int32_t stof_base, double t) {
  const double amplitude = quolbv3::stof(stof_base + 1);
  const double f = quolbv3::stof(stof_base + 2);
  if (f == 0.0) return amplitude;
  return amplitude * std::sin(2.0 * std::numbers::pi * f * t);
}

// A count that the case data give as a real (a page's stored real, a global
// substitution value): a whole number from low to high. Any other value (one
// beyond the 32-bit range, a fraction, NaN) stops the run with the error
// "<what> is <value>: a whole number from <low> to <high> is needed." and the
// routine tag, instead of being cut to some other count in silence.
inline std::int32_t count_from_real(double value, std::int32_t low, std::int32_t high, std::string_view what,
                                    std::string_view tag) {
  if (value >= low && value <= high && value == std::floor(value)) return static_cast<std::int32_t>(value);
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                std::string(what) + " is " + std::string(text, written.ptr) + ": a whole number from " +
                    std::to_string(low) + " to " + std::to_string(high) + " is needed.");
  wakro_quit(tag, 0);
}

}  // namespace example
