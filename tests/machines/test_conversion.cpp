// Terminal data to equivalent circuit, operating point to initial state, the
// saturation zones and the voltage behind an impedance: hand-worked values.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "machine_fixture.h"
#include "machines/conversion.h"
#include "machines/saturation.h"

namespace {

using namespace wakro::machines;
using mtest::near_rel;
using Curve = std::array<double, kSatPoints>;

constexpr double kSqrt2 = 1.4142135623730951;

// The case generator's data on both axes fail the exact conversion at its last
// test (Lk >= Lf), so the approximate values stand: Xm = X - Xa,
// X1 = 1/(1/(X' - Xa) - 1/Xm), X2 = 1/(1/(X'' - Xa) - 1/(X' - Xa)),
// R1 = (Xm + X1)/(w T'o), R2 = (Xm X1 + X2 (Xm + X1))/((Xm + X1) w T''o).
TEST(Conversion, CaseGeneratorDAxisFallsBackOnTheApproximation) {
  const DAxisCircuit d = ddatcv(0.13, mtest::kW, 0.92, 0.135, 0.032, 0.169, 4.3, 1.0E6, 1.0E6);
  EXPECT_EQ(d.code, kConvLeakageOrder);
  EXPECT_EQ(d.fit, 0);
  EXPECT_NEAR(d.Xmd, 0.79, 1e-15);
  EXPECT_TRUE(near_rel(d.Rf, 5.126414e-4, 1e-6));
  EXPECT_TRUE(near_rel(d.Xf, 4.102530e-2, 1e-6));
  EXPECT_TRUE(near_rel(d.Rkd, 3.708243e-3, 1e-6));
  EXPECT_TRUE(near_rel(d.Xkd, 5.735294e-3, 1e-6));
  EXPECT_EQ(d.Xkf, 0.0);
  EXPECT_TRUE(near_rel(d.Tdp, 0.789891, 1e-6));
  EXPECT_TRUE(near_rel(d.Tdpp, 0.0255621, 1e-5));
}

TEST(Conversion, CaseGeneratorQAxisAndOneCircuitForm) {
  const QAxisCircuit q = qdatcv(0.13, mtest::kW, 1.0, 0.51, 0.2, 0.05, 0.228, 0.85);
  EXPECT_EQ(q.code, kConvLeakageOrder);
  EXPECT_NEAR(q.Xmq, 0.38, 1e-15);
  EXPECT_TRUE(near_rel(q.Rkq1, 1.597964e-3, 1e-6));
  EXPECT_TRUE(near_rel(q.Xkq1, 0.1320567, 1e-6));
  EXPECT_TRUE(near_rel(q.Rkq2, 1.819667e-2, 1e-6));
  EXPECT_TRUE(near_rel(q.Xkq2, 0.245, 1e-6));
  // One circuit: Xkq1 = 1/(1/(0.2 - 0.1) - 1/0.5) = 0.125, Rkq1 = 0.625/(100 pi 0.05).
  const QAxisCircuit one = qdatcv(0.1, 100.0 * M_PI, 0.0, 0.6, 0.2, 0.05, 123.0, 456.0);
  EXPECT_EQ(one.code, kConvOneCircuit);
  EXPECT_NEAR(one.Xmq, 0.5, 1e-15);
  EXPECT_NEAR(one.Xkq1, 0.125, 1e-14);
  EXPECT_NEAR(one.Rkq1, 0.0397887, 1e-7);
  for (double v : {one.Rkq2, one.Xkq2, one.Tqp, one.Tqpp}) EXPECT_EQ(v, 1.0E6);
}

// Equal open-circuit time constants make the product Q of step 7 non-negative
// or fail earlier: every output is zero, and ddatcv returns the approximation
// with the same code.
TEST(Conversion, ExactConversionFailureGivesZerosAndTheApproximation) {
  const AxisCircuits a = mconvs(0.1, 377.0, 1.0, 0.4, 0.3, 1.0, 1.0);
  EXPECT_GE(a.code, kConvShortCircuitNotReal);
  EXPECT_LE(a.code, kConvRotorNotBetween);
  for (double v : {a.R1, a.X1, a.R2, a.X2, a.Tp, a.Tpp}) EXPECT_EQ(v, 0.0);
  const DAxisCircuit d = ddatcv(0.1, 377.0, 1.0, 0.3, 1.0, 0.4, 1.0, 1.0E6, 1.0E6);
  const AxisCircuits m = mcaprx(0.1, 377.0, 1.0, 0.4, 0.3, 1.0, 1.0);
  EXPECT_EQ(d.code, a.code);
  EXPECT_EQ(d.Rf, m.R1);
  EXPECT_EQ(d.Xkd, m.X2);
  // mcaprx by hand: X1 = 1/(1/0.3 - 1/0.9) = 0.45, X2 = 1/(1/0.2 - 1/0.3) = 0.6.
  EXPECT_NEAR(m.X1, 0.45, 1e-14);
  EXPECT_NEAR(m.X2, 0.6, 1e-14);
  EXPECT_NEAR(m.R1, 1.35 / 377.0, 1e-15);
  EXPECT_NEAR(m.Tp, 0.4, 1e-15);
  EXPECT_NEAR(m.Tpp, 0.75, 1e-15);
}

// Data that make a step divide by zero (Xm = 0) give an error code, never NaN
// with code 0.
TEST(Conversion, NonFiniteIntermediateIsAnErrorCode) {
  const AxisCircuits a = mconvs(1.0, 377.0, 1.0, 0.4, 0.3, 5.0, 0.05);
  EXPECT_NE(a.code, 0);
  for (double v : {a.R1, a.X1, a.R2, a.X2}) EXPECT_EQ(v, 0.0);
}

TEST(Conversion, AxisOrderAndTimeConstantsAreChecked) {
  struct Case {
    char axis;
    bool two;
    double Xa, X, Xp, Xpp, Tpo, Tppo;
    std::string text;
  };
  const std::vector<Case> cases = {
      {'d', true, 0.13, 0.92, 0.169, 0.135, 4.3, 0.032, ""},
      {'d', true, 0.14, 0.92, 0.169, 0.135, 4.3, 0.032, "Xd data must satisfy Xa < Xd\" < Xd' < Xd"},
      {'q', true, 0.13, 0.51, 0.2, 0.228, 0.85, 0.05, "Xq data must satisfy Xa < Xq\" < Xq' < Xq"},
      {'d', true, 0.13, 0.92, 0.169, 0.135, 0.0, 0.032, "Td0\" and Td0' must be positive"},
      {'q', false, 0.1, 0.6, 1.0E6, 0.2, 1.0E6, 0.05, ""},
      {'q', false, 0.1, 0.6, 1.0E6, 0.7, 1.0E6, 0.05, "Xq data must satisfy Xa < Xq\" < Xq"},
      {'q', false, 0.1, 0.6, 1.0E6, 0.2, 1.0E6, -1.0, "Tq0\" must be positive"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(axis_data_fault(c.axis, c.two, c.Xa, c.X, c.Xp, c.Xpp, c.Tpo, c.Tppo), c.text) << c.axis << c.Xa;
}

// A target equal to the starting field admittance times W(0) cannot be
// improved on: the inputs come back with the fit flag 0.
TEST(Conversion, RotorFitKeepsTheInputsWhenNoTrialImproves) {
  using cplx = std::complex<double>;
  const double Xa = 0.13, Xd = 0.92, Rf = 5e-4, Xf = 0.04, Rk = 4e-3, Xk = 6e-3;
  const cplx j(0.0, 1.0), Yf = 1.0 / cplx(Rf, Xf), Yk = 1.0 / cplx(Rk, Xk);
  const cplx Zt = j * Xa + 1.0 / (Yf + Yk - j / (Xd - Xa));
  const cplx T = Yf * (1.0 - j * Xa / Zt);
  const RotorFit f = fixrot(T.real(), T.imag(), Xa, Xd, Rf, Xf, Rk, Xk);
  EXPECT_EQ(f.fit, 0);
  EXPECT_EQ(f.Xkf, 0.0);
  EXPECT_EQ(f.Rf, Rf);
  EXPECT_EQ(f.Xf, Xf);
  EXPECT_EQ(f.Rk, Rk);
  EXPECT_EQ(f.Xk, Xk);
}

// The curve (0, 0), (1, 1), (2, 1.5), then x = -1, with Xmd = 2: c = sqrt2/2.
TEST(Saturation, ThreeZonesOfTheWorkedCurve) {
  SaturationTable t;
  ASSERT_EQ(build_saturation(Curve{0.0, 1.0, 2.0, -1.0}, Curve{0.0, 1.0, 1.5}, 2.0, t), "");
  ASSERT_EQ(t.n, 3);
  const double I[3] = {0.0, 0.70711, 1.41421}, F[3] = {0.0, 1.41421, 2.12132}, S[3] = {2.0, 1.0, 1.0};
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(t.I[k], I[k], 5e-6);
    EXPECT_NEAR(t.F[k], F[k], 5e-6);
    EXPECT_NEAR(t.S[k], S[k], 1e-12);
  }
  for (int k = 3; k < kMaxZones; ++k) EXPECT_EQ(t.I[k] + t.F[k] + t.S[k], 0.0);
  EXPECT_EQ(zone_of_current(t, 0.70711), 2);
  EXPECT_EQ(zone_of_current(t, -0.70711), 2);
  EXPECT_EQ(zone_of_current(t, t.I[1]), 2);  // exactly at a zone start: the upper zone
  EXPECT_EQ(zone_of_current(t, 0.5), 1);
  EXPECT_EQ(zone_of_current(t, 9.0), 3);
  EXPECT_NEAR(magnetising_flux(t, 1.0, zone_of_current(t, 1.0)), 1.70711, 5e-6);
  EXPECT_NEAR(magnetising_flux(t, -1.0, 2), -1.70711, 5e-6);
  EXPECT_EQ(magnetising_flux(t, 0.0, 1), -0.0);  // zero counts negative: -(0 * 2 + 0)
  EXPECT_NEAR(magnetising_current(t, 1.70711), 1.0, 1e-5);
}

TEST(Saturation, TakenPointsRatioFormAndRefusals) {
  struct Case {
    Curve x, y;
    double xmd;
    std::string fault;
    int n;
    double S1, Slast;
  };
  Curve ten_x{}, ten_y{};
  for (int k = 0; k < 10; ++k) {
    ten_x[k] = k;
    ten_y[k] = std::sqrt(static_cast<double>(k));  // concave; the second point on the air-gap line
  }
  const double c = kSqrt2 / 2.0;  // ten points, Xmd = 2: I = c x, F = sqrt2 sqrt x
  const std::vector<Case> cases = {
      // none and one point: one linear zone of slope Xmd
      {{-1.0}, {0.0}, 2.0, "", 1, 2.0, 2.0},
      {{0.0, -1.0}, {0.0}, 2.0, "", 1, 2.0, 2.0},
      // x = -0.001 is taken, -0.0011 is not
      {{-0.001, 1.0, -1.0}, {-0.001, 1.0}, 2.0, "", 2, 2.0, 2.0},
      {{-0.0011, 1.0, 2.0, -1.0}, {0.0, 1.0, 1.5}, 2.0, "", 1, 2.0, 2.0},
      // ten points: no terminator, the last slope extends the ninth
      {ten_x, ten_y, 2.0, "", 10, kSqrt2 / c, kSqrt2 * (3.0 - std::sqrt(8.0)) / c},
      // y1 = 1.0005: factors, y = (0.2001, 1, 1.6); y1 = 1.001: as entered, falling
      {{0.2, 1.0, 2.0, -1.0}, {1.0005, 1.0, 0.8}, 2.0, "", 3, kSqrt2 * 0.7999 / (c * 0.8), kSqrt2 * 0.6 / c},
      {{0.2, 1.0, 2.0, -1.0}, {1.001, 1.0, 0.8}, 2.0, "Saturation curve: every slope must be positive", 0, 0, 0},
      {{0.0, 1.0, 1.0, -1.0}, {0.0, 1.0, 1.5}, 2.0, "Saturation curve: x must rise strictly", 0, 0, 0},
      {{0.0, 0.0, 1.0, -1.0}, {0.0, 1.0, 1.5}, 2.0, "Saturation curve: the second point must have x > 0", 0, 0, 0},
      {{0.0, 1.0, 2.0, -1.0}, {0.0, 1.0, 0.5}, 2.0, "Saturation curve: every slope must be positive", 0, 0, 0},
      {{0.0, 1.0, -1.0}, {0.0, 0.0}, 2.0, "Saturation curve: every slope must be positive", 0, 0, 0},
      {{0.0, 1.0, -1.0}, {0.0, 1.0}, 0.0, "Xmd must be positive for the saturation curve", 0, 0, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.fault + " n=" + std::to_string(k.n));
    SaturationTable t;
    ASSERT_EQ(build_saturation(k.x, k.y, k.xmd, t), k.fault);
    EXPECT_EQ(t.n, k.n);
    if (k.n == 0) continue;
    if (k.n == 1) {
      EXPECT_EQ(t.I[0] + t.F[0], 0.0);
    }
    EXPECT_NEAR(t.S[0], k.S1, 1e-12);
    EXPECT_NEAR(t.S[k.n - 1], k.Slast, 1e-12);
    if (k.n > 1) {
      EXPECT_EQ(t.S[k.n - 1], t.S[k.n - 2]);
    }
  }
}

// P = Q = 0: no current, the rotor on the voltage, and the field current that
// magnetises sqrt2 Vm on the unsaturated line (Xmd = 2).
TEST(Conversion, InitialStateOfAnIdleMachine) {
  SaturationTable t;
  ASSERT_EQ(build_saturation(Curve{0.0, 1.0, -1.0}, Curve{0.0, 1.0}, 2.0, t), "");
  const InitialState s = icconv1_cfg(t, 0.003, 0.13, 0.38, 1.0, 0.3, 0.0, 0.0);
  EXPECT_EQ(s.id, 0.0);
  EXPECT_EQ(-s.iq, 0.0);
  EXPECT_NEAR(s.theta, 0.3 + M_PI, 1e-15);
  EXPECT_NEAR(s.ifd, 0.70711, 5e-6);
  // A voltage below 0.01 is taken as 0.01.
  const InitialState low = icconv1_cfg(t, 0.003, 0.13, 0.38, 0.0, 0.0, 0.0, 0.0);
  EXPECT_NEAR(low.ifd, kSqrt2 * 0.01 / 2.0, 1e-15);
}

// Loaded: the current i = sqrt2 (-P + jQ)/V and e = v - (R + j(Xa + Xmq)) i;
// the axis currents put i on the rotor frame of angle delta = arg e.
TEST(Conversion, InitialStateOfALoadedMachine) {
  SaturationTable t;
  ASSERT_EQ(build_saturation(Curve{0.0, 1.0, -1.0}, Curve{0.0, 1.0}, 0.79, t), "");
  const double P = 0.8, Q = 0.3, R = 0.002, Xq = 0.51;
  const std::complex<double> i = kSqrt2 * std::complex<double>(-P, Q);
  const std::complex<double> e = kSqrt2 - std::complex<double>(R, Xq) * i;
  const InitialState s = icconv1_cfg(t, R, 0.13, 0.38, 1.0, 0.1, P, Q);
  const double delta = std::arg(e);
  EXPECT_NEAR(s.theta, delta + 0.1 + M_PI, 1e-14);
  EXPECT_NEAR(s.id * s.id + s.iq * s.iq, std::norm(i), 1e-13);
  EXPECT_NEAR(s.id, std::abs(i) * std::sin(delta - std::arg(i)), 1e-14);
  // On the linear line the d-axis flux |e| + Xmq id is Xmd (id + ifd).
  EXPECT_NEAR(0.79 * (s.id + s.ifd), std::abs(e) + 0.38 * s.id, 1e-13);
}

TEST(StartValues, VoltageBehindAnImpedance) {
  struct Case {
    double P, Q, V, theta, R, X, E, delta;
  };
  const std::vector<Case> cases = {
      {1.0, 0.0, 1.0, 0.0, 0.0, 0.1, 1.0049876, 0.0996687},
      {0.0, 0.0, 0.0, 0.2, 0.1, 0.1, 0.01, 0.2},                 // V floored at 0.01
      {1.0, 0.0, 1.0, 0.3, -1.0, 0.5, 0.5, 0.3 + M_PI / 2.0},    // A = 0, B = -0.5
      {0.0, 1.0, 1.0, 0.3, 0.0, -1.0, 0.0, 0.3},                 // A = 0, B = 0
  };
  for (const Case& c : cases) {
    double E = -1.0, delta = -1.0;
    wakro::machines::e_findva(c.P, c.Q, c.V, c.theta, c.R, c.X, E, delta);
    EXPECT_NEAR(E, c.E, 5e-8) << c.P << " " << c.V;
    EXPECT_NEAR(delta, c.delta, 5e-8) << c.P << " " << c.V;
  }
}

}  // namespace
