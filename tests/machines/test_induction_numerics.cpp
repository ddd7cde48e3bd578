// The induction machine numerics against hand values: the frame transform and
// its round trip, the storage of a matrix, the Gauss-Jordan inverse with its
// pivot rule and its refusal, the winding matrix's pair terms, one Heun step
// against a hand-worked step, and the saturation factor with its checks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "machines/induction_numerics.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "support/console_capture.h"
#include "support/shared_state.h"

namespace {

using namespace wakro::machines;

class InductionNumerics : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    e_s2::stor.allocate(300);
    rt_config::rtcf.allocate(80);
    e_s2::nexc = 20;
    rt_config::nrtcf = 4;
    e_warn::comp_id1 = 5;
    e_warn::comp_id2 = 9;
    e_s1::delt = 1e-3;
  }
  void TearDown() override {
    e_s2::stor.release();
    rt_config::rtcf.release();
    wakro_test::reset_shared_state();
  }
  // Points (x, y) at configuration offset 10 on, the rest marked ended.
  static void config_curve(std::initializer_list<double> xy) {
    std::int32_t k = rt_config::nrtcf + 10;
    for (double v : xy) rt_config::rtcf(k++) = v;
    rt_config::rtcf(k) = -1.0;
  }
};

TEST_F(InductionNumerics, TransformRoundTripAndQAxisSign) {
  for (double theta : {0.0, 0.4, 2.5, -1.1, 5.0}) {
    Phases abc{0.3, -1.7, 2.2}, dq0{};
    const Phases in = abc;
    trns_nv(abc, dq0, theta, 1);
    abc = {9.0, 9.0, 9.0};
    trns_nv(abc, dq0, theta, 0);
    // The literal thirds are off by up to 1e-15 relative (0.333333333333333):
    // the round trip is held to twice that.
    for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(abc[k], in[k], 2e-15 * std::fabs(in[k])) << theta;
  }
  Phases abc{0.3, -1.7, 2.2}, dq0{};
  trns_nv(abc, dq0, 0.0, 1);
  EXPECT_NEAR(dq0[1], (2.2 - (-1.7)) / std::sqrt(3.0), 1e-14);
  EXPECT_NEAR(dq0[0], (2.0 * 0.3 - (-1.7) - 2.2) / 3.0, 1e-14);
  EXPECT_NEAR(dq0[2], (0.3 - 1.7 + 2.2) * 0.333333333333333, 1e-16);
}

TEST_F(InductionNumerics, MatrixStoredRowByRowAndLoadedBack) {
  WindingMatrix m{};
  for (std::int32_t i = 1; i <= 3; ++i)
    for (std::int32_t j = 1; j <= 3; ++j) at(m, i, j) = 10.0 * i + j;
  stormat_nv(m, 35, 1, 3);
  EXPECT_EQ(e_s2::stor(20 + 35 + 1), 11.0);
  EXPECT_EQ(e_s2::stor(20 + 35 + 2), 12.0);
  EXPECT_EQ(e_s2::stor(20 + 35 + 4), 21.0);
  EXPECT_EQ(e_s2::stor(20 + 35 + 9), 33.0);
  EXPECT_EQ(e_s2::nexc, 20);
  WindingMatrix back{};
  stormat_nv(back, 35, 0, 3);
  EXPECT_EQ(back, m);
}

TEST_F(InductionNumerics, InverseSwapsOnAPositivePivotAndRefusesANegativeOne) {
  WindingMatrix a{}, inv{};
  at(a, 1, 1) = 0.0, at(a, 1, 2) = 1.0, at(a, 2, 1) = 2.0, at(a, 2, 2) = 3.0;
  inverse_nv(a, inv, 2);
  EXPECT_DOUBLE_EQ(at(inv, 1, 1), -1.5);
  EXPECT_DOUBLE_EQ(at(inv, 1, 2), 0.5);
  EXPECT_DOUBLE_EQ(at(inv, 2, 1), 1.0);
  EXPECT_DOUBLE_EQ(at(inv, 2, 2), 0.0);
  at(a, 2, 1) = -2.0;
  const auto o = wakro_test::run_captured([&] { inverse_nv(a, inv, 2); });
  EXPECT_NE(o.status, -1);
  EXPECT_NE(o.console.find("Unable to find the inverse of the matrix[           5 :           9 ]"), std::string::npos) << o.console;
  EXPECT_NE(o.console.find("Abnormal termination of WAKRO by INDUCMC     "), std::string::npos) << o.console;
}

