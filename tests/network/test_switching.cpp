// Switching branches: the first-row marker, the two state changes, the set-up and
// its refusals, the operation of each kind of switch with the per-step limits and
// their messages, the safety messages of the power-electronic switches, and the
// crossing-fraction correction.
#include <limits>
#include <string>

#include "diag/quit.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "net_fixture.h"
#include "network/switch_records.h"
#include "network/switching.h"

namespace {

using nettest::capture;

// The closing block of wakro_quit for a tag.
std::string quit_block(const std::string& tag) {
  const std::string rule = " =========================================================\n";
  return rule + " ERROR: Abnormal termination of WAKRO by " + tag + "\n" + rule + "  \n";
}

class Switching : public nettest::Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    extra_dims_ = {
        {dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}, {dim::rtci, 40}, {dim::rtcf, 40}};
    e_warn::comp_id1 = e_warn::comp_id2 = 0;
  }
  void TearDown() override {
    e_warn::comp_id1 = e_warn::comp_id2 = 0;
    int1::solution_time = 0.0;
    Network::TearDown();
  }

  // Subsystem of 3 nodes: two grounding resistors and `count` switches 1 -> 3
  // (from released state: a fatal stop has released everything).
  void switches(std::int32_t count) {
    release_all_and_reset();
    size(3, 2 + count);
    add_branch(1, 1, 0, 1.0, 0.0, 0.0);
    add_branch(1, 3, 0, 1.0, 0.0, 0.0);
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t b = add_branch(1, 1, 3, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
      wakro_initswbr(1, b, 0.01, 1.0e6, 0.0, 0.0, "TEST        ");
    }
  }

  // A diode record at stori 5, storf block from 11, stor block from 21.
  void diode_record(std::int32_t br, double holding, double forward, std::int32_t code = 10) {
    branches::thisbr(br, 1) = 5;
    storage::stori(5) = code;
    storage::stori(7) = 10;
    storage::stori(12) = 20;
    storage::storf(11) = holding;
    storage::storf(12) = forward;
  }

  // An arrester table of three segments at stor index 100: conductances 1, 2, 3,
  // EMF magnitudes 10, 20, 30, breakpoints 0, 5, 10, 15.
  void arrester(std::int32_t br) {
    branches::geqof(br, 1) = 100.0;
    branches::ebrof(br, 1) = 3.0;
    branches::swlevl(br, 1) = 0.0;
    int1::iorv(br, 1) = 5;
    const double table[] = {1, 2, 3, 10, 20, 30, 0, 5, 10, 15};
    for (int k = 0; k < 10; ++k) e_s2::stor(101 + k) = table[k];
  }

  void operate(std::int32_t br, double at = 0.5) {
    temp1::consid(br) = true;
    int1::xstor(br, 1) = at;
    switchbr(1, at);
  }
};

TEST_F(Switching, FirstRowMarkerOnlyDecreasesAndIgnoresGround) {
  size(9, 1);
  e_s8::mxinv(1) = 9;
  setmxinv(1, 0, 7);
  EXPECT_EQ(e_s8::mxinv(1), 7);
  setmxinv(1, 8, 3);
  EXPECT_EQ(e_s8::mxinv(1), 3);
  e_s8::mxinv(1) = 2;
  setmxinv(1, 3, 8);
  EXPECT_EQ(e_s8::mxinv(1), 2);
  setmxinv(1, 5, 0);
  EXPECT_EQ(e_s8::mxinv(1), 2);
  setmxinv(1, 0, 0);
  EXPECT_EQ(e_s8::mxinv(1), 0);
}

