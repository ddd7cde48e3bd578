// The step of a small plain subsystem in one routine leaves every value the
// general path leaves, to the bit, step for step: the same case run with that
// step allowed and with it held off must agree in every array the step writes,
// in the chatter counters, flags and reports, in the Norton lists and in the
// transformer-hook calls, over a run with chatter firing, chatter half steps,
// Norton conductance changes (factorisation steps in between), a late Norton
// node, line injections, and the first and last steps. And the step is taken
// only where it is exactly the general path's: every property that needs a
// stage of the general path sends the subsystem there.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "model/clvi.h"
#include "model/e_s2.h"
#include "model/storage.h"
#include "model/dim.h"
#include "model/branch_codes.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/tf_subsystems.h"
#include "model/outppp.h"
#include "network/chatter.h"
#include "network/small_subsystem.h"
#include "network/switching.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::Options;

// The general path forced (or not) while it lives.
class GeneralPath {
 public:
  explicit GeneralPath(bool forced) { wakro::detail::small_step_disabled = forced; }
  ~GeneralPath() { wakro::detail::small_step_disabled = false; }
  GeneralPath(const GeneralPath&) = delete;
  GeneralPath& operator=(const GeneralPath&) = delete;
};

int g_dsmdyn_calls = 0;
void (*g_default_dsmdyn)(std::int32_t) = nullptr;
void counted_dsmdyn(std::int32_t ss) {
  ++g_dsmdyn_calls;
  g_default_dsmdyn(ss);
}

// Every value a step writes, as bits (so that -0.0 and NaN payloads count too).
struct Trace {
  std::vector<std::uint64_t> bits;
  std::vector<std::string> names;  // what each entry is, for the failure report
  std::string text;
  std::uint64_t small_steps = 0;
  int factorisations = 0;
  int chatter_flags = 0;  // steps that ended with a chatter flag set
  std::vector<std::uint64_t> taken_per_step;    // small steps taken in each step
  std::vector<std::int32_t> factorised_by_step;  // factorisations of subsystem 1 so far

  void add(double x, const std::string& name) {
    bits.push_back(std::bit_cast<std::uint64_t>(x));
    names.push_back(name);
  }
  void add(std::int64_t x, const std::string& name) {
    bits.push_back(static_cast<std::uint64_t>(x));
    names.push_back(name);
  }
};

// Five subsystems, every node with a branch to ground, chatter level 0.3:
//   1: two nodes with a source branch.
//   2: two nodes, 1 ohm (+1 nH) to ground, joined by 1 ohm + 10 mH and by
//      10 ohm, 100 uF from node 2 to ground; an alternating 1 kA at node 1: its
//      voltages chatter.
//   3: four nodes, 1 ohm, 1 kohm and 10 kohm to ground, joined by two of
//      2 mohm each (18 branches: more than the branch pass takes without its
//      class lists); alternating 1 kA at node 1: its voltages swing below the
//      level, its currents chatter.
//   4: three nodes, 2 ohm + 20 mH to ground, joined by 5 ohm + 1 mH; a sine
//      at node 2 whose Norton conductance is 0.5 S from step 10 to step 19
//      (factorisations at both ends); from step 30 an injection at node 3, which
//      was not enabled at time zero; a line injection ramp at node 1; 2 ohm +
//      50 uF from node 3 to ground, 1 ohm + 1 mH + 20 uF from node 1 to 3. Fewer
//      nodes than subsystem 3 before it: the right-hand side past its nodes is
//      cleared.
//   5: one node, 1 ohm + 10 mH and 4 ohm + 100 uF to ground, a 2 V source
//      behind 0.5 ohm + 1 mH into it whose value steps every 7 steps, and an
//      alternating 2 A injection.
// (Subsystems of one, two and three nodes hold their node values in
// registers during the step, one of four in memory.)
class SmallSubsystem : public nettest::SparseNetwork {
 protected:
  static constexpr std::int32_t kSteps = 60;
  std::int32_t source5_ = 0;  // subsystem 5's source branch

