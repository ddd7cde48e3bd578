// Shared rules of the line records (see line_records.h).
#include "lines/line_records.h"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/textutil.h"
#include "files/listread.h"
#include "model/ctrl.h"
#include "model/fnames.h"
#include "model/tandem_line.h"

namespace wakro::lines {
namespace {

bool starts_with_any(std::string_view line, std::initializer_list<std::string_view> words) {
  for (std::string_view w : words)
    if (line.substr(0, w.size()) == w) return true;
  return false;
}

std::string trim(std::string_view t) {
  const std::size_t b = t.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  const std::size_t e = t.find_last_not_of(' ');
  return std::string(t.substr(b, e - b + 1));
}

}  // namespace

bool is_header(std::string_view line) { return line.substr(0, 20) == "Quolb Line Constants"; }
bool is_input_data(std::string_view line) { return line.substr(0, 16) == "TLINE-INPUT-DATA"; }
bool is_output_data(std::string_view line) { return line.substr(0, 17) == "TLINE-OUTPUT-DATA"; }

LineModel model_of(std::string_view line) {
  if (starts_with_any(line, {"FRE-DEP", "Fre-Dep", "fre-dep"})) return LineModel::fredep;
  if (starts_with_any(line, {"FRE-PHASE", "Fre-Phase", "fre-phase"})) return LineModel::frephase;
  if (starts_with_any(line, {"MFDTD", "mfdtd"})) return LineModel::mfdtd;
  return LineModel::bergeron;
}

std::string_view model_name(LineModel m) {
  switch (m) {
    case LineModel::fredep:
      return "FRE-DEP";
    case LineModel::frephase:
      return "FRE-PHASE";
    case LineModel::mfdtd:
      return "MFDTD";
    case LineModel::bergeron:
      break;
  }
  return "Bergeron";
}

ReadStatus read_text(std::int32_t unit, std::string& line) {
  const ReadStatus st = read_record(unit, line);
  if (line.size() > kRecordWidth) line.resize(kRecordWidth);
  return st;
}

void keep_next_line(std::int32_t unit) {
  std::string line;
  if (read_record(unit, line) != ReadStatus::ok) return;
  fnames::dumlin = line;
  step_back(unit);
}

ReadStatus read_options(std::int32_t unit, LineOptions& options) {
  std::string line;
  for (;;) {
    const ReadStatus st = read_text(unit, line);
    if (st != ReadStatus::ok) return st;
    if (starts_with_any(line, {"NOINT", "noint", "NoInt", "Noint"})) {
      options.noint = true;
    } else if (starts_with_any(line, {"INFLENGTH", "inflength", "InfLength", "Inflength"})) {
      options.inflength = true;
    } else {
      step_back(unit);
      return ReadStatus::ok;
    }
  }
}

std::string data_name(std::string_view line) {
  return line.size() > 18 ? trim(line.substr(18)) : std::string();
}

std::string tandem_file_name(const std::string& name) {
  if (!tandem_line::enable_tandem_line) return name;
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos || dot == 0) return name;
  const std::string stem = name.substr(0, dot);
  if (stem != tandem_line::tandemline1.trimmed() && stem != tandem_line::tandemline2.trimmed())
    return name;
  std::string run = "001";
  if (tandem_line::run_type == 1) run = std::string(int2str2(3, ctrl::rank).trimmed());
  if (tandem_line::run_type == -1) run = std::string(int2str2(3, ctrl::mmm).trimmed());
  return stem + "_" + run + name.substr(dot, 4);
}

std::string quoted_line_name(const std::string& file_name) {
  std::string stem = file_name.substr(0, file_name.find('.'));
  if (stem.size() > 182) stem.resize(182);
  return "'" + stem + "'";
}

bool convertible_steps(double s) {
  return std::isfinite(s) && s < static_cast<double>(std::numeric_limits<std::int32_t>::max());
}

std::int32_t wave_slots(double s, const LineOptions& options) {
  if (s < 1.0 || options.inflength) return 1;
  if (options.noint) return static_cast<std::int32_t>(std::round(s));
  return static_cast<std::int32_t>(s);
}

double wave_fraction(double s, const LineOptions& options) {
  if (s < 1.0 || options.inflength || options.noint) return 0.0;
  return s - static_cast<std::int32_t>(s);
}

ReadStatus two_columns(std::string_view line, std::size_t first, std::int32_t& v) {
  const std::string_view field = line.size() >= first ? line.substr(first - 1, 2) : std::string_view();
  return list_read(field, {v});
}

Segments mfdtd_segments(double vmax, double length, double delt) {
  Segments seg;
  seg.dx = vmax * delt;
  if (!(seg.dx > 0.0)) {
    seg.check = SegmentCheck::velocity;
    return seg;
  }
  if (!(length > 0.0)) {
    seg.check = SegmentCheck::length;
    return seg;
  }
  const double q = length / seg.dx;
  if (!convertible_steps(q)) {
    seg.check = SegmentCheck::beyond;
    return seg;
  }
  seg.n = static_cast<std::int32_t>(q);
  if (seg.n <= 0) {
    seg.check = SegmentCheck::none;
    return seg;
  }
  seg.dx = length / seg.n;
  return seg;
}

void report_segments(const Segments& seg, std::string_view name20) {
  std::ostream& out = console();
  // The name as a 200-character field shows it: its first 20 characters,
  // blank-padded on the right.
  std::string name(name20.substr(0, 20));
  name.resize(20, ' ');
  switch (seg.check) {
    case SegmentCheck::velocity:
      write_layout(out, "('ERROR: MFDTD line: ',A20)", {name});
      ListLine() << "Value entered for maximum velocity is less than";
      ListLine() << "or equal to 0.0.  Please choose a positive";
      ListLine() << "value (typically around 2.99E+08 m/s).";
      return;
    case SegmentCheck::length:
      write_layout(out, "('ERROR: MFDTD line: ',A20)", {name});
      ListLine() << "Line length must be greater than 0.0!";
      return;
    case SegmentCheck::none:
      write_layout(out, "('ERROR: MFDTD line: ',A20)", {name});
      ListLine() << "Number of spacial segments is less than 1.";
      ListLine() << "Selected WAKRO time step is not sufficiently";
      ListLine() << "small for specified line length.  Please";
      ListLine() << "reduce WAKRO time step.";
      return;
    case SegmentCheck::beyond:
      return;  // reported by the caller as an invalid data line
    case SegmentCheck::ok:
      break;
  }
  write_layout(out, "('MFDTD line: ',A20)", {name});
  if (seg.n == 1) {
    ListLine() << "Number of spacial segments is 1.  This line may";
    ListLine() << "be replaced with a Coupled PI-Section";
    ListLine() << "equivalent.";
    wakro_warn(0, 0, msg::kSingleLine, "Check Non-standard Messages for Tline/Cable Warnings");
    return;
  }
  write_layout(out, "('Number of spacial segments = ',I6)", {seg.n});
  write_layout(out, "('Spacial segment length (dx) = ',G18.6)", {seg.dx});
}

}  // namespace wakro::lines
