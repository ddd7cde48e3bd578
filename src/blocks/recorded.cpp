// The recorded-signal blocks of recorded.h; fileread is fileread2 without the
// column check and the start time.
#include "blocks/recorded.h"

#include <array>
#include <span>
#include <string>

#include "blocks/conventions.h"
#include "blocks/file_blocks.h"
#include "blocks/slots.h"
#include "files/listread.h"
#include "model/assorc.h"
#include "model/e_s1.h"

using namespace wakro::blocks;

namespace {

constexpr char kTag[] = "FILEREAD";
constexpr std::int32_t kCols = kFileReadMaxColumns;
using namespace wakro::blocks::layout::fileread;
// The bases of rows P, Q and S: column j of a row at its base plus j.
constexpr std::int32_t kP = kRowP - 1, kQ = kRowQ - 1, kS = kRowS - 1;
// Sampling frequencies at or below this are refused.
constexpr double kMinFs = 1e-6;
// Rows closer than this fraction of the time step are refused: a step would
// read (or, in end mode 1, rewind through) more than a thousand rows, and a
// spacing small against the time of the next row would no longer advance it.
constexpr double kMinSpacingOfStep = 1e-3;
// A start time at or below this fraction of the step counts as zero.
constexpr double kStartFraction = 1e-4;
// Width of the first data row read as text by fileread2.
constexpr std::size_t kFirstRowWidth = 360;

struct Call {
  std::string_view name;
  std::int32_t pathSwitch, n, samplingMode, endMode;
  bool second;  // fileread2
  std::int32_t holdSwitch;
  double fs, tStart;
  double* out;
};

[[noreturn]] void read_error(const Call& c) {
  file_fatal(kTag, "Error reading data from the file: ", formed_name(c.name, c.pathSwitch));
}

// Reads the next row into slots base+1 .. base+n; false at the end of the file.
bool next_row(const Call& c, std::int32_t unit, const Slots<double>& f, std::int32_t base) {
  std::array<double, kCols> row{};
  const wakro::ReadStatus st = read_row(unit, std::span<double>(row.data(), static_cast<std::size_t>(c.n)));
  if (st == wakro::ReadStatus::error) read_error(c);
  if (st != wakro::ReadStatus::ok) return false;
  for (std::int32_t j = 1; j <= c.n; ++j) f(base + j) = row[j - 1];
  return true;
}

void copy_row(const Slots<double>& f, std::int32_t from, std::int32_t to) {
  for (std::int32_t j = 1; j <= kCols; ++j) f(to + j) = f(from + j);
}

// A spacing that would never (or only after countless rows) let the playback
// reach the next step.
void check_spacing(const Call& c, double dt) {
  if (!(dt > 0.0))
    file_fatal(kTag, "Time of the rows in the file must increase: ", formed_name(c.name, c.pathSwitch));
  if (dt < kMinSpacingOfStep * e_s1::delt)
    file_fatal(kTag, "Rows of the file are closer than a thousandth of the time step: ",
               formed_name(c.name, c.pathSwitch));
}

bool delayed_start(const Call& c) { return c.second && c.tStart > kStartFraction * e_s1::delt; }

// fileread2's check that the first data row holds N numbers.
void check_columns(const Call& c, std::int32_t unit) {
  std::string record;
  if (!skip_lines(unit, 1) || wakro::read_record(unit, record) != wakro::ReadStatus::ok) read_error(c);
  if (record.size() > kFirstRowWidth) record.resize(kFirstRowWidth);
  std::array<double, kCols> row{};
  const bool complete =
      wakro::list_read(record, {std::span<double>(row.data(), static_cast<std::size_t>(c.n))}) ==
      wakro::ReadStatus::ok;
  if (!complete)
    file_fatal(kTag, "Number of columns in the file is less than the specified value: ",
               formed_name(c.name, c.pathSwitch));
  rewind_unit(unit);
}

void play(const Call& c) {
  // Step 1: arguments, then the slots.
  if (c.n < 1 || c.n > kCols) block_fatal(kTag, {"Number of columns must be 1 to 11."});
  const Slots<std::int32_t> i = take_stori(kStoriSize);
  const Slots<double> f = take_storf(kStorfSize);

  // Step 2: the step after the time-zero pass opens the file for the run.
  if (i(kReopen) == 1) {
    i(kUnit) = open_block_file(c.name, c.pathSwitch, kTag);
    if (!skip_lines(i(kUnit), 3)) read_error(c);
    i(kReopen) = 0;
    i(kRows) = 2;
  } else if (e_s1::firststep) {
    // Step 3: the first step of a run.
    const std::int32_t unit = open_block_file(c.name, c.pathSwitch, kTag);
    i(kUnit) = unit;
    if (c.second) check_columns(c, unit);
    if (assorc::input == "DATA") {
      if (!skip_lines(unit, 1) || !next_row(c, unit, f, kP) || !next_row(c, unit, f, kQ)) read_error(c);
      copy_row(f, kP, kS);
      if (c.samplingMode == 1) {
        if (c.fs <= kMinFs) block_fatal(kTag, {"Sampling Frequency too small"});
        f(kDt) = 1.0 / c.fs;
      } else {
        f(kDt) = f(kQ + 1) - f(kP + 1);
      }
      check_spacing(c, f(kDt));
      wakro::close_unit(unit);
      i(kUnit) = 0;
      i(kReopen) = 1;
      i(kRows) = 2;
      f(kNext) = delayed_start(c) ? c.tStart + f(kDt) : f(kDt);
    } else if (assorc::input == "SNAP") {
      if (!skip_lines(unit, 1 + i(kRows))) read_error(c);
    }
  }

  // Step 4: advance over the rows that time has passed.
  const std::int32_t unit = i(kUnit);
  bool held = false;
  while (unit > 0 && e_s1::time >= f(kNext)) {
    copy_row(f, kQ, kS);
    if (next_row(c, unit, f, kQ)) {
      ++i(kRows);
      copy_row(f, kS, kP);
      if (c.samplingMode == 0) {
        f(kDt) = f(kQ + 1) - f(kP + 1);
        check_spacing(c, f(kDt));
      }
      f(kNext) += f(kDt);
      continue;
    }
    // Step 5: the end of the file, by end mode.
    if (c.endMode == 0) {
      held = true;
      break;
    }
    if (c.endMode == 1) {
      rewind_unit(unit);
      copy_row(f, kQ, kP);
      if (!skip_lines(unit, 1) || !next_row(c, unit, f, kQ)) read_error(c);
      f(kNext) += f(kDt);
      i(kRows) = 1;
      continue;
    }
    if (c.endMode == 2) break;  // Q still holds the last row: extrapolate
    read_error(c);
  }

  // Step 6: the outputs.
  if (held) {
    for (std::int32_t j = 1; j <= c.n; ++j) c.out[j - 1] = f(kQ + j);
  } else if (delayed_start(c) && e_s1::time < c.tStart) {
    for (std::int32_t j = 1; j <= c.n; ++j) c.out[j - 1] = c.holdSwitch != 0 ? f(kP + j) : 0.0;
  } else {
    const bool zeroPass = e_s1::timezero && !delayed_start(c);
    const double w = zeroPass ? 0.0 : 1.0 - (f(kNext) - e_s1::time) / f(kDt);
    for (std::int32_t j = 1; j <= c.n; ++j) c.out[j - 1] = w * f(kQ + j) + (1.0 - w) * f(kP + j);
  }

  // Step 7: the last step closes the block's own file.
  if (e_s1::laststep && i(kUnit) > 0) {
    wakro::close_unit(i(kUnit));
    i(kUnit) = 0;
  }
}

}  // namespace

void fileread(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t samplingMode,
              std::int32_t endMode, double fs, double* out) {
  play(Call{name, pathSwitch, n, samplingMode, endMode, false, 0, fs, 0.0, out});
}

void fileread2(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t samplingMode,
               std::int32_t endMode, std::int32_t holdSwitch, double fs, double tStart, double* out) {
  play(Call{name, pathSwitch, n, samplingMode, endMode, true, holdSwitch, fs, tStart, out});
}
