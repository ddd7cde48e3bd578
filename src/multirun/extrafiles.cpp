// mrunxtralabels, mrunxtrafiles and the statistics of the extra recording
// files (see extrafiles.h).
//
// Every write goes through result_file.h: the title with the heading, each
// run's row and the statistics are whole records, and a write the system
// refuses stops the set at once, the file ending with the last whole record.
//
// The case asks for the statistics of its own file on the last step of every
// run, and they are written on the last run's. The request is kept with the
// run of the file's last row, so that a set stopped on a run's last step or
// between two runs, which has no last run, gets them at its end
// (mrun_end_of_set, run_end.h) over the rows written, as the multiple-run
// output file does.
#include "multirun/extrafiles.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "files/textfile.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fixedtext.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "model/storage.h"
#include "multirun/messages.h"
#include "multirun/names.h"
#include "multirun/result_file.h"
#include "multirun/run_end.h"
#include "multirun/statistics.h"
#include "output/output_lock.h"

namespace {

using namespace wakro::multirun;

constexpr std::string_view kTag = "MRUNXTRA    ";
constexpr std::string_view kTitle = " Multiple Run Output File";
// The writer of these files, as their locks name it (output_lock.h).
constexpr std::string_view kLockKind = "extra recording file";
constexpr std::string_view kRowLayout = "(1X,I5,10X,10(1X,G16.10))";
constexpr std::size_t kLabelColumns = 16;
constexpr std::size_t kLabelStride = 17;

enum ExtraKind : std::int32_t { kCurrent = 0, kMinimum = 1, kMaximum = 2, kMaxMagnitude = 3, kSquareIntegral = 4 };

// A file of this process: its last row, its last summary and what the case
// asked its statistics to be.
struct OwnFile {
  std::string name;
  std::int32_t last_row_run = 0;   // 0: no row
  std::int32_t summarised_run = 0;  // the last row the statistics were written after
  bool requested = false;
  std::int32_t ncol0 = 0, ncol = 0, ndiv = 0;
};
std::vector<OwnFile> own_files;

OwnFile& own_file(const std::string& name) {
  for (OwnFile& f : own_files)
    if (f.name == name) return f;
  return own_files.emplace_back(OwnFile{name});
}

bool last_rank_of_parallel_run() { return ctrl::rank == pmr_consolidate::pmr_count && ctrl::rank > 1; }

// A minimum or maximum starts with no value (kNoValue, statistics.h).
double start_value(std::int32_t kind) {
  return kind == kMinimum || kind == kMaximum || kind == kMaxMagnitude ? kNoValue : 0.0;
}

void update(double& s, std::int32_t kind, double v) {
  switch (kind) {
    case kCurrent: s = v; break;
    case kMinimum: keep_extreme(s, true, v); break;
    case kMaximum: keep_extreme(s, false, v); break;
    case kMaxMagnitude: keep_extreme(s, false, std::fabs(v)); break;
    case kSquareIntegral: s += v * v * e_s1::delt; break;
    default: break;
  }
}

// The row of this run, marked when the run was cut short; a value that is
// not a finite number is said on the console.
std::string row_text(std::int32_t n, const std::string& file_name) {
  std::vector<wakro::FmtValue> items;
  items.emplace_back(ctrl::mmm);
  for (std::int32_t i = 0; i < n; ++i) {
    const double v = storage::storf(storage::nstorf + i);
    items.emplace_back(readable(v));
    if (!std::isfinite(v))
      message_lines(wakro::msg::kWarning,
                    {"Extra recording file " + file_name + ": run " + std::to_string(ctrl::mmm) + " recorded " +
                         wakro::edit_g(v, 0, 10) + " as value " + std::to_string(i + 1) + "; ",
                     "that value is left out of the statistics of its column."});
  }
  std::string row = wakro::render_layout(kRowLayout, items);
  if (!run_cut_short) return row;
  message_lines(wakro::msg::kWarning,
                {"Extra recording file " + file_name + ": run " + std::to_string(ctrl::mmm) +
                     " was cut short; its row is marked ",
                 std::string(kCutShortMark) + " and left out of the statistics."});
  if (!row.empty() && row.back() == '\n') row.pop_back();
  return mark_cut_short(row) + "\n";
}

// Enters the file into the merge registry of the last rank.
void register_file(std::string_view name, std::int32_t unit, std::int32_t n) {
  using namespace pmr_consolidate;
  lpmr_extra_files = 1;
  const wakro::FixedText<30> entry_name(extra_stem(name));
  for (std::int32_t k = 1; k <= kMaxExtraFiles; ++k) {
    const FileEntry& e = file_list(k);
    if (e.in_use == 1 && e.name == entry_name && e.comp_id1 == e_warn::comp_id1 && e.comp_id2 == e_warn::comp_id2)
      return;
  }
  std::int32_t slot = num_entries + 1;
  if (num_entries == 0 && file_list(1).in_use == 1) {
    wakro::ListLine() << "ERROR ";
    slot = 2;
  }
  if (slot > kMaxExtraFiles) {
    message_lines(wakro::msg::kWarning, {"Too Many Extra Recording Files in a Parallel Multiple Run! ",
                      "Only Up To 100 Files are Merged; this file is left out of the merge."});
    return;
  }
  file_list(slot) = FileEntry{1, entry_name, e_warn::comp_id1, e_warn::comp_id2, unit, n};
  num_entries = slot;
  wakro::lock_multiple_run_file(merged_extra_file_name(entry_name.view(), unit), kLockKind);  // written at the end
}

// Run 1 creates the file with its title and heading; a later run appends its
// row, or recreates a file deleted meanwhile with the heading alone.
void write_run(std::int32_t n, std::int32_t unit, std::string_view name) {
  const std::string file_name = extra_file_name(name, unit, ctrl::rank);
  wakro::lock_multiple_run_file(file_name, kLockKind);
  ResultFile f;
  std::int32_t rows = ctrl::mmm - 1;  // the rows of earlier runs the file holds
  std::string heading;
  if (ctrl::firstrun) {
    heading = std::string(kTitle).append("\n");
  } else if (!std::filesystem::exists(file_name) || !f.open(file_name, ResultFile::Mode::kEnd)) {
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine,
               "Output file seems to be deleted, recreating it");
  }
  if (!f.is_open()) {
    f.open_or_stop(file_name, ResultFile::Mode::kNew, kTag);
    f.write(heading.append(multpl::mrunxtralabel.view()).append("\n"), rows_kept("run # ", 0), kTag);
    rows = 0;
  }
  f.write(row_text(n, file_name), rows_kept("run # ", rows), kTag);
  f.close(kTag);
  own_file(file_name).last_row_run = ctrl::mmm;
  if (ctrl::firstrun && last_rank_of_parallel_run()) register_file(name, unit, n);
}