  void build(const Options& o) {
    size(4, 18, 5);
    set_options(o);
    add_branch(1, 1, 0, 1.0, 0.01, 0.0);
    add_branch(1, 2, 0, 1.0, 0.01, 0.0);
    add_branch(1, 1, 2, 1.0, 0.01, 0.0, 0.0, 2.0);
    e_s0::mbus(1) = 2;
    add_branch(2, 1, 0, 1.0, 1e-9, 0.0);
    add_branch(2, 2, 0, 1.0, 1e-9, 0.0);
    add_branch(2, 1, 2, 1.0, 0.01, 0.0, 0.1);
    add_branch(2, 1, 2, 10.0, 0.0, 0.0);
    add_branch(2, 2, 0, 0.0, 0.0, 100.0);
    e_s0::mbus(2) = 2;
    for (std::int32_t k = 1; k <= 4; ++k) {
      add_branch(3, k, 0, 1.0, 1e-9, 0.0);
      add_branch(3, k, 0, 1e3, 1e-9, 0.0);
      add_branch(3, k, 0, 1e4, 1e-9, 0.0);
      for (std::int32_t j = 0; j < 2 && k < 4; ++j) add_branch(3, k, k + 1, 2e-3, 2e-9, 0.0);
    }
    for (std::int32_t k = 1; k <= 3; ++k) {
      add_branch(4, k, 0, 2.0, 0.02, 0.0, 0.05 * k);
      if (k < 3) add_branch(4, k, k + 1, 5.0, 0.001, 0.0);
    }
    add_branch(4, 3, 0, 2.0, 0.0, 50.0);
    add_branch(4, 1, 3, 1.0, 0.001, 20.0);
    e_s0::mbus(4) = 3;
    add_branch(5, 1, 0, 1.0, 0.01, 0.0);
    add_branch(5, 1, 0, 4.0, 0.0, 100.0);
    source5_ = add_branch(5, 0, 1, 0.5, 0.001, 0.0, 0.0, 2.0);
    e_s0::mbus(5) = 1;
    nettest::reset_chatter_counters();
    for (std::int32_t ss = 1; ss <= 5; ++ss) int2::glvl(ss) = 0.3;
    e_s0::enabccin(1, 1) = true;
    e_s0::enabccin(1, 2) = true;
    e_s0::enabccin(1, 3) = true;
    e_s0::enabccin(2, 4) = true;
    e_s0::enabccin(1, 5) = true;
    outppp::pplot = 1.0;  // chatter reports on
    model_ = [src = source5_] {
      const std::int32_t n = ctrl::iii;
      const double sign = (n & 1) != 0 ? 1.0 : -1.0;
      e_s0::ccin(1, 5) = 2.0 * sign;
      branches::ebr(src, 5) = 2.0 + 0.5 * (n / 7);
      e_s0::ccin(1, 1) = 0.5 * sign;
      e_s0::ccin(1, 2) = sign;
      e_s0::ccin(1, 3) = sign;
      e_s0::ccin(2, 4) = 0.3 * std::sin(0.4 * n);
      if (n >= 10 && n < 20) e_s0::ggin(2, 4) = 0.5;
      if (n >= 30) e_s0::ccin(3, 4) = 0.2;
      e_s0::ccli(1, 4) = 0.01 * n;
    };
  }

  // Every value of the step's arrays after each step of a run of kSteps.
  Trace run(const Options& o, bool general, bool count_hook = true) {
    return run_case(general, kSteps, [&] { build(o); }, count_hook);
  }

