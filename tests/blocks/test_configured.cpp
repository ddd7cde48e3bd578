// The configured blocks: every parameter check with its exact lines and tag and
// its pointers left where they were; the mappings of ramp, scaling, discretizer,
// counter, triangle wave and transfer characteristic, run through the block bench.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "support/fatal_capture.h"
#include "blocks/configured.h"
#include "model/ctrl.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

struct BadParameters {
  const char* what;
  std::function<void()> cfg;
  std::vector<std::string> texts;
  std::string tag;
};

TEST(ConfiguredBlocks, EveryParameterCheckStopsWithItsLinesAndLeavesThePointers) {
  const std::vector<BadParameters> cases = {
      {"ramp reversed", [] { ramp1_cfg(2.0, 1.0, 0.0, 1.0); },
       {"Start of ramp should be less than saturating input"}, "RAMP        "},
      {"ramp of no width", [] { ramp1_cfg(1.0, 1.0, 0.0, 1.0); },
       {"Start of ramp should be less than saturating input"}, "RAMP        "},
      {"scaling of one point", [] { convert_scale1_cfg(1.0, 0.0, 1.0, 5.0); },
       {"Entered data points does not ", "create one-to-one translation "}, "CONVERTSCALE"},
      {"discretizer of one point", [] { discretizer1_cfg(2.0, 0, 2.0, 10); },
       {"Entered data points does not ", "create one-to-one translation "}, "CONVERTSCALE"},
      {"counter of no range", [] { counter1_cfg(3, 3, 0); },
       {"Lower value must be less than upper value."}, "COUNTER     "},
      {"counter reversed", [] { counter1_cfg(4, 3, 1); },
       {"Lower value must be less than upper value."}, "COUNTER     "},
      {"triangle of no band", [] { sawtooth1_cfg(1.0, 1.0); },
       {"Maximum must be greater than minimum"}, "SAWTOOTH    "},
      {"triangle reversed", [] { sawtooth1_cfg(-1.0, 1.0); },
       {"Maximum must be greater than minimum"}, "SAWTOOTH    "},
      {"characteristic reversed", [] { txferfnc1_cfg(2.0, 0.0, 1.0, 1.0, 0.0, 0.0); },
       {"Upper threshold cannot be less than lower threshold."}, "TXFER_FUNC  "},
  };
  for (const BadParameters& c : cases) {
    SCOPED_TRACE(c.what);
    BlockBench bench(1e-3);
    e_warn::comp_id1 = 7;
    e_warn::comp_id2 = 2;
    rt_config::nrtcf = 4;
    rt_config::nrtci = 3;
    rt_config::nrtcl = 2;
    bool returned = false;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      c.cfg();
      returned = true;
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_FALSE(returned);
    EXPECT_EQ(lines_of(o.console), fatal_lines(c.texts, c.tag, 7, 2));
    EXPECT_EQ(rt_config::nrtcf, 4);
    EXPECT_EQ(rt_config::nrtci, 3);
    EXPECT_EQ(rt_config::nrtcl, 2);
  }
}

TEST(ConfiguredBlocks, RampMapsItsInputAndWarnsOnceOfAFlatRamp) {
  BlockBench bench(1e-3);
  // Input per step; X1 = 1, X2 = 2, Y1 = 0, Y2 = 10; the second ramp is flat.
  const std::vector<double> x = {0.5, 1.0, 1.5, 2.0, 3.0, 1.25};
  std::vector<double> y, flat;
  std::vector<std::int32_t> nrtcf;
  bench.begin = [] {
    e_warn::comp_id1 = 3;
    e_warn::comp_id2 = 1;
    ramp1_cfg(1.0, 2.0, 0.0, 10.0);
    ramp1_cfg(0.0, 1.0, 4.0, 4.0);
  };
  bench.dynamics = [&] {
    double out = -1.0, outFlat = -1.0;
    ramp1_exe(x[ctrl::iii], out);
    ramp1_exe(x[ctrl::iii], outFlat);
    y.push_back(out);
    flat.push_back(outFlat);
    nrtcf.push_back(rt_config::nrtcf);
  };
  const wakro_test::Outcome o = bench.run(5);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(y, (std::vector<double>{0.0, 0.0, 5.0, 10.0, 10.0, 2.5}));
  EXPECT_EQ(flat, std::vector<double>(6, 4.0));
  EXPECT_EQ(nrtcf, std::vector<std::int32_t>(6, 11));
  EXPECT_EQ(o.console, " ***WARN*** Outputs at the begining and at the end of ramp are the same." + ids(3, 1) +
                           "\n");
}

