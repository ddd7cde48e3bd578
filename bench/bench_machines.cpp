// Per-step cost of one synchronous machine with its AC7B exciter: the case
// generator's machine (200 MVA, 18 kV) in machine mode with imposed speed, its
// terminals held at the load-flow voltages of each step (no network solution),
// the exciter regulating its field. The budget is 1 us for the pair; the
// benchmark also counts the heap allocations of the timed steps (counter
// "allocations", which must stay 0).
//
// BM_BranchFormStep and BM_NodeFormStep time the machine alone in its two
// attachments over the same terminal voltages: syncmc3p2_exe (phase branches,
// record read back each step) and newsnc (records read from a data file at time
// zero, Norton injections at the nodes, the built-in terminal filter).
//
// The induction machine (BM_Inducmc2Step, BM_Inducmc1Step, BM_InducmcStep) and
// the permanent-magnet machine (BM_Pmmac1Step, BM_Pmmac2Step, BM_PmmachineStep)
// are timed the same way, each alone over the same terminal voltages; the PM
// machine forms and inverts its 5x5 step matrix every step, its main cost,
// to be read next to BM_BranchFormStep.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_case.h"
#include "case/generic_sg_1.h"
#include "files/linereader.h"
#include "files/units.h"
#include "machines/exciter_ac7b.h"
#include "machines/induction_machine.h"
#include "machines/machine_block.h"
#include "machines/pm_machine.h"
#include "machines/sync_config.h"
#include "machines/sync_machine.h"
#include "model/fnames.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
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

using namespace wakro::machines;

constexpr double kW = wakro::casecode::kGeneratorData.w, kIb = wakro::casecode::kGeneratorData.rated_phase_ka,
                 kVb = wakro::casecode::kGeneratorData.rated_phase_kv;

SyncMachineData case_machine() {
  const wakro::casecode::GeneratorData& g = wakro::casecode::kGeneratorData;
  SyncMachineData m;
  m.rated_current = kIb;
  m.rated_voltage = kVb;
  m.w = kW;
  m.inertia = g.inertia;
  m.friction = g.friction;
  m.shunt_r = g.shunt_r;
  m.ra = 2.0 * g.d.x_sub * g.q.x_sub / ((g.d.x_sub + g.q.x_sub) * g.ta * kW);
  m.xp_agfc = g.xp;
  m.d = g.d;
  m.q = g.q;
  m.sat_x = {0.0, 1.0, -1.0};
  m.sat_y = {0.0, 1.0};
  m.v_or_angle = 1.025;
  m.p_or_iq = 0.815;
  m.q_or_ifd = 0.025;
  m.release_time = 0.1;
  m.power_scale = 100.0;
  m.trim_time = 0.2;
  m.rc_resistance = 20.0;
  m.rc_time_factor = 10.0;
  return m;
}

void rewind() {
  e_s2::nexc = 0;
  storage::nstorf = storage::nstori = storage::nstorl = storage::nstorc = 1;
  rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
}

