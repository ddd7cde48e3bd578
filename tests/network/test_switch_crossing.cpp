// Crossing tests of the switching modes on hand-set solutions, and switching inside
// the step through the whole solution: a timed switch in a resistive divider
// (inside a step and exactly on a step boundary) and a diode rectifying a sine.
// The modes are set as the plain numbers that model code writes, so these tests
// also hold the codes of wakro::switch_mode to those numbers.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "net_fixture.h"
#include "network/switch_records.h"
#include "network/switching.h"

namespace {

using nettest::capture;
using nettest::Options;

// A normal solution of the step, the fraction elapsed already solved.
wakro::SubStep at(double elapsed) {
  wakro::SubStep s;
  s.elapsed = elapsed;
  return s;
}

class Crossing : public nettest::Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    extra_dims_ = {
        {dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}, {dim::rtci, 40}, {dim::rtcf, 40}};
  }

  // Node 1 with a 2-ohm resistor to ground and a switch 1 -> ground of 2 ohm
  // (GEQ 0.5) with mode `code` and level `level`.
  std::int32_t one_switch(std::int32_t code, double level) {
    size(1, 2);
    add_branch(1, 1, 0, 2.0, 0.0, 0.0);
    const std::int32_t b = add_branch(1, 1, 0, 2.0, 0.0, 0.0, 0.0, 0.0, true);
    int1::iorv(b, 1) = code;
    branches::swlevl(b, 1) = level;
    return b;
  }

  // Voltage of node 1 before and after; the switch's current follows (GEQ 0.5).
  double cross(std::int32_t b, double vold, double vnew, bool iflag = false) {
    wakro::SubStep s;
    s.iflag = iflag;
    e_s0::vdc(1, 1) = vold;
    spcial::vdcnew(1) = vnew;
    branches::cbr(b, 1) = 0.5 * vold;
    return wakro::switch_crossing(1, b, s);
  }
};

TEST_F(Crossing, VoltageAndCurrentLevelsInTheirDirections) {
  const std::int32_t b = one_switch(10, 1.0);
  EXPECT_EQ(cross(b, 0.0, 4.0), 0.25);    // voltage up through 1
  EXPECT_EQ(cross(b, 3.0, -1.0), 0.5);    // and down
  EXPECT_EQ(cross(b, 2.0, 3.0), wakro::kNoCrossing);  // not crossed
  int1::iorv(b, 1) = 2;                   // current 0.5 v through 0.5
  branches::swlevl(b, 1) = 0.5;
  EXPECT_EQ(cross(b, 0.0, 4.0), 0.25);
  EXPECT_EQ(cross(b, 3.0, -1.0), 0.5);
  EXPECT_EQ(cross(b, -1.0, 0.5), wakro::kNoCrossing);
  int1::iorv(b, 1) = 3;                   // voltage rising above 1
  branches::swlevl(b, 1) = 1.0;
  EXPECT_EQ(cross(b, 0.0, 4.0), 0.25);
  EXPECT_EQ(cross(b, 2.0, 4.0), 0.0);     // already above at the start
  EXPECT_EQ(cross(b, 4.0, 0.0), wakro::kNoCrossing);
  EXPECT_EQ(cross(b, 0.0, 1.0 + 1e-11), wakro::kNoCrossing);  // within the tolerance
  int1::iorv(b, 1) = -3;                  // voltage falling below 1
  EXPECT_EQ(cross(b, 3.0, -1.0), 0.5);
  EXPECT_EQ(cross(b, 0.0, -1.0), 0.0);
  EXPECT_EQ(cross(b, 0.0, 4.0), wakro::kNoCrossing);
  int1::iorv(b, 1) = 4;                   // |voltage| above 1
  EXPECT_EQ(cross(b, 0.0, -4.0), 0.25);
  EXPECT_EQ(cross(b, -2.0, -4.0), 0.0);
  EXPECT_EQ(cross(b, 0.5, -0.5), wakro::kNoCrossing);
  int1::iorv(b, 1) = 13;                  // current rising above 0.5
  branches::swlevl(b, 1) = 0.5;
  EXPECT_EQ(cross(b, 0.0, 4.0), 0.25);
  EXPECT_EQ(cross(b, 2.0, 4.0), 0.0);
  int1::iorv(b, 1) = -13;                 // current falling below 0.5
  EXPECT_EQ(cross(b, 3.0, -1.0), 0.5);
  EXPECT_EQ(cross(b, 0.0, -1.0), 0.0);
  EXPECT_EQ(cross(b, 0.0, 4.0), wakro::kNoCrossing);
  for (std::int32_t code : {0, 6, 7, 1})
    EXPECT_EQ((int1::iorv(b, 1) = code, cross(b, 0.0, 4.0)), wakro::kNoCrossing) << code;
}

