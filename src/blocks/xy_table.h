// XY look-up tables given as array arguments: a table of n points with strictly
// ascending x maps the input x to m outputs by piecewise-linear interpolation,
// holding the end values outside the table; with the nearest-point switch
// nonzero the nearer point is taken instead (half-way takes the upper one).
//
// The _cfg routine copies the table into the configuration store in the begin
// pass; the _exe routine reads it back every step at the same pointer.
//   xytable_t:  n <= 10 points, m <= 10 outputs, a block of 110 reals in groups
//               of ten: 1..n the x points, 10j+1 .. 10j+n output j's values
//               (the rest of each group untouched); out has 10 entries.
//   xytable_t2: any n and m, (m+1) n reals: x_1..x_n, then each output's n
//               values in turn; out has m entries.
// Fatal errors stop under "XY_TABLE_T  ": x not strictly ascending ("Data in the
// table should be in ascending order"), and sizes outside n >= 1, m >= 0 (and
// n, m <= 10 for xytable_t), checked by both routines before any slot is taken.
#pragma once

#include <cstdint>

// Entries of the data argument and of the configuration block of xytable_t.
inline constexpr std::int32_t kXyGroup = 10;
inline constexpr std::int32_t kXyBlock = 110;

namespace wakro::blocks::layout {
namespace xytable_t {  // RTCF: the x points from kFirstX, output j's values from j kXyGroup + 1
enum : std::int32_t { kFirstX = 1, kRtcfSize = kXyBlock };
}
namespace xytable_t2 {  // RTCF: the x points from kFirstX, then each output's n values in turn
enum : std::int32_t { kFirstX = 1 };
constexpr std::int32_t rtcf_size(std::int32_t n, std::int32_t m) { return (m + 1) * n; }
}
}  // namespace wakro::blocks::layout

void xytable_t_cfg(std::int32_t n, std::int32_t m, const double* data);
void xytable_t_exe(std::int32_t n, std::int32_t m, std::int32_t nearest, double x, double* out);
void xytable_t2_cfg(std::int32_t n, std::int32_t m, const double* data);
void xytable_t2_exe(std::int32_t n, std::int32_t m, std::int32_t nearest, double x, double* out);

// The interpolation weight of x between a < b: (x - a)/(b - a), rounded to 0 or
// 1 (halves upward) when nearest is nonzero.
double xy_weight(double x, double a, double b, std::int32_t nearest);