  // The same for the case `make` sets up, over `steps` steps; per step also the
  // small steps taken in it and the factorisations of subsystem 1 so far. With
  // count_hook the transformer hook is one that counts its calls (and is then
  // called by the small step too); without, the process's own.
  template <class Make>
  Trace run_case(bool general, std::int32_t steps, Make&& make, bool count_hook = true) {
    const GeneralPath forced(general);
    make();
    g_default_dsmdyn = wakro::network_hooks().dsmdyn;
    if (count_hook) wakro::network_hooks().dsmdyn = &counted_dsmdyn;
    g_dsmdyn_calls = 0;
    Trace t;
    const std::uint64_t taken_before = wakro::detail::small_steps_taken;
    start_run(steps);
    t.text = capture([&] {
               for (std::int32_t k = 0; k < steps; ++k) {
                 const std::uint64_t taken = wakro::detail::small_steps_taken;
                 step();
                 t.taken_per_step.push_back(wakro::detail::small_steps_taken - taken);
                 t.factorised_by_step.push_back(int2::ntriang(1));
                 record(t, k);
               }
             }).text;
    t.small_steps = wakro::detail::small_steps_taken - taken_before;
    for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) t.factorisations += int2::ntriang(ss);
    release_all_and_reset();
    wakro::reset_network_hooks();
    return t;
  }

  static void record(Trace& t, std::int32_t k) {
    const std::string at = "step " + std::to_string(k) + " ";
    t.add(std::int64_t{g_dsmdyn_calls}, at + "dsmdyn calls");
    t.add(int1::solution_time, at + "solution_time");
    t.add(std::int64_t{e_s1::onstep}, at + "onstep");
    const auto whole = [&](const auto& a, const std::string& name) {
      for (std::int32_t i = 1; i <= static_cast<std::int32_t>(a.size()); ++i) {
        if constexpr (std::is_same_v<std::decay_t<decltype(a(i))>, double>) {
          t.add(a(i), at + name + "(" + std::to_string(i) + ")");
        } else {
          t.add(std::int64_t{a(i)}, at + name + "(" + std::to_string(i) + ")");
        }
      }
    };
    whole(e_s0::ca, "ca");
    whole(temp1::caa, "caa");
    whole(spcial::vdcnew, "vdcnew");
    whole(int4::gginchange, "gginchange");
    whole(branches::geqchange, "geqchange");
    whole(temp1::consid, "consid");
    whole(temp1::icnt, "icnt");
    whole(e_s2::stor, "stor");
    t.add(std::int64_t{storage::this_}, at + "this_");
    for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
      const std::string in = "ss " + std::to_string(ss) + " ";
      t.chatter_flags += temp1::stabck(ss) ? 1 : 0;
      t.add(std::int64_t{temp1::stabck(ss)}, at + in + "stabck");
      t.add(std::int64_t{e_s8::switched(ss)}, at + in + "switched");
      t.add(std::int64_t{e_s8::mxinv(ss)}, at + in + "mxinv");
      t.add(std::int64_t{int2::nmb(ss)}, at + in + "nmb");
      t.add(std::int64_t{int2::ntriang(ss)}, at + in + "ntriang");
      for (std::int32_t j = 1; j <= int2::nmb(ss); ++j)
        t.add(std::int64_t{int2::ll(j, ss)}, at + in + "ll");
      const std::int32_t nodes = e_s0::vdc.extent(1);
      for (std::int32_t n = 1; n <= nodes; ++n) {
        const std::string node = at + in + "node " + std::to_string(n) + " ";
        for (const auto* a : {&e_s0::vdc, &e_s0::ccgm, &e_s0::ccgmd, &int4::cclid, &int4::ccind,
                              &int4::ggind})
          t.add((*a)(n, ss), node + a->name());
        t.add(std::int64_t{clvi::icntv(n, ss)}, node + "icntv");
      }
      for (std::int32_t br = 1; br <= int2::insb(ss); ++br) {
        using namespace branches;
        const std::string b = at + in + "branch " + std::to_string(br) + " ";
        for (const Real* a : {&cbr, &ccbr, &ccbrd, &ccl, &ccld, &ccc, &cccd, &v12l, &v20l, &ebrd,
                              &geqd, &geq, &ebr, &int1::xstor})
          t.add((*a)(br, ss), b + a->name());
        t.add(std::int64_t{int1::iorv(br, ss)}, b + "iorv");
        t.add(std::int64_t{openbr(br, ss)}, b + "openbr");
        t.add(std::int64_t{clvi::icntbr(br, ss)}, b + "icntbr");
      }
    }
  }

  static void expect_same(const Trace& general, const Trace& small) {
    EXPECT_EQ(small.text, general.text);
    ASSERT_EQ(small.bits.size(), general.bits.size());
    int reported = 0;
    for (std::size_t k = 0; k < general.bits.size() && reported < 10; ++k) {
      if (small.bits[k] == general.bits[k]) continue;
      ++reported;
      ADD_FAILURE() << general.names[k] << ": " << std::bit_cast<double>(small.bits[k])
                    << " against " << std::bit_cast<double>(general.bits[k]);
    }
  }
};

