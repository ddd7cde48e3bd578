// Interpolation: the crossing formula, the choice of the earliest crossing and the
// grouping of switchings close to it, and the move of the network state to the
// end of a sub-step (copy on a one-pass step, interpolation otherwise, the
// chatter detector's view of the new values).
#include <vector>

#include "net_fixture.h"
#include "network/switching.h"

namespace {

using nettest::rel;

std::vector<double> g_crossing_of;  // by branch number
double crossing_table(std::int32_t, std::int32_t br, const wakro::SubStep&) {
  return g_crossing_of[br];
}

std::vector<std::int32_t> g_chatter_modes;
double g_cbr_seen = 0.0;
double g_cbrnew_seen = 0.0;
void watch_chatter(std::int32_t, std::int32_t mode) {
  g_chatter_modes.push_back(mode);
  g_cbr_seen = branches::cbr(1, 1);
  g_cbrnew_seen = spcial::cbrnew(1);
}

TEST(Interpx, CrossingFractionOfAStraightLine) {
  EXPECT_EQ(wakro_interpx(1.0, 1.0, 5.0), 1.0);
  EXPECT_EQ(wakro_interpx(0.0, 2.0, 1.0), 0.5);
  EXPECT_EQ(wakro_interpx(0.0, 2.0, -1.0), 0.0);
  EXPECT_EQ(wakro_interpx(0.0, 2.0, 3.0), 1.0);
  EXPECT_EQ(wakro_interpx(4.0, 0.0, 1.0), 0.75);
  EXPECT_EQ(wakro_interpx(1.0, 1.0 + 1e-11, 1.0), 1.0);  // flat within 1e-10
}

class Interpolation : public nettest::Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    g_chatter_modes.clear();
  }

  // Subsystem of two nodes with three switches between them.
  void three_switches(const std::vector<double>& crossings) {
    size(2, 5);
    add_branch(1, 1, 0, 1.0, 0.0, 0.0);
    add_branch(1, 2, 0, 1.0, 0.0, 0.0);
    g_crossing_of.assign(6, wakro::kNoCrossing);
    for (std::size_t k = 0; k < crossings.size(); ++k) {
      const std::int32_t b = add_branch(1, 1, 2, 1.0e3, 0.0, 0.0, 0.0, 0.0, true);
      temp1::consid(b) = true;
      g_crossing_of[b] = crossings[k];
    }
    wakro::network_hooks().switch_crossing = &crossing_table;
  }

  void interpolate(double& frac, double& xearly) {
    wakro::SubStep s;
    s.frac = frac;
    s.xearly = xearly;
    interpol(1, s);
    frac = s.frac;
    xearly = s.xearly;
  }
};

// The engine's own crossing test, reached through the hook one switch at a time.
double own_test_through_the_hook(std::int32_t ss, std::int32_t br, const wakro::SubStep& s) {
  return wakro::switch_crossing(ss, br, s);
}

