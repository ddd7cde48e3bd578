// The load-flow display values against closed forms: a balanced three-phase
// bus and branch, and a single-phase bus and branch, fed with sinusoids for
// 0.5 s at 50 us steps (25 time constants of the 1/50 s lag).
//
// Three-phase: the bus estimate settles at the line-to-line RMS voltage
// sqrt(3/2) V; its ripple at six times the frequency is attenuated by the lag
// to about 0.2 %, so one period's mean is checked to 0.5 %. P and Q of
// balanced phases are constant sums, 1.5 V I cos(phi) and 1.5 V I sin(phi),
// so the lag reaches them to its transient (exp(-25)): 1e-9 relative.
// Single-phase: the voltage and current estimates follow the RMS values with
// a ripple at twice the frequency of some 8 %, whose one-period mean is within
// 1.5 %; P is the lagged mean of v i, 0.5 V I cos(phi) (2 %); Q follows from
// S = V_rms I_rms = 0.5 V I as sqrt(S^2 - P^2) = 0.5 V I sin(phi) (3 %).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/ndde.h"
#include "model/pf_display.h"
#include "output/pf_values.h"
#include "diag/console.h"
#include "support/shared_state.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDelt = 50e-6;
constexpr double kFrequency = 50.0;
constexpr double kV = 10.0;   // peak phase voltage
constexpr double kI = 2.0;    // peak phase current
constexpr double kPhi = kPi / 6.0;
constexpr std::int32_t kSteps = 10000;         // 0.5 s
constexpr std::int32_t kPeriod = 400;          // steps of one 50 Hz period

class PfValues : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    e_s1::delt = kDelt;
    // Subsystem 1: nodes 1..3 (three phases), node 4 (one phase); branch p
    // from node p to ground.
    e_s0::vdc.allocate(4, 1);
    branches::cbr.allocate(4, 1);
    branches::ief.allocate(4, 1);
    branches::iet.allocate(4, 1);
    for (std::int32_t b = 1; b <= 4; ++b) branches::ief(b, 1) = b;
    std::int32_t nbus = 2, nwb = 2, nb = 1, ntwdg = 1, nc = 1;
    pf_display::allocate_pf(nbus, nwb, nb, ntwdg, nc);
    using namespace pf_display;
    pfsubs(1, 1) = 1;
    pfsubs(1, 2) = 3;
    for (std::int32_t p = 1; p <= 3; ++p) pfnodes(1, p) = p;
    pfsubs(2, 1) = 1;
    pfsubs(2, 2) = 1;
    pfnodes(2, 1) = 4;
    pfbus(1) = 1;
    for (std::int32_t p = 1; p <= 3; ++p) pfbranch(1, p, 1) = p;
    pfbus(2) = 2;
    pfbranch(2, 1, 1) = 4;
    wakro::reset_pf_check();
  }
  void TearDown() override { wakro_test::reset_shared_state(); }

  // Sets the sinusoids at step n and updates the estimates.
  void step(std::int32_t n) {
    const double wt = 2.0 * kPi * kFrequency * n * kDelt;
    for (std::int32_t p = 1; p <= 3; ++p) {
      const double shift = (p - 1) * 2.0 * kPi / 3.0;
      e_s0::vdc(p, 1) = kV * std::cos(wt - shift);
      branches::cbr(p, 1) = kI * std::cos(wt - kPhi - shift);
    }
    e_s0::vdc(4, 1) = kV * std::cos(wt);
    branches::cbr(4, 1) = kI * std::cos(wt - kPhi);
    calc_pf();
  }
};

TEST_F(PfValues, BalancedThreePhaseAndSinglePhaseSettleAtTheirClosedForms) {
  using namespace pf_display;
  std::ostringstream out;
  wakro::ConsoleRedirect redirect(out);
  double bus3 = 0, current3 = 0, bus1 = 0, current1 = 0, p1 = 0, q1 = 0;
  for (std::int32_t n = 0; n < kSteps; ++n) {
    step(n);
    if (n >= kSteps - kPeriod) {
      bus3 += pfdata(1) / kPeriod;
      current3 += pfpqdata(1, 1) / kPeriod;
      bus1 += pfdata(2) / kPeriod;
      current1 += pfpqdata(2, 1) / kPeriod;
      p1 += pfpqdata(2, 2) / kPeriod;
      q1 += pfpqdata(2, 3) / kPeriod;
    }
  }
  EXPECT_NEAR(bus3, std::sqrt(1.5) * kV, 0.005 * std::sqrt(1.5) * kV);
  EXPECT_NEAR(current3, kI / std::sqrt(2.0), 0.005 * kI / std::sqrt(2.0));
  EXPECT_NEAR(pfpqdata(1, 2), 1.5 * kV * kI * std::cos(kPhi), 1e-9 * kV * kI);
  EXPECT_NEAR(pfpqdata(1, 3), 1.5 * kV * kI * std::sin(kPhi), 1e-9 * kV * kI);

  EXPECT_NEAR(bus1, kV / std::sqrt(2.0), 0.015 * kV / std::sqrt(2.0));
  EXPECT_NEAR(current1, kI / std::sqrt(2.0), 0.015 * kI / std::sqrt(2.0));
  EXPECT_NEAR(p1, 0.5 * kV * kI * std::cos(kPhi), 0.02 * 0.5 * kV * kI);
  EXPECT_NEAR(q1, 0.5 * kV * kI * std::sin(kPhi), 0.03 * 0.5 * kV * kI);
  EXPECT_TRUE(out.str().empty()) << out.str();
}

TEST_F(PfValues, EntriesNamingNothingAreDroppedWithOneWarningEach) {
  using namespace pf_display;
  std::ostringstream out;
  wakro::ConsoleRedirect redirect(out);
  pfnodes(2, 1) = 9;         // no node 9
  pfbranch(1, 2, 1) = 40;    // no branch 40
  pftwindings(1, 1, 1, 1) = 3;  // no transformers at all
  pftwindings(1, 1, 1, 2) = 1;
  // Checked once, at the first update (phase by phase); later updates are quiet.
  for (std::int32_t n = 0; n < 3; ++n) step(n);
  EXPECT_EQ(out.str(),
            " ***WARN*** Load-flow display: bus 2 names nothing in the case and is dropped.\n"
            " ***WARN*** Load-flow display: winding 1 of transformer 3 of measuring branch 1 names nothing in the case "
            "and is dropped.\n"
            " ***WARN*** Load-flow display: branch 40 of measuring branch 1 names nothing in the case and is dropped.\n");
  EXPECT_EQ(pfsubs(2, 2), 0);
  EXPECT_EQ(pfbranch(1, 2, 1), 0);
  EXPECT_EQ(pftwindings(1, 1, 1, 1), 0);
  EXPECT_EQ(pfdata(2), 0.0);
  // The single-phase branch stands at the dropped bus: its values are cleared.
  EXPECT_EQ(pfpqdata(2, 1), 0.0);
  // The three-phase branch still runs on the phases that remain.
  EXPECT_NE(pfpqdata(1, 2), 0.0);
}

TEST_F(PfValues, TheLagConstantsOfAFiftyMicrosecondStep) {
  using namespace pf_display;
  // One step of a constant three-phase spread from zero: (1 - a) of the sample.
  e_s0::vdc(1, 1) = 1.0;
  e_s0::vdc(2, 1) = -1.0;
  calc_pf();
  const double a = std::exp(-0.0025);
  EXPECT_DOUBLE_EQ(pfdata(1), (1.0 - a) * 0.7404804896930618 * 2.0);
}

}  // namespace
