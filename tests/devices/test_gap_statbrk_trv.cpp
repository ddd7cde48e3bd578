// Spark gap through the network solution, statistical breaker command and
// recovery-voltage monitor (dt = 50 us).
//   Spark gap across 20 kV peak 60 Hz behind 100 ohm, breakdown 10 kV: with
//   interpolation it fires where the source reaches 10 kV, asin(0.5) / w =
//   1.389 ms (in the step ending at 1.40 ms, step 28), and goes out at the current
//   zero at 8.333 ms (in the step ending at 8.35 ms, step 167); without
//   interpolation each change comes one step later.
//   Statistical breaker: the delays are the first three normal draws of
//   random_mrun2 from the device's seed.
//   Envelope of one point (1 ms, 100 kV): 100 (t - t0 + dt) / 1 ms, then flat.
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

class SparkGap : public devtest::Devices, public ::testing::WithParamInterface<bool> {};

TEST_P(SparkGap, FiresAtBreakdownAndGoesOutAtTheCurrentZero) {
  const bool interpolate = GetParam();
  size(1, 2);
  const std::int32_t src = add_branch(1, 0, 1, 100.0, 0.0, 0.0);
  const std::int32_t gap = add_branch(1, 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
  set_options({.interpolate = interpolate});
  double v_before = 0.0;
  double i_previous = 0.0;
  double i_before = 0.0;
  devices([&] {
    wakro_1pvsrc(1, src, 0.0, 1, 20.0, 2.0 * std::numbers::pi * 60.0, 0.0);
    i_previous = i_before;
    v_before = vbranch(1, gap);
    i_before = i(gap);
    const bool was_open = branches::openbr(gap, 1);
    e_sparkgap(1, gap, 1e-3, 1e8, -10.0);
    if (interpolate && !e_s1::timezero) {
      EXPECT_EQ(int1::iorv(gap, 1), was_open ? 4 : 2);
      EXPECT_EQ(branches::swlevl(gap, 1), was_open ? 10.0 : 0.0);
    } else if (!e_s1::timezero) {
      // Fires above (not at) the level; goes out when the current turns or is 0.
      const bool fire = was_open && std::abs(v_before) > 10.0;
      const bool out = !was_open && i_previous * i_before <= 0.0;
      EXPECT_EQ(branches::openbr(gap, 1), (was_open && !fire) || out) << ctrl::iii;
    }
  });
  start_run(200);
  for (int k = 0; k <= 168; ++k) {
    step();
    // Without interpolation one step later: the step after the solution shows it.
    const int late = interpolate ? 0 : 1;
    ASSERT_EQ(!branches::openbr(gap, 1), k >= 28 + late && k <= 166 + late) << "step " << k;
  }
  EXPECT_EQ(harmimp::branch_r(gap, 1), 1e8);
}

INSTANTIATE_TEST_SUITE_P(Interpolation, SparkGap, ::testing::Bool());

class StatBreaker : public devtest::Devices {
 protected:
  // n steps from time zero with the command of each time; seed 12345.
  void run(int n, const std::function<std::int32_t(double)>& command) {
    size(1, 1);
    wakro::gasdev_keep() = {};
    for (int k = 0; k < n; ++k) {
      e_s1::timezero = e_s1::firststep = k == 0;
      e_s1::time = k * e_s1::delt;
      storage::nstori = storage::nstorf = rt_config::nrtcf = 1;
      if (k == 0) statbrk1_cfg(0.002, 0.006, 3.0);
      rt_config::nrtcf = 1;
      statbrk1_exe(12345, command(e_s1::time), out[0], out[1], out[2]);
      for (int p = 0; p < 3; ++p)
        if (out[p] == 0 && opened[p] < 0.0) opened[p] = e_s1::time;
    }
  }
  std::array<std::int32_t, 3> out{};
  std::array<double, 3> opened{-1.0, -1.0, -1.0};
};

TEST_F(StatBreaker, FallOfANonZeroCommandOpensEachPhaseAfterItsOwnDelay) {
  std::int32_t seed = 12345;
  std::array<double, 3> delay{};
  wakro::gasdev_keep() = {};
  for (double& d : delay) random_mrun2(seed, 1, 0.002, 0.006, 3.0, d);
  run(2400, [](double t) { return t < 0.1 - 1e-9 ? 2 : 0; });
  for (int p = 0; p < 3; ++p) {
    EXPECT_GE(opened[p], 0.1 + delay[p] - 1e-12) << p;
    EXPECT_LT(opened[p], 0.1 + delay[p] + e_s1::delt) << p;
  }
  EXPECT_NE(delay[0], delay[1]);
  EXPECT_EQ(storage::stori(5), seed);
}

TEST_F(StatBreaker, CommandHeldOnDrawsNothingAndBadDelaysStop) {
  run(100, [](double) { return 1; });
  EXPECT_EQ(out, (std::array<std::int32_t, 3>{1, 1, 1}));
  EXPECT_EQ(storage::stori(5), 12345);
  const auto bad = nettest::capture([] { statbrk1_cfg(0.01, 0.01, 0.0); });
  EXPECT_NE(bad.status, -1);
  EXPECT_NE(bad.text.find("***ERROR** Maximum delay should be more than the minimum delay"),
            std::string::npos);
  EXPECT_NE(bad.text.find("Unrealistic number of standard deviations"), std::string::npos);
  EXPECT_NE(bad.text.find("STATBRK"), std::string::npos);
}

class TrvMonitor : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    extra_dims_.push_back({dim::rtcl, 8});
    size(1, 1);
  }
  void call(int k, std::int32_t nc, std::array<std::int32_t, 3> state, double va = 0.0) {
    e_s1::time = k * e_s1::delt;
    rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    storage::nstori = storage::nstorf = 1;
    trvenvelope2_exe(nc, 0, state, std::array<double, 3>{va, 0.0, 0.0}, f_[0], f_[1], f_[2],
                     e_[0], e_[1], e_[2]);
  }
  std::array<double, 16> a_{};
  std::array<double, 8> b_{};
  std::array<double, 16> c_{};
  std::array<std::array<std::int32_t, 12>, 3> f_{};
  std::array<std::array<double, 24>, 3> e_{};
};

