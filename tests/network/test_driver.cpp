// The solution driver: line hooks with and without subsystems, switching inside a
// step (timed switch through the hooks), the chatter-removal half step, the cap on
// solution passes, finishup's copies and the transformer count check, and a
// subsystem without nodes.
#include <vector>

#include "model/branch_codes.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/storage.h"
#include "net_fixture.h"

namespace {

using nettest::capture;
using nettest::Options;
using nettest::rel;

int g_dsldyn = 0;
int g_dslout = 0;
int g_history = 0;
int g_crossings = 0;
int g_switchings = 0;
double g_switch_time = 0.0;

void count_dsldyn() { ++g_dsldyn; }
void count_dslout() { ++g_dslout; }

void counting_dsmdyn(std::int32_t ss) {
  ++g_history;
  for (std::int32_t k = 1; k <= e_s0::mbus(ss); ++k) {
    e_s0::ccgmd(k, ss) = e_s0::ccgm(k, ss);
    e_s0::ccgm(k, ss) = 0.0;
  }
}

// A timed switch: SWLEVL holds the closing time; it closes (GEQON) when the time
// lies after the instant solved last and not after the step's end.
double timed_crossing(std::int32_t ss, std::int32_t br, const wakro::SubStep& s) {
  ++g_crossings;
  const double at = branches::swlevl(br, ss);
  if (s.iflag || branches::geq(br, ss) == branches::geqon(br, ss)) return wakro::kNoCrossing;
  if (int1::solution_time < at && at <= e_s1::time) return (at - int1::solution_time) / e_s1::delt;
  return wakro::kNoCrossing;
}

void close_switches(std::int32_t ss, double frac) {
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
    const std::int32_t br = branches::brnsw(k, ss);
    if (frac < int1::xstor(br, ss)) continue;
    ++g_switchings;
    g_switch_time = int1::solution_time;
    branches::geq(br, ss) = branches::geqon(br, ss);
    const std::int32_t f = branches::ief(br, ss);
    const std::int32_t t = branches::iet(br, ss);
    std::int32_t low = f > 0 && t > 0 ? std::min(f, t) : std::max(f, t);
    e_s8::mxinv(ss) = std::min(e_s8::mxinv(ss), low);
  }
}

double always_half(std::int32_t, std::int32_t, const wakro::SubStep&) {
  ++g_crossings;
  return 0.5;
}

class Driver : public nettest::Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    g_dsldyn = g_dslout = g_history = g_crossings = g_switchings = 0;
    g_switch_time = 0.0;
  }

  // 1 kA into node 1, 10 ohm to ground, and a switch node 1 -> ground of 1e6 ohm
  // OFF and 10 ohm ON that closes at `at`.
  std::int32_t divider(double at) {
    size(1, 2);
    set_options({true, false, false, false});
    add_branch(1, 1, 0, 10.0, 0.0, 0.0);
    const std::int32_t sw = add_branch(1, 1, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    branches::geqon(sw, 1) = 0.1;
    branches::swlevl(sw, 1) = at;
    int1::iorv(sw, 1) = 8;
    e_s0::enabccin(1, 1) = true;
    model_ = [] { e_s0::ccin(1, 1) = 1.0; };
    auto& h = wakro::network_hooks();
    h.switch_crossing = &timed_crossing;
    h.switchbr = &close_switches;
    return sw;
  }
};

TEST_F(Driver, WithoutSubsystemsOnlyTheLineHooksRun) {
  size(1, 1);
  int2::nmat = 0;
  auto& h = wakro::network_hooks();
  h.dsldyn = &count_dsldyn;
  h.dslout = &count_dslout;
  intsolvi();
  intsolvi();
  EXPECT_EQ(g_dslout, 2);
  EXPECT_EQ(g_dsldyn, 0);
  ndde::e_ndim(dim::tlines_total) = 1;
  intsolvi();
  EXPECT_EQ(g_dslout, 3);
  EXPECT_EQ(g_dsldyn, 1);
}

TEST_F(Driver, LineHooksBracketTheSubsystemSolutions) {
  size(1, 1);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  ndde::e_ndim(dim::tlines_total) = 2;
  auto& h = wakro::network_hooks();
  h.dsldyn = &count_dsldyn;
  h.dslout = &count_dslout;
  // The line injection of this step and of the previous one enter the right-hand
  // side: 0.5 kA now into a 1 ohm node.
  e_s0::ccli(1, 1) = 0.5;
  start_run(3);
  step();
  EXPECT_EQ(g_dsldyn, 1);
  EXPECT_EQ(g_dslout, 1);
  EXPECT_EQ(v(1), 0.5);
  EXPECT_EQ(int4::cclid(1, 1), 0.5);  // kept by finishup
}