TEST(ConfiguredBlocks, ScalingAndDiscretizerMapEveryInput) {
  BlockBench bench(1e-3);
  std::vector<double> scaled(4, -9.0);
  std::vector<std::int32_t> levels(7, -9), signedLevels(2, -9);
  std::vector<double> none = {42.0};
  bench.begin = [] {
    convert_scale1_cfg(0.0, 1.0, 2.0, 5.0);  // gain 2, offset 1
    convert_scale1_cfg(0.0, 1.0, 2.0, 5.0);
    discretizer1_cfg(0.0, 0, 10.0, 10);  // gain 1, levels 0 .. 10
    discretizer1_cfg(-5.0, -5, 5.0, 5);  // gain 1, levels -5 .. 5
  };
  bench.dynamics = [&] {
    const std::vector<double> x = {0.0, 1.0, -2.0, 0.25};
    convert_scale1_exe(3, x, scaled);
    convert_scale1_exe(0, x, none);
    const std::vector<double> d = {2.5, -0.5, 10.4, 11.0, 3.49, 9.5, std::nan("")};
    discretizer1_exe(7, d, levels);
    const std::vector<double> s = {-2.5, 2.5};
    discretizer1_exe(2, s, signedLevels);
  };
  const wakro_test::Outcome o = bench.run(2);
  ASSERT_EQ(o.status, -1) << o.console;
  // Only the first three inputs are scaled; the fourth output is untouched.
  EXPECT_EQ(scaled, (std::vector<double>{1.0, 3.0, -3.0, -9.0}));
  EXPECT_EQ(none, std::vector<double>{42.0});
  EXPECT_EQ(levels, (std::vector<std::int32_t>{3, 0, 10, 10, 3, 10, 0}));
  EXPECT_EQ(signedLevels, (std::vector<std::int32_t>{-3, 3}));
  EXPECT_EQ(rt_config::nrtcf, 9);
  EXPECT_EQ(rt_config::nrtci, 5);
}

TEST(ConfiguredBlocks, ACountBeyondTheArrayStopsTheRun) {
  BlockBench bench(1e-3);
  std::vector<double> x(3, 1.0);
  std::vector<std::int32_t> out(3);
  rt_config::nrtcf = 1;
  rt_config::nrtci = 1;
  EXPECT_EQ(wakro_test::stop_message([&] { discretizer1_exe(4, x, out); }),
            "DISCRETIZER1_EXE: 4 values asked of an array of 3");
  EXPECT_EQ(wakro_test::stop_message([&] { convert_scale1_exe(2, x, std::span<double>()); }),
            "CONVERT_SCALE1_EXE: 2 values asked of an array of 0");
  EXPECT_EQ(rt_config::nrtcf, 1);
  EXPECT_EQ(rt_config::nrtci, 1);
}

