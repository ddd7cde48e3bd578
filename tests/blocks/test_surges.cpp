// The surge and test-signal generators: every parameter check with its exact
// lines and tag, the waveforms against their closed forms, and the console
// report of the test signal byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/surges.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "support/fatal_capture.h"

namespace blocks_test {
namespace {

constexpr double kPi = std::numbers::pi;

struct BadSurge {
  const char* what;
  std::function<void()> cfg;
  std::vector<std::string> texts;  // each its own one-line message
  std::string tag;
};

// A run of cfg with the console captured; the lines and the pointers checked.
void expect_stop(const BadSurge& c) {
  SCOPED_TRACE(c.what);
  BlockBench bench(1e-6);
  e_warn::comp_id1 = 5;
  e_warn::comp_id2 = 8;
  rt_config::nrtcf = 3;
  rt_config::nrtcl = 2;
  bool returned = false;
  const wakro_test::Outcome o = wakro_test::run_captured([&] {
    c.cfg();
    returned = true;
  });
  EXPECT_EQ(o.status, 2000);
  EXPECT_FALSE(returned);
  std::vector<std::string> lines;
  for (const std::string& t : c.texts) lines.push_back(" ***ERROR** " + t + ids(5, 8));
  for (const std::string& l : stop_lines(c.tag)) lines.push_back(l);
  EXPECT_EQ(lines_of(o.console), lines);
  EXPECT_EQ(rt_config::nrtcf, 3);
  EXPECT_EQ(rt_config::nrtcl, 2);
}

TEST(Surges, EveryParameterCheckStopsWithItsLinesAndLeavesThePointers) {
  const std::string surge = "SURGE       ", ieee = "SURGE_IEEE1 ", cigre = "SURGE_CIGRE1";
  const std::vector<BadSurge> cases = {
      {"rise reversed",
       [] { surge1_cfg(2.0, 1.0, 3.0, 5.0, 1.0); },
       {"X1 Cannot be greater than X2"},
       surge},
      {"flat reversed",
       [] { surge1_cfg(1.0, 3.0, 2.0, 5.0, 1.0); },
       {"X2 Cannot be greater than X3"},
       surge},
      {"fall reversed",
       [] { surge1_cfg(1.0, 2.0, 5.0, 4.0, 1.0); },
       {"X3 Cannot be greater than X4"},
       surge},
      {"no width", [] { surge1_cfg(1.0, 1.0, 1.0, 1.0, 1.0); }, {"X1 must be less than X4"}, surge},
      {"all reversed",
       [] { surge1_cfg(3.0, 2.0, 1.0, 0.0, 1.0); },
       {"X1 Cannot be greater than X2", "X2 Cannot be greater than X3",
        "X3 Cannot be greater than X4", "X1 must be less than X4"},
       surge},
      {"no front",
       [] { surge_ieee1_cfg(-2, 1, 0.0, 50.0, 1.0, 0.0); },
       {"The Wavefront time should be greater than zero"},
       ieee},
      {"tail shorter than the front",
       [] { surge_ieee1_cfg(-2, 0, 50.0, 1.2, 1.0, 0.0); },
       {"The half-value time should be greater than the wavefront time"},
       ieee},
      {"equal coefficients",
       [] { surge_ieee1_cfg(-1, 0, 0.5, 0.5, 1.0, 0.0); },
       {"The Alpha and Beta values should be different"},
       ieee},
      {"negative coefficient",
       [] { surge_ieee1_cfg(-1, 0, -0.5, 2.0, 1.0, 0.0); },
       {"The Alpha and Beta values should be greater than zero"},
       ieee},
      {"unknown shape",
       [] { surge_ieee1_cfg(8, 0, 0.0, 0.0, 1.0, 0.0); },
       {"The surge type must be -2, -1 or 1 to 7"},
       ieee},
      {"steepness times front equal to the peak",
       [] { surge_cigre1_cfg(10.0, 50.0, 3.0, 30.0, 0.0); },
       {"The front time times the steepness must differ from the peak"},
       cigre},
      {"tail inside the front",
       [] { surge_cigre1_cfg(24.3, 5.0, 3.83, 31.1, 0.0); },
       {"The tail half-value time must be longer than the front"},
       cigre},
  };
  for (const BadSurge& c : cases) expect_stop(c);
}

TEST(Surges, TrapezoidFollowsItsFourCorners) {
  BlockBench bench(1e-3);
  const std::vector<double> x = {0.5, 1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0};
  std::vector<double> full, jump, noFall;
  bench.begin = [] {
    surge1_cfg(1.0, 2.0, 3.0, 5.0, 10.0);  // rise slope 10, fall slope -5
    surge1_cfg(1.0, 1.0, 3.0, 5.0, 10.0);  // no rise: the peak just after X1
    surge1_cfg(1.0, 2.0, 4.0, 4.0, 10.0);  // no fall: 0 just after X4
  };
  bench.dynamics = [&] {
    double y1 = -1.0, y2 = -1.0, y3 = -1.0;
    surge1_exe(x[ctrl::iii], y1);
    surge1_exe(x[ctrl::iii], y2);
    surge1_exe(x[ctrl::iii], y3);
    full.push_back(y1), jump.push_back(y2), noFall.push_back(y3);
    EXPECT_EQ(rt_config::nrtcf, 28);
    EXPECT_EQ(rt_config::nrtcl, 10);
  };
  const wakro_test::Outcome o = bench.run(8);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(full, (std::vector<double>{0.0, 0.0, 5.0, 10.0, 10.0, 10.0, 5.0, 0.0, 0.0}));
  EXPECT_EQ(jump, (std::vector<double>{0.0, 0.0, 10.0, 10.0, 10.0, 10.0, 5.0, 0.0, 0.0}));
  EXPECT_EQ(noFall, (std::vector<double>{0.0, 0.0, 5.0, 10.0, 10.0, 10.0, 10.0, 0.0, 0.0}));
}

// The double exponential sampled every 0.1 us from a start of 0.3 us.
std::vector<double> run_ieee(std::int32_t type, std::int32_t polarity, double a, double b,
                             double peak, std::int32_t nsteps) {
  BlockBench bench(1e-7);
  std::vector<double> y;
  bench.begin = [&] { surge_ieee1_cfg(type, polarity, a, b, peak, 0.3e-6); };
  bench.dynamics = [&] {
    double v = -1.0;
    surge_ieee1_exe(v);
    y.push_back(v);
    EXPECT_EQ(rt_config::nrtcf, 6);
  };
  const wakro_test::Outcome o = bench.run(nsteps);
  EXPECT_EQ(o.status, -1) << o.console;
  return y;
}

TEST(Surges, StandardImpulseReachesItsPeakAndHalfValue) {
  // 1.2/50 us: a = 0.69315/50, b = 3.24318/1.2; the peak at tp = ln(a/b)/(a - b).
  const double a = 0.69315 / 50.0, b = 3.24318 / 1.2;
  const double tp = std::log(a / b) / (a - b);
  const double k = 1.0 / (std::exp(-a * tp) - std::exp(-b * tp));
  EXPECT_NEAR(a, 0.013863, 1e-6);
  EXPECT_NEAR(b, 2.70265, 1e-5);
  EXPECT_NEAR(k, 1.032856, 1e-6);
  EXPECT_NEAR(tp, 1.96102, 1e-5);
  const std::vector<double> y = run_ieee(-2, 1, 1.2, 50.0, 2.0, 600);
  // Zero up to and including the step half a step after the start (step 3 is the start).
  for (std::size_t n = 0; n <= 3; ++n) EXPECT_EQ(y[n], 0.0) << n;
  double highest = 0.0;
  for (std::size_t n = 4; n < y.size(); ++n) {
    const double t = (n - 3.0) * 0.1;  // us since the start
    EXPECT_NEAR(y[n], 2.0 * k * (std::exp(-a * t) - std::exp(-b * t)), 1e-12) << n;
    highest = std::max(highest, y[n]);
  }
  // The samples bracket tp = 1.961 us: the highest is within the curvature of the peak.
  EXPECT_LE(highest, 2.0);
  EXPECT_NEAR(highest, 2.0, 2.0 * 0.5 * b * a * 0.04 * 0.04 + 1e-9);
  // Half-value at 50 us: 0.5164 of the peak (the formula, not exactly half).
  EXPECT_NEAR(y[503] / 2.0, 0.5164, 1e-4);
}

TEST(Surges, PresetAndGivenCoefficientShapes) {
  // Preset 1: 1.0328 (exp(-0.0145 t) - exp(-2.8353 t)), highest 1.00003 near 1.8703 us.
  const std::vector<double> y1 = run_ieee(1, 0, 0.0, 0.0, 1.0, 40);
  for (std::size_t n = 4; n < y1.size(); ++n) {
    const double t = (n - 3.0) * 0.1;
    EXPECT_NEAR(y1[n], 1.0328 * (std::exp(-0.0145 * t) - std::exp(-2.8353 * t)), 1e-12) << n;
  }
  EXPECT_NEAR(1.0328 * (std::exp(-0.0145 * 1.8703) - std::exp(-2.8353 * 1.8703)), 1.00003, 1e-5);
  // Given a = 0.1, b = 0.2: tp = ln 2 / 0.1, k = 4 (the peak of e^-x - e^-2x is 1/4).
  const std::vector<double> y2 = run_ieee(-1, 0, 0.1, 0.2, 3.0, 100);
  const double t = 97.0 * 0.1;
  EXPECT_NEAR(y2[100], 3.0 * 4.0 * (std::exp(-0.1 * t) - std::exp(-0.2 * t)), 1e-12);
}

TEST(Surges, ConcaveFrontCurrentIsContinuousAtTheEndOfItsFront) {
  const double sm = 24.3, th = 77.5, tf = 3.83, I = 31.1;
  const double sn = sm * tf / I;
  const double n = 1.0 + 2.0 * (sn - 1.0) * (2.0 + 1.0 / sn);
  const double tn = 0.6 * tf * 3.0 * sn * sn / (1.0 + sn * sn);
  EXPECT_NEAR(n, 10.302, 1e-3);
  EXPECT_NEAR(tn, 6.2015, 1e-4);
  // Samples every 0.01 us from start 0: around tn the front rises at exactly sm
  // and reaches 0.9 I; the tail leaves 0.9 I at the same rate (a smooth join),
  // so each side is 0.9 I + sm (t - tn) within the curvature over 0.01 us.
  BlockBench bench(1e-8);
  std::vector<double> y;
  bench.begin = [&] { surge_cigre1_cfg(sm, th, tf, I, 0.0); };
  bench.dynamics = [&] {
    double v = -1.0;
    surge_cigre1_exe(v);
    y.push_back(v);
  };
  const wakro_test::Outcome o = bench.run(700);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(y[0], 0.0);
  const std::size_t before = static_cast<std::size_t>(std::floor(tn * 100.0));
  for (std::size_t s : {before, before + 1}) {
    const double t = s * 0.01;
    EXPECT_NEAR(y[s], 0.9 * I + sm * (t - tn), 0.02) << s;
  }
  EXPECT_LT(y[before], 0.9 * I);
  EXPECT_GT(y[before + 1], y[before]);
}

TEST(Surges, ConcaveFrontWithNoUsableParametersWarnsAndStaysAtZero) {
  BlockBench bench(1e-8);
  std::vector<double> y;
  bench.begin = [&] {
    e_warn::comp_id1 = 0;
    surge_cigre1_cfg(24.3, 77.5, 3.83, 0.0, 0.0);
  };
  bench.dynamics = [&] {
    double v = -1.0;
    surge_cigre1_exe(v);
    y.push_back(v);
  };
  const wakro_test::Outcome o = bench.run(5);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(y, std::vector<double>(6, 0.0));
  EXPECT_EQ(o.console,
            " ***WARN*** Specified parameters are unrealistically low. Output is set to zero.\n");
}

// The test signal on a step of 1/1024 s; per step its output and the stor
// pointer after the call.
struct SignalRun {
  std::vector<double> y;
  std::vector<std::int32_t> nexc;
  std::string console;
};
SignalRun run_sgen11(std::int32_t type, double amp, double f, std::int32_t m, double ramp,
                     double cycles, double start, std::int32_t nsteps) {
  BlockBench bench(1.0 / 1024.0);
  SignalRun r;
  bench.dynamics = [&] {
    r.y.push_back(sgen11(type, amp, f, m, ramp, cycles, start));
    r.nexc.push_back(e_s2::nexc);
  };
  const wakro_test::Outcome o = bench.run(nsteps);
  EXPECT_EQ(o.status, -1) << o.console;
  r.console = o.console;
  return r;
}

TEST(Surges, SineTestSignalReportsItselfAndLastsItsCycles) {
  // 50 Hz; 5 cycles end at 0.1 s, between steps 102 and 103 of 1/1024 s.
  const SignalRun r = run_sgen11(1, 1.0, 50.0, 1, 0.0, 5.0, 0.0, 120);
  for (std::size_t n = 0; n <= 102; ++n)
    EXPECT_NEAR(r.y[n], std::sin(2.0 * kPi * 50.0 * n / 1024.0), 1e-12) << n;
  for (std::size_t n = 103; n < r.y.size(); ++n) EXPECT_EQ(r.y[n], 0.0) << n;
  EXPECT_EQ(r.nexc, std::vector<std::int32_t>(121, 11));
  EXPECT_EQ(r.console,
            "\n"
            " **** SIN WAVE SIGNAL OF FREQ =   50.00     & AMPLITUDE   1.000     ****\n"
            "  5 PERIODS OF  0.2000E-01SECS START AT TIME =  0.000    \n");
}

TEST(Surges, SineTestSignalRampsItsEnvelopeFromALateStart) {
  // 64 Hz, 16 steps a period. Start at step 32, two ramp cycles (32 steps) and
  // 3.3 signal cycles: the window ends at step 32 + 5.3 * 16 = 116.8.
  const SignalRun r = run_sgen11(1, 1.0, 64.0, 1, 2.0, 3.3, 32.0 / 1024.0, 140);
  for (std::size_t n = 0; n < 32; ++n) EXPECT_EQ(r.y[n], 0.0) << n;
  for (std::size_t n = 32; n <= 116; ++n) {
    const double envelope = std::min(1.0, (n - 32.0) / 32.0);
    EXPECT_NEAR(r.y[n], envelope * std::sin(2.0 * kPi * (n - 32.0) / 16.0), 1e-12) << n;
  }
  for (std::size_t n = 117; n < r.y.size(); ++n) EXPECT_EQ(r.y[n], 0.0) << n;
  // The period 1/64 = 0.015625 lies half-way between two 4-digit values, so
  // this report is checked from its third field on.
  const std::vector<std::string> lines = lines_of(r.console);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], " **** SIN WAVE SIGNAL OF FREQ =   64.00     & AMPLITUDE   1.000     ****");
  EXPECT_EQ(lines[2].substr(0, 16), "  3 PERIODS OF  ");
  EXPECT_EQ(lines[2].substr(26), "SECS START AT TIME = 0.6250E-01");
}