TEST_F(Driver, TimedSwitchInsideAStepOperatesAtItsInstant) {
  const double dt = 5.0e-5;
  divider(2.3 * dt);
  start_run(6);
  step();  // time zero
  step();
  step();  // ends at 2 dt
  EXPECT_LT(rel(v(1), 10.0 * 1.0e6 / (10.0 + 1.0e6)), 1e-12);
  EXPECT_EQ(g_switchings, 0);
  step();  // from 2 dt to 3 dt: closes at 2.3 dt
  EXPECT_EQ(g_switchings, 1);
  EXPECT_LT(std::abs(g_switch_time - 2.3 * dt), 1e-15 * dt);
  EXPECT_LT(rel(v(1), 5.0), 1e-12);
  EXPECT_LT(rel(i(1), 0.5), 1e-12);
  EXPECT_LT(rel(int1::solution_time, 3.0 * dt), 1e-15);
  step();
  EXPECT_LT(rel(v(1), 5.0), 1e-12);
  EXPECT_EQ(g_switchings, 1);
}

TEST_F(Driver, WithoutInterpolationNoSwitchIsConsidered) {
  const std::int32_t sw = divider(2.3 * 5.0e-5);
  set_options({false, false, false, false});
  start_run(6);
  for (int n = 0; n < 6; ++n) step();
  EXPECT_EQ(g_crossings, 0);
  EXPECT_EQ(g_switchings, 0);
  EXPECT_FALSE(temp1::consid(sw));
  EXPECT_EQ(int1::xstor(sw, 1), wakro::kNoCrossing);
}

TEST_F(Driver, SwitchModesZeroAndSixAreNeverConsideredAndCountersStartBySwitchKind) {
  size(2, 6);
  set_options({true, false, false, false});
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  const std::int32_t codes[] = {0, 6, -5, 15};
  std::vector<std::int32_t> sw;
  for (std::int32_t c : codes) {
    const std::int32_t b = add_branch(1, 1, 2, 100.0, 0.0, 0.0, 0.0, 0.0, true);
    int1::iorv(b, 1) = c;
    sw.push_back(b);
  }
  // Only the bookkeeping is looked at: no crossing tests (these switches have no
  // device records).
  wakro::network_hooks().switch_crossing = [](std::int32_t, std::int32_t, const wakro::SubStep&) {
    return wakro::kNoCrossing;
  };
  start_run(2);
  step();
  EXPECT_FALSE(temp1::consid(sw[0]));
  EXPECT_FALSE(temp1::consid(sw[1]));
  EXPECT_TRUE(temp1::consid(sw[2]));
  EXPECT_TRUE(temp1::consid(sw[3]));
  EXPECT_EQ(temp1::icnt(sw[0]), 10);
  EXPECT_EQ(temp1::icnt(sw[1]), 10);
  EXPECT_EQ(temp1::icnt(sw[2]), 0);
  EXPECT_EQ(temp1::icnt(sw[3]), 0);
}

TEST_F(Driver, ChatterRemovalTakesAHalfStepAfterAFactorisationOnly) {
  size(1, 2);
  set_options({true, true, false, false});
  add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  add_branch(1, 1, 0, 0.0, 0.1, 0.0, 1.0);
  wakro::network_hooks().dsmdyn = &counting_dsmdyn;
  start_run(5);
  step();
  EXPECT_EQ(g_history, 2);  // the step's start and the half step
  EXPECT_FALSE(temp1::stabck(1));
  step();
  EXPECT_EQ(g_history, 3);
  // A switching between steps: re-solution at the start, then half step.
  e_s8::mxinv(1) = 1;
  e_s8::switched(1) = true;
  step();
  EXPECT_EQ(g_history, 5);
  // A conductance change of a branch that holds no state: factorised again, then
  // one plain trapezoidal solution (no re-solution, no half step).
  const std::int32_t before = int2::ntriang(1);
  wakro::change_branch_conductance("TEST", 1, 1, 0.2);
  step();
  EXPECT_EQ(g_history, 6);
  EXPECT_GT(int2::ntriang(1), before);
  EXPECT_FALSE(e_s8::switched(1));
  set_options({true, false, false, false});
  e_s8::mxinv(1) = 1;
  e_s8::switched(1) = true;
  step();
  EXPECT_EQ(g_history, 7);
}

