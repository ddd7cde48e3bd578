// mrunoini and mruno: the multiple-run output file (see mruno.h).
//
// Layout of the file:
//   " Multiple Run Output File"                      title (written with run 1)
//   "  Run #" and the column labels                  heading
//   one row per run: the run number in columns 1-5, blanks to column 13, then
//   per column a blank and the value ("I5" for logicals as 0/1 and integers,
//   "G16.10" for reals, "(G16.10,G16.10)" for complex values), 17 columns
//   each (36 for a complex one); each label ends 4 columns before the end of
//   its column.
// In an optimum search the last run's row follows an empty line, the optimum
// notice and the heading again; the best run is the first with the smallest
// (largest) finite value of the optimised output among the complete runs
// before the last, and when there is none the notice says so on its one line
// (kNoOptimum) and the last run keeps its own inputs. After the last row: the
// summary over the runs (all of them, or all but the repeated last one of an
// optimum search), a density table per output column, and the initial seed.
//
// A run that was cut short (run_end.h) still writes its row, marked "(cut
// short)" after its values; it is said on the console, is never the optimum
// and feeds no statistic. A set stopped on a run's last step or between two
// runs has no last run to write the summary: the end of the set writes it
// (mrun_end_of_set, run_end.h) over the rows written, which are all whole. A
// value that is not a finite number (NaN, an infinity, an integer too wide for
// its field) is written as such, said on the console and left out of its
// column's figures; the summary then says how many runs fed each column
// (statistics.h).
//
// The file is written a whole record at a time (result_file.h): the title with
// the heading, each run's row (with the optimum notice before the last run's),
// the statistics; a write the system refuses stops the set at once and leaves
// the file ending with the last whole record.
#include "multirun/mruno.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <span>
#include <string>
#include <vector>

#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "files/textfile.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/fixedtext.h"
#include "model/mrunseed.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "multirun/messages.h"
#include "multirun/names.h"
#include "multirun/result_file.h"
#include "multirun/run_end.h"
#include "multirun/statistics.h"
#include "multirun/varied.h"
#include "output/output_lock.h"