TEST(Surges, SquareTestSignalHasThreeLevels) {
  // 50 Hz, 20 steps of 1/1000 s a period: the levels change between 36 and 54 degrees.
  BlockBench bench(1e-3);
  std::vector<double> y;
  bench.dynamics = [&] { y.push_back(sgen11(2, 3.0, 50.0, 1, 0.0, 2.0, 0.0)); };
  const wakro_test::Outcome o = bench.run(40);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::size_t n = 0; n <= 40; ++n) {
    const double s = std::sin(2.0 * kPi * n / 20.0);
    const double level = s > 0.7071 ? 1.0 : (s < -0.7071 ? -1.0 : 0.0);
    EXPECT_EQ(y[n], 3.0 * level) << n;
  }
  EXPECT_EQ(y[2], 0.0);
  EXPECT_EQ(y[3], 3.0);
  EXPECT_EQ(y[13], -3.0);
  EXPECT_EQ(o.console,
            "\n"
            " **** SQUARE WAVE SIGNAL OF FREQ =   50.00     & AMPLITUDE   3.000     ****\n"
            "  2 PERIODS OF  0.2000E-01SECS START AT TIME =  0.000    \n");
}

// Sum of the harmonics k = first .. last of sin(2 pi k f t).
double harmonics(std::int32_t first, std::int32_t last, double ft) {
  double sum = 0.0;
  for (std::int32_t k = first; k <= last; ++k) sum += std::sin(2.0 * kPi * k * ft);
  return sum;
}

