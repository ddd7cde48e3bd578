// Shared rules of the line records (see line_records.h).
#include "lines/line_records.h"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "diag/textutil.h"
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

}  // namespace wakro::lines
