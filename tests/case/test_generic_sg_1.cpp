// The generator module on a stiff 18 kV source at its load-flow point, run from
// its data files for 0-8 s under a grid page that writes the source and passes
// the page's arguments: the begin pass's configuration entries, the hand-over
// and speed release, the settled point, the secondary control held at 0 and,
// past its release at 20 s, sampled every 2 s; the guarded divisions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "blocks/events.h"
#include "case/gast.h"
#include "case/generic_sg_1.h"
#include "case/module_frame.h"
#include "machines/machine_block.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "module_run.h"
#include "support/sanitized.h"

namespace casetest {
namespace {

using namespace wakro::casecode;

constexpr ModuleCounts kGrid{"Grid", 5, 0, 0, 0, 3, 0};

// The load-flow point at the terminal (the stiff-source machine example's).
constexpr double kV = 1.025, kTheta = 0.2, kPMw = 163.0, kQMvar = 5.0;
constexpr double kVb = 10.3923, kIb = 6.415, kW = 376.992;

// The page's arguments of the generator module, kept from step to step: the
// case's, with the governor reference the checks below take.
constexpr SgArgs kPageArgs{.governor_mw = 163.0};

struct BeginSeen {
  std::int32_t ints = 0, reals = 0;
  std::vector<std::int32_t> first_ints;
  double first_real = -1.0, rated_voltage = 0.0;
};

struct Sample {
  double t;
  double ch[kSgChannels + 1];
  double mode;
  std::int32_t speed_mode;
};

// Every step's secondary control and scaled references from g_fine_from on.
struct Fine {
  double t, integral, sampled, base_ref, arg4_scaled;
};
std::vector<Fine> g_fine;
double g_fine_from = 1.0e9;

SgArgs g_args;
BeginSeen g_begin;
std::vector<Sample> g_samples;
bool g_integral_zero = true;
std::int32_t g_steps = 0;
// The machine's block at 3 s (in the old-style storage after the secondary
// control's sampler, the only block before it that takes from it): its
// machine mode and the time machine mode began, from which the start-up
// source stays 0.04 s.
double g_block_mode = -1.0, g_mode_time = -1.0;

void begin_args(bool dyn) {
  double v = kV, theta = kTheta, p = kPMw, q = kQMvar, scale = 100.0, vb = kVb, ib = kIb, c3 = 2.0, rel = 0.1,
         c5 = 0.05, h = 4.0;
  if (dyn)
    generic_sg_1dyn_begin(v, theta, p, q, scale, vb, ib, c3, rel, c5, h);
  else
    generic_sg_1out_begin(v, theta, p, q, scale, vb, ib, c3, rel, c5, h);
}

CaseRoutines grid() {
  CaseRoutines r;
  r.dyn = [] {
    const ModuleCall c = enter_dyn(kGrid);
    open_data(kGrid, "DATADSD:");
    const double peak = std::sqrt(2.0) * kV * kVb, phi = kW * e_s1::time + kTheta;
    constexpr double kShift = 2.094395102393195;
    branches::ebr(c.branch(1), c.ss) = peak * std::sin(phi);
    branches::ebr(c.branch(2), c.ss) = peak * std::sin(phi - kShift);
    branches::ebr(c.branch(3), c.ss) = peak * std::sin(phi + kShift);
    generic_sg_1dyn(g_args);
    close_data();
    if (!e_s1::timezero) ++g_steps;
  };
  r.out = [] {
    (void)enter_out(kGrid);
    open_data(kGrid, "DATADSO:");
    generic_sg_1out();
    close_data();
    const std::int32_t b = quolbv3::txfr(2, 3), bi = quolbv3::txfr(2, 2);
    if (quolbv3::stof(b + kSgIntegral) != 0.0 || quolbv3::stof(b + kSgSampled) != 0.0) g_integral_zero = false;
    if (g_steps == 60000) {
      constexpr std::int32_t kBlock = wakro::blocks::layout::samp5::kStorSize;
      g_block_mode = e_s2::stor(kBlock + wakro::machines::kMachineMode);
      g_mode_time = e_s2::stor(kBlock + wakro::machines::kMachineModeTime);
    }
    if (e_s1::time > g_fine_from)
      g_fine.push_back({e_s1::time, quolbv3::stof(b + kSgIntegral), quolbv3::stof(b + kSgSampled),
                        quolbv3::stof(b + kSgBaseRef), quolbv3::stof(b + kSgArg4Scaled)});
    if (g_steps % 200 != 0) return;  // every 10 ms
    Sample s{};
    s.t = e_s1::time;
    for (std::int32_t k = 1; k <= kSgChannels; ++k) s.ch[k] = e_s4::pgb(k);
    s.mode = quolbv3::stof(b + kSgMachineMode);
    s.speed_mode = quolbv3::stoi(bi + kSgSpeedMode);
    g_samples.push_back(s);
  };
  r.dyn_begin = [] {
    (void)enter_begin(kGrid);
    const std::int32_t i0 = rt_config::nrtci, f0 = rt_config::nrtcf;
    begin_args(true);
    g_begin.ints = rt_config::nrtci - i0;
    g_begin.reals = rt_config::nrtcf - f0;
    g_begin.first_ints = {rt_config::rtci(i0), rt_config::rtci(i0 + 1)};
    g_begin.first_real = rt_config::rtcf(f0);
    g_begin.rated_voltage = rt_config::rtcf(f0 + 1 + wakro::machines::kCfgRatedVoltage - 1);
  };
  r.out_begin = [] {
    (void)enter_begin(kGrid);
    begin_args(false);
  };
  return r;
}

std::map<std::string, std::string> generator_files(double finish) {
  const std::string dims =
      " NODES = 6\n SUBSYS = 1\n BRANCHES = 12\n NNODES = 15\n NPAGES = 3\n STOF = 91\n STOI = 6\n PGBS = 20\n"
      " STOR = 900\n STORF = 200\n STORI = 40\n STORL = 20\n RTCF = 200\n RTCI = 20\n";
  const std::string gen_page =
      "BRANCHES:\n"
      " 1 0 R 1.0E9\n 2 0 R 1.0E9\n 3 0 R 1.0E9\n"    // the machine's phase branches
      " 1 0 R 1.0E9\n 2 0 R 1.0E9\n 3 0 R 1.0E9\n"    // its R-C interface branches
      " 1 4 R 1.0E-6\n 2 5 R 1.0E-6\n 3 6 R 1.0E-6\n"  // the meter branches
      "STOF:\n 1 1.0\n";                               // last step's speed
  std::ostringstream gast;
  gast << "STOF:\n " << kGastPm << " 0.815\n " << kGastFT << " 0.815\n";
  return {{"gen.map", map_file(dims, finish, 6,
                               {{"Grid.dta", "1 3 4 5 6"}, {"Generic_SG_1.dta", "1 6 1 2 3 4 5 6"}, {"GAST.dta", "1 0"}})},
          {"Grid.dta", module_file("BRANCHES:\n 0 1 RE 1.0E-6 0.0\n 0 2 RE 1.0E-6 0.0\n 0 3 RE 1.0E-6 0.0\n")},
          {"Generic_SG_1.dta", module_file(gen_page)},
          {"GAST.dta", module_file(gast.str())}};
}

const Sample& at(double t) {
  for (const Sample& s : g_samples)
    if (s.t >= t - 1e-9) return s;
  return g_samples.back();
}

TEST(GenericSg1, RunsFromDataOnAStiffSourceAndSettlesAtItsPoint) {
  g_args = kPageArgs;
  g_begin = BeginSeen{};
  g_samples.clear();
  g_integral_zero = true;
  g_steps = 0;
  const ModuleRunResult r = run_modules(generator_files(8.0), "gen.map", grid());
  ASSERT_EQ(r.status, -1) << r.console;
  ASSERT_FALSE(g_samples.empty());

  // The begin pass: its own integer 1, GAST's 1, the machine's 10; its own
  // real 0.0, the machine's 100, the exciter's 27.
  EXPECT_EQ(g_begin.ints, 1 + 1 + 10);
  EXPECT_EQ(g_begin.reals, 1 + 100 + 27);
  EXPECT_EQ(g_begin.first_ints, (std::vector<std::int32_t>{1, 1}));
  EXPECT_EQ(g_begin.first_real, 0.0);
  EXPECT_EQ(g_begin.rated_voltage, kVb);

  for (const Sample& s : g_samples) {
    // Hand-over at 2.0 s; the speed imposed (exactly rated) until 2.5 s.
    EXPECT_EQ(s.mode, s.t >= 2.0 - 1e-9 ? 1.0 : 0.0) << s.t;
    EXPECT_EQ(s.speed_mode, s.t >= 2.5 - 1e-9 ? 1 : 0) << s.t;
    if (s.t < 2.5 - 1e-9) {
      EXPECT_EQ(s.ch[kChSpeed], 1.0) << s.t;
    }
    // The governor's reference is its base 163 / (100 * 2) until 20 s.
    EXPECT_EQ(s.ch[kChSampled], 0.0) << s.t;
  }
  EXPECT_TRUE(g_integral_zero);
  EXPECT_EQ(g_block_mode, 1.0);
  EXPECT_NEAR(g_mode_time, 2.0, 50.0e-6);  // the source gone from 2.04 s
  EXPECT_EQ(g_args.scale, 2.0);
  EXPECT_DOUBLE_EQ(g_args.f_hz, 60.0 * at(8.0).ch[kChSpeed]);
  // The machine alone delivers the point after the start-up source has gone.
  EXPECT_NEAR(at(2.2).ch[kChP], kPMw, 0.02 * kPMw);

  const Sample& end = g_samples.back();
  EXPECT_NEAR(end.t, 8.0, 1e-6);
  EXPECT_NEAR(end.ch[kChPm], 0.815, 0.005);
  EXPECT_NEAR(end.ch[kChPmMW], 81.5, 0.5);
  EXPECT_NEAR(end.ch[kChP], kPMw, 0.02 * kPMw);
  EXPECT_NEAR(end.ch[kChSpeed], 1.0, 1e-4);
  // EFD steady: on a stiff source nothing answers the regulator, so the
  // reference it back-calculates at the hand-over step (from the smoothed
  // max-minus-min voltage, whose 360 Hz ripple is about +-0.15 % after the
  // 0.02 s lag) leaves an error that its integrator turns into a slow ramp of
  // EFD (about 0.006 per second with KIR = 20). Bound it there, and within 5 %
  // of the hand-over value.
  const double efd_handover = at(2.0).ch[kChEfd];
  EXPECT_NEAR(end.ch[kChEfd], at(7.0).ch[kChEfd], 0.01);
  EXPECT_NEAR(end.ch[kChEfd], efd_handover, 0.05 * efd_handover);
  EXPECT_EQ(r.console.find("WARN"), std::string::npos) << r.console;
}

// Past its release time (20 s) the secondary control integrates the speed
// error and the governor's reference takes the integral only at its sampling
// instants, every argument 13 seconds; a zero rating or sampling period takes
// the divisions' guard (1e100 times the numerator), never a division by zero.
TEST(GenericSg1, SecondaryControlPast20sAndTheGuardedDivisions) {
  struct Case {
    const char* what;
    double rating, period, finish;
  };
  const double kStep = 50.0e-6;
  // The sanitizer build moves the release to 4 s (the case's is 20 s).
  const double kRelease = wakro_test::kSanitized ? 4.0 : 20.0;
  const Case cases[] = {{"sampled every 2 s", 200.0, 2.0, kRelease + 4.5},
                        {"zero rating and period", 0.0, 0.0, kRelease + 0.2}};
  for (const Case& c : cases) {
    g_args = kPageArgs;
    g_args.rating_mw = c.rating;
    g_args.sample_period = c.period;
    g_args.release_time = kRelease;
    g_samples.clear();
    g_fine.clear();
    g_fine_from = kRelease - 0.1;
    g_steps = 0;
    const ModuleRunResult r = run_modules(generator_files(c.finish), "gen.map", grid());
    g_fine_from = 1.0e9;
    ASSERT_EQ(r.status, -1) << c.what << r.console;
    ASSERT_FALSE(g_fine.empty()) << c.what;
    const double base = c.rating != 0.0 ? 163.0 / c.rating : 163.0 * 1.0e100;
    const double arg4 = c.rating != 0.0 ? 4.9 / c.rating : 4.9 * 1.0e100;
    std::vector<double> changes;
    for (std::size_t k = 0; k < g_fine.size(); ++k) {
      const Fine& f = g_fine[k];
      ASSERT_EQ(f.base_ref, base) << c.what << " " << f.t;
      ASSERT_EQ(f.arg4_scaled, arg4) << c.what << " " << f.t;
      if (f.t < kRelease - 1e-9) {
        ASSERT_EQ(f.integral, 0.0) << c.what << " " << f.t;
        ASSERT_EQ(f.sampled, 0.0) << c.what << " " << f.t;
      }
      if (k > 0 && f.sampled != g_fine[k - 1].sampled) {
        changes.push_back(f.t);
        // The sample is the integral interpolated at the sampling instant,
        // within this step.
        const double lo = std::min(f.integral, g_fine[k - 1].integral), hi = std::max(f.integral, g_fine[k - 1].integral);
        const double slack = 1e-9 * std::max(std::fabs(lo), std::fabs(hi));
        EXPECT_GE(f.sampled, lo - slack) << c.what << " " << f.t;
        EXPECT_LE(f.sampled, hi + slack) << c.what << " " << f.t;
      }
    }
    if (c.period > 0.0) {
      // One change at each sampling instant from the release on: 20, 22 and 24 s.
      ASSERT_EQ(changes.size(), 3u) << c.what;
      for (std::size_t k = 0; k < changes.size(); ++k)
        EXPECT_NEAR(changes[k], kRelease + 2.0 * static_cast<double>(k), 1.5 * kStep) << c.what;
    } else {
      // Sampled on every step from the release on.
      EXPECT_GT(changes.size(), 3000u) << c.what;  // 0.2 s of 50 us steps
    }
  }
}

}  // namespace
}  // namespace casetest
