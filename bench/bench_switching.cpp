// Cost of a time step with switchings inside it, on the resistive-inductive
// ladder of n nodes (node k: 50 ohm + 0.1 H to ground, 1 ohm + 10 mH to node k+1;
// 1 kA into node 1). k timed switches (0.01 ohm ON, 1 Mohm OFF) from nodes in the
// middle of the ladder to ground operate at k instants spread over every step,
// each changing state, so a step costs k re-factorisations from the switch's node,
// k re-solutions and k + 1 normal solutions. Compared with no switch at all.
// The same on the mesh of n nodes (rows x columns, 1 ohm + 10 mH between
// neighbours, 50 ohm + 0.1 H to ground at every fourth node; BM_MeshStep...): its
// cost against n shows how a switching's cost grows with the network. And a series
// breaker at the first rows of the ladder (BM_SeriesBreakerStep), and a coupling
// added there by a component (BM_CouplingAddedStep).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "bench_case.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/int1.h"
#include "model/int3.h"
#include "network/klu_adapter.h"
#include "network/matrix.h"
#include "network/switching.h"

namespace {

using namespace wakro_bench;

// A switch f -> t (0.01 ohm ON, 1 Mohm OFF), open, not in GM.
void add_switch(std::int32_t f, std::int32_t t) {
  const std::int32_t b = new_rl_branch(f, t, 1.0e6, 0.0);
  branches::switch_(b, 1) = true;
  branches::brnsw(++branches::nsw(1), 1) = b;
  wakro_initswbr(1, b, 0.01, 1.0e6, 0.0, 0.0, "BENCH       ");
}

// Time zero prepared and the solver chosen.
void finish(bool klu) {
  prepare_time_zero(0);
  int3::enable_sparse = klu;
  int3::sparse_limit = 0;
  set_klu();
}

void build(std::int32_t n, std::int32_t switches, bool klu, bool mesh) {
  wakro::release_sparse_solver();
  const std::int32_t cols = mesh ? mesh_columns(n) : 1;
  allocate_case(n, 3 * n + switches, n * (cols + 2) + 1);
  branches::nsw(1) = 0;
  if (mesh) {
    add_mesh(n, cols);
  } else {
    add_ladder(n);
  }
  // The switches, from the middle of the ladder to ground.
  for (std::int32_t j = 1; j <= switches; ++j) add_switch(n / 2 + j, 0);
  finish(klu);
}

// One step: every switch is timed again, switch j at (j - 0.5) / k of the step.
void step(std::int32_t switches) {
  const double start = kDelt * (ctrl::iii - 1);
  for (std::int32_t j = 1; j <= switches; ++j) {
    const std::int32_t b = branches::brnsw(j, 1);
    int1::iorv(b, 1) = 8;
    branches::swlevl(b, 1) = start + kDelt * (j - 0.5) / switches;
  }
  e_s0::ccin(1, 1) = 1.0;
  solve_step();
}

void run(benchmark::State& state, bool mesh) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto switches = static_cast<std::int32_t>(state.range(1));
  const bool klu = state.range(2) == 1;
  build(n, switches, klu, mesh);
  time_steps(state, n, [switches] { step(switches); });
  release_case();
  wakro::release_sparse_solver();
}

void BM_StepWithSwitchings(benchmark::State& state) { run(state, false); }
void BM_MeshStepWithSwitchings(benchmark::State& state) { run(state, true); }

void cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"nodes", "switchings", "klu"});
  for (int n : {100, 1000, 10000})
    for (int k : {0, 1, 2, 6})
      for (int solver : {0, 1}) b->Args({n, k, solver});
}

void mesh_cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"nodes", "switchings", "klu"});
  for (int n : {100, 1000, 10000})
    for (int k : {0, 1})
      for (int solver : {0, 1}) b->Args({n, k, solver});
}

// A series breaker (0.01 ohm ON, 1 Mohm OFF) between node `at` and node at + 2 of
// the ladder, timed to change state in every step as the switches above are: a
// step closes it, the next opens it, and each factorises again from node `at`.
// Its coupling is in the pattern from the start (a switch between two nodes is
// entered there when it is set up), so no step lists the rows again.
void BM_SeriesBreakerStep(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto at = static_cast<std::int32_t>(state.range(1));
  const bool klu = state.range(2) == 1;
  wakro::release_sparse_solver();
  allocate_case(n, 2 * n + 1, 3 * n + 1);
  branches::nsw(1) = 0;
  add_ladder(n);
  add_switch(at, at + 2);
  finish(klu);
  time_steps(state, n, [] { step(1); });
  release_case();
  wakro::release_sparse_solver();
}

// A step in which a component couples two nodes that were not coupled (node k
// and k + 2 of the ladder, k = 1, 2, ... one more each step, 1 S between them):
// the pattern grows at the first rows and every row is factorised again.
// Timed as the library times it (the mean of a few such steps): each is a
// one-off event, and each grows the pattern further.
void BM_CouplingAddedStep(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const bool klu = state.range(1) == 1;
  wakro::release_sparse_solver();
  allocate_case(n, 2 * n, 3 * n + 1);
  branches::nsw(1) = 0;
  add_ladder(n);
  finish(klu);
  step(0);  // time zero
  std::int32_t k = 0;
  const std::array<double, 4> y{0.0, 1.0, 1.0, 0.0};  // 1 S between the two, none to ground
  for (auto _ : state) {
    ++k;
    const std::array<std::int32_t, 2> nodes{k, k + 2};
    wakro::stamp_admittance("BENCH", 1, nodes, wakro::SymmetricAdmittance::dense(y, 2));
    step(0);
  }
  release_case();
  wakro::release_sparse_solver();
}

BENCHMARK(BM_StepWithSwitchings)->Apply(cases);
BENCHMARK(BM_SeriesBreakerStep)
    ->ArgNames({"nodes", "at", "klu"})
    ->Args({1000, 1, 0})
    ->Args({1000, 1, 1})
    ->Args({10000, 1, 0})
    ->Args({10000, 1, 1});
BENCHMARK(BM_CouplingAddedStep)
    ->ArgNames({"nodes", "klu"})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeshStepWithSwitchings)->Apply(mesh_cases);

}  // namespace
