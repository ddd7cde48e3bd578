// pmr_mrun_consolidate and pmr_mrun_extrafiles_consolidate (see consolidate.h).
//
// The lines of each rank go to the merged file as one record (result_file.h):
// a write the system refuses stops the run, the merged file ending with the
// lines of the last rank written whole. Its messages name the merge, which
// comes after the last run, not a run.
#include "multirun/consolidate.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

#include "files/textfile.h"
#include "files/words.h"
#include "model/ctrl.h"
#include "model/pmr_consolidate.h"
#include "multirun/messages.h"
#include "multirun/names.h"
#include "multirun/result_file.h"
#include "multirun/run_end.h"
#include "output/output_lock.h"

namespace {

using namespace wakro::multirun;

constexpr std::string_view kTag = "PMR_MERGE   ";
constexpr std::size_t kLineLength = 360;

// How one kind of file is merged.
struct MergePlan {
  std::string merged;           // the merged file
  std::string rank_stem;        // a rank file is rank_stem + "_" + code + ".out"
  std::string_view heading_prefix;
  std::string_view row_gap;     // after the rank code of a row
  // Each rank's last run left out: its row number, the set's run count, is
  // not merged, in the multiple-run file too (an optimum search never reaches
  // it: its rows end with the empty line before the repeated last run). A
  // rank stopped before its last run has no such row and keeps all it holds.
  bool drop_last_run;
  std::string_view kind = "multiple-run file";  // its writer, as its lock names it (output_lock.h)
};

std::string cut(std::string line) {
  if (line.size() > kLineLength) line.resize(kLineLength);
  return std::string(wakro::trim_right(line));
}

void check_rank_count() {
  if (pmr_consolidate::pmr_count > kMaxMergedRanks)
    stop_with({"Too Many Ranks in a Parallel Multiple Run to Merge! ",
               "Only Up To 10999 Ranks Have Distinct Rank Codes."},
              kTag);
}

// The lines one rank gives the merged file.
std::string merge_rank(std::int32_t rank, const MergePlan& plan, std::int32_t& written) {
  const std::string file = plan.rank_stem + "_" + rank_code(rank) + ".out";
  // A device, a folder or a pipe is no rank's file (a pipe's open would wait).
  const std::string_view kind = wakro::not_a_file(file);
  std::ifstream in;
  if (kind.empty()) in.open(file);
  if (!in.is_open())
    stop_with({"Unable to merge the files of a parallel multiple run: ",
               "the file " + file + " of rank " + std::to_string(rank) + " " +
                   (kind.empty() ? std::string("is missing.") : std::string(kind) + ".")},
              kTag);
  // The set's run count, as planned: a stop of this rank lowers ctrl::nrun.
  const std::int32_t runs = std::max(ctrl::nrun, runs_before_stop);
  std::int32_t rows = 0;
  std::int64_t number = 0;
  std::string line;
  std::string merged;
  for (wakro::TextLine st; (st = wakro::read_text_line(in, line)) != wakro::TextLine::end;
       ++number) {
    if (st == wakro::TextLine::too_long)
      stop_with({"Unable to merge the files of a parallel multiple run: ",
                 "the file " + wakro::too_long_text(file, number + 1) + "."},
                kTag);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const Line72 word = wakro_firstwrd(Line72(line));
    const std::string_view w = word.trimmed();
    const bool title = w == "Multiple";
    const bool heading = w == "Run#" || w == "Run";
    if (rank > 1 && (title || heading)) continue;
    if (w == "The" || w.empty()) break;
    if (title) {
      line = " Multiple Run Output File";
    } else if (heading) {
      line = std::string(plan.heading_prefix) + line;
    } else {
      ++rows;
      if (plan.drop_last_run && rows >= runs) break;
      ++written;
      line = rank_code(rank) + std::string(plan.row_gap) + line;
    }
    merged.append(cut(line)).append("\n");
  }
  in.close();
  wakro::lock_file_closed(file);  // this rank's own file: the lock the reader's close released is taken again
  return merged;
}

void merge(const MergePlan& plan) {
  check_rank_count();
  wakro::lock_multiple_run_file(plan.merged, plan.kind);
  ResultFile out;
  out.for_the_merge();
  out.open_or_stop(plan.merged, ResultFile::Mode::kNew, kTag);
  std::int32_t rows = 0;
  for (std::int32_t rank = 1; rank <= pmr_consolidate::pmr_count; ++rank)
    out.write(merge_rank(rank, plan, rows), rows_kept("rank ", rank - 1), kTag);
  wakro::multirun::merged_rows = rows;
  out.close(kTag);
}

}  // namespace

void pmr_mrun_consolidate() {
  const std::string base(base_name(pmr_consolidate::pmr_mrun_filename.view()));
  merge({base + ".out", base, "Rank#", "   ", pmr_consolidate::excludelastrun == 1});
}

void pmr_mrun_extrafiles_consolidate(std::int32_t unit, const wakro::FixedText<30>& name) {
  const std::string digits = unit_digits(unit);
  const std::string stem = std::string(extra_stem(name.view())) + "_" + digits;
  merge({merged_extra_file_name(name.view(), unit), stem, "Rank#  ", "", pmr_consolidate::excludelastrun == 1,
         "extra recording file"});
}
