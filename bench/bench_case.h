// Shared set-up of the benchmark networks: one subsystem of n nodes filled
// directly, through the branch reader's companion and matrix entry. It sizes and
// allocates the state, adds series R-L branches with their companion terms (and
// their conductance in GM), builds the resistive-inductive ladder (node k:
// 50 ohm + 0.1 H to ground, 1 ohm + 10 mH in series to node k+1), prepares time
// zero and times the steps.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "bench_floor.h"
#include "model/branch_codes.h"
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
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace wakro_bench {

inline constexpr double kDelt = 5.0e-5;

// Releases the node-dimensioned state and the subsystem matrices.
inline void release_case() {
  ndde::deallocate_nd();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
}

// Sizes and allocates one subsystem of n nodes with room for `branch_rows`
// branches and `fill_rows` fill entries, and sets the step and the options.
// Further dimension-table entries (entry, value), such as the storage of device
// models, are set before the allocation. klu: the subsystem goes through the
// sparse solver (chosen, as a case read chooses it, before its work matrices are
// allocated).
inline void allocate_case(std::int32_t n, std::int32_t branch_rows, std::int32_t fill_rows,
                          std::initializer_list<std::pair<int, std::int32_t>> extra = {},
                          bool klu = false) {
  release_case();
  for (int k = 1; k <= 80; ++k) ndde::e_ndim(k) = 0;
  for (const auto& [k, value] : extra) ndde::e_ndim(k) = value;
  ndde::e_ndim(dim::nodes) = n;
  ndde::e_ndim(dim::subsys) = 1;
  ndde::e_ndim(dim::branches) = branch_rows;
  ndde::e_ndim(dim::sparsity) = fill_rows;
  ndde::nd74 = ndde::nd75 = 0;
  std::int32_t status = 0;
  ndde::allocate_nd(status);
  a_sparsity();
  wakro_initialz();
  e_s0::allocate_ssdim_array(1, status);
  e_s0::ssdim(1) = n;
  if (klu) {  // known before the matrices are made, as a case read has it
    int3::enable_sparse = true;
    int3::sparse_limit = 0;
  }
  e_s0::allocate_ss_matrices(1, e_s0::ssdim, status);
  int2::nmat = 1;
  e_s0::mbus(1) = n;
  if (klu) {
    set_klu();
    mark_sparse_subsystems();
  }
  e_s0::allocate_ss_matrices2(1, e_s0::ssdim, status);
  int2::insb(1) = 0;
  e_s1::delt = ctrl::ddelt = kDelt;
  options::interpss(1) = true;
  options::rmchatter(1) = true;  // a case's defaults: chatter detection and removal on
  options::dtchatter(1) = true;
  options::xterpsrc(1) = false;
}

// A series R-L branch f -> t (t = 0: to ground; l = 0: resistive) with its
// companion terms (the branch reader's, network/companion.h), not yet in GM.
// Returns the branch number.
inline std::int32_t new_rl_branch(std::int32_t f, std::int32_t t, double r, double l) {
  using namespace branches;
  const std::int32_t b = ++int2::insb(1);
  ief(b, 1) = f;
  iet(b, 1) = t;
  resistor(b, 1) = true;
  inductor(b, 1) = l != 0.0;
  wakro::set_branch_companion(b, 1, wakro::series_companion(r, l, 0.0, true, false, kDelt));
  int1::xstor(b, 1) = wakro::kNoCrossing;
  return b;
}

// The same, with its conductance entered into GM in set-up form.
inline std::int32_t add_rl(std::int32_t f, std::int32_t t, double r, double l) {
  const std::int32_t b = new_rl_branch(f, t, r, l);
  wakro::stamp_branch(1, f, t, branches::geq(b, 1));
  return b;
}

inline void add_ladder(std::int32_t n) {
  for (std::int32_t k = 1; k <= n; ++k) {
    add_rl(k, 0, 50.0, 0.1);
    if (k < n) add_rl(k, k + 1, 1.0, 0.01);
  }
}

// Columns of the mesh of n nodes: the largest divisor of n not above its root.
inline std::int32_t mesh_columns(std::int32_t n) {
  std::int32_t c = static_cast<std::int32_t>(std::sqrt(static_cast<double>(n)));
  while (n % c != 0) --c;
  return c;
}

// A grid of n / cols rows and cols columns: 1 ohm + 10 mH between neighbours,
// 50 ohm + 0.1 H to ground at every fourth node.
inline void add_mesh(std::int32_t n, std::int32_t cols) {
  for (std::int32_t k = 1; k <= n; ++k) {
    if (k % 4 == 1) add_rl(k, 0, 50.0, 0.1);
    if (k % cols != 0) add_rl(k, k + 1, 1.0, 0.01);
    if (k + cols <= n) add_rl(k, k + cols, 1.0, 0.01);
  }
}

// Time-zero preparation: the matrix build of the time step; node 1 takes the
// Norton injection, and the run starts at step 0.
inline void prepare_time_zero(std::int32_t /*n*/) {
  wakro_buildgm();
  e_s0::enabccin(1, 1) = true;
  e_s8::mxinv(1) = 1;
  temp1::stabck(1) = true;
  ctrl::iii = 0;
  e_s1::timezero = e_s1::firststep = true;
  e_s1::laststep = false;
}

// The network solution of the current step at its time, then on to the next one.
inline void solve_step() {
  e_s1::time = kDelt * ctrl::iii;
  intsolvi();
  e_s1::timezero = e_s1::firststep = false;
  ++ctrl::iii;
}

// Chatter detection and removal in every subsystem on or off.
inline void set_chatter(bool on) {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    options::rmchatter(ss) = on;
    options::dtchatter(ss) = on;
  }
}

// Runs `step` once at time zero (untimed), then once per iteration with the
// options of the case (a case's defaults: chatter detection and removal on) and
// counts the factorisations per iteration. The figures that are compared are
// then taken afresh, each the median of kRepetitions blocks of steps
// (median_seconds_per_step), the floor's on the same network too
// (bench_floor.h): with the defaults "median_us" and "x_floor"; with chatter
// detection and removal off "chatter_off_us" and "x_floor_chatter_off".
template <class Step>
void time_steps(benchmark::State& state, std::int32_t n, Step&& step) {
  step();
  const std::int32_t before = int2::ntriang(1);
  for (auto _ : state) {
    step();
    benchmark::DoNotOptimize(e_s0::vdc(n, 1));
  }
  state.counters["factorisations"] = benchmark::Counter(
      static_cast<double>(int2::ntriang(1) - before), benchmark::Counter::kAvgIterations);
  if (state.iterations() == 0) return;
  const double with_defaults = median_seconds_per_step(step);
  set_chatter(false);
  const double chatter_off = median_seconds_per_step(step);
  set_chatter(true);
  state.counters["median_us"] = with_defaults * 1e6;
  state.counters["chatter_off_us"] = chatter_off * 1e6;
  report_floor_ratios(state, n, with_defaults, chatter_off);
}

}  // namespace wakro_bench
