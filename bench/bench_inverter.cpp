// Per-step cost of one grid-forming inverter instance with its four control
// modules: its dyn pass (flags, droop, the phase-locked loop, the voltage loop,
// the current limiter, the current loop, the phase EMFs and its variable
// branches) and its out pass (three measuring groups), on a network of the
// module's 27 nodes and 30 branches whose node voltages and branch currents are
// held at a balanced 1 pu / 0.5 pu set of each step (no network solution). The
// budget is 2 us per step; the benchmark also counts the heap allocations of the
// timed steps (counter "allocations", which must stay 0).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include <unistd.h>

#include "bench_case.h"
#include "case/gfm_inverter_dev2.h"
#include "model/branches.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace {

std::atomic<long> heap_allocations{0};

}  // namespace

// The replacements pair operator new with malloc and delete with free; inlined,
// the compiler would take them for a mismatched pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n) {
  heap_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace wakro::casecode;

constexpr std::int32_t kNodes = 27;
constexpr double kW0 = 2.0 * 3.141592653589793 * 60.0;

// The counters as the run loop resets them before each pass.
void reset_pass(bool dyn) {
  quolbv3::ntxfr = quolbv3::nnode = quolbv3::npgb = quolbv3::nxfmr = 0;
  quolbv3::nbrch(1) = 0;
  quolbv3::ncall_no = 1;
  if (!dyn) return;
  quolbv3::nstol = quolbv3::nstoi = quolbv3::nstof = quolbv3::nstoc = 0;
  e_s2::nexc = 0;
  storage::nstorf = storage::nstori = storage::nstorl = storage::nstorc = 1;
  rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = rt_config::nrtcc = 1;
}

// Balanced voltages [kV] on every node and currents [kA] in every branch.
void set_network(long step) {
  const double t = static_cast<double>(step) * wakro_bench::kDelt;
  const double v = 13.8 * std::sqrt(2.0 / 3.0), i = 0.5 * 100.0 / (std::sqrt(3.0) * 13.8) * std::sqrt(2.0);
  for (std::int32_t k = 1; k <= kNodes; ++k) e_s0::vdc(k, 1) = v * std::cos(kW0 * t - 2.094395102393195 * ((k - 1) % 3));
  for (std::int32_t b = 1; b <= 30; ++b)
    branches::cbr(b, 1) = i * std::cos(kW0 * t - 0.45 - 2.094395102393195 * ((b - 1) % 3));
}

void BM_InverterStep(benchmark::State& state) {
  using namespace wakro_bench;
  allocate_case(kNodes, 30, 0,
                {{dim::nnodes, 40}, {dim::npages, 6}, {dim::stof, 600}, {dim::stoi, 40}, {dim::pgbs, 70},
                 {dim::stor, 100}, {dim::storf, 400}, {dim::stori, 150}, {dim::storl, 20}, {dim::rtcf, 100},
                 {dim::rtci, 60}});
  // The module's branches on nodes 1 .. 27 (sources from ground).
  for (std::int32_t b = 1; b <= 30; ++b) {
    const bool source = b >= 4 && b <= 6;
    add_rl(source ? 0 : b % kNodes + 1, source ? b - 3 : (b + 7) % kNodes + 1, 1.0, b % 3 == 1 ? 0.001 : 0.0);
  }
  quolbv3::node(1) = 1;
  quolbv3::node(2) = kNodes;
  for (std::int32_t k = 1; k <= kNodes; ++k) quolbv3::node(2 + k) = k;
  // The data files of the module and its control modules, for time zero.
  char folder[] = "/tmp/wakro_bench_gfm_XXXXXX";
  const std::filesystem::path back = std::filesystem::current_path();
  if (::mkdtemp(folder) == nullptr) return;
  std::filesystem::current_path(folder);
  for (const char* m :
       {"GFM_Inverter_Dev2", "PhaseLocked_Loop", "Voltage_Loop", "Current_Limiter_Scale", "Current_Loop_1"})
    std::ofstream(std::string(m) + ".dta") << "DATADSD:\nDATADSO:\nENDPAGE:\n";

  GfmArgs a;
  a.rating_kva = 100000.0;
  a.rated_kv = 13.8;
  a.t_a = 1.0;
  a.t_b = 0.5;
  a.l1_pu = 0.15;
  a.r1_pu = 0.005;
  a.cap_pu = 10.0;
  a.r2_pu = 0.005;
  a.l2_pu = 0.05;
  a.r3_pu = 0.01;
  a.pll_filter = a.p_filter = a.v_filter = 62.8;
  a.f_meas_t = 0.05;
  a.pll_ki = 2000.0;
  a.pll_kp = 100.0;
  a.vr_ki = 5.0;
  a.vr_kp = 0.5;
  a.p_droop = a.q_droop = 0.05;
  a.cl_kff = a.vl_kff = 1.0;
  a.cl_ki = 150.0;
  a.cl_kp = 0.8;
  a.vl_ki = 13.0;
  a.vl_kp = 0.13;
  a.t_e = 1.0;
  a.p_high_pu = 1.0;
  a.f_range_low = 1.0;
  a.f_range_high = -1.0;
  a.lim_gain = a.lim_t = 1.0;
  a.anti_windup = 1;
  a.t_c = 0.5;
  a.i_limit_pu = 1.1;
  a.fs_period = 2.0;
  a.t_d = 1.0;

  reset_pass(true);
  gfm_inverter_dev2dyn_begin();
  reset_pass(false);
  gfm_inverter_dev2out_begin();
  e_s1::timezero = e_s1::firststep = true;
  long step = 0;
  auto one_step = [&] {
    e_s1::time = static_cast<double>(step) * kDelt;
    set_network(step);
    reset_pass(true);
    gfm_inverter_dev2dyn(a);
    reset_pass(false);
    gfm_inverter_dev2out();
    e_s1::timezero = e_s1::firststep = false;
    ++step;
  };
  one_step();
  std::filesystem::current_path(back);
  std::filesystem::remove_all(folder);
  // Past every enable time (T_a, T_b, T_c, T_d and T_a + T_e): all paths live.
  for (int k = 0; k < 45000; ++k) one_step();
  const long before = heap_allocations.load();
  // The frequency leaves each step through a volatile store (so that the step
  // is not optimised away).
  volatile double sink = 0.0;
  for (auto _ : state) {
    one_step();
    sink = a.f_out;
  }
  state.counters["allocations"] = static_cast<double>(heap_allocations.load() - before);
  state.counters["f_out"] = sink;
  release_case();
}
BENCHMARK(BM_InverterStep);

}  // namespace
