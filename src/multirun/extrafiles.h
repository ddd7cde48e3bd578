// Extra recording files: per run of a multiple run, up to ten real quantities
// that a recording component follows over the run, one row per run in a file
// of the component's own (named after it and a recording unit 0..99), opened,
// appended to and closed on every run's last step; after the last run a
// statistical summary.
//
// mrunxtralabels(k, label): k 0 resets the heading multpl::mrunxtralabel to
//   " Run#     " and blanks; k 1..10 puts the label's first 16 characters at
//   column 17 k.
// mrunxtrafiles(n, unit, enable, kinds, values, name), every step: n values
//   (1..10) whose running values live in storage::storf from storage::nstorf
//   on (10 slots reserved whatever n is): kind 0 the current value, 1 the
//   minimum, 2 the maximum, 3 the maximum magnitude, 4 the sum of value^2 x
//   delt; updated when enable is not 0. A minimum or maximum starts with no
//   value and records NaN for a run that gave no number. On the last step the row
//   "(1X,I5,10X,10(1X,G16.10))" is written to the file (names.h): run 1
//   creates it with the title and the heading, later runs append, and a file
//   deleted meanwhile is recreated with a warning. The row of a run cut short
//   (run_end.h) is marked "(cut short)", and a value that is not a finite
//   number is said on the console (warnings); the statistics leave both out
//   (statistics.h). A write or close the system refuses stops the set at
//   once, the file ending with its last whole record (result_file.h).
//   The last rank of a parallel run registers the file for
//   the merge (at most 100 files; more are refused with a warning). A unit
//   outside 0..99 stops (tag "MRUNXTRA    ").
// mrunxtrafiles_statistics(include, ncol0, ncol, unit, ndiv, form, name), on
//   the last step of the last run: appends the summary of ncol columns (1..10)
//   and density tables of columns ncol0+1..ncol to
//     form 1:  this process's extra file (include 0 leaves its last row out);
//     form -1: the merged extra file of a parallel run;
//     form 0:  the merged multiple-run output file (once).
//   A file that is missing or holds too few rows stops with a message (tag
//   "MRUNXTRA    "). Density divisions outside 1..100, or ncol0 outside
//   0..ncol, are refused with an error message and nothing is written. A
//   merged form with nothing merged says "Undefined Situation in Extra Run
//   File Statistics" and writes nothing. The form 1 request of every run's
//   last step is kept for a set that stops before its last run
//   (mrun_end_of_set, run_end.h).
// mrunxtrafiles_statistics1(ncol0, ncol, unit, ndiv, name): the case's call,
//   form 1, include 0 when pmr_consolidate::excludelastrun is 1, else 1.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

void mrunxtralabels(std::int32_t k, std::string_view label);
void mrunxtrafiles(std::int32_t n, std::int32_t unit, std::int32_t enable, std::span<const std::int32_t> kinds,
                   std::span<const double> values, std::string_view name);
void mrunxtrafiles_statistics(std::int32_t include, std::int32_t ncol0, std::int32_t ncol, std::int32_t unit,
                              std::int32_t ndiv, std::int32_t form, std::string_view name);
void mrunxtrafiles_statistics1(std::int32_t ncol0, std::int32_t ncol, std::int32_t unit, std::int32_t ndiv,
                               std::string_view name);

namespace wakro::multirun {
inline constexpr std::int32_t kMaxExtraValues = 10;
inline constexpr std::int32_t kExtraSlots = 10;     // storf slots each call reserves
inline constexpr std::int32_t kMaxExtraFiles = 100;  // entries of the merge registry
}  // namespace wakro::multirun
