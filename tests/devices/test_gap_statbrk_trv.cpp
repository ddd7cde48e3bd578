// The spark gap through the network solution, the statistical breaker command and
// the recovery-voltage monitor step by step (dt = 50 us).
//   Spark gap across 20 kV peak 60 Hz behind 100 ohm, breakdown 10 kV: with
//   interpolation it fires where the source reaches 10 kV, asin(0.5) / w =
//   1.389 ms (inside the step ending at 1.40 ms), and goes out at the current zero
//   at 8.333 ms (inside the step ending at 8.35 ms); without interpolation it fires
//   on the first step whose last solution shows more than 10 kV.
//   Statistical breaker: the three delays are the first three normal draws of
//   random_mrun2 from the device's seed.
//   Envelope of one point (1 ms, 100): 100 (t - t0 + dt) / 1 ms, then flat.
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "device_fixture.h"
#include "devices/spark_gap.h"
#include "devices/statistical_breaker.h"
#include "devices/trv_envelope.h"
#include "devices/voltage_sources.h"
#include "diag/random.h"
#include "network/solution.h"

namespace {

constexpr double kW60 = 2.0 * std::numbers::pi * 60.0;

class SparkGap : public devtest::Devices {
 protected:
  void circuit(bool interpolate, double vbd) {
    size(1, 2);
    src_ = add_branch(1, 0, 1, 100.0, 0.0, 0.0);
    gap_ = add_branch(1, 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
    set_options({.interpolate = interpolate});
    devices([this, vbd] {
      wakro_1pvsrc(1, src_, 0.0, 1, 20.0, kW60, 0.0);
      e_sparkgap(1, gap_, 1e-3, 1e8, vbd);
    });
  }
  std::int32_t src_ = 0;
  std::int32_t gap_ = 0;
};

TEST_F(SparkGap, WithInterpolationFiresAtBreakdownAndGoesOutAtTheCurrentZero) {
  circuit(true, -10.0);
  start_run(200);
  for (int k = 0; k <= 168; ++k) {
    step();
    const bool open = branches::openbr(gap_, 1);
    // The modes the gap asks for follow its state (on a step where the solution
    // switched it, the solution's own mode stands).
    if (k != 28 && k != 167) {
      EXPECT_EQ(int1::iorv(gap_, 1), open ? 4 : 2) << "step " << k;
      EXPECT_EQ(branches::swlevl(gap_, 1), open ? 10.0 : 0.0) << "step " << k;
    }
    const bool conducting = k >= 28 && k <= 166;
    ASSERT_EQ(!open, conducting) << "step " << k;
  }
  EXPECT_EQ(harmimp::branch_r(gap_, 1), 1e8);
}

TEST_F(SparkGap, WithoutInterpolationFiresAboveBreakdownAndGoesOutWhenTheCurrentTurns) {
  circuit(false, 10.0);
  start_run(400);
  double previous_i = 0.0;
  int firings = 0;
  int extinctions = 0;
  for (int k = 0; k < 400; ++k) {
    const bool was_open = branches::openbr(gap_, 1);
    const double v = vbranch(1, gap_);
    const double i_before = i(gap_);
    step();
    if (k == 0) continue;
    if (was_open) {
      EXPECT_EQ(!branches::openbr(gap_, 1), std::abs(v) > 10.0) << "step " << k;
      if (!branches::openbr(gap_, 1)) ++firings;
    } else {
      EXPECT_EQ(branches::openbr(gap_, 1), previous_i * i_before <= 0.0) << "step " << k;
      if (branches::openbr(gap_, 1)) ++extinctions;
    }
    previous_i = i_before;
  }
  EXPECT_EQ(firings, 3);  // the half-waves of 1.2 cycles
  EXPECT_EQ(extinctions, 2);
}

TEST_F(SparkGap, ExactlyTheBreakdownVoltageDoesNotFire) {
  size(1, 2);
  gap_ = add_branch(1, 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
  e_s1::timezero = true;
  storage::nstorf = 1;
  e_sparkgap(1, gap_, 1e-3, 1e8, 10.0);
  e_s1::timezero = false;
  e_s0::vdc(1, 1) = -10.0;
  storage::nstorf = 1;
  e_sparkgap(1, gap_, 1e-3, 1e8, 10.0);
  EXPECT_TRUE(branches::openbr(gap_, 1));
  e_s0::vdc(1, 1) = -10.000001;
  storage::nstorf = 1;
  e_sparkgap(1, gap_, 1e-3, 1e8, 10.0);
  EXPECT_FALSE(branches::openbr(gap_, 1));
  EXPECT_EQ(storage::nstorf, 2);
}

class StatBreaker : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    size(1, 1);
    wakro::gasdev_keep() = {};
  }
  // Runs n steps of the model from time zero; out receives the outputs.
  void run(int n, std::int32_t seed, const std::function<std::int32_t(double)>& command,
           const std::function<void(int, const std::array<std::int32_t, 3>&)>& each) {
    for (int k = 0; k < n; ++k) {
      e_s1::timezero = e_s1::firststep = k == 0;
      e_s1::time = k * e_s1::delt;
      storage::nstori = storage::nstorf = 1;
      rt_config::nrtcf = 1;
      if (k == 0) {
        statbrk1_cfg(0.002, 0.006, 3.0);
        rt_config::nrtcf = 1;
      }
      std::array<std::int32_t, 3> out{};
      statbrk1_exe(seed, command(e_s1::time), out[0], out[1], out[2]);
      each(k, out);
    }
  }
};

TEST_F(StatBreaker, FallOfTheCommandOpensEachPhaseAfterItsOwnDrawnDelay) {
  // The delays the seed gives, drawn as the device draws them.
  std::int32_t seed = 12345;
  std::array<double, 3> delay{};
  for (double& d : delay) random_mrun2(seed, 1, 0.002, 0.006, 3.0, d);
  wakro::gasdev_keep() = {};
  for (double d : delay) {
    EXPECT_GE(d, 0.002);
    EXPECT_LE(d, 0.006);
  }
  EXPECT_NE(delay[0], delay[1]);
  // A close command of 2 is on as well: its fall is seen.
  std::array<double, 3> opened{-1.0, -1.0, -1.0};
  run(
      2400, 12345, [](double t) { return t < 0.1 - 1e-9 ? 2 : 0; },
      [&](int, const std::array<std::int32_t, 3>& out) {
        for (int p = 0; p < 3; ++p)
          if (out[p] == 0 && opened[p] < 0.0) opened[p] = e_s1::time;
      });
  for (int p = 0; p < 3; ++p) {
    const double due = 0.1 + delay[p];
    EXPECT_GE(opened[p], due - 1e-12) << "phase " << p;
    EXPECT_LT(opened[p], due + e_s1::delt) << "phase " << p;
  }
  EXPECT_EQ(storage::stori(6), 12345);  // the seed at the start of the run
  EXPECT_EQ(storage::stori(5), seed);   // advanced by the three draws
}

TEST_F(StatBreaker, CommandHeldOnDrawsNothing) {
  run(
      100, 777, [](double) { return 1; },
      [](int k, const std::array<std::int32_t, 3>& out) {
        EXPECT_EQ(out, (std::array<std::int32_t, 3>{1, 1, 1})) << k;
      });
  EXPECT_EQ(storage::stori(5), 777);
  EXPECT_EQ(storage::nstori, 7);
  EXPECT_EQ(storage::nstorf, 4);
  EXPECT_EQ(rt_config::nrtcf, 4);
}

TEST_F(StatBreaker, BadDelaysStopTheRunWithEveryReason) {
  const auto same = nettest::capture([] { statbrk1_cfg(0.01, 0.01, 3.0); });
  EXPECT_NE(same.status, -1);
  EXPECT_NE(same.text.find("***ERROR** Maximum delay should be more than the minimum delay"),
            std::string::npos);
  EXPECT_NE(same.text.find("STATBRK"), std::string::npos);
  const auto all = nettest::capture([] { statbrk1_cfg(0.0, -1.0, 0.0); });
  EXPECT_NE(all.status, -1);
  EXPECT_NE(all.text.find("Unrealistic delay times"), std::string::npos);
  EXPECT_NE(all.text.find("Unrealistic number of standard deviations"), std::string::npos);
  EXPECT_EQ(rt_config::nrtcf, 1);
}

TEST(TrvEnvelopeFunction, RampsToTheFirstPointThenToTheSecondThenFlat) {
  using trv_envelope::envelope;
  EXPECT_DOUBLE_EQ(envelope(0.5e-3, 1e-3, 10.0, 3e-3, 20.0), 5.0);
  EXPECT_DOUBLE_EQ(envelope(2e-3, 1e-3, 10.0, 3e-3, 20.0), 15.0);
  EXPECT_DOUBLE_EQ(envelope(4e-3, 1e-3, 10.0, 3e-3, 20.0), 20.0);
}

class TrvMonitor : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    extra_dims_.push_back({dim::rtcl, 8});
    size(1, 1);
  }
  void configure(std::int32_t type, std::int32_t n1, std::int32_t n2) {
    rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    trvenvelope2_cfg(type, n1, n2, 0.0, a_, b_, c_);
  }
  // One call at step k with the pole states and voltages.
  void call(int k, std::int32_t nc, std::array<std::int32_t, 3> state, std::array<double, 3> v) {
    e_s1::time = k * e_s1::delt;
    rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    storage::nstori = storage::nstorf = 1;
    trvenvelope2_exe(nc, 0, state, v, f_[0], f_[1], f_[2], e_[0], e_[1], e_[2]);
  }
  std::array<double, 16> a_{};
  std::array<double, 8> b_{};
  std::array<double, 16> c_{};
  std::array<std::array<std::int32_t, 12>, 3> f_{};
  std::array<std::array<double, 24>, 3> e_{};
};