// The crossing search runs the own test inline on the columns it took; through the
// hook, switch by switch, the same test gives the same crossings. Eight switches
// 1 -> 2 (1 kohm, GEQ 1e-3) of every plain mode, node 1 from 0 to 4 V, node 2 at 0 V:
// the voltage crosses 1 V at 0.25 (modes 10, 3, 4) and the current (1e-3 v) 1 mA at
// 0.25 too (modes 2, 13); falling modes and the timed switch (instant beyond the
// step) do not cross. With node 1 from 4 to 0 V the falling ones cross at 0.75.
TEST_F(Interpolation, OwnTestInTheSearchGivesWhatTheHookGivesPerSwitch) {
  size(2, 10);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  const struct {
    std::int32_t code;
    double level;
  } switches[] = {{10, 1.0}, {3, 1.0},   {-3, 1.0},   {4, 1.0},
                  {2, 1e-3}, {13, 1e-3}, {-13, 1e-3}, {8, 1.0}};
  std::vector<std::int32_t> ids;
  for (const auto& sw : switches) {
    const std::int32_t b = add_branch(1, 1, 2, 1.0e3, 0.0, 0.0, 0.0, 0.0, true);
    int1::iorv(b, 1) = sw.code;
    branches::swlevl(b, 1) = sw.level;
    temp1::consid(b) = true;
    ids.push_back(b);
  }
  e_s1::time = 0.0;
  int1::solution_time = -e_s1::delt;
  const auto search = [&](double v_before, double v_after) {
    e_s0::vdc(1, 1) = v_before;
    e_s0::vdc(2, 1) = 0.0;
    spcial::vdcnew(1) = v_after;
    spcial::vdcnew(2) = 0.0;
    for (const std::int32_t b : ids) branches::cbr(b, 1) = 1e-3 * v_before;
    wakro::SubStep s;
    interpol(1, s);
    std::vector<double> x{s.frac, s.xearly};
    for (const std::int32_t b : ids) x.push_back(int1::xstor(b, 1));
    return x;
  };
  const double no = wakro::kNoCrossing;
  const struct {
    double v_before, v_after;
    std::vector<double> x;  // frac, xearly, then by switch
  } rows[] = {{0.0, 4.0, {0.25, 0.25, 0.25, 0.25, no, 0.25, 0.25, 0.25, no, no}},
              {4.0, 0.0, {0.75, 0.75, 0.75, no, 0.75, no, 0.75, no, 0.75, no}}};
  for (const auto& row : rows) {
    wakro::network_hooks().switch_crossing = &wakro::switch_crossing;
    const std::vector<double> inline_test = search(row.v_before, row.v_after);
    wakro::network_hooks().switch_crossing = &own_test_through_the_hook;
    const std::vector<double> through_hook = search(row.v_before, row.v_after);
    EXPECT_EQ(inline_test, row.x) << row.v_before;
    EXPECT_EQ(through_hook, row.x) << row.v_before;
  }
}

TEST_F(Interpolation, SwitchingsWithinATenThousandthOfTheEarliestAreTakenTogether) {
  three_switches({0.30000, 0.30005, 0.3002});
  double frac = 0.0;
  double xearly = 0.0;
  interpolate(frac, xearly);
  EXPECT_EQ(frac, 0.3);
  EXPECT_EQ(xearly, 0.30005);
  EXPECT_EQ(int1::xstor(3, 1), 0.3);
  EXPECT_EQ(int1::xstor(4, 1), 0.30005);
  EXPECT_EQ(int1::xstor(5, 1), 0.3002);
}

TEST_F(Interpolation, AConditionMetAtTheStartCountsAsATenThousandth) {
  three_switches({0.0, wakro::kNoCrossing, 0.7});
  double frac = 0.0;
  double xearly = 0.0;
  interpolate(frac, xearly);
  EXPECT_EQ(frac, 0.0001);
  EXPECT_EQ(xearly, 0.0001);
  EXPECT_EQ(int1::xstor(3, 1), 0.0001);
}

TEST_F(Interpolation, NoCrossingAndNoSwitchGiveOneAndAHalf) {
  three_switches({wakro::kNoCrossing, 1.0, wakro::kNoCrossing});
  double frac = 0.0;
  double xearly = 0.0;
  interpolate(frac, xearly);
  EXPECT_EQ(frac, 1.0);
  EXPECT_EQ(xearly, 1.0);
  g_crossing_of[4] = wakro::kNoCrossing;
  temp1::consid(5) = false;
  int1::xstor(5, 1) = 0.2;  // a switch not considered is left alone
  interpolate(frac, xearly);
  EXPECT_EQ(frac, wakro::kNoCrossing);
  EXPECT_EQ(xearly, wakro::kNoCrossing);
  EXPECT_EQ(int1::xstor(5, 1), 0.2);
  branches::nsw(1) = 0;
  frac = xearly = 0.0;
  interpolate(frac, xearly);
  EXPECT_EQ(frac, wakro::kNoCrossing);
  EXPECT_EQ(xearly, wakro::kNoCrossing);
}

