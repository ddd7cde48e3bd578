// mrunvini, mrunvr, mrunvi, mrunnum and pmr_flags (see varied.h).
#include "multirun/varied.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "diag/message.h"
#include "diag/random.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/fixedtext.h"
#include "model/mrunseed.h"
#include "model/multpl.h"
#include "model/ndde.h"
#include "model/pmr_consolidate.h"
#include "multirun/messages.h"
#include "multirun/mruno.h"
#include "multirun/run_end.h"

namespace {

using wakro::multirun::stop_with;

constexpr std::int32_t kModulus = 2147483647;
constexpr std::int32_t kSlaveProject = 2;
constexpr std::int32_t kEniRoleColumn = 4;  // column of the line directory: ENI role
constexpr std::int32_t kMaxInputs = 6;
constexpr std::size_t kLabelLength = 18;

// What the routines keep between calls, for the whole process.
struct VariedState {
  bool used = false;                           // a multiple-run component was set up
  std::array<double, kMaxInputs> real_value{};   // mrunvr's value of each input this run
  std::array<std::int32_t, kMaxInputs> int_value{};  // mrunvi's
};
VariedState state;

bool first_step_of_first_run() { return e_s1::firststep && ctrl::mmm == 1; }

bool case_has_eni_lines() {
  if (!e_s7::linemodel.allocated()) return false;
  const std::int32_t n = std::min(ndde::nd58, e_s7::linemodel.extent(1));
  if (e_s7::linemodel.extent(2) < kEniRoleColumn) return false;
  for (std::int32_t line = 1; line <= n; ++line)
    if (e_s7::linemodel(line, kEniRoleColumn) != 0) return true;
  return false;
}

// The checks and settings of the first step of the first run.
void set_up_multiple_run(std::int32_t nruns, std::int32_t seed) {
  constexpr std::string_view kTag = "MRUNVINI    ";
  if (ctrl::mruntype == kSlaveProject)
    stop_with({"Multiple run / Optimum run component ", "cannot be used in a project configured as a slave."},
              kTag);
  if (state.used)
    stop_with({"Only 1 Multiple run / Optimum run component allowed! ", "Disable non-active Multiple Runs!"}, kTag);
  if (ctrl::nrun > 1 && ctrl::nrun != nruns)
    stop_with({"Number of runs entered in case property ", "does not match with the required number of runs ",
               "required by the Multiple run / Optimum run component."},
              kTag);
  if (case_has_eni_lines())
    stop_with({"Multiple run / Optimum run component is not ",
               "compatible in a project that is connected to other ",
               "projects through ENI transmission lines or cables. ",
               "Use the # runs in project setting or configure the ", "projects as slaves to a master project."},
              kTag);
  if (seed == 0) {
    setseed(mrunseed::mseed);
    mrunseed::mseed = wakro::multirun::reduced_seed(mrunseed::mseed);
  } else {
    if (seed < 0)
      wakro::multirun::message_lines(wakro::msg::kWarning, {"Only Non-negative seed values allowed!", " Absolute value is taken instead."});
    mrunseed::mseed = wakro::multirun::reduced_seed(seed);
  }
  mrunseed::mseedsave = mrunseed::mseed;
  // The run count changes within the first step: whether this run is the last
  // follows it at once (a run of one step records and sums up in that step).
  ctrl::nrun = nruns;
  ctrl::lastrun = ctrl::mmm == ctrl::nrun;
  state.used = true;
  if (nruns >= 2) ctrl::multirun = true;
}

void check_sweep(std::int32_t count, std::int32_t divisor, std::string_view tag) {
  if (count < 1 || divisor < 1)
    stop_with({"Multiple run parameter: the number of points and the runs per point ",
               "of a stepped sweep must both be at least 1!"},
              tag);
}

// The sweep point index, 0-based, of the current run.
std::int32_t sweep_index(std::int32_t count, std::int32_t divisor) { return ((ctrl::mmm - 1) / divisor) % count; }

// Draws the random fraction of a uniform (kind 1) or normal (kind 3) value.
double random_fraction(std::int32_t kind, double k) {
  if (kind == wakro::multirun::kUniform) return ran1(mrunseed::mseed);
  (void)ran1(mrunseed::mseed);
  return (gasdev(mrunseed::mseed, k) + 1.0) * 0.5;
}

wakro::FixedText<20> column_label(std::string_view label) {
  return wakro::FixedText<20>(wakro::trim_right(label).substr(0, kLabelLength));
}

// The argument list shared by mrunvr and mrunvi.
struct Call {
  std::int32_t opt, optvar, minmax, id, nv, nm, ndiv, count, divisor, kind;
  double k;
  std::string_view label;
  std::string_view tag;
};

void check_call(const Call& c) {
  if (c.id < 1 || c.id > kMaxInputs)
    stop_with({"Multiple run parameter: the input number must be 1 up to 6!"}, c.tag);
  if (first_step_of_first_run()) wakro::multirun::check_optimum_output(c.opt, c.optvar, c.nm);
}

bool optimum_repeat(const Call& c) {
  return c.opt == 1 && ctrl::mmm == ctrl::nrun && multpl::optimumrun >= 1;
}

}  // namespace