TEST_F(Switching, TurnOnAndOffTakeTheirStateAndLowerTheMarker) {
  size(4, 1);
  const std::int32_t b = add_branch(1, 4, 3, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  using namespace branches;
  geqon(b, 1) = 0.0;  // an ideal ON state
  geqof(b, 1) = 1e-6;
  ebron(b, 1) = -0.7;
  ebrof(b, 1) = 1e-20;
  e_s8::mxinv(1) = 5;
  wakro_turnon(1, b, -13, 0.25);
  EXPECT_FALSE(openbr(b, 1));
  EXPECT_TRUE(idealbr(b, 1));
  EXPECT_EQ(geq(b, 1), 0.0);
  EXPECT_EQ(ebr(b, 1), -0.7);
  EXPECT_EQ(ebrd(b, 1), -0.7);
  EXPECT_TRUE(source(b, 1));
  EXPECT_EQ(int1::iorv(b, 1), -13);
  EXPECT_EQ(swlevl(b, 1), 0.25);
  EXPECT_EQ(e_s8::mxinv(1), 3);
  wakro_turnoff(1, b, 3, 0.5);
  EXPECT_TRUE(openbr(b, 1));
  EXPECT_FALSE(idealbr(b, 1));
  EXPECT_EQ(geq(b, 1), 1e-6);
  EXPECT_EQ(ebr(b, 1), 1e-20);
  EXPECT_FALSE(source(b, 1));  // 1e-20 is not a source
  EXPECT_EQ(int1::iorv(b, 1), 3);
  EXPECT_EQ(swlevl(b, 1), 0.5);
  // A turn-on into a non-ideal state leaves the ideal mark as it is.
  geqon(b, 1) = 100.0;
  wakro_turnon(1, b, 6, 0.0);
  EXPECT_FALSE(idealbr(b, 1));
  EXPECT_EQ(geq(b, 1), 100.0);
}

TEST_F(Switching, TurnOnAndOffFromAModelRefuseAnArresterAndLeaveItsState) {
  switches(1);
  const std::int32_t b = 3;
  arrester(b);
  branches::ebron(b, 1) = 1;
  e_s0::vdc(1, 1) = 12.0;
  operate(b);  // the network's own step still turns it on
  EXPECT_EQ(branches::swlevl(b, 1), 1.0);
  EXPECT_EQ(branches::geq(b, 1), 2.0);
  EXPECT_FALSE(branches::openbr(b, 1));
  const std::string named =
      " ***ERROR** Arrester in branch 3 of subsystem \n"
      " ***ERROR** 1 is operated by the network; a model cannot turn it ";
  const auto on = capture([&] { wakro_turnon(1, b, 6, 0.0); });
  EXPECT_EQ(on.status, 2000);
  EXPECT_EQ(on.text, named + "on.\n" + quit_block("TURNON      "));
  switches(1);
  arrester(b);
  int1::iorv(b, 1) = -5;  // either sign of the mode
  const auto off = capture([&] { wakro_turnoff(1, b, 6, 0.0); });
  EXPECT_EQ(off.status, 2000);
  EXPECT_EQ(off.text, named + "off.\n" + quit_block("TURNOFF     "));
  // Any other switch is still turned on and off by a model.
  switches(1);
  const auto plain = capture([&] {
    wakro_turnon(1, b, 6, 0.0);
    EXPECT_FALSE(branches::openbr(b, 1));
    wakro_turnoff(1, b, 8, 0.0);
    EXPECT_TRUE(branches::openbr(b, 1));
  });
  EXPECT_EQ(plain.status, -1);
  EXPECT_EQ(plain.text, "");
}

TEST_F(Switching, SetUpLeavesTheSwitchOffAndMarksItsCoupling) {
  size(5, 2);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  const std::int32_t b = add_branch(1, 5, 3, 1.0, 0.0, 0.0, 0.0, 0.0, true);
  e_s0::FillView filled = e_s0::assign_filled_ptr(1);
  filled(3, 5) = filled(5, 3) = false;
  e_s8::mxinv(1) = 6;
  // A breaker passes its branch number with a sign.
  wakro_initswbr(1, -b, 0.5, 2.0e6, 1.5, -2.5, "BREAKER     ");
  using namespace branches;
  EXPECT_TRUE(openbr(b, 1));
  EXPECT_EQ(geqof(b, 1), 0.5e-6);
  EXPECT_EQ(geq(b, 1), 0.5e-6);
  EXPECT_EQ(geqon(b, 1), 2.0);
  EXPECT_EQ(ebron(b, 1), -1.5);
  EXPECT_EQ(ebr(b, 1), 2.5);
  EXPECT_EQ(ebrd(b, 1), 2.5);
  EXPECT_EQ(int1::iorv(b, 1), 6);
  EXPECT_EQ(swlevl(b, 1), 0.0);
  EXPECT_EQ(int1::xstor(b, 1), wakro::kNoCrossing);
  EXPECT_EQ(e_s8::mxinv(1), 3);
  EXPECT_TRUE(filled(3, 5));
  EXPECT_TRUE(filled(5, 3));
  EXPECT_FALSE(e_s0::idealss(1));
  // An ON resistance at the ideal-branch threshold (1e-8 ohm) is ideal.
  wakro_initswbr(1, b, 1.0e-8, 1.0, 0.0, 0.0, "BREAKER     ");
  EXPECT_EQ(geqon(b, 1), 0.0);
  EXPECT_TRUE(e_s0::idealss(1));
}

TEST_F(Switching, SetUpRefusesResistancesWithExactTexts) {
  switches(2);
  const std::int32_t b = 4;
  auto equal = capture([&] { wakro_initswbr(1, b, 1.0, 1.0, 0.0, 0.0, "BREAKER     "); });
  EXPECT_EQ(equal.status, 2000);
  EXPECT_EQ(equal.text,
            " ***ERROR** OFF resistance of switch in branch 4 of subsystem \n"
            " ***ERROR** 1 must be larger than the ON resistance.\n" +
                quit_block("BREAKER     "));

  switches(2);
  auto ideal = capture([&] { wakro_initswbr(1, b, 1.0e-10, 1.0e-9, 0.0, 0.0, "BREAKER"); });
  EXPECT_EQ(ideal.status, 2000);
  EXPECT_EQ(ideal.text,
            " ***ERROR** OFF resistance of switch in branch 4 of subsystem \n"
            " ***ERROR** 1 must be larger than the ideal branch threshold "
            " 0.1000000000000000E-07\n" +
                quit_block("BREAKER     "));

  switches(2);
  auto negative = capture([&] { wakro_initswbr(1, b, -1.0, 10.0, 0.0, 0.0, "PESWITCH    "); });
  EXPECT_EQ(negative.status, 2000);
  EXPECT_EQ(negative.text,
            " ***ERROR** ON resistance of switch in branch 4 of subsystem \n"
            " ***ERROR** 1 must not be negative.\n" +
                quit_block("PESWITCH    "));

  // Not a switch: the validator's refusal under the caller's tag.
  switches(2);
  auto plain = capture([&] { wakro_initswbr(1, 1, 1.0, 10.0, 0.0, 0.0, "BREAKER     "); });
  EXPECT_EQ(plain.status, 2000);
  EXPECT_NE(plain.text.find(quit_block("BREAKER     ")), std::string::npos);
}

TEST_F(Switching, PlainSwitchChangesStateOnlyAtItsInstant) {
  switches(2);
  const std::int32_t a = 3;
  const std::int32_t b = 4;
  temp1::consid(a) = temp1::consid(b) = true;
  int1::xstor(a, 1) = 0.3;
  int1::xstor(b, 1) = 0.3002;
  e_s8::mxinv(1) = 4;
  switchbr(1, 0.3);
  EXPECT_FALSE(branches::openbr(a, 1));
  EXPECT_EQ(branches::geq(a, 1), 100.0);
  EXPECT_EQ(int1::iorv(a, 1), 6);
  EXPECT_EQ(int1::xstor(a, 1), 0.3);  // an operated switch keeps its fraction
  EXPECT_TRUE(branches::openbr(b, 1));
  EXPECT_EQ(int1::xstor(b, 1), wakro::kNoCrossing);
  EXPECT_EQ(e_s8::mxinv(1), 1);
  // A switch no longer considered is not operated.
  temp1::consid(a) = false;
  int1::xstor(a, 1) = 0.1;
  switchbr(1, 0.3);
  EXPECT_FALSE(branches::openbr(a, 1));
  temp1::consid(a) = true;
  int1::xstor(a, 1) = 0.1;
  switchbr(1, 0.3);
  EXPECT_TRUE(branches::openbr(a, 1));
}

TEST_F(Switching, PowerElectronicSwitchAlternatesAndStopsAtTheTenthOperation) {
  switches(1);
  const std::int32_t b = 3;
  diode_record(b, 0.002, 0.7);
  temp1::icnt(b) = 10;
  std::string text;
  for (int k = 1; k <= 10; ++k) {
    int1::solution_time = 1.0e-3 * k;
    auto out = capture([&] { operate(b); });
    text += out.text;
    if (k < 10) {
      EXPECT_TRUE(out.text.empty()) << k;
    }
    if (k % 2 == 1) {
      EXPECT_FALSE(branches::openbr(b, 1));
      EXPECT_EQ(int1::iorv(b, 1), -13);
      EXPECT_EQ(branches::swlevl(b, 1), 0.002);
      EXPECT_EQ(e_s2::stor(30), 1.0e-3 * k);
    } else {
      EXPECT_TRUE(branches::openbr(b, 1));
      EXPECT_EQ(int1::iorv(b, 1), 3);  // a diode waits for its forward voltage
      EXPECT_EQ(branches::swlevl(b, 1), 0.7);
      EXPECT_EQ(e_s2::stor(31), 1.0e-3 * k);
    }
  }
  EXPECT_EQ(text,
            " ***INFO*** Power Electronic Switch in branch 3 of subsystem \n"
            " ***INFO*** 1 reached maximum number of switching in one time step.\n");
  EXPECT_FALSE(temp1::consid(b));
  EXPECT_EQ(temp1::icnt(b), 0);
  // Frozen for the rest of the step.
  int1::xstor(b, 1) = 0.5;
  switchbr(1, 0.5);
  EXPECT_TRUE(branches::openbr(b, 1));

  // Another valve type turns off with mode 6.
  diode_record(b, 0.002, 0.7, 11);
  temp1::icnt(b) = 10;
  operate(b);
  operate(b);
  EXPECT_EQ(int1::iorv(b, 1), 6);
}

TEST_F(Switching, ArresterCountsAlternatingStepsWarnsAtFiveAndStopsAtTen) {
  switches(1);
  const std::int32_t b = 3;
  arrester(b);
  temp1::icnt(b) = 0;
  e_s0::vdc(1, 1) = -4.0;  // branch voltage negative
  int1::solution_time = 1.25e-4;
  const std::int32_t steps[] = {-1, 1, -1, 1, -1};
  const std::int32_t counts[] = {-1, 2, -3, 4, -5};
  std::string text;
  for (int k = 0; k < 5; ++k) {
    branches::ebron(b, 1) = steps[k];
    text += capture([&] { operate(b); }).text;
    EXPECT_EQ(temp1::icnt(b), counts[k]);
  }
  EXPECT_EQ(text,
            " ***INFO*** Arrester in branch 3 of subsystem \n"
            " ***INFO*** 1 had excessive switching in one time step \n"
            " ***INFO*** at time  0.1250000000000000E-03\n");
  // The last step went to segment -1: its conductance, its EMF with the
  // voltage's sign, and mode 5 with the segment as level.
  EXPECT_EQ(branches::geq(b, 1), 2.0);
  EXPECT_EQ(branches::ebr(b, 1), 20.0);
  EXPECT_EQ(branches::swlevl(b, 1), -1.0);
  EXPECT_EQ(int1::iorv(b, 1), 5);
  EXPECT_FALSE(branches::openbr(b, 1));

  text.clear();
  for (int k = 5; k < 10; ++k) {
    branches::ebron(b, 1) = k % 2 == 1 ? 1 : -1;
    text += capture([&] { operate(b); }).text;
  }
  EXPECT_EQ(std::abs(temp1::icnt(b)), 10);
  EXPECT_EQ(text,
            " ***INFO*** Arrester in branch 3 of subsystem \n"
            " ***INFO*** 1 reached maximum number of switching in one time step \n"
            " ***INFO*** at time  0.1250000000000000E-03\n");
  EXPECT_FALSE(temp1::consid(b));
}

TEST_F(Switching, ArresterCountRestartsOnStepsTheSameWayAndStaysInItsTable) {
  switches(1);
  const std::int32_t b = 3;
  arrester(b);
  temp1::icnt(b) = 0;
  e_s0::vdc(1, 1) = 12.0;
  branches::ebron(b, 1) = 1;
  operate(b);
  EXPECT_EQ(temp1::icnt(b), 0);  // a first rise does not count
  EXPECT_EQ(branches::geq(b, 1), 2.0);
  EXPECT_EQ(branches::ebr(b, 1), -20.0);
  branches::ebron(b, 1) = 1;
  operate(b);
  EXPECT_EQ(temp1::icnt(b), 0);
  EXPECT_EQ(branches::swlevl(b, 1), 2.0);
  EXPECT_EQ(branches::geq(b, 1), 3.0);
  // A further rise would leave the table: the last segment is kept.
  branches::ebron(b, 1) = 1;
  operate(b);
  EXPECT_EQ(branches::swlevl(b, 1), 2.0);
  EXPECT_EQ(branches::geq(b, 1), 3.0);
  branches::ebron(b, 1) = -1;
  operate(b);
  branches::ebron(b, 1) = -1;
  operate(b);
  EXPECT_EQ(temp1::icnt(b), 0);  // two falls in a row
  EXPECT_EQ(branches::geq(b, 1), 1.0);
}

// A segmented branch 3 with companion 4: record at rtci(2), real table from
// rtcf(10), three segments, at segment 0.
void segmented() {
  branches::thisbr(3, 1) = -2;
  int1::iorv(3, 1) = 15;
  rt_config::rtci(2) = 10;
  rt_config::rtci(3) = 3;
  rt_config::rtci(4) = 0;
  rt_config::rtci(5) = 1;
  rt_config::rtci(6) = 4;
  rt_config::rtcf(15) = 0.1;   // inductance of segment 1
  rt_config::rtcf(16) = 0.05;  // inductance of segment 2
  branches::geq(4, 1) = 1.0e-4;
  temp1::icnt(3) = 0;
}

TEST_F(Switching, SegmentedBranchTakesItsSegmentInductanceLessTheCompanion) {
  switches(2);
  const std::int32_t b = 3;
  segmented();
  ctrl::iii = 7;
  int1::solution_time = 6.25 * e_s1::delt;
  e_s8::mxinv(1) = 4;
  operate(b);
  EXPECT_EQ(rt_config::rtci(4), 1);
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 0.5 * e_s1::delt / 0.1 - 1.0e-4);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(20), 7.25);  // step 7 plus the quarter solved
  EXPECT_EQ(e_s8::mxinv(1), 1);
  EXPECT_EQ(int1::iorv(b, 1), 15);
  EXPECT_TRUE(branches::openbr(b, 1));  // the state flag is not touched
  rt_config::rtci(5) = -1;
  operate(b);
  EXPECT_EQ(rt_config::rtci(4), 0);
  EXPECT_EQ(branches::geq(b, 1), 0.0);
  // Alternating steps are stopped at ten, without a message.
  std::string text;
  for (int k = 0; k < 9; ++k) {
    rt_config::rtci(5) = k % 2 == 0 ? 1 : -1;
    text += capture([&] { operate(b); }).text;
  }
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(temp1::consid(b));
}

