// The parameter-study case: a ramp x(t) = gain n t, run several times with
// other values of its two parameters, a study of the kind the multiple-run
// components of a case set up. No network; the whole case is its model code.
//
// Runs: the first global substitution value when the start-up dialogue gives
// one other than 0, otherwise 4; seed 1. The value must be a whole number from
// 1 to 10000: any other stops the run with a message naming it.
// Varied parameters, stepped so that four runs visit every combination:
//   input 1, "Gain" (real):       1, 2, 1, 2, ...  (2 points, each run the next)
//   input 2, "Multiplier" (int):  1, 1, 2, 2, ...  (2 points, 2 runs each)
// Recorded in the multiple-run output file, which is named after the
// project's multiple-run name (fnames::mnam, "mrun" unless the design
// environment names it), so the end report names the file written:
//   output 1, "Peak": the largest x of the run, gain n at the finish time.
// Recorded in the extra file ramp_01.out (unit 1), with its statistics after
// the last run: "Final" the last x, "Square" the integral of x^2 dt over the
// steps, 0.385 (gain n)^2 for steps of 0.1 s to 1 s.
#include "multirun_case.h"

#include <array>
#include <cstdint>

#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/quolbv3.h"
#include "model/run_defaults.h"
#include "multirun/extrafiles.h"
#include "multirun/mruno.h"
#include "multirun/varied.h"
#include "page_call.h"

namespace {

constexpr std::int32_t kDefaultRuns = 4;
constexpr std::int32_t kSeed = 1;
constexpr std::int32_t kInputs = 2;
constexpr std::int32_t kOutputs = 1;
constexpr std::int32_t kDensityDivisions = 4;
constexpr std::int32_t kExtraUnit = 1;
constexpr std::int32_t kExtraValues = 2;
constexpr std::int32_t kNoOptimum = 0;
constexpr std::int32_t kStepped = 0;
constexpr std::int32_t kMaximum = 2;
constexpr std::array<std::int32_t, kExtraValues> kExtraKinds{0, 4};  // current value, integral of x^2 dt

std::int32_t runs() {
  if (!quolbv3::gsx.allocated() || quolbv3::gsx.extent(1) < 1 || quolbv3::gsx(1) == 0.0) return kDefaultRuns;
  return example::count_from_real(quolbv3::gsx(1), 1, wakro::kMaxRuns,
                                  "The number of runs (the first global substitution value)", "STUDY       ");
}

}  // namespace

void dsdyn() {
  mrunvini(runs(), 1, kSeed);
  mrunoini(kInputs, kOutputs, kDensityDivisions, fnames::mnam.trimmed());
  double gain = 0.0;
  mrunvr(kNoOptimum, 0, 0, 1, kInputs, kOutputs, kDensityDivisions, 2, 1, kStepped, 1.0, 1.0, 0.0, gain, "Gain");
  std::int32_t n = 0;
  mrunvi(kNoOptimum, 0, 0, 2, kInputs, kOutputs, kDensityDivisions, 2, 2, kStepped, 1, 1, 0.0, n, "Multiplier");
  const double x = gain * n * e_s1::time;
  mrunor(kNoOptimum, 0, 0, 1, kInputs, kOutputs, kDensityDivisions, kMaximum, 1, x, "Peak");

  mrunxtralabels(0, "");
  mrunxtralabels(1, "Final");
  mrunxtralabels(2, "Square");
  const std::array<double, kExtraValues> values{x, x};
  mrunxtrafiles(kExtraValues, kExtraUnit, 1, kExtraKinds, values, "ramp");
  mrunxtrafiles_statistics1(0, kExtraValues, kExtraUnit, kDensityDivisions, "ramp");
}

void dsout() {}
void dsdyn_begin() {}
void dsout_begin() {}
