// Multi-winding core saturation: pointer discipline of the three members, the
// sharing of the magnetising current among the windings, the hysteresis loop's
// inverses and width, the magnetisation model against its air-core limit, and
// every refusal.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "app/timestep.h"
#include "model/branches.h"
#include "model/e_s2.h"
#include "model/e_s5tap.h"
#include "tf_fixture.h"
#include "transformers/hysteresis_loop.h"
#include "transformers/multiwinding_saturation.h"

namespace {

constexpr double kDt = 50e-6, kS = 100.0, kF = 50.0, kW = 314.1592653589793;
constexpr std::array<double, 4> kV{10.0, 2.0, 4.0, 1.0};
using Br = std::array<std::int32_t, 12>;
// Winding w of phase p on branch 3 (w - 1) + p, from node of the same number to ground.
constexpr Br kAll{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};

void t2cfg(std::int32_t nw, const Br& b) {
  tsat2_cfg(nw, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 1, kS,
            0.2, 1.17, kF, 0.0, 2.0, 0.0, 0.1, 0.12, 0.05, 0.04, 0.03, 0.02, kV[0], kV[1], kV[2],
            kV[3]);
}
void t3cfg(std::int32_t nw, std::int32_t sel, const Br& b, double phi0 = 0.0) {
  tsat3_cfg(nw, sel, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 1,
            kS, 0.2, 1.17, kF, 2.0, 0.1, 0.12, 0.05, 0.04, 0.03, 0.02, kV[0], kV[1], kV[2], kV[3],
            10.0, phi0, phi0, phi0);
}
// The magnetisation parameters P6 .. P14 given as {P6, .., P14}.
void t4cfg(std::int32_t nw, std::int32_t sel, const Br& b, const std::array<double, 9>& p,
           double xair = 0.2) {
  tsat4_cfg(nw, sel, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 1,
            kS, kF, 0.1, 0.12, 0.05, 0.04, 0.03, 0.02, kV[0], kV[1], kV[2], kV[3], 1.6, xair, 0.0,
            0.0, 0.0, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]);
}
using Exe = void (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, std::int32_t, double, std::int32_t);
void run(Exe exe, std::int32_t unit, const Br& b, std::int32_t tap_winding, double tap,
         std::int32_t enable) {
  exe(unit, unit, unit, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 1,
      tap_winding, tap, enable);
}
constexpr std::array<double, 9> kCore{0.1, 2e-4, 1.0, 1.0, 100.0, 2.0, 1e-4, 0.5, 1.5e6};

class MultiWinding : public tftest::Transformers {
 protected:
  // Twelve branches to ground and one unit of nw windings (resistances r).
  std::int32_t network(std::int32_t nw, double r1 = 0.0, double r2 = 0.0, double r3 = 0.0) {
    extra_dims_ = {
        {dim::windings, 4}, {dim::trafos, 4}, {dim::stor, 200}, {dim::rtcf, 200}, {dim::rtci, 10}};
    size(12, 12, 1, 0, kDt);
    e_s5::jset = 0;
    for (std::int32_t n = 1; n <= 12; ++n) add_branch(1, n, 0, 1000.0, 0.0, 0.0);
    const std::int32_t k = nw == 2   ? add_unit(1, {{1, 0}, {4, 0}})
                           : nw == 3 ? add_unit(1, {{1, 0}, {4, 0}, {7, 0}})
                                     : add_unit(1, {{1, 0}, {4, 0}, {7, 0}, {10, 0}});
    const double r[] = {r1, r2, r3};
    for (std::int32_t j = 1; j <= 3 && j <= nw; ++j) e_s5tap::rorig(j, j, k) = r[j - 1];
    return k;
  }
  // Step n: a balanced sine of `pu` times the rated peak on winding 1 and a
  // winding-1 current, both from time zero.
  static void drive(int n, double pu) {
    e_s1::timezero = n == 0;
    e_s1::time = n * kDt;
    for (std::int32_t p = 0; p < 3; ++p) {
      const double angle = kW * e_s1::time - p * 2.0943951023931953;
      e_s0::vdc(p + 1, 1) = pu * 1.414213562373095 * kV[0] * std::cos(angle);
      e_s0::cdctr(1, 1) = 0.3 * std::sin(angle);
    }
  }
  static double st(std::int32_t pos) { return e_s2::stor(pos); }
  // tsat3's loop as its state block (the only block, from slot 1) holds it.
  static wakro::mw::HysteresisLoop loop() {
    return wakro::mw::HysteresisLoop::from(wakro::blocks::Slots<double>(&e_s2::stor(1), 60, 1));
  }
};

