// The on-line harmonic analysis, its transform and tables, the sequence
// components and the frequency tracker.
//
// Samples fall on whole steps here (Ts = 25 delt), so each buffer entry is the
// input at its instant to rounding (a sample taken one step late by an ulp of
// the accumulated time interpolates back to the same instant); magnitudes and
// phases of a periodic input are then exact to rounding, and 1e-9 leaves a wide
// margin.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/harmonics.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDelt = 50e-6;

struct Scan {
  std::vector<std::int32_t> sampleSteps, indexes;
  std::array<double, 31> mag{}, pha{};
  double dc = 0.0;
};

// Runs the scanner with N harmonics on input(t) for the given steps.
template <class F>
Scan scan(std::int32_t n, std::int32_t magForm, std::int32_t phaseForm, std::int32_t filter, F input,
          std::int32_t steps) {
  BlockBench bench(kDelt, BenchSizes{.stor = 400, .storf = 10});
  Scan r;
  bench.dynamics = [&] {
    std::int32_t index = -1;
    ftn180(magForm, phaseForm, n, filter, 0, 50.0, input(e_s1::time), index, r.mag.data(), r.pha.data(),
           r.dc);
    if (index != 0) {
      r.sampleSteps.push_back(static_cast<std::int32_t>(std::lround(e_s1::time / kDelt)));
      r.indexes.push_back(index);
    }
    EXPECT_EQ(e_s2::nexc, 49 + 4 * n + 6);
    EXPECT_EQ(storage::nstorf, 2);
  };
  EXPECT_EQ(bench.run(steps).status, -1);
  return r;
}

double cosine(double t) { return std::cos(2 * kPi * 50 * t); }

TEST(HarmonicAnalysis, SamplesSixteenTimesPerPeriodIntoTheRingBuffer) {
  const Scan r = scan(7, 1, 0, 0, cosine, 410);
  ASSERT_EQ(r.indexes.size(), 16u);
  for (std::size_t k = 0; k < 16; ++k) {
    EXPECT_EQ(r.indexes[k], static_cast<std::int32_t>(k + 1) % 16 + 1);
    EXPECT_NEAR(r.sampleSteps[k], 25.0 * (k + 1), 1.0);
  }
}

TEST(HarmonicAnalysis, PureCosineAfterOnePeriodInEveryForm) {
  const Scan peak = scan(7, 1, 0, 0, cosine, 410);
  EXPECT_NEAR(peak.mag[0], 1.0, 1e-9);
  EXPECT_NEAR(peak.pha[0], 0.0, 1e-9);
  for (std::int32_t h = 2; h <= 7; ++h) EXPECT_LT(peak.mag[h - 1], 1e-12);
  EXPECT_NEAR(peak.dc, 0.0, 1e-12);
  const Scan rms2 = scan(7, 0, 2, 0, cosine, 410);
  EXPECT_NEAR(rms2.mag[0], 0.7071068, 1e-7);
  EXPECT_NEAR(rms2.pha[0], kPi / 2, 1e-9);
  const Scan deg3 = scan(7, 1, 3, 0, cosine, 410);
  EXPECT_NEAR(deg3.pha[0], 90.0, 1e-7);
}

TEST(HarmonicAnalysis, TwoHarmonicsAndAnOffset) {
  const auto input = [](double t) {
    return 0.5 + std::cos(2 * kPi * 50 * t) + 0.2 * std::cos(2 * kPi * 150 * t + kPi / 6);
  };
  const Scan r = scan(7, 1, 1, 0, input, 410);
  EXPECT_NEAR(r.mag[0], 1.0, 1e-9);
  EXPECT_NEAR(r.pha[0], 0.0, 1e-7);
  EXPECT_NEAR(r.mag[2], 0.2, 1e-9);
  EXPECT_NEAR(r.pha[2], 30.0, 1e-7);
  EXPECT_NEAR(r.dc, 0.5, 1e-9);
  for (std::int32_t h : {2, 4, 5, 6, 7}) EXPECT_LT(r.mag[h - 1], 1e-12);
}

TEST(HarmonicAnalysis, FastTransformAgreesWithTheDirectSumAtEveryLength) {
  for (std::int32_t n = 7; n <= 1023; n = 2 * n + 1) {
    SCOPED_TRACE(n);
    const std::int32_t l = 2 * (n + 1);
    std::vector<double> x(l), mag(n), pha(n);
    for (std::int32_t i = 0; i < l; ++i) x[i] = std::sin(0.37 * i * i + 1.0) + 0.1;
    double dc = 0.0;
    ftcaln(x.data(), n, mag.data(), pha.data(), dc);
    double even = 0.0, all = 0.0;
    for (std::int32_t i = 0; i < l; ++i) {
      all += x[i];
      if (i % 2 == 0) even += x[i];
    }
    EXPECT_NEAR(dc, std::copysign(2 * std::abs(even) / l, all), 1e-9);
    for (std::int32_t h = 1; h <= n; h += (h < 40 ? 1 : 37)) {
      std::complex<double> y = 0.0;
      for (std::int32_t i = 0; i < l; ++i) y += x[i] * std::polar(1.0, -2 * kPi * ((h * i) % l) / l);
      EXPECT_NEAR(mag[h - 1], 2 * std::abs(y) / l, 1e-9);
      EXPECT_NEAR(pha[h - 1], std::arg(y), 1e-9);
    }
  }
}