// The time-zero step starts from the initial node voltages of the data (zero
// here), so a half step there lands between those and the solution; every later
// step of an algebraic network ends on the same values either way.
TEST_F(Driver, ResistiveStepEndsAreTheSameWithAndWithoutTheHalfStep) {
  std::vector<double> with;
  for (bool chatter : {true, false}) {
    release_all_and_reset();
    divider(2.3 * 5.0e-5);
    set_options({true, chatter, false, false});
    start_run(6);
    for (int n = 0; n < 6; ++n) {
      step();
      if (chatter) {
        with.push_back(v(1));
      } else if (n > 0) {
        EXPECT_LT(rel(v(1), with[n]), 1e-13) << n;
      }
    }
  }
}

TEST_F(Driver, EndlessSwitchingAtOneInstantIsCappedAndReportedOnce) {
  divider(1.0);
  wakro::network_hooks().switch_crossing = &always_half;
  wakro::network_hooks().switchbr = [](std::int32_t, double) {};
  start_run(3);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, -1);
  EXPECT_EQ(out.text,
            " ***INFO*** Subsystem 1 needed more than 1000 solutions in one time step; its "
            "switches are held for the rest of the step.\n");
  EXPECT_EQ(g_crossings, wakro::kMaxSolutionPasses);
  EXPECT_FALSE(temp1::consid(2));
  // The step still ends with the solution of the network as it stands.
  EXPECT_LT(rel(v(1), 10.0 * 1.0e6 / (10.0 + 1.0e6)), 1e-12);
}

TEST_F(Driver, SubsystemWithoutNodesIsSkipped) {
  size(1, 1, 2);
  e_s0::mbus(2) = 0;
  add_branch(1, 1, 0, 4.0, 0.0, 0.0);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 1.0; };
  start_run(2);
  step();
  EXPECT_EQ(v(1), 4.0);
  EXPECT_EQ(int2::ntriang(2), 0);
}

TEST_F(Driver, FinishupKeepsThePreviousStepCopies) {
  size(2, 2);
  add_branch(1, 1, 2, 1.0, 0.0, 0.0, 0.0, 3.0);
  const std::int32_t b2 = add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  int2::nmb(1) = 1;
  int2::ll(1, 1) = 2;
  e_s0::ccin(2, 1) = 4.0;
  e_s0::ggin(2, 1) = 0.5;
  branches::ebr(1, 1) = 7.0;
  branches::ccbr(b2, 1) = 0.25;
  branches::geq(b2, 1) = 2.0;
  e_s0::ccli(2, 1) = -1.0;
  finishup(1);
  EXPECT_EQ(branches::ebrd(1, 1), 7.0);
  EXPECT_EQ(branches::ccbrd(b2, 1), 0.25);
  EXPECT_EQ(branches::geqd(b2, 1), 2.0);
  EXPECT_EQ(int4::ccind(2, 1), 4.0);
  EXPECT_EQ(int4::ggind(2, 1), 0.5);
  EXPECT_EQ(int4::cclid(2, 1), -1.0);
}

TEST_F(Driver, FinishupLeavesTheEmfOfAnExtrapolatedRegisteredSource) {
  extra_dims_ = {{dim::stori, 10}};
  size(1, 1);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 2.0);
  storage::stori(5) = 101;
  branches::thisbr(1, 1) = 5;
  branches::ebr(1, 1) = 9.0;
  branches::ebrd(1, 1) = 8.5;
  options::xterpsrc(1) = true;
  finishup(1);
  EXPECT_EQ(branches::ebrd(1, 1), 8.5);
  EXPECT_EQ(storage::this_, 5);
  options::xterpsrc(1) = false;
  finishup(1);
  EXPECT_EQ(branches::ebrd(1, 1), 9.0);
}

// A registered source that sets its EMF to 4 V and notes the record it was
// evaluated with.
int g_evaluations = 0;
std::int32_t g_evaluated_record = 0;
void scripted_source() {
  ++g_evaluations;
  g_evaluated_record = storage::this_;
  branches::ebr(1, 1) = 4.0;
}