// With the case's default options and with each part of chatter handling off,
// the run with the small step and the run held on the general path agree in
// every value. The rows' counts check that each run went through what it is
// meant to: small steps taken (never on a step that factorises or takes the
// half step: fewer than five a step), the
// factorisations of subsystem 4's Norton changes, chatter flags set and
// reported, the late node reported.
TEST_F(SmallSubsystem, EveryValueOfEveryStepEqualsTheGeneralPath) {
  struct Row {
    const char* name;
    Options options;
    bool chatter;  // chatter detection on: flags and reports expected
  };
  const Row rows[] = {
      {"defaults", {true, true, true, false}, true},
      {"no removal", {true, false, true, false}, true},
      {"removal without detection", {true, true, false, false}, false},
      {"nothing", {false, false, false, false}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const Trace general = run(r.options, true);
    const Trace small = run(r.options, false);
    expect_same(general, small);
    // With the process's own transformer hook, whose work the small step does
    // itself.
    expect_same(run(r.options, true, false), run(r.options, false, false));
    EXPECT_EQ(general.small_steps, 0u);
    EXPECT_GT(small.small_steps, std::uint64_t{kSteps});
    EXPECT_LT(small.small_steps, std::uint64_t{5 * kSteps});
    EXPECT_EQ(small.factorisations, general.factorisations);
    EXPECT_EQ(small.factorisations, 5 + 2);  // at time zero, and at steps 10 and 20
    EXPECT_NE(small.text.find("Node 3 of subsystem 4 receives an injection that was not enabled"),
              std::string::npos);
    if (r.chatter) {
      EXPECT_GT(small.chatter_flags, 0);
      EXPECT_NE(small.text.find("Voltage chatter:        SS#  2 Node#    1\n"), std::string::npos)
          << small.text;
      EXPECT_NE(small.text.find("Current chatter:        SS#  3   Br#    4\n"), std::string::npos)
          << small.text;
    } else {
      EXPECT_EQ(small.text.find("chatter:"), std::string::npos) << small.text;
    }
  }
}

// A Norton list out of order, as a restored state may hold it (nodes 3 and 1
// of a three-node subsystem, from the first step on): its nodes are the
// listed ones, whatever their order, so that no injection at them is taken
// for a late one, and the small step adds each node's injections as the
// general path does. An injection at node 2 from step 20 is the one late node.
TEST_F(SmallSubsystem, ANortonListOutOfOrderNamesItsNodes) {
  const auto make = [&] {
    size(3, 4);
    set_options({true, true, true, false});
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, k, 0, 2.0, 0.02, 0.0);
    add_branch(1, 1, 3, 5.0, 0.001, 0.0);
    e_s0::mbus(1) = 3;
    e_s0::enabccin(1, 1) = true;
    e_s0::enabccin(3, 1) = true;
    model_ = [] {
      if (ctrl::iii == 1) {
        int2::ll(1, 1) = 3;
        int2::ll(2, 1) = 1;
      }
      e_s0::ccin(1, 1) = 0.5;
      e_s0::ccin(3, 1) = -0.25 * ctrl::iii;
      if (ctrl::iii >= 20) e_s0::ccin(2, 1) = 1.0;
    };
  };
  const Trace general = run_case(true, 40, make, false);
  const Trace small = run_case(false, 40, make, false);
  expect_same(general, small);
  EXPECT_GT(small.small_steps, 30u);
  const std::string late = "receives an injection that was not enabled";
  const std::size_t at = small.text.find(late);
  ASSERT_NE(at, std::string::npos) << small.text;
  EXPECT_NE(small.text.find("Node 2 of subsystem 1 " + late), std::string::npos) << small.text;
  EXPECT_EQ(small.text.find(late, at + 1), std::string::npos) << small.text;
}

