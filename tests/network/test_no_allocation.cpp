// The per-step path allocates nothing: every operator new of the test program is
// counted, and steps with re-factorisations, half steps and Norton changes must
// not add to the count; nor steps in which surge arresters and segmented
// branches operate up to their limits with their messages, nor the steps of a
// subsystem with MNA elements and ideal branches whose parallel element is
// reported at every factorisation. The console goes to a store reserved before
// the counted steps, so the messages are counted and checked, not lost.
#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include <cmath>

#include "diag/console.h"
#include "model/branch_codes.h"
#include "model/dim.h"
#include "model/e_s2.h"
#include "model/mna.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "network/mna_routines.h"
#include "network/ordered_elimination.h"
#include "network/small_subsystem.h"
#include "network/switching.h"
#include "sparse_fixture.h"
#include "support/allocation_counter.h"

namespace {
std::atomic<long>& g_news = wakro_test::allocations;
std::vector<int>* volatile& g_probe = wakro_test::allocation_probe;
}  // namespace

namespace {

class NoAllocation : public nettest::SparseNetwork {};

// A console store of fixed capacity: what is written is kept up to the capacity
// reserved at construction, and writing never allocates.
class FixedStore : public std::streambuf {
 public:
  explicit FixedStore(std::size_t capacity) { text_.reserve(capacity); }
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    if (text_.size() == text_.capacity()) return traits_type::eof();
    text_.push_back(traits_type::to_char_type(c));
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto room = static_cast<std::streamsize>(text_.capacity() - text_.size());
    const std::streamsize k = n < room ? n : room;
    text_.append(s, static_cast<std::size_t>(k));
    return k;
  }

 private:
  std::string text_;
};

// Occurrences of part in text.
int count_of(const std::string& text, const std::string& part) {
  int k = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++k;
  return k;
}

TEST_F(NoAllocation, StepsWithFactorisationsAndHalfStepsAllocateNothing) {
  size(6, 12);
  set_options({true, true, true, true});
  for (std::int32_t k = 1; k <= 6; ++k) {
    add_branch(1, k, 0, 0.0, 0.1, 0.0, 0.2 * k);
    add_branch(1, k, k < 6 ? k + 1 : 0, 3.0, 0.0, 5.0, 0.0, k == 1 ? 2.0 : 0.0);
  }
  e_s0::enabccin(4, 1) = true;
  model_ = [] {
    e_s0::ggin(4, 1) = 0.5 + 0.01 * (ctrl::iii % 3);
    e_s0::ccin(4, 1) = 1.0;
  };
  start_run(60);
  step();
  step();
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GT(int2::ntriang(1), factorisations + 20);
  // The counter does see allocations (the probe escapes through a volatile
  // pointer, so that the optimiser cannot drop the pair new/delete).
  g_probe = new std::vector<int>(100);
  delete g_probe;
  EXPECT_GE(g_news.load(), before + 2);
}