TEST_F(InductionNumerics, InverseOfAWindingMatrix) {
  ReactanceVector x{3.0, 0.1, 0.12, 0.2, 0.3, 0.4, 0.01, 0.02, 0.03, 0.04, 0.05, 0.06};
  WindingMatrix l{}, inv{};
  frmlmat_nv(x, 1.0, l, 5);
  inverse_nv(l, inv, 5);
  for (std::int32_t i = 1; i <= 5; ++i)
    for (std::int32_t j = 1; j <= 5; ++j) {
      double s = 0.0;
      for (std::int32_t k = 1; k <= 5; ++k) s += at(l, i, k) * at(inv, k, j);
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12);
    }
}

TEST_F(InductionNumerics, WindingMatrixPairTermsByOrder) {
  // Pair reactances chosen as powers of two so each pair is seen alone.
  ReactanceVector x{1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 2.0, 4.0, 8.0, 16.0, 32.0};
  struct Row {
    std::int32_t n;
    double l22, l33;  // (2, 2) and (3, 3) with their pair terms, scale 2
  };
  for (const Row& r : {Row{2, 0.5, 0.0}, Row{3, 1.0, 1.0}, Row{4, 2.0, 5.0}, Row{5, 4.0, 13.0}}) {
    WindingMatrix m{};
    frmlmat_nv(x, 2.0, m, r.n);
    EXPECT_DOUBLE_EQ(at(m, 1, 1), 0.5) << r.n;
    EXPECT_DOUBLE_EQ(at(m, 2, 2), r.l22) << r.n;
    EXPECT_DOUBLE_EQ(at(m, 2, 1), 0.5) << r.n;
    if (r.n >= 3) {
      EXPECT_DOUBLE_EQ(at(m, 3, 3), r.l33) << r.n;
      EXPECT_DOUBLE_EQ(at(m, 3, 2), 1.0) << r.n;
      EXPECT_DOUBLE_EQ(at(m, 2, 3), 1.0) << r.n;
    }
    if (r.n >= 4) {
      EXPECT_DOUBLE_EQ(at(m, 4, 3), 0.5 + 8.0 * 0.5) << r.n;
    }
    if (r.n < 5) {
      EXPECT_EQ(at(m, 5, 5), 0.0) << r.n;
    }
  }
}

TEST_F(InductionNumerics, HeunStepOfTwoCircuitsByHand) {
  // L = I (inverse I), wb = 1, dt = 1e-3: predictor fluxes, end derivatives, mean.
  WindingMatrix inv{};
  at(inv, 1, 1) = at(inv, 2, 2) = 1.0;
  FluxStep f;
  f.r = {0.5, 2.0};
  f.x0 = 2.0;
  f.psi_d = {1.0, 0.5};
  f.psi_q = {-1.0, 0.2};
  f.psi_0 = 0.4;
  f.dpsi_d = {10.0, 4.0};
  f.dpsi_q = {-2.0, 1.0};
  f.dpsi_0 = 6.0;
  const double dt = 1e-3, w = 0.9;
  const Phases v{1.0, 2.0, 3.0};
  euler_nv(f, inv, w, v, 1.0, 0.7, -0.3, 2);
  const double pd1 = 1.0 + dt * 10.0, pd2 = 0.5 + dt * 4.0, pq1 = -1.0 - dt * 2.0, pq2 = 0.2 + dt;
  const double fd1 = -0.5 * pd1 + 1.0 - pq1 * w, fq1 = -0.5 * pq1 + 2.0 + w * pd1;
  const double fd2 = -2.0 * pd2 + 0.7, fq2 = -2.0 * pq2 - 0.3;
  const double i0 = (0.4 + dt * 6.0) / 2.0;
  EXPECT_NEAR(f.psi_d[0], 1.0 + (fd1 + 10.0) * dt * 0.5, 1e-15);
  EXPECT_NEAR(f.psi_q[0], -1.0 + (fq1 - 2.0) * dt * 0.5, 1e-15);
  EXPECT_NEAR(f.psi_d[1], 0.5 + (fd2 + 4.0) * dt * 0.5, 1e-15);
  EXPECT_NEAR(f.psi_q[1], 0.2 + (fq2 + 1.0) * dt * 0.5, 1e-15);
  EXPECT_NEAR(f.psi_0, 0.4 + ((3.0 - i0 * 0.5) + 6.0) * dt * 0.5, 1e-15);
  EXPECT_EQ(f.dpsi_d[0], 10.0);  // derivatives left as they were
}