// Networks drawn at random (a fixed seed, so the same every run) of one to four
// nodes, each node with R-L to ground, then two to seven branches between
// random ends (ground among them) with R, R-L, R-C or R-L-C and a source on some,
// an alternating injection at a random node and chatter handling on: over 40
// steps the small step leaves every value the general path leaves. Nodes one to
// three take the step's code that holds its node values in registers, four the
// one in memory; the draws put branches in either direction, sources on either
// end and several branches on one pair of nodes.
TEST_F(SmallSubsystem, RandomNetworksOfOneToFourNodesEqualTheGeneralPath) {
  constexpr int kNetworks = 24;
  constexpr std::int32_t kRunSteps = 40;
  std::uint64_t seed = 0x9e3779b97f4a7c15u;
  const auto next = [&seed] {  // xorshift64
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
  };
  const auto pick = [&next](std::int32_t count) { return static_cast<std::int32_t>(next() % count); };
  const auto uniform = [&next](double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(next() >> 11) / 9007199254740992.0;
  };
  for (int net = 0; net < kNetworks; ++net) {
    const std::int32_t n = 1 + net % 4;
    SCOPED_TRACE("network " + std::to_string(net) + ", " + std::to_string(n) + " nodes");
    struct Branch {
      std::int32_t from, to;
      double r, l, c, e;
    };
    std::vector<Branch> drawn;
    for (std::int32_t k = 1; k <= n; ++k) drawn.push_back({k, 0, uniform(1.0, 5.0), 0.01, 0.0, 0.0});
    const std::int32_t extra = 2 + pick(6);
    for (std::int32_t b = 0; b < extra; ++b) {
      std::int32_t from = pick(n + 1);
      std::int32_t to = pick(n + 1);
      if (from == to) to = (from + 1) % (n + 1);
      const std::int32_t kind = pick(4);  // R, R-L, R-C, R-L-C
      const double l = (kind & 1) != 0 ? uniform(1e-3, 2e-2) : 0.0;
      const double c = (kind & 2) != 0 ? uniform(10.0, 200.0) : 0.0;
      const double e = pick(3) == 0 ? uniform(-5.0, 5.0) : 0.0;
      drawn.push_back({from, to, uniform(0.5, 20.0), l, c, e});
    }
    const std::int32_t injected = 1 + pick(n);
    const double amplitude = uniform(0.5, 3.0);
    const auto make = [&] {
      size(n, static_cast<std::int32_t>(drawn.size()));
      set_options({true, true, true, false});
      std::vector<std::int32_t> sources;
      for (const Branch& b : drawn) {
        const std::int32_t id = add_branch(1, b.from, b.to, b.r, b.l, b.c, 0.0, b.e);
        if (b.e != 0.0) sources.push_back(id);
      }
      e_s0::mbus(1) = n;
      nettest::reset_chatter_counters();
      int2::glvl(1) = 0.3;
      e_s0::enabccin(injected, 1) = true;
      model_ = [=] {
        const std::int32_t k = ctrl::iii;
        e_s0::ccin(injected, 1) = (k & 1) != 0 ? amplitude : -0.6 * amplitude;
        for (const std::int32_t b : sources)
          branches::ebr(b, 1) = 3.0 * std::sin(0.3 * k + b);
      };
    };
    const Trace general = run_case(true, kRunSteps, make, false);
    const Trace small = run_case(false, kRunSteps, make, false);
    expect_same(general, small);
    EXPECT_GT(small.small_steps, std::uint64_t{kRunSteps / 2});
  }
}

// A single-phase diode bridge with sources and switches in one subsystem of four
// nodes: a 100 V sine of 120 steps a cycle behind 0.5 ohm + 5 mH from ground to
// node 1, node 2 to ground by 0.2 ohm + 2 mH, diodes 1 -> 3, 2 -> 3, 4 -> 1 and
// 4 -> 2 (0.01 ohm ON, 1 Mohm OFF, 2 mA holding current, 0.7 V forward voltage:
// each waits in a voltage mode while OFF and a current mode while ON), the DC
// side 20 ohm + 10 mH and 1 ohm + 50 uF from 3 to 4, 10 kohm from 3 and from 4 to
// ground, and a switch from 3 to ground (50 ohm ON) closed at the instant
// 150.4 steps in (the timed mode). Chatter level 0.3.
class SmallSwitched : public SmallSubsystem {
 protected:
  static constexpr std::int32_t kBridgeSteps = 400;

  // A diode j f -> t: its switch record at stori 1 + 10 j, storf from 4 j + 1,
  // stor from 20 j + 1; OFF, waiting for its forward voltage.
  std::int32_t diode(std::int32_t j, std::int32_t f, std::int32_t t) {
    const std::int32_t b = add_branch(1, f, t, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, b, 0.01, 1.0e6, 0.0, 0.0, "DIODE       ");
    const std::int32_t rec = 1 + 10 * j;
    branches::thisbr(b, 1) = rec;
    storage::stori(rec) = wakro::branch_code::pe_switch_first + wakro::pe_switch::diode;
    storage::stori(rec + 2) = 4 * j;
    storage::stori(rec + 7) = 20 * j;
    storage::storf(4 * j + 1) = 0.002;
    storage::storf(4 * j + 2) = 0.7;
    int1::iorv(b, 1) = wakro::switch_mode::voltage_rising;
    branches::swlevl(b, 1) = 0.7;
    return b;
  }

  void bridge(const Options& o) {
    extra_dims_ = {{dim::stor, 200}, {dim::stori, 80}, {dim::storf, 40}};
    size(4, 11);
    set_options(o);
    const std::int32_t src = add_branch(1, 0, 1, 0.5, 0.005, 0.0, 0.0, 1.0);
    add_branch(1, 2, 0, 0.2, 0.002, 0.0);
    add_branch(1, 3, 4, 20.0, 0.01, 0.0);
    add_branch(1, 3, 4, 1.0, 0.0, 50.0);
    add_branch(1, 3, 0, 1.0e4, 0.0, 0.0);
    add_branch(1, 4, 0, 1.0e4, 0.0, 0.0);
    diode(0, 1, 3);
    diode(1, 2, 3);
    diode(2, 4, 1);
    diode(3, 4, 2);
    const std::int32_t load = add_branch(1, 3, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, load, 50.0, 1.0e6, 0.0, 0.0, "LOAD        ");
    int1::iorv(load, 1) = wakro::switch_mode::timed;
    branches::swlevl(load, 1) = 150.4 * e_s1::delt;
    e_s0::mbus(1) = 4;
    nettest::reset_chatter_counters();
    int2::glvl(1) = 0.3;
    outppp::pplot = 1.0;
    model_ = [src] {
      branches::ebr(src, 1) = 100.0 * std::sin(2.0 * 3.141592653589793 * ctrl::iii / 120.0);
    };
  }
};

