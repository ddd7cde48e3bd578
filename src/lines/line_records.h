// What the dimension pass and the section reader share of the line records: the
// header and model keywords, the option lines, the file name of the solved line
// constants (with the tandem renaming), the quoted line name, and the rule that
// turns a travel time into travelling-wave buffer slots. Both readers must read
// a record identically, so each of these rules exists only here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/units.h"

namespace wakro::lines {

// Directory column 1 of each kind of line.
enum class LineModel : std::int32_t { bergeron = 0, fredep = 1, frephase = 2, mfdtd = 3 };

// ENI role of a record (directory column 4).
inline constexpr std::int32_t kOrdinary = 0;
inline constexpr std::int32_t kServerEnd = 1;
inline constexpr std::int32_t kClientEnd = 2;

// The line directory e_s7::linemodel, one row per line in reading order, column
// by column (the number of columns last).
namespace layout::directory {
enum : std::int32_t {
  kModel = 1,         // LineModel, or kNoModel for an ENI client end
  kModelLine,         // index of the line in its model's per-line tables
  kModeOffset,        // conductors of the same model before this line
  kRole,              // ENI role
  kConductors,        // number of conductors
  kSendingSends,      // sending end: first index of the control signals it sends (cscs)
  kSendingSendCount,  //   and their count
  kSendingReceives,   // sending end: first index at which it receives (cscr), > 0 when it does
  kSendingReceiveCount,
  kReceivingSends,  // the same for the receiving end
  kReceivingSendCount,
  kReceivingReceives,
  kReceivingReceiveCount,
  kColumns = kReceivingReceiveCount
};
// Column kModel of an ENI client end, which has no model of its own.
inline constexpr std::int32_t kNoModel = -1;
}  // namespace layout::directory
namespace dir = layout::directory;

// Record lines are read as at most this many characters.
inline constexpr std::size_t kRecordWidth = 200;

bool is_header(std::string_view line);             // "Quolb Line Constants"
bool is_input_data(std::string_view line);         // "TLINE-INPUT-DATA"
bool is_output_data(std::string_view line);        // "TLINE-OUTPUT-DATA"
LineModel model_of(std::string_view model_line);   // by its keyword, else Bergeron
std::string_view model_name(LineModel m);          // "FRE-DEP", "FRE-PHASE", "MFDTD"

struct LineOptions {
  bool noint = false;      // whole travel times rounded, no interpolation
  bool inflength = false;  // every travel time one step
};

// Reads option lines from the unit while there are any; the first other line is
// stepped back so that the next read returns it. Returns that read's status.
ReadStatus read_options(std::int32_t unit, LineOptions& options);

// Characters 19..200 of a "TLINE-INPUT-DATA" / "TLINE-OUTPUT-DATA" line, trimmed.
std::string data_name(std::string_view line);

// The file name as opened in this run: with tandem lines enabled and the stem
// (the characters before the first '.') equal to a tandem line's whole trimmed
// name, "stem.ext" becomes "stem_NNN.ext" with the run number (ctrl::rank for
// run type 1, ctrl::mmm for -1, at least 3 digits) or "001" for any other run
// type. A name without '.' is never renamed.
std::string tandem_file_name(const std::string& name);

// The file name up to its first '.' (at most 182 characters) in single quotes.
std::string quoted_line_name(const std::string& file_name);

// Buffer slots of a travel time of s steps (finite, checked by the caller): 1
// below one step or with INFLENGTH, else s truncated, or rounded (halves away
// from zero) with NOINT.
std::int32_t wave_slots(double s, const LineOptions& options);
// Fraction left over by the slots (0 with NOINT, below one step, INFLENGTH).
double wave_fraction(double s, const LineOptions& options);

// A travel time in steps that can be converted to a slot count.
bool convertible_steps(double s);

// The number in columns first..first+1 of a model line (a list read of that
// two-character field), as the MFDTD model line gives its conductor and pole
// counts.
ReadStatus two_columns(std::string_view line, std::size_t first, std::int32_t& v);

// The spatial segments of an MFDTD line: a wave at the largest velocity vmax
// [m/s] crosses at most one segment per step of delt seconds. Both readers
// decide them here, before any conversion to an integer.
enum class SegmentCheck {
  ok,        // n segments of dx each (dx >= vmax delt)
  velocity,  // vmax delt not above 0 (or not a number)
  length,    // length not above 0 (or not a number)
  none,      // the line is shorter than one segment: n = 0
  beyond     // more segments than can be counted
};
struct Segments {
  SegmentCheck check = SegmentCheck::ok;
  std::int32_t n = 0;
  double dx = 0.0;
};
Segments mfdtd_segments(double vmax, double length, double delt);

// The console lines of the segment count (information, the hint of a single
// segment, or the error of velocity, length or count) for the line whose name
// begins with name20 (its first 20 characters are shown).
void report_segments(const Segments& seg, std::string_view name20);

// Keeps the next record of the unit in fnames::dumlin, for the messages that
// show the offending data line, and leaves it to be read.
void keep_next_line(std::int32_t unit);

// One record line, cut to kRecordWidth characters.
ReadStatus read_text(std::int32_t unit, std::string& line);

}  // namespace wakro::lines
