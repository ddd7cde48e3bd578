// The conventions every block shares: how switches, logic signals and
// interpolated signals are read, how a real becomes an integer, and how a block
// reports a bad parameter, warns, or forwards an obsolete call.
//
// Fatal parameter error: the block writes its message with wakro_message at
// severity 2 (one line with part 1, or n lines with parts n, 0 ... 0, -1) under
// the current component ids and stops with wakro_quit(tag, 0). It does so before
// it takes any slot, so its pointers are left where they were.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace wakro::blocks {

// An interpolated signal: X(1) the value at the end of the step, X(2) the time
// from the change inside the step to the end of the step (0 when it did not
// change). Indexed 0/1 in C++.
using XPair = std::array<double, 2>;

// A switch argument is on only when it equals 1.
constexpr bool switch_on(std::int32_t s) { return s == 1; }
// Flags that count as set whenever they are not zero.
constexpr bool flag_set(std::int32_t s) { return s != 0; }

// Nearest integer, halves away from zero; NaN gives 0 and values beyond the
// 32-bit range give the nearest end of it. Inline for the values blocks mostly
// round, flags and counts carried as reals: below one half in magnitude (0) and
// whole numbers well inside the range (themselves); any other value takes the
// general rounding.
std::int32_t nint_sat_general(double x);
inline std::int32_t nint_sat(double x) {
  constexpr double kHalf = 0.5;
  constexpr double kWholeRange = 1.0e9;  // whole numbers up to this convert exactly
  const double m = x < 0.0 ? -x : x;
  if (m < kHalf) return 0;
  if (m <= kWholeRange) {
    const auto k = static_cast<std::int32_t>(x);
    if (k == x) return k;
  }
  return nint_sat_general(x);
}
// A logic signal carried as a real: true when it rounds to a nonzero integer.
inline bool logic_true(double x) { return nint_sat(x) != 0; }

// Time from a zero crossing between the samples p (previous) and x (present) to
// the end of the step: x / (x - p) * delt.
double crossing_time(double p, double x, double delt);

// Fatal parameter error: the lines as one model message of severity 2, then the
// fatal stop under the 12-character tag (blank-padded when shorter).
[[noreturn]] void block_fatal(std::string_view tag, std::initializer_list<std::string_view> lines);
// Parameter checks that all report before the run stops: each failed check
// writes one error line (severity 2, part 1) under the current component ids,
// then block_stop ends the run under the tag (blank-padded when shorter).
void block_error_line(std::string_view text);
[[noreturn]] void block_stop(std::string_view tag);
// One warning line (severity 1, part 1) under the current component ids.
void block_warn(std::string_view text);
// The two console lines of a routine kept only for old case code:
// "Obsolete Function: <NAME>" and "  Use Subroutine <REPLACEMENT> instead.".
void obsolete_forward(std::string_view name, std::string_view replacement);

}  // namespace wakro::blocks