// Which file the statistics read, how its heading and rows are laid out.
struct StatisticsFile {
  std::string name;
  std::size_t heading_skip;  // columns of the heading before the first label field
  int leading;               // words of a row before its values
  std::int32_t rows;         // rows the summary is based on
  int title_width;           // width of a label in the density titles
  bool merged = false;       // a merged file of a parallel run
};

// The label fields of columns 1..ncol: 17 columns each, after heading_skip.
std::vector<std::string> label_fields(std::string heading, std::size_t skip, std::int32_t ncol) {
  heading.resize(skip + kLabelStride * static_cast<std::size_t>(ncol), ' ');
  std::vector<std::string> fields;
  for (std::int32_t j = 0; j < ncol; ++j)
    fields.push_back(heading.substr(skip + kLabelStride * static_cast<std::size_t>(j), kLabelStride));
  return fields;
}

[[noreturn]] void unreadable(const std::string& name) {
  stop_with({"Unable to write Extra Run File Statistics: the file ", name,
             "is missing or holds fewer rows than the runs it should summarise."},
            kTag);
}

void write_statistics(const StatisticsFile& sf, std::int32_t ncol0, std::int32_t ncol, std::int32_t ndiv) {
  // Only a regular file is read back, a line at a time within the bound
  // (files/textfile.h): a device named as the file has no end.
  if (!wakro::not_a_file(sf.name).empty()) unreadable(sf.name);
  std::ifstream in(sf.name);
  const auto next = [&in](std::string& l) {
    return wakro::read_text_line(in, l) == wakro::TextLine::ok;
  };
  std::string title;
  std::string heading;
  if (!next(title) || !next(heading)) unreadable(sf.name);
  const std::vector<std::string> labels = label_fields(heading, sf.heading_skip, ncol);
  ColumnStatistics stats(ncol, ndiv);
  std::vector<double> values(static_cast<std::size_t>(ncol));
  std::string line;
  for (std::int32_t r = 1; r <= sf.rows; ++r) {
    if (!next(line)) unreadable(sf.name);
    if (!read_row_values(line, sf.leading, values))
      stop_with({"Unable to write Extra Run File Statistics: the file ", sf.name,
                 "line " + std::to_string(r + 2) + " is not a run's row of one number per column."},
                kTag);
    if (is_cut_short_row(line))
      stats.add_cut_short();
    else
      stats.add(values);
  }
  in.close();

  std::string heading_out = "    ";
  for (const std::string& l : labels) heading_out += l;
  std::string text = stats.summary(heading_out);
  for (std::int32_t j = ncol0 + 1; j <= ncol; ++j) {
    const std::string& label = labels[static_cast<std::size_t>(j - 1)];
    std::string t = wakro::render_layout("('Probability Density Functions (%) for Variable ',I1,', ',A)",
                                         {j - ncol0, wakro::edit_a(label, sf.title_width)});
    if (!t.empty()) t.pop_back();
    text += stats.density(j, t);
  }
  ResultFile out;
  if (sf.merged) out.for_the_merge();
  out.open_or_stop(sf.name, ResultFile::Mode::kEnd, kTag);
  out.write(text, kStatisticsKept, kTag);
  out.close(kTag);
}

