// The configured transport delays: the input reproduced exactly the configured
// number of steps late in the plain mode over a long run, the interpolating
// sub-step mode against its hand-worked sequence, the pass-through below half a
// step, the sample counts and the fixed pointer advance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "block_bench.h"
#include "blocks/configured_delay.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

// A signal with a different value on every step.
double signal(std::int32_t k) { return std::sin(0.7 * k) + 0.001 * k; }

// Pointers at the end of one dynamics pass.
struct Pointers {
  std::int32_t nstorf, nstori, nrtcf, nrtci, nrtcl;
  bool operator==(const Pointers&) const = default;
};
Pointers pointers_now() {
  return {storage::nstorf, storage::nstori, rt_config::nrtcf, rt_config::nrtci, rt_config::nrtcl};
}

TEST(ConfiguredDelay, PlainModeReproducesTheInputThreeStepsLateOverAThousandSteps) {
  // A step of 1e-4 s is not a binary fraction: the sample times are sums and
  // products that differ from the step times in their last bits.
  const double delt = 1e-4;
  BlockBench bench(delt);
  std::vector<double> d1, d2, d2init;
  std::vector<Pointers> seen;
  bench.begin = [&] {
    delay1_cfg(0, 100, 3.0 * delt);
    delay2_cfg(0, 100, 0, 3.0 * delt, 0.0);
    delay2_cfg(0, 100, 1, 3.0 * delt, 7.0);
  };
  bench.dynamics = [&] {
    const double x = signal(ctrl::iii);
    double y = 0.0;
    delay1_exe(x, y);
    d1.push_back(y);
    delay2_exe(x, y);
    d2.push_back(y);
    delay2_exe(x, y);
    d2init.push_back(y);
    seen.push_back(pointers_now());
  };
  const wakro_test::Outcome o = bench.run(1000);
  ASSERT_EQ(o.status, -1) << o.console;
  ASSERT_EQ(d2.size(), 1001u);
  for (std::int32_t k = 0; k <= 1000; ++k) {
    SCOPED_TRACE(k);
    // delay2 fills its buffer with the time-zero input, or with the initial value.
    EXPECT_EQ(d2[k], signal(std::max(k - 3, 0)));
    EXPECT_EQ(d2init[k], k <= 3 ? 7.0 : signal(k - 3));
    // delay1 keeps what the buffer held: the cleared store.
    EXPECT_EQ(d1[k], k <= 3 ? 0.0 : signal(k - 3));
  }
  // Three samples and a time slot each; delay1 one integer, delay2 two.
  const Pointers expected{1 + 3 * 4, 1 + 1 + 2 + 2, 1 + 1 + 2 + 2, 1 + 1 + 2 + 2, 1 + 3};
  EXPECT_EQ(seen, std::vector<Pointers>(1001, expected));
}

TEST(ConfiguredDelay, SubStepModeInterpolatesBetweenTheTwoOldestSamples) {
  const double delt = 1e-3;
  BlockBench bench(delt);
  std::vector<double> ramp, constant, oldRamp;
  std::vector<Pointers> seen;
  bench.begin = [&] {
    // 2.5 steps: n = 2 samples 1.25 steps apart, three buffer slots.
    delay2_cfg(1, 100, 0, 2.5 * delt, 0.0);
    delay2_cfg(1, 100, 0, 2.5 * delt, 0.0);
    delay1_cfg(1, 100, 2.5 * delt);
  };
  bench.dynamics = [&] {
    double y = 0.0;
    delay2_exe(e_s1::time, y);
    ramp.push_back(y);
    delay2_exe(5.0, y);
    constant.push_back(y);
    // The cleared buffer holds what delay2's fill with the time-zero input holds.
    delay1_exe(e_s1::time, y);
    oldRamp.push_back(y);
    seen.push_back(pointers_now());
  };
  const wakro_test::Outcome o = bench.run(6);
  ASSERT_EQ(o.status, -1) << o.console;
  // Worked by hand: the samples hold the input of the step at which they fall
  // due, and the output weighs the two oldest by the time left to the next one.
  const std::vector<double> expected = {0.0, 0.0, 0.0, 0.0, 2.4 * delt, 3.0 * delt, 3.8 * delt};
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_NEAR(ramp[k], expected[k], 1e-12 * delt) << k;
    EXPECT_NEAR(constant[k], 5.0, 1e-14) << k;
    EXPECT_NEAR(oldRamp[k], expected[k], 1e-12 * delt) << k;
  }
  EXPECT_EQ(rt_config::rtci(1), 2);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(1), 1.25 * delt);
  const Pointers pointers{1 + 3 * 4, 1 + 2 * 2 + 1, 1 + 2 * 2 + 1, 1 + 2 * 2 + 1, 1 + 3};
  EXPECT_EQ(seen, std::vector<Pointers>(7, pointers));
}

