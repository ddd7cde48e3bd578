// The compensator's firing control, core saturation and susceptance allocation
// in isolation, against hand-worked values (dt = 50 us).
#include <cmath>
#include <numbers>
#include <string>

#include "device_fixture.h"
#include "devices/svc_allocation.h"
#include "devices/svc_firing.h"
#include "devices/svc_model.h"
#include "model/e_s2.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kStep60 = kTwoPi * 60.0 * 5.0e-5;  // 0.018849556 rad a step at 60 Hz

class SvcFiring : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    size(1, 1);
    e_s2::nexc = 0;
  }
  static double& slot(std::int32_t k) { return e_s2::stor(k); }
  static double theta_after(double va, double vb, double vc, double kp) {
    double s = 0.0, c = 0.0, theta = 0.0;
    pll2(va, vb, vc, s, c, kp, 0.0, 100.0, 60.0, theta);
    return theta;
  }
  std::string gates() const {
    std::string g;
    for (std::int32_t k : {1, 2, 3, 4, 5, 6, 31, 32, 33, 34, 35, 36}) g += slot(k) == 1.0 ? '1' : '0';
    return g;
  }
};

TEST_F(SvcFiring, LoopAdvancesClampsAndWraps) {
  // Zero voltages: no error, the integral stays and the angle runs at 60 Hz.
  EXPECT_DOUBLE_EQ(theta_after(0.0, 0.0, 0.0, 50.0), kStep60);
  EXPECT_DOUBLE_EQ(slot(29), kStep60);
  EXPECT_EQ(slot(30), 0.0);
  EXPECT_EQ(e_s2::nexc, 0);
  // At theta = 0 a phase-a peak gives a positive error, its opposite a negative one.
  slot(29) = 0.0;
  EXPECT_DOUBLE_EQ(theta_after(100.0, -50.0, -50.0, 1e6), 1.2 * kStep60);
  slot(29) = 0.0;
  slot(30) = 0.0;
  EXPECT_DOUBLE_EQ(theta_after(-100.0, 50.0, 50.0, 1e6), 0.8 * kStep60);
  EXPECT_DOUBLE_EQ(slot(30), -0.816496580927726 * 1.5 * 5.0e-5);
  // Just below 2 pi, one step wraps to the remainder.
  slot(29) = kTwoPi - 0.001;
  slot(30) = 0.0;
  EXPECT_NEAR(theta_after(0.0, 0.0, 0.0, 50.0), 0.017849556, 1e-9);
}

TEST_F(SvcFiring, GatesFollowTheReferenceAnglesStrictly) {
  // theta = 0.5 after the step: first group x = 0.5, 4.69, 2.59, 3.64, 1.55, 5.96;
  // second group from 0.5 - 5 pi / 6: 4.17, 2.07, 6.26, 1.02, 5.21, 3.12.
  const double start = 0.5 - kStep60;
  slot(29) = start;
  firctl(0.0, 50.0, 900.0, 1, 0.0, 0.0, 0.0);
  EXPECT_EQ(gates(), "101010010101");
  const double theta = slot(29);
  EXPECT_NEAR(theta, 0.5, 1e-15);
  // A reference equal to the firing angle does not fire.
  slot(29) = start;
  firctl(theta, 50.0, 900.0, 1, 0.0, 0.0, 0.0);
  EXPECT_EQ(gates(), "001010010101");
  // ALPHA >= pi fires nothing; a disabled firing clears all and still runs the loop.
  firctl(std::numbers::pi, 50.0, 900.0, 1, 0.0, 0.0, 0.0);
  EXPECT_EQ(gates(), "000000000000");
  slot(29) = start;
  firctl(0.0, 50.0, 900.0, 0, 0.0, 0.0, 0.0);
  EXPECT_EQ(gates(), "000000000000");
  EXPECT_EQ(slot(29), theta);
}