TEST_F(TrvMonitor, OnePointEnvelopeTimesThePoleFromTheStepBeforeItsOpening) {
  using trv_envelope::envelope;
  EXPECT_DOUBLE_EQ(envelope(0.5e-3, 1e-3, 10.0, 3e-3, 20.0), 5.0);
  EXPECT_DOUBLE_EQ(envelope(2e-3, 1e-3, 10.0, 3e-3, 20.0), 15.0);
  EXPECT_DOUBLE_EQ(envelope(4e-3, 1e-3, 10.0, 3e-3, 20.0), 20.0);
  a_[0] = 1e-3;
  a_[1] = 100.0;
  trvenvelope2_cfg(6, 0, 0, 0.0, a_, b_, c_);
  for (int k = 0; k < 40; ++k) {
    call(k, 1, {k < 10 ? 1 : 2, 1, 1}, 50.0);  // pole A starts opening at step 10
    const double u = k < 10 ? 0.0 : std::min(100.0, 100.0 * (k - 9) * e_s1::delt / 1e-3);
    ASSERT_NEAR(e_[0][0], u, 1e-9) << k;
    EXPECT_EQ(e_[0][1], -e_[0][0]);
    EXPECT_EQ(f_[0][0], k >= 10 && 50.0 > u ? 1 : 0) << k;
    EXPECT_EQ(e_[1][0], 0.0);
  }
  EXPECT_EQ(storage::nstorf + rt_config::nrtcf + rt_config::nrtci + rt_config::nrtcl, 7 + 42 + 3 + 4);
}

TEST_F(TrvMonitor, ResetOfOnePoleClearsTheOthersWhichAreRecomputedAndCountsAreChecked) {
  for (int j = 0; j < 4; ++j) {  // standard envelopes j: (1 ms (j+1), 10 (j+1), 4 ms (j+1), 20 (j+1))
    a_[4 * j] = 1e-3 * (j + 1);
    a_[4 * j + 1] = 10.0 * (j + 1);
    a_[4 * j + 2] = 4e-3 * (j + 1);
    a_[4 * j + 3] = 20.0 * (j + 1);
  }
  b_[0] = 2e-3;
  b_[1] = 30.0;
  trvenvelope2_cfg(2, 1, 0, 0.0, a_, b_, c_);
  for (int k = 0; k < 20; ++k) call(k, 5, {2, 2, 1});
  call(20, 5, {2, 0, 1});
  const double t = 21 * e_s1::delt;
  EXPECT_NEAR(e_[0][3], trv_envelope::envelope(t, 4e-3, 40.0, 16e-3, 80.0), 1e-12);
  EXPECT_NEAR(e_[0][4], 30.0 * t / 2e-3, 1e-12);
  EXPECT_EQ(e_[1][4], 0.0);
  const auto wrong = nettest::capture([&] { call(21, 4, {2, 2, 2}); });
  EXPECT_NE(wrong.text.find("Number of envelopes 4 does not match the 5 envelopes selected"),
            std::string::npos);
  release_all_and_reset();
  size(1, 1);
  const auto many = nettest::capture([&] { trvenvelope2_cfg(2, 5, 0, 0.0, a_, b_, c_); });
  EXPECT_NE(many.text.find("Number of listed envelopes N1 = 5 must lie between 0 and 4"),
            std::string::npos);
}

}  // namespace