// Through commutations, with each part of chatter handling on and off, and
// without interpolation (no switch takes part), the run with the small step and
// the run held on the general path agree in every value after every step. A
// step in which a switch operated (the subsystem factorised in it) never took
// the small step: its attempt found the crossing and left the step to the
// general path, which shows as declined attempts; most steps take it.
TEST_F(SmallSwitched, ABridgeThroughCommutationsEqualsTheGeneralPath) {
  struct Row {
    const char* name;
    Options options;
  };
  const Row rows[] = {
      {"defaults", {true, true, true, false}},
      {"no removal", {true, false, true, false}},
      {"removal without detection", {true, true, false, false}},
      {"no chatter handling", {true, false, false, false}},
      {"no interpolation", {false, false, false, false}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const auto make = [&] { bridge(r.options); };
    const Trace general = run_case(true, kBridgeSteps, make);
    const std::uint64_t declined_before = wakro::detail::small_steps_declined;
    const Trace small = run_case(false, kBridgeSteps, make);
    const std::uint64_t declined = wakro::detail::small_steps_declined - declined_before;
    expect_same(general, small);
    EXPECT_EQ(general.small_steps, 0u);
    EXPECT_GT(small.small_steps, std::uint64_t{kBridgeSteps / 2});
    int switching_steps = 0;
    for (std::int32_t k = 1; k < kBridgeSteps; ++k) {
      const bool factorised = small.factorised_by_step[k] > small.factorised_by_step[k - 1];
      switching_steps += factorised ? 1 : 0;
      if (factorised) {
        EXPECT_EQ(small.taken_per_step[k], 0u) << "step " << k;
      }
    }
    EXPECT_EQ(small.factorised_by_step.back(), general.factorised_by_step.back());
    if (r.options.interpolate) {
      // Four commutations a cycle and the load switch: more than ten steps with
      // a switching, each found by an attempt of the small step.
      EXPECT_GT(switching_steps, 10);
      EXPECT_GT(declined, 10u);
      EXPECT_LE(declined, static_cast<std::uint64_t>(switching_steps));
    } else {
      EXPECT_EQ(declined, 0u);
      EXPECT_EQ(switching_steps, 0);  // nothing switches, nothing changes the matrix
    }
  }
}

// A switch that crosses inside every step: a diode (as in the bridge) from
// node 1 to node 2, 10 ohm from node 2 to ground, node 1 fed through 1 ohm by a
// source of +10 V and -10 V on alternate steps, so that the diode turns on in
// one step and off in the next; from step 100 on the source holds +10 V and
// nothing crosses. Each declined attempt of the small step pauses the next ones
// (1, 3, 7, then 15 steps). Time zero is step 0 and the first step 1, neither of
// which attempts it: attempts at steps 2, 4, 8, 16, 32, 48, 64, 80 and 96, all
// declined; the next, at step 112, is taken, and so is every later step but the
// last. The values are the general path's throughout.
TEST_F(SmallSwitched, ASwitchCrossingInEveryStepPausesTheAttempts) {
  constexpr std::int32_t kSteps = 160;
  const auto make = [&] {
    extra_dims_ = {{dim::stor, 40}, {dim::stori, 20}, {dim::storf, 10}};
    size(2, 3);
    set_options({true, false, false, false});
    const std::int32_t src = add_branch(1, 0, 1, 1.0, 0.0, 0.0, 0.0, 1.0);
    add_branch(1, 2, 0, 10.0, 0.0, 0.0);
    diode(0, 1, 2);
    e_s0::mbus(1) = 2;
    model_ = [src] {
      branches::ebr(src, 1) = ctrl::iii >= 100 || (ctrl::iii & 1) != 0 ? 10.0 : -10.0;
    };
  };
  const Trace general = run_case(true, kSteps, make);
  const std::uint64_t declined_before = wakro::detail::small_steps_declined;
  const Trace small = run_case(false, kSteps, make);
  const std::uint64_t declined = wakro::detail::small_steps_declined - declined_before;
  expect_same(general, small);
  EXPECT_EQ(declined, 9u);
  std::int32_t first_taken = -1;
  for (std::int32_t k = 0; k < kSteps && first_taken < 0; ++k)
    if (small.taken_per_step[k] > 0) first_taken = k;
  EXPECT_EQ(first_taken, 112);
  EXPECT_EQ(small.small_steps, static_cast<std::uint64_t>(kSteps - 112 - 1));
  // Every step up to 100 switched (the subsystem factorised in it).
  EXPECT_GE(small.factorised_by_step[99] - small.factorised_by_step[0], 99);
}

// One subsystem of two nodes, 1 ohm + 10 mH to ground each, with one property
// changed per row: the small step is taken on the ordinary steps of the plain
// subsystem only. Chatter removal is off, so that only the row's property
// decides (a row turns it on).
class SmallStepConditions : public nettest::SparseNetwork {
 public:  // for the rows' changes
  using SparseNetwork::add_branch;
  using SparseNetwork::add_ideal;
  using SparseNetwork::force_sparse;
};

void replaced_detector(std::int32_t ss, std::int32_t mode) { chatdt(ss, mode); }
double own_crossing_through_the_hook(std::int32_t ss, std::int32_t br, const wakro::SubStep& s) {
  return wakro::switch_crossing(ss, br, s);
}

TEST_F(SmallStepConditions, OnlyAPlainSubsystemOnAnOrdinaryStepTakesIt) {
  struct Row {
    const char* name;
    std::int32_t nodes;
    std::function<void(SmallStepConditions&)> change;
    bool taken;
    bool room_for_a_transformer = false;
  };
  using F = SmallStepConditions;
  const Row rows[] = {
      {"plain", 2, [](F&) {}, true},
      {"plain, fifteen nodes", 15, [](F&) {}, true},
      {"sixteen nodes", 16, [](F&) {}, false},
      {"a capacitor in a branch", 2, [](F& f) { f.add_branch(1, 1, 2, 1.0, 0.01, 5.0); }, true},
      {"a capacitor alone", 2, [](F& f) { f.add_branch(1, 1, 2, 0.0, 0.0, 5.0); }, true},
      {"a resistor alone", 2, [](F& f) { f.add_branch(1, 1, 2, 1.0, 0.0, 0.0); }, true},
      {"a source", 2, [](F& f) { f.add_branch(1, 1, 2, 1.0, 0.01, 0.0, 0.0, 2.0); }, true},
      {"a deferred branch", 2, [](F&) { branches::defrdbr(1, 1) = true; }, false},
      {"a switch", 2, [](F& f) { f.add_branch(1, 1, 2, 1.0, 0.0, 0.0, 0.0, 0.0, true); }, true},
      {"an arrester mode", 2,
       [](F&) { int1::iorv(2, 1) = wakro::switch_mode::arrester; }, false},
      {"a segmented mode", 2,
       [](F&) { int1::iorv(2, 1) = -wakro::switch_mode::segmented; }, false},
      {"a switch with a crossing test put in place", 2,
       [](F& f) {
         f.add_branch(1, 1, 2, 1.0, 0.0, 0.0, 0.0, 0.0, true);
         wakro::network_hooks().switch_crossing = &own_crossing_through_the_hook;
       },
       false},
      {"a crossing test put in place, no switch", 2,
       [](F&) { wakro::network_hooks().switch_crossing = &own_crossing_through_the_hook; }, true},
      {"forty-eight branches", 2,
       [](F& f) {
         for (int k = 0; k < 46; ++k) f.add_branch(1, 1, 2, 1.0e3, 0.0, 0.0);
       },
       true},
      {"forty-nine branches", 2,
       [](F& f) {
         for (int k = 0; k < 47; ++k) f.add_branch(1, 1, 2, 1.0e3, 0.0, 0.0);
       },
       false},
      {"an ideal branch", 2, [](F& f) { f.add_ideal(1, 1, 2); }, false},
      {"source extrapolation", 2, [](F&) { options::xterpsrc(1) = true; }, false},
      {"a detector put in place", 2,
       [](F&) { wakro::network_hooks().chatdt = &replaced_detector; }, false},
      {"a detector put in place, detection off", 2,
       [](F&) {
         wakro::network_hooks().chatdt = &replaced_detector;
         options::dtchatter(1) = false;
       },
       true},
      {"the sparse solver", 2, [](F& f) { f.force_sparse(); }, false},
      // A transformer counted in the subsystem (its windings elsewhere: the
      // general path finds none of them and leaves the same values).
      {"a transformer", 2,
       [](F&) {
         e_s5::jset = 1;
         e_s5::numt(1) = 1;
         e_s5tap::tss(1) = 2;
         e_s5::msiz(1) = 1;
         e_s5::mark_stale();
       },
       false, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    extra_dims_.clear();
    if (r.room_for_a_transformer) extra_dims_ = {{dim::windings, 1}, {dim::trafos, 1}};
    size(std::max(r.nodes, 2), r.nodes + 50);
    set_options({true, false, true, false});
    for (std::int32_t k = 1; k <= r.nodes; ++k) add_branch(1, k, 0, 1.0, 0.01, 0.0);
    e_s0::enabccin(1, 1) = true;
    model_ = [] { e_s0::ccin(1, 1) = 1.0; };
    r.change(*this);
    start_run(8);
    const std::uint64_t before = wakro::detail::small_steps_taken;
    capture([&] {
      for (int k = 0; k < 8; ++k) step();
    });
    // Time zero (the first step) and the last step factorise: six ordinary steps.
    EXPECT_EQ(wakro::detail::small_steps_taken - before, r.taken ? 6u : 0u);
    e_s5::jset = 0;
    e_s5::mark_stale();
    release_all_and_reset();
    wakro::reset_network_hooks();
  }
}

// The step's start clears the conductance-change flags of the subsystem's
// branches, and of them only: the flags of the branch numbers past its count
// (another subsystem's) keep what they hold, whatever the count (the few flags
// of a small subsystem are cleared by overlapping words, many by one call).
TEST_F(SmallStepConditions, TheStepStartClearsTheFlagsOfItsBranchesOnly) {
  constexpr std::int32_t kRoom = 48;  // branch numbers
  for (const std::int32_t nbr : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 24, 31, 32, 33, 40, 47}) {
    SCOPED_TRACE(nbr);
    const std::int32_t nodes = std::min(nbr, 2);
    size(nodes, kRoom);
    set_options({true, false, true, false});
    for (std::int32_t k = 1; k <= nbr; ++k) add_branch(1, 1 + (k - 1) % nodes, 0, 1.0e3, 0.01, 0.0);
    e_s0::enabccin(1, 1) = true;
    model_ = [] { e_s0::ccin(1, 1) = 1.0; };
    start_run(4);
    ASSERT_EQ(capture([&] { step(); }).status, -1);  // time zero
    const auto flags = static_cast<std::int32_t>(branches::geqchange.size());
    ASSERT_GE(flags, nbr + 1);
    branches::geqchange.fill(true);
    const std::uint64_t taken = wakro::detail::small_steps_taken;
    ASSERT_EQ(capture([&] { step(); }).status, -1);
    EXPECT_EQ(wakro::detail::small_steps_taken - taken, 1u);
    for (std::int32_t k = 1; k <= flags; ++k) EXPECT_EQ(branches::geqchange(k), k > nbr) << "flag " << k;
    release_all_and_reset();
  }
}

// Chatter removal with its flag set (as a factorisation leaves it) takes the
// half step on the general path, and so does a switching between steps under
// interpolation (a re-solution at the step's start); the next steps are small
// ones again.
TEST_F(SmallStepConditions, TheHalfStepAndTheStartReSolutionStayOnTheGeneralPath) {
  size(2, 2);
  set_options({true, true, true, false});
  add_branch(1, 1, 0, 1.0, 0.01, 0.0);
  add_branch(1, 2, 0, 1.0, 0.01, 0.0);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 1.0; };
  start_run(10);
  const std::uint64_t before = wakro::detail::small_steps_taken;
  const auto taken = [&] { return wakro::detail::small_steps_taken - before; };
  step();  // time zero: the factorisation, and its half step
  EXPECT_FALSE(temp1::stabck(1));
  EXPECT_EQ(taken(), 0u);
  step();
  EXPECT_EQ(taken(), 1u);
  temp1::stabck(1) = true;
  step();  // the half step
  EXPECT_FALSE(temp1::stabck(1));
  EXPECT_EQ(taken(), 1u);
  step();
  EXPECT_EQ(taken(), 2u);
  e_s8::switched(1) = true;
  step();  // the re-solution at the step's start
  EXPECT_FALSE(e_s8::switched(1));
  EXPECT_EQ(taken(), 2u);
  step();
  EXPECT_EQ(taken(), 3u);
}

}  // namespace
