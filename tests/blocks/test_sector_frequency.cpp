// The sector frequency meters: a steady balanced set, a step in frequency, a
// collapsed voltage, the unbalance line, and the fatal checks with their texts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/sector_frequency.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDelt = 5e-5;
constexpr double kWO = 314.159265;

// A balanced set of phase peak 1 whose frequency steps from 50 Hz to f2 at tStep,
// the phase running on; scale multiplies it from tScale on; z is added to each
// phase (zero sequence).
struct Source {
  double f2 = 50.0, tStep = 1e9, scale = 1.0, tScale = 1e9, z = 0.0;
  std::array<double, 3> at(double t) const {
    const double ph = t <= tStep ? 2 * kPi * 50 * t : 2 * kPi * (50 * tStep + f2 * (t - tStep));
    const double m = t >= tScale ? scale : 1.0;
    return {m * std::sin(ph) + z, m * std::sin(ph - 2 * kPi / 3) + z, m * std::sin(ph + 2 * kPi / 3) + z};
  }
};

struct Trace {
  std::vector<double> w, w1, v1pu;
  std::vector<std::int32_t> used, usedF, usedI;
  wakro_test::Outcome outcome;
};

Trace run_meters(const Source& src, std::int32_t nsteps, double VR, double TS = 0.05) {
  Trace t;
  BlockBench bench(kDelt);
  bench.begin = [&] { e_fwav1_cfg(VR, 50.0, TS); };
  bench.dynamics = [&] {
    const std::array<double, 3> v = src.at(e_s1::time);
    double f = 0, w = 0, dw = 0, V = 0;
    const std::int32_t n0 = e_s2::nexc, f0 = storage::nstorf, i0 = storage::nstori;
    fwav22(v[0], v[1], v[2], VR, kWO, TS, f, w, dw, V);
    t.used.push_back(e_s2::nexc - n0);

    t.w.push_back(w);
    e_fwav1_exe(v, w, dw, V);
    t.usedF.push_back(storage::nstorf - f0);
    t.usedI.push_back(storage::nstori - i0);
    t.w1.push_back(w);
    t.v1pu.push_back(V);
  };
  t.outcome = bench.run(nsteps);
  return t;
}

TEST(SectorFrequency, SteadySetAndAStepTo51Hz) {
  const double VR = std::sqrt(1.5);  // the line-to-line RMS of the set
  Source src;
  src.f2 = 51.0;
  src.tStep = 0.3;
  const Trace t = run_meters(src, 12000, VR);
  ASSERT_EQ(t.outcome.status, -1) << t.outcome.console;
  // Rated until the first magnitude check at 0.1 s.
  for (std::size_t n = 0; n < 2000; ++n) {
    EXPECT_EQ(t.w[n], kWO) << n;
    EXPECT_EQ(t.w1[n], 2 * kPi * 50.0) << n;
  }
  // The six durations telescope to one period, each turn-on quantised to a step
  // (fwav22) or interpolated (e_fwav1): within 0.01 % once the filters have
  // taken up the start (from 0.25 s) up to the step.
  for (std::size_t n = 5000; n < 6000; ++n) {
    EXPECT_NEAR(t.w[n], 2 * kPi * 50.0, 1e-4 * 2 * kPi * 50.0) << n;
    EXPECT_NEAR(t.w1[n], 2 * kPi * 50.0, 1e-4 * 2 * kPi * 50.0) << n;
  }
  // Several TS after the step: 2 pi 51 within 0.1 %.
  for (std::size_t n = 10000; n < t.w.size(); ++n) {
    EXPECT_NEAR(t.w[n], 2 * kPi * 51.0, 1e-3 * 2 * kPi * 51.0) << n;
    EXPECT_NEAR(t.w1[n], 2 * kPi * 51.0, 1e-3 * 2 * kPi * 51.0) << n;
  }
  // 0.74048 (max - min) averages to 0.74048 x 3 sqrt 3 / pi = 1.2247 = VR: 1 pu,
  // with the filter's ripple well under 1 %.
  EXPECT_NEAR(t.v1pu.back(), 1.0, 0.01);
  EXPECT_EQ(t.used, std::vector<std::int32_t>(12001, 22));
  EXPECT_EQ(t.usedF, std::vector<std::int32_t>(12001, 15));
  EXPECT_EQ(t.usedI, std::vector<std::int32_t>(12001, 7));
}