TEST_F(Interpolation, OnePassStepCopiesAndLaterPassesInterpolate) {
  size(2, 2);
  const std::int32_t rb = add_branch(1, 1, 0, 2.0, 0.0, 0.0);  // GEQ 0.5
  const std::int32_t lb = add_branch(1, 1, 2, 0.0, 0.1, 0.0);  // X_L 4000 ohm
  e_s0::vdc(1, 1) = 1.0;
  e_s0::vdc(2, 1) = 2.0;
  branches::cbr(rb, 1) = 0.5;
  branches::ccbr(lb, 1) = 0.25;
  branches::ccbrd(lb, 1) = 0.125;
  branches::v12l(lb, 1) = -1.0;
  e_s0::ccgm(1, 1) = 3.0;
  e_s0::ccgmd(1, 1) = 1.0;
  spcial::vdcnew(1) = 5.0;
  spcial::vdcnew(2) = 1.0;
  wakro::SubStep s;
  s.fracv = 1.0;
  s.stepdone = true;
  incalcvi(1, s);
  EXPECT_EQ(v(1), 5.0);
  EXPECT_EQ(v(2), 1.0);
  EXPECT_EQ(i(rb), 2.5);
  EXPECT_EQ(i(lb), 4.0 / 4000.0 + 0.25);
  EXPECT_EQ(branches::v12l(lb, 1), 4.0);
  EXPECT_EQ(e_s0::ccgm(1, 1), 3.0);

  // A later pass, a quarter of the way: everything moves by a quarter.
  spcial::vdcnew(1) = 9.0;
  s.fracv = 0.25;
  s.notfirst = true;
  s.stepdone = false;
  incalcvi(1, s);
  EXPECT_EQ(v(1), 6.0);
  EXPECT_EQ(i(rb), 2.5 + (4.5 - 2.5) * 0.25);
  EXPECT_EQ(e_s0::ccgm(1, 1), 1.0 + 2.0 * 0.25);       // towards its previous value
  EXPECT_EQ(branches::ccbr(lb, 1), 0.125 + 0.125 * 0.25);
  EXPECT_EQ(branches::v12l(lb, 1), 4.0 + (8.0 - 4.0) * 0.25);

  // A re-solution moves the voltages but leaves the step quantities.
  s.fracv = 0.5;
  s.iflag = true;
  const double ccgm_before = e_s0::ccgm(1, 1);
  const double ccbr_before = branches::ccbr(lb, 1);
  incalcvi(1, s);
  EXPECT_EQ(v(1), 7.5);
  EXPECT_EQ(e_s0::ccgm(1, 1), ccgm_before);
  EXPECT_EQ(branches::ccbr(lb, 1), ccbr_before);
}

TEST_F(Interpolation, ChatterDetectorSeesTheNewCurrentsBeforeTheyAreTaken) {
  size(1, 1);
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  branches::cbr(1, 1) = 1.0;
  spcial::vdcnew(1) = 6.0;
  options::dtchatter(1) = true;
  wakro::network_hooks().chatdt = &watch_chatter;
  wakro::SubStep s;
  s.elapsed = 0.5;
  s.fracv = 0.5;
  s.notfirst = true;
  incalcvi(1, s);
  EXPECT_TRUE(g_chatter_modes.empty());  // only on the step's last sub-step
  EXPECT_EQ(i(1), 2.0);
  s.stepdone = true;
  incalcvi(1, s);
  EXPECT_EQ(g_chatter_modes, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(g_cbr_seen, 2.0);
  EXPECT_EQ(g_cbrnew_seen, 3.0);
  EXPECT_EQ(i(1), 2.5);
}

}  // namespace
