// wakro_rdparm: the "PARAMETERS:" section.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "input/input_hooks.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "input/parameters.h"
#include "files/units.h"
#include "files/words.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/emtio.h"
#include "model/fnames.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/snpdat.h"

namespace {

using wakro::ListLine;

// Whether the section being read gave FINISH_TIME.
bool finish_time_read = false;
// The value of the section's last PRINT_STEP line, rounded once the section is
// read (set_print_step).
std::optional<double> print_step_read;

// Ends the run showing the last data line read and its file.
[[noreturn]] void quit_showing_data_line() { wakro_quit("RDPARM", 1); }

[[noreturn]] void fatal_line(std::string_view text) {
  ListLine() << text;
  quit_showing_data_line();
}

[[noreturn]] void value_error() { fatal_line("Error while reading data from line:"); }

double real_value(const Line72& value) {
  double x = 0.0;
  if (wakro::list_read(value.view(), {x}) != wakro::ReadStatus::ok) value_error();
  return x;
}

std::int32_t int_value(const Line72& value) {
  std::int32_t n = 0;
  if (wakro::list_read(value.view(), {n}) != wakro::ReadStatus::ok) value_error();
  return n;
}

enum class YesNo { yes, no, other };

// The first word of the value; any word but "YES" or "NO" is reported.
YesNo yes_no(const Line72& value, std::string_view unknown_text) {
  const Line72 word = wakro_firstwrd(value);
  if (word == "YES") return YesNo::yes;
  if (word == "NO") return YesNo::no;
  ListLine() << unknown_text << word.view();
  return YesNo::other;
}

// A per-subsystem flag that NO clears for every subsystem.
void subsystem_flag(const Line72& value, std::string_view unknown_text,
                    wakro::FArray<bool, 1>& flag, std::string_view disabling) {
  if (yes_no(value, unknown_text) != YesNo::no) return;
  for (std::int32_t k = 1; k <= int2::nmat; ++k) flag(k) = false;
  if (ctrl::firstrun) ListLine() << disabling;
}

// Once the section is read: rounded with the time step the run takes (the last
// TIME_STEP line), wherever the PRINT_STEP line stands, so that every run of a
// set and a resumed run (whose map merge rounds so) print at the same step.
void set_print_step(double value) {
  if (value < e_s1::delt) wakro_warn(0, 0, wakro::msg::kSingleLine, "Print-step should be at least time-step");
  e_s1::print = wakro::print_step_of(value, e_s1::delt);
}

void solution_method(const Line72& value) {
  const Line72 word = wakro_firstwrd(value);
  if (word == "TRAPEZOIDAL") {
    if (ctrl::firstrun) ListLine() << "Solution Method: Trapezoidal Integration";
  } else if (ctrl::firstrun) {
    wakro_warn(0, 0, wakro::msg::kSingleLine, "Unrecognized Solution Method, Defaulting to Trapezoidal");
    ListLine() << "################## WARNING ##################";
    ListLine() << "Unrecognized Solution Method: " << word.view().substr(0, 30);
    ListLine() << "Defaulting to trapezoidal integration method.";
    ListLine() << "#############################################";
  }
  for (std::int32_t k = 1; k <= int2::nmat; ++k) options::rootmatch(k) = 0;
}

// Acts on one "KEY = value" line.
void parameter(const Line72& key, const Line72& value) {
  if (key == "TITLE") {
    if (wakro::title_of(value.view(), assorc::title) != wakro::ReadStatus::ok) value_error();
    return;
  }
  const bool yes_no_key =
      key == "INTERPOLATE" || key == "REMOVE_CHATTER" || key == "DETECT_CHATTER" ||
      key == "PRINT_DIMENSIONS" || key == "USE_SUBSYSDIM" || key == "PRINT_PARAMETERS" ||
      key == "ECHO_DATA" || key == "EXTRAPOLATE" || key == "USE_MANA" || key == "USE_SPARSE";
  const bool known = yes_no_key || key == "VERSION" || key == "TIME_STEP" || key == "PRINT_STEP" ||
                     key == "FINISH_TIME" || key == "START_TIME" || key == "SNAP_TIME" ||
                     key == "SNAP_IIISNP" || key == "SCREEN_PMAX" || key == "SCREEN_PMIN" ||
                     key == "SOLUTION" || key == "CHATTER_LEVEL" || key == "SHORT_CIRCUIT" ||
                     key == "SPARSE_LIMIT";
  if (!known) {
    wakro_warn(0, 0, wakro::msg::kSingleLine, "RDPARM: Unresolved parameter in Map/Snap file");
    ListLine() << "WARNING: RDPARM: Unresolved parameter: " << key.view();
    ListLine() << "in data file: " << wakro::FixedText<34>(wakro::name_prefix(fnames::filename.view(), 34));
    // Where the key stands: keys are upper case, so a misspelt or lower-case
    // key (which then sets nothing) can be found and mended.
    ListLine() << "RDPARM: The key is in file " + wakro::unit_file_name(fnames::iunit) + ", line " +
                      std::to_string(wakro::unit_line_number(fnames::iunit)) + ".";
    ListLine() << "... continuing reading data";
    return;
  }
  if (!yes_no_key && value.is_blank()) return;

  if (key == "VERSION") {
    real_value(value);
  } else if (key == "TIME_STEP") {
    e_s1::delt = real_value(value);
    if (e_s1::delt <= 0.0) fatal_line("ERROR: Undefined, Zero or Negative time-step");
  } else if (key == "PRINT_STEP") {
    print_step_read = real_value(value);
  } else if (key == "FINISH_TIME") {
    finish_time_read = true;
    e_s1::fintim = real_value(value);
    if (e_s1::fintim <= 0.0) fatal_line("ERROR: Undefined, Zero or Negative finish time");
  } else if (key == "START_TIME") {
    if (real_value(value) < 0.0) wakro_warn(0, 0, wakro::msg::kSingleLine, "WARNING!: Negative start time");
  } else if (key == "SNAP_TIME") {
    e_s1::time = real_value(value);
    if (e_s1::time < 0.0) fatal_line("ERROR!: Negative snap time");
  } else if (key == "SNAP_IIISNP") {
    snpdat::iiisnp = int_value(value);
    if (snpdat::iiisnp < 0) fatal_line("ERROR: Negative snap time");
  } else if (key == "SCREEN_PMAX") {
    outppp::pmax = real_value(value);
  } else if (key == "SCREEN_PMIN") {
    outppp::pmin = real_value(value);
  } else if (key == "SOLUTION") {
    solution_method(value);
  } else if (key == "CHATTER_LEVEL") {
    double level = real_value(value);
    if (level <= 0.0) level = 0.001;
    for (std::int32_t k = 1; k <= int2::nmat; ++k) int2::glvl(k) = level;
  } else if (key == "SHORT_CIRCUIT") {
    const double r = real_value(value);
    if (r > 1.0e-8)
      for (std::int32_t k = 1; k <= int2::nmat; ++k) ideal::gonmax(k) = 1.0 / r;
  } else if (key == "INTERPOLATE") {
    subsystem_flag(value, "Unknown option for INTERPOLATE: ", options::interpss,
                   "Disabling network interpolation.");
  } else if (key == "REMOVE_CHATTER") {
    subsystem_flag(value, "Unknown option for REMOVE_CHATTER: ", options::rmchatter,
                   "Disabling chatter removal.");
  } else if (key == "DETECT_CHATTER") {
    subsystem_flag(value, "Unknown option for DETECT_CHATTER: ", options::dtchatter,
                   "Disabling chatter detection.");
  } else if (key == "PRINT_DIMENSIONS") {
    if (yes_no(value, "Unknown option for PRINT_DIMENSIONS: ") == YesNo::yes)
      options::prndim = true;
  } else if (key == "USE_SUBSYSDIM") {
    ndde::use_subsysdim = false;
    if (yes_no(value, "Unknown option for USE_SUBSYSDIM: ") == YesNo::yes)
      ndde::use_subsysdim = true;
  } else if (key == "PRINT_PARAMETERS") {
    if (yes_no(value, "Unknown option for PRINT_PARAMETERS: ") == YesNo::yes)
      options::prnparm = true;
  } else if (key == "ECHO_DATA") {
    if (yes_no(value, "Unknown option for ECHO_DATA: ") == YesNo::yes) options::echo = true;
  } else if (key == "EXTRAPOLATE") {
    subsystem_flag(value, "Unknown option for EXTRAPOLATE: ", options::xterpsrc,
                   "Disabling source extrapolation.");
  } else if (key == "USE_MANA") {
    const YesNo a = yes_no(value, "Unknown option for USE_MANA: ");
    if (a != YesNo::other) mna::enable_mna = a == YesNo::yes;
  } else if (key == "USE_SPARSE") {
    const YesNo a = yes_no(value, "Unknown option for USE_SPARSE: ");
    if (a != YesNo::other) int3::enable_sparse = a == YesNo::yes;
  } else if (key == "SPARSE_LIMIT") {
    int3::sparse_limit = int_value(value);
  }
}

// The checks of the three times once the section has ended. A map file must
// give the finish time (a snapshot takes it from the start-up dialogue): a run
// of one print step in place of a misspelt key would end as if it had worked.
void check_times() {
  if (print_step_read && e_s1::delt > 0.0) set_print_step(*print_step_read);
  if (options::prnparm) wakro::call_writeparm(emtio::iout);
  if (e_s1::delt <= 0.0) fatal_line("WARNING: Using default time step of 50 usec.");
  if (!finish_time_read && !(assorc::input == "SNAP"))
    fatal_line("ERROR: Undefined, Zero or Negative finish time");
  if (e_s1::print < e_s1::delt) {
    e_s1::print = e_s1::delt;
    wakro_warn(0, 0, wakro::msg::kSingleLine, "Print time has been adjusted to DELT");
    ListLine() << "WARNING: Print time has been adjusted to " << e_s1::delt;
  }
  if (e_s1::fintim < e_s1::print) {
    e_s1::fintim = e_s1::print;
    wakro_warn(0, 0, wakro::msg::kSingleLine, "Finish time has been adjusted to PrintTime");
    ListLine() << "WARNING: Finish time has been adjusted to " << e_s1::print;
  }
  if (ndde::e_ndim(dim::nmana) > 0 && !mna::enable_mna) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                  "Components that require MANA solution are detected. ");
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine, "However, MANA is disabled in Project Settings.");
    quit_showing_data_line();
  }
}

}  // namespace

