// The power-electronic switch through the network solution (dt = 50 us), a
// source branch 0 -> 1 of 10 ohm and the valve 1 -> 0 (RON 1 mohm, ROFF 1 Mohm,
// VF 1 V):
//   half-wave diode rectifier, 10 kV peak 60 Hz: mean Vpk / (pi R) = 0.31831 kA
//   within 0.5% over cycles 5 to 15, each conduction starting where the source
//   rises through VF, asin(1e-4) / w = 0.27 us after its zero;
//   thyristor fired at 90 deg by gate edges inside the step: Vpk (1 + cos 90) /
//   (2 pi R) = 0.159155 kA within 1%, the edge instant handed over exactly;
//   a valve whose holding current its ON current never reaches operates ten
//   times in the step and is then held.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "device_fixture.h"
#include "devices/pe_switch.h"
#include "devices/voltage_sources.h"
#include "model/e_s2.h"
#include "network/switching.h"
#include "support/allocation_counter.h"

namespace {

constexpr double kW60 = 2.0 * std::numbers::pi * 60.0;
constexpr double kPeriod = 1.0 / 60.0;

class PeSwitch : public devtest::Devices {
 protected:
  void circuit(bool interpolate, double dc = 0.0) {
    size(1, 2);
    src_ = add_branch(1, 0, 1, 10.0, 0.0, 0.0, 0.0, dc);
    valve_ = add_branch(1, 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
    set_options({.interpolate = interpolate});
  }
  // The valve of the given kind and gate (G, T) with VFB = VRB = 100 kV.
  void valve(std::int32_t kind, std::int32_t g, double t = 0.0, double tmin = 0.0) {
    wakro_peswitch2(1, valve_, 1e-3, 1e6, g, t, kind, 1, 100.0, 100.0, 0.001, tmin);
  }
  // Mean valve current over cycles 5 to 15 of the 60 Hz source.
  double mean_current() {
    const int steps = static_cast<int>(std::lround(15 * kPeriod / e_s1::delt)) + 1;
    start_run(steps);
    double charge = 0.0;
    for (int k = 0; k < steps; ++k) {
      step();
      if (k * e_s1::delt > 5 * kPeriod) charge += i(valve_) * e_s1::delt;
    }
    return charge / (10 * kPeriod);
  }
  double stor(std::int32_t k) const {
    return e_s2::stor(storage::stori(branches::thisbr(valve_, 1) + 7) + k);
  }
  std::int32_t src_ = 0;
  std::int32_t valve_ = 0;
};

TEST_F(PeSwitch, HalfWaveDiodeRectifierGivesTheClosedFormMeanAndTurnsOnAtTheZeros) {
  circuit(true);
  int turn_ons = 0;
  double last_on = 0.0;
  devices([&] {
    wakro_1pvsrc(1, src_, 0.0, 1, 10.0, kW60, 0.0);
    valve(0, 0);
    if (stor(10) == last_on) return;
    last_on = stor(10);
    ++turn_ons;
    EXPECT_NEAR(std::remainder(last_on, kPeriod), std::asin(1e-4) / kW60, 1e-6) << last_on;
  });
  EXPECT_NEAR(mean_current(), 10.0 / (std::numbers::pi * 10.0), 0.005 * 0.31831);
  EXPECT_EQ(turn_ons, 15);
}

TEST_F(PeSwitch, RectifierStepsAllocateNothing) {
  circuit(true);
  devices([&] {
    wakro_1pvsrc(1, src_, 0.0, 1, 10.0, kW60, 0.0);
    valve(0, 0);
  });
  start_run(1000);
  for (int k = 0; k < 667; ++k) step();
  const long before = wakro_test::allocations;
  for (int k = 0; k < 333; ++k) step();  // a cycle: two switchings inside steps
  EXPECT_EQ(wakro_test::allocations - before, 0);
  wakro_test::allocation_probe = new std::vector<int>(3);
  delete wakro_test::allocation_probe;
  EXPECT_GT(wakro_test::allocations - before, 0);  // the counter sees allocations
}

TEST_F(PeSwitch, ThyristorFiredAtNinetyDegreesGivesTheClosedFormMean) {
  circuit(true);
  int edges = 0;
  devices([&] {
    wakro_1pvsrc(1, src_, 0.0, 1, 10.0, kW60, 0.0);
    // The gate edge of cycle k at 90 deg + k period goes, with T = the time from
    // it to the step's end (0 < T <= dt), to the step whose (t - dt, t] holds it
    // (the next one when it falls on a step's end); the pulse lasts 1 ms.
    const double t = e_s1::time;
    const double dt = e_s1::delt;
    const double k = std::floor((t - kPeriod / 4) / kPeriod + 1e-9);
    const double edge = kPeriod / 4 + k * kPeriod;
    const auto edge_step = static_cast<std::int32_t>(std::floor(edge / dt + 1e-9)) + 1;
    const bool in_step = k >= 0.0 && ctrl::iii == edge_step;
    const double tedge = in_step ? std::clamp(t - edge, 1e-15, dt) : 0.0;
    valve(1, k >= 0.0 && ctrl::iii >= edge_step && t - edge <= 1e-3 ? 1 : 0, tedge);
    if (!in_step) return;
    ++edges;
    EXPECT_EQ(int1::iorv(valve_, 1), 8);
    EXPECT_EQ(branches::swlevl(valve_, 1), t - tedge);
  });
  EXPECT_NEAR(mean_current(), 10.0 / (2.0 * std::numbers::pi * 10.0), 0.01 * 0.159155);
  EXPECT_EQ(edges, 15);
}

TEST_F(PeSwitch, AtMostTenOperationsOfOneValveInAStep) {
  circuit(true, 10.0);
  devices([&] {
    valve(0, 0);
    storage::storf(storage::stori(branches::thisbr(valve_, 1) + 2) + 1) = 5.0;  // holding 5 kA
  });
  start_run(3);
  step();
  const auto out = nettest::capture([&] { step(); });
  EXPECT_EQ(temp1::icnt(valve_), 0);
  EXPECT_EQ(out.text,
            " ***INFO*** Power Electronic Switch in branch 2 of subsystem \n"
            " ***INFO*** 1 reached maximum number of switching in one time step.\n");
}

TEST_F(PeSwitch, RecordAndGateTurnOffOfAConfiguredTurnOffValve) {
  circuit(false, 10.0);
  std::int32_t gate = 1;
  devices([&] {
    if (e_s1::timezero) {
      peswitch1_cfg(2, 1, 1e-3, 1e6, 100.0, 100.0, 0.001, 0.0);
      rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    }
    peswitch1_exe(1, valve_, gate, 0.0);
  });
  start_run(10);
  step();
  const std::int32_t t = branches::thisbr(valve_, 1);
  EXPECT_EQ(storage::stori(t), 12);
  EXPECT_EQ(storage::storf(storage::stori(t + 2) + 1), 0.001 / 1e6);
  EXPECT_EQ(storage::storf(storage::stori(t + 2) + 2), 0.001);
  EXPECT_EQ(stor(15), -2.0 * e_s1::delt);
  EXPECT_EQ(storage::nstori + storage::nstorl + storage::nstorf + e_s2::nexc, 9 + 3 + 8 + 25);
  step();  // fired by the forward voltage of the time-zero solution
  EXPECT_EQ(stor(10), e_s1::time);
  gate = 0;  // a turn-off valve is blocked by every gate but 1
  step();
  EXPECT_TRUE(branches::openbr(valve_, 1));
  EXPECT_EQ(stor(11), e_s1::time);
}

// A diode on 10 kV DC conducts whatever its gate; a gate of 2 turns it off and,
// in the single-routine forms, makes it a turn-off device from then on: the
// caller's KIND becomes 2 and the record's code 12, so a gate of 0 keeps it
// blocked (a diode would fire again at once) and only a gate of 1 fires it. The
// configured form keeps its kind: the 2 blocks it for that step only.
class GateTwo : public PeSwitch, public ::testing::WithParamInterface<bool> {};

TEST_P(GateTwo, MakesASingleRoutineDiodeATurnOffDevice) {
  const bool configured = GetParam();
  circuit(false, 10.0);
  std::int32_t gate = 0, kind = 0;
  devices([&] {
    if (!configured) {
      wakro_peswitch2(1, valve_, 1e-3, 1e6, gate, 0.0, kind, 1, 100.0, 100.0, 0.001, 0.0);
      return;
    }
    if (e_s1::timezero) {
      peswitch1_cfg(0, 1, 1e-3, 1e6, 100.0, 100.0, 0.001, 0.0);
      rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    }
    peswitch1_exe(1, valve_, gate, 0.0);
  });
  start_run(10);
  step();
  step();
  const std::int32_t t = branches::thisbr(valve_, 1);
  EXPECT_FALSE(branches::openbr(valve_, 1));
  EXPECT_EQ(storage::stori(t), 10);
  gate = 2;
  step();
  EXPECT_TRUE(branches::openbr(valve_, 1));
  EXPECT_EQ(stor(11), e_s1::time);
  EXPECT_EQ(storage::stori(t), configured ? 10 : 12);
  EXPECT_EQ(kind, configured ? 0 : 2);
  gate = 0;
  step();
  step();
  EXPECT_EQ(branches::openbr(valve_, 1), !configured);
  if (configured) return;
  kind = 0;  // the record decides from now on, whatever the caller passes
  step();
  EXPECT_TRUE(branches::openbr(valve_, 1));
  gate = 1;
  step();
  step();
  EXPECT_FALSE(branches::openbr(valve_, 1));
}

INSTANTIATE_TEST_SUITE_P(SingleRoutineAndConfigured, GateTwo, ::testing::Bool());

TEST_F(PeSwitch, ForwardBreakdownIsPermanentAndStatesItsUnits) {
  circuit(false, 6.0);
  std::int32_t gate = 0, kind = 1;
  devices([&] { wakro_peswitch(1, valve_, 1e-3, 1e6, gate, 0.0, kind, 5.0, 0.001, 0.0); });
  start_run(10);
  step();
  const auto out = nettest::capture([&] { step(); });
  EXPECT_NE(out.text.find(" beyond the forward breakdown level 5 kV (levels compared in the "
                          "units of the data)\n ***WARN*** Permanent break down of PESwitch in \n"
                          " ***WARN*** branch 2 of subsystem 1\n"),
            std::string::npos)
      << out.text;
  gate = 2;
  branches::ebr(src_, 1) = -6.0;
  step();
  EXPECT_FALSE(branches::openbr(valve_, 1));
}

// A thyristor on +10, -10, -10, +10 kV: fired at step 1, turned off by the reversed
// current at step 3; the forward voltage is back 100 us later, at step 5.
TEST_F(PeSwitch, RefiresOnlyWithinTheRecoveryTime) {
  for (const double tmin : {150.0, 100.0}) {
    circuit(false, 10.0);
    devices([&] {
      branches::ebr(src_, 1) = (ctrl::iii == 2 || ctrl::iii == 3) ? -10.0 : 10.0;
      valve(1, ctrl::iii <= 1 ? 1 : 0, 0.0, tmin);
    });
    start_run(8);
    for (int k = 0; k <= 5; ++k) step();
    EXPECT_EQ(stor(11), 3 * e_s1::delt);
    EXPECT_EQ(branches::openbr(valve_, 1), tmin == 100.0) << tmin;
    release_all_and_reset();
  }
}

TEST_F(PeSwitch, SafetyTurnOffUnknownKindAndDiscontinuedThyristor) {
  circuit(true);
  e_s1::timezero = true;
  const auto call = [&] {
    storage::nstori = storage::nstorl = storage::nstorf = 1;
    e_s2::nexc = 0;
    valve(0, 0);
  };
  call();
  e_s1::timezero = false;
  wakro_turnon(1, valve_, 6, 0.0);
  branches::cbr(valve_, 1) = -0.5;
  EXPECT_EQ(nettest::capture(call).text,
            "Diode:      Safety off: SS#  1   Br#    2\n"
            " ***INFO*** Diode: Safety turn off in branch 2\n ***INFO***  of subsystem 1\n");
  EXPECT_EQ(int1::iorv(valve_, 1), 3);
  const auto bad = nettest::capture([] { peswitch1_cfg(10, 1, 1e-3, 1e6, 1.0, 1.0, 0.001, 0.0); });
  EXPECT_NE(bad.text.find("Power electronic switch type 10 is not one of 0 (diode) to 9"),
            std::string::npos);
  EXPECT_NE(nettest::capture([] { thyr25(); })
                .text.find("THYR25       has been discontinued and cannot be supported"),
            std::string::npos);
}

}  // namespace
