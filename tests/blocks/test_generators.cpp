// The interpolated timers, pulse and signal generators and firing-pulse blocks:
// each edge at its exact instant inside the step (the time since the change in
// OUT(2)), hand-worked on a step of 1/1024 s so that every instant is exact;
// the waveforms against their closed forms; the parameter checks with their
// exact lines and tags; a long run of a period shorter than the step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/generators.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "support/fatal_capture.h"

namespace blocks_test {
namespace {

using wakro::blocks::XPair;

constexpr double kDelt = 1.0 / 1024.0;

// Per step: the input pair given, and the output pair the block gave.
using Pairs = std::vector<XPair>;

// Runs one block for the steps 0 .. inputs.size() - 1 with an input pair per step.
Pairs run_pairs(const Pairs& inputs, const std::function<void(const XPair&, XPair&)>& block,
                const std::function<void()>& begin = {}) {
  BlockBench bench(kDelt);
  Pairs out;
  if (begin) bench.begin = begin;
  bench.dynamics = [&] {
    XPair o = {-9.0, -9.0};
    block(inputs[ctrl::iii], o);
    out.push_back(o);
  };
  const wakro_test::Outcome r = bench.run(static_cast<std::int32_t>(inputs.size()) - 1);
  EXPECT_EQ(r.status, -1) << r.console;
  return out;
}

// Output pairs in units of the step: (value, time / delt).
Pairs in_steps(const Pairs& p) {
  Pairs q;
  for (const XPair& x : p) q.push_back({x[0], x[1] / kDelt});
  return q;
}

const XPair kOff = {0.0, 0.0};
XPair on_at(double stepsAgo) { return {1.0, stepsAgo * kDelt}; }
XPair off_at(double stepsAgo) { return {0.0, stepsAgo * kDelt}; }

TEST(InterpolatedTimers, OnDelayTurnsOnAtTheDelayedInstant) {
  // On 0.25 step before step 3 (at 2.75); D = 2.5 steps: on at 5.25, seen at
  // step 6 with 0.75 step. Off 0.5 step before step 9. A break at step 13
  // ends the second delay before it runs out.
  const Pairs x = {kOff,   kOff,        kOff, on_at(0.25), {1, 0},     {1, 0}, {1, 0}, {1, 0},
                   {1, 0}, off_at(0.5), kOff, kOff,        on_at(0.0), kOff,   {1, 0}, {1, 0}};
  const Pairs interpolated = in_steps(
      run_pairs(x, [](const XPair& in, XPair& out) { wakro_xondlay(1, 2.5 * kDelt, in, out); }));
  EXPECT_EQ(interpolated, (Pairs{{0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {1, 0.75},
                                 {1, 0},
                                 {1, 0},
                                 {0, 0.5},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0},
                                 {0, 0}}));
  // Without interpolation the delay counts from the end of step 3: on at 5.5, seen at step 6.
  const Pairs plain = in_steps(
      run_pairs(x, [](const XPair& in, XPair& out) { wakro_xondlay(0, 2.5 * kDelt, in, out); }));
  EXPECT_EQ(plain, (Pairs{{0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {1, 0},
                          {1, 0},
                          {1, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {0, 0}}));
  // A delay of no length passes the edge on with its own time.
  const Pairs none =
      in_steps(run_pairs(x, [](const XPair& in, XPair& out) { wakro_xondlay(1, 0.0, in, out); }));
  EXPECT_EQ(none[3], (XPair{1, 0.25}));
}

TEST(InterpolatedTimers, TransitionTimerDelaysBothEdges) {
  // On 0.25 step before step 2 (at 1.75), Ton = 2.5 steps: on at 4.25, seen at
  // step 5 with 0.75. Off 0.75 step before step 8 (at 7.25), Toff = 0.5 step:
  // off at 7.75, within step 8, with 0.25.
  const Pairs x = {kOff,   kOff,   on_at(0.25),  {1, 0}, {1, 0}, {1, 0},
                   {1, 0}, {1, 0}, off_at(0.75), kOff,   kOff};
  const Pairs out = in_steps(run_pairs(
      x, [](const XPair& in, XPair& o) { wakro_xttrans(0, 2.5 * kDelt, 0.5 * kDelt, in, o); }));
  EXPECT_EQ(out, (Pairs{{0, 0},
                        {0, 0},
                        {0, 0},
                        {0, 0},
                        {0, 0},
                        {1, 0.75},
                        {1, 0},
                        {1, 0},
                        {0, 0.25},
                        {0, 0},
                        {0, 0}}));
  // Starting on, an input that goes off 0.25 step before step 1 with Toff = 1.5
  // steps turns off at 2.25, seen at step 3 with 0.75.
  const Pairs y = {{1, 0}, off_at(0.25), kOff, kOff, kOff};
  const Pairs out2 = in_steps(
      run_pairs(y, [](const XPair& in, XPair& o) { wakro_xttrans(1, 0.0, 1.5 * kDelt, in, o); }));
  EXPECT_EQ(out2, (Pairs{{1, 0}, {1, 0}, {1, 0}, {0, 0.75}, {0, 0}}));
}

TEST(InterpolatedTimers, MonostableGivesOnePulseOfItsWidthPerRisingEdge) {
  // Rising 0.25 step before step 2 (at 1.75); W = 3 steps: off at 4.75, seen
  // at step 5 with 0.25. A second edge at step 7 while the input stays high
  // gives nothing; a new rise at step 9 starts a new pulse.
  const Pairs x = {kOff,   kOff,        on_at(0.25), {1, 0}, {1, 0}, {1, 0}, {1, 0},
                   {1, 0}, off_at(0.5), on_at(0.5),  {1, 0}, {1, 0}, {1, 0}, {1, 0}};
  const Pairs out = in_steps(
      run_pairs(x, [](const XPair& in, XPair& o) { wakro_xmstab(1, 3.0 * kDelt, in, o); }));
  EXPECT_EQ(out, (Pairs{{0, 0},
                        {0, 0},
                        {1, 0.25},
                        {1, 0},
                        {1, 0},
                        {0, 0.25},
                        {0, 0},
                        {0, 0},
                        {0, 0},
                        {1, 0.5},
                        {1, 0},
                        {1, 0},
                        {0, 0.5},
                        {0, 0}}));
  // Width 0: the output returns to 0 within the step of the edge, at the edge.
  const Pairs none =
      in_steps(run_pairs(x, [](const XPair& in, XPair& o) { wakro_xmstab(1, 0.0, in, o); }));
  EXPECT_EQ(none[2], (XPair{0, 0.25}));
  for (const XPair& p : none) EXPECT_EQ(p[0], 0.0);
  // Without interpolation the pulse counts from the end of the step of the edge.
  const Pairs plain = in_steps(
      run_pairs(x, [](const XPair& in, XPair& o) { wakro_xmstab(0, 3.0 * kDelt, in, o); }));
  EXPECT_EQ(plain[4], (XPair{1, 0}));
  EXPECT_EQ(plain[5], (XPair{0, 0}));
}

TEST(PulseGenerators, ImpulsesFallAtTheirInstantsWithTheirHeights) {
  // Area H = 1: height 1/delt. T1 = 2.5 steps, P = 3 steps: impulses at 2.5,
  // 5.5, 8.5, each seen one step later with 0.5 step.
  BlockBench bench(kDelt);
  Pairs area, plain;
  std::vector<std::int32_t> count;
  bench.dynamics = [&] {
    XPair a, p;
    const std::int32_t first = storage::nstori;
    wakro_xigen(1, 1, 2.5 * kDelt, 1.0, 3.0 * kDelt, a);
    count.push_back(storage::stori(first));
    wakro_xigen(0, 0, 2.5 * kDelt, 4.0, 3.0 * kDelt, p);
    area.push_back({a[0] * kDelt, a[1] / kDelt});
    plain.push_back(p);
  };
  const wakro_test::Outcome o = bench.run(9);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(
      area,
      (Pairs{
          {0, 0}, {0, 0}, {0, 0}, {1, 0.5}, {0, 0}, {0, 0}, {1, 0.5}, {0, 0}, {0, 0}, {1, 0.5}}));
  EXPECT_EQ(
      plain,
      (Pairs{{0, 0}, {0, 0}, {0, 0}, {4, 0}, {0, 0}, {0, 0}, {4, 0}, {0, 0}, {0, 0}, {4, 0}}));
  EXPECT_EQ(count, (std::vector<std::int32_t>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3}));
}

TEST(PulseGenerators, ConfiguredImpulsesUseThePeriodOfTheirFrequency) {
  // T1 = 2.5 steps, F = 1/(4 steps): impulses at 2.5, 6.5, 10.5.
  BlockBench bench(kDelt);
  Pairs area, plain;
  bench.begin = [] {
    e_xigen1_cfg(0, 2.5 * kDelt, 5.0, 1.0 / (4.0 * kDelt));
    e_xigen1_cfg(1, 2.0 * kDelt, 2.0, 1.0 / (4.0 * kDelt));
  };
  bench.dynamics = [&] {
    XPair a, p;
    e_xigen1_exe(p);
    e_xigen1_exe(a);
    plain.push_back({p[0], p[1] / kDelt});
    area.push_back({a[0] * kDelt, a[1] / kDelt});
    EXPECT_EQ(rt_config::nrtcf, 9);
  };
  const wakro_test::Outcome o = bench.run(11);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(plain, (Pairs{{0, 0},
                          {0, 0},
                          {0, 0},
                          {5, 0.5},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {5, 0.5},
                          {0, 0},
                          {0, 0},
                          {0, 0},
                          {5, 0.5}}));
  // On the step instants themselves: at 2, 6, 10 with no time inside the step.
  EXPECT_EQ(area, (Pairs{{0, 0},
                         {0, 0},
                         {2, 0},
                         {0, 0},
                         {0, 0},
                         {0, 0},
                         {2, 0},
                         {0, 0},
                         {0, 0},
                         {0, 0},
                         {2, 0},
                         {0, 0}}));
}

TEST(PulseGenerators, PulseHasItsDutyWithBothEdgesInsideTheStep) {
  // F = 1/(10 steps), duty 50 %: on-time 5 steps. Phase 90 degrees starts the
  // period at 2.5 steps: high at steps 0..2, the fall at 2.5 (seen at 3 with
  // 0.5), low to step 7, the rise at 7.5 (seen at 8 with 0.5), high for five.
  BlockBench bench(kDelt);
  Pairs interpolated, plain;
  bench.dynamics = [&] {
    XPair a, b;
    wakro_xsgen(2, 1, 90.0, 1.0 / (10.0 * kDelt), 50.0, 1.0, 0.0, a);
    wakro_xsgen(2, 0, 0.0, 1.0 / (10.0 * kDelt), 50.0, 1.0, 0.0, b);
    interpolated.push_back({a[0], a[1] / kDelt});
    plain.push_back(b);
  };
  const wakro_test::Outcome o = bench.run(19);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(interpolated, (Pairs{{1, 0}, {1, 0},   {1, 0}, {0, 0.5}, {0, 0},   {0, 0}, {0, 0},
                                 {0, 0}, {1, 0.5}, {1, 0}, {1, 0},   {1, 0},   {1, 0}, {0, 0.5},
                                 {0, 0}, {0, 0},   {0, 0}, {0, 0},   {1, 0.5}, {1, 0}}));
  // Held at its old value up to each edge and at the new one after it, the
  // pulse integrates over any whole period (ten steps) to exactly half of it.
  for (std::size_t first = 1; first + 10 <= interpolated.size(); ++first) {
    double area = 0.0;
    for (std::size_t n = first; n < first + 10; ++n)
      area += interpolated[n - 1][0] * (1.0 - interpolated[n][1]) +
              interpolated[n][0] * interpolated[n][1];
    EXPECT_EQ(area, 5.0) << first;
  }
  // Without interpolation: five steps at the maximum, five at the minimum.
  for (std::size_t n = 0; n < plain.size(); ++n)
    EXPECT_EQ(plain[n], (XPair{n % 10 < 5 ? 1.0 : 0.0, 0.0})) << n;
}

TEST(PulseGenerators, TriangleFollowsItsTwoSlopes) {
  // F = 1/(8 steps), duty 25 %: up from -1 to 3 over 2 steps, down over 6.
  BlockBench bench(kDelt);
  std::vector<double> y;
  bench.dynamics = [&] {
    XPair a;
    wakro_xsgen(1, 1, 0.0, 1.0 / (8.0 * kDelt), 25.0, 3.0, -1.0, a);
    EXPECT_EQ(a[1], 0.0);
    y.push_back(a[0]);
  };
  const wakro_test::Outcome o = bench.run(16);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::size_t n = 0; n < y.size(); ++n) {
    const double tau = static_cast<double>(n % 8);
    const double expected = tau <= 2.0 ? -1.0 + 2.0 * tau : 3.0 - 4.0 / 6.0 * (tau - 2.0);
    EXPECT_NEAR(y[n], expected, 1e-12) << n;
  }
}

// The time within the period of a generator with phase 90 degrees at time t.
double tau_at(double t, double P) { return std::fmod(0.25 * P + t, P); }

TEST(PulseGenerators, TimeWithinThePeriodStaysBoundedOverALongRun) {
  // 2^18 steps. P = 7.3 steps: the triangle (duty 50 %, band [-1, 1]) follows
  // its closed form at (t + P/4) mod P to the end. P = 0.7 step: the on-time
  // and the rest are each below half a step, so both slopes are 0 and the wave
  // is -1 up to the on-time and 1 after it; it never leaves its band, and the
  // time within the period (1/4 + k/7 of P) never lands on a corner.
  const double P = 7.3 * kDelt, p = 0.7 * kDelt;
  BlockBench bench(kDelt);
  double worst = 0.0, worstShort = 0.0;
  bench.dynamics = [&] {
    XPair a, b;
    wakro_xsgen(1, 0, 90.0, 1.0 / P, 50.0, 1.0, -1.0, a);
    wakro_xsgen(1, 0, 90.0, 1.0 / p, 50.0, 1.0, -1.0, b);
    const double tau = tau_at(e_s1::time, P);
    const double expected = tau <= 0.5 * P ? -1.0 + 4.0 * tau / P : 1.0 - 4.0 * (tau - 0.5 * P) / P;
    worst = std::max(worst, std::abs(a[0] - expected));
    worstShort =
        std::max(worstShort, std::abs(b[0] - (tau_at(e_s1::time, p) <= 0.5 * p ? -1.0 : 1.0)));
  };
  const wakro_test::Outcome o = bench.run(1 << 18);
  ASSERT_EQ(o.status, -1) << o.console;
  // Each step rounds the time within the period by at most 2^-53 P; the slope is
  // 4/P, so after 2^18 steps the wave is off by at most 2^-33.
  EXPECT_LT(worst, 2e-10);
  EXPECT_EQ(worstShort, 0.0);
}

TEST(PulseGenerators, ConfiguredGeneratorWrapsItsPhaseAndAlwaysInterpolates) {
  // Phase 450 degrees is 90; -270 is 90 too. Duty 50 %, F = 1/(10 steps).
  BlockBench bench(kDelt);
  Pairs a, b;
  bench.begin = [] {
    e_xsgen1_cfg(2, 450.0, 50.0, 1.0, 0.0);
    e_xsgen1_cfg(2, -270.0, 50.0, 1.0, 0.0);
    EXPECT_NEAR(rt_config::rtcf(1), 90.0, 1e-9);
    EXPECT_NEAR(rt_config::rtcf(5), 90.0, 1e-9);
  };
  bench.dynamics = [&] {
    XPair p, q;
    e_xsgen1_exe(2, 1.0 / (10.0 * kDelt), p);
    e_xsgen1_exe(2, 1.0 / (10.0 * kDelt), q);
    a.push_back({p[0], p[1] / kDelt});
    b.push_back({q[0], q[1] / kDelt});
  };
  const wakro_test::Outcome o = bench.run(9);
  ASSERT_EQ(o.status, -1) << o.console;
  const Pairs expected = {{1, 0}, {1, 0}, {1, 0}, {0, 0.5}, {0, 0},
                          {0, 0}, {0, 0}, {0, 0}, {1, 0.5}, {1, 0}};
  for (std::size_t n = 0; n < expected.size(); ++n) {
    EXPECT_NEAR(a[n][1], expected[n][1], 1e-9) << n;
    EXPECT_EQ(a[n][0], expected[n][0]) << n;
    EXPECT_NEAR(b[n][1], expected[n][1], 1e-9) << n;
  }
}

TEST(PulseGenerators, FrequencyWarningsNameTheSubstitute) {
  BlockBench bench(kDelt);
  Pairs tiny, negative;
  bench.begin = [] {
    e_warn::comp_id1 = 0;
    e_xsgen1_cfg(1, 0.0, 50.0, 1.0, 0.0);
  };
  bench.dynamics = [&] {
    XPair p, q;
    wakro_xsgen(1, 0, 0.0, 0.0, 50.0, 1.0, 0.0, p);
    // -1/(4 steps) is used as 1/(4 steps): up over 2 steps, down over 2.
    e_xsgen1_exe(1, -1.0 / (4.0 * kDelt), q);
    tiny.push_back(p);
    negative.push_back(q);
  };
  const wakro_test::Outcome o = bench.run(1);
  ASSERT_EQ(o.status, -1) << o.console;
  // Period 1e6 s, on-time 5e5 s: the rise is 2e-6 per second.
  EXPECT_NEAR(tiny[1][0], 2e-6 * kDelt, 1e-18);
  EXPECT_EQ(negative[0][0], 0.0);
  EXPECT_EQ(negative[1][0], 0.5);
  const std::string small =
      " ***WARN*** SIGNAL GENERATOR - Frequency is too small, 1.0E-6 is assumed.\n";
  const std::string absolute = " ***WARN*** Frequency is negative, Absolute value is assumed\n";
  EXPECT_EQ(o.console, small + absolute + small + absolute);
}

struct BadGenerator {
  const char* what;
  std::function<void()> cfg;
  std::vector<std::string> texts;
  std::string tag;
};

TEST(PulseGenerators, EveryParameterCheckStopsWithItsLinesAndLeavesThePointers) {
  const std::vector<BadGenerator> cases = {
      {"no frequency",
       [] { e_xigen1_cfg(0, 0.0, 1.0, 0.0); },
       {"Frequency must be greater than zero"},
       "IMPULSE     "},
      {"negative first time",
       [] { e_xigen1_cfg(0, -1.0, 1.0, 50.0); },
       {"Time of first impulse cannot be negative"},
       "IMPULSE     "},
      {"no height",
       [] { e_xigen1_cfg(1, 0.0, 0.0, 50.0); },
       {"Height of impulse must be greater than zero"},
       "IMPULSE     "},
      {"all three",
       [] { e_xigen1_cfg(1, -1.0, -2.0, -50.0); },
       {"Frequency must be greater than zero", "Time of first impulse cannot be negative",
        "Height of impulse must be greater than zero"},
       "IMPULSE     "},
      {"band reversed",
       [] { e_xsgen1_cfg(1, 0.0, 50.0, 0.0, 1.0); },
       {"Maximum must be greater than Minimim"},
       "E_XSGEN     "},
      {"full duty",
       [] { e_xsgen1_cfg(2, 0.0, 100.0, 1.0, 0.0); },
       {"Duty cycle cannot be 0 or 100 for a pulse"},
       "E_XSGEN     "},
      {"no duty and no band",
       [] { e_xsgen1_cfg(2, 0.0, 0.0, 1.0, 1.0); },
       {"Maximum must be greater than Minimim", "Duty cycle cannot be 0 or 100 for a pulse"},
       "E_XSGEN     "},
  };
  for (const BadGenerator& c : cases) {
    SCOPED_TRACE(c.what);
    BlockBench bench(kDelt);
    e_warn::comp_id1 = 6;
    e_warn::comp_id2 = 3;
    rt_config::nrtcf = 2;
    bool returned = false;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      c.cfg();
      returned = true;
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_FALSE(returned);
    std::vector<std::string> lines;
    for (const std::string& t : c.texts) lines.push_back(" ***ERROR** " + t + ids(6, 3));
    for (const std::string& l : stop_lines(c.tag)) lines.push_back(l);
    EXPECT_EQ(lines_of(o.console), lines);
    EXPECT_EQ(rt_config::nrtcf, 2);
  }
  // A duty of 0 or 100 is allowed for the triangle.
  BlockBench bench(kDelt);
  const wakro_test::Outcome o =
      wakro_test::run_captured([] { e_xsgen1_cfg(1, 0.0, 100.0, 1.0, 0.0); });
  EXPECT_EQ(o.status, -1);
}

// A ramp of one unit per step, ..., -3, -2, ..., and an order; the firing
// blocks run for steps 0 .. n with the ramp value -3 + step.
std::vector<double> unit_ramp(std::size_t n) {
  std::vector<double> r;
  for (std::size_t k = 0; k <= n; ++k) r.push_back(-3.0 + static_cast<double>(k));
  return r;
}

TEST(FiringPulses, CrossingInsideTheBandKeepsTheDetectorsInstant) {
  // Order 0.37: the ramp passes it between 0 (step 3) and 1 (step 4), 0.63 step
  // before step 4. The pulse of width 2.5 steps ends at the first step after
  // 4 + 2.5 + 1e-6: step 7.
  const std::vector<double> ramp = unit_ramp(9);
  BlockBench bench(kDelt);
  Pairs crossing, pulse;
  bench.dynamics = [&] {
    XPair c, p;
    const double a = ramp[ctrl::iii];
    wakro_blp(a, 0.37, 10.0, -10.0, c);
    wakro_itfp(1, 2.5 * kDelt, 10.0, -10.0, a, 0.37, p);
    crossing.push_back({c[0], c[1] / kDelt});
    pulse.push_back({p[0], p[1] / kDelt});
  };
  const wakro_test::Outcome o = bench.run(9);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(crossing[4][0], 1.0);
  EXPECT_NEAR(crossing[4][1], 0.63, 1e-12);
  for (std::size_t n = 0; n < crossing.size(); ++n)
    if (n != 4) {
      EXPECT_EQ(crossing[n], (XPair{0, 0})) << n;
    }
  EXPECT_NEAR(pulse[4][1], 0.63, 1e-12);
  const std::vector<double> level = {0, 0, 0, 0, 1, 1, 1, 0, 0, 0};
  for (std::size_t n = 0; n < pulse.size(); ++n) {
    EXPECT_EQ(pulse[n][0], level[n]) << n;
    if (n != 4) {
      EXPECT_EQ(pulse[n][1], 0.0) << n;
    }
  }
}

TEST(FiringPulses, RampThatLeavesTheBandIsCorrectedFromItsEdge) {
  // Band [L, U] = [0, 10]. Rising sawtooth 0, 4, 8, then reset at U half a step
  // before step 3 and on to 2; order 9. On step 3: s2 = 4, s1 = 8, e = 12 > U
  // and s1 <= s0, so the upper correction: t = delt + (8 - 10) delt/4 =
  // delt/2, OUT = (1, (2 - 9) / ((9 - 9)/delt - (10 - 2)/t)) = (1, 7/16 delt).
  // Falling sawtooth 10, 6, 2, reset at L half a step before step 3 and on to
  // 8; order 1. On step 3: e = -2 < L, s1 > s0, far from the band: the lower
  // correction: t = delt + (2 - 0) delt/(-4) = delt/2, OUT = (1, (8 - 1) /
  // ((1 - 1)/delt - (0 - 8)/t)) = (1, 7/16 delt). The plain detector sees no
  // crossing on either step.
  const std::vector<double> up = {0.0, 4.0, 8.0, 2.0}, down = {10.0, 6.0, 2.0, 8.0};
  BlockBench bench(kDelt);
  Pairs upper, lower;
  bench.dynamics = [&] {
    XPair c, d;
    wakro_blp(up[ctrl::iii], 9.0, 10.0, 0.0, c);
    wakro_blp(down[ctrl::iii], 1.0, 10.0, 0.0, d);
    upper.push_back({c[0], c[1] / kDelt});
    lower.push_back({d[0], d[1] / kDelt});
  };
  const wakro_test::Outcome o = bench.run(3);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(upper, (Pairs{{0, 0}, {0, 0}, {0, 0}, {1, 7.0 / 16.0}}));
  EXPECT_EQ(lower, (Pairs{{0, 0}, {0, 0}, {0, 0}, {1, 7.0 / 16.0}}));
}

TEST(FiringPulses, GateTurnsOnAndOffAtItsCrossings) {
  // On ramp -3 + step over the order 0.37: on 0.63 step before step 4. Off ramp
  // 7.5 - step falls through the order 0.25 0.75 step before step 8.
  const std::vector<double> ramp = unit_ramp(10);
  BlockBench bench(kDelt);
  Pairs gate, startsOn, disabled;
  bench.dynamics = [&] {
    XPair g, s, d;
    const double n = static_cast<double>(ctrl::iii);
    wakro_igfp(1, 10.0, -10.0, ramp[ctrl::iii], 0.37, 0.25, 7.5 - n, g);
    wakro_igfp(1, 10.0, -10.0, 5.0 + n, 0.37, 0.25, 7.5 - n, s);
    wakro_igfp(0, 10.0, -10.0, ramp[ctrl::iii], 0.37, 0.25, 7.5 - n, d);
    gate.push_back({g[0], g[1] / kDelt});
    startsOn.push_back({s[0], s[1] / kDelt});
    disabled.push_back(d);
  };
  const wakro_test::Outcome o = bench.run(10);
  ASSERT_EQ(o.status, -1) << o.console;
  ASSERT_EQ(gate.size(), 11u);
  for (std::size_t n = 0; n < gate.size(); ++n) {
    const double level = n >= 4 && n < 8 ? 1.0 : 0.0;
    const double since = n == 4 ? 0.63 : (n == 8 ? 0.75 : 0.0);
    EXPECT_EQ(gate[n][0], level) << n;
    EXPECT_NEAR(gate[n][1], since, 1e-12) << n;
    // Above its order from time zero: on at once, off at the same instant.
    EXPECT_EQ(startsOn[n][0], n < 8 ? 1.0 : 0.0) << n;
    EXPECT_EQ(disabled[n], (XPair{0, 0})) << n;
  }
  EXPECT_NEAR(startsOn[8][1], 0.75, 1e-12);
}

}  // namespace
}  // namespace blocks_test