// Each member, ten steps as the run loop makes them: the pointers advance by the
// member's counts on every step, and the pointer checks stay silent.
TEST_F(MultiWinding, PointersAdvanceByTheMemberCounts) {
  struct Member {
    std::function<void()> cfg;
    Exe exe;
    std::int32_t nexc, nrtcf, nrtci;
  };
  const Member members[] = {{[] { t2cfg(2, kAll); }, tsat2_exe, 28, 24, 0},
                            {[] { t3cfg(2, 0, kAll); }, tsat3_exe, 60, 40, 1},
                            {[] { t4cfg(2, 0, kAll, kCore); }, tsat4_exe, 40, 30, 1}};
  for (const Member& m : members) {
    wakro_test::reset_shared_state();
    wakro::reset_pointer_records();
    const std::int32_t k = network(2, 0.01, 0.001);
    m.cfg();
    for (int n = 0; n < 10; ++n) {
      drive(n, 1.3);
      const nettest::Captured c = nettest::capture([&] {
        wakro_resetdsd();
        run(m.exe, k, kAll, 1, 1.0, 1);
        EXPECT_EQ(e_s2::nexc, m.nexc);
        EXPECT_EQ(rt_config::nrtcf, 1 + m.nrtcf);
        EXPECT_EQ(rt_config::nrtci, 1 + m.nrtci);
        wakro_chknexc();
        wakro_chknrtc();
      });
      EXPECT_EQ(c.status, -1);
      EXPECT_EQ(c.text, "") << n;
    }
  }
}

// tsat2 with the tap on winding 2 and resistive windings, enable on throughout:
// the shares add up to the phase current on every step; winding 1 gets its
// share, winding j its share times Nj (N2 divided by the tap); the curve
// constants stay at scale 1.
TEST_F(MultiWinding, Tsat2SharesSumToThePhaseCurrent) {
  for (const std::int32_t nw : {2, 3}) {
    wakro_test::reset_shared_state();
    const std::int32_t k = network(nw, 0.02, 0.001, 0.004);
    t2cfg(nw, kAll);
    const double tap = 1.05, n2 = kV[0] / kV[1] / tap, n3 = kV[0] / kV[2];
    double peak = 0.0;
    for (int n = 0; n < 600; ++n) {
      drive(n, 1.3);
      e_s2::nexc = 0;
      rt_config::nrtcf = 1;
      run(tsat2_exe, k, kAll, 2, tap, 1);
      EXPECT_EQ(st(2), rt_config::rtcf(10));  // c at scale 1, whatever the tap
      for (std::int32_t p = 1; p <= 3; ++p) {
        const std::int32_t at = 20 + (p - 1) * nw;
        const double i = st(16 + p), s1 = st(at), s2 = st(at + 1), s3 = nw == 3 ? st(at + 2) : 0.0;
        peak = std::max(peak, std::abs(i));
        EXPECT_NEAR(s1 + s2 + s3, i, 1e-12 * (1.0 + peak)) << nw << " " << n;
        EXPECT_EQ(branches::ccbr(p, 1), s1);
        EXPECT_DOUBLE_EQ(branches::ccbr(3 + p, 1), n2 * s2);
        if (nw == 3) {
          EXPECT_DOUBLE_EQ(branches::ccbr(6 + p, 1), n3 * s3);
        }
      }
    }
    EXPECT_GT(peak, 1.0);  // well into saturation: the shares did work
  }
}