// False, with an error message, for density divisions outside 1..100 or
// columns without a density table outside 0..ncol.
bool counts_allowed(std::int32_t ncol0, std::int32_t ncol, std::int32_t ndiv) {
  if (ndiv < 1 || ndiv > kMaxDensityDivisions) {
    message_lines(wakro::msg::kError, {"Too Many Probability Density Divisions! ", "Only 1 Up To 100 are Allowed!"});
    return false;
  }
  if (ncol0 < 0 || ncol0 > ncol) {
    message_lines(wakro::msg::kError, {"Extra Run File Statistics: " + std::to_string(ncol0) +
                                           " columns without a density table, ",
                                       "but only 0 Up To " + std::to_string(ncol) + " are Allowed!"});
    return false;
  }
  return true;
}

}  // namespace

void mrunxtralabels(std::int32_t k, std::string_view label) {
  if (k == 0) {
    multpl::mrunxtralabel = " Run#     ";
    return;
  }
  if (k < 1 || k > kMaxExtraValues) return;
  const std::string_view text = wakro::trim_right(label).substr(0, kLabelColumns);
  const std::size_t at = kLabelStride * static_cast<std::size_t>(k) - 1;
  for (std::size_t i = 0; i < text.size() && at + i < multpl::mrunxtralabel.size(); ++i)
    multpl::mrunxtralabel[at + i] = text[i];
}

void mrunxtrafiles(std::int32_t n, std::int32_t unit, std::int32_t enable, std::span<const std::int32_t> kinds,
                   std::span<const double> values, std::string_view name) {
  const bool recording = n >= 1 && n <= kMaxExtraValues;
  if (recording) {
    if (kinds.size() < static_cast<std::size_t>(n) || values.size() < static_cast<std::size_t>(n))
      stop_with({"Extra recording file: fewer kinds or values than the number of values recorded"}, kTag);
    if (e_s1::firststep && ctrl::mmm == 1 && (unit < 0 || unit > 99))
      stop_with({"Recording Unit number is out of range"}, kTag);
    for (std::int32_t i = 0; i < n; ++i) {
      double& s = storage::storf(storage::nstorf + i);
      const auto k = static_cast<std::size_t>(i);
      if (e_s1::firststep) s = start_value(kinds[k]);
      if (enable != 0) update(s, kinds[k], values[k]);
    }
    if (e_s1::laststep) write_run(n, unit, name);
  }
  storage::nstorf += kExtraSlots;
}

namespace wakro::multirun {

void finish_extra_files() {
  // A set of one run gets no statistics of its own files (a multiple run stopped
  // in its first run is still a multiple run).
  if (!ctrl::multirun) return;
  for (OwnFile& f : own_files) {
    if (!f.requested || f.last_row_run <= f.summarised_run || !counts_allowed(f.ncol0, f.ncol, f.ndiv)) continue;
    write_statistics({f.name, 7, 1, f.last_row_run, 16}, f.ncol0, f.ncol, f.ndiv);
    f.summarised_run = f.last_row_run;
  }
}

namespace detail {
void reset_extra_file_state() { own_files.clear(); }
}  // namespace detail

}  // namespace wakro::multirun

void mrunxtrafiles_statistics(std::int32_t include, std::int32_t ncol0, std::int32_t ncol, std::int32_t unit,
                              std::int32_t ndiv, std::int32_t form, std::string_view name) {
  using namespace pmr_consolidate;
  if (!e_s1::laststep || ncol < 1 || ncol > kMaxExtraValues) return;
  OwnFile* own = nullptr;
  if (form == 1) {
    own = &own_file(extra_file_name(name, unit, ctrl::rank));
    own->requested = true;
    own->ncol0 = ncol0;
    own->ncol = ncol;
    own->ndiv = ndiv;
  }
  if (!ctrl::lastrun) return;
  if (form == 1 && ctrl::nrun == 1) return;
  if (!counts_allowed(ncol0, ncol, ndiv)) return;
  StatisticsFile sf;
  // A merged file's statistics are over the rows its merge wrote: ranks
  // stopped early hold fewer rows, and their cut-short rows are left out.
  const std::int32_t merged_rows = wakro::multirun::merged_rows;
  if (form != 1 && pmr_mrun == 1 && pmr_mrun_done == 0) {
    pmr_mrun_done = 1;
    sf = {std::string(wakro::trim_right(name)) + ".out", 14, 2, merged_rows, 20, true};
  } else if (form != 1 && lpmr_extra_files == 1) {
    sf = {std::string(extra_stem(name)) + "_" + unit_digits(unit) + ".out", 12, 2,
          merged_rows, 16, true};
  } else if (form != 1) {
    wakro::ListLine() << "Undefined Situation in Extra Run File Statistics";
    return;
  } else {
    sf = {own->name, 7, 1, include == 0 ? ctrl::nrun - 1 : ctrl::nrun, 16};
  }
  if (sf.rows < 1) return;
  write_statistics(sf, ncol0, ncol, ndiv);
  if (own != nullptr) own->summarised_run = own->last_row_run;
}

void mrunxtrafiles_statistics1(std::int32_t ncol0, std::int32_t ncol, std::int32_t unit, std::int32_t ndiv,
                               std::string_view name) {
  mrunxtrafiles_statistics(pmr_consolidate::excludelastrun == 1 ? 0 : 1, ncol0, ncol, unit, ndiv, 1, name);
}
