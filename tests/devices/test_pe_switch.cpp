// The power-electronic switch through the network solution (dt = 50 us):
//   half-wave rectifier, 10 kV peak 60 Hz behind 10 ohm, diode (RON 1 mohm,
//   ROFF 1 Mohm, VF 1 V): the mean current is Vpk / (pi (R + RON)) = 0.318278 kA
//   (Vpk / (pi R) = 0.31831 within 0.5%), and each conduction starts where the
//   source rises through VF, asin(1e-4) / w = 0.27 us after its zero;
//   the same with a thyristor fired at 90 deg by gate edges inside the step:
//   Vpk (1 + cos 90) / (2 pi R) = 0.159155 kA within 1%, and the edge instant
//   handed to the solution exactly;
//   a valve whose holding current its ON current cannot reach operates ten times
//   in the step and is then held for the rest of it.
// And the record, the gate logic, breakdowns, the re-firing window and the
// safety turn-off at unit level.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "device_fixture.h"
#include "devices/pe_switch.h"
#include "devices/voltage_sources.h"
#include "model/e_s2.h"
#include "network/switching.h"

namespace {

constexpr double kW60 = 2.0 * std::numbers::pi * 60.0;
constexpr double kPeriod = 1.0 / 60.0;

class PeSwitch : public devtest::Devices {
 protected:
  // Source branch 0 -> 1 (R = 10 ohm, its EMF set by the test or a source model)
  // and the valve 1 -> 0.
  void circuit(bool interpolate) {
    size(1, 2);
    src_ = add_branch(1, 0, 1, 10.0, 0.0, 0.0);
    valve_ = add_branch(1, 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
    set_options({.interpolate = interpolate});
  }
  // Slot k of the valve's STOR block (its record gives the block's start).
  double stor(std::int32_t k) const {
    return e_s2::stor(storage::stori(branches::thisbr(valve_, 1) + 7) + k);
  }
  double time() const { return e_s1::time; }

  std::int32_t src_ = 0;
  std::int32_t valve_ = 0;
};

TEST_F(PeSwitch, HalfWaveDiodeRectifierGivesTheClosedFormMeanAndTurnsOnAtTheZeros) {
  circuit(true);
  devices([&] {
    wakro_1pvsrc(1, src_, 0.0, 1, 10.0, kW60, 0.0);
    wakro_peswitch2(1, valve_, 1e-3, 1e6, 0, 0.0, 0, 1, 100.0, 100.0, 0.001, 0.0);
  });
  const int steps = static_cast<int>(std::lround(15 * kPeriod / e_s1::delt)) + 1;
  start_run(steps);
  double charge = 0.0;
  double last_on = 0.0;
  int turn_ons = 0;
  for (int k = 0; k < steps; ++k) {
    step();
    const double t = (k) * e_s1::delt;
    if (t > 5 * kPeriod && t <= 15 * kPeriod + 1e-12) charge += i(valve_) * e_s1::delt;
    if (stor(10) != last_on) {
      last_on = stor(10);
      const double zero = std::round(last_on / kPeriod) * kPeriod;
      EXPECT_NEAR(last_on - zero, std::asin(1e-4) / kW60, 1e-6) << "turn-on at " << last_on;
      ++turn_ons;
    }
  }
  EXPECT_EQ(turn_ons, 15);  // the first at time zero, then one per cycle
  const double mean = charge / (10 * kPeriod);
  EXPECT_NEAR(mean, 10.0 / (std::numbers::pi * 10.0), 0.005 * 0.31831);
  EXPECT_NEAR(mean, 10.0 / (std::numbers::pi * 10.001), 2e-4);
}

TEST_F(PeSwitch, ThyristorFiredAtNinetyDegreesGivesTheClosedFormMean) {
  circuit(true);
  const double alpha = kPeriod / 4.0;
  const double pulse = 1.0e-3;
  int edges = 0;
  devices([&] {
    wakro_1pvsrc(1, src_, 0.0, 1, 10.0, kW60, 0.0);
    // The gate as an interpolated signal: the edge of cycle k at alpha + k T is
    // given, with T = the time from it to the step's end (0 < T <= dt), to the
    // step whose interval (t - dt, t] holds it, or to the next one when it falls
    // on a step's end.
    const double t = e_s1::time;
    const double dt = e_s1::delt;
    const double k = std::floor((t - alpha) / kPeriod + 1e-9);
    const double edge = alpha + k * kPeriod;
    const auto edge_step = static_cast<std::int32_t>(std::floor(edge / dt + 1e-9)) + 1;
    const bool in_step = k >= 0.0 && ctrl::iii == edge_step;
    const double tedge = in_step ? std::clamp(t - edge, 1e-15, dt) : 0.0;
    const std::int32_t g = k >= 0.0 && ctrl::iii >= edge_step && t - edge <= pulse ? 1 : 0;
    wakro_peswitch2(1, valve_, 1e-3, 1e6, g, tedge, 1, 1, 100.0, 100.0, 0.001,
                    0.0);
    if (in_step && branches::openbr(valve_, 1)) {
      ++edges;
      EXPECT_EQ(int1::iorv(valve_, 1), 8);
      EXPECT_EQ(branches::swlevl(valve_, 1), t - tedge);
      EXPECT_EQ(stor(4), branches::swlevl(valve_, 1));
    }
  });
  const int steps = static_cast<int>(std::lround(15 * kPeriod / e_s1::delt)) + 1;
  start_run(steps);
  double charge = 0.0;
  for (int k = 0; k < steps; ++k) {
    step();
    const double t = k * e_s1::delt;
    if (t > 5 * kPeriod && t <= 15 * kPeriod + 1e-12) charge += i(valve_) * e_s1::delt;
  }
  EXPECT_EQ(edges, 15);
  const double mean = charge / (10 * kPeriod);
  EXPECT_NEAR(mean, 10.0 / (2.0 * std::numbers::pi * 10.0), 0.01 * 0.159155);
}

TEST_F(PeSwitch, AtMostTenOperationsOfOneValveInAStep) {
  circuit(true);
  branches::ebr(src_, 1) = branches::ebrd(src_, 1) = 10.0;
  branches::source(src_, 1) = true;
  devices([&] {
    wakro_peswitch2(1, valve_, 1e-3, 1e6, 0, 0.0, 0, 1, 100.0, 100.0, 0.001, 0.0);
    // A holding current that the ON current of 1 kA never reaches: the network
    // turns the valve off at once after each turn-on, and on again.
    storage::storf(storage::stori(branches::thisbr(valve_, 1) + 2) + 1) = 5.0;
  });
  start_run(3);
  step();  // time zero: the valve waits for its forward voltage
  const auto out = nettest::capture([&] { step(); });
  EXPECT_EQ(temp1::icnt(valve_), 0);
  EXPECT_FALSE(temp1::consid(valve_));
  EXPECT_EQ(out.text,
            " ***INFO*** Power Electronic Switch in branch 2 of subsystem \n"
            " ***INFO*** 1 reached maximum number of switching in one time step.\n");
  EXPECT_FALSE(branches::openbr(valve_, 1));  // the tenth operation turned it on
}

TEST_F(PeSwitch, RecordGateLogicAndTurnOffDevice) {
  circuit(false);
  std::int32_t gate = 1;
  std::int32_t kind = 2;
  devices([&] {
    wakro_peswitch2(1, valve_, 1e-2, 1e6, gate, 0.0, kind, 1, 100.0, 100.0, 0.002, 0.0);
  });
  branches::ebr(src_, 1) = branches::ebrd(src_, 1) = 10.0;
  branches::source(src_, 1) = true;
  start_run(10);
  step();
  // The record the network solution reads.
  const std::int32_t t = branches::thisbr(valve_, 1);
  EXPECT_EQ(t, 1);
  EXPECT_EQ(storage::stori(t), 12);
  EXPECT_EQ(storage::stori(t + 4), 1);
  EXPECT_EQ(storage::stori(t + 5), valve_);
  EXPECT_EQ(storage::storf(storage::stori(t + 2) + 1), 0.002 / 1e6);
  EXPECT_EQ(storage::storf(storage::stori(t + 2) + 2), 0.002);
  EXPECT_EQ(stor(6), 0.002 / 1e6);
  EXPECT_EQ(stor(15), -2.0 * e_s1::delt);
  EXPECT_DOUBLE_EQ(branches::ebron(valve_, 1), -(1e6 - 1e-2) * 0.002 / 1e6);
  EXPECT_EQ(harmimp::branch_r(valve_, 1), 1e6);
  // Fired by the forward voltage of the time-zero solution.
  step();
  EXPECT_FALSE(branches::openbr(valve_, 1));
  EXPECT_EQ(stor(10), e_s1::time);
  step();
  EXPECT_EQ(stor(14), 1.0);
  // Gate removed while carrying 1 kA: off in that call.
  gate = 0;
  step();
  EXPECT_TRUE(branches::openbr(valve_, 1));
  EXPECT_EQ(stor(11), e_s1::time);
  EXPECT_EQ(stor(14), 0.0);
  EXPECT_EQ(storage::stori(t + 6), -1);
}

TEST_F(PeSwitch, ThyristorWaitsForForwardVoltageWithTheLevelOfItsDrop) {
  circuit(true);
  devices([&] {
    wakro_peswitch2(1, valve_, 1e-2, 1e6, 1, 0.0, 1, 1, 100.0, 100.0, 0.002, 0.0);
  });
  start_run(2);
  step();  // the time-zero voltage is 0: below VF
  EXPECT_TRUE(branches::openbr(valve_, 1));
  EXPECT_EQ(int1::iorv(valve_, 1), 3);
  EXPECT_EQ(branches::swlevl(valve_, 1), 0.002);
}

TEST_F(PeSwitch, ForwardBreakdownIsPermanentAndSaysItsUnits) {
  circuit(false);
  std::int32_t gate = 0;
  devices([&] { wakro_peswitch(1, valve_, 1e-2, 1e6, gate, 0.0, 1, 5.0, 0.002, 0.0); });
  branches::ebr(src_, 1) = branches::ebrd(src_, 1) = 6.0;
  branches::source(src_, 1) = true;
  start_run(10);
  step();
  const auto out = nettest::capture([&] { step(); });
  EXPECT_NE(out.text.find(" ***WARN*** Forward break down of PESwitch in \n"
                          " ***WARN*** branch 2 of subsystem 1\n"
                          " ***WARN*** switch voltage "),
            std::string::npos)
      << out.text;
  EXPECT_NE(out.text.find(" beyond the forward breakdown level 5 kV (levels compared in the "
                          "units of the data)\n"
                          " ***WARN*** Permanent break down of PESwitch in \n"
                          " ***WARN*** branch 2 of subsystem 1\n"),
            std::string::npos)
      << out.text;
  EXPECT_FALSE(branches::openbr(valve_, 1));
  EXPECT_EQ(stor(24), 1.0);
  // Nothing moves it again: a blocking gate and a reversed source.
  gate = 2;
  branches::ebr(src_, 1) = -6.0;
  for (int k = 0; k < 4; ++k) {
    const auto quiet = nettest::capture([&] { step(); });
    EXPECT_TRUE(quiet.text.empty());
    EXPECT_FALSE(branches::openbr(valve_, 1));
  }
}

// Thyristor on a source of +10, -10, +10 kV: fired at step 1, carried the reversed
// current of step 2, turned off by it at step 3 (t = 150 us); at step 5 the
// forward voltage is back 100 us after the turn-off.
class Refire : public PeSwitch, public ::testing::WithParamInterface<double> {};

TEST_P(Refire, OnlyWithinTheRecoveryTime) {
  const double tmin = GetParam();
  circuit(false);
  branches::source(src_, 1) = true;
  devices([&] {
    const std::int32_t n = ctrl::iii;
    branches::ebr(src_, 1) = (n == 2 || n == 3) ? -10.0 : 10.0;
    if (n == 0) branches::ebrd(src_, 1) = 10.0;
    wakro_peswitch2(1, valve_, 1e-2, 1e6, n <= 1 ? 1 : 0, 0.0, 1, 1, 100.0, 100.0, 0.002, tmin);
  });
  start_run(8);
  for (int k = 0; k <= 3; ++k) step();
  EXPECT_TRUE(branches::openbr(valve_, 1));
  EXPECT_EQ(stor(11), 3 * e_s1::delt);
  step();
  step();
  EXPECT_EQ(!branches::openbr(valve_, 1), tmin > 100.0);
  if (tmin > 100.0) {
    EXPECT_EQ(stor(10), 4 * e_s1::delt);
  }
}

INSTANTIATE_TEST_SUITE_P(Window, Refire, ::testing::Values(150.0, 100.0));

TEST_F(PeSwitch, LowCurrentTurnOffUnderInterpolationIsASafetyTurnOff) {
  circuit(true);
  e_s1::timezero = true;
  e_s1::delt = 5e-5;
  const auto call = [&] {
    storage::nstori = storage::nstorl = storage::nstorf = 1;
    e_s2::nexc = 0;
    wakro_peswitch2(1, valve_, 1e-3, 1e6, 0, 0.0, 0, 1, 100.0, 100.0, 0.001, 0.0);
  };
  call();
  e_s1::timezero = false;
  std::string text;
  for (int k = 1; k <= 3; ++k) {
    e_s1::time = k * 1e-3;
    wakro_turnon(1, valve_, 6, 0.0);
    branches::cbr(valve_, 1) = -0.5;
    text += nettest::capture(call).text;
    EXPECT_TRUE(branches::openbr(valve_, 1));
    EXPECT_EQ(stor(11), e_s1::time - e_s1::delt);
    EXPECT_EQ(int1::iorv(valve_, 1), 3);  // a diode is ready to fire again
  }
  EXPECT_EQ(text,
            "Diode:      Safety off: SS#  1   Br#    2\n"
            " ***INFO*** Diode: Safety turn off in branch 2\n"
            " ***INFO***  of subsystem 1\n"
            "Diode:      Safety off: SS#  1   Br#    2 (Multiple)\n"
            " ***INFO*** Diode: Safety turn off in branch 2\n"
            " ***INFO***  of subsystem 1 [Multiple]\n");
}

TEST_F(PeSwitch, UnknownKindAndTheDiscontinuedThyristorStopTheRun) {
  circuit(false);
  const auto bad = nettest::capture([] { peswitch1_cfg(10, 1, 1e-3, 1e6, 1.0, 1.0, 0.001, 0.0); });
  EXPECT_NE(bad.status, -1);
  EXPECT_NE(bad.text.find("Power electronic switch type 10 is not one of 0 (diode) to 9"),
            std::string::npos);
  EXPECT_NE(bad.text.find("PESWITCH"), std::string::npos);
  const auto old = nettest::capture([] { thyr25(); });
  EXPECT_NE(old.status, -1);
  EXPECT_NE(old.text.find("THYR25       has been discontinued and cannot be supported"),
            std::string::npos);
}

TEST_F(PeSwitch, ConfiguredFormReadsItsParametersBack) {
  circuit(false);
  devices([&] {
    if (e_s1::timezero) {
      peswitch1_cfg(0, 1, 1e-3, 1e6, 100.0, 100.0, 0.001, 0.0);
      rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    }
    peswitch1_exe(1, valve_, 0, 0.0);
  });
  branches::ebr(src_, 1) = branches::ebrd(src_, 1) = 10.0;
  branches::source(src_, 1) = true;
  start_run(4);
  step();
  step();
  EXPECT_EQ(rt_config::nrtci, 2);
  EXPECT_EQ(rt_config::nrtcl, 2);
  EXPECT_EQ(rt_config::nrtcf, 7);
  EXPECT_EQ(storage::nstori, 9);
  EXPECT_EQ(storage::nstorl, 3);
  EXPECT_EQ(storage::nstorf, 8);
  EXPECT_EQ(e_s2::nexc, 25);
  EXPECT_FALSE(branches::openbr(valve_, 1));  // a diode, fired without a gate
  EXPECT_NEAR(i(valve_), (10.0 - 0.001) / (10.0 + 1e-3), 1e-6);
}

}  // namespace