TEST(SectorFrequency, CollapsedVoltageHoldsTheFrequency) {
  // From 0.2 s the set falls to half: below 80 % of VR for fwav22, which then
  // holds its output and resets its six durations to a sixth of its period.
  Source src;
  src.scale = 0.5;
  src.tScale = 0.2;
  const double VR = std::sqrt(1.5);
  std::vector<double> w, durations;
  BlockBench bench(kDelt);
  bench.dynamics = [&] {
    const std::array<double, 3> v = src.at(e_s1::time);
    double f = 0, ww = 0, dw = 0, V = 0;
    const double nextCheck = e_s2::stor(9);
    fwav22(v[0], v[1], v[2], VR, kWO, 0.05, f, ww, dw, V);
    w.push_back(ww);
    // On a magnitude check after the collapse, all six durations are reset.
    if (e_s1::time > 0.25 && e_s2::stor(9) != nextCheck)
      for (int j = 15; j <= 20; ++j) durations.push_back(e_s2::stor(j) * ww);
  };
  ASSERT_EQ(bench.run(8000).status, -1);
  // The magnitude filter (a3 = 0.0785 per ms) is below 80 % within a few ms.
  for (std::size_t n = 4400; n < w.size(); ++n) EXPECT_EQ(w[n], w[4400]) << n;
  ASSERT_FALSE(durations.empty());
  for (const double d : durations) EXPECT_NEAR(d, 1.047197551196598, 1e-12);
}

TEST(SectorFrequency, UnbalanceLineAtEveryMagnitudeCheck) {
  // VR = 230 and a zero sequence of u = 0.0612: three checks at 0.1, 0.101 and
  // 0.102 s with a 1 ms step; the run goes on.
  Source src;
  src.z = 0.0612 * 230.0 / 3.0;
  BlockBench bench(1e-3);
  bench.dynamics = [&] {
    std::array<double, 3> v = src.at(e_s1::time);
    for (double& x : v) x = (x - src.z) * 230.0 * std::sqrt(2.0 / 3.0) + src.z;
    double f = 0, w = 0, dw = 0, V = 0;
    fwav22(v[0], v[1], v[2], 230.0, kWO, 0.05, f, w, dw, V);
  };
  const wakro_test::Outcome o = bench.run(102);
  ASSERT_EQ(o.status, -1) << o.console;
  const std::string line = " FWAV22 MEASURING 230.00KV BUS DETECTS0.061 PU UNBALANCE";
  EXPECT_EQ(lines_of(o.console), (std::vector<std::string>{line, line, line}));
}

TEST(SectorFrequency, FatalChecks) {
  {
    BlockBench bench(kDelt);
    std::int32_t nrtcf = -1;
    bench.begin = [&] {
      e_fwav1_cfg(1.0, 50.0, 0.0005);
      nrtcf = rt_config::nrtcf;
    };
    const wakro_test::Outcome o = bench.run(2);
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(nrtcf, -1);
    EXPECT_EQ(lines_of(o.console),
              fatal_lines({"Exteremely small values in Time constant, voltage or Frequency"}, "FWAV22      ", 0, 0));
  }
  {
    BlockBench bench(kDelt);
    bench.begin = [] { e_fwav1_cfg(1.0, 50.0, 0.001); };
    bench.dynamics = [] {
      const std::array<double, 3> v{1.0, -0.5, -0.5};
      double w = 0, dw = 0, V = 0;
      e_fwav1_exe(v, w, dw, V);
    };
    const wakro_test::Outcome o = bench.run(2);
    EXPECT_EQ(o.status, -1) << o.console;
  }
  {
    BlockBench bench(kDelt);
    bench.dynamics = [] {
      double f = 0, w = 0, dw = 0, V = 0;
      fwav22(1.0, -0.5, -0.5, 1.0, 0.0, 0.05, f, w, dw, V);
    };
    const wakro_test::Outcome o = bench.run(2);
    EXPECT_EQ(o.status, 2000);
    std::vector<std::string> expected = {"", " **** YOU HAVE EITHER TS, WO OR VR EQUAL ZERO ****",
                                         "      IN ARGUMENT OF FWAV22 SUBROUTINE", "",
                                         " **** EXECUTION TERMINATING  ****", ""};
    for (const std::string& l : stop_lines("OUTMSG      ")) expected.push_back(l);
    EXPECT_EQ(lines_of(o.console), expected);
  }
}

}  // namespace
}  // namespace blocks_test