TEST(Surges, HarmonicTestSignalIsItsSeriesOfSines) {
  // 8 Hz, 128 steps a period. N = 4 from the fundamental; N = 5 with m = 2
  // leaves the harmonics 3 to 5 over N + 1 - m = 4.
  const SignalRun all = run_sgen11(4, 1.0, 8.0, 1, 0.0, 1.0, 0.0, 128);
  const SignalRun upper = run_sgen11(5, 1.0, 8.0, 2, 0.0, 2.0, 0.0, 128);
  for (std::size_t n = 0; n <= 64; ++n) {
    const double ft = n / 128.0;
    // Away from the zeros of sin(pi f t) the shift of 1e-6 in the divisor is small.
    if (std::abs(std::sin(kPi * ft)) < 0.1) continue;
    EXPECT_NEAR(all.y[n], harmonics(1, 4, ft) / (0.7285 * 4.0), 2e-5) << n;
    EXPECT_NEAR(upper.y[n], harmonics(3, 5, 2.0 * ft / 2.0) / (0.7285 * 4.0), 2e-5) << n;
  }
  EXPECT_EQ(all.console,
            "\n"
            " ****  4 HARMONIC FUNCTION GENERATOR BASED ON F =  8.000     ****\n"
            " AND STARTING AT F =  8.000     HERTZ.\n"
            " **** EACH HARMONIC HAS AN AMPLITUDE OF  0.3432    \n"
            "  1 PERIODS OF  0.1250    SECS START AT TIME =  0.000    \n");
  EXPECT_EQ(upper.console,
            "\n"
            " ****  5 HARMONIC FUNCTION GENERATOR BASED ON F =  8.000     ****\n"
            " AND STARTING AT F =  16.00     HERTZ.\n"
            " **** EACH HARMONIC HAS AN AMPLITUDE OF  0.3432    \n"
            "  2 PERIODS OF  0.6250E-01SECS START AT TIME =  0.000    \n");
}