TEST_F(InductionNumerics, SaturationFactorFromTheConfigurationStore) {
  config_curve({0.0, 0.0, 1.0, 1.0, 2.0, 1.5});
  e_s1::timezero = true;
  struct Row {
    double x, factor;
  };
  for (const Row& r : {Row{0.5, 1.0}, Row{1.0, 1.0}, Row{1.5, 0.8333333}, Row{2.0, 0.75}, Row{3.0, 0.6666667}}) {
    double f = 0.0;
    satur_nvrt(r.x, f, 10);
    EXPECT_NEAR(f, r.factor, 1e-7) << r.x;
  }
  // Two points: no saturation whatever x.
  config_curve({0.0, 0.0, 1.0, 1.0});
  double f = 0.0;
  satur_nvrt(9.0, f, 10);
  EXPECT_EQ(f, 1.0);
}

TEST_F(InductionNumerics, BadCurvesFailOnlyAtTimeZero) {
  for (auto curve : {std::initializer_list<double>{-0.5, 0.0, 1.0, 1.0, 2.0, 1.5},
                     std::initializer_list<double>{0.1, 0.0, 1.0, 1.0, 2.0, 1.5},
                     std::initializer_list<double>{0.0, 0.0, 1.0, 1.0, 1.0, 1.5},
                     std::initializer_list<double>{0.0, 0.0, 1.0, 1.0, 2.0, 0.9}}) {
    config_curve(curve);
    double f = 0.0;
    e_s1::timezero = false;  // not checked after time zero
    const auto later = wakro_test::run_captured([&] { satur_nvrt(0.5, f, 10); });
    EXPECT_EQ(later.status, -1);
    e_s1::timezero = true;
    const auto o = wakro_test::run_captured([&] { satur_nvrt(1.5, f, 10); });
    EXPECT_NE(o.status, -1);
    EXPECT_NE(o.console.find(" ***ERROR** ERROR in saturation data[           5 :           9 ]"), std::string::npos)
        << o.console;
    TearDown();  // the stop released the stores
    SetUp();
  }
}

TEST_F(InductionNumerics, BlockCurvesBySelectorAndTheirFourLineRefusal) {
  const double mag[] = {0.0, 0.0, 1.0, 1.0, 2.0, 1.5, -1.0};
  const double leak[] = {0.0, 0.0, 4.0, 4.0, 6.0, 5.0, -1.0};
  for (std::int32_t k = 0; k < 7; ++k) {
    e_s2::stor(20 + kMagnetisingCurveSlot + k) = mag[k];
    e_s2::stor(20 + kLeakageCurveSlot + k) = leak[k];
  }
  e_s1::timezero = true;
  double f1 = 0.0, f2 = 0.0;
  satur_nv(3.0, f1, 1);
  satur_nv(3.0, f2, 2);
  EXPECT_NEAR(f1, 2.0 / 3.0, 1e-12);
  EXPECT_NEAR(f2, 1.0, 1e-12);  // still on the first segment of the leakage curve
  e_s2::stor(20 + kLeakageCurveSlot) = 0.2;
  const auto o = wakro_test::run_captured([&] { satur_nv(3.0, f2, 0); });
  EXPECT_NE(o.status, -1);
  EXPECT_NE(o.console.find("ERROR in saturation data\nFirst point need to be 0,0 and Second point\n"
                           "should be in the unsaturated region\nPoints should be entered in ascending order.\n"),
            std::string::npos)
      << o.console;
}

}  // namespace