TEST_F(Switching, SegmentedBranchOutsideItsTableStopsTheRun) {
  switches(2);
  segmented();
  rt_config::rtci(4) = 2;  // the last segment; one more step leaves the table
  auto beyond = capture([&] { operate(3); });
  EXPECT_EQ(beyond.status, 2000);
  EXPECT_NE(beyond.text.find(quit_block("SWITCHBR    ")), std::string::npos);
  switches(2);
  segmented();
  rt_config::rtcf(15) = 0.0;
  auto zero = capture([&] { operate(3); });
  EXPECT_EQ(zero.status, 2000);
  EXPECT_NE(zero.text.find("Segment inductance of switch in branch 3 of subsystem"),
            std::string::npos);
  // A segment count whose table end does not fit in 32 bits, and a record index
  // that cannot be negated: refused, not computed.
  switches(2);
  segmented();
  rt_config::rtci(3) = 1000000000;
  auto huge = capture([&] { operate(3); });
  EXPECT_EQ(huge.status, 2000);
  EXPECT_NE(huge.text.find("Segment record of switch in branch 3 of subsystem"),
            std::string::npos);
  switches(2);
  segmented();
  branches::thisbr(3, 1) = std::numeric_limits<std::int32_t>::min();
  auto place = capture([&] { operate(3); });
  EXPECT_EQ(place.status, 2000);
  EXPECT_NE(place.text.find("Segment record of switch in branch 3 of subsystem"),
            std::string::npos);
}

