// The transfer function block and the filter designs, against closed forms.
//
// The trapezoidal realisation keeps the zero-frequency gain exactly, and its
// steady-state response to a sampled sine of frequency w is the analogue
// response at the pre-warped frequency W = (2/delt) tan(w delt/2). Amplitudes are
// measured by projecting one whole period of the settled output on sin and cos,
// which is exact for a periodic sequence; the remaining transient is below 1e-12
// after the settling times chosen, so the tolerances are 1e-9.
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
#include "blocks/filters.h"
#include "blocks/transfer_function.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

using cx = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// Amplitude of the last `period` samples of y at one cycle per period.
double amplitude(const std::vector<double>& y, std::int32_t period) {
  double a = 0.0, b = 0.0;
  const std::size_t first = y.size() - period;
  for (std::int32_t k = 0; k < period; ++k) {
    const double th = 2.0 * kPi * static_cast<double>(first + k) / period;
    a += y[first + k] * std::sin(th);
    b += y[first + k] * std::cos(th);
  }
  return 2.0 * std::hypot(a, b) / period;
}

// num(s)/den(s) at s, 11 ascending coefficients.
cx response(const std::array<double, 11>& num, const std::array<double, 11>& den, cx s) {
  cx n = 0.0, d = 0.0;
  for (std::int32_t k = 10; k >= 0; --k) {
    n = n * s + num[k];
    d = d * s + den[k];
  }
  return n / d;
}

TEST(TransferFunction, FirstOrderLagHasItsTrapezoidalCoefficientsAndStepResponse) {
  const double delt = 0.05, h = delt / 2;
  for (std::int32_t mode : {0, 1}) {
    SCOPED_TRACE(mode);
    BlockBench bench(delt);
    const std::array<double, 2> num{1.0, 0.0}, den{1.0, 1.0}, x0{0.0, 0.0};
    std::vector<double> y;
    std::array<double, 5> slots{};
    bench.dynamics = [&] {
      double out = 0.0;
      tfdn10(1, num.data(), den.data(), x0.data(), mode, e_s1::timezero ? 1 : 0, 1.0, out);
      y.push_back(out);
      for (std::int32_t k = 1; k <= 5; ++k) slots[k - 1] = storage::storf(k);
      EXPECT_EQ(storage::nstorf, 1 + 5);
    };
    const wakro_test::Outcome o = bench.run(1000);
    ASSERT_EQ(o.status, -1) << o.console;
    const double phi = (1 - h) / (1 + h), gamma = delt / (1 + h);
    EXPECT_NEAR(slots[0], phi, 1e-15);
    EXPECT_NEAR(slots[1], gamma, 1e-15);
    EXPECT_EQ(slots[3], 0.0);  // D
    // Mode 0 from step 0: s_n = 1 - phi^(n+1); mode 1 starts with half an input.
    if (mode == 0) {
      for (std::int32_t n = 0; n <= 1000; n += 50) EXPECT_NEAR(y[n], 1 - std::pow(phi, n + 1), 1e-13);
    }
    EXPECT_NEAR(y.back(), 1.0, 1e-13);
  }
}

TEST(TransferFunction, ZeroFrequencyGainAndFeedThroughAreExact) {
  // (2 + s)/(1 + 3s + 2s^2) settles at 2; (1 + 3s)/(2 + 4s) has D = 3/4.
  for (std::int32_t mode : {0, 1}) {
    BlockBench bench(0.05);
    const std::array<double, 3> num{2.0, 1.0, 0.0}, den{1.0, 3.0, 2.0}, x0{};
    const std::array<double, 2> num2{1.0, 3.0}, den2{2.0, 4.0};
    double y = 0.0, y2 = 0.0, d2 = 0.0;
    bench.dynamics = [&] {
      const std::int32_t design = e_s1::timezero ? 1 : 0;
      tfdn10(2, num.data(), den.data(), x0.data(), mode, design, 1.0, y);
      tfdn10(1, num2.data(), den2.data(), x0.data(), mode, design, 1.0, y2);
      d2 = storage::storf(10 + 4);
    };
    ASSERT_EQ(bench.run(2000).status, -1);
    EXPECT_NEAR(y, 2.0, 1e-12);
    EXPECT_EQ(d2, 0.75);
    EXPECT_NEAR(y2, 0.5, 1e-12);
  }
  // The caller's arrays are left as they were.
  BlockBench bench(0.05);
  std::array<double, 3> num{2.0, 1.0, 0.0}, den{1.0, 3.0, 2.0}, x0{};
  double y = 0.0;
  e_s1::timezero = true;
  tfdn10(2, num.data(), den.data(), x0.data(), 0, 1, 1.0, y);
  EXPECT_EQ(num, (std::array<double, 3>{2.0, 1.0, 0.0}));
  EXPECT_EQ(den, (std::array<double, 3>{1.0, 3.0, 2.0}));
}

