#include "gfm_bench.h"

#include <cmath>
#include <map>
#include <sstream>

#include "case/inverter_loops.h"
#include "case/module_frame.h"
#include "devices/variable_branches.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/e_s8.h"
#include "model/quolbv3.h"
#include "module_run.h"

namespace casetest {
namespace {

using namespace wakro::casecode;

constexpr std::int32_t kIslandNodes = 27;
constexpr double kZb = 13.8 * 13.8 / 100.0;  // ohm
constexpr double kW0 = 2.0 * 3.141592653589793 * 60.0;

// Global nodes of an island (from 1): E 1-3, after R1 4-6, after L1 7-9,
// B 10-12, capacitor's R3 node 13-15, after R2 16-18, after L2 19-21, A 22-24,
// the load point C 25-27.
enum Point : std::int32_t { kE = 1, kR = 4, kLout = 7, kB = 10, kD = 13, kG = 16, kH = 19, kA = 22, kC = 25 };

// The record's node k (1..27) on the island's global nodes: V_c at 4-6,
// V_b at 8-10 and V_a at 22-24 as the module reads them.
constexpr std::int32_t kRecord[kIslandNodes] = {kE,     kE + 1, kE + 2, kC,     kC + 1, kC + 2, kR,     kB,     kB + 1,
                                                kB + 2, kR + 1, kR + 2, kLout,  kLout + 1, kLout + 2, kD, kD + 1, kD + 2,
                                                kG,     kG + 1, kG + 2, kA,     kA + 1, kA + 2, kH,     kH + 1, kH + 2};

std::int32_t local(std::int32_t global) {
  for (std::int32_t k = 0; k < kIslandNodes; ++k)
    if (kRecord[k] == global) return k + 1;
  return -1;
}

// The module's 30 branches in its page data, by local record nodes.
std::string inverter_page() {
  std::ostringstream b;
  b << "BRANCHES:\n";
  auto three = [&](std::int32_t from, std::int32_t to, const char* type) {
    for (std::int32_t k = 0; k < 3; ++k)
      b << " " << (from ? local(from + k) : 0) << " " << (to ? local(to + k) : 0) << " " << type << "\n";
  };
  three(kLout, kB, "R 1.0E-4");  // 1-3 meter I_b
  b << " 0 " << local(kE + 2) << " RE 1.0E-6 0.0\n";  // 4-6 sources c, b, a
  b << " 0 " << local(kE + 1) << " RE 1.0E-6 0.0\n";
  b << " 0 " << local(kE) << " RE 1.0E-6 0.0\n";
  three(kH, kA, "R 1.0E-4");     // 7-9 meter I_a
  three(kE, kR, "R 1.0");        // 10-12 R1
  three(kR, kLout, "L 1.0E-3");  // 13-15 L1
  three(kD, 0, "R 1.0");         // 16-18 R3
  three(kB, kG, "R 1.0");        // 19-21 R2
  three(kG, kH, "L 1.0E-3");     // 22-24 L2
  three(kB, kD, "C 100.0");      // 25-27 capacitor
  three(kA, kC, "R 1.0E-4");     // 28-30 meter I_c
  return module_file(b.str());
}

// The grid page: per island a 0.5 pu R-L load at power factor 0.9 and the
// switchable resistance, both at C.
std::string grid_page(std::int32_t islands) {
  const double z = kZb / 0.5, r = 0.9 * z, l = std::sqrt(1.0 - 0.81) * z / kW0;
  std::ostringstream b;
  b << "BRANCHES:\n";
  for (std::int32_t i = 0; i < islands; ++i)
    for (std::int32_t k = 1; k <= 3; ++k) b << " " << 3 * i + k << " 0 RL " << r << " " << l << "\n";
  for (std::int32_t i = 0; i < islands; ++i)
    for (std::int32_t k = 1; k <= 3; ++k) b << " " << 3 * i + k << " 0 R 1.0E6\n";
  return module_file(b.str());
}

const GfmRunPlan* g_plan = nullptr;
GfmRun* g_run = nullptr;
std::vector<GfmArgs> g_args;
std::int32_t g_step = 0;
ModuleCounts g_grid{"Grid", 5, 0, 0, 0, 12, 0};

// The instances' signal bases from the call record: rows 2.. in call order
// (Grid is row 1; each inverter takes five rows).
std::int32_t inverter_row(std::size_t call) { return 2 + 5 * static_cast<std::int32_t>(call); }

void grid_dyn() {
  const ModuleCall c = enter_dyn(g_grid);
  open_data(g_grid, "DATADSD:");
  const std::size_t n = g_args.size();
  // The switchable loads.
  const double r_step = g_plan->step_pu > 0.0 && e_s1::time >= g_plan->step_time ? kZb / g_plan->step_pu : 1.0E6;
  for (std::int32_t k = 1; k <= 3 * static_cast<std::int32_t>(n); ++k)
    e_varrlc1_exe(wakro::devices::kVarResistance, c.ss, c.branch(3 * static_cast<std::int32_t>(n) + k), 0, r_step,
                  0.0);
  if (g_plan->edit) g_plan->edit(e_s1::time, g_args);
  const std::int32_t marker = e_s8::mxinv(1);
  for (std::int32_t idx : g_plan->order) gfm_inverter_dev2dyn(g_args[static_cast<std::size_t>(idx)]);
  if (!e_s1::timezero && e_s8::mxinv(1) < marker) ++g_run->refactor_steps_after_zero;
  close_data();
}

void grid_out() {
  (void)enter_out(g_grid);
  open_data(g_grid, "DATADSO:");
  for (std::size_t k = 0; k < g_args.size(); ++k) gfm_inverter_dev2out();
  close_data();
  if (g_step++ % g_plan->every != 0) return;
  for (std::size_t call = 0; call < g_plan->order.size(); ++call) {
    const std::size_t idx = static_cast<std::size_t>(g_plan->order[call]);
    const std::int32_t row = inverter_row(call);
    const std::int32_t fb = quolbv3::txfr(row, 3), ib = quolbv3::txfr(row, 2);
    GfmSample s;
    s.t = e_s1::time;
    // Channels: the instance's slice in call order.
    const std::int32_t pgb = 54 * static_cast<std::int32_t>(call) + 8 * static_cast<std::int32_t>(call);
    for (std::int32_t k = 1; k <= 54; ++k) s.ch[k] = e_s4::pgb(pgb + k);
    s.f_out = g_args[idx].f_out;
    s.vmag = quolbv3::stof(fb + kGfmVmag);
    const double icd = s.ch[44], icq = -s.ch[42];
    s.i_load = std::hypot(icd, icq);
    s.flag = quolbv3::stoi(ib + kGfmFlag);
    s.fm = quolbv3::stof(fb + kGfmFm);
    s.zb = quolbv3::stof(fb + kGfmZb);
    s.lb = quolbv3::stof(fb + kGfmLb);
    s.r1 = quolbv3::stof(fb + kGfmR1);
    s.l1 = quolbv3::stof(fb + kGfmL1);
    s.cap = quolbv3::stof(fb + kGfmCapMicro);
    s.angle_integral = quolbv3::stof(fb + kGfmAngleIntegral);
    g_run->samples[idx].push_back(s);
  }
}

void grid_dyn_begin() {
  const ModuleCall c = enter_begin(g_grid);
  for (std::int32_t k = 1; k <= 3 * static_cast<std::int32_t>(g_args.size()); ++k)
    e_varrlc1_cfg(wakro::devices::kVarResistance, c.ss, c.branch(3 * static_cast<std::int32_t>(g_args.size()) + k), 0);
  for (std::size_t k = 0; k < g_args.size(); ++k) gfm_inverter_dev2dyn_begin();
}

void grid_out_begin() {
  (void)enter_begin(g_grid);
  for (std::size_t k = 0; k < g_args.size(); ++k) gfm_inverter_dev2out_begin();
}

}  // namespace

wakro::casecode::GfmArgs gfm_test_args() {
  GfmArgs a;
  a.f0 = 60.0;
  a.rating_kva = 100000.0;
  a.rated_kv = 13.8;
  a.hold_factor = 0.0;
  a.v_set_pu = 1.0;
  a.hold_sel = 0;           // no angle hold
  a.magnitude_sel = 1;      // the regulated magnitude
  a.t_a = 1.0;
  a.t_b = 0.5;
  a.v_meas_sel = 1;         // powers from V_a
  a.virtual_r_sel = 0;
  a.l1_pu = 0.15;
  a.r1_pu = 0.005;
  a.cap_pu = 10.0;
  a.r2_pu = 0.005;
  a.l2_pu = 0.05;
  a.r3_pu = 0.01;
  a.rv_pu = 0.0;
  a.pll_filter = 2.0 * 3.141592653589793 * 100.0;
  a.p_filter = 2.0 * 3.141592653589793 * 10.0;
  a.v_filter = 2.0 * 3.141592653589793 * 10.0;
  a.f_meas_t = 0.05;
  a.pll_ki = 2000.0;
  a.vr_ki = 5.0;
  a.vr_kp = 0.5;
  a.pll_kp = 100.0;
  a.p_droop = 0.05;         // 5 %
  a.q_droop = 0.05;
  a.cl_kff = 1.0;
  a.cl_ki = 150.0;
  a.cl_kp = 0.8;
  a.vl_ki = 13.0;
  a.vl_kp = 0.13;
  a.vl_kff = 1.0;
  a.t_e = 1000.0;           // limit controllers off
  a.p_low_pu = 0.0;
  a.p_high_pu = 1.0;
  a.f_range_low = 1.0;
  a.f_range_high = -1.0;
  a.lim_gain = 1.0;
  a.lim_t = 1.0;
  a.anti_windup = 1;
  a.t_c = 1.5;
  a.i_limit_pu = 1.1;
  a.fs_period = 2.0;
  a.fs_gain = 0.0;
  a.t_d = 1000.0;           // measured frequency not used
  return a;
}

GfmRun run_gfm(const GfmRunPlan& plan) {
  GfmRun run;
  g_plan = &plan;
  g_run = &run;
  g_args = plan.instances;
  g_step = 0;
  const std::size_t n = plan.instances.size();
  run.samples.assign(n, {});
  g_grid.nb = 6 * static_cast<std::int32_t>(n);
  g_grid.record = 2 + 3 * static_cast<std::int32_t>(n);

  std::ostringstream dims;
  dims << " NODES = " << kIslandNodes * n << "\n SUBSYS = 1\n BRANCHES = " << 36 * n << "\n NNODES = "
       << g_grid.record + 37 * n << "\n NPAGES = " << 1 + 5 * n << "\n STOF = " << 513 * n << "\n STOI = " << 28 * n
       << "\n PGBS = " << 62 * n << "\n STOR = " << 100 * n << "\n STORF = " << 400 * n << "\n STORI = " << 150 * n
       << "\n STORL = " << 20 * n << "\n RTCF = " << 100 * n << "\n RTCI = " << 60 * n << "\n";
  std::ostringstream map;
  map << "DIMENSIONS:\n" << dims.str() << "PARAMETERS:\n TITLE = 'inverter test'\n TIME_STEP = " << plan.dt
      << "\n PRINT_STEP = 1.0E-3\n FINISH_TIME = " << plan.finish << "\nSUBSYSDIM:\n 1 " << kIslandNodes * n << "\n";
  std::ostringstream grid_nodes;
  grid_nodes << "1 " << 3 * n;
  for (std::size_t i = 0; i < n; ++i)
    for (std::int32_t k = 0; k < 3; ++k) grid_nodes << " " << kIslandNodes * static_cast<std::int32_t>(i) + kC + k;
  map << "MAP: Grid.dta\n " << grid_nodes.str() << "\n 0 0\n";
  // Each call's record on the island of the instance it serves.
  for (std::int32_t idx : plan.order) {
    std::ostringstream nodes;
    nodes << "1 " << kIslandNodes;
    for (std::int32_t g : kRecord) nodes << " " << kIslandNodes * idx + g;
    map << "MAP: GFM_Inverter_Dev2.dta\n " << nodes.str() << "\n 0 0\n";
    for (const char* m : {"PhaseLocked_Loop", "Voltage_Loop", "Current_Limiter_Scale", "Current_Loop_1"})
      map << "MAP: " << m << ".dta\n 1 0\n 0 0\n";
  }
  map << "ENDCASE:\n";
  const std::map<std::string, std::string> files{
      {"gfm.map", map.str()},
      {"Grid.dta", grid_page(static_cast<std::int32_t>(n))},
      {"GFM_Inverter_Dev2.dta", inverter_page()},
      {"PhaseLocked_Loop.dta", module_file("")},
      {"Voltage_Loop.dta", module_file("")},
      {"Current_Limiter_Scale.dta", module_file("")},
      {"Current_Loop_1.dta", module_file("")}};
  CaseRoutines r{&grid_dyn, &grid_out, &grid_dyn_begin, &grid_out_begin};
  const ModuleRunResult res = run_modules(files, "gfm.map", r);
  run.status = res.status;
  run.console = res.console;
  return run;
}

}  // namespace casetest