TEST(Surges, TestSignalWithUnusableArgumentsReportsAndStaysAtZero) {
  const std::string mistake =
      " **** YOU HAVE A MISTAKE IN THE SGEN11 ARGUMENTS! ****\n"
      "      SGEN11 IS THEREFORE INOPERATIVE FOR THIS CASE\n";
  for (const auto& args : std::vector<std::vector<double>>{
           {1, 0.0, 0.0}, {1, -64.0, 0.0}, {1, 64.0, -1.0}, {0, 64.0, 0.0}, {3, 64.0, 0.0}}) {
    // {type, F, start}; type 3 with m = 4 is a harmonic series below its group.
    const SignalRun r =
        run_sgen11(static_cast<std::int32_t>(args[0]), 1.0, args[1], 4, 0.0, 5.0, args[2], 20);
    EXPECT_EQ(r.y, std::vector<double>(21, 0.0));
    EXPECT_EQ(r.nexc, std::vector<std::int32_t>(21, 11));
    EXPECT_EQ(r.console, mistake + "\n **** EXECUTION CONTINUING ****\n\n");
  }
}

TEST(Surges, TestSignalPhaseStaysBoundedOverALongRun) {
  // 50 Hz on a step of 1/1024 s for 2^20 steps (1024 s): the phase never leaves
  // [0, 2 pi] and the last samples still follow sin(2 pi 50 t) closely.
  BlockBench bench(1.0 / 1024.0);
  const std::int32_t nsteps = 1 << 20;
  double worst = 0.0, largestPhase = 0.0;
  bench.dynamics = [&] {
    const double y = sgen11(1, 1.0, 50.0, 1, 0.0, 60000.0, 0.0);
    largestPhase = std::max(largestPhase, e_s2::stor(2));
    if (ctrl::iii > nsteps - 1024)
      worst = std::max(worst, std::abs(y - std::sin(2.0 * kPi * 50.0 * e_s1::time)));
  };
  const wakro_test::Outcome o = bench.run(nsteps);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_LE(largestPhase, 2.0 * kPi);
  // 2^20 additions of the increment, each rounded by at most 2^-53 * 2 pi.
  EXPECT_LT(worst, 1e-9);
}

}  // namespace
}  // namespace blocks_test