TEST(TransferFunction, SineResponseIsTheAnalogueOneAtThePrewarpedFrequency) {
  // 1/(1 + s), delt = 0.01, one cycle per 100 steps: w = 2 pi.
  const double delt = 0.01;
  BlockBench bench(delt);
  const std::array<double, 2> num{1.0, 0.0}, den{1.0, 1.0}, x0{};
  std::vector<double> y;
  bench.dynamics = [&] {
    double out = 0.0;
    tfdn10(1, num.data(), den.data(), x0.data(), 1, e_s1::timezero ? 1 : 0,
           std::sin(2 * kPi * ctrl::iii / 100.0), out);
    y.push_back(out);
  };
  ASSERT_EQ(bench.run(4000).status, -1);
  const double w = (2 / delt) * std::tan(2 * kPi * delt / 2);
  EXPECT_NEAR(amplitude(y, 100), 1 / std::sqrt(1 + w * w), 1e-9);
}

TEST(TransferFunction, ScaledVariantDesignsAgainOnlyOnChangesAboveTheThreshold) {
  BlockBench bench(0.01);
  std::array<double, 11> num{1.0}, den{1.0, 1.0}, x0{};
  std::vector<double> scaled, y;
  bench.dynamics = [&] {
    const std::int32_t k = ctrl::iii;
    num[0] = k < 5 ? 1.0 : (k < 10 ? 1.0 + 5e-7 : 1.0 + 2e-6);
    double out = 0.0;
    tfnn35(1, num.data(), den.data(), x0.data(), 0, 2.0, 1.0, out);
    scaled.push_back(e_s2::stor(24));
    y.push_back(out);
    EXPECT_EQ(e_s2::nexc, 56);
  };
  ASSERT_EQ(bench.run(12).status, -1);
  // w = 2 scales the s coefficient of the denominator to 1/2.
  EXPECT_EQ(e_s2::stor(36), 0.5);
  EXPECT_EQ(scaled[9], 1.0);
  EXPECT_EQ(scaled[10], 1.0 + 2e-6);
  // The redesign keeps the state: the increments keep shrinking by
  // phi = (1 - 0.01)/(1 + 0.01) (pole -2, h = 0.005); the gain change adds ~4e-8.
  EXPECT_NEAR(y[10] - y[9], (0.99 / 1.01) * (y[9] - y[8]), 1e-7);
}

