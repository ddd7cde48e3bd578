// Chatter detection: the alternation counters, the flag at the sixth swing, the
// one report per node or branch, the modes; and an inductive current forced
// through an opening switch, which chatters without chatter removal and is
// damped by the half steps with it.
#include <cmath>
#include <string>
#include <vector>

#include "model/clvi.h"
#include "model/outppp.h"
#include "net_fixture.h"
#include "network/chatter.h"
#include "network/switching.h"

namespace {

using nettest::capture;
using nettest::Options;

class Chatter : public nettest::Network {
 protected:
  // Counters cleared and reports armed, as at the start of a run.
  void arm() {
    nettest::reset_chatter_counters();
    temp1::stabck(1) = false;
    int2::glvl(1) = 0.5;
  }
  // Feeds node 7 the values one by one (each against the previous one).
  std::string feed_node(const std::vector<double>& values) {
    std::string text;
    for (std::size_t k = 1; k < values.size(); ++k) {
      e_s0::vdc(7, 1) = values[k - 1];
      spcial::vdcnew(7) = values[k];
      text += capture([] { chatdt(1, 1); }).text;
    }
    return text;
  }
};

TEST_F(Chatter, SixthAlternationFlagsTheSubsystemAndReportsTheNodeOnce) {
  size(8, 2);
  arm();
  outppp::pplot = 1.0;
  const std::string text = feed_node({1, -1, 1, -1, 1, -1});
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(clvi::icntv(7, 1), -5);
  EXPECT_FALSE(temp1::stabck(1));
  EXPECT_EQ(feed_node({-1, 1}), "Voltage chatter:        SS#  1 Node#    7\n");
  EXPECT_TRUE(temp1::stabck(1));
  EXPECT_EQ(clvi::icntv(7, 1), 0);
  EXPECT_FALSE(clvi::nchat_rep(7, 1));
  // Flagged again later in the run: no second report.
  temp1::stabck(1) = false;
  EXPECT_TRUE(feed_node({1, -1, 1, -1, 1, -1, 1}).empty());
  EXPECT_TRUE(temp1::stabck(1));
}

TEST_F(Chatter, SmallSwingsMonotonicRisesAndModeThreeNeverCount) {
  size(8, 2);
  arm();
  outppp::pplot = 1.0;
  EXPECT_TRUE(feed_node({0.4, -0.4, 0.4, -0.4, 0.4, -0.4, 0.4, -0.4, 0.4}).empty());
  EXPECT_FALSE(temp1::stabck(1));
  EXPECT_EQ(std::abs(clvi::icntv(7, 1)), 1);
  feed_node({0, 1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(clvi::icntv(7, 1), 1);
  // The first fall counts, the first rise does not.
  feed_node({8, 0});
  EXPECT_EQ(clvi::icntv(7, 1), -2);
  clvi::icntv(7, 1) = -3;
  e_s0::vdc(7, 1) = -1.0;
  spcial::vdcnew(7) = 5.0;
  chatdt(1, 3);
  EXPECT_EQ(clvi::icntv(7, 1), -3);
}

TEST_F(Chatter, ReportsNeedTheDesignEnvironmentOrPlotting) {
  size(8, 2);
  arm();
  EXPECT_TRUE(feed_node({1, -1, 1, -1, 1, -1, 1}).empty());
  EXPECT_TRUE(temp1::stabck(1));
  EXPECT_TRUE(clvi::nchat_rep(7, 1));  // still to be reported
}

TEST_F(Chatter, AfterTheFlagTheRemainingCountersAreCleared) {
  size(3, 3);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  add_branch(1, 3, 0, 1.0, 0.0, 0.0);
  arm();
  outppp::pplot = 1.0;
  clvi::icntbr(1, 1) = -5;
  clvi::icntbr(2, 1) = 5;
  clvi::icntbr(3, 1) = 4;
  branches::cbr(1, 1) = -1.0;
  spcial::cbrnew(1) = 1.0;  // the sixth swing of branch 1
  branches::cbr(2, 1) = 1.0;
  spcial::cbrnew(2) = -1.0;
  auto out = capture([] { chatdt(1, 2); });
  EXPECT_EQ(out.text, "Current chatter:        SS#  1   Br#    1\n");
  EXPECT_TRUE(temp1::stabck(1));
  EXPECT_EQ(clvi::icntbr(1, 1), 0);
  EXPECT_EQ(clvi::icntbr(2, 1), 0);
  EXPECT_EQ(clvi::icntbr(3, 1), 0);
  // Any other mode checks the currents without reports.
  arm();
  clvi::icntbr(2, 1) = 5;
  out = capture([] { chatdt(1, 4); });
  EXPECT_TRUE(out.text.empty());
  EXPECT_TRUE(temp1::stabck(1));
  EXPECT_TRUE(clvi::brchat_rep(2, 1));
  // Ideal branches are left alone: their new currents come later.
  arm();
  branches::idealbr(2, 1) = true;
  clvi::icntbr(2, 1) = 5;
  chatdt(1, 2);
  EXPECT_FALSE(temp1::stabck(1));
  EXPECT_EQ(clvi::icntbr(2, 1), 5);
}

TEST_F(Chatter, IntchatSetsInterpolationAndChatterRemoval) {
  size(1, 1, 2);
  intchat(2, 1, 0);
  EXPECT_TRUE(options::interpss(2));
  EXPECT_FALSE(options::rmchatter(2));
  intchat(2, 0, 1);
  EXPECT_FALSE(options::interpss(2));
  EXPECT_TRUE(options::rmchatter(2));
}

// A 1 kV source with 0.1 ohm feeds through a closed switch (0.01 ohm ON, 1 Mohm
// OFF) an R-L branch of 1 ohm and 0.1 H. A model opens the switch at step 100:
// the inductor's current i0 is forced into 1 Mohm. The solution at the opening
// keeps i0 and lets the new topology decide the inductor's voltage with the
// companion conductance of half a step of backward Euler, which leaves a
// deviation from the quasi-steady current of i0 / (1 + a) with a = R / X_L =
// (1e6 + 1.1) / 4000. Each trapezoidal step divides it by another (1 + a) once
// and then alternates it with the ratio (1 - a)/(1 + a), near -0.992: a chatter
// of 1e6 i0 / (1 + a)^2 at node 2. The half step of chatter removal divides it
// by (1 + a) twice more, far below the chatter level.
class Interruption : public Chatter {
 protected:
  std::vector<double> run(bool remove_chatter, std::string& console) {
    size(2, 3);
    set_options({true, remove_chatter, true, false});
    add_branch(1, 1, 0, 0.1, 0.0, 0.0, 0.0, -1.0);
    const std::int32_t sw = add_branch(1, 1, 2, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    add_branch(1, 2, 0, 1.0, 0.1, 0.0);
    wakro_initswbr(1, sw, 0.01, 1.0e6, 0.0, 0.0, "BREAKER     ");
    wakro_turnon(1, sw, 6, 0.0);
    arm();
    int2::glvl(1) = 0.001;
    outppp::pplot = 1.0;
    model_ = [sw] {
      if (ctrl::iii == 100) wakro_turnoff(1, sw, 6, 0.0);
    };
    std::vector<double> v2;
    const std::int32_t steps = 120;
    start_run(steps);
    console = capture([&] {
                for (int k = 0; k < steps; ++k) {
                  step();
                  v2.push_back(v(2));
                }
              }).text;
    return v2;
  }
};

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

TEST_F(Interruption, ChattersWithoutRemovalAndIsDampedWithIt) {
  std::string plain_text;
  const std::vector<double> plain = run(false, plain_text);
  // Before the opening: the current rising towards 1/1.11 kA with the time
  // constant 0.1 H / 1.11 ohm, so that node 2 is 1 kV less the 0.11 ohm drop.
  const double t99 = 99 * e_s1::delt;
  const double i99 = 1.0 / 1.11 * (1.0 - std::exp(-t99 * 1.11 / 0.1));
  EXPECT_NEAR(plain[99], 1.0 - 0.11 * i99, 5e-5);
  // After it: sign alternation from step to step, slowly decaying, from the
  // chatter that the trapezoidal step leaves. The data start the network at rest
  // one step before time zero with the source already on, which the first step
  // takes as a closing half a step later: the current at the opening is that of
  // t = 99.5 dt of the closed form above.
  const double a = (1.0e6 + 1.1) / 4000.0;
  const double i0 = 1.0 / 1.11 * (1.0 - std::exp(-99.5 * e_s1::delt * 1.11 / 0.1));
  EXPECT_NEAR(plain[100], -1.0e6 * i0 / ((1.0 + a) * (1.0 + a)), 1e-4 * std::abs(plain[100]));
  for (int k = 101; k < 115; ++k) {
    EXPECT_LT(plain[k] * plain[k + 1], 0.0) << k;
    EXPECT_GT(std::abs(plain[k]), 0.5) << k;
    EXPECT_NEAR(plain[k + 1] / plain[k], (1.0 - 250.0) / (1.0 + 250.0), 2e-3) << k;
  }
  EXPECT_EQ(count_of(plain_text, "Voltage chatter:"), 1u) << plain_text;
  EXPECT_EQ(count_of(plain_text, "Voltage chatter:        SS#  1 Node#    2\n"), 1u);

  release_all_and_reset();
  std::string damped_text;
  const std::vector<double> damped = run(true, damped_text);
  EXPECT_NEAR(damped[99], plain[99], 1e-6);  // half steps differ slightly
  // Within two steps of the opening the swing is down to 1e6 i0 / (1 + a)^4,
  // around the quasi-steady 1 kV / 1 Mohm of node 2 (1 ohm of 1e6 + 1.1), below the
  // chatter level: nothing to detect, nothing to report.
  const double swing = std::abs(plain[101]);
  const double left = 1.0e6 * i0 / std::pow(1.0 + a, 4);
  const double steady = 1.0 / (1.0e6 + 1.1);
  EXPECT_NEAR(std::abs(damped[101] - steady), left, 0.02 * left);
  for (int k = 101; k < 119; ++k) {
    EXPECT_LT(std::abs(damped[k]), swing * 1e-4) << k;
    EXPECT_LT(std::abs(damped[k] - steady), 1.02 * left) << k;
  }
  EXPECT_EQ(count_of(damped_text, "Voltage chatter:"), 0u) << damped_text;
}

// A detector put in place of the engine's own one, doing the same: the solution
// then hands it all new currents after the branch pass instead of checking each
// one inside the pass.
void same_detector(std::int32_t ss, std::int32_t mode) { chatdt(ss, mode); }

// The detector inside the branch pass and the one run after it count, flag,
// report and leave the same, step for step.
TEST_F(Interruption, CurrentChatterInsideTheBranchPassEqualsTheDetectorAfterIt) {
  auto run_with = [this](bool replaced, std::string& text) {
    if (replaced) wakro::network_hooks().chatdt = &same_detector;
    std::vector<double> out = run(false, text);
    for (std::int32_t br = 1; br <= 3; ++br) {
      out.push_back(branches::cbr(br, 1));
      out.push_back(clvi::icntbr(br, 1));
    }
    wakro::reset_network_hooks();
    return out;
  };
  std::string after_text;
  const std::vector<double> after = run_with(true, after_text);
  release_all_and_reset();
  std::string inside_text;
  const std::vector<double> inside = run_with(false, inside_text);
  // Every branch's counter was run (the arming cleared them).
  for (std::size_t k = 121; k < inside.size(); k += 2) EXPECT_NE(inside[k], 0.0) << k;
  EXPECT_EQ(inside_text, after_text);
  ASSERT_EQ(inside.size(), after.size());
  for (std::size_t k = 0; k < after.size(); ++k) EXPECT_EQ(inside[k], after[k]) << k;
}

}  // namespace

namespace {

// A ladder of 12 nodes fed an alternating 1 A at node 1: 1 mohm + 1 nH between
// neighbours, 1 ohm + 1 nH to ground at every node, an R-C branch first and a
// resistor in the middle (both outside the plain series R-L pass). Node voltages
// swing by about 1/12 V, below the chatter level of 0.2; the series currents
// near node 1 swing by almost 1 A and chatter, after the R-C branch's: the flag
// is raised inside the branch pass, with counters on both sides of it.
class ChatterLadder : public Chatter {
 protected:
  using Trace = nettest::Trace;
  Trace run(bool remove_chatter) {
    size(12, 26);
    set_options({true, remove_chatter, true, false});
    add_branch(1, 1, 0, 10.0, 0.0, 1.0);
    for (std::int32_t k = 1; k <= 12; ++k) {
      add_branch(1, k, 0, 1.0, 1e-9, 0.0);
      if (k == 6) add_branch(1, 6, 0, 3.0, 0.0, 0.0);
      if (k < 12) add_branch(1, k, k + 1, 1e-3, 1e-9, 0.0);
    }
    arm();
    int2::glvl(1) = 0.2;
    outppp::pplot = 1.0;
    model_ = [] { e_s0::ccin(1, 1) = (ctrl::iii & 1) != 0 ? 1.0 : -1.0; };
    return traced_run(40, [&](Trace& t) {
      t.values.push_back(temp1::stabck(1) ? 1.0 : 0.0);
      for (std::int32_t n = 1; n <= 12; ++n) {
        t.values.push_back(v(n));
        t.values.push_back(clvi::icntv(n, 1));
      }
      for (std::int32_t br = 1; br <= int2::insb(1); ++br) {
        t.values.push_back(i(br));
        t.values.push_back(clvi::icntbr(br, 1));
      }
    });
  }
};

// The counters moved on inside the branch pass and the flag settled after it
// leave, step for step, what the detector run branch by branch after the pass
// leaves: voltages, currents, every counter, the flag and the one report; with
// chatter removal and without.
TEST_F(ChatterLadder, FlagSettledAfterThePassEqualsTheDetectorBranchByBranch) {
  for (const bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "with removal" : "without removal");
    wakro::network_hooks().chatdt = &same_detector;
    const Trace after = run(remove);
    wakro::reset_network_hooks();
    release_all_and_reset();
    const Trace inside = run(remove);
    release_all_and_reset();
    EXPECT_EQ(count_of(inside.text, "Current chatter:"), 1u) << inside.text;
    EXPECT_EQ(count_of(inside.text, "Voltage chatter:"), 0u) << inside.text;
    EXPECT_EQ(inside.text, after.text);
    ASSERT_EQ(inside.values.size(), after.values.size());
    std::size_t flagged = 0;
    const std::size_t per_step = after.values.size() / 40;
    for (std::size_t k = 0; k < after.values.size(); ++k) {
      EXPECT_EQ(inside.values[k], after.values[k]) << k;
      if (k % per_step == 0 && after.values[k] != 0.0) ++flagged;
    }
    EXPECT_GT(flagged, 0u);
  }
}

}  // namespace

namespace {

// The counter step of one item by hand: new value, previous value, level,
// counter before; counter after and whether the chatter is detected.
TEST(ChatterCount, EachSwingMovesTheCounterAsCountedByHand) {
  struct Row {
    double x, y, level;
    std::int32_t c, next;
    bool fired;
  };
  const Row rows[] = {
      {1.0, -1.0, 0.5, 0, 1, false},     // a big rise after none: starts at 1
      {1.0, -1.0, 0.5, -4, 5, false},    // a big rise after four falls
      {1.0, -1.0, 0.5, -5, 6, true},     // the sixth alternation
      {-1.0, 1.0, 0.5, 5, -6, true},     // the same after rises
      {-1.0, 1.0, 0.5, 4, -5, false},
      {-1.0, 1.0, 0.5, -3, -1, false},   // a fall after a fall starts again
      {1.0, -1.0, 0.5, 3, 1, false},     // a rise after a rise
      {-0.4, 0.4, 0.5, 3, -1, false},    // a small fall
      {0.4, -0.4, 0.5, -5, 1, false},    // a small rise
      {2.0, 2.0, 0.0, -3, 1, false},     // no change counts as a small rise
      {std::nan(""), 1.0, 0.0, -5, 1, false},  // not a number: no swing
  };
  for (const Row& r : rows) {
    bool fired = !r.fired;
    EXPECT_EQ(chatter_count(r.x, r.y, r.level, r.c, fired), r.next) << r.x << " " << r.y << " " << r.c;
    EXPECT_EQ(fired, r.fired) << r.x << " " << r.y << " " << r.c;
  }
}

}  // namespace
