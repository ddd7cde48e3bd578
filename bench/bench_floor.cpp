// The floor of a network step (bench_floor.h) on its own: the ladder and the mesh
// of bench_case.h of 100, 1,000 and 10,000 nodes through KLU alone, factorised
// once, per step history, right-hand side, klu_solve and the new branch states;
// and the same with one klu_refactor per step. Arguments: topology (0 ladder,
// 1 mesh), nodes. The engine benchmarks report their ratios to these times.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench_case.h"
#include "bench_floor.h"

namespace {

using namespace wakro_bench;

void run(benchmark::State& state, bool refactor) {
  const bool mesh = state.range(0) == 1;
  const auto n = static_cast<std::int32_t>(state.range(1));
  allocate_case(n, 3 * n, 1);
  if (mesh) {
    add_mesh(n, mesh_columns(n));
  } else {
    add_ladder(n);
  }
  {
    Floor floor(n);
    floor.step(refactor);
    for (auto _ : state) {
      floor.step(refactor);
      benchmark::DoNotOptimize(floor.voltage(n));
    }
  }
  state.SetLabel(mesh ? "mesh" : "ladder");
  release_case();
}

void BM_FloorSolve(benchmark::State& state) { run(state, false); }
void BM_FloorRefactor(benchmark::State& state) { run(state, true); }

void cases(benchmark::internal::Benchmark* b) {
  for (int topology : {0, 1})
    for (int n : {100, 1000, 10000}) b->Args({topology, n});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_FloorSolve)->Apply(cases);
BENCHMARK(BM_FloorRefactor)->Apply(cases);

}  // namespace
