// The own elimination against the sparse solver (KLU), per step of the network
// solution, on two topologies of 100, 1,000 and 10,000 nodes:
//   ladder  node k: 50 ohm + 0.1 H to ground, 1 ohm + 10 mH in series to k+1;
//   mesh    a grid of rows x columns nodes, 1 ohm + 10 mH between neighbours,
//           50 ohm + 0.1 H to ground at every fourth node;
// a 1 kA Norton injection drives node 1. Four per-step cases:
//   solve     nothing changes: the factors are reused;
//   full      the Norton conductance of every node changes every step: every
//             row is factorised again;
//   first     a Norton conductance at node 1 changes every step: in the numbered
//             order every row is factorised again; in a fill-reducing order the
//             node is among the last (it changes during the run), so only the
//             rows from it on;
//   partial   the same at the last node: only the last row (own elimination;
//             the sparse solver re-factorises numerically in any case).
// Arguments: topology (0 ladder, 1 mesh), nodes, solver (0 own, 1 KLU). The state
// is filled directly, as the branch reader would; the dense matrices of 10,000
// nodes take about 1.8 GB.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "bench_case.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/int3.h"
#include "network/klu_adapter.h"
#include "network/solution.h"

namespace {

using namespace wakro_bench;

enum class Change { none, every_node, first_node, last_node };

void release() {
  release_case();
  wakro::release_sparse_solver();
}

void build(bool mesh, std::int32_t n, bool klu, Change change) {
  release();
  const std::int32_t cols = mesh ? mesh_columns(n) : 1;
  allocate_case(n, 3 * n, n * (cols + 2) + 1);  // the fill of a band of width cols
  if (mesh) {
    add_mesh(n, cols);
  } else {
    add_ladder(n);
  }
  prepare_time_zero(n);
  e_s0::enabccin(n, 1) = true;
  if (change == Change::every_node)
    for (std::int32_t x = 1; x <= n; ++x) e_s0::enabccin(x, 1) = true;
  int3::enable_sparse = klu;
  int3::sparse_limit = 0;
  set_klu();
}

void step(std::int32_t n, Change change) {
  e_s0::ccin(1, 1) = 1.0;
  const double toggled = 1e-3 * (1 + (ctrl::iii & 1));
  if (change == Change::every_node) {
    for (std::int32_t x = 1; x <= n; ++x) e_s0::ggin(x, 1) = toggled;
  } else {
    e_s0::ggin(1, 1) = change == Change::first_node ? toggled : 1e-3;
    e_s0::ggin(n, 1) = change == Change::last_node ? toggled : 1e-3;
  }
  solve_step();
}

void run(benchmark::State& state, Change change) {
  const bool mesh = state.range(0) == 1;
  const auto n = static_cast<std::int32_t>(state.range(1));
  const bool klu = state.range(2) == 1;
  build(mesh, n, klu, change);
  // The untimed first step at time zero also does the first factorisation (and analysis).
  time_steps(state, n, [n, change] { step(n, change); });
  state.SetLabel(std::string(mesh ? "mesh" : "ladder") + (klu ? " klu" : " own"));
  release();
}

void BM_Solve(benchmark::State& state) { run(state, Change::none); }
void BM_FullRefactorisation(benchmark::State& state) { run(state, Change::every_node); }
void BM_FirstNodeRefactorisation(benchmark::State& state) { run(state, Change::first_node); }
void BM_PartialRefactorisation(benchmark::State& state) { run(state, Change::last_node); }

void cases(benchmark::internal::Benchmark* b) {
  for (int topology : {0, 1})
    for (int n : {100, 1000, 10000})
      for (int solver : {0, 1}) b->Args({topology, n, solver});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Solve)->Apply(cases);
BENCHMARK(BM_FullRefactorisation)->Apply(cases);
BENCHMARK(BM_FirstNodeRefactorisation)->Apply(cases);
BENCHMARK(BM_PartialRefactorisation)->Apply(cases);

}  // namespace