namespace {

using namespace wakro::multirun;

constexpr std::int32_t kMasterProject = 1;
constexpr std::string_view kIniTag = "MRUNOINI    ";
constexpr std::string_view kTag = "MRUNO       ";
constexpr int kRowLead = 13;          // run number and blanks before the first column
constexpr int kLabelEnd = 17;         // a label ends at this column of its heading field
constexpr int kHeadingLabelMax = 15;  // characters of a label in the headings
constexpr int kNarrowWidth = 17;      // columns of a logical, integer or real value
constexpr int kComplexWidth = 36;     // columns of a complex value
// Said instead of the optimum run when no run before the last was complete
// with a finite value of the optimised output.
constexpr std::string_view kNoOptimum =
    "No optimum: no run before the last gave a finite value of the optimised output; the last run below repeats none.";

// What mruno keeps between calls, for the whole process.
struct OutputState {
  ResultFile file;
  std::string file_name;
  std::string row;      // the row being built
  std::string header1;  // heading of the rows
  std::string header2;  // heading of the summary
  std::array<wakro::FixedText<20>, 2 * kMaxColumns> labelsave;  // inputs, then outputs
  std::array<std::int32_t, kMaxColumns> savei{};  // this run's integer inputs
  std::array<double, kMaxColumns> saver{};        // this run's other inputs
  std::array<double, 4> best{};                   // best optimised value, per type (NaN: none)
  // The counts the file was set up with (mrunoini); -1 before the set-up.
  std::int32_t nv = -1;
  std::int32_t nm = -1;
  std::int32_t ndiv = -1;
  // The run of the last row written, and of the last row the statistics
  // were written after (0: none).
  std::int32_t last_row_run = 0;
  std::int32_t summarised_run = 0;
};
OutputState out;

std::string value_field(std::int32_t type, bool l, std::int32_t i, double r, std::complex<double> c) {
  switch (type) {
    case kLogical: return std::string(" ").append(wakro::edit_i(l ? 1 : 0, 5));
    case kInteger: return std::string(" ").append(wakro::edit_i(i, 5));
    case kComplex:
      return std::string(" (").append(wakro::edit_g(readable(c.real()), 16, 10)).append(",").append(
          wakro::edit_g(readable(c.imag()), 16, 10)).append(")");
    default: return std::string(" ").append(wakro::edit_g(readable(r), 16, 10));
  }
}

// The text padded with blanks, or cut, to w columns.
std::string fit(std::string text, int w) {
  text.resize(static_cast<std::size_t>(w), ' ');
  return text;
}

// The label of a column, cut to 15 characters, right-aligned to end at column
// 17 of a heading field of w columns.
std::string heading_field(std::string_view label, int w) {
  const std::string_view text = wakro::trim_right(label).substr(0, kHeadingLabelMax);
  std::string field(40, ' ');
  field.replace(static_cast<std::size_t>(kLabelEnd) - text.size(), text.size(), text);
  return fit(field, w);
}

double candidate(std::int32_t type, bool l, std::int32_t i, double r, std::complex<double> c) {
  switch (type) {
    case kLogical: return l ? 1.0 : 0.0;
    case kInteger: return i;
    case kComplex: return std::abs(c);
    default: return r;
  }
}

void track_optimum(std::int32_t id, std::int32_t type, std::int32_t optvar, std::int32_t minmax, std::int32_t nv,
                   double value, std::int32_t ivalue) {
  const std::int32_t run = ctrl::mmm;
  if (id < 0) {
    const auto k = static_cast<std::size_t>(-id - 1);
    if (type == kInteger)
      out.savei[k] = ivalue;
    else
      out.saver[k] = value;
    return;
  }
  if (id != optvar) return;
  double& best = out.best[static_cast<std::size_t>(type)];
  // A value that is not a finite number is never the best; until a run gives
  // a finite value there is no best run (multpl::optimumrun 0).
  if (!std::isfinite(value)) return;
  const bool better = !std::isfinite(best) || (minmax == 0 ? value < best : value > best);
  if (!better) return;
  best = value;
  multpl::optimumrun = run;
  for (std::int32_t k = 1; k <= nv; ++k) {
    multpl::optimumi(k) = out.savei[static_cast<std::size_t>(k - 1)];
    multpl::optimumr(k) = out.saver[static_cast<std::size_t>(k - 1)];
  }
}

enum class RowKind { kOther, kRow, kBadRow };

// kRow for a run row (a run number, then one value per column), whose values
// go to `values`; kBadRow for a run number followed by anything else (a row
// cut or changed), which the statistics must not pass over: they would count
// a later row in its place. Other lines are passed over: the empty line, the
// optimum notice and heading of an optimum search, and the summary (with its
// seed, a number alone) of an earlier last run when the design environment
// added runs after it.
RowKind row_kind(std::string_view line, std::span<double> values) {
  const std::size_t start = line.find_first_not_of(' ');
  if (start == std::string_view::npos) return RowKind::kOther;
  const std::size_t end = line.find(' ', start);
  const std::string_view run = line.substr(start, end == std::string_view::npos ? end : end - start);
  if (run.find_first_not_of("0123456789") != std::string_view::npos) return RowKind::kOther;
  if (read_row_values(line, 1, values)) return RowKind::kRow;
  const bool alone = end == std::string_view::npos || line.find_first_not_of(' ', end) == std::string_view::npos;
  return alone ? RowKind::kOther : RowKind::kBadRow;
}

[[noreturn]] void unreadable(std::int32_t line_number, std::string_view why) {
  stop_with({"Unable to write Multiple Run Statistics due to", "an error during reading of multiple run output file!",
             out.file_name + ", line " + std::to_string(line_number) + ": " + std::string(why)},
            kTag);
}

// How a value the statistics cannot count was written: not a finite number,
// or an integer too wide for its field (asterisks); "" for any other value.
std::string uncountable(std::int32_t type, std::string_view field, double r, std::complex<double> c) {
  auto g = [](double x) {
    const std::string f = wakro::edit_g(x, 16, 10);
    return f.substr(f.find_first_not_of(' '));
  };
  if (type == kReal && !std::isfinite(r)) return g(r);
  if (type == kComplex && !(std::isfinite(c.real()) && std::isfinite(c.imag())))
    return "(" + g(c.real()) + "," + g(c.imag()) + ")";
  if (field.find('*') == std::string_view::npos) return {};
  return std::string(wakro::trim_right(field).substr(field.find('*')));
}

// The summary over the first n rows, the density tables and the seed after
// the last row; the file is closed.
void write_statistics(std::int32_t n, std::int32_t nv, std::int32_t nm, std::int32_t ndiv) {
  const std::int32_t ncol = nv + nm;
  std::ostringstream text;
  if (n >= 1) {
    // Only a regular file is read back, a line at a time within the bound.
    if (const std::string_view kind = wakro::not_a_file(out.file_name); !kind.empty())
      unreadable(0, "the file " + std::string(kind) + ".");
    std::ifstream in(out.file_name);
    if (!in.is_open())
      unreadable(0, "the file cannot be opened: " + wakro::system_reason(errno != 0 ? errno : EIO) + ".");
    const auto next = [&in](std::string& l) {
      return wakro::read_text_line(in, l) == wakro::TextLine::ok;
    };
    std::string line;
    std::int32_t line_number = 2;
    if (!next(line) || !next(line)) unreadable(1, "the title or the heading is missing.");
    ColumnStatistics stats(ncol, ndiv);
    std::vector<double> values(static_cast<std::size_t>(ncol));
    for (std::int32_t rows = 0; rows < n;) {
      ++line_number;
      if (!next(line))
        unreadable(line_number, "the file ends before the row of its run " + std::to_string(rows + 1) + ".");
      const RowKind kind = row_kind(line, values);
      if (kind == RowKind::kBadRow)
        unreadable(line_number, "a run number without one number for each of its " + std::to_string(ncol) +
                                    " columns.");
      if (kind == RowKind::kOther) continue;
      ++rows;
      if (is_cut_short_row(line))
        stats.add_cut_short();
      else
        stats.add(values);
    }
    in.close();
    wakro::lock_file_closed(out.file_name);  // read back: the lock the reader's close released is taken again
    text << stats.summary(wakro::trim_right(out.header2));
    for (std::int32_t j = 1; j <= nm; ++j) {
      std::string title = wakro::render_layout("('Probability Density Functions (%) for Variable ',I1,', ',A)",
                                               {j, out.labelsave[static_cast<std::size_t>(nv + j - 1)].view()});
      if (!title.empty()) title.pop_back();
      text << stats.density(nv + j, title);
    }
  }
  text << "\nInitial Seed Used in Random Number Generation\n"
       << "---------------------------------------------\n"
       << "Initial Seed\n";
  wakro::ListLine(text) << mrunseed::mseedsave;
  out.file.write(text.str(), kStatisticsKept, kTag);
  out.summarised_run = out.last_row_run;
  out.file.close(kTag);
}

void write_row(std::int32_t opt, std::int32_t nv, std::int32_t nm, std::int32_t ndiv) {
  const std::int32_t run = ctrl::mmm;
  if (run == 1) {
    std::ostringstream heading;
    wakro::ListLine(heading) << "Multiple Run Output File";
    heading << wakro::trim_right(out.header1) << "\n";
    out.file.write(heading.str(), rows_kept("run # ", 0), kTag);
  }
  std::ostringstream record;
  // A last run cut short did not repeat the optimum to the end.
  if (opt == 1 && run == ctrl::nrun && !run_cut_short) {
    record << "\n"
           << (multpl::optimumrun >= 1
                   ? wakro::render_layout(
                         "('The optimum occurred for run # ',I6,' and has been repeated for the last run below:')",
                         {multpl::optimumrun})
                   : std::string(kNoOptimum).append("\n"))
           << wakro::trim_right(out.header1) << "\n";
  }
  if (run_cut_short) {
    record << mark_cut_short(wakro::trim_right(out.row)) << "\n";
    message_lines(wakro::msg::kWarning,
                  {"Multiple run output: run " + std::to_string(run) + " was cut short; its row is marked ",
                   std::string(kCutShortMark) + " and left out of the statistics."});
  } else {
    record << wakro::trim_right(out.row) << "\n";
  }
  out.file.write(record.str(), rows_kept("run # ", run - 1), kTag);
  out.last_row_run = run;
  // The summary leaves out the repeated last run of an optimum search.
  if (run == ctrl::nrun) write_statistics(opt == 1 ? run - 1 : run, nv, nm, ndiv);
}

}  // namespace