// Four windings: each winding carries a quarter of the phase current times its
// turns ratio, the stored shares are 0; phase C without its winding-1 branch
// injects 0 into its other windings. Enable 0: currents cleared, no source set.
TEST_F(MultiWinding, Tsat2FourWindingsAndEnable) {
  const std::int32_t k = network(4);
  Br b = kAll;
  b[2] = 0;
  t2cfg(4, b);
  for (std::int32_t br = 1; br <= 12; ++br) branches::ccbr(br, 1) = 7.0;
  for (int n = 0; n < 300; ++n) {
    drive(n, 1.3);
    e_s2::nexc = 0;
    rt_config::nrtcf = 1;
    run(tsat2_exe, k, b, 1, 1.0, 1);
  }
  EXPECT_GT(std::abs(st(17)), 0.05);
  for (std::int32_t p = 1; p <= 2; ++p)
    for (std::int32_t j = 1; j <= 4; ++j)
      EXPECT_DOUBLE_EQ(branches::ccbr(3 * (j - 1) + p, 1),
                       (j == 1 ? 1.0 : kV[0] / kV[j - 1]) * st(16 + p) / 4.0);
  for (std::int32_t j = 2; j <= 4; ++j) EXPECT_EQ(branches::ccbr(3 * (j - 1) + 3, 1), 0.0);
  EXPECT_EQ(st(19), 0.0);
  for (std::int32_t pos = 20; pos <= 28; ++pos) EXPECT_EQ(st(pos), 0.0);

  for (std::int32_t br = 1; br <= 12; ++br) branches::ccbr(br, 1) = 7.0;
  e_s2::nexc = 0;
  rt_config::nrtcf = 1;
  run(tsat2_exe, k, b, 1, 1.0, 0);
  for (std::int32_t br = 1; br <= 12; ++br) EXPECT_EQ(branches::ccbr(br, 1), 7.0);
  for (std::int32_t pos = 17; pos <= 19; ++pos) EXPECT_EQ(st(pos), 0.0);
}

// tsat3's two hyperbolas at T = 1 and T = 1.1 (tap on the core's winding): F(0)
// = Ihw/T, G(0) = -Ihw/T, and each inverse undoes its curve to 1e-11 of the
// flux (of the grid step at zero flux).
TEST_F(MultiWinding, Tsat3CurvesAndTheirInverses) {
  for (const double tap : {1.0, 1.1}) {
    wakro_test::reset_shared_state();
    const std::int32_t k = network(2);
    t3cfg(2, 0, kAll);
    drive(0, 0.0);
    e_s2::nexc = 0;
    rt_config::nrtcf = rt_config::nrtci = 1;
    run(tsat3_exe, k, kAll, 1, tap, 1);
    const wakro::mw::HysteresisLoop lp = loop();
    const double ihw = rt_config::rtcf(31);  // record position 30
    const double ipk = 1.414213562373095 * 0.02 * kS / kV[0];
    EXPECT_NEAR(ihw, 0.5 * 0.01 * 10.0 * ipk, 1e-15);
    EXPECT_NEAR(lp.outer(0.0), ihw / tap, 1e-14);
    EXPECT_NEAR(lp.inner(0.0), -ihw / tap, 1e-14);
    for (double x = -2.0; x <= 3.0; x += 0.125) {
      const double phi = x * lp.knee;
      const double tolerance = 1e-11 * std::max(std::abs(phi), 0.125 * lp.knee);
      EXPECT_NEAR(lp.outer_inverse(lp.outer(phi)), phi, tolerance) << x;
      EXPECT_NEAR(lp.inner_inverse(lp.inner(phi)), phi, tolerance) << x;
    }
  }
}

