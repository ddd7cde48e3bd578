// Per-step cost of the network solution on a resistive-inductive ladder of n
// nodes: node k has 50 ohm and 0.1 H to ground and 1 ohm + 10 mH in series to node
// k+1; a 1 kA Norton injection drives node 1. Two cases: the solution alone
// (nothing changes, the factors are reused), and a re-factorisation every step
// (a Norton conductance at node 1 that changes every step, so all rows are
// factorised again). The state is filled directly, as the branch reader would.
// A third case makes every branch to ground a 1 V source whose storage record is a
// registered voltage source, with and without source extrapolation: the step then
// evaluates n sources in each pass.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_case.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/groups.h"
#include "model/storage.h"

namespace {

using namespace wakro_bench;

void build_ladder(std::int32_t n) {
  allocate_case(n, 2 * n, 2 * n + 1);
  add_ladder(n);
  prepare_time_zero(n);
}

void step(bool refactor) {
  e_s0::ccin(1, 1) = 1.0;
  e_s0::ggin(1, 1) = refactor ? 1e-3 * (1 + (ctrl::iii & 1)) : 1e-3;
  solve_step();
}

void run(benchmark::State& state, bool refactor) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  build_ladder(n);
  time_steps(state, n, [refactor] { step(refactor); });
  release_case();
}

void BM_SolveOnly(benchmark::State& state) { run(state, false); }
void BM_RefactoriseEveryStep(benchmark::State& state) { run(state, true); }

// The ladder with its branches to ground (the odd branch numbers) as registered
// sources; range(1) != 0 extrapolates them.
void BM_SolveOnlySources(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  allocate_case(n, 2 * n, 2 * n + 1, {{dim::stori, n + 1}});
  add_ladder(n);
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int32_t b = 2 * k - 1;
    branches::source(b, 1) = true;
    branches::ebr(b, 1) = branches::ebrd(b, 1) = 1.0;
    branches::thisbr(b, 1) = k;
    storage::stori(k) = wakro::branch_code::registered_source;
  }
  options::xterpsrc(1) = state.range(1) != 0;
  prepare_time_zero(n);
  time_steps(state, n, [] { step(false); });
  release_case();
}

BENCHMARK(BM_SolveOnly)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_RefactoriseEveryStep)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_SolveOnlySources)->Args({100, 0})->Args({1000, 0})->Args({100, 1})->Args({1000, 1});

}  // namespace