namespace wakro::multirun {

void check_counts(std::int32_t nv, std::int32_t nm, std::int32_t ndiv, std::string_view tag) {
  const bool in_range = nv >= 0 && nv <= kMaxColumns && nm >= 0 && nm <= kMaxColumns && ndiv >= 1 &&
                        ndiv <= kMaxDensityDivisions;
  const bool as_set_up = out.nv < 0 || (nv == out.nv && nm == out.nm && ndiv == out.ndiv);
  if (in_range && as_set_up) return;
  // Only a refused call builds its texts: the recorders call this every step.
  const std::string who = "Multiple run output: " + std::string(trim_right(tag)) + " was handed ";
  auto count = [](std::int32_t v, const char* what) { return std::to_string(v) + what; };
  if (nv < 0 || nv > kMaxColumns)
    stop_with({who + count(nv, " input variables; "), "Only Up To 6 Variables Allowed!"}, tag);
  if (nm < 0 || nm > kMaxColumns)
    stop_with({who + count(nm, " output variables; "), "Only Up To 6 Variables Allowed!"}, tag);
  if (ndiv < 1 || ndiv > kMaxDensityDivisions)
    stop_with({who + count(ndiv, " probability density divisions; "), "Only 1 Up To 100 are Allowed!"}, tag);
  stop_with({who + count(nv, " input variables, ") + count(nm, " output variables and ") +
                 count(ndiv, " density divisions, "),
             "but the multiple run output file was set up with " + count(out.nv, ", ") + count(out.nm, " and ") +
                 count(out.ndiv, "!")},
            tag);
}

void check_optimum_output(std::int32_t opt, std::int32_t optvar, std::int32_t nm) {
  if (opt == 1 && (optvar < 1 || optvar > nm))
    stop_with({"Optimum Run: the optimised output number must be ", "one of the outputs recorded in the file!"}, kTag);
}

namespace detail {
void reset_output_state() {
  out.file.release();
  out.file_name.clear();
  out.row.clear();
  out.header1.clear();
  out.header2.clear();
  for (auto& l : out.labelsave) l.blank();
  out.savei = {};
  out.saver = {};
  out.best.fill(std::numeric_limits<double>::quiet_NaN());
  out.nv = out.nm = out.ndiv = -1;
  out.last_row_run = out.summarised_run = 0;
}
}  // namespace detail

void finish_output_file() {
  if (out.file_name.empty() || out.last_row_run <= out.summarised_run) {
    out.file.release();
    return;
  }
  if (!out.file.is_open()) out.file.open_or_stop(out.file_name, ResultFile::Mode::kEnd, kTag);
  write_statistics(out.last_row_run, out.nv, out.nm, out.ndiv);
}

}  // namespace wakro::multirun

