// Memory of a large subsystem on the sparse solver: a mesh of 10,000 nodes
// (bench_case.h: 100 x 100, R-L branches between neighbours and to ground at
// every fourth node) set up, taken through time zero and 20 steps on KLU. Reports
// the process's peak resident memory (getrusage) and the case-sized arrays held
// while the case is set up (every FArray counts its bytes). The program runs this
// one case only, so the peak is the case's.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>

#include "bench_case.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/farray.h"
#include "network/klu_adapter.h"

namespace {

using namespace wakro_bench;

constexpr double kMiB = 1024.0 * 1024.0;

double peak_resident_mib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) * 1024.0 / kMiB;  // ru_maxrss is in KiB
}

void BM_MeshMemoryOnKlu(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::int32_t cols = mesh_columns(n);
  double arrays = 0.0;
  for (auto _ : state) {
    allocate_case(n, 3 * n, n * (cols + 2) + 1, {}, true);
    add_mesh(n, cols);
    prepare_time_zero(n);
    for (int k = 0; k < 21; ++k) {
      e_s0::ccin(1, 1) = 1.0;
      e_s0::ggin(1, 1) = 1e-3;
      solve_step();
    }
    benchmark::DoNotOptimize(e_s0::vdc(n, 1));
    arrays = static_cast<double>(wakro::array_bytes_held()) / kMiB;
    release_case();
    wakro::release_sparse_solver();
  }
  state.counters["peak_rss_MiB"] = peak_resident_mib();
  state.counters["arrays_MiB"] = arrays;
}

BENCHMARK(BM_MeshMemoryOnKlu)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