TEST_F(NoAllocation, StepsWithSwitchingsInsideThemAllocateNothing) {
  extra_dims_ = {{dim::stori, 20}, {dim::storf, 20}, {dim::stor, 40}};
  size(2, 4);
  set_options({true, true, true, false});
  const std::int32_t src = add_branch(1, 1, 0, 1.0, 0.1, 0.0, 0.0, 0.0);
  const std::int32_t d = add_branch(1, 1, 2, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  add_branch(1, 2, 0, 2.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 2, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, d, 0.01, 1.0e6, 0.0, 0.0, "PESWITCH    ");
  wakro_initswbr(1, sw, 1.0, 1.0e6, 0.0, 0.0, "BREAKER     ");
  branches::thisbr(d, 1) = 1;
  storage::stori(1) = 10;
  storage::stori(3) = 1;
  storage::stori(8) = 1;
  int1::iorv(d, 1) = 3;
  // A 5 kHz source, so that the diode switches every few steps; the breaker is
  // timed to close and open inside every third step.
  model_ = [src, sw] {
    branches::ebr(src, 1) = -std::sin(31415.9 * e_s1::time);
    branches::source(src, 1) = true;
    if (ctrl::iii % 3 == 0) {
      int1::iorv(sw, 1) = 8;
      branches::swlevl(sw, 1) = (ctrl::iii - 0.6) * e_s1::delt;
    }
  };
  start_run(80);
  step();
  step();
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  for (int n = 0; n < 70; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GT(int2::ntriang(1), factorisations + 25);
}

// A 12 x 12 mesh, factorised in a fill-reducing order: a switch toggled every
// third step and a Norton conductance changing every step.
TEST_F(NoAllocation, OrderedEliminationOfAMeshAllocatesNothing) {
  extra_dims_ = {{dim::stori, 20}, {dim::storf, 20}, {dim::stor, 40}};
  size(144, 3 * 144);
  set_options({true, true, true, false});
  for (std::int32_t k = 1; k <= 144; ++k) {
    if (k % 12 != 0) add_branch(1, k, k + 1, 1.0, 0.0, 0.0);
    if (k + 12 <= 144) add_branch(1, k, k + 12, 2.0, 0.001, 0.0);
    if (k % 4 == 1) add_branch(1, k, 0, 0.0, 0.02, 0.0, 0.3);
  }
  add_branch(1, 1, 0, 0.5, 0.0, 0.0, 0.0, 12.0);
  const std::int32_t sw = add_branch(1, 70, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, sw, 0.01, 1.0e6, 0.0, 0.0, "TEST        ");
  e_s0::enabccin(5, 1) = true;
  model_ = [sw] {
    e_s0::ggin(5, 1) = 0.2 + 0.01 * (ctrl::iii % 3);
    if (ctrl::iii % 3 != 0) return;
    nettest::toggle_switch(1, sw);
  };
  start_run(60);
  step();
  step();
  ASSERT_TRUE(wakro::ordered_elimination_active(1, 144));
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GE(int2::ntriang(1), factorisations + 50);
}

// On the sparse solver a switching writes its entries into the stored matrix
// through the map made at the first step: the steps that follow allocate nothing.
TEST_F(NoAllocation, SwitchingsOnTheSparseSolverAllocateNothing) {
  size(3, 6);
  force_sparse();
  add_branch(1, 1, 0, 1.0, 0.1, 0.0, 0.0, 0.0);
  add_branch(1, 1, 2, 2.0, 0.01, 0.0);
  add_branch(1, 2, 3, 2.0, 0.01, 0.0);
  add_branch(1, 3, 0, 1.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 2, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, sw, 0.1, 1.0e6, 0.0, 0.0, "BREAKER     ");
  e_s0::enabccin(1, 1) = true;
  model_ = [sw] {
    e_s0::ccin(1, 1) = 1.0;
    if (ctrl::iii % 2 == 0) {
      nettest::toggle_switch(1, sw);
    }
  };
  start_run(60);
  step();
  step();
  const long before = g_news.load();
  const wakro::SparseSolverCounts counts = wakro::sparse_solver_counts();
  for (int n = 0; n < 40; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GE(wakro::sparse_solver_counts().refactorisations, counts.refactorisations + 20);
}

// Branch numbers of the arrester and the segmented branch of the next test, and
// the crossing test that stands in for the real one: both switches change
// segment at 0.3 of every pass, alternating in direction, until their limit of
// alternating changes takes them out of the step.
std::int32_t g_arrester = 0;
std::int32_t g_segmented = 0;
double alternating_crossing(std::int32_t ss, std::int32_t br, const wakro::SubStep&) {
  if (br == g_arrester) {
    branches::ebron(br, ss) = branches::swlevl(br, ss) < 0.0 ? 1.0 : -1.0;
    return 0.3;
  }
  if (br == g_segmented) {
    std::int32_t& step = rt_config::rtci(-branches::thisbr(br, ss) + 3);
    step = rt_config::rtci(-branches::thisbr(br, ss) + 2) > 0 ? -1 : 1;
    return 0.3;
  }
  return wakro::kNoCrossing;
}

TEST_F(NoAllocation, ArrestersAndSegmentedBranchesAtTheirLimitsAllocateNothing) {
  extra_dims_ = {{dim::stor, 200}, {dim::rtci, 40}, {dim::rtcf, 40}};
  size(2, 4);
  set_options({true, false, false, false});
  add_branch(1, 1, 0, 10.0, 0.0, 0.0, 0.0, -100.0);
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);
  g_arrester = add_branch(1, 1, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  g_segmented = add_branch(1, 2, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, g_arrester, 1.0, 1.0e6, 0.0, 0.0, "ARRESTER    ");
  wakro_initswbr(1, g_segmented, 1.0, 1.0e6, 0.0, 0.0, "SEGMENTED   ");
  // The arrester: three segments (conductances 1, 2, 3; EMFs 10, 20, 30) at stor 100.
  branches::geqof(g_arrester, 1) = 100.0;
  branches::ebrof(g_arrester, 1) = 3.0;
  int1::iorv(g_arrester, 1) = 5;
  const double table[] = {1, 2, 3, 10, 20, 30, 0, 5, 10, 15};
  for (int k = 0; k < 10; ++k) e_s2::stor(101 + k) = table[k];
  // The segmented branch: record at rtci(2), two segments of 1 and 2 mH from rtcf(10).
  int1::iorv(g_segmented, 1) = 15;
  branches::thisbr(g_segmented, 1) = -2;
  const std::int32_t record[] = {10, 2, 0, 0, 0};
  for (int k = 0; k < 5; ++k) rt_config::rtci(2 + k) = record[k];
  const double reals[] = {0.0, 1.0, 2.0, 1.0e-3, 2.0e-3, 0.0, 0.0};
  for (int k = 0; k < 7; ++k) rt_config::rtcf(10 + k) = reals[k];
  wakro::network_hooks().switch_crossing = &alternating_crossing;

  FixedStore store(1 << 20);
  std::ostream console(&store);
  wakro::ConsoleRedirect redirect(console);
  start_run(60);
  step();
  step();
  store.clear();
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  constexpr int kSteps = 20;
  for (int n = 0; n < kSteps; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  // Every step: both switches change together, a factorisation at each pass,
  // until both are out after ten alternations, with the arrester's two notices,
  // each with its instant.
  EXPECT_GE(int2::ntriang(1), factorisations + 10 * kSteps);
  EXPECT_EQ(count_of(store.text(), " ***INFO*** Arrester in branch 3 of subsystem \n"), 2 * kSteps);
  EXPECT_EQ(count_of(store.text(), " ***INFO*** 1 had excessive switching in one time step \n"), kSteps);
  EXPECT_EQ(count_of(store.text(), " ***INFO*** 1 reached maximum number of switching in one time step \n"),
            kSteps);
  EXPECT_EQ(count_of(store.text(), " ***INFO*** at time  0."), 2 * kSteps);
  // The first counted step (its solution starts at 1.0 steps, the changes come
  // at 0.3 of it).
  EXPECT_EQ(store.text().substr(0, 306),
            " ***INFO*** Arrester in branch 3 of subsystem \n"
            " ***INFO*** 1 had excessive switching in one time step \n"
            " ***INFO*** at time  0.6500000000000001E-04\n"
            " ***INFO*** Arrester in branch 3 of subsystem \n"
            " ***INFO*** 1 reached maximum number of switching in one time step \n"
            " ***INFO*** at time  0.6500000000000001E-04\n");
  EXPECT_FALSE(temp1::consid(g_arrester));
  EXPECT_FALSE(temp1::consid(g_segmented));
  EXPECT_EQ(std::abs(temp1::icnt(g_segmented)), 10);
}

// Bridge of the MNA tests: 10 V behind 1 ohm at node 1, 1 -> 3 2 ohm, 4 -> 0 3 ohm,
// 4 -> 2 4 ohm, an inductor 2 -> 0; node 3 to node 4 twice by an element of zero
// impedance (the second is disabled with its notice at every factorisation), and
// an ideal branch from node 5 to node 2 with a 2 ohm load at node 5. A Norton
// conductance at node 1 that changes every step makes every step factorise again.
TEST_F(NoAllocation, MnaElementsAndIdealBranchesWithTheirNoticeAllocateNothing) {
  extra_dims_ = {{dim::nmana, 4}};
  size(5, 8);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
  add_branch(1, 1, 3, 2.0, 0.0, 0.0);
  add_branch(1, 4, 0, 3.0, 0.0, 0.0);
  add_branch(1, 4, 2, 4.0, 0.0, 0.0);
  add_branch(1, 2, 0, 0.0, 0.05, 0.0, 1.0);
  add_branch(1, 5, 0, 2.0, 0.0, 0.0);
  add_ideal(1, 5, 2);
  for (int k = 0; k < 2; ++k) {
    mna::Mnads d;
    d.subsystem = 1;
    d.npairs = 1;
    d.nodes(1, 1) = 3;
    d.nodes(2, 1) = 4;
    mna::mnads(++mna::mnaid) = d;
  }
  mna::enable_mna = true;
  initialize_mna_map();
  set_klu();
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ggin(1, 1) = 0.5 + 0.01 * (ctrl::iii % 3); };

  FixedStore store(1 << 20);
  std::ostream console(&store);
  wakro::ConsoleRedirect redirect(console);
  start_run(60);
  step();
  step();
  store.clear();
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  for (int n = 0; n < 30; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  const std::int32_t made = int2::ntriang(1) - factorisations;
  EXPECT_GE(made, 20);
  EXPECT_EQ(count_of(store.text(),
                     " ***INFO*** parallel ideal branch between nodes  4 ,3 in subsystem 1 disabled \n"),
            made);
  EXPECT_EQ(store.text().size(),
            made * std::string(" ***INFO*** parallel ideal branch between nodes  4 ,3 in "
                               "subsystem 1 disabled \n")
                       .size());
  // The kept element carries the current; the disabled one none.
  EXPECT_NE(mna::mnad(1).current1, 0.0);
  EXPECT_EQ(mna::mnad(2).current1, 0.0);
}

// Small plain subsystems, each stepped in one routine on its ordinary steps:
// alternating injections make their voltages chatter (the flag set, the
// counters restarted, the half step on the next step) between those steps.
TEST_F(NoAllocation, StepsOfSmallSubsystemsAllocateNothing) {
  size(3, 5, 3);
  set_options({true, true, true, false});
  for (std::int32_t ss = 1; ss <= 3; ++ss) {
    add_branch(ss, 1, 0, 1.0, 1e-9, 0.0);
    add_branch(ss, 2, 0, 1.0, 0.01, 0.0);
    add_branch(ss, 1, 2, 1.0, 1e-9, 0.0);
    e_s0::mbus(ss) = 2;
    e_s0::enabccin(1, ss) = true;
    int2::glvl(ss) = 0.3;
  }
  model_ = [] {
    for (std::int32_t ss = 1; ss <= 3; ++ss) e_s0::ccin(1, ss) = (ctrl::iii & 1) != 0 ? ss : -ss;
  };
  start_run(60);
  step();
  step();
  const long before = g_news.load();
  const std::uint64_t small_before = wakro::detail::small_steps_taken;
  bool chattered = false;
  for (int n = 0; n < 50; ++n) {
    step();
    chattered = chattered || temp1::stabck(1);
  }
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GT(wakro::detail::small_steps_taken - small_before, 50u);
  EXPECT_TRUE(chattered);
}

// A half-wave rectifier in one small subsystem: a 100 V sine of 120 steps a
// cycle behind 1 ohm + 10 mH, a diode (its switch record at stori 1) into
// 10 ohm + 1 mH. The steps between commutations take the small step with the
// source and the switch, the steps with a commutation are left by it to the
// general path; neither allocates.
TEST_F(NoAllocation, SmallStepsWithSourcesAndSwitchesAllocateNothing) {
  extra_dims_ = {{dim::stor, 100}, {dim::stori, 20}, {dim::storf, 20}};
  size(2, 3);
  set_options({true, true, true, false});
  const std::int32_t src = add_branch(1, 0, 1, 1.0, 0.01, 0.0, 0.0, 1.0);
  add_branch(1, 2, 0, 10.0, 0.001, 0.0);
  const std::int32_t d = add_branch(1, 1, 2, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, d, 0.01, 1.0e6, 0.0, 0.0, "DIODE       ");
  branches::thisbr(d, 1) = 1;
  storage::stori(1) = wakro::branch_code::pe_switch_first + wakro::pe_switch::diode;
  storage::stori(3) = 1;  // storf from 2
  storage::stori(8) = 1;  // stor from 2
  storage::storf(2) = 0.002;
  storage::storf(3) = 0.7;
  int1::iorv(d, 1) = wakro::switch_mode::voltage_rising;
  branches::swlevl(d, 1) = 0.7;
  int2::glvl(1) = 0.3;
  model_ = [src] {
    branches::ebr(src, 1) = 100.0 * std::sin(2.0 * 3.141592653589793 * ctrl::iii / 120.0);
  };
  start_run(400);
  step();
  step();
  const long before = g_news.load();
  const std::uint64_t small_before = wakro::detail::small_steps_taken;
  const std::uint64_t declined_before = wakro::detail::small_steps_declined;
  for (int n = 0; n < 300; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GT(wakro::detail::small_steps_taken - small_before, 250u);
  EXPECT_GE(wakro::detail::small_steps_declined - declined_before, 4u);  // two cycles and a half
}

}  // namespace
