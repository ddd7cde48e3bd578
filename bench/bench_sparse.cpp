// The own elimination against the sparse solver (KLU), per step of the network
// solution, on two topologies of 100, 1,000 and 10,000 nodes:
//   ladder  node k: 50 ohm + 0.1 H to ground, 1 ohm + 10 mH in series to k+1;
//   mesh    a grid of rows x columns nodes, 1 ohm + 10 mH between neighbours,
//           50 ohm + 0.1 H to ground at every fourth node;
// a 1 kA Norton injection drives node 1. Three per-step cases:
//   solve     nothing changes: the factors are reused;
//   full      a Norton conductance at node 1 changes every step: every row is
//             factorised again;
//   partial   the same at the last node: only the last row (own elimination;
//             the sparse solver re-factorises numerically in any case).
// Arguments: topology (0 ladder, 1 mesh), nodes, solver (0 own, 1 KLU). The state
// is filled directly, as the branch reader would; the dense matrices of 10,000
// nodes take about 1.8 GB.
#include <benchmark/benchmark.h>

#include <cmath>
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
#include "model/int3.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/temp1.h"
#include "network/klu_adapter.h"
#include "network/solution.h"

namespace {

constexpr double kDelt = 5.0e-5;

enum class Change { none, first_node, last_node };

void release() {
  ndde::deallocate_nd();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
  wakro::release_sparse_solver();
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

// Columns of the mesh of n nodes: the largest divisor of n not above its root.
std::int32_t mesh_columns(std::int32_t n) {
  std::int32_t c = static_cast<std::int32_t>(std::sqrt(static_cast<double>(n)));
  while (n % c != 0) --c;
  return c;
}

void build(bool mesh, std::int32_t n, bool klu) {
  release();
  const std::int32_t cols = mesh ? mesh_columns(n) : 1;
  for (int k = 1; k <= 80; ++k) ndde::e_ndim(k) = 0;
  ndde::e_ndim(1) = n;
  ndde::e_ndim(2) = 1;
  ndde::e_ndim(15) = 3 * n;
  ndde::e_ndim(19) = n * (cols + 2) + 1;  // the fill of a band of width cols
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
    if (!mesh || k % 4 == 1) add_rl(k, 0, 50.0, 0.1);
    if (!mesh) {
      if (k < n) add_rl(k, k + 1, 1.0, 0.01);
      continue;
    }
    if (k % cols != 0) add_rl(k, k + 1, 1.0, 0.01);
    if (k + cols <= n) add_rl(k, k + cols, 1.0, 0.01);
  }
  // Time-zero preparation: each diagonal becomes its column sum.
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  for (std::int32_t j = 1; j <= n; ++j) {
    double sum = 0.0;
    for (std::int32_t i = 1; i <= n; ++i) sum += gm(i, j);
    gm(j, j) = sum;
  }
  e_s0::enabccin(1, 1) = true;
  e_s0::enabccin(n, 1) = true;
  int3::enable_sparse = klu;
  int3::sparse_limit = 0;
  set_klu();
  e_s8::mxinv(1) = 1;
  temp1::stabck(1) = true;
  ctrl::iii = 0;
  e_s1::timezero = e_s1::firststep = true;
  e_s1::laststep = false;
}

void step(std::int32_t n, Change change) {
  e_s1::time = kDelt * ctrl::iii;
  e_s0::ccin(1, 1) = 1.0;
  const double toggled = 1e-3 * (1 + (ctrl::iii & 1));
  e_s0::ggin(1, 1) = change == Change::first_node ? toggled : 1e-3;
  e_s0::ggin(n, 1) = change == Change::last_node ? toggled : 1e-3;
  intsolvi();
  e_s1::timezero = e_s1::firststep = false;
  ++ctrl::iii;
}

void run(benchmark::State& state, Change change) {
  const bool mesh = state.range(0) == 1;
  const auto n = static_cast<std::int32_t>(state.range(1));
  const bool klu = state.range(2) == 1;
  build(mesh, n, klu);
  step(n, change);  // time zero: the first factorisation (and analysis)
  const std::int32_t before = int2::ntriang(1);
  for (auto _ : state) {
    step(n, change);
    benchmark::DoNotOptimize(e_s0::vdc(n, 1));
  }
  state.counters["factorisations"] = benchmark::Counter(
      static_cast<double>(int2::ntriang(1) - before), benchmark::Counter::kAvgIterations);
  state.SetLabel(std::string(mesh ? "mesh" : "ladder") + (klu ? " klu" : " own"));
  release();
}

void BM_Solve(benchmark::State& state) { run(state, Change::none); }
void BM_FullRefactorisation(benchmark::State& state) { run(state, Change::first_node); }
void BM_PartialRefactorisation(benchmark::State& state) { run(state, Change::last_node); }

void cases(benchmark::internal::Benchmark* b) {
  for (int topology : {0, 1})
    for (int n : {100, 1000, 10000})
      for (int solver : {0, 1}) b->Args({topology, n, solver});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Solve)->Apply(cases);
BENCHMARK(BM_FullRefactorisation)->Apply(cases);
BENCHMARK(BM_PartialRefactorisation)->Apply(cases);

}  // namespace