namespace wakro {

// Rounded in double: a huge ratio must not pass through a 32-bit integer.
double print_step_of(double value, double delt) { return delt * std::max(1.0, std::round(value / delt)); }

ReadStatus title_of(std::string_view value, FixedText<72>& title) {
  title.blank();
  const bool blank = value.find_first_not_of(' ') == std::string_view::npos;
  if (!blank && list_read(value, {title}) != ReadStatus::ok) {
    title.blank();
    return ReadStatus::error;
  }
  if (title.is_blank()) title = "***Blank_Title***";
  return ReadStatus::ok;
}

}  // namespace wakro

void wakro_rdparm() {
  if (!(fnames::section == "PARAMETERS:")) {
    ListLine() << "Expecting section PARAMETERS: in map/snap file.";
    ListLine() << "Instead found section: " << fnames::section.view();
    wakro_quit("RDPARM", 2);
  }
  const Line72 key("PARAMETERS:");
  finish_time_read = false;
  print_step_read.reset();
  for (;;) {
    rdcmnt();
    if (!rdcmnt_in_section(key)) break;
    Line72 line;
    const wakro::ReadStatus st = wakro::read_line72(line);
    if (st == wakro::ReadStatus::end) fatal_line("Unexpected End_Of_File");
    if (st == wakro::ReadStatus::error) value_error();
    parameter(wakro_firstwrd(line), wakro_rhs72str(line));
  }
  check_times();
}
