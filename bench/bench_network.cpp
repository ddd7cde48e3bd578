// Per-step cost of the network solution on a resistive-inductive ladder of n
// nodes: node k has 50 ohm and 0.1 H to ground and 1 ohm + 10 mH in series to node
// k+1; a 1 kA Norton injection drives node 1. Two cases: the solution alone
// (nothing changes, the factors are reused), and a re-factorisation every step
// (a Norton conductance at node 1 that changes every step, so all rows are
// factorised again). The state is filled directly, as the branch reader would.
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
#include "network/hooks.h"
#include "network/solution.h"

namespace {

constexpr double kDelt = 5.0e-5;

void release() {
  ndde::deallocate_nd();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
}

// A series R-L branch f -> t (t = 0: to ground) with its companion terms.
void add_rl(std::int32_t f, std::int32_t t, double r, double l) {
  using namespace branches;
  const std::int32_t b = ++int2::insb(1);
  ief(b, 1) = f;
  iet(b, 1) = t;
  resistor(b, 1) = true;
  inductor(b, 1) = true;
  const double xl = 2.0 * l / kDelt;
  const double g = 1.0 / (r + xl);
  g2l(b, 1) = 1.0 / xl;
  geq(b, 1) = geqd(b, 1) = geqon(b, 1) = geqof(b, 1) = g;
  rlg(b, 1) = g * xl;
  rsc(b, 1) = r * g * xl;
  int1::xstor(b, 1) = 1.5;
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  if (t == 0) {
    gm(f, f) += g;
  } else {
    e_s0::FillView filled = e_s0::assign_filled_ptr(1);
    filled(f, t) = filled(t, f) = true;
    gm(t, f) += g;
    gm(f, t) = gm(t, f);
  }
}

void build_ladder(std::int32_t n) {
  release();
  for (int k = 1; k <= 80; ++k) ndde::e_ndim(k) = 0;
  ndde::e_ndim(1) = n;
  ndde::e_ndim(2) = 1;
  ndde::e_ndim(15) = 2 * n;
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
  e_s1::delt = ctrl::ddelt = kDelt;
  options::interpss(1) = true;
  options::rmchatter(1) = false;
  options::dtchatter(1) = false;
  options::xterpsrc(1) = false;
  for (std::int32_t k = 1; k <= n; ++k) {
    add_rl(k, 0, 50.0, 0.1);
    if (k < n) add_rl(k, k + 1, 1.0, 0.01);
  }
  // Time-zero preparation: each diagonal becomes its column sum.
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

void step(bool refactor) {
  e_s1::time = kDelt * ctrl::iii;
  e_s0::ccin(1, 1) = 1.0;
  e_s0::ggin(1, 1) = refactor ? 1e-3 * (1 + (ctrl::iii & 1)) : 1e-3;
  intsolvi();
  e_s1::timezero = e_s1::firststep = false;
  ++ctrl::iii;
}

void run(benchmark::State& state, bool refactor) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  build_ladder(n);
  step(refactor);  // time zero
  const std::int32_t before = int2::ntriang(1);
  for (auto _ : state) {
    step(refactor);
    benchmark::DoNotOptimize(e_s0::vdc(n, 1));
  }
  state.counters["factorisations"] =
      benchmark::Counter(static_cast<double>(int2::ntriang(1) - before), benchmark::Counter::kAvgIterations);
  release();
}

void BM_SolveOnly(benchmark::State& state) { run(state, false); }
void BM_RefactoriseEveryStep(benchmark::State& state) { run(state, true); }

BENCHMARK(BM_SolveOnly)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_RefactoriseEveryStep)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