namespace wakro::multirun {

std::int32_t reduced_seed(std::int64_t seed) {
  const std::int64_t r = (seed < 0 ? -seed : seed) % kModulus;
  return r == 0 ? 1 : static_cast<std::int32_t>(r);
}

namespace detail {
void reset_varied_state() { state = VariedState{}; }
}  // namespace detail

void reset_multirun_state() {
  detail::reset_varied_state();
  detail::reset_output_state();
  detail::reset_recorder_state();
  detail::reset_extra_file_state();
  run_cut_short = false;
  runs_before_stop = 0;
  merged_rows = 0;
}

}  // namespace wakro::multirun

void mrunvini(std::int32_t nruns, std::int32_t enable, std::int32_t seed) {
  if (enable != 1) return;
  if (nruns > wakro::multirun::kMaxRuns)
    stop_with({"Too Many Multiple Runs! Only Up To 10000 Runs Allowed!", "Only Up To 10000 Runs Allowed!"},
              "MRUNVINI    ");
  if (!first_step_of_first_run()) {
    state.used = true;
    if (ctrl::nrun >= 2) ctrl::multirun = true;
    return;
  }
  set_up_multiple_run(nruns, seed);
}

void mrunvr(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t count, std::int32_t divisor, std::int32_t kind,
            double start, double step, double k, double& value, std::string_view label) {
  const Call c{opt, optvar, minmax, id, nv, nm, ndiv, count, divisor, kind, k, label, "MRUNVR      "};
  check_call(c);
  double& saved = state.real_value[static_cast<std::size_t>(id - 1)];
  if (e_s1::firststep) {
    if (optimum_repeat(c)) {
      value = multpl::optimumr(id);
    } else if (kind == wakro::multirun::kStepped) {
      check_sweep(count, divisor, c.tag);
      value = start + sweep_index(count, divisor) * step;
    } else if (kind == wakro::multirun::kUniform || kind == wakro::multirun::kNormal) {
      value = start + random_fraction(kind, k) * (step - start);
    }
    saved = value;
  } else {
    value = saved;
  }
  if (e_s1::laststep)
    mruno(opt, optvar, minmax, -id, wakro::multirun::kReal, nv, nm, ndiv, false, 0, value, {}, column_label(label).view());
}

void mrunvi(std::int32_t opt, std::int32_t optvar, std::int32_t minmax, std::int32_t id, std::int32_t nv,
            std::int32_t nm, std::int32_t ndiv, std::int32_t count, std::int32_t divisor, std::int32_t kind,
            std::int32_t start, std::int32_t step, double k, std::int32_t& value, std::string_view label) {
  const Call c{opt, optvar, minmax, id, nv, nm, ndiv, count, divisor, kind, k, label, "MRUNVI      "};
  check_call(c);
  std::int32_t& saved = state.int_value[static_cast<std::size_t>(id - 1)];
  if (e_s1::firststep) {
    if (optimum_repeat(c)) {
      value = multpl::optimumi(id);
    } else if (kind == wakro::multirun::kStepped) {
      check_sweep(count, divisor, c.tag);
      value = static_cast<std::int32_t>(std::int64_t{start} + std::int64_t{sweep_index(count, divisor)} * step);
    } else if (kind == wakro::multirun::kUniform || kind == wakro::multirun::kNormal) {
      const double x = start + random_fraction(kind, k) * (static_cast<double>(step) - start);
      value = static_cast<std::int32_t>(std::lround(x));
    }
    saved = value;
  } else {
    value = saved;
  }
  if (e_s1::laststep)
    mruno(opt, optvar, minmax, -id, wakro::multirun::kInteger, nv, nm, ndiv, false, value, 0.0, {},
          column_label(label).view());
}

std::int32_t mrunnum(std::int32_t count, std::int32_t divisor) {
  check_sweep(count, divisor, "MRUNNUM     ");
  return sweep_index(count, divisor) + 1;
}

void pmr_flags(std::int32_t flag) {
  if (flag != 0 && flag != 1)
    stop_with({"Parallel multiple run: PMR_FLAGS was handed the flag " + std::to_string(flag) + "; ",
               "only 0 (every run merged) or 1 (each process's last run left out) is allowed!"},
              "PMR_FLAGS   ");
  pmr_consolidate::excludelastrun = flag;
}
