// The multiple-run output file: one row per run with the varied parameters
// (input columns) and the recorded quantities (output columns), and after the
// last run the statistical summary, a density table per output column and the
// initial seed. In an optimum search it also names the best run, whose inputs
// the last run repeats.
//
// mrunoini(nv, nm, ndiv, name), on the first step of run 1: refuses more than
//   6 inputs or outputs, outputs in a master project and density divisions
//   outside 1..100 (tag "MRUNOINI    "); registers the file for the merge of a
//   parallel run on its last rank; opens base + ".out" (rank 0) or base + "_" +
//   rank code + ".out" and keeps the name in multpl::mrunfilename.
// The recorders mrunob, mrunoi, mrunor, mrunoc (logical, integer, real,
//   complex) keep, for output id (1..6), a running value over the run: kind 0
//   the current value, 1 the minimum, 2 the maximum, 3 the maximum magnitude,
//   4 the running sum of value^2 x delt; updated on the steps with enable 1,
//   handed to mruno on the last step.
// mruno(opt, optvar, minmax, id, type, nv, nm, ndiv, lvalue, ivalue, rvalue,
//   cvalue, label), on the last step: id -k is input column k, id k output
//   column k; type 0..3 chooses the value. The calls come in the order inputs
//   -1..-nv, then outputs 1..nm: input -1 (or, without inputs, output 1) starts
//   a row, output nm (or, without outputs, input -nv) completes and writes it.
//   The last run writes the summary and closes the file (a set stopped
//   before it gets them at its end, run_end.h); a file that cannot be
//   read back (too few rows, or a row with a run number but not one number
//   per column) stops with a message naming the file and the line (tag
//   "MRUNO       "). A write or close of the file that the system refuses
//   stops the set at once, the file ending with its last whole record
//   (result_file.h).
#pragma once

#include <complex>
#include <cstdint>
#include <string_view>

void mrunoini(std::int32_t nv, std::int32_t nm, std::int32_t ndiv, std::string_view name);
void mrunob(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, bool value,
            std::string_view label);
void mrunoi(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, std::int32_t value,
            std::string_view label);
void mrunor(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, double value,
            std::string_view label);
void mrunoc(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t kind, std::int32_t enable, std::complex<double> value,
            std::string_view label);
void mruno(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t type,
           std::int32_t nv, std::int32_t nm, std::int32_t ndiv, bool lvalue, std::int32_t ivalue, double rvalue,
           std::complex<double> cvalue, std::string_view label);

namespace wakro::multirun {

// Types of a column of the multiple-run output file.
enum ValueType : std::int32_t { kLogical = 0, kInteger = 1, kReal = 2, kComplex = 3 };
inline constexpr std::int32_t kMaxColumns = 6;  // inputs, and outputs, each

// The counts a recording routine is handed (nv inputs, nm outputs, ndiv
// density divisions) must be those the set-up accepts and, once the file is
// set up, the ones it was set up with: the row and the statistics are laid
// out by them. Anything else stops with a message naming the routine by its
// tag and the count (mruno, the recorders).
void check_counts(std::int32_t nv, std::int32_t nm, std::int32_t ndiv, std::string_view tag);

// In an optimum search (opt 1) the optimised output must be one of the nm
// outputs; anything else stops (tag "MRUNO       "), since no best run could
// ever be found for the last run to repeat.
void check_optimum_output(std::int32_t opt, std::int32_t optvar, std::int32_t nm);

}  // namespace wakro::multirun
