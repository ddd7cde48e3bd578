// Cost of a time step with switchings inside it, on the resistive-inductive
// ladder of n nodes (node k: 50 ohm + 0.1 H to ground, 1 ohm + 10 mH to node k+1;
// 1 kA into node 1). k timed switches (0.01 ohm ON, 1 Mohm OFF) from nodes in the
// middle of the ladder to ground operate at k instants spread over every step,
// each changing state, so a step costs k re-factorisations from the switch's node,
// k re-solutions and k + 1 normal solutions. Compared with no switch at all.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s8.h"
#include "model/groups.h"
#include "model/initialz.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/temp1.h"
#include "network/solution.h"
#include "network/switching.h"

namespace {

constexpr double kDelt = 5.0e-5;

void release() {
  ndde::deallocate_nd();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
}

// A series R-L branch f -> t (t = 0: to ground), or a switch (then not in GM).
std::int32_t add_branch(std::int32_t f, std::int32_t t, double r, double l, bool is_switch) {
  using namespace branches;
  const std::int32_t b = ++int2::insb(1);
  ief(b, 1) = f;
  iet(b, 1) = t;
  resistor(b, 1) = true;
  inductor(b, 1) = l != 0.0;
  switch_(b, 1) = is_switch;
  const double xl = 2.0 * l / kDelt;
  const double g = 1.0 / (r + xl);
  g2l(b, 1) = xl != 0.0 ? 1.0 / xl : 0.0;
  geq(b, 1) = geqd(b, 1) = geqon(b, 1) = geqof(b, 1) = g;
  rlg(b, 1) = g * xl;
  rsc(b, 1) = r * g * xl;
  int1::xstor(b, 1) = 1.5;
  if (is_switch) {
    brnsw(++nsw(1), 1) = b;
    return b;
  }
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  if (t == 0) {
    gm(f, f) += g;
  } else {
    e_s0::FillView filled = e_s0::assign_filled_ptr(1);
    filled(f, t) = filled(t, f) = true;
    gm(t, f) += g;
    gm(f, t) = gm(t, f);
  }
  return b;
}

void build(std::int32_t n, std::int32_t switches) {
  release();
  for (int k = 1; k <= 80; ++k) ndde::e_ndim(k) = 0;
  ndde::e_ndim(1) = n;
  ndde::e_ndim(2) = 1;
  ndde::e_ndim(15) = 2 * n + switches;
  ndde::e_ndim(19) = 2 * n + 1;
  ndde::nd74 = ndde::nd75 = 0;
  std::int32_t status = 0;
  ndde::allocate_nd(status);
  a_sparsity();
  wakro_initialz();
  e_s0::allocate_ssdim_array(1, status);
  e_s0::ssdim(1) = n;
  e_s0::allocate_ss_matrices(1, e_s0::ssdim, status);
  e_s0::allocate_ss_matrices2(1, e_s0::ssdim, status);
  int2::nmat = 1;
  e_s0::mbus(1) = n;
  int2::insb(1) = 0;
  branches::nsw(1) = 0;
  e_s1::delt = ctrl::ddelt = kDelt;
  options::interpss(1) = true;
  options::rmchatter(1) = false;
  options::dtchatter(1) = false;
  options::xterpsrc(1) = false;
  for (std::int32_t k = 1; k <= n; ++k) {
    add_branch(k, 0, 50.0, 0.1, false);
    if (k < n) add_branch(k, k + 1, 1.0, 0.01, false);
  }
  for (std::int32_t j = 1; j <= switches; ++j) {
    const std::int32_t b = add_branch(n / 2 + j, 0, 1.0e6, 0.0, true);
    wakro_initswbr(1, b, 0.01, 1.0e6, 0.0, 0.0, "BENCH       ");
  }
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  for (std::int32_t j = 1; j <= n; ++j) {
    double sum = 0.0;
    for (std::int32_t i = 1; i <= n; ++i) sum += gm(i, j);
    gm(j, j) = sum;
  }
  e_s0::enabccin(1, 1) = true;
  e_s8::mxinv(1) = 1;
  temp1::stabck(1) = true;
  ctrl::iii = 0;
  e_s1::timezero = e_s1::firststep = true;
  e_s1::laststep = false;
}

// One step: every switch is timed again, switch j at (j - 0.5) / k of the step.
void step(std::int32_t switches) {
  e_s1::time = kDelt * ctrl::iii;
  const double start = kDelt * (ctrl::iii - 1);
  for (std::int32_t j = 1; j <= switches; ++j) {
    const std::int32_t b = branches::brnsw(j, 1);
    int1::iorv(b, 1) = 8;
    branches::swlevl(b, 1) = start + kDelt * (j - 0.5) / switches;
  }
  e_s0::ccin(1, 1) = 1.0;
  intsolvi();
  e_s1::timezero = e_s1::firststep = false;
  ++ctrl::iii;
}

void BM_StepWithSwitchings(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto switches = static_cast<std::int32_t>(state.range(1));
  build(n, switches);
  step(switches);  // time zero
  const std::int32_t before = int2::ntriang(1);
  for (auto _ : state) {
    step(switches);
    benchmark::DoNotOptimize(e_s0::vdc(n, 1));
  }
  state.counters["factorisations"] = benchmark::Counter(
      static_cast<double>(int2::ntriang(1) - before), benchmark::Counter::kAvgIterations);
  release();
}

BENCHMARK(BM_StepWithSwitchings)
    ->ArgNames({"nodes", "switchings"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({100, 2})
    ->Args({100, 6})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({1000, 2})
    ->Args({1000, 6});

}  // namespace