// An arrester whose steps go -1, -1, +1, +1, ... at one instant never reaches its
// alternation limit; the cap on the passes of a step ends it.
std::int32_t g_pattern = 0;
double cycling_arrester(std::int32_t ss, std::int32_t br, const wakro::SubStep&) {
  const std::int32_t k = g_pattern++ % 4;
  branches::ebron(br, ss) = k < 2 ? -1.0 : 1.0;
  return 0.3;
}

TEST_F(Switching, ArresterCyclingAtOneInstantIsStoppedByThePassCap) {
  size(1, 2);
  set_options({true, false, false, false});
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  const std::int32_t b = add_branch(1, 1, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, b, 1.0, 1.0e6, 0.0, 0.0, "ARRESTER    ");
  arrester(b);
  g_pattern = 0;
  wakro::network_hooks().switch_crossing = &cycling_arrester;
  start_run(3);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, -1);
  EXPECT_EQ(out.text,
            " ***INFO*** Subsystem 1 needed more than 1000 solutions in one time step; its "
            "switches are held for the rest of the step.\n");
  EXPECT_LT(std::abs(temp1::icnt(b)), 10);
  EXPECT_FALSE(temp1::consid(b));
  EXPECT_EQ(ctrl::iii, 1);  // the step ended
}

TEST_F(Switching, SwitchNamesAreTwelveCharacters) {
  const char* names[] = {"Diode:      ", "Thyristor   ", "GTO:        ", "IGBT:       ",
                         "MOSFET:     ", "Transistor: ", "PESwitch:   ", "PESwitch:   "};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(wakro_switchname(k).str(), names[k]) << k;
  EXPECT_EQ(wakro_switchname(-1).str(), "PESwitch:   ");
}

