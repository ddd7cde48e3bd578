// Frequency measurement through the block bench: a sine at the rated frequency,
// a step to another frequency, noise crossings, a low signal, no rating, and the
// pointer counts. The crossing instants come from a linear interpolation between
// samples 50 us apart; on a 50 Hz sine near zero its error is of the order of
// (w delt)^3 / 12 / w ~ 1e-10 s, far below the 1e-3 Hz asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "block_bench.h"
#include "blocks/frequency.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDelt = 5e-5;

struct Trace {
  std::vector<double> freq, vrms;
  std::vector<std::int32_t> usedF, usedL, usedS;
};

// Runs e_meas_freq on the samples x(n) of steps 0 .. nsteps.
template <class Signal>
Trace measure(std::int32_t nsteps, double vbase, double f0, Signal x) {
  Trace t;
  BlockBench bench(kDelt);
  std::int32_t n = 0;
  bench.dynamics = [&] {
    const std::int32_t f = storage::nstorf, l = storage::nstorl, s = e_s2::nexc;
    double vrms = 0.0, freq = 0.0;
    e_meas_freq(vbase, f0, x(n++), vrms, freq);
    t.freq.push_back(freq);
    t.vrms.push_back(vrms);
    t.usedF.push_back(storage::nstorf - f);
    t.usedL.push_back(storage::nstorl - l);
    t.usedS.push_back(e_s2::nexc - s);
  };
  const wakro_test::Outcome o = bench.run(nsteps);
  EXPECT_EQ(o.status, -1) << o.console;
  return t;
}

std::int32_t step_at(double t) { return static_cast<std::int32_t>(std::lround(t / kDelt)); }
// The step at which a crossing at t (between samples) is seen.
std::int32_t step_after(double t) { return static_cast<std::int32_t>(std::floor(t / kDelt)) + 1; }

TEST(FrequencyMeasurement, RatedSineFromTheSecondCrossingAndAStepTo51Hz) {
  // 50 Hz up to 0.1 s, then 51 Hz; the phase runs on continuously.
  auto x = [](std::int32_t n) {
    const double t = kDelt * n, tStep = 0.1;
    const double phase = t <= tStep ? 2 * kPi * 50 * t : 2 * kPi * (50 * tStep + 51 * (t - tStep));
    return 100.0 * std::sin(phase);
  };
  const Trace t = measure(step_at(0.2), 100.0, 50.0, x);
  // The first falling crossing (10 ms) is shorter than 0.75 / f0 = 15 ms and only
  // records its time: the output stays at f0 up to the second crossing.
  for (std::int32_t n = 0; n < step_at(0.02); ++n) EXPECT_EQ(t.freq[n], 50.0) << n;
  // The rising crossing at 20 ms (a full period from the start) and every later
  // crossing up to the step give 50 Hz.
  for (std::int32_t n = step_at(0.02) + 1; n <= step_at(0.1); ++n) EXPECT_NEAR(t.freq[n], 50.0, 1e-3) << n;
  // The falling crossing after the step, at 0.1 + 1/102 s, closes a mixed
  // interval (half a period of each); from the end of the first full 51 Hz period
  // (the rising crossing at 0.1 + 1/51 s) on, the output is 51 Hz.
  const double mixed = 1.0 / (0.01 + 1.0 / 102.0);
  for (std::int32_t n = step_after(0.1 + 1.0 / 102.0); n < step_after(0.1 + 1.0 / 51.0); ++n)
    EXPECT_NEAR(t.freq[n], mixed, 1e-3) << n;
  for (std::int32_t n = step_after(0.1 + 1.0 / 51.0); n <= step_at(0.2); ++n)
    EXPECT_NEAR(t.freq[n], 51.0, 1e-3) << n;
  // Nine reals, two logicals and the detector's and lag's three stor slots on
  // every call, the time-zero pass included.
  for (std::size_t n = 0; n < t.usedF.size(); ++n) {
    EXPECT_EQ(t.usedF[n], 9) << n;
    EXPECT_EQ(t.usedL[n], 2) << n;
    EXPECT_EQ(t.usedS[n], 3) << n;
  }
}

TEST(FrequencyMeasurement, RmsSettlesAtTheSinesRms) {
  auto x = [](std::int32_t n) { return 100.0 * std::sin(2 * kPi * 50 * kDelt * n); };
  const Trace t = measure(step_at(0.5), 100.0, 50.0, x);
  // a = 3000 delt / f0 = 3e-3: the mean of |x| settles with a time constant of
  // about delt / a = 17 ms, to 2/pi of the peak; times pi / (2 sqrt 2) that is
  // the RMS. The ripple at 100 Hz left by this smoothing is below 2 %; the hold
  // halves it between crossings.
  EXPECT_NEAR(t.vrms.back(), 100.0 / std::sqrt(2.0), 0.02 * 100.0 / std::sqrt(2.0));
}

TEST(FrequencyMeasurement, NoiseLowSignalAndNoRating) {
  // A glitch to -0.5 from 42 to 42.5 ms adds a falling crossing 12 ms after the
  // last falling one (30 ms) and a rising one 2.5 ms after the last rising one
  // (40 ms): both are shorter than 0.75 / f0 = 15 ms and leave the output and the
  // stored times alone, so the next crossings still close 20 ms intervals.
  auto glitch = [](std::int32_t n) {
    const double t = kDelt * n;
    return (t > 0.042 - 1e-9 && t < 0.0425 - 1e-9) ? -0.5 : std::sin(2 * kPi * 50 * t);
  };
  const std::vector<double> g = measure(step_at(0.1), 1.0, 50.0, glitch).freq;
  for (std::int32_t n = step_after(0.02); n <= step_at(0.1); ++n) EXPECT_NEAR(g[n], 50.0, 1e-3) << n;
  // A 40 Hz signal below 0.1 % of vbase reports f0 at every crossing.
  auto tiny = [](std::int32_t n) { return 1e-3 * std::sin(2 * kPi * 40 * kDelt * n); };
  for (const double f : measure(step_at(0.2), 100.0, 50.0, tiny).freq) EXPECT_EQ(f, 50.0);
  // f0 = 0: the shortest interval is 1e6 s, so the output stays 0.
  auto rated = [](std::int32_t n) { return std::sin(2 * kPi * 50 * kDelt * n); };
  for (const double f : measure(step_at(0.1), 1.0, 0.0, rated).freq) EXPECT_EQ(f, 0.0);
  // The same signal at 40 Hz with vbase 1 is measured.
  auto slow = [](std::int32_t n) { return std::sin(2 * kPi * 40 * kDelt * n); };
  EXPECT_NEAR(measure(step_at(0.1), 1.0, 50.0, slow).freq.back(), 40.0, 1e-3);
}

}  // namespace
}  // namespace blocks_test
