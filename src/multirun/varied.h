// The multiple-run set-up and the varied parameters of each run, called by
// the case's model code on every step in its fixed call order; they act on a
// run's first step (e_s1::firststep) and last step (e_s1::laststep) only.
//
// mrunvini(nruns, enable, seed): the multiple-run component. With enable 1 it
//   refuses more than 10000 runs; on the first step of run 1 it refuses a slave
//   project, a second component, a run count that differs from the project's
//   and ENI lines, then sets the seed (0: drawn from the clock and the rank; a
//   negative seed warns and its absolute value is used; every seed is reduced
//   modulo 2147483647, and 0 becomes 1, so the generator never locks), the run
//   count and ctrl::multirun. Stops with tag "MRUNVINI    ".
// mrunvr / mrunvi(opt, optvar, minmax, id, nv, nm, ndiv, count, divisor, kind,
//   start, step, k, value, label): the value of varied parameter id (1..6) for
//   this run, chosen on its first step and returned on every later one:
//     kind 0 stepped:  start + i step, i = ((run - 1) div divisor) mod count
//     kind 1 uniform:  start + r (step - start), r uniform in (0, 1)
//     kind 3 normal:   start + (g + 1)/2 (step - start), g in [-1, 1] from a
//                      normal deviate of width k (one uniform draw discarded first)
//     other kinds:     the value as passed in
//   (mrunvi rounds to the nearest integer, halves away from zero); on the last
//   run of an optimum search (opt 1) the value of the best run instead. On the
//   last step the value goes to the multiple-run output file as input column id.
//   An id outside 1..6, or a stepped sweep with count or divisor below 1, stops
//   with a message (tags "MRUNVR      ", "MRUNVI      ").
// mrunnum(count, divisor): the 1-based sweep point of the current run,
//   ((run - 1) div divisor) mod count + 1; count or divisor below 1 stops (tag
//   "MRUNNUM     ").
// pmr_flags(flag): pmr_consolidate::excludelastrun := flag; a flag other than
//   0 or 1 stops with a message naming it (tag "PMR_FLAGS   ").
#pragma once

#include <cstdint>
#include <string_view>

#include "model/run_defaults.h"

void mrunvini(std::int32_t nruns, std::int32_t enable, std::int32_t seed);
void mrunvr(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t count, std::int32_t divisor, std::int32_t kind,
            double start, double step, double k, double& value, std::string_view label);
void mrunvi(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t count, std::int32_t divisor, std::int32_t kind,
            std::int32_t start, std::int32_t step, double k, std::int32_t& value, std::string_view label);
std::int32_t mrunnum(std::int32_t count, std::int32_t divisor);
void pmr_flags(std::int32_t flag);

namespace wakro::multirun {

// The largest run count a multiple run may ask for.
inline constexpr std::int32_t kMaxRuns = wakro::kMaxRuns;
// Kinds of a varied parameter.
enum VariedKind : std::int32_t { kStepped = 0, kUniform = 1, kNormal = 3 };

// The seed a multiple run starts from: |seed| modulo 2147483647, 0 made 1.
std::int32_t reduced_seed(std::int64_t seed);

// Forgets everything the routines of this room keep between calls (the
// component seen, saved parameter values, the row and headings of the output
// file, the recorders' running values): the state of a process before its
// first run.
void reset_multirun_state();

namespace detail {
void reset_varied_state();
void reset_output_state();
void reset_recorder_state();
void reset_extra_file_state();
}  // namespace detail

}  // namespace wakro::multirun