TEST(ConfiguredDelay, ALimitedDelaySamplesAtItsOwnSpacingIncludingExactTies) {
  // TD = 10 steps with at most 4 samples: spacing 2.5 steps, so sample k falls
  // due on step ceil(5k/2); on even k the sample time 2.5 k delt and the step
  // time meet exactly, up to the last bits of their products.
  const double delt = 1e-4;
  BlockBench bench(delt);
  std::vector<double> out;
  bench.begin = [&] { delay2_cfg(0, 4, 0, 10.0 * delt, 0.0); };
  bench.dynamics = [&] {
    double y = 0.0;
    delay2_exe(signal(ctrl::iii), y);
    out.push_back(y);
  };
  const wakro_test::Outcome o = bench.run(400);
  ASSERT_EQ(o.status, -1) << o.console;
  const auto due_step = [](std::int32_t k) { return (5 * k + 1) / 2; };
  std::int32_t written = 0;  // samples written before this step's output
  for (std::int32_t m = 0; m <= 400; ++m) {
    // The oldest of four slots: the fill (the time-zero input) until four
    // samples are in, then the sample written four samples ago.
    const double expected = written < 4 ? signal(0) : signal(due_step(written - 3));
    EXPECT_EQ(out[m], expected) << m;
    if (m >= 1 && m == due_step(written + 1)) ++written;
  }
  EXPECT_EQ(written, 160);
}

TEST(ConfiguredDelay, SampleCountsRoundTruncateAndLimit) {
  const double delt = 1e-4;
  BlockBench bench(delt);
  rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
  e_s1::delt = delt;
  // 3e-4 / 1e-4 is 2.9999999999999996 in binary arithmetic.
  delay2_cfg(0, 100, 0, 3e-4, 0.0);  // nearest: 3
  delay2_cfg(1, 100, 0, 3e-4, 0.0);  // truncated after the nudge: 3
  delay1_cfg(1, 100, 3e-4);          // truncated without it: 2
  delay1_cfg(0, 100, 3e-4);          // nearest: 3
  delay2_cfg(0, 4, 0, 10.0 * delt, 0.0);   // limited to 4
  delay2_cfg(0, 0, 0, 10.0 * delt, 0.0);   // a maximum of none: 0
  delay2_cfg(0, -5, 0, 10.0 * delt, 0.0);  // a negative maximum: 0
  delay2_cfg(0, 100, 0, -3.0 * delt, 0.0); // a negative delay: 0
  const std::vector<std::int32_t> samples = {rt_config::rtci(1), rt_config::rtci(3), rt_config::rtci(5),
                                             rt_config::rtci(6), rt_config::rtci(7), rt_config::rtci(9),
                                             rt_config::rtci(11), rt_config::rtci(13)};
  EXPECT_EQ(samples, (std::vector<std::int32_t>{3, 3, 2, 3, 4, 0, 0, 0}));
  EXPECT_EQ(rt_config::nrtci, 15);
  // The limited delay samples every 2.5 steps; none samples at spacing 0.
  EXPECT_DOUBLE_EQ(rt_config::rtcf(7), 2.5 * delt);
  EXPECT_EQ(rt_config::rtcf(9), 0.0);
}

TEST(ConfiguredDelay, BelowHalfAStepTheInputPassesThroughInBothModes) {
  const double delt = 1e-3;
  BlockBench bench(delt);
  std::vector<double> plain, sub, old;
  std::vector<Pointers> seen;
  bench.begin = [&] {
    delay2_cfg(0, 100, 1, 0.4 * delt, 9.0);
    delay2_cfg(1, 100, 1, 0.4 * delt, 9.0);
    delay1_cfg(0, 100, 0.4 * delt);
  };
  bench.dynamics = [&] {
    const double x = signal(ctrl::iii);
    double y = 0.0;
    delay2_exe(x, y);
    plain.push_back(y);
    delay2_exe(x, y);
    sub.push_back(y);
    delay1_exe(x, y);
    old.push_back(y);
    seen.push_back(pointers_now());
  };
  const wakro_test::Outcome o = bench.run(20);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::int32_t k = 0; k <= 20; ++k) {
    EXPECT_EQ(plain[k], signal(k));
    EXPECT_EQ(sub[k], signal(k));
    EXPECT_EQ(old[k], signal(k));
  }
  // One buffer slot and the time slot each.
  const Pointers pointers{1 + 3 * 2, 1 + 2 + 2 + 1, 1 + 2 + 2 + 1, 1 + 2 + 2 + 1, 1 + 3};
  EXPECT_EQ(seen, std::vector<Pointers>(21, pointers));
}

TEST(ConfiguredDelay, AStoredIndexOutsideItsBufferRestartsAtTheFirstSample) {
  const double delt = 1e-3;
  BlockBench bench(delt);
  std::vector<double> out;
  bench.begin = [&] { delay2_cfg(0, 100, 1, 2.0 * delt, 4.0); };
  bench.dynamics = [&] {
    // Before step 2 the index is spoiled: it names a slot far past the buffer.
    if (ctrl::iii == 2) storage::stori(1) = 350;
    double y = 0.0;
    delay2_exe(signal(ctrl::iii), y);
    out.push_back(y);
  };
  const wakro_test::Outcome o = bench.run(5);
  ASSERT_EQ(o.status, -1) << o.console;
  // Buffer slots 2 and 3 of STORF; step 1 wrote slot 2, so step 2 would read
  // slot 3 (the fill). It restarts at slot 2 instead (the input of step 1) and
  // overwrites it; slot 3 then comes next.
  EXPECT_EQ(out, (std::vector<double>{4.0, 4.0, signal(1), 4.0, signal(2), signal(3)}));
  EXPECT_EQ(storage::storf(350), 0.0);
}

}  // namespace
}  // namespace blocks_test