TEST(TransferFunction, FatalErrorsStopWithTheirExactLines) {
  const std::array<double, 12> num{1.0}, den{1.0, 1.0}, zeroLead{1.0, 1.0, 0.0}, x0{};
  struct Case {
    std::int32_t n, design;
    const double* den;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases{
      {11, 1, den.data(),
       {"Transfer Function TFDN10 array overflow: Order of ", "denominator cannot be greater than 10",
        ". Try factoring the transfer function ", "and use two or more cascaded blocks."}},
      {2, 1, zeroLead.data(),
       {"Ill conditioned coefficient matrix in ", "non-linear transfer function block. Denominator ",
        "should be of higher order than the order of Numerator."}}};
  for (const Case& c : cases) {
    BlockBench bench(1e-3);
    e_warn::comp_id1 = 6;
    e_warn::comp_id2 = 1;
    e_s1::timezero = true;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      double y = 0.0;
      tfdn10(c.n, num.data(), c.den, x0.data(), 0, c.design, 1.0, y);
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(lines_of(o.console), fatal_lines(c.texts, "TFDN10      ", 6, 1));
  }
}

TEST(TransferFunction, FrequencyScalingMapsLowPassAndHighPass) {
  std::array<double, 3> num{1.0, 0.0, 0.0}, den{1.0, 2.0, 4.0};
  cscaln(2, 2.0, 1, num.data(), den.data());
  EXPECT_EQ(den, (std::array<double, 3>{1.0, 1.0, 1.0}));
  cscaln(2, 2.0, 2, num.data(), den.data());
  EXPECT_EQ(den, (std::array<double, 3>{4.0, 2.0, 1.0}));
  EXPECT_EQ(num, (std::array<double, 3>{0.0, 0.0, 1.0}));
  cscaln(2, 2.0, 3, num.data(), den.data());
  EXPECT_EQ(num, (std::array<double, 3>{0.0, 0.0, 1.0}));
}

// ---- Filter design ----

TEST(FilterDesign, ButterworthLowPassHasItsPolesAndUnitGain) {
  std::array<double, 11> den{}, num{};
  const double w = 2 * kPi * 50;
  chlpfn(2, 0.0, w, 0.0, 1, 1, den.data(), num.data());
  EXPECT_NEAR(den[1], std::sqrt(2.0) / w, 1e-17);
  EXPECT_NEAR(den[2], 1 / (w * w), 1e-19);
  EXPECT_EQ(num[0], den[0]);
  EXPECT_NEAR(std::abs(response(num, den, cx(0, w))), std::sqrt(0.5), 1e-12);
}

TEST(FilterDesign, ChebyshevGainsAtZeroAndAtTheHalfPowerPoint) {
  const double w = 2 * kPi * 50;
  for (std::int32_t n : {2, 3, 4}) {
    SCOPED_TRACE(n);
    std::array<double, 11> den{}, num{};
    chlpfn(n, 1.0, w, 0.0, 2, 1, den.data(), num.data());
    const double k = n % 2 == 0 ? 0.8912509381337456 : 1.0;
    EXPECT_NEAR(num[0] / den[0], k, 1e-12);
    EXPECT_NEAR(std::abs(response(num, den, cx(0, w))), std::sqrt(0.5), 1e-9);
    // The high-pass: numerator K s^n, gain K at infinite frequency.
    chlpfn(n, 1.0, w, 0.0, 2, 2, den.data(), num.data());
    for (std::int32_t i = 0; i < n; ++i) EXPECT_EQ(num[i], 0.0);
    EXPECT_NEAR(num[n] / den[n], k, 1e-12);
    EXPECT_NEAR(std::abs(response(num, den, cx(0, w))), std::sqrt(0.5), 1e-9);
  }
}

TEST(FilterDesign, BandFiltersHavePositiveGainKForEveryOrder) {
  const double w = 2 * kPi * 50, q = 5.0;
  for (std::int32_t approx : {1, 2})
    for (std::int32_t n : {2, 4, 6, 8, 10}) {
      SCOPED_TRACE(n + 100 * approx);
      const double k = approx == 2 && (n / 2) % 2 == 0 ? 0.8912509381337456 : 1.0;
      std::array<double, 11> den{}, num{};
      chlpfn(n, 1.0, w, q, approx, 3, den.data(), num.data());
      const cx mid = response(num, den, cx(0, w));
      EXPECT_NEAR(mid.real(), k, 1e-9);
      EXPECT_NEAR(mid.imag(), 0.0, 1e-9);
      // The band edges, w/Q apart around w geometrically, are half-power points.
      const double bw = w / q, lo = -bw / 2 + std::sqrt(bw * bw / 4 + w * w);
      EXPECT_NEAR(std::abs(response(num, den, cx(0, lo))), std::sqrt(0.5), 1e-7);
      EXPECT_NEAR(std::abs(response(num, den, cx(0, lo + bw))), std::sqrt(0.5), 1e-7);
      chlpfn(n, 1.0, w, q, approx, 4, den.data(), num.data());
      EXPECT_NEAR(num[0] / den[0], k, 1e-9);
      EXPECT_NEAR(std::abs(response(num, den, cx(0, w))), 0.0, 1e-9);
    }
}

// Runs the tuned filter on a sine of `period` steps or on a constant.
std::vector<double> run_filter(std::int32_t n, std::int32_t kind, std::int32_t approx, double input,
                               std::int32_t period, std::int32_t steps, double delt) {
  BlockBench bench(delt, BenchSizes{.stor = 400, .storf = 400});
  std::vector<double> y;
  bench.dynamics = [&] {
    const double x = period > 0 ? std::sin(2 * kPi * ctrl::iii / period) : input;
    double out = 0.0;
    filn15(n, 50.0, 5.0, 1.0, approx, kind, 1, x, out);
    y.push_back(out);
  };
  EXPECT_EQ(bench.run(steps).status, -1);
  return y;
}

TEST(FilterDesign, TunedButterworthLowPassMeasuredFromItsSteadyStateResponse) {
  // 50 us steps, 400 per cycle of 50 Hz; slowest pole 2 pi 50 cos(3 pi/8) = 120/s.
  const double delt = 50e-6;
  const std::vector<double> dc = run_filter(4, 1, 1, 1.0, 0, 8000, delt);
  EXPECT_NEAR(dc.back(), 1.0, 1e-10);
  const std::vector<double> y = run_filter(4, 1, 1, 0.0, 400, 8000, delt);
  const double x = 2 * kPi * 50 * delt / 2, r = std::tan(x) / x;
  EXPECT_NEAR(amplitude(y, 400), 1 / std::sqrt(1 + std::pow(r, 8)), 1e-9);
  EXPECT_NEAR(amplitude(y, 400), 0.7071, 1e-4);
  const std::vector<double> cheb = run_filter(2, 1, 2, 1.0, 0, 8000, delt);
  EXPECT_NEAR(cheb.back(), 0.8912509, 1e-7);
}

TEST(FilterDesign, TunedFilterDesignsAgainOnlyWhenAParameterMovesEnough) {
  BlockBench bench(1e-4);
  std::vector<double> den2;
  bench.dynamics = [&] {
    const std::int32_t k = ctrl::iii;
    const double f = k < 3 ? 50.0 : (k < 6 ? 50.0 + 5e-7 : 50.0 + 2e-6);
    double out = 0.0;
    filn15(2, f, 1.0, 0.0, 1, 1, 0, 1.0, out);
    den2.push_back(e_s2::stor(4 + 2));
    EXPECT_EQ(e_s2::nexc, 25);
  };
  ASSERT_EQ(bench.run(7).status, -1);
  EXPECT_EQ(den2[5], den2[0]);
  EXPECT_NEAR(den2[6], 1 / std::pow(2 * kPi * (50.0 + 2e-6), 2), 1e-22);
  EXPECT_NE(den2[6], den2[0]);
}

TEST(FilterDesign, BandEdgesGiveMidBandFrequencyAndQuality) {
  double f = 0.0, q = 0.0;
  filn15_pre(45.0, 55.0, f, q);
  EXPECT_NEAR(f, std::sqrt(2475.0), 1e-12);
  EXPECT_NEAR(q, std::sqrt(2475.0) / 10, 1e-12);
}

TEST(FilterDesign, BadDataStopsWithItsTextAndTag) {
  struct Case {
    std::int32_t n, approx, kind;
    double ripple;
    std::vector<std::string> texts;
    std::string tag;
  };
  const std::vector<Case> cases{
      {3, 1, 4, 0.0, {"Bandpass or Bandstop filer order must ", "be an even number, Change order from 3"}, "CHLPFN      "},
      {3, 1, 3, 0.0, {"Bandpass or Bandstop filer order must ", "be an even number, Change order from 3"}, "CHLPFN      "},
      {2, 2, 1, 3.5, {"Chebyshev ripple must be above 0 dB and at most 3.0103 dB."}, "CHLPFN      "},
      {2, 2, 1, 0.0, {"Chebyshev ripple must be above 0 dB and at most 3.0103 dB."}, "CHLPFN      "},
      {2, 3, 1, 1.0, {"Filter approximation must be 1 (Butterworth) or 2 (Chebyshev)."}, "CHLPFN      "},
      {12, 1, 1, 0.0,
       {"Transfer Function TFDN10 array overflow: Order of ", "denominator cannot be greater than 10",
        ". Try factoring the transfer function ", "and use two or more cascaded blocks."},
       "TFDN10      "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.texts[0]);
    BlockBench bench(1e-4);
    e_warn::comp_id1 = 2;
    e_warn::comp_id2 = 8;
    e_s2::nexc = 3;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      double y = 0.0;
      filn15(c.n, 50.0, 2.0, c.ripple, c.approx, c.kind, 0, 1.0, y);
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(lines_of(o.console), fatal_lines(c.texts, c.tag, 2, 8));
    EXPECT_EQ(e_s2::nexc, 3);
  }
  BlockBench bench(1e-4);
  e_warn::comp_id1 = 0;
  const wakro_test::Outcome o = wakro_test::run_captured([] {
    double f = 0.0, q = 0.0;
    filn15_pre(55.0, 45.0, f, q);
  });
  EXPECT_EQ(lines_of(o.console),
            fatal_lines({"Upper Frequency must be greater than Lower Frequency"}, "FILN15      ", 0, 0));
}

}  // namespace
}  // namespace blocks_test
