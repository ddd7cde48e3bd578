// Breakers, timers, pre-insertion timing and fault decoding call by call, with
// currents and times set by hand (times k / 1000 s; delays half a step off the
// grid, so that each output changes at one step whatever the rounding).
#include <array>
#include <cmath>
#include <tuple>
#include <utility>

#include "device_fixture.h"
#include "devices/breakers.h"
#include "devices/faults.h"
#include "devices/preinsertion.h"
#include "devices/voltage_sources.h"

namespace {

class Breakers : public devtest::Devices {
 protected:
  // n switch branches from node 1 to ground; branch 1 closed at time zero.
  void switches(int n) {
    size(1, n);
    for (int k = 0; k < n; ++k) add_branch(1, 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
    e_s1::timezero = e_s1::firststep = true;
    wakro_breaker1(1, 1, 0.01, 1.0e6, 1.0e-4, false, 1);
    e_s1::timezero = e_s1::firststep = false;
  }
  auto call(double cbr, std::int32_t ctrl, bool immed = false) {
    branches::cbr(1, 1) = cbr;
    wakro_breaker1(1, 1, 0.01, 1.0e6, 1.0e-4, immed, ctrl);
    return std::make_tuple(branches::openbr(1, 1), int1::iorv(1, 1), branches::swlevl(1, 1));
  }
  void at(int k) {
    e_s1::timezero = k == 0;
    e_s1::time = k / 1000.0;
    storage::nstori = storage::nstorf = 1;
  }
};

TEST_F(Breakers, BreakersFollowTheirOrdersCallByCall) {
  switches(1);
  using S = std::tuple<bool, int, double>;
  EXPECT_EQ(call(0.005, 0), S(false, -13, 1.0e-4));  // waits for +0.1 A
  EXPECT_EQ(call(0.00005, 0), S(true, 6, 0.0001));
  EXPECT_EQ(harmimp::branch_r(1, 1), 1.0e6);
  EXPECT_EQ(std::get<0>(call(0.0, 2)), true);  // 2 holds
  EXPECT_EQ(std::get<0>(call(0.0, 1)), false);
  EXPECT_EQ(call(-0.005, 0), S(false, 13, -1.0e-4));
  EXPECT_EQ(std::get<1>(call(-0.004, 1)), 6);      // cancelled
  EXPECT_EQ(std::get<0>(call(-0.0001, 0)), true);  // within the margin
  call(0.0, 1);
  EXPECT_EQ(std::get<0>(call(3.0, 0, true)), true);  // IMMED
  // The older breaker: a zero current arms nothing; a zero passed without the
  // interpolation is a safety turn-off; RON = 0 is recorded as 1e-12 ohm.
  call(0.0, 1);
  options::interpss(1) = true;
  const auto out = nettest::capture([&] {
    for (const double i : {0.0, 1.0e-9, -1.0e-9}) {
      branches::cbr(1, 1) = i;
      wakro_breaker(1, 1, 0.0, 1.0e6, false, 0);
      if (i >= 0.0) {
        EXPECT_EQ(int1::iorv(1, 1), i > 0.0 ? -13 : 6);
      }
    }
  });
  EXPECT_EQ(out.text,
            " BREAKER:Safety turnoff at nodes:           1           0 ss:           1\n");
  wakro_breaker(1, 1, 0.0, 1.0e6, false, 1);
  EXPECT_EQ(harmimp::branch_r(1, 1), 1.0e-12);
}

// A resumed run refreshes the resistances of the state the breaker is not in.
TEST_F(Breakers, ResumedRunRefreshesTheOtherStateOrComplains) {
  switches(1);
  e_s1::firststep = true;
  wakro_breaker1(1, 1, 0.02, 2.0e6, 0.0, true, 0);     // closed: GEQOF, then open
  wakro_breaker1(1, 1, 1.0e-9, 2.0e6, 0.0, false, 2);  // open: GEQON, here ideal
  EXPECT_EQ(std::make_tuple(branches::geq(1, 1), branches::geqon(1, 1), e_s0::idealss(1)),
            std::make_tuple(5.0e-7, 0.0, true));
  auto out = nettest::capture([&] { wakro_breaker1(1, 1, 5.0, 5.0, 0.0, false, 2); });
  const std::string keep = ", Proceeding with original values.\n";
  EXPECT_EQ(out.text,
            " ***WARN*** OFF resistance of switch must be larger than ON resistance" + keep);
  out = nettest::capture([&] { wakro_breaker1(1, 1, -1.0, 5.0, 0.0, false, 2); });
  EXPECT_EQ(out.text, " ***WARN*** ON resistance of switch must not be negative" + keep);
  rt_config::nrtcf = 1;
  e1pbrkr1_cfg(0.01, 1.0e6, 0.0);
  rt_config::nrtcf = 1;
  out = nettest::capture([&] { e1pbrkr1_exe(1, 1, 5.0, 5.0, false, 2); });
  EXPECT_EQ(
      out.text,
      " OFF resistance of switch must be larger than ON res.\n Proceeding with original values.\n");
  out = nettest::capture(
      [&] { wakro_breaker1(1, 2, 0.02, 2.0e6, 0.0, false, 2); });  // not checked before
  EXPECT_NE(out.text.find("Abnormal termination of WAKRO by BREAKER     "), std::string::npos)
      << out.text;
}

TEST_F(Breakers, TimersAndTheirEqualTimes) {
  size(1, 1);
  auto timer = [](int k, int slot, auto routine, double t1, double t2, std::int32_t repeat) {
    e_s1::timezero = k == 0;
    e_s1::time = k / 1000.0;
    e_s2::nexc = slot;
    std::int32_t out = -1;
    routine(t1, t2, repeat, out);
    EXPECT_EQ(e_s2::nexc, slot + 1);  // every call, equal fault times at time zero included
    return out;
  };
  for (int k = 0; k <= 45; ++k) {
    EXPECT_EQ(timer(k, 0, wakro_tbreak, 0.02, 0.005, 1), k % 20 < 5) << k;
    EXPECT_EQ(timer(k, 1, wakro_tbreak, 0.005, 0.02, 1), k % 20 >= 5) << k;
    EXPECT_EQ(timer(k, 2, tbreak1, 0.0205, 0.0105, 0), k <= 10 || k >= 21) << k;
    EXPECT_EQ(timer(k, 3, wakro_tfault, 0.0105, 0.0205, 0), k <= 10 || k >= 21) << k;
  }
  EXPECT_EQ(timer(0, 0, wakro_tfault, 0.1, 0.1, 0), 0);
  auto out = nettest::capture([&] { timer(1, 0, wakro_tfault, 0.1, 0.1, 0); });
  EXPECT_EQ(out.text.rfind(" ERROR: Fault duration is zero\n", 0), 0u) << out.text;
  EXPECT_NE(out.text.find("Abnormal termination of WAKRO by TFAULT      "), std::string::npos);
  out = nettest::capture([] { swint5(); });
  EXPECT_EQ(out.text.rfind(" SWINT5       has been discontinued and cannot be supported\n", 0), 0u)
      << out.text;
}

// Balanced 10 kV-peak source behind 0.01 ohm into 10 ohm per phase:
// P = 1.5 V^2 / 10 with V = 10 / 1.001, Q = 0; the second set doubles them.
TEST_F(Breakers, PowerThroughOneOrTwoSetsOfBranches) {
  size(3, 6);
  for (int p = 1; p <= 3; ++p) add_branch(1, 0, p, 0.01, 0.0, 0.0);
  for (int p = 1; p <= 3; ++p) add_branch(1, p, 0, 10.0, 0.0, 0.0);
  double p1 = 0, q1 = 0, p2 = 0, q2 = 0;
  std::int32_t ok = 0;
  devices([&] {
    wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, 10.0, 377.0, 0.3);
    brk_power(1, 4, 5, 6, 0, 0, 0, ok, 0.002, p1, q1);
    brk_power(1, -4, -5, -6, 4, 5, 6, ok, 0.002, p2, q2);  // -4: branch 4 seen from its to-node
    EXPECT_EQ(std::make_pair(e_s2::nexc, storage::nstori), std::make_pair(24, 6 * 3 + 3));
  });
  start_run(1000);
  for (int k = 0; k < 1000; ++k) step();
  EXPECT_NEAR(p1, 1.5 * std::pow(10.0 / 1.001, 2) / 10.0, 1e-6);
  EXPECT_NEAR(p2, p1, 1e-9);  // nothing at the grounded ends of the first set
  EXPECT_NEAR(std::abs(q1) + std::abs(q2), 0.0, 1e-6);
  EXPECT_EQ(ok, 1);
}

// Open from the start, closed at 0.1 s with the current changing sign at 0.108 s,
// opened at 0.2 s: S2 is 1 from 0.100 to 0.107; S1 rises at 0.21, S2 at 0.23.
// A close command of 2 is a close command: its fall starts the delays too.
TEST_F(Breakers, PreInsertionSinglePhase) {
  size(1, 1);
  for (const std::int32_t close : {1, 2}) {
    for (int k = 0; k <= 250; ++k) {
      at(k);
      std::int32_t s1 = -1, s2 = -1;
      preinsert1(k >= 100 && k < 200 ? close : 0, 0.0095, 0.0295, k < 108 ? 1.0 : -1.0, s1, s2);
      const bool closed = k >= 100 && k < 200;
      ASSERT_EQ(s1, k < 100 || k >= 210) << close << ", t = " << k;
      ASSERT_EQ(s2, k < 108 || k >= 230) << close << ", t = " << k;
      ASSERT_EQ(std::make_pair(storage::nstori, storage::nstorf), std::make_pair(3, 3)) << closed;
    }
  }
  // Timed resistor period of 7.5 ms: S2 falls at 0.108 s, whatever the current.
  for (int k = 0; k <= 110; ++k) {
    at(k);
    std::int32_t s1 = -1, s2 = -1;
    preinsert11(k >= 100 ? 1 : 0, 1, 0.0, 0.0, 0.0075, 1.0, s1, s2);
    ASSERT_EQ(s2, k < 108) << k;
  }
}

// Three phases closed at 0.1 s, their currents changing sign at 0.103, 0.105 and
// 0.107 s (or a timed period of 3.5 ms), opened at 0.2 s with delays 1.5 .. 6.5 ms.
TEST_F(Breakers, PreInsertionThreePhases) {
  size(1, 1);
  const std::array<double, 6> delays{0.0015, 0.0025, 0.0035, 0.0045, 0.0055, 0.0065};
  for (const std::int32_t mode : {0, 1}) {
    for (int k = 0; k <= 210; ++k) {
      at(k);
      const std::int32_t ctrl = k >= 100 && k < 200 ? 1 : 0;
      std::array<std::int32_t, 6> s{};
      const auto i = [k](int z) { return k < z ? 1.0 : -1.0; };
      if (mode == 0) preinsert3(ctrl, delays, i(103), i(105), i(107), s);
      if (mode == 1) preinsert33(ctrl, 1, delays, 0.0035, 1.0, 1.0, 1.0, s);
      ASSERT_EQ(std::make_pair(storage::nstori, storage::nstorf), std::make_pair(5, 5));
      for (int c = 0; c < 6; ++c) {
        const int fall = mode == 0 ? 103 + 2 * (c - 3) : 104;
        const int expected = ctrl != 0 ? c >= 3 && k < fall : k < 100 || k >= 202 + c;
        ASSERT_EQ(s[c], expected) << "mode " << mode << ", S" << c + 1 << ", t = " << k;
      }
    }
  }
}

TEST_F(Breakers, FaultTypesCloseTheirBranches) {
  switches(6);  // A-B, B-C, C-A, A, B, C (all to ground here)
  auto closed_by = [](std::int32_t type, std::int32_t ctrl = 1) {
    e_s1::timezero = true;
    rt_config::nrtcf = 1;
    e3phflt1_cfg(100.0, 0.0);
    rt_config::nrtcf = 1;
    e3phflt1_exe(1, 1, 2, 3, 4, 5, 6, false, ctrl, type, 5.0);
    std::array<int, 6> closed{};
    for (int k = 0; k < 6; ++k) closed[k] = !branches::openbr(k + 1, 1);
    return closed;
  };
  using A = std::array<int, 6>;
  EXPECT_EQ(closed_by(11), (A{1, 1, 1, 0, 0, 0}));
  EXPECT_EQ(closed_by(9), (A{0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(closed_by(5), (A{0, 0, 0, 1, 0, 1}));
  EXPECT_EQ(closed_by(12), A{});
  EXPECT_EQ(closed_by(7, 2), A{});
  EXPECT_EQ(branches::geqon(4, 1), 1.0);  // RON 5 capped at ROFF / 100
  wakro_3phfault(1, 1, 2, 3, 4, 5, 6, 5.0, 100.0, false, 1, 10);
  EXPECT_EQ(branches::geq(2, 1), 0.2);  // no cap in the older forms
  // Fatal checks of the configured breaker and of the pre-insertion resistor.
  auto out = nettest::capture([] { e1pbrkr1_cfg(5.0, 5.0, 0.0); });
  EXPECT_EQ(
      out.text.rfind(" ***ERROR** Open resistance must be greater than closed resistance\n", 0),
      0u);
  EXPECT_NE(out.text.find("Abnormal termination of WAKRO by BREAKER1    "), std::string::npos);
  check_pir(1.0, 1.0e6, 400.0, "MYTAG");
  out = nettest::capture([] { check_pir(1.0, 1.0e6, 1.0, "MYTAG"); });
  EXPECT_EQ(out.text.rfind(
                " ***ERROR** Pre-insertion resistance must be between ON and OFF resistances\n", 0),
            0u);
  EXPECT_NE(out.text.find("Abnormal termination of WAKRO by MYTAG       "), std::string::npos);
}

}  // namespace