void mrunoini(std::int32_t nv, std::int32_t nm, std::int32_t ndiv, std::string_view name) {
  if (!(e_s1::firststep && ctrl::mmm == 1)) return;
  if (nv < 0 || nv > kMaxColumns)
    stop_with({"Too Many Multiple Run Variables! ", "Only Up To 6 Variables Allowed!"}, kIniTag);
  if (nm > 0 && ctrl::mruntype == kMasterProject)
    stop_with({"Multiple Run component in a Master project ", "cannot be used to monitor outputs. Use mrun_extra ",
               "component in Slave projects. "},
              kIniTag);
  if (nm < 0 || nm > kMaxColumns)
    stop_with({"Too Many Multiple Run Output Variables! ", "Only Up To 6 Variables Allowed!"}, kIniTag);
  if (ndiv > kMaxDensityDivisions)
    stop_with({"Too Many Probability Density Divisions! ", "Only Up To 100 are Allowed!"}, kIniTag);
  if (ndiv < 1)
    stop_with({"Too Few Probability Density Divisions! ", "At Least 1 is Required!"}, kIniTag);

  const std::string_view base = base_name(name);
  if (ctrl::rank == pmr_consolidate::pmr_count && ctrl::rank > 1) {
    pmr_consolidate::pmr_mrun_filename = base;
    pmr_consolidate::pmr_mrun = 1;
    pmr_consolidate::pmr_mrun_ndiv = ndiv;
    pmr_consolidate::pmr_mrun_nv = nv;
    pmr_consolidate::pmr_mrun_nm = nv + nm;
    wakro::lock_multiple_run_file(mrun_file_name(base, 0));  // the merged file, written at the end
  }
  detail::reset_output_state();
  multpl::optimumrun = 0;
  out.file_name = mrun_file_name(base, ctrl::rank);
  wakro::lock_multiple_run_file(out.file_name);
  if (!out.file.open(out.file_name, ResultFile::Mode::kNew)) {
    const int reason = errno;
    multpl::mrunfilename.blank();
    out.file.open_refused(reason, kIniTag);
  }
  multpl::mrunfilename = out.file_name;
  out.nv = nv;
  out.nm = nm;
  out.ndiv = ndiv;
}