TEST_F(Switching, SafetyTurnOffIsReportedTwiceThenSilent) {
  double count = 0.0;
  auto first = capture([&] { wakro_safety_msg(count, 0, 5, 1); });
  EXPECT_EQ(first.text,
            "Diode:      Safety off: SS#  1   Br#    5\n"
            " ***INFO*** Diode: Safety turn off in branch 5\n"
            " ***INFO***  of subsystem 1\n");
  EXPECT_EQ(count, 1.0);
  auto second = capture([&] { wakro_safety_msg(count, 3, 12, 2); });
  EXPECT_EQ(second.text,
            "IGBT:       Safety off: SS#  2   Br#   12 (Multiple)\n"
            " ***INFO*** IGBT: Safety turn off in branch 12\n"
            " ***INFO***  of subsystem 2 [Multiple]\n");
  auto third = capture([&] { wakro_safety_msg(count, 0, 5, 1); });
  EXPECT_TRUE(third.text.empty());
  EXPECT_EQ(count, 2.0);
  // The component ids go with the message; wide numbers overflow their fields.
  count = 0.0;
  e_warn::comp_id1 = 7;
  e_warn::comp_id2 = 2;
  auto wide = capture([&] { wakro_safety_msg(count, 1, 12345, 100); });
  EXPECT_EQ(wide.text.substr(0, wide.text.find('\n')), "Thyristor   Safety off: SS# **   Br# ****");
  EXPECT_NE(wide.text.find("Thyristor Safety turn off in branch 12345["), std::string::npos);
}

TEST(Inchck, MovesTheFractionTowardsTheLimitAndKeepsItPositive) {
  // Growing difference (0 -> 2) below the limit: x moves back.
  double x = 0.5;
  inchck(x, 0.1, 0.0, 2.0, 0.0, 0.0, 2.0);
  EXPECT_DOUBLE_EQ(x, 0.5 + 0.2 * (1.0 - 2.0));
  // Shrinking difference (2 -> 0) above the limit: x moves on.
  x = 0.5;
  inchck(x, 0.1, 2.0, 0.0, 0.0, 0.0, 0.5);
  EXPECT_DOUBLE_EQ(x, 0.5 + 0.2 * (1.0 - 0.5));
  // Growing difference above the limit: unchanged.
  x = 0.5;
  inchck(x, 0.1, 0.0, 2.0, 0.0, 0.0, 0.5);
  EXPECT_EQ(x, 0.5);
  x = 0.01;
  inchck(x, 1.0, 0.0, 2.0, 0.0, 0.0, 2.0);
  EXPECT_EQ(x, 0.0001);
}

}  // namespace