// A current switch with a source of 2 V (1 V the step before), half the step
// already solved, node 1 at 0 V: an ordinary source counts as extrapolated to
// 2.5 V, a registered one under source extrapolation at its own 2 V (its record
// looked at only then). The new current 0.5 e from 0 A crosses 0.5 A at 0.5 / (0.5 e):
// 0.4 at 2.5 V, 0.5 at 2 V. The test leaves storage::this_ at the switch's record.
TEST_F(Crossing, SourceOfACurrentSwitchIsTakenAsItsRecordSays) {
  const std::int32_t b = one_switch(2, 0.5);
  branches::source(b, 1) = true;
  branches::ebr(b, 1) = 2.0;
  branches::ebrd(b, 1) = 1.0;
  branches::thisbr(b, 1) = 5;
  const struct {
    bool extrapolate;
    std::int32_t code;  // the record's first slot
    double x;
  } rows[] = {{false, 0, 0.4},
              {false, wakro::branch_code::registered_source, 0.4},
              {true, 0, 0.4},
              {true, wakro::branch_code::registered_source, 0.5}};
  for (const auto& row : rows) {
    options::xterpsrc(1) = row.extrapolate;
    storage::stori(5) = row.code;
    storage::this_ = 0;
    wakro::SubStep s = at(0.5);
    s.notfirst = true;
    e_s0::vdc(1, 1) = 0.0;
    spcial::vdcnew(1) = 0.0;
    branches::cbr(b, 1) = 0.0;
    EXPECT_DOUBLE_EQ(wakro::switch_crossing(1, b, s), row.x) << row.extrapolate << " " << row.code;
    EXPECT_EQ(storage::this_, 5);
  }
}

TEST_F(Crossing, TimedSwitchOnNormalPassesWithinTheStep) {
  const std::int32_t b = one_switch(8, 0.0);
  const double dt = e_s1::delt;
  ctrl::iii = 3;
  e_s1::time = 3.0 * dt;
  int1::solution_time = 2.0 * dt;
  branches::swlevl(b, 1) = 2.25 * dt;
  EXPECT_DOUBLE_EQ(cross(b, 0.0, 0.0), 0.25);
  EXPECT_EQ(cross(b, 0.0, 0.0, true), wakro::kNoCrossing);  // not on a re-solution
  branches::swlevl(b, 1) = 3.0 * dt;
  EXPECT_DOUBLE_EQ(cross(b, 0.0, 0.0), 1.0);  // the step's end is inside
  branches::swlevl(b, 1) = 3.5 * dt;
  EXPECT_EQ(cross(b, 0.0, 0.0), wakro::kNoCrossing);
  // An instant exactly at the start: taken on the step's first pass only.
  branches::swlevl(b, 1) = 2.0 * dt;
  EXPECT_EQ(cross(b, 0.0, 0.0), 0.0);
  EXPECT_EQ(wakro::switch_crossing(1, b, at(0.25)), wakro::kNoCrossing);
  int1::solution_time = 2.1 * dt;
  EXPECT_EQ(cross(b, 0.0, 0.0), wakro::kNoCrossing);
}