// A sine flux across winding 1 (selector 1, phase A alone, so the voltage is not
// advanced) of 1.5 times the knee: after the first cycle and a quarter the current at each
// zero of the flux is +Ihw/T rising and -Ihw/T falling, a width of 2 Ihw/T. The
// crossing is interpolated linearly between two steps; that error falls with
// the square of the step (6.8e-6 kA here, 1.6e-6 kA at half the step) and the
// turning scale sigma adds under 2e-7 kA, so 1e-3 of Ihw (1.4e-5 kA) holds.
TEST_F(MultiWinding, Tsat3LoopWidthAtZeroFlux) {
  for (const double tap : {1.0, 1.1}) {
    wakro_test::reset_shared_state();
    const std::int32_t k = network(2);
    const Br b{1, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0};
    t3cfg(2, 1, b);
    const double knee = rt_config::rtcf(12), ihw = rt_config::rtcf(31);
    const double amplitude = 1.5 * knee * tap;
    std::vector<double> width;
    double last_phi = 0.0, last_i = 0.0;
    for (int n = 0; n < 3 * 400; ++n) {
      e_s1::timezero = n == 0;
      e_s1::time = n * kDt;
      e_s0::vdc(1, 1) = kW * amplitude * std::cos(kW * e_s1::time);
      e_s2::nexc = 0;
      rt_config::nrtcf = rt_config::nrtci = 1;
      run(tsat3_exe, k, b, 1, tap, 1);
      const double phi = st(38), i = st(17);
      EXPECT_EQ(branches::ccbr(1, 1), i);
      if (n >= 500 && (phi > 0.0) != (last_phi > 0.0)) {
        const double at_zero = last_i + (i - last_i) * (0.0 - last_phi) / (phi - last_phi);
        width.push_back(phi > last_phi ? at_zero : -at_zero);
      }
      last_phi = phi;
      last_i = i;
    }
    ASSERT_EQ(width.size(), 3u);  // at 0.03, 0.04 and 0.05 s
    for (const double half : width) EXPECT_NEAR(half, ihw / tap, 1e-3 * ihw) << tap;
  }
}

// A turn exactly at the knee (the previous core flux on it) leaves the loop
// scale 0 rather than dividing by the zero distance to the knee; beyond the
// knee the current is the outer curve's.
TEST_F(MultiWinding, Tsat3TurnAtTheKnee) {
  const std::int32_t k = network(2);
  const Br b{1, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0};
  t3cfg(2, 1, b);
  auto step = [k, &b](bool first) {
    e_s1::timezero = first;
    e_s0::vdc(1, 1) = 0.0;
    e_s2::nexc = 0;
    rt_config::nrtcf = rt_config::nrtci = 1;
    run(tsat3_exe, k, b, 1, 1.0, 1);
  };
  step(true);
  const double knee = st(5);
  e_s2::stor(11) = knee + 1e-5;  // the flux, unchanged by a zero voltage
  e_s2::stor(38) = knee;         // the turning point
  e_s2::stor(41) = 2.0;          // falling until now
  step(false);
  EXPECT_EQ(st(41), 1.0);
  EXPECT_EQ(st(44), 0.0);
  EXPECT_EQ(st(47), 0.0);
  EXPECT_EQ(st(17), loop().outer(knee + 1e-5));
}

// With a vanishing saturation magnetisation P14 the core is air: H = B / mu0, so
// the current is the core flux over the air-core inductance T^2 La, La = X V1^2
// / (S w). The bisection stops within 1e-6 of the split, hence 1e-5.
TEST_F(MultiWinding, Tsat4AirCoreLimit) {
  const std::int32_t k = network(2, 0.02, 0.001);
  std::array<double, 9> air = kCore;
  air[8] = 1e-6;
  t4cfg(2, 0, kAll, air, 0.3);
  const double tap = 1.05, la = 0.3 * kV[0] * kV[0] / (kS * kW);
  double peak = 0.0;
  for (int n = 0; n < 300; ++n) {
    drive(n, 1.0);
    e_s2::nexc = 0;
    rt_config::nrtcf = rt_config::nrtci = 1;
    run(tsat4_exe, k, kAll, 1, tap, 1);
    for (std::int32_t p = 0; p < 3; ++p) {
      const double expected = st(34 + p) / (tap * tap * la);
      peak = std::max(peak, std::abs(expected));
      EXPECT_NEAR(st(19 + p), expected, 1e-5 * peak) << n;
    }
  }
  EXPECT_GT(peak, 1.0);
}