TEST(ConfiguredBlocks, CounterSaturatesWrapsAndResets) {
  BlockBench bench(1e-3);
  struct Counter {
    std::int32_t direction;
    std::int32_t resetAt;  // step of a reset, -1 none
    std::int32_t resetValue;
    std::vector<std::int32_t> seen;
  };
  std::vector<Counter> counters = {
      {1, -1, 1, {}},   // saturating, up from 1
      {1, -1, 1, {}},   // wrapping, up from 1
      {-1, -1, 1, {}},  // wrapping, down from 1
      {0, 3, 7, {}},    // holding; starts at 7 clamped to 3, reset to -4 -> 0 at step 3
      {-1, 2, -4, {}},  // saturating down from 0 (-4 clamped); reset on step 2 -> 0
  };
  bench.begin = [] {
    counter1_cfg(0, 3, 0);
    counter1_cfg(0, 3, 1);
    counter1_cfg(0, 3, 2);
    counter1_cfg(0, 3, 0);
    counter1_cfg(0, 3, 0);
  };
  bench.dynamics = [&] {
    for (std::size_t k = 0; k < counters.size(); ++k) {
      Counter& c = counters[k];
      std::int32_t out = -99;
      const std::int32_t resetValue = k == 3 && ctrl::iii > 0 ? -4 : c.resetValue;
      counter1_exe(c.direction, ctrl::iii == c.resetAt ? 1 : 0, resetValue, out);
      c.seen.push_back(out);
    }
  };
  const wakro_test::Outcome o = bench.run(5);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(counters[0].seen, (std::vector<std::int32_t>{1, 2, 3, 3, 3, 3}));
  EXPECT_EQ(counters[1].seen, (std::vector<std::int32_t>{1, 2, 3, 0, 1, 2}));
  EXPECT_EQ(counters[2].seen, (std::vector<std::int32_t>{1, 0, 3, 2, 1, 0}));
  EXPECT_EQ(counters[3].seen, (std::vector<std::int32_t>{3, 3, 3, 0, 0, 0}));
  EXPECT_EQ(counters[4].seen, (std::vector<std::int32_t>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(rt_config::nrtci, 16);
  EXPECT_EQ(storage::nstori, 6);
}

// The symmetric triangle between -1 and 1 that starts in the middle, rising, as
// a function of the phase p in periods: 4p, 2 - 4p, 4p - 4 on its three parts.
double triangle(double p) {
  const double f = p - std::floor(p);
  if (f <= 0.25) return 4.0 * f;
  if (f <= 0.75) return 2.0 - 4.0 * f;
  return 4.0 * f - 4.0;
}

TEST(ConfiguredBlocks, TriangleWaveFollowsItsClosedFormAtLowAndHighFrequency) {
  const double delt = 1e-3;
  BlockBench bench(delt);
  // Phase advance per step F delt: 1/20 (20 steps a period), 0.37, and 1.3 (a
  // step longer than the band, folded back into it).
  const std::vector<double> perStep = {0.05, 0.37, 1.3};
  std::vector<std::vector<double>> seen(perStep.size());
  std::vector<std::int32_t> nstorf;
  bench.begin = [&] {
    for (std::size_t k = 0; k < perStep.size(); ++k) sawtooth1_cfg(1.0, -1.0);
  };
  bench.dynamics = [&] {
    for (std::size_t k = 0; k < perStep.size(); ++k) {
      double y = 9.0;
      sawtooth1_exe(perStep[k] / delt, y);
      seen[k].push_back(y);
    }
    nstorf.push_back(storage::nstorf);
  };
  const wakro_test::Outcome o = bench.run(200);
  ASSERT_EQ(o.status, -1) << o.console;
  // The first period of the slow wave, as in the hand-worked sequence.
  const std::vector<double> firstPeriod = {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 0.8, 0.6, 0.4, 0.2, 0.0,
                                           -0.2, -0.4, -0.6, -0.8, -1.0, -0.8, -0.6, -0.4, -0.2, 0.0};
  for (std::size_t n = 0; n < firstPeriod.size(); ++n) EXPECT_NEAR(seen[0][n], firstPeriod[n], 1e-12) << n;
  // Each step adds at most a few roundings of values of order 1 (no growth
  // through the reflections): 1e-12 covers 200 steps with a wide margin.
  for (std::size_t k = 0; k < perStep.size(); ++k)
    for (std::size_t n = 0; n < seen[k].size(); ++n) {
      EXPECT_NEAR(seen[k][n], triangle(perStep[k] * static_cast<double>(n)), 1e-12) << k << " " << n;
      EXPECT_LE(std::abs(seen[k][n]), 1.0);
    }
  EXPECT_EQ(nstorf, std::vector<std::int32_t>(201, 4));
}

TEST(ConfiguredBlocks, TransferCharacteristicAppliesItsThreeSlopes) {
  BlockBench bench(1e-3);
  const std::vector<double> x = {-2.0, 0.0, 1.0, 2.0, 3.0};
  std::vector<double> y, joined;
  bench.begin = [] {
    txferfnc1_cfg(0.0, 0.0, 2.0, 4.0, 0.5, 3.0);  // between: slope 2
    txferfnc1_cfg(1.0, 1.0, 1.0, 5.0, 0.5, 3.0);  // break points joined
  };
  bench.dynamics = [&] {
    double a = 0.0, b = 0.0;
    txferfnc1_exe(x[ctrl::iii], a);
    txferfnc1_exe(x[ctrl::iii], b);
    y.push_back(a);
    joined.push_back(b);
  };
  const wakro_test::Outcome o = bench.run(4);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(y, (std::vector<double>{-1.0, 0.0, 2.0, 4.0, 7.0}));
  // X1 = X2 = 1: Y1 - (1 - x) 0.5 at and below, Y2 + (x - 1) 3 above.
  EXPECT_EQ(joined, (std::vector<double>{-0.5, 0.5, 1.0, 8.0, 11.0}));
  EXPECT_EQ(rt_config::rtcf(14), 0.0);  // the joined characteristic's middle slope
}

}  // namespace
}  // namespace blocks_test
