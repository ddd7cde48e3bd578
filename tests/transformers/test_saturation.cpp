// Core saturation: the configuration record of the case's first group (hand-
// worked numbers), the characteristic through the step routine, injection and
// rescaling rules, the older single-routine forms, and every refusal.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/branches.h"
#include "model/e_s2.h"
#include "model/harmimp.h"
#include "tf_fixture.h"
#include "transformers/saturation.h"

namespace {

constexpr double kDt = 50e-6;
constexpr double kS = 33.3333333333333, kV = 10.392304845413268;

class Saturation : public tftest::Transformers {
 protected:
  // Three nodes, each with a branch to ground (the magnetising branches 1..3).
  void three_branches(std::int32_t nodes = 3) {
    extra_dims_ = {{dim::windings, 3}, {dim::trafos, 4}, {dim::stor, 100}, {dim::rtcf, 200}};
    size(nodes, 6, 1, 0, kDt);
    e_s5::jset = 0;
    for (std::int32_t n = 1; n <= 3; ++n) add_branch(1, n, 0, 1000.0, 0.0, 0.0);
  }
  // Group 1 of the case on branches a, b, c.
  static void group_one(std::int32_t a = 1, std::int32_t b = 2, std::int32_t c = 3) {
    tsat1_cfg(a, b, c, 1, kS, kV, 0.2, 1.17, 60.0, 0.0, 2.0, 0.0);
  }
  // One step of the component as the only block: pointers from their start.
  static void exe(double tap, std::int32_t enable, std::int32_t a = 1, std::int32_t b = 2, std::int32_t c = 3) {
    e_s2::nexc = 0;
    rt_config::nrtcf = 1;
    tsat1_exe(a, b, c, 1, tap, enable);
    EXPECT_EQ(e_s2::nexc, 21);
    EXPECT_EQ(rt_config::nrtcf, 16);
  }
  static double r(std::int32_t pos) { return rt_config::rtcf(pos + 1); }
  static double st(std::int32_t pos) { return e_s2::stor(pos); }
};

TEST_F(Saturation, RecordOfTheCaseGroupOne) {
  three_branches();
  group_one();
  EXPECT_EQ(rt_config::nrtcf, 16);
  EXPECT_EQ(r(0), 0.0);  // T = 0: no decay
  const double wdt = 376.99111843077515 * kDt;
  EXPECT_NEAR(r(1), 1.0 - wdt * wdt, 1e-15);
  EXPECT_NEAR(r(2), 0.577350269189626 * wdt, 1e-15);
  EXPECT_EQ(r(3), 0.2);
  EXPECT_NEAR(r(4), 0.02, 1e-17);
  EXPECT_EQ(r(5), 1.17);
  EXPECT_NEAR(r(7), 376.99112, 5e-6);
  EXPECT_NEAR(r(9), 4.9738455e-06, 5e-13);
  EXPECT_NEAR(r(10), 290.888209, 5e-6);
  EXPECT_NEAR(r(11), 0.0456122629, 5e-11);
  EXPECT_NEAR(r(13), 0.0158506639, 5e-11);
  EXPECT_NEAR(r(14), 0.1088662108, 5e-11);
  for (std::int32_t b = 1; b <= 3; ++b) {
    EXPECT_EQ(branches::geq(b, 1), 0.0);
    EXPECT_TRUE(branches::defrdbr(b, 1));
    EXPECT_EQ(harmimp::harm_type(b), 9);
    EXPECT_EQ(harmimp::harm_node(b, 1), b);
  }
  EXPECT_EQ(harmimp::harm_num, 3);
}

// With no voltage and no decay the flux stays where it is put, so the current
// is the characteristic's value at it: m(0) = 0, m(Phik) = 0.63289 kA, m(2 Phik)
// = 26.536 kA, and -m for the negative flux.
TEST_F(Saturation, CharacteristicThroughTheStep) {
  three_branches();
  group_one();
  e_s1::timezero = true;
  const double phik = r(11);
  e_s2::stor(11) = 0.0;
  e_s2::stor(13) = phik;
  e_s2::stor(15) = -2.0 * phik;
  e_s1::time = 1.0;  // past the release time: the flux is never held
  exe(1.0, 1);
  EXPECT_EQ(branches::ccbr(1, 1), 0.0);
  EXPECT_NEAR(branches::ccbr(2, 1), 0.63289, 5e-6);
  EXPECT_NEAR(branches::ccbr(3, 1), -26.536, 5e-4);
  EXPECT_EQ(st(18), branches::ccbr(2, 1));
}

// A balanced 1.3 pu set across the three branches, cosine so that the flux has
// no offset. Enable 0: fluxes integrate, no ccbr changes, stored currents 0.
// Enable 1: ccbr = the stored current, and the same run with every voltage
// reversed gives exactly the negated currents (the characteristic is odd).
TEST_F(Saturation, InjectionFollowsTheEnableFlagAndIsOdd) {
  auto run = [this](double sign, std::int32_t enable) {
    wakro_test::reset_shared_state();
    three_branches();
    group_one();
    for (std::int32_t b = 1; b <= 3; ++b) branches::ccbr(b, 1) = 7.0;
    std::vector<double> out;
    const double vp = 1.3 * 1.414213562373095 * kV, w = 376.99111843077515;
    for (int n = 0; n < 400; ++n) {
      e_s1::timezero = n == 0;
      e_s1::time = n * kDt;
      for (std::int32_t p = 0; p < 3; ++p)
        e_s0::vdc(p + 1, 1) = sign * vp * std::cos(w * e_s1::time - p * 2.0943951023931953);
      exe(1.0, enable);
      for (std::int32_t p = 0; p < 3; ++p) {
        out.push_back(enable ? branches::ccbr(p + 1, 1) : st(17 + p));
        if (enable) {
          EXPECT_EQ(branches::ccbr(p + 1, 1), st(17 + p));
        }
      }
    }
    for (std::int32_t b = 1; b <= 3 && !enable; ++b) EXPECT_EQ(branches::ccbr(b, 1), 7.0);
    EXPECT_NE(st(11), 0.0);  // the flux integrated
    return out;
  };
  for (const double i : run(1.0, 0)) EXPECT_EQ(i, 0.0);
  const std::vector<double> up = run(1.0, 1), down = run(-1.0, 1);
  double peak = 0.0;
  for (std::size_t n = 0; n < up.size(); ++n) {
    EXPECT_EQ(up[n], -down[n]) << n;
    peak = std::max(peak, std::abs(up[n]));
  }
  EXPECT_GT(peak, 1.2 * 2.0 * 0.01 * 1.414213562373095 * kS / kV);  // beyond the holding threshold
}

// Each refusal in a case of its own (a fatal stop releases the case).
TEST_F(Saturation, SetUpRefusals) {
  auto expect_stop = [this](void (*f)(), const std::vector<std::string>& lines, const std::string& tag) {
    wakro_test::reset_shared_state();
    three_branches();
    const nettest::Captured c = nettest::capture(f);
    EXPECT_EQ(c.status, 2000);
    std::string expected;
    for (const std::string& l : lines) expected += " ***ERROR** " + l + "\n";
    EXPECT_EQ(c.text.substr(0, expected.size()), expected) << c.text;
    EXPECT_NE(c.text.find(nettest::quit_block(tag)), std::string::npos) << c.text;
  };
  expect_stop([] { tsat1_cfg(1, 2, 3, 1, 0.0, -1.0, 0.2, 1.17, 60.0, 0.0, 2.0, 0.0); },
              {"Unrealistic Transformer MVA Rating.", "Unrealistic Transformer Voltage Rating."}, "TSAT1");
  // Xa Im = 0.5: Dq Phik^2 / Phin^2 = 1 + (2 - 4 Vk) 0.5 - 0.75 < 0.
  expect_stop([] { tsat1_cfg(1, 2, 3, 1, kS, kV, 1.0, 1.17, 60.0, 0.0, 50.0, 0.0); },
              {"Saturation characteristic cannot be formed from the air-core reactance, knee voltage and "
               "magnetising current given."},
              "TSAT1");
}

// --- The single-routine forms -------------------------------------------------

class Legacy : public Saturation {
 protected:
  static void t21(double k, double x, std::int32_t enab, double v = kV, double nll = 0.0,
                  std::int32_t n2 = 0) {
    e_s2::nexc = 0;
    tsat21(1, n2, 2, n2, 3, n2, 1, kS, v, x, k, 60.0, 0.0, 0.02, nll, enab);
    EXPECT_EQ(e_s2::nexc, 21);
  }
};

// X <= 1e-6 with three phases and a zero-sequence voltage: the zero sequence is
// taken out of voltages and currents, so the three currents sum to zero.
TEST_F(Legacy, ZeroSequenceRemoved) {
  three_branches();
  const double vp = 2.0 * 1.414213562373095 * kV, w = 376.99111843077515;
  double largest = 0.0;
  for (int n = 0; n < 200; ++n) {
    e_s1::timezero = n == 0;
    e_s1::time = n * kDt;
    for (std::int32_t p = 0; p < 3; ++p)
      e_s0::vdc(p + 1, 1) = vp * std::cos(w * e_s1::time - p * 2.0943951023931953) + 0.5 * vp;
    t21(1.17, 1e-7, 1);
    const double sum = st(17) + st(18) + st(19);
    largest = std::max({largest, std::abs(st(17)), std::abs(st(18)), std::abs(st(19))});
    EXPECT_LE(std::abs(sum), 1e-12 * largest) << n;
  }
  EXPECT_GT(largest, 1.0);
}

TEST_F(Legacy, WarningsNoticeAndLateVoltage) {
  three_branches();
  e_s1::timezero = true;
  const nettest::Captured nll = nettest::capture([] { t21(1.17, 0.2, 0, kV, 0.5); });
  EXPECT_EQ(nll.text,
            " Warning - The No Load Losses specified in the\n TSAT21 argument list are non-zero!\n"
            " This feature has been disabled in TSAT21 because\n the losses should be placed across each winding,\n"
            " not to ground.  Update your Quolb component to\n make the NLL argument 0.0 and then put\n"
            " resistors across each winding.\n");
  // A later voltage of 0 keeps the curve and warns once; a new valid one is taken.
  e_s1::timezero = false;
  const double c = st(2);
  const nettest::Captured late = nettest::capture([] { t21(1.17, 0.2, 0, 0.0); });
  EXPECT_EQ(late.text,
            " ***WARN*** TSAT21: the rated voltage gives no saturation characteristic; the previous one is "
            "kept.\n");
  EXPECT_EQ(st(2), c);
  EXPECT_EQ(nettest::capture([] { t21(1.17, 0.2, 0, 0.0); }).text, "");
  t21(1.17, 0.2, 0, 2.0 * kV);
  EXPECT_EQ(st(10), 2.0 * kV);
  // No phase with valid nodes: the dimension notice names the routine.
  const nettest::Captured none = nettest::capture([] {
    e_s1::timezero = true;
    tsat21(1, 7, 2, 7, 3, 7, 1, kS, kV, 0.2, 1.17, 60.0, 0.0, 0.02, 0.0, 1);
  });
  EXPECT_EQ(none.status, 2000);
  EXPECT_NE(none.text.find("SUBROUTINE TSAT21!"), std::string::npos) << none.text;
  EXPECT_NE(none.text.find("EXECUTION TERMINATING"), std::string::npos);
}

// tsat21b damps each branch with R = 50 V^2 / S in series with C = 5e6 dt / R uF,
// whose companion resistance is R/10: conductance 1 / (1.1 R).
TEST_F(Legacy, BranchFormDampsItsBranches) {
  three_branches();
  e_s1::timezero = true;
  e_s2::nexc = 0;
  tsat21b(1, 2, 0, 1, kS, kV, 0.2, 1.17, 60.0, 0.0, 0.02, 1);
  EXPECT_EQ(e_s2::nexc, 21);
  const double rd = 50.0 * kV * kV / kS;
  EXPECT_NEAR(branches::geq(1, 1), 1.0 / (1.1 * rd), 1e-12 / rd);
  EXPECT_NEAR(branches::geq(2, 1), 1.0 / (1.1 * rd), 1e-12 / rd);
  EXPECT_EQ(branches::geq(3, 1), 1e-3);  // phase C absent: its branch untouched
  EXPECT_EQ(st(20), 1.0);                // no advance without a full set
}

}  // namespace
