// Recorded signals: fileread and fileread2 play back up to 11 columns of a
// user's text file, one row per sampling instant, following simulation time by
// linear interpolation between rows.
//
// File: line 1 a header (skipped); then rows of at least N numbers in free
// format; in sampling mode 0 the first column is the row's time (only the
// differences count: the first row is placed at time zero, or at t_start for
// fileread2), in sampling mode 1 the rows are 1/fs apart. At least two rows.
// End mode at the end of the file: 0 hold the last row, 1 repeat from the first
// row one further spacing on, 2 extend the line through the last two rows.
//
// Slots, from the pointers on entry (wakro::blocks::layout::fileread below):
// STORI 3 -- the unit of the open file (0 when the block has none open), the rows
// consumed since the start of the file, the reopen flag (1 from the time-zero pass
// until the file is open for the run); STORF 35 -- the spacing of the present pair
// of rows, the time of the later row, row P (earlier), row Q (later), row S (a
// copy of Q), 11 columns each.
//
// The time-zero pass opens the file, reads the first two rows and closes it
// again; the next step opens it for the rest of the run and the last step closes
// it -- its own unit, whatever else is open. A run resumed from a snapshot
// ("SNAP") opens the file at its first step and skips to the row it had reached.
//
// Fatal errors stop under "FILEREAD    ": "Name of the file is too long";
// "Error reading data from the file: " + name (an end of file where rows are
// needed, a number that cannot be read); "Sampling Frequency too small";
// "Number of columns in the file is less than the specified value: " + name;
// "Time of the rows in the file must increase: " + name (a spacing <= 0, which
// would never let the playback reach the next row); "Rows of the file are closer
// than a thousandth of the time step: " + name (a row time difference, or 1/fs,
// below delt / 1000); and a column count outside 1 .. 11.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::int32_t kFileReadMaxColumns = 11;

namespace wakro::blocks::layout::fileread {  // fileread, fileread2
enum : std::int32_t { kUnit = 1, kRows, kReopen, kStoriSize = kReopen };  // STORI
enum : std::int32_t {  // STORF: three rows of kFileReadMaxColumns from kRowP, kRowQ, kRowS
  kDt = 1, kNext, kRowP, kRowQ = kRowP + kFileReadMaxColumns, kRowS = kRowQ + kFileReadMaxColumns,
  kStorfSize = kRowS + kFileReadMaxColumns - 1
};
}  // namespace wakro::blocks::layout::fileread

void fileread(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t samplingMode,
              std::int32_t endMode, double fs, double* out);
void fileread2(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t samplingMode,
               std::int32_t endMode, std::int32_t holdSwitch, double fs, double tStart, double* out);
