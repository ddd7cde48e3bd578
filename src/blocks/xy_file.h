// XY look-up tables read from a user's text file while the run goes on:
// xytable_f (at most 10 outputs; clears 10 entries of out) and xytable_f2 (any
// number N; clears N). x -> N outputs by piecewise-linear interpolation between
// rows with strictly ascending x, holding the end rows outside the table; with
// the nearest-point switch nonzero the nearer row is taken.
//
// File: leading comment lines (blank, or a first word beginning with "!" or
// "/"), then one row per line: x and N values in free format; at least two rows.
// Only the two rows around x are held: the cursor reads forward one row at a
// time as x rises and starts again from the first row when x falls below the
// pair it holds.
//
// Slots, from the pointers on entry: STORF 2(N+1) -- row U (x, then N values)
// and row L, the row before U (equal to U at the first row); STORI 3 -- unit of
// the open file (0 when none), k (U's row number, 1 = the first data row), the
// number of rows; STORL 1 -- the reopen flag (set by the time-zero pass until
// the next step opens the file for the run).
//
// The first step counts and checks the rows; the time-zero pass closes the file
// again and the next step reopens it; the last step closes the block's own unit.
// Fatal errors stop under "XYTABLE     ": "Name of the file is too long";
// "Error reading data from the file: " + name; "Not enough data in the file: " +
// name (no data row, a single data row, or an end inside the comment lines);
// "Data in the file should be in ascending order: " + name; and a number of
// outputs below 1 (or above 10 for xytable_f).
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro::blocks::layout::xy_file {
// STORF: row U (x, then the N values), then row L, the row before U.
constexpr std::int32_t row_length(std::int32_t n) { return n + 1; }
constexpr std::int32_t storf_size(std::int32_t n) { return 2 * row_length(n); }
enum : std::int32_t { kUnit = 1, kRow, kRows, kStoriSize = kRows };  // STORI
enum : std::int32_t { kReopen = 1, kStorlSize = kReopen };           // STORL
}  // namespace wakro::blocks::layout::xy_file

void xytable_f(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t nearest, double x,
               double* out);
void xytable_f2(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t nearest, double x,
                double* out);