// Arrester on node 1: three segments, breakpoints 0, 10, 20, 30 (stor 107..110).
class ArresterCrossing : public Crossing {
 protected:
  std::int32_t arrester(double segment) {
    const std::int32_t b = one_switch(5, segment);
    branches::geqof(b, 1) = 100.0;
    branches::ebrof(b, 1) = 3.0;
    const double table[] = {1, 2, 3, 10, 20, 30, 0, 10, 20, 30};
    for (int k = 0; k < 10; ++k) e_s2::stor(101 + k) = table[k];
    return b;
  }
  double direction(std::int32_t b) const { return branches::ebron(b, 1); }
};

TEST_F(ArresterCrossing, SegmentChangesAtTheBreakpointsOfBothPolarities) {
  const std::int32_t b = arrester(0.0);
  EXPECT_EQ(cross(b, 5.0, 15.0), 0.5);
  EXPECT_EQ(direction(b), 1.0);
  EXPECT_EQ(cross(b, 5.0, -15.0), 0.75);
  EXPECT_EQ(direction(b), -1.0);
  EXPECT_EQ(cross(b, 5.0, -5.0), wakro::kNoCrossing);  // segment 0 spans both polarities
  EXPECT_EQ(direction(b), 0.0);
  EXPECT_EQ(cross(b, 5.0, 10.0 + 1e-11), wakro::kNoCrossing);  // at a bound: no change yet
  branches::swlevl(b, 1) = 1.0;
  EXPECT_EQ(cross(b, 15.0, 5.0), 0.5);
  EXPECT_EQ(direction(b), -1.0);
  EXPECT_EQ(cross(b, 15.0, 25.0), 0.5);
  EXPECT_EQ(direction(b), 1.0);
  // The old segment is the present one while the old voltage sits on a bound
  // (just switched there), whatever segment the old voltage alone would give.
  EXPECT_EQ(cross(b, 20.0, 15.0), wakro::kNoCrossing);
  EXPECT_EQ(cross(b, 20.0, 25.0), 0.0);
  branches::swlevl(b, 1) = 2.0;
  EXPECT_EQ(cross(b, 25.0, 45.0), wakro::kNoCrossing);  // the top segment goes on for ever
  branches::swlevl(b, 1) = -1.0;
  EXPECT_EQ(cross(b, -15.0, -5.0), 0.5);
  EXPECT_EQ(direction(b), 1.0);
  EXPECT_EQ(cross(b, -15.0, -25.0), 0.5);
  EXPECT_EQ(direction(b), -1.0);
}