TEST_F(SvcFiring, ValveRule) {
  // x, gate, r before; r and flag after (7: left as it was).
  const double cases[][5] = {{-1.0, 0.0, 1e-3, 1e6, -1}, {0.0, 0.0, 1e-3, 1e-3, 0}, {1.0, 0.5, 1e6, 1e6, 0},
                             {1.0, 0.6, 1e6, 1e-3, 1},    {0.0, 1.0, 1e6, 1e6, 0},    {1.0, 1.0, 5.0, 5.0, 7}};
  for (const auto& c : cases) {
    double r = c[2];
    std::int32_t flag = 7;
    thyrx(c[0], c[1], r, 1e-3, 1e6, flag);
    EXPECT_EQ(r, c[3]) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_EQ(flag, c[4]) << c[0] << " " << c[1] << " " << c[2];
  }
}

TEST_F(SvcFiring, SaturationOutsideTheKneeOnly) {
  // From rest, v = V1: d = 2 pi 60 1.225, psi = d dt / 2 = 0.0115454.
  const double d = kTwoPi * 60.0 * 1.225;
  const double psi_expected = d * 5.0e-5 / 2.0;
  double psi = 0.0;
  EXPECT_EQ(stsvc2(1.0, 0.3, 0.02, 1.0, 2.0, 60.0, 1.0, psi), 0.0);
  EXPECT_EQ(e_s2::nexc, 2);
  EXPECT_DOUBLE_EQ(psi, psi_expected);
  e_s2::nexc = 10;
  EXPECT_DOUBLE_EQ(stsvc2(1.0, 0.3, 0.01, 1.0, 2.0, 60.0, 1.0, psi),
                   -(1.0 / 0.3 - 0.001) * (psi_expected - 0.01) * 2.0);
  EXPECT_EQ(e_s2::nexc, 12);
}

TEST_F(SvcFiring, AllocationGivesTheWorkedNumbers) {
  e_svcaloct1_cfg(3, 0.1, 1.0, -1.0, -1.0);  // magnitudes of QL and QC count
  EXPECT_EQ(rt_config::nrtcf, 4);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(1), -10.0);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(2), -1.0 / 0.9);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(3), 1.0 / 3.3);
  const double expected[] = {0.5625, 0.19777563, -0.14136364};
  for (int n = 0; n < 3; ++n) {
    rt_config::nrtcf = 1;
    double bl = 0.0, blmax = 0.0;
    e_svcaloct1_exe(0.5, n, bl, blmax);
    EXPECT_NEAR(bl, expected[n], 5e-9);
    EXPECT_DOUBLE_EQ(blmax, -1.0 / 0.9);
    EXPECT_EQ(e_svcallo(0.5, n, rt_config::rtcf(3), rt_config::rtcf(1), rt_config::rtcf(2)), bl);
  }
  EXPECT_EQ(e_svcallo(0.5, 0.0, 0.3, -2.0, -2.0), -2.0);  // no finite split: the full reactor
}

TEST_F(SvcFiring, AllocationRefusesUnrealisticRatings) {
  const auto no_stages = nettest::capture([] { e_svcaloct1_cfg(0, 0.1, 1.0, 1.0, 1.0); });
  EXPECT_EQ(no_stages.status, 2000);
  const auto first = no_stages.text.find(" ***ERROR** Unrealistic number of capacitor stages\n");
  const auto second = no_stages.text.find(" ***ERROR** Unrealistic capacitive reactive power\n");
  ASSERT_NE(first, std::string::npos) << no_stages.text;
  EXPECT_GT(second, first);
  EXPECT_NE(no_stages.text.find("Abnormal termination of WAKRO by SVCALLOC    "), std::string::npos);
  EXPECT_EQ(rt_config::nrtcf, 1);
  // No leakage, and a reactor reactance equal to the leakage: both reported.
  const auto bad = nettest::capture([] { e_svcaloct1_cfg(3, 0.0, 1.0, 1.0, 1.0); });
  EXPECT_NE(bad.text.find(" ***ERROR** Unrealistic transformer leakage reactance\n"), std::string::npos);
  EXPECT_EQ(bad.text.find("capacitive"), std::string::npos);
  EXPECT_EQ(bad.status, 2000);
  const auto equal = nettest::capture([] { e_svcaloct1_cfg(3, 0.5, 1.0, 2.0, 1.0); });
  EXPECT_NE(equal.text.find(" ***ERROR** Unrealistic inductive reactive power\n"), std::string::npos);
  EXPECT_EQ(rt_config::nrtcf, 1);
}

}  // namespace
