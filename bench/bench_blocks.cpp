// Per-call cost of the common control blocks. Each case allocates the storage
// arrays, runs the block once in the time-zero pass, and then times one call per
// iteration with the pointers reset before it, as the time step resets them
// before each dynamics pass. The input changes on every call so that no branch
// settles into a constant.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "blocks/continuous.h"
#include "blocks/harmonics.h"
#include "blocks/matrix.h"
#include "blocks/pid_controller.h"
#include "blocks/poles.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/groups.h"
#include "model/ndde.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace {

constexpr double kDelt = 50e-6;

// The storage arrays of a case, released at the end of the benchmark.
struct Stores {
  Stores() {
    ndde::nd10 = 4096;
    ndde::nd27 = ndde::nd28 = ndde::nd30 = 64;
    ndde::nd29 = 4096;
    ndde::nd61 = ndde::nd62 = ndde::nd63 = ndde::nd64 = 64;
    e_s2::stor.allocate(ndde::nd10);
    a_storage();
    a_rtconfig();
    e_s1::delt = kDelt;
    e_s1::time = 0.0;
  }
  ~Stores() {
    e_s2::stor.release();
    d_storage();
    d_rtconfig();
  }
};

void reset_pointers() {
  e_s2::nexc = 0;
  storage::nstorf = 1;
  storage::nstori = 1;
}

// Times one call of block(x) per iteration after a time-zero call.
template <class Block>
void time_block(benchmark::State& state, Block block) {
  Stores stores;
  e_s1::timezero = true;
  reset_pointers();
  block(0.0);
  e_s1::timezero = false;
  double x = 0.0;
  std::int64_t step = 0;
  for (auto _ : state) {
    reset_pointers();
    ++step;
    e_s1::time = kDelt * static_cast<double>(step);
    x = static_cast<double>(step & 1023) * 1e-3 - 0.5;  // a cheap sawtooth sweep
    benchmark::DoNotOptimize(block(x));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Limit(benchmark::State& state) {
  time_block(state, [](double x) { return limit(-0.5, 0.5, x); });
}
void BM_Realp2Trapezoid(benchmark::State& state) {
  time_block(state, [](double x) { return realp2(2.0, 0.02, x); });
}
void BM_Realp2Exponential(benchmark::State& state) {
  time_block(state, [](double x) { return realp2(2.0, 3.0 * kDelt, x); });
}
void BM_Realpole(benchmark::State& state) {
  time_block(state, [](double x) { return realpole(0, 1, 1, 2.0, 0.02, x, 0.0, -1.0, 1.0); });
}
void BM_PidController(benchmark::State& state) {
  time_block(state, [](double x) { return pid_controller(1.0, 10.0, 0.01, 1e-3, -1.0, 1.0, 0.0, x, 0); });
}
void BM_Ldlag2(benchmark::State& state) {
  time_block(state, [](double x) { return ldlag2(0.01, 0.05, 1.0, x); });
}
void BM_Intgl3(benchmark::State& state) {
  time_block(state, [](double x) { return intgl3(0.0, -1e5, 1e5, 1.0, x); });
}
void BM_Pi3(benchmark::State& state) {
  time_block(state, [](double x) { return pi3(50.0, 0.1, -1.2, 1.2, 0.0, x); });
}
void BM_Cmpxp5(benchmark::State& state) {
  time_block(state, [](double x) { return cmpxp5(1, 1.0, 0.7, 377.0, x); });
}
void BM_Delay(benchmark::State& state) {
  time_block(state, [](double x) { return delay(100 * kDelt, 1000, x); });
}
void BM_Delayi(benchmark::State& state) {
  time_block(state, [](double x) { return delayi(100 * kDelt, 1000, x); });
}
void BM_RateLimiter(benchmark::State& state) {
  time_block(state, [](double x) {
    double y = 0.0;
    rate_limiter(100.0, 50.0, x, y);
    return y;
  });
}

// A 5-by-5 inverse through matinv, as a machine model forms one every step.
void BM_Matinv5(benchmark::State& state) {
  constexpr std::int32_t n = 5;
  std::array<double, n * n> a{}, inv{}, work{};
  std::array<std::int32_t, n> l{}, m{};
  for (std::int32_t j = 0; j < n; ++j)
    for (std::int32_t i = 0; i < n; ++i) a[j * n + i] = (i == j ? 4.0 : 0.0) + 0.1 * std::sin(1.0 + i + 2.0 * j);
  for (auto _ : state) {
    a[0] += 1e-9;
    benchmark::DoNotOptimize(matinv(a.data(), inv.data(), n, nullptr, work.data(), l.data(), m.data()));
    benchmark::DoNotOptimize(inv.data());
  }
  state.SetItemsProcessed(state.iterations());
}

// The harmonic scanner at its largest size (1023 harmonics, 2048 samples per
// period), with the time step equal to the sample interval so that every call
// takes a sample and transforms the period: the per-sample cost.
void BM_Ftn180Largest(benchmark::State& state) {
  constexpr std::int32_t n = kFtMaxHarmonics;
  constexpr double f0 = 50.0;
  Stores stores;
  e_s2::stor.release();
  e_s2::stor.allocate(49 + 4 * n + 6);
  e_s1::delt = 1.0 / (f0 * 2 * (n + 1));
  std::vector<double> mag(n), pha(n);
  std::int32_t index = 0;
  double dc = 0.0;
  e_s1::timezero = true;
  reset_pointers();
  ftn180(1, 0, n, 0, 0, f0, 0.0, index, mag.data(), pha.data(), dc);
  e_s1::timezero = false;
  std::int64_t step = 0;
  for (auto _ : state) {
    reset_pointers();
    ++step;
    e_s1::time = e_s1::delt * static_cast<double>(step);
    const double x = std::cos(2.0 * 3.141592653589793 * f0 * e_s1::time);
    ftn180(1, 0, n, 0, 0, f0, x, index, mag.data(), pha.data(), dc);
    benchmark::DoNotOptimize(mag.data());
  }
  e_s1::delt = kDelt;
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_Limit);
BENCHMARK(BM_Realp2Trapezoid);
BENCHMARK(BM_Realp2Exponential);
BENCHMARK(BM_Realpole);
BENCHMARK(BM_PidController);
BENCHMARK(BM_Ldlag2);
BENCHMARK(BM_Intgl3);
BENCHMARK(BM_Pi3);
BENCHMARK(BM_Cmpxp5);
BENCHMARK(BM_Delay);
BENCHMARK(BM_Delayi);
BENCHMARK(BM_RateLimiter);
BENCHMARK(BM_Matinv5);
BENCHMARK(BM_Ftn180Largest);