TEST_F(ArresterCrossing, TableOutsideTheStoreStopsTheRun) {
  const std::int32_t b = arrester(0.0);
  branches::geqof(b, 1) = 195.0;
  auto out = capture([&] { cross(b, 5.0, 15.0); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_NE(out.text.find(" ***ERROR** Arrester table of switch in branch 2 of subsystem \n"),
            std::string::npos);
  // Counts so large that the table's end cannot even be computed in 32 bits.
  arrester(0.0);
  branches::ebrof(b, 1) = 1.0e9;
  auto huge = capture([&] { cross(b, 5.0, 15.0); });
  EXPECT_EQ(huge.status, 2000);
  EXPECT_NE(huge.text.find(" ***ERROR** Arrester table of switch in branch 2 of subsystem \n"),
            std::string::npos);
}

// Segmented branch 2 (node 1 to ground, GEQ 0.5) with companion 1 (2 ohm): record
// at rtci(2), breakpoints 0, 1, 2 at rtcf(10..12), two segments.
class SegmentCrossing : public Crossing {
 protected:
  std::int32_t segmented(std::int32_t segment) {
    const std::int32_t b = one_switch(15, 0.0);
    branches::thisbr(b, 1) = -2;
    rt_config::rtci(2) = 10;
    rt_config::rtci(3) = 2;
    rt_config::rtci(4) = segment;
    rt_config::rtci(5) = 0;
    rt_config::rtci(6) = 1;
    rt_config::rtcf(10) = 0.0;
    rt_config::rtcf(11) = 1.0;
    rt_config::rtcf(12) = 2.0;
    rt_config::rtcf(17) = -10.0;  // no change recorded
    return b;
  }
  // Node voltage before and after; the summed current is v (two halves).
  double cross_current(std::int32_t b, double iold, double inew) {
    e_s0::vdc(1, 1) = iold;
    spcial::vdcnew(1) = inew;
    branches::cbr(1, 1) = 0.5 * iold;
    branches::cbr(b, 1) = 0.5 * iold;
    return wakro::switch_crossing(1, b, at(0.0));
  }
  std::int32_t step_word() const { return rt_config::rtci(5); }
};

TEST_F(SegmentCrossing, RecordsOfAbsurdSizeOrPlaceStopTheRun) {
  const std::int32_t b = segmented(0);
  rt_config::rtci(3) = 1000000000;  // segments: the table's end overflows 32 bits
  auto count = capture([&] { cross_current(b, 0.5, 1.5); });
  EXPECT_EQ(count.status, 2000);
  EXPECT_NE(count.text.find(" ***ERROR** Segment record of switch in branch 2 of subsystem \n"),
            std::string::npos);
  segmented(0);
  branches::thisbr(b, 1) = std::numeric_limits<std::int32_t>::min();  // no record index
  auto place = capture([&] { cross_current(b, 0.5, 1.5); });
  EXPECT_EQ(place.status, 2000);
  EXPECT_NE(place.text.find(" ***ERROR** Segment record of switch in branch 2 of subsystem \n"),
            std::string::npos);
}

TEST_F(SegmentCrossing, SummedCurrentCrossesTheSegmentBounds) {
  const std::int32_t b = segmented(0);
  EXPECT_EQ(cross_current(b, 0.5, 1.5), 0.5);
  EXPECT_EQ(step_word(), 1);
  EXPECT_EQ(cross_current(b, -0.5, -1.5), 0.5);
  EXPECT_EQ(step_word(), -1);
  EXPECT_EQ(cross_current(b, 0.5, 1.005), wakro::kNoCrossing);  // within 1% of the first breakpoint
  EXPECT_EQ(step_word(), 0);
  EXPECT_EQ(cross_current(b, 0.5, -0.5), wakro::kNoCrossing);
  rt_config::rtci(4) = 1;
  EXPECT_EQ(cross_current(b, 1.5, 0.5), 0.5);
  EXPECT_EQ(step_word(), -1);
  EXPECT_EQ(cross_current(b, 1.5, 50.0), wakro::kNoCrossing);  // outwards from the last segment
  EXPECT_EQ(step_word(), 0);
}

TEST_F(SegmentCrossing, ImmediateReturnAfterAChangeIsIgnored) {
  const std::int32_t b = segmented(1);
  ctrl::iii = 4;
  rt_config::rtcf(17) = 4.3;  // changed up at step 4 + 0.3
  rt_config::rtci(5) = 1;
  // Straight back down within a thousandth of a step: ignored.
  e_s0::vdc(1, 1) = 1.0 + 1e-7;
  spcial::vdcnew(1) = 0.5;
  branches::cbr(1, 1) = branches::cbr(b, 1) = 0.5 * (1.0 + 1e-7);
  rt_config::rtci(5) = 1;
  EXPECT_EQ(wakro::switch_crossing(1, b, at(0.3)), wakro::kNoCrossing);
  EXPECT_EQ(step_word(), 0);
  // Later in the step the same crossing is taken.
  rt_config::rtci(5) = 1;
  EXPECT_NEAR(wakro::switch_crossing(1, b, at(0.31)), 1e-7 / (0.5 + 1e-7), 1e-15);
  EXPECT_EQ(step_word(), -1);
}

TEST_F(SegmentCrossing, ItsOwnToleranceDoesNotReachTheNextSwitch) {
  size(1, 3);
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  const std::int32_t s15 = add_branch(1, 1, 0, 2.0, 0.0, 0.0, 0.0, 0.0, true);
  const std::int32_t s3 = add_branch(1, 1, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  int1::iorv(s15, 1) = 15;
  branches::thisbr(s15, 1) = -2;
  rt_config::rtci(2) = 10;
  rt_config::rtci(3) = 2;
  rt_config::rtci(4) = 0;
  rt_config::rtci(6) = 0;
  rt_config::rtcf(11) = 100.0;  // tolerance of the segmented branch: 1
  rt_config::rtcf(12) = 200.0;
  int1::iorv(s3, 1) = 3;
  branches::swlevl(s3, 1) = 1.0;
  temp1::consid(s15) = temp1::consid(s3) = true;
  e_s0::vdc(1, 1) = 0.0;
  spcial::vdcnew(1) = 1.5;
  wakro::SubStep s;
  interpol(1, s);
  EXPECT_EQ(int1::xstor(s15, 1), wakro::kNoCrossing);
  EXPECT_DOUBLE_EQ(int1::xstor(s3, 1), 1.0 / 1.5);
  EXPECT_DOUBLE_EQ(s.xearly, 1.0 / 1.5);
}

// --- Through the whole solution -------------------------------------------------

double g_time_at_switching = -1.0;
void recording_switchbr(std::int32_t ss, double frac) {
  g_time_at_switching = int1::solution_time;
  switchbr(ss, frac);
}

class InsideTheStep : public Crossing {
 protected:
  void SetUp() override {
    Crossing::SetUp();
    g_time_at_switching = -1.0;
  }

  // 1 kA into node 1, 10 ohm to ground, and a switch node 1 -> ground of 10 ohm
  // ON, 1 Mohm OFF, closing at `at` steps.
  std::int32_t divider(double at) {
    size(1, 2);
    set_options({true, false, false, false});
    add_branch(1, 1, 0, 10.0, 0.0, 0.0);
    const std::int32_t sw = add_branch(1, 1, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, sw, 10.0, 1.0e6, 0.0, 0.0, "BREAKER     ");
    int1::iorv(sw, 1) = 8;
    branches::swlevl(sw, 1) = at * e_s1::delt;
    e_s0::enabccin(1, 1) = true;
    model_ = [] { e_s0::ccin(1, 1) = 1.0; };
    wakro::network_hooks().switchbr = &recording_switchbr;
    start_run(10);
    return sw;
  }
};

TEST_F(InsideTheStep, TimedSwitchInAResistiveDividerGivesTheClosedForm) {
  divider(2.3);
  for (int k = 0; k < 3; ++k) step();  // to the end of step 2
  EXPECT_NEAR(v(1), 10.0 * 1.0e6 / (1.0e6 + 10.0), 1e-12);
  EXPECT_EQ(g_time_at_switching, -1.0);
  step();                               // step 3: closes at 2.3 steps
  EXPECT_NEAR(v(1), 5.0, 1e-12);
  EXPECT_NEAR(g_time_at_switching, 2.3 * e_s1::delt, 1e-15 * e_s1::delt);
  EXPECT_FALSE(branches::openbr(2, 1));
  EXPECT_EQ(int1::iorv(2, 1), 6);
  EXPECT_NEAR(i(2), 0.5, 1e-12);
}

TEST_F(InsideTheStep, TimedSwitchOnAStepBoundaryOperatesAtThatStep) {
  divider(2.0);
  for (int k = 0; k < 3; ++k) step();  // step 2 ends at the instant
  EXPECT_NEAR(v(1), 10.0 * 1.0e6 / (1.0e6 + 10.0), 1e-12);
  step();
  EXPECT_NEAR(g_time_at_switching, 2.0001 * e_s1::delt, 1e-15 * e_s1::delt);
  EXPECT_NEAR(v(1), 5.0, 1e-12);
  EXPECT_FALSE(branches::openbr(2, 1));
}

// A diode with its record in series with 1 ohm across a 1 kV, 50 Hz sine.
class Rectifier : public InsideTheStep {
 protected:
  static constexpr double kOmega = 2.0 * 3.14159265358979323846 * 50.0;
  static constexpr double kPhase = 0.3;

  std::vector<double> ons_;
  std::vector<double> offs_;
  std::vector<double> blocking_currents_;
};

std::vector<double>* g_ons = nullptr;
std::vector<double>* g_offs = nullptr;
void diode_switchbr(std::int32_t ss, double frac) {
  const bool was_open = branches::openbr(2, ss);
  switchbr(ss, frac);
  if (was_open && !branches::openbr(2, ss)) g_ons->push_back(e_s2::stor(30));
  if (!was_open && branches::openbr(2, ss)) g_offs->push_back(e_s2::stor(31));
}

TEST_F(Rectifier, DiodeSwitchesAtTheZeroCrossingsWithoutLimitMessages) {
  size(1, 2);
  set_options({true, true, true, false});
  const std::int32_t src = add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, -std::sin(kPhase));
  const std::int32_t d = add_branch(1, 1, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, d, 0.01, 1.0e6, 0.0, 0.0, "PESWITCH    ");
  branches::thisbr(d, 1) = 5;
  storage::stori(5) = 10;  // a diode
  storage::stori(7) = 10;
  storage::stori(12) = 20;
  storage::storf(11) = 0.0;  // holding current
  storage::storf(12) = 0.0;  // forward voltage
  int1::iorv(d, 1) = 3;
  branches::swlevl(d, 1) = 0.0;
  // The branch EMF is minus the source voltage, so node 1 follows the sine.
  model_ = [src] {
    branches::ebr(src, 1) = -std::sin(kOmega * e_s1::time + kPhase);
    branches::source(src, 1) = true;
  };
  g_ons = &ons_;
  g_offs = &offs_;
  wakro::network_hooks().switchbr = &diode_switchbr;
  const std::int32_t steps = 1300;  // 65 ms
  start_run(steps);
  const double dt = e_s1::delt;
  auto run = capture([&] {
    for (int k = 0; k < steps; ++k) {
      step();
      const double t = (ctrl::iii - 1) * dt;
      const double s_now = std::sin(kOmega * t + kPhase);
      const double s_before = std::sin(kOmega * (t - dt) + kPhase);
      if (s_now < -0.01 && s_before < -0.01) blocking_currents_.push_back(i(d));
    }
  });
  EXPECT_EQ(run.status, -1);
  EXPECT_EQ(run.text.find("maximum number"), std::string::npos) << run.text;
  // Zero crossings of the sine after the start: rising at (2k pi - phase)/omega,
  // falling at ((2k+1) pi - phase)/omega.
  const double pi = 3.14159265358979323846;
  std::vector<double> rising;
  std::vector<double> falling;
  for (int k = 1; k <= 3; ++k) rising.push_back((2 * k * pi - kPhase) / kOmega);
  for (int k = 0; k <= 2; ++k) falling.push_back(((2 * k + 1) * pi - kPhase) / kOmega);
  ASSERT_EQ(ons_.size(), 4u);  // the first one at the start of the run
  ASSERT_EQ(offs_.size(), 3u);
  for (int k = 0; k < 3; ++k)
    EXPECT_NEAR(ons_[k + 1], rising[k], 1e-4 * dt) << k;
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(offs_[k], falling[k], 1e-4 * dt) << k;
  ASSERT_FALSE(blocking_currents_.empty());
  for (double c : blocking_currents_) EXPECT_LE(std::abs(c), 1.0 / 1.0e6 * 1.000001);
}

}  // namespace
