// Cost of a time step of a six-pulse bridge of power-electronic switches, devices
// and network solution together. A 10 kV (phase peak) 60 Hz three-phase source
// behind 0.1 ohm + 5 mH per phase (nodes 1..3) feeds six valves: 1..3 -> 4 (upper)
// and 5 -> 1..3 (lower); the DC side is 20 ohm + 10 mH from 4 to 5, with 10 kohm +
// 1 mH from 4 and 5 to ground. Interpolation is on, so every commutation is
// found inside its step: twelve valve operations per cycle (one in about 28
// steps). Each step runs the three source models and the six valve models and
// solves the network; the time is reported as a multiple of the floor (the same
// R-L network through KLU alone, bench_floor.h). Valves: diodes, or thyristors
// kept gated (the same bridge through the gate logic). Beside it, the step split:
// "network_ns" is the network part (the solution driver, intsolvi) per step,
// "solve_ns" one solution on the factors (slvnew on the step's last right-hand
// side) and "x_solve" the one over the other.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <numbers>

#include "bench_case.h"
#include "devices/pe_switch.h"
#include "devices/voltage_sources.h"
#include "model/dim.h"
#include "model/e_s2.h"
#include "model/int3.h"
#include "model/storage.h"
#include "network/klu_adapter.h"
#include "network/solution.h"
#include "network/switching.h"

namespace {

using namespace wakro_bench;

constexpr std::int32_t kNodes = 5;
constexpr std::int32_t kValves = 6;
constexpr double kW = 2.0 * std::numbers::pi * 60.0;

struct Bridge {
  std::int32_t sources[3];
  std::int32_t valves[kValves];
};

// A valve f -> t: a switching branch, not in GM.
std::int32_t add_valve(std::int32_t f, std::int32_t t) {
  const std::int32_t b = new_rl_branch(f, t, 1.0e6, 0.0);
  branches::switch_(b, 1) = true;
  branches::brnsw(++branches::nsw(1), 1) = b;
  return b;
}

Bridge build(bool klu) {
  wakro::release_sparse_solver();
  allocate_case(kNodes, 16, 4 * kNodes,
                {{dim::stor, 200}, {dim::stori, 80}, {dim::storl, 20}, {dim::storf, 80}});
  wakro::devices::use_device_services();
  branches::nsw(1) = 0;
  Bridge b{};
  for (std::int32_t p = 0; p < 3; ++p) b.sources[p] = add_rl(0, p + 1, 0.1, 0.005);
  add_rl(4, 5, 20.0, 0.01);
  add_rl(4, 0, 1.0e4, 0.001);
  add_rl(5, 0, 1.0e4, 0.001);
  for (std::int32_t p = 0; p < 3; ++p) {
    b.valves[p] = add_valve(p + 1, 4);
    b.valves[3 + p] = add_valve(5, p + 1);
  }
  prepare_time_zero(kNodes);
  int3::enable_sparse = klu;
  int3::sparse_limit = 0;
  set_klu();
  return b;
}

// The models of one step (store pointers from their start).
void models(const Bridge& b, std::int32_t kind) {
  storage::nstori = storage::nstorl = storage::nstorf = storage::nstorc = 1;
  e_s2::nexc = 0;
  e_s1::time = kDelt * ctrl::iii;
  wakro_3phvsrc(1, b.sources[0], b.sources[1], b.sources[2], 0.0, 1, 10.0, kW, 0.0);
  for (const std::int32_t v : b.valves)
    wakro_peswitch2(1, v, 1.0e-3, 1.0e6, 1, 0.0, kind, 1, 100.0, 100.0, 0.001, 0.0);
}

// The models, then the solution.
void step(const Bridge& b, std::int32_t kind) {
  models(b, kind);
  solve_step();
}

// The network part of a step and one solution, in ns: the models run untimed
// and the solution driver timed step by step (less the cost of reading the clock),
// the least per step over a few blocks of 2,000 steps; then slvnew repeated on the
// last step's right-hand side (it reads e_s0::ca and writes the new voltages only).
struct Split {
  double network_ns;
  double solve_ns;
};
Split split(const Bridge& b, std::int32_t kind) {
  using clock = std::chrono::steady_clock;
  constexpr int kSteps = 2000;
  double clock_ns = 1e300;
  for (int block = 0; block < 5; ++block) {
    double sum = 0.0;
    for (int k = 0; k < kSteps; ++k) {
      const auto t0 = clock::now();
      const auto t1 = clock::now();
      sum += std::chrono::duration<double, std::nano>(t1 - t0).count();
    }
    clock_ns = std::min(clock_ns, sum / kSteps);
  }
  double network_ns = 1e300;
  for (int block = 0; block < 5; ++block) {
    double sum = 0.0;
    for (int k = 0; k < kSteps; ++k) {
      models(b, kind);
      const auto t0 = clock::now();
      solve_step();
      const auto t1 = clock::now();
      sum += std::chrono::duration<double, std::nano>(t1 - t0).count();
    }
    network_ns = std::min(network_ns, sum / kSteps - clock_ns);
  }
  const wakro::SubStep at{};
  double solve_ns = 1e300;
  constexpr int kSolves = 20000;
  for (int block = 0; block < 5; ++block) {
    const auto t0 = clock::now();
    for (int k = 0; k < kSolves; ++k) {
      slvnew(1, at);
      benchmark::ClobberMemory();
    }
    const double ns = std::chrono::duration<double, std::nano>(clock::now() - t0).count();
    solve_ns = std::min(solve_ns, ns / kSolves);
  }
  return {network_ns, solve_ns};
}

void BM_SixPulseBridgeStep(benchmark::State& state) {
  const auto kind = static_cast<std::int32_t>(state.range(0));
  const bool klu = state.range(1) == 1;
  const Bridge b = build(klu);
  // Two cycles first, so that the bridge runs in its steady commutations.
  for (int k = 0; k < 666; ++k) step(b, kind);
  time_steps(state, kNodes, [&b, kind] { step(b, kind); });
  if (state.iterations() > 0) {
    const Split t = split(b, kind);
    state.counters["network_ns"] = t.network_ns;
    state.counters["solve_ns"] = t.solve_ns;
    state.counters["x_solve"] = t.network_ns / t.solve_ns;
  }
  release_case();
  wakro::release_sparse_solver();
}

BENCHMARK(BM_SixPulseBridgeStep)
    ->ArgNames({"kind", "klu"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1});

}  // namespace