void mruno(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t type,
           std::int32_t nv, std::int32_t nm, std::int32_t ndiv, bool lvalue, std::int32_t ivalue, double rvalue,
           std::complex<double> cvalue, std::string_view label) {
  if (!e_s1::laststep) return;
  if (id == 0 || id < -kMaxColumns || id > kMaxColumns || type < kLogical || type > kComplex)
    stop_with({"Multiple run output: a column must be input 1 to 6 or output 1 to 6 ",
               "of type logical, integer, real or complex!"},
              kTag);
  check_counts(nv, nm, ndiv, kTag);
  // A run the design environment adds after the last one continues the file
  // after its summary; a file never set up is an error of the case.
  if (!out.file.is_open() && !out.file_name.empty()) out.file.open_or_stop(out.file_name, ResultFile::Mode::kEnd, kTag);
  if (!out.file.is_open())
    stop_with({"Multiple run output: the output file is not open; ",
               "the multiple run output component must set it up first!"},
              kTag);
  const std::int32_t run = ctrl::mmm;
  if (id == -1 || (nv == 0 && id == 1)) {
    out.row = wakro::edit_i(run, 5) + std::string(kRowLead - 5, ' ');
    if (run == 1) {
      out.header1 = "  Run #  ";
      out.header2 = "      ";
    }
  }
  const int w = type == kComplex ? kComplexWidth : kNarrowWidth;
  const std::string field = fit(value_field(type, lvalue, ivalue, rvalue, cvalue), w);
  out.row += field;
  if (const std::string written = uncountable(type, field, rvalue, cvalue); !written.empty())
    message_lines(wakro::msg::kWarning, {"Multiple run output: run " + std::to_string(run) + " recorded " + written +
                                             " for " + std::string(wakro::trim_right(label)) + "; ",
                                         "that value is left out of the statistics of its column."});
  if (run == 1) {
    const std::size_t slot = id < 0 ? static_cast<std::size_t>(-id - 1) : static_cast<std::size_t>(nv + id - 1);
    if (slot < out.labelsave.size())
      out.labelsave[slot] = wakro::trim_right(label).substr(0, kHeadingLabelMax);
    const std::string heading = heading_field(label, w);
    out.header1 += heading;
    out.header2 += heading;
  }
  // An integer too wide for its field is left out of the statistics, and so
  // of the search.
  const bool too_wide = field.find('*') != std::string::npos;
  if (opt == 1 && run != ctrl::nrun && !run_cut_short)
    track_optimum(id, type, optvar, minmax, nv,
                  too_wide ? std::numeric_limits<double>::quiet_NaN() : candidate(type, lvalue, ivalue, rvalue, cvalue),
                  ivalue);
  const bool complete = nm > 0 ? id == nm : id == -nv;
  if (complete) write_row(opt, nv, nm, ndiv);
}