TEST_F(TrvMonitor, OnePointEnvelopeTimesThePoleFromTheStepBeforeItsOpening) {
  a_[0] = 1e-3;
  a_[1] = 100.0;
  configure(6, 0, 0);
  const double dt = e_s1::delt;
  for (int k = 0; k < 60; ++k) {
    const std::int32_t sa = k < 10 ? 1 : 2;  // pole A starts opening at step 10
    call(k, 1, {sa, 1, 1}, {50.0, 500.0, 0.0});
    const double expected = k < 10 ? 0.0 : std::min(100.0, 100.0 * ((k - 10) * dt + dt) / 1e-3);
    ASSERT_NEAR(e_[0][0], expected, 1e-9) << k;
    EXPECT_EQ(e_[0][1], -e_[0][0]);
    EXPECT_EQ(f_[0][0], k >= 10 && 50.0 > expected ? 1 : 0) << k;
    EXPECT_EQ(e_[1][0], 0.0);  // pole B never opened: no envelope, no flag
    EXPECT_EQ(f_[1][0], 0);
  }
  EXPECT_EQ(storage::nstori, 4);
  EXPECT_EQ(storage::nstorf, 7);
  EXPECT_EQ(rt_config::nrtcl, 4);
  EXPECT_EQ(rt_config::nrtci, 3);
  EXPECT_EQ(rt_config::nrtcf, 42);
}

