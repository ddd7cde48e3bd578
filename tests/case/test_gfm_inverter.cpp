// The grid-forming inverter module run from data on a passive R-L load of
// 0.5 pu at 13.8 kV (gfm_bench.h): its bases and branch values, the settled
// voltage and frequency, the droop's answer to a load step, the current limit,
// no re-factorisation from its constant branches, two instances in either call
// order, and a run long enough for the angle integrators to be wrapped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "case/inverter_loops.h"
#include "gfm_bench.h"

namespace casetest {
namespace {

using wakro::casecode::kAngleWrap;

const double kVset = 13800.0 * std::sqrt(2.0 / 3.0);  // peak phase voltage at 1 pu [V]
const double kIpu = 100.0e6 / (std::sqrt(3.0) * 13800.0) * std::sqrt(2.0);  // peak phase current at 1 pu [A]

const GfmSample& at(const std::vector<GfmSample>& s, double t) {
  for (const GfmSample& x : s)
    if (x.t >= t - 1e-9) return x;
  return s.back();
}

TEST(GfmInverter, RunsFromDataOnAPassiveLoadAndAnswersALoadStepByItsDroop) {
  GfmRunPlan plan;
  plan.finish = 10.0;
  plan.step_pu = 0.2;
  plan.step_time = 6.0;
  const GfmRun r = run_gfm(plan);
  ASSERT_EQ(r.status, -1) << r.console;
  EXPECT_EQ(r.console.find("WARN"), std::string::npos) << r.console;
  const std::vector<GfmSample>& s = r.samples[0];
  ASSERT_GT(s.size(), 990u);

  // Bases of 100000 kVA at 13.8 kV and the branch values from them.
  const GfmSample& first = s.front();
  EXPECT_NEAR(first.zb, 1.9044, 1e-12);
  EXPECT_NEAR(first.lb, 5.051578e-3, 1e-9);
  EXPECT_NEAR(first.r1, 1.9044 * 0.005, 1e-12);
  EXPECT_NEAR(first.l1, 1.9044 / (120.0 * M_PI) * 0.15, 1e-12);
  EXPECT_NEAR(first.cap, 1.0e6 / (120.0 * M_PI * 1.9044 * 10.0), 1e-9);
  EXPECT_EQ(first.ch[47], first.cap);

  for (const GfmSample& x : s) {
    if (x.t < 1.0 - 1e-9) {  // before T_a: no droop, the limit controllers at 0
      EXPECT_DOUBLE_EQ(x.f_out, 60.0) << x.t;
      EXPECT_EQ(x.ch[10], 0.0) << x.t;
    }
    EXPECT_EQ(x.fm, 60.0) << x.t;  // before T_d
    if (x.t >= 2.0 && x.t < 6.0) {
      EXPECT_NEAR(x.vmag, kVset, 0.02 * kVset) << x.t;
      EXPECT_NEAR(x.f_out, 60.0, 0.02) << x.t;
      EXPECT_EQ(x.flag, 0) << x.t;
    }
    if (x.t >= 8.0) {
      EXPECT_NEAR(x.vmag, kVset, 0.02 * kVset) << x.t;
    }
  }
  // 0.2 pu more load: m dP f0 = 0.05 * 0.2 * 60 = 0.6 Hz down, within 10 %.
  const double df = at(s, 10.0).f_out - at(s, 5.99).f_out;
  EXPECT_NEAR(df, -0.6, 0.06);
  // Its branches never change: no re-factorisation from them after step 0.
  EXPECT_EQ(r.refactor_steps_after_zero, 0);
}

TEST(GfmInverter, AChangedBranchValueIsWhatLowersTheMarker) {
  // The counter of the test above does see the inverter's changes: an
  // inductance changed once (by more than the 1e-4 threshold) at 0.5 s costs
  // exactly one step's re-factorisation; one changed by less costs none.
  for (const double factor : {1.01, 1.00005}) {
    GfmRunPlan plan;
    plan.finish = 1.0;
    plan.edit = [factor](double t, std::vector<wakro::casecode::GfmArgs>& a) {
      a[0].l1_pu = t >= 0.5 ? 0.15 * factor : 0.15;
    };
    const GfmRun r = run_gfm(plan);
    ASSERT_EQ(r.status, -1) << r.console;
    EXPECT_EQ(r.refactor_steps_after_zero, factor > 1.001 ? 1 : 0) << factor;
  }
}

TEST(GfmInverter, CurrentLimitHoldsTheCurrentAtItsLimit) {
  GfmRunPlan plan;
  plan.finish = 4.0;
  plan.step_pu = 1.05;  // with the 0.5 pu load about 1.5 pu of current
  plan.step_time = 2.5;
  const GfmRun r = run_gfm(plan);
  ASSERT_EQ(r.status, -1) << r.console;
  const std::vector<GfmSample>& s = r.samples[0];
  for (const GfmSample& x : s) {
    if (x.t < 2.5 - 1e-9) {
      EXPECT_EQ(x.flag, 0) << x.t;
    }
    if (x.t >= 3.5) {
      EXPECT_EQ(x.flag, 1) << x.t;
      EXPECT_EQ(x.ch[6], 1.0) << x.t;
      EXPECT_NEAR(x.i_load, 1.1 * kIpu, 0.03 * 1.1 * kIpu) << x.t;
    }
  }
}

TEST(GfmInverter, TwoInstancesInEitherCallOrderKeepTheirOwnTraces) {
  GfmRunPlan plan;
  plan.finish = 1.5;
  plan.every = 100;
  wakro::casecode::GfmArgs second = gfm_test_args();
  second.v_set_pu = 1.03;
  second.p_droop = 0.04;
  second.t_a = 0.5;
  plan.instances = {gfm_test_args(), second};
  plan.step_pu = 0.1;
  plan.step_time = 1.0;
  plan.order = {0, 1};
  const GfmRun a = run_gfm(plan);
  plan.order = {1, 0};
  const GfmRun b = run_gfm(plan);
  ASSERT_EQ(a.status, -1) << a.console;
  ASSERT_EQ(b.status, -1) << b.console;
  for (std::size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(a.samples[i].size(), b.samples[i].size());
    for (std::size_t k = 0; k < a.samples[i].size(); ++k) {
      const GfmSample &x = a.samples[i][k], &y = b.samples[i][k];
      EXPECT_EQ(x.f_out, y.f_out) << i << " " << x.t;
      EXPECT_EQ(x.vmag, y.vmag) << i << " " << x.t;
      EXPECT_EQ(x.i_load, y.i_load) << i << " " << x.t;
    }
  }
  // And they are two instances: the second's own set-point.
  EXPECT_NEAR(a.samples[1].back().vmag, 1.03 * kVset, 0.02 * kVset);
  EXPECT_NEAR(a.samples[0].back().vmag, kVset, 0.02 * kVset);
}

TEST(GfmInverter, LongRunKeepsSixtyHertzPastTheAngleIntegratorsRange) {
  // The angle integrators would reach their limit of 1e5 rad after some 265 s;
  // 400 s passes that. Under the sanitizers a step costs some twenty times as
  // much, so there the run stops at 40 s (the wrap's own arithmetic is the
  // same; the release suite covers the full span).
#if defined(__SANITIZE_ADDRESS__)
  constexpr double kFinish = 40.0;
#else
  constexpr double kFinish = 400.0;
#endif
  GfmRunPlan plan;
  plan.finish = kFinish;
  plan.every = 20011;  // about 1 s, not a whole number of cycles
  const GfmRun r = run_gfm(plan);
  ASSERT_EQ(r.status, -1) << r.console;
  const std::vector<GfmSample>& s = r.samples[0];
  ASSERT_GT(s.size(), static_cast<std::size_t>(kFinish * 0.95));
  double prev_theta = -1.0;
  for (const GfmSample& x : s) {
    if (x.t < 2.0) continue;
    EXPECT_NEAR(x.f_out, 60.0, 0.02) << x.t;
    EXPECT_NEAR(x.vmag, kVset, 0.02 * kVset) << x.t;
    EXPECT_LT(std::fabs(x.angle_integral), kAngleWrap + 10.0) << x.t;
    EXPECT_NE(x.ch[28], prev_theta) << x.t;  // the angle still moves
    prev_theta = x.ch[28];
  }
  EXPECT_NEAR(s.back().t, kFinish, 1.0);
}

TEST(GfmInverter, BaseImpedanceOutOfRangeWarnsOnce) {
  GfmRunPlan plan;
  plan.finish = 0.01;
  plan.instances[0].rating_kva = 10.0;  // Zb = 19044 ohm: a rating not in kVA
  const GfmRun r = run_gfm(plan);
  ASSERT_EQ(r.status, -1) << r.console;
  const std::string text = "Base impedance outside 0.01 to 10000 ohm: is the rated power (argument 2) given in kVA?";
  const std::size_t p = r.console.find(text);
  ASSERT_NE(p, std::string::npos) << r.console;
  EXPECT_EQ(r.console.find(text, p + 1), std::string::npos);
}

TEST(GfmInverter, ZeroRatedVoltageGivesGuardedValuesNotAFault) {
  // Zb = 0: the capacitance 1e6 / (w0 Zb arg16) is the guarded 1e106 (its
  // bound); the zero inductances are the variable branches' own warning; the
  // run goes on with finite signals.
  GfmRunPlan plan;
  plan.finish = 0.002;
  plan.every = 10;
  plan.instances[0].rated_kv = 0.0;
  const GfmRun r = run_gfm(plan);
  ASSERT_EQ(r.status, -1) << r.console;
  ASSERT_FALSE(r.samples[0].empty());
  for (const GfmSample& x : r.samples[0]) {
    EXPECT_EQ(x.zb, 0.0);
    EXPECT_EQ(x.lb, 0.0);
    EXPECT_EQ(x.cap, 1.0e106);
    EXPECT_DOUBLE_EQ(x.f_out, 60.0);
    for (int k = 1; k <= 54; ++k) EXPECT_TRUE(std::isfinite(x.ch[k])) << k << " " << x.t;
  }
  EXPECT_NE(r.console.find("Base impedance outside 0.01 to 10000 ohm"), std::string::npos);
}

}  // namespace
}  // namespace casetest