// Each refusal in a case of its own (a fatal stop releases the case).
TEST_F(MultiWinding, Refusals) {
  // f gets the unit's number; set-up alone, or set-up and the first step.
  auto expect_stop = [this](const std::function<void(std::int32_t)>& f,
                            const std::vector<std::string>& lines, const std::string& tag) {
    wakro_test::reset_shared_state();
    const std::int32_t k = network(2);
    const nettest::Captured c = nettest::capture([&] { f(k); });
    EXPECT_EQ(c.status, 2000);
    std::string expected;
    for (const std::string& l : lines) expected += " ***ERROR** " + l + "\n";
    EXPECT_EQ(c.text.substr(0, expected.size()), expected) << c.text;
    EXPECT_NE(c.text.find(nettest::quit_block(tag)), std::string::npos) << c.text;
  };
  auto first_step = [](std::int32_t unit, Exe exe = tsat2_exe, bool timezero = true) {
    e_s1::timezero = timezero;
    e_s2::nexc = 0;
    rt_config::nrtcf = 1;
    rt_config::nrtci = 1;
    run(exe, unit, kAll, 1, 1.0, 1);
  };
  std::array<double, 9> bad = kCore;
  bad[3] = 0.5;  // F2 < F1
  expect_stop([&](std::int32_t) { t4cfg(2, 0, kAll, bad); },
              {"F2 must be greater than or equal to F1"}, "Transformer ");
  bad = kCore;
  bad[6] = 0.0;  // P12
  expect_stop([&](std::int32_t) { t4cfg(2, 3, kAll, bad, 0.0); },
              {"Magnetising branch selector must lie between 0 and the number of windings.",
               "Air core reactance is too small",
               "Magnetisation parameters P10, P12 and P14 must not be zero"},
              "Transformer ");
  expect_stop([](std::int32_t) { t3cfg(2, 3, kAll); },
              {"Magnetising branch selector must lie between 0 and the number of windings."},
              "TSAT3");
  expect_stop([](std::int32_t) { t2cfg(5, kAll); }, {"Number of windings must be 2, 3 or 4."},
              "TSAT2");
  expect_stop(
      [](std::int32_t) {
        tsat2_cfg(2, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 0.0, 0.2, 1.17, kF, 0.0, 2.0, 0.0, 0.0,
                  0.1, 0.1, 0.1, 0.1, 0.1, kV[0], -1.0, 0.0, 0.0);
      },
      {"Unrealistic Transformer MVA Rating.", "Unrealistic Transformer Voltage Rating.",
       "Unrealistic Transformer Leakage Reactance."},
      "TSAT2");
  // Set up well, then the first step meets a unit outside 1..jset.
  expect_stop(
      [&](std::int32_t k) {
        t2cfg(2, kAll);
        first_step(k + 1);
      },
      {"Transformer number of the saturation component is out of range."}, "TSAT2");
  expect_stop(
      [&](std::int32_t k) {
        t2cfg(3, kAll);
        first_step(k);
      },
      {"Winding count of the transformer differs from the saturation data."}, "TSAT2");
  // A later step meets a record or state (as a snapshot restores them) that
  // holds no integer it can take: a winding count of Infinity, a loop branch of 1e308.
  expect_stop(
      [&](std::int32_t k) {
        t2cfg(2, kAll);
        first_step(k);
        rt_config::rtcf(1 + wakro::transformers::layout::tsat2::rtcf::kWindingCount) = HUGE_VAL;
        first_step(k, tsat2_exe, false);
      },
      {"WAKRO: Store value out of range: winding count in the saturation record of transformer 1 = Infinity "
       "(whole number 2 to 4)"},
      "TSAT2");
  expect_stop(
      [&](std::int32_t k) {
        t3cfg(2, 0, kAll);
        first_step(k, tsat3_exe);
        e_s2::stor(wakro::transformers::layout::tsat3::stor::kBranchA) = 1e308;
        first_step(k, tsat3_exe, false);
      },
      {"WAKRO: Store value out of range: loop branch of phase 1 in the hysteresis store = 1e+308 (whole number 0 to 2)"},
      "TSAT3");
}

}  // namespace