TEST_F(TrvMonitor, ResetOfOnePoleClearsTheOthersWhichAreRecomputedInTheSameCall) {
  // Standard envelopes and one listed point: 4 + 1 envelopes.
  for (int j = 0; j < 4; ++j) {
    a_[4 * j] = 1e-3 * (j + 1);
    a_[4 * j + 1] = 10.0 * (j + 1);
    a_[4 * j + 2] = 4e-3 * (j + 1);
    a_[4 * j + 3] = 20.0 * (j + 1);
  }
  b_[0] = 2e-3;
  b_[1] = 30.0;
  configure(2, 1, 0);
  const double dt = e_s1::delt;
  for (int k = 0; k < 20; ++k) call(k, 5, {2, 2, 1}, {0.0, 0.0, 0.0});
  call(20, 5, {2, 0, 1}, {0.0, 0.0, 0.0});
  const double t = 20 * dt + dt;  // pole A timed from one step before step 0
  EXPECT_NEAR(e_[0][0], trv_envelope::envelope(t, 1e-3, 10.0, 4e-3, 20.0), 1e-12);
  EXPECT_NEAR(e_[0][3], trv_envelope::envelope(t, 4e-3, 40.0, 16e-3, 80.0), 1e-12);
  EXPECT_NEAR(e_[0][4], 30.0 * t / 2e-3, 1e-12);
  EXPECT_EQ(e_[0][9], -e_[0][4]);
  for (int j = 0; j < 10; ++j) EXPECT_EQ(e_[1][j], 0.0) << j;  // pole B reset
}

TEST_F(TrvMonitor, EnvelopeCountsAreChecked) {
  const auto many = nettest::capture([&] { configure(2, 5, 0); });
  EXPECT_NE(many.status, -1);
  EXPECT_NE(many.text.find("Number of listed envelopes N1 = 5 must lie between 0 and 4"),
            std::string::npos);
  release_all_and_reset();  // the fatal stop released the case's state
  size(1, 1);
  configure(6, 0, 0);
  const auto wrong = nettest::capture([&] { call(0, 4, {2, 2, 2}, {0.0, 0.0, 0.0}); });
  EXPECT_NE(wrong.status, -1);
  EXPECT_NE(wrong.text.find("Number of envelopes 4 does not match the 1 envelopes selected"),
            std::string::npos);
}

}  // namespace