TEST(HarmonicAnalysis, FilterTablesAndCompensation) {
  EXPECT_NEAR(zftn_phase(1), 0.0044718795563036, 5e-14);
  EXPECT_NEAR(zftn_phase(864), 1.5 * kPi, 5e-14 * 1.5 * kPi);
  EXPECT_NEAR(zftn_gain(864), std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(zftn_phase(1023), 5.7023, 1e-4);
  std::array<double, 31> mag{}, pha{};
  mag.fill(1.0);
  zftn(31, mag.data(), pha.data());
  EXPECT_NEAR(mag[26], std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(pha[26], -kPi / 2, 1e-13);
}

TEST(HarmonicAnalysis, FilteredScanRemovesTheFilterAgain) {
  // N = 31: cutoff 1350 Hz; harmonic 1 sits at u = 1/27 of it, where the table
  // holds the analogue filter; the trapezoidal filter differs from it there by
  // the pre-warping, about 1e-5 of its phase lag, and the transient of the filter
  // (slowest pole ~ 2 pi 1350 * 0.26 per second) is gone after 0.1 s. Samples
  // fall 6.25 steps apart, between steps: the linear interpolation of the sine
  // loses up to (w delt)^2/8 = 3.1e-5 of its amplitude.
  const Scan r = scan(31, 1, 0, 1, cosine, 2000);
  EXPECT_NEAR(r.mag[0], 1.0, 4e-5);
  EXPECT_NEAR(r.pha[0], 0.0, 1e-4);
  // The filter alone passes a constant with gain 1.
  BlockBench bench(kDelt);
  double y = 0.0;
  bench.dynamics = [&] { y = pfft49(1.0, 1350.0, 1, 3.863703305156273, 7.464101615137755, 9.141620172685641,
                                    7.464101615137755, 3.863703305156273, 1, 0); };
  ASSERT_EQ(bench.run(2000).status, -1);
  EXPECT_NEAR(y, 1.0, 1e-12);
}

TEST(HarmonicAnalysis, BadDataStopsWithItsTextAndTag) {
  struct Case {
    std::int32_t n;
    double delt;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases{
      {7, 2e-3,
       {"Sampling rate is too high for calculation time step.", " Reduce time step in Project Settings or Reduce ",
        "Number of Harmonics in On-Line Frequency Scanner."}},
      {8, 50e-6, {"Number of harmonics plus one must be a power of two from 8 to 1024."}}};
  for (const Case& c : cases) {
    BlockBench bench(c.delt);
    e_warn::comp_id1 = 3;
    e_warn::comp_id2 = 4;
    std::array<double, 8> mag{}, pha{};
    bench.dynamics = [&] {
      std::int32_t index = 0;
      double dc = 0.0;
      ftn180(1, 0, c.n, 0, 0, 50.0, 1.0, index, mag.data(), pha.data(), dc);
    };
    const wakro_test::Outcome o = bench.run(10);
    EXPECT_EQ(o.status, 2000);
    const std::vector<std::string> lines = lines_of(o.console);
    const std::vector<std::string> want = fatal_lines(c.texts, "ON_LINE_FFT ", 3, 4);
    ASSERT_GE(lines.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - want.size(), lines.end()), want);
  }
}

TEST(SequenceComponents, BalancedPositiveSequenceHasNoNegativeOrZeroSequence) {
  std::array<double, 2> ma{1.0, 2.0}, mb{1.0, 2.0}, mc{1.0, 2.0};
  std::array<double, 2> pa{0.3, 0.0}, pb{0.3 - 2 * kPi / 3, -2 * kPi / 3}, pc{0.3 + 2 * kPi / 3, 2 * kPi / 3};
  ftseqn(2, 0, ma.data(), mb.data(), mc.data(), pa.data(), pb.data(), pc.data());
  EXPECT_NEAR(ma[0], 1.0, 1e-14);
  EXPECT_NEAR(ma[1], 2.0, 1e-14);
  EXPECT_NEAR(pa[0], 0.3, 1e-14);
  for (std::int32_t k = 0; k < 2; ++k) {
    EXPECT_NEAR(mb[k], 0.0, 1e-14);
    EXPECT_NEAR(mc[k], 0.0, 1e-14);
  }
  // Sums that vanish exactly have phase 0 in every form.
  std::array<double, 1> z1{0.0}, z2{0.0}, z3{0.0}, q1{1.0}, q2{2.0}, q3{3.0};
  ftseqn(1, 2, z1.data(), z2.data(), z3.data(), q1.data(), q2.data(), q3.data());
  EXPECT_EQ(q1[0], kPi / 2);
  EXPECT_EQ(q2[0], kPi / 2);
  EXPECT_EQ(q3[0], kPi / 2);
}

TEST(FrequencyTracker, FollowsAPhaseDriftAfterTwoPeriods) {
  BlockBench bench(1e-3);
  std::vector<double> f, steady;
  bench.dynamics = [&] {
    double out = 0.0, same = 0.0;
    ftrac2(1, 0, 0.01 * ctrl::iii, 50.0, out);
    ftrac2(1, 1, 45.0, 50.0, same);
    f.push_back(out);
    steady.push_back(same);
    EXPECT_EQ(e_s2::nexc, 4);
  };
  ASSERT_EQ(bench.run(80).status, -1);
  for (std::int32_t k = 0; k <= 38; ++k) EXPECT_EQ(f[k], 50.0);
  for (std::int32_t k = 42; k <= 80; ++k) EXPECT_NEAR(f[k] / f[k - 1], 1 + 0.01 / (2 * kPi), 1e-13);
  for (double v : steady) EXPECT_EQ(v, 50.0);
}

}  // namespace
}  // namespace blocks_test
