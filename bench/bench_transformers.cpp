// Per-step cost of the network solution with two-winding transformers: units of
// the case's first group (ideal coupling, 50 us step), each winding from its own
// node to ground, every node with 50 ohm + 0.1 H to ground and node 1 of each
// subsystem driven by a 1 kA Norton injection. Two layouts: 10, 100 and 1,000
// units in one subsystem, and 100 units spread one per subsystem over 100
// subsystems. With per-subsystem transformer lists the spread layout costs about
// what the single one does for the same number of units. A third pair compares a
// step in which a tap changer re-forms one of 100 units (its matrices, the
// conductance matrix and the re-factorisation) with a step in which it only
// looks at its tap. A last pair steps one UMEC unit (core type 3) driven well
// into saturation, whose core is reduced again (admform) on every saturated
// step, against the same unit with its saturation disabled (linear core).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "bench_case.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s8.h"
#include "model/groups.h"
#include "model/initialz.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/temp1.h"
#include "model/tf_subsystems.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"
#include "transformers/services.h"
#include "transformers/taps.h"
#include "transformers/tf_cfg.h"
#include "model/rt_config.h"
#include "model/umec.h"
#include "transformers/settfparm.h"
#include "transformers/umec_ramp.h"

namespace {

constexpr double kDelt = 5.0e-5;

using wakro_bench::release_case;

// nss subsystems of `nodes` nodes each, room for `units` transformers.
void allocate(std::int32_t nss, std::int32_t nodes, std::int32_t units) {
  release_case();
  for (int k = 1; k <= 80; ++k) ndde::e_ndim(k) = 0;
  ndde::e_ndim(dim::nodes) = nodes;
  ndde::e_ndim(dim::subsys) = nss;
  ndde::e_ndim(dim::branches) = nodes;
  ndde::e_ndim(dim::windings) = 2;
  ndde::e_ndim(dim::trafos) = units;
  ndde::e_ndim(dim::sparsity) = 2 * nodes + 1;
  ndde::e_ndim(dim::stor) = 5;
  ndde::nd74 = ndde::nd75 = 0;
  std::int32_t status = 0;
  ndde::allocate_nd(status);
  a_sparsity();
  wakro_initialz();
  e_s0::allocate_ssdim_array(nss, status);
  for (std::int32_t s = 1; s <= nss; ++s) e_s0::ssdim(s) = nodes;
  e_s0::allocate_ss_matrices(nss, e_s0::ssdim, status);
  e_s0::allocate_ss_matrices2(nss, e_s0::ssdim, status);
  int2::nmat = nss;
  for (std::int32_t s = 1; s <= nss; ++s) {
    e_s0::mbus(s) = nodes;
    int2::insb(s) = 0;
    branches::nsw(s) = 0;
    options::interpss(s) = true;
    options::rmchatter(s) = options::dtchatter(s) = true;  // a case's defaults
    options::xterpsrc(s) = false;
  }
  e_s1::delt = ctrl::ddelt = kDelt;
  e_s5::jset = 0;
  e_s5::mark_stale();
}

void add_rl_to_ground(std::int32_t ss, std::int32_t node) {
  using namespace branches;
  const std::int32_t b = ++int2::insb(ss);
  ief(b, ss) = node;
  iet(b, ss) = 0;
  resistor(b, ss) = inductor(b, ss) = true;
  const wakro::Companion k = wakro::series_companion(50.0, 0.1, 0.0, true, false, kDelt);
  wakro::set_branch_companion(b, ss, k);
  int1::xstor(b, ss) = wakro::kNoCrossing;
  wakro::stamp_branch(ss, node, 0, geq(b, ss));
}

// Unit u of subsystem ss on nodes (2u - 1, 2u).
void add_unit(std::int32_t ss, std::int32_t u) {
  const std::int32_t k = ++e_s5::jset;
  e_s5::msiz(k) = 2;
  e_s5tap::tss(k) = ss;
  ++e_s5::numt(ss);
  e_s5::mcb(1, k) = 2 * u - 1;
  e_s5::mcb(2, k) = 2 * u;
  e_s5::ncb(1, k) = e_s5::ncb(2, k) = 0;
  e_tf2w_cfg(k, 1, 33.3333333333333, 60.0, 0.0625, 0.0, 10.392304845413268, 132.79056191361397, 2.0);
}

void build(std::int32_t nss, std::int32_t units_per_ss, bool with_units) {
  wakro::use_transformer_services();
  const std::int32_t nodes = 2 * units_per_ss;
  allocate(nss, nodes, nss * units_per_ss);
  for (std::int32_t s = 1; s <= nss; ++s) {
    for (std::int32_t n = 1; n <= nodes; ++n) add_rl_to_ground(s, n);
    if (with_units)
      for (std::int32_t u = 1; u <= units_per_ss; ++u) add_unit(s, u);
  }
  wakro_buildgm();
  for (std::int32_t s = 1; s <= nss; ++s) {
    e_s0::enabccin(1, s) = true;
    e_s8::mxinv(s) = 1;
    temp1::stabck(s) = true;
  }
  ctrl::iii = 0;
  e_s1::timezero = e_s1::firststep = true;
  e_s1::laststep = false;
}

void step(std::int32_t nss) {
  for (std::int32_t s = 1; s <= nss; ++s) e_s0::ccin(1, s) = 1.0;
  e_s1::time = kDelt * ctrl::iii;
  intsolvi();
  e_s1::timezero = e_s1::firststep = false;
  ++ctrl::iii;
}

void run(benchmark::State& state, std::int32_t nss, std::int32_t per_ss, bool with_units = true) {
  build(nss, per_ss, with_units);
  step(nss);  // time zero, untimed
  for (auto _ : state) {
    step(nss);
    benchmark::DoNotOptimize(e_s0::vdc(1, 1));
  }
  state.counters["units"] = with_units ? nss * per_ss : 0;
  if (state.iterations() > 0) {  // beside it: chatter detection and removal off
    wakro_bench::set_chatter(false);
    state.counters["chatter_off_ns"] = 1e9 * wakro_bench::median_seconds_per_step([nss] { step(nss); });
    wakro_bench::set_chatter(true);
  }
  release_case();
}

void BM_UnitsInOneSubsystem(benchmark::State& state) {
  run(state, 1, static_cast<std::int32_t>(state.range(0)));
}
void BM_UnitsOnePerSubsystem(benchmark::State& state) {
  run(state, static_cast<std::int32_t>(state.range(0)), 1);
}

// The same networks without the transformers: what the solution costs by itself,
// so that the transformers' share of each layout shows.
void BM_NetworkOnlyOneSubsystem(benchmark::State& state) {
  run(state, 1, static_cast<std::int32_t>(state.range(0)), false);
}
void BM_NetworkOnlyOnePerSubsystem(benchmark::State& state) {
  run(state, static_cast<std::int32_t>(state.range(0)), 1, false);
}

// 100 units in one subsystem with a tap changer on winding 1 of unit 1, called
// every step. With `change` the tap alternates between 1.1 and 1.0 and its
// watched current is taken as zero, so every timed step re-forms the unit.
void run_tap(benchmark::State& state, bool change) {
  build(1, 100, true);
  auto tap_call = [&](bool high) {
    e_s2::nexc = 0;
    if (change) e_s2::stor(2) = 0.0;
    trtap5(1, 1, 1, high ? 1.1 : 1.0);
  };
  tap_call(false);
  step(1);  // time zero, untimed
  bool high = false;
  for (auto _ : state) {
    high = change && !high;
    tap_call(high);
    step(1);
    benchmark::DoNotOptimize(e_s0::vdc(1, 1));
  }
  release_case();
}
void BM_StepWithTapChange(benchmark::State& state) { run_tap(state, true); }
void BM_StepWithoutTapChange(benchmark::State& state) { run_tap(state, false); }

// One UMEC unit, windings from nodes 1 and 2 to ground, 100 turns each, knee at
// unit flux density; 2 kA at 50 Hz into node 1 saturates its limb on most steps.
void build_umec(bool saturating) {
  wakro::use_transformer_services();
  allocate(1, 2, 1);
  add_rl_to_ground(1, 1);
  add_rl_to_ground(1, 2);
  std::int32_t k = ++e_s5::jset;
  e_s5::msiz(k) = 2;
  e_s5::nummag(k) = 1;
  e_s5tap::tss(k) = -1;
  ++e_s5::numt(1);
  for (std::int32_t w = 1; w <= 2; ++w) {
    e_s5::mcb(w, k) = w;
    e_s5::ncb(w, k) = 0;
    rt_config::umecwdgdata(w, 1) = 100.0;
    rt_config::umecwdgdata(w, 2) = 0.001;
  }
  umec::cor(k) = 3;
  umec::bn(k) = 5;
  umec::satenab(k) = saturating ? 1 : 0;
  const double core[8] = {1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  for (std::int32_t i = 1; i <= 8; ++i) rt_config::umectfdata(i) = core[i - 1];
  const double x[3] = {1.0, 2.0, 3.0}, y[3] = {1.0, 1.5, 1.8};
  for (std::int32_t i = 1; i <= 10; ++i) {
    rt_config::umecsatdata(i, 1) = i <= 3 ? x[i - 1] : 0.0;
    rt_config::umecsatdata(i, 2) = i <= 3 ? y[i - 1] : 0.0;
  }
  std::int32_t kind = wakro::kTfUmec;
  wakro_settfparm(k, kind);
  wakro_bench::prepare_time_zero(1);
}

void umec_step() {
  e_s1::time = kDelt * ctrl::iii;
  e_s0::ccin(1, 1) = 2.0 * std::sin(100.0 * M_PI * e_s1::time);
  e_s2::nexc = 0;
  umecsat5(1, 1, 50.0);
  intsolvi();
  e_s1::timezero = e_s1::firststep = false;
  ++ctrl::iii;
}

void run_umec(benchmark::State& state, bool saturating) {
  build_umec(saturating);
  umec_step();  // time zero, untimed
  std::int64_t saturated = 0, steps = 0;
  for (auto _ : state) {
    umec_step();
    saturated += umec::satflag(1, 1);
    ++steps;
    benchmark::DoNotOptimize(e_s0::vdc(1, 1));
  }
  state.counters["saturated_share"] = steps > 0 ? static_cast<double>(saturated) / static_cast<double>(steps) : 0.0;
  release_case();
}
void BM_UmecSaturated(benchmark::State& state) { run_umec(state, true); }
void BM_UmecLinear(benchmark::State& state) { run_umec(state, false); }

BENCHMARK(BM_UmecSaturated);
BENCHMARK(BM_UmecLinear);
BENCHMARK(BM_StepWithTapChange);
BENCHMARK(BM_StepWithoutTapChange);
BENCHMARK(BM_UnitsInOneSubsystem)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_UnitsOnePerSubsystem)->Arg(100);
BENCHMARK(BM_NetworkOnlyOneSubsystem)->Arg(100);
BENCHMARK(BM_NetworkOnlyOnePerSubsystem)->Arg(100);

}  // namespace