void BM_MachineAndExciterStep(benchmark::State& state) {
  using namespace wakro_bench;
  allocate_case(3, 9, 0,
                {{dim::stor, kMachineBlockSize + kAc7bBlockSlots}, {dim::storf, 8}, {dim::stori, 2},
                 {dim::storl, 8}, {dim::rtcf, kConfigReals + kAc7bConfigReals}, {dim::rtci, kConfigInts}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  SyncStepIn in;
  in.ss = 1;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.phase[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
    in.rc[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
  }
  in.handover = 1;  // machine mode from time zero, no start-up source
  in.imposed_speed = in.ref_speed = kW;
  rewind();
  syncmc3p2_cfg(case_machine());
  excac7b2_cfg(wakro::casecode::generator_exciter_data());
  e_s1::timezero = true;
  wakro_buildgm();
  // One cycle of the terminal voltages, 1.025 pu.
  const int period = static_cast<int>(std::lround(2.0 * 3.141592653589793 / (kW * kDelt)));
  std::vector<double> wave(static_cast<std::size_t>(period));
  for (int k = 0; k < period; ++k) wave[static_cast<std::size_t>(k)] = std::sqrt(2.0) * 1.025 * kVb * std::sin(kW * k * kDelt);
  SyncStepOut out;
  double efd = 0.0;
  long step = 0;
  auto one_step = [&] {
    rewind();
    e_s1::time = static_cast<double>(step) * kDelt;
    const auto i = static_cast<std::size_t>(step % period);
    const auto j = static_cast<std::size_t>((step + 2 * period / 3) % period);
    e_s0::vdc(1, 1) = wave[i];
    e_s0::vdc(2, 1) = wave[j];
    e_s0::vdc(3, 1) = -wave[i] - wave[j];
    in.field_voltage = efd;
    syncmc3p2_exe(in, out);
    excac7b2_exe(1.025, {1.025, out.p / 200.0, -out.q / 200.0}, 0.0, out.field_current,
                 out.field_current, out.machine_mode, efd, 0.0);
    e_s1::timezero = false;
    ++step;
  };
  for (int k = 0; k < 1000; ++k) one_step();  // past time zero and the first machine steps
  const long before = heap_allocations.load();
  for (auto _ : state) {
    one_step();
    benchmark::DoNotOptimize(efd);
    benchmark::DoNotOptimize(out.p);
  }
  state.counters["allocations"] = static_cast<double>(heap_allocations.load() - before);
  state.counters["efd"] = efd;
  release_case();
}
BENCHMARK(BM_MachineAndExciterStep);

using wakro_bench::kDelt;

// The terminal voltages of step `step`: one cycle at 1.025 pu.
struct Wave {
  std::vector<double> v;
  int period = 0;
  Wave() {
    period = static_cast<int>(std::lround(2.0 * 3.141592653589793 / (kW * kDelt)));
    v.resize(static_cast<std::size_t>(period));
    for (int k = 0; k < period; ++k) v[static_cast<std::size_t>(k)] = std::sqrt(2.0) * 1.025 * kVb * std::sin(kW * k * kDelt);
  }
  void set(long step) const {
    const auto i = static_cast<std::size_t>(step % period);
    const auto j = static_cast<std::size_t>((step + 2 * period / 3) % period);
    e_s0::vdc(1, 1) = v[i];
    e_s0::vdc(2, 1) = v[j];
    e_s0::vdc(3, 1) = -v[i] - v[j];
  }
};

// Runs `exe` for 1000 steps past time zero, then times it per step.
template <class Exe>
void time_machine(benchmark::State& state, Exe exe) {
  const Wave wave;
  long step = 0;
  auto one_step = [&] {
    rewind();
    e_s1::time = static_cast<double>(step) * kDelt;
    wave.set(step);
    exe();
    e_s1::timezero = false;
    ++step;
  };
  for (int k = 0; k < 1000; ++k) one_step();
  const long before = heap_allocations.load();
  for (auto _ : state) one_step();
  state.counters["allocations"] = static_cast<double>(heap_allocations.load() - before);
}

void BM_BranchFormStep(benchmark::State& state) {
  using namespace wakro_bench;
  allocate_case(3, 9, 0, {{dim::stor, kMachineBlockSize}, {dim::rtcf, kConfigReals}, {dim::rtci, kConfigInts}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  SyncStepIn in;
  in.ss = 1;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.phase[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
    in.rc[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
  }
  in.handover = 1;
  in.imposed_speed = in.ref_speed = kW;
  in.field_voltage = 1.6;
  rewind();
  syncmc3p2_cfg(case_machine());
  e_s1::timezero = true;
  wakro_buildgm();
  SyncStepOut out;
  time_machine(state, [&] {
    syncmc3p2_exe(in, out);
    benchmark::DoNotOptimize(out.p);
  });
  release_case();
}
BENCHMARK(BM_BranchFormStep);

void BM_NodeFormStep(benchmark::State& state) {
  using namespace wakro_bench;
  allocate_case(3, 3, 0, {{dim::stor, kMachineBlockSize}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  // The machine's records, as case_machine() gives them, in a module data file.
  const std::string path = "/tmp/wakro_bench_newsnc_" + std::to_string(::getpid()) + ".dta";
  {
    std::ofstream f(path);
    f.precision(17);
    f << "DATADSD:\n1 2 1\n" << kIb << " " << kVb << " " << kW << " 0 0\n4.0 0.001\n"
      << 2.0 * 0.135 * 0.2 / ((0.135 + 0.2) * 0.332 * kW) << " 0.13 300\n"
      << "0.92 0.135 0.032 0.169 4.3 /\n0.51 0.2 0.05 0.228 0.85 /\n"
      << "0 0 1 1 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n1.025 0 0.815 0.025\n0.1 100 0.2\nENDPAGE:\n";
  }
  fnames::filename = wakro::FixedText<72>(path);
  wakro_openfile();
  fnames::section = "DATADSD:";
  wakro_gotosection();
  NewsncIn a;
  a.step.ss = 1;
  a.step.handover = 1;
  a.step.imposed_speed = a.step.ref_speed = kW;
  a.step.field_voltage = 1.6;
  a.nodes = {1, 2, 3};
  rewind();
  e_s1::timezero = true;
  wakro_buildgm();
  SyncStepOut out;
  time_machine(state, [&] {
    for (std::int32_t n = 1; n <= 3; ++n) e_s0::ggin(n, 1) = e_s0::ccin(n, 1) = 0.0;
    newsnc(a, out);
    benchmark::DoNotOptimize(out.p);
  });
  wakro_closefile();
  std::remove(path.c_str());
  release_case();
}
BENCHMARK(BM_NodeFormStep);

// ------------------------------------------------------ induction machine

// A 100 MVA machine at the wave's phase voltage, one extra cage, saturating
// magnetising curve.
InductionData induction_machine() {
  InductionData d;
  d.extra_cages = 1;
  d.rotor_option = 2;
  d.power = 100.0;
  d.voltage = kVb;
  d.base_w = kW;
  d.inertia = 0.5;
  d.damping = 0.02;
  d.turns = 1.0;
  d.rc_resistance = 50.0;
  d.rc_factor = 10.0;
  d.r = {0.02, 0.05, 0.03, 0.0, 0.0};
  d.x = {3.0, 0.1, 0.1, 0.15, 0.0, 0.0, 0.02, 0.0, 0.0, 0.0, 0.0, 0.0};
  d.mag_x = {0.0, 0.2, 0.6, 2.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
  d.mag_y = {0.0, 0.2, 0.45, 0.8, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  d.leak_x = {0.0, 1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
  d.leak_y = {0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  return d;
}

template <class Cfg, class Exe>
void time_induction(benchmark::State& state, Cfg cfg, Exe exe, double voltage) {
  using namespace wakro_bench;
  allocate_case(3, 9, 0, {{dim::stor, kImBlock2}, {dim::rtcf, kIcReals}, {dim::rtci, 1}, {dim::rtcl, 1}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  InductionStepIn in;
  in.ss = 1;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.stator[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
    in.stator_rc[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
  }
  in.mode = 1;
  in.speed = 0.99;
  rewind();
  InductionData d = induction_machine();
  d.voltage = voltage;
  cfg(d);
  e_s1::timezero = true;
  wakro_buildgm();
  time_machine(state, [&] {
    exe(in);
    benchmark::DoNotOptimize(e_s2::stor(kImTorque));
  });
  release_case();
}

void BM_Inducmc2Step(benchmark::State& state) {
  time_induction(state, inducmc2_cfg, inducmc2_exe, kVb);
}
BENCHMARK(BM_Inducmc2Step);

void BM_Inducmc1Step(benchmark::State& state) {
  time_induction(state, inducmc1_cfg, inducmc1_exe, kVb * std::sqrt(3.0));
}
BENCHMARK(BM_Inducmc1Step);

void BM_InducmcStep(benchmark::State& state) {
  using namespace wakro_bench;
  allocate_case(3, 3, 0, {{dim::stor, kSmBlock}, {dim::storf, kDnSlots}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  const std::string path = "/tmp/wakro_bench_inducmc_" + std::to_string(::getpid()) + ".dta";
  {
    std::ofstream f(path);
    f.precision(17);
    f << "DATADSD:\n0.02 0.05 0.03 0 0\n3.0 0.1 0.1 0.15 0 0 0.02 0 0 0 0 0\n100 " << kVb * std::sqrt(3.0) << " "
      << kW << "\n0.5 0.02 1.0\n0 0 0.2 0.2 0.6 0.45 2.0 0.8 -1 0 0 0 0 0 0 0 0 0 0 0\n"
      << "0 0 1 1 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\nENDPAGE:\n";
  }
  fnames::filename = wakro::FixedText<72>(path);
  wakro_openfile();
  fnames::section = "DATADSD:";
  wakro_gotosection();
  InducmcIn in;
  in.ss = 1;
  in.stator = {1, 2, 3};
  in.mode = 1;
  in.speed = 0.99;
  in.extra_cages = 1;
  rewind();
  e_s1::timezero = true;
  wakro_buildgm();
  time_machine(state, [&] {
    for (std::int32_t n = 1; n <= 3; ++n) e_s0::ggin(n, 1) = e_s0::ccin(n, 1) = 0.0;
    inducmc(in);
    benchmark::DoNotOptimize(e_s2::stor(kSmTorque));
  });
  wakro_closefile();
  std::remove(path.c_str());
  release_case();
}
BENCHMARK(BM_InducmcStep);

// ------------------------------------------------------- PM machine

PmData pm_machine() {
  PmData d;
  d.voltage = kVb * std::sqrt(3.0);
  d.power = 100.0;
  d.frequency = kW / (2.0 * 3.141592653589793);
  d.xd = 0.8;
  d.xq = 0.6;
  d.xkd = 0.9;
  d.xkq = 0.7;
  d.xl = 0.1;
  d.ra = 0.01;
  d.rkd = 0.05;
  d.rkq = 0.05;
  d.flux = 1.0;
  d.ri = 27.0;
  d.snubber_r = 5.0;
  d.snubber_steps = 5.0;
  d.inertia = 2.0;
  return d;
}

template <class Cfg, class Exe>
void time_pm(benchmark::State& state, Cfg cfg, Exe exe) {
  using namespace wakro_bench;
  allocate_case(3, 9, 0, {{dim::storf, kPsSlots2}, {dim::rtcf, kPmRecord2}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  PmStepIn in;
  in.ss = 1;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.phase[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
    in.snubber[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
  }
  in.speed = 1.0;
  in.speed_switch = 1;
  rewind();
  PmData d = pm_machine();
  cfg(d);
  e_s1::timezero = true;
  wakro_buildgm();
  time_machine(state, [&] { exe(in); });
  release_case();
}

void BM_Pmmac1Step(benchmark::State& state) {
  time_pm(
      state, [](PmData& d) {
        d.ri *= d.voltage * d.voltage / d.power;  // the first form takes ohms
        pmmac1_cfg(d);
      },
      [](const PmStepIn& in) { benchmark::DoNotOptimize(pmmac1_exe(in)); });
}
BENCHMARK(BM_Pmmac1Step);

void BM_Pmmac2Step(benchmark::State& state) {
  time_pm(
      state, [](PmData& d) { pmmac2_cfg(d); },
      [](const PmStepIn& in) {
        pmmac2_exe(in);
        benchmark::DoNotOptimize(storage::storf(kPsTorque));
      });
}
BENCHMARK(BM_Pmmac2Step);

void BM_PmmachineStep(benchmark::State& state) {
  using namespace wakro_bench;
  allocate_case(3, 6, 0, {{dim::storf, kPlSlots}});
  for (std::int32_t k = 1; k <= 3; ++k) add_rl(k, 0, 1.62, 0.0);
  PmmachineIn in;
  in.ss = 1;
  in.nodes = {1, 2, 3};
  for (std::int32_t k = 0; k < 3; ++k) in.snubber[static_cast<std::size_t>(k)] = add_rl(k + 1, 0, 1.0e9, 0.0);
  in.speed = 1.0;
  const PmData d = pm_machine();
  const double zb = d.voltage * d.voltage / d.power, ib = d.power / (std::sqrt(3.0) * d.voltage);
  const std::string path = "/tmp/wakro_bench_pmmachine_" + std::to_string(::getpid()) + ".dta";
  {
    std::ofstream f(path);
    f.precision(17);
    f << "DATADSD:\n" << d.voltage << " " << ib << " " << kW << "\n0.8 0.6 0.7 0.5 0.9 0.7 0.1\n0.01 0.05 0.05\n"
      << std::sqrt(2.0) << "\n" << 27.0 * zb << "\n5.0 5.0\nENDPAGE:\n";
  }
  fnames::filename = wakro::FixedText<72>(path);
  wakro_openfile();
  fnames::section = "DATADSD:";
  wakro_gotosection();
  rewind();
  e_s1::timezero = true;
  wakro_buildgm();
  time_machine(state, [&] {
    for (std::int32_t n = 1; n <= 3; ++n) e_s0::ggin(n, 1) = e_s0::ccin(n, 1) = 0.0;
    benchmark::DoNotOptimize(pmmachine(in));
  });
  wakro_closefile();
  std::remove(path.c_str());
  release_case();
}
BENCHMARK(BM_PmmachineStep);

}  // namespace
