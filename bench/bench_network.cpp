// Per-step cost of the network solution on a resistive-inductive ladder of n
// nodes: node k has 50 ohm and 0.1 H to ground and 1 ohm + 10 mH in series to node
// k+1; a 1 kA Norton injection drives node 1. Two cases: the solution alone
// (nothing changes, the factors are reused), and a re-factorisation every step
// (a Norton conductance at node 1 that changes every step, so all rows are
// factorised again). The state is filled directly, as the branch reader would.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_case.h"
#include "model/ctrl.h"
#include "model/e_s0.h"

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

BENCHMARK(BM_SolveOnly)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_RefactoriseEveryStep)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