// The registered-source lookup is made once per step: a record that becomes (or
// stops being) a registered source between steps, with no flag of the branch
// changed, takes effect in the very next step. A 2 V source of 1 ohm feeds 1 ohm:
// v1 = -e / 2.
TEST_F(Driver, SourceRecordChangedBetweenStepsActsInTheNextStep) {
  extra_dims_ = {{dim::stori, 10}};
  size(1, 2);
  set_options({false, false, false, true});
  add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 2.0);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  wakro::network_hooks().wakro_vsrc_dyn = &scripted_source;
  g_evaluations = 0;
  g_evaluated_record = 0;
  branches::thisbr(1, 1) = 5;
  storage::stori(5) = 0;
  storage::stori(7) = wakro::branch_code::registered_source;
  start_run(5);
  step();  // an ordinary source
  EXPECT_EQ(g_evaluations, 0);
  EXPECT_DOUBLE_EQ(v(1), -1.0);
  EXPECT_EQ(branches::ebrd(1, 1), 2.0);

  storage::stori(5) = wakro::branch_code::registered_source;
  step();  // registered now: it evaluates itself
  EXPECT_EQ(g_evaluations, 1);
  EXPECT_EQ(g_evaluated_record, 5);
  EXPECT_DOUBLE_EQ(v(1), -2.0);
  EXPECT_EQ(storage::this_, 0);  // finishup leaves it at the last branch's record

  branches::thisbr(1, 1) = 7;  // another registered record
  step();
  EXPECT_EQ(g_evaluations, 2);
  EXPECT_EQ(g_evaluated_record, 7);

  storage::stori(7) = 100;  // no longer registered: an ordinary source again
  branches::ebr(1, 1) = 3.0;
  step();
  EXPECT_EQ(g_evaluations, 2);
  EXPECT_DOUBLE_EQ(v(1), -1.5);
  EXPECT_EQ(branches::ebrd(1, 1), 3.0);  // copied by finishup, as for any source
}

// A subsystem without any source keeps its registered-source lookup from step to
// step; a source flag set between steps (its record registered) is seen in the
// very next step, and one cleared again leaves the branch a plain resistance.
// The same network as above: v1 = -e / 2 with the source, 0 without.
TEST_F(Driver, SourceFlagOfASourcelessSubsystemActsInTheNextStep) {
  extra_dims_ = {{dim::stori, 10}};
  size(1, 2);
  set_options({false, false, false, true});
  add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 2.0);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  branches::source(1, 1) = false;
  wakro::network_hooks().wakro_vsrc_dyn = &scripted_source;
  g_evaluations = 0;
  g_evaluated_record = 0;
  branches::thisbr(1, 1) = 5;
  storage::stori(5) = wakro::branch_code::registered_source;
  start_run(5);
  const struct {
    bool source;
    int evaluations;
    double v1;
  } table[] = {{false, 0, 0.0}, {false, 0, 0.0}, {true, 1, -2.0}, {true, 2, -2.0}, {false, 2, 0.0}};
  for (const auto& row : table) {
    branches::source(1, 1) = row.source;
    step();
    EXPECT_EQ(g_evaluations, row.evaluations) << row.source;
    EXPECT_DOUBLE_EQ(v(1), row.v1) << row.source;
  }
  EXPECT_EQ(g_evaluated_record, 5);
}

TEST_F(Driver, MisalignedTransformerSubsystemsStopTheRun) {
  extra_dims_ = {{dim::windings, 1}, {dim::trafos, 2}};
  size(2, 1);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  e_s5::jset = 2;
  e_s5::numt(1) = 1;
  e_s5tap::tss(1) = 1;
  e_s5tap::tss(2) = -1;
  e_s5::msiz(1) = 1;
  e_s5::msiz(2) = 1;
  const auto fin = capture([] { finishup(1); });
  EXPECT_EQ(fin.status, 2000);
  EXPECT_EQ(fin.text.substr(0, fin.text.find("=") - 1),
            " ***ERROR** Error duing solution of transformers. \n"
            " ***ERROR** Transformer Subsystem Numbers are mis-aligned\n");
  EXPECT_NE(fin.text.find("by FINISHUP    \n"), std::string::npos);

  release_all_and_reset();
  size(1, 1);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  e_s5::jset = 2;
  e_s5::numt(1) = 1;
  e_s5tap::tss(1) = 1;
  e_s5tap::tss(2) = -1;
  e_s5::msiz(1) = 1;
  e_s5::msiz(2) = 1;
  e_s5::mcb(1, 1) = 1;
  start_run(2);
  const auto step_out = capture([&] { step(); });
  EXPECT_EQ(step_out.status, 2000);
  EXPECT_EQ(step_out.text.substr(0, step_out.text.find("=") - 1),
            " ***ERROR** Error during solution of transformers. \n"
            " ***ERROR** Transformer Subsystem Numbers are mis-aligned\n");
  EXPECT_NE(step_out.text.find("by INCALCVI    \n"), std::string::npos);
  e_s5::jset = 0;
}

}  // namespace
