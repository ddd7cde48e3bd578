// Main, the case's page, and Station, its root (see main_page.h).
#include "case/main_page.h"

#include <array>
#include <cmath>

#include "blocks/configured_delay.h"
#include "blocks/conventions.h"
#include "blocks/interpolated.h"
#include "blocks/meters.h"
#include "blocks/phase_meters.h"
#include "blocks/pll.h"
#include "blocks/poles.h"
#include "blocks/slots.h"
#include "case/generic_sg_1.h"
#include "case/gfm_inverter_dev2.h"
#include "case/line_shells.h"
#include "devices/branch_cfg.h"
#include "devices/dynamic_loads.h"
#include "devices/faults.h"
#include "diag/convert.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "output/runtime_messages.h"
#include "transformers/saturation.h"
#include "transformers/taps.h"
#include "transformers/tf_cfg.h"

namespace {

using namespace wakro::casecode;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_stori;

constexpr double kF0 = 60.0;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kKilo = 1000.0;
constexpr double kLagT = 0.02;
constexpr double kOscKp = 50.0, kOscKi = 450.0, kOscStart = 0.05, kOscUpper = 1.2, kOscLower = 0.8;
constexpr double kFaultOn = 10.0, kFaultOff = 10.0017, kFaultRoff = 1.0E+06, kFaultRon = 0.01;
constexpr std::int32_t kFaultType = 7, kFaultFirst = 73;
// The page's integer storage (storage::stori): the fault state last sent as "AG1".
enum FaultStori : std::int32_t { kFaultStateSent = 1, kFaultStoriSize = kFaultStateSent };
constexpr std::array<double, 6> kChannelConstants{1.63, 0.049, 0.85, -0.1145, 0.7163, 0.2791};

// Transformer groups: three single-phase units of 33.3 MVA, winding 1 LV.
struct TransformerGroup {
  std::int32_t first_winding;  // six winding branches from here; the LV three saturate
  double x_pu;
  double v1_kv;
};
constexpr double kUnitMva = 33.3333333333333;
constexpr double kUnitHvKv = 132.79056191361397;
constexpr double kMagnetising = 2.0;
constexpr std::array<TransformerGroup, 3> kTransformers{{
    {34, 0.0625, 10.392304845413268},  // 1: generator, 18 / 230 kV
    {7, 0.0586, 7.967433714816838},    // 2: inverter 1, 13.8 / 230 kV
    {67, 0.0576, 9.526279441628828},   // 3: inverter 2, 16.5 / 230 kV
}};

// Loads: per-phase P and Q at rated voltage; six branches from `first`.
struct Load {
  std::int32_t first;
  double p_mw, q_mvar;
};
constexpr std::array<Load, 3> kLoads{{{19, 33.33333, 11.66667}, {43, 41.66667, 16.66667}, {52, 30.0, 10.0}}};
constexpr double kLoadPhaseKv = 132.790562, kLoadStartCycles = 10.0;

// Measuring groups: meter branches (first of three), base voltage, smoothing,
// and whether the group talks to the design environment. Group g measures at
// Main's point 9 + g.
struct Group {
  std::int32_t first_branch;
  double v_base;
  double t;
  bool runtime;
};
constexpr std::array<Group, kGroups> kMeters{{{31, 230.0, 0.02, true},
                                              {25, 18.0, 0.05, true},
                                              {16, 230.0, 0.02, false},
                                              {13, 230.0, 0.02, true},
                                              {1, 13.8, 0.05, true},
                                              {40, 230.0, 0.02, false},
                                              {49, 230.0, 0.02, false},
                                              {58, 230.0, 0.02, true},
                                              {61, 16.5, 0.05, true}}};
enum GroupConfig : std::int32_t { kGcPowerScale = 1, kGcInvVbase, kGcSmoothing, kGcFrequency, kGcSpare, kGcSize = kGcSpare };

// Oscillators: rated voltage [V] and Main's point. 1-6 on the 230 kV buses
// 4-9, 7 on bus 3 (13.8 kV), 8 on bus 2 (18 kV), 9 on bus 1 (16.5 kV).
struct Oscillator {
  double v_base;
  std::int32_t point;
};
constexpr std::array<Oscillator, kOscillators> kOsc{{{230000.0, 4},
                                                      {230000.0, 5},
                                                      {230000.0, 6},
                                                      {230000.0, 7},
                                                      {230000.0, 8},
                                                      {230000.0, 9},
                                                      {13800.0, 3},
                                                      {18000.0, 2},
                                                      {16500.0, 1}}};

// Transport delays in call order: sub-step (floored) mode, maximum samples,
// delay, and the oscillator whose frequency they delay.
struct Delay {
  std::int32_t sub_step, max_samples;
  double td;
  std::int32_t osc;
};
constexpr std::array<Delay, kDelays> kDelayTable{{{0, 100, 0.05, 1},
                                                  {1, 10000, 0.1, 2},
                                                  {0, 100, 0.05, 3},
                                                  {1, 10000, 0.1, 4},
                                                  {0, 100, 0.05, 7},
                                                  {1, 10000, 0.1, 8},
                                                  {0, 100, 0.05, 9},
                                                  {1, 10000, 0.1, 5}}};

// The generator: load-flow point of bus 2 and the module's constants.
constexpr double kGenV = 1.025, kGenThetaDeg = 9.2796, kGenP = 163.0, kGenQ = 6.627;
constexpr double kGenVb = kGeneratorData.rated_phase_kv, kGenIb = kGeneratorData.rated_phase_ka;
constexpr double kGovernorReference = kGenP;  // MW: the load flow's (see main_page.h)

// The inverters' load-flow points (terminal): V [pu], angle [deg], and the
// trim of argument 7 (see main_page.h).
struct InverterPoint {
  double kv, v, angle_deg, trim_deg;
};
constexpr double kInverter1Trim = 0.6, kInverter2Trim = 0.3;
constexpr std::array<InverterPoint, 2> kInverterPoints{{{13.8, 1.025, 4.6666, kInverter1Trim},
                                                        {16.5, 1.04, 0.0, kInverter2Trim}}};
// The filter's shunt branch (see main_page.h): a capacitor of 0.05 pu
// susceptance (reactance argument 20) with 0.005 pu in series.
constexpr double kFilterCapacitor = 20.0;       // argument 16, branches 25-27
constexpr double kCapacitorResistance = 0.005;  // argument 19, branches 16-18
// Both inverters' arguments: the same control and filter data, their own
// terminal point (arguments 3, 6 and 7).
GfmArgs inverter_args(const InverterPoint& pt) {
  return GfmArgs{.f0 = kF0,
                 .rating_kva = 100000.0,
                 .rated_kv = pt.kv,
                 .hold_factor = 0.0,
                 .arg5 = 0.0,
                 .v_set_pu = pt.v,
                 .phase_deg = pt.angle_deg + pt.trim_deg,
                 .hold_sel = 1,
                 .magnitude_sel = 1,
                 .t_a = 0.6,
                 .t_b = 0.2,
                 .v_meas_sel = 1,
                 .virtual_r_sel = 1,
                 .l1_pu = 0.15,
                 .r1_pu = 0.005,
                 .cap_pu = kFilterCapacitor,  // see main_page.h
                 .r2_pu = 0.005,
                 .l2_pu = 0.15,
                 .r3_pu = kCapacitorResistance,  // see main_page.h
                 .rv_pu = 0.09,
                 .pll_filter = 500.0,
                 .p_filter = 120.0,
                 .v_filter = 60.0,
                 .f_meas_t = 0.1,
                 .pll_ki = 415.0,
                 .vr_ki = 20.0,
                 .vr_kp = 2.0,
                 .pll_kp = 52.0,
                 .p_droop = 0.05,
                 .q_droop = 0.05,
                 .cl_kff = 1.0,
                 .cl_ki = 1.19,
                 .cl_kp = 0.73,
                 .vl_ki = 1.16,
                 .vl_kp = 0.52,
                 .vl_kff = 1.0,
                 .t_e = 20.0,
                 .p_low_pu = 0.2,
                 .p_high_pu = 1.0,
                 .f_range_low = 0.5,
                 .f_range_high = -0.5,
                 .lim_gain = 0.1,
                 .lim_t = 0.01,
                 .anti_windup = 1,
                 .t_c = 5.0,
                 .i_limit_pu = 1.1,
                 .fs_period = 0.1,
                 .fs_gain = 0.1,
                 .t_d = 20.0};
}

// The page's arguments to its modules, with their values at the start of a
// run. The ones the modules write back are carried from step to step in the
// page's signal block (restore_arguments, save_arguments); the others are
// constants.
struct PageState {
  std::array<GfmArgs, 2> inverters{inverter_args(kInverterPoints[0]), inverter_args(kInverterPoints[1])};
  SgArgs generator{.governor_mw = kGovernorReference, .vref = kGenV};
};
const PageState kPageStart{};

void restore_arguments(const ModuleCall& c, PageState& a) {
  restore_written_back(c, kMnGenArg, a.generator);
  for (std::size_t k = 0; k < a.inverters.size(); ++k) {
    GfmArgs& inv = a.inverters[k];
    const std::int32_t s = kMnInvArg + kIaCount * static_cast<std::int32_t>(k);
    for (std::int32_t j = 0; j < 3; ++j) {
      inv.out50[static_cast<std::size_t>(j)] = c.f(s + kIaOut50 + j);
      inv.out51[static_cast<std::size_t>(j)] = c.f(s + kIaOut51 + j);
    }
    inv.q_out = c.f(s + kIaQ);
    inv.p_out = c.f(s + kIaP);
    inv.f_out = c.f(s + kIaF);
  }
}

void save_arguments(const ModuleCall& c, const PageState& a) {
  save_written_back(c, kMnGenArg, a.generator);
  for (std::size_t k = 0; k < a.inverters.size(); ++k) {
    const GfmArgs& inv = a.inverters[k];
    const std::int32_t s = kMnInvArg + kIaCount * static_cast<std::int32_t>(k);
    for (std::int32_t j = 0; j < 3; ++j) {
      c.f(s + kIaOut50 + j) = inv.out50[static_cast<std::size_t>(j)];
      c.f(s + kIaOut51 + j) = inv.out51[static_cast<std::size_t>(j)];
    }
    c.f(s + kIaQ) = inv.q_out;
    c.f(s + kIaP) = inv.p_out;
    c.f(s + kIaF) = inv.f_out;
  }
}

std::int32_t point_node(const ModuleCall& c, std::int32_t point, std::int32_t phase) {
  return c.node(3 * point - 2 + phase);
}

// The oscillators' frequency lag, nine a step: in line.
[[gnu::always_inline]] inline double lag(double x) { return realpole(0, 1, 0, 1.0, kLagT, x, 0.0, 0.0, 0.0); }

void configure_transformer(const ModuleCall& c, std::int32_t group) {
  const TransformerGroup& g = kTransformers[static_cast<std::size_t>(group - 1)];
  component_id(c.call_no, kIdGroup1 + group - 1);
  for (std::int32_t ph = 1; ph <= 3; ++ph)
    e_tf2w_cfg(c.xfmr_base + 3 * (group - 1) + ph, 1, kUnitMva, kF0, g.x_pu, 0.0, g.v1_kv, kUnitHvKv, kMagnetising);
  for (std::int32_t k = 0; k < 6; ++k) e_branch_cfg(c.branch(g.first_winding + k), c.ss, false, false, false, 0.0, 0.0, 0.0);
  tsat1_cfg(c.branch(g.first_winding), c.branch(g.first_winding + 1), c.branch(g.first_winding + 2), c.ss, kUnitMva,
            g.v1_kv, 0.2, 1.17, kF0, 0.0, 2.0, 0.0);
}

void step_transformer(const ModuleCall& c, std::int32_t group) {
  const TransformerGroup& g = kTransformers[static_cast<std::size_t>(group - 1)];
  component_id(c.call_no, kIdGroup1 + group - 1);
  tsat1_exe(c.branch(g.first_winding), c.branch(g.first_winding + 1), c.branch(g.first_winding + 2), c.ss, 1.0, 0);
  for (std::int32_t ph = 1; ph <= 3; ++ph) trtap5(c.xfmr_base + 3 * (group - 1) + ph, 1, c.ss, 1.0);
}

void oscillator(const ModuleCall& c, std::int32_t k) {
  const Oscillator& o = kOsc[static_cast<std::size_t>(k - 1)];
  const std::int32_t s = kMnOsc + 5 * (k - 1);
  component_id(c.call_no, kIdOsc + k - 1);
  const double va = wakro_vvdc(c.ss, point_node(c, o.point, 0), 0) * kKilo;
  const double vb = wakro_vvdc(c.ss, point_node(c, o.point, 1), 0) * kKilo;
  const double vc = wakro_vvdc(c.ss, point_node(c, o.point, 2), 0) * kKilo;
  tveka1_exe(va, vb, vc, kOscKp, kOscKi, 0.0, kOscStart, kOscUpper, kOscLower, c.f(s + kOscAngle), c.f(s + kOscError),
             c.f(s + kOscFreq));
  c.f(s + kOscDegrees) = c.f(s + kOscAngle) * kRadToDeg;
}

void configure_oscillator(const ModuleCall& c, std::int32_t k) {
  component_id(c.call_no, kIdOsc + k - 1);
  tveka1_cfg(kOsc[static_cast<std::size_t>(k - 1)].v_base, kF0);
}

void oscillator_lag(const ModuleCall& c, std::int32_t k) {
  const std::int32_t s = kMnOsc + 5 * (k - 1);
  c.f(s + kOscLagged) = lag(c.f(s + kOscFreq));
}

void delay(const ModuleCall& c, std::int32_t k) {
  const Delay& d = kDelayTable[static_cast<std::size_t>(k - 1)];
  delay2_exe(c.f(kMnOsc + 5 * (d.osc - 1) + kOscFreq), c.f(kMnDelay + k - 1));
}

void configure_delay(std::int32_t k) {
  const Delay& d = kDelayTable[static_cast<std::size_t>(k - 1)];
  delay2_cfg(d.sub_step, d.max_samples, 1, d.td, 0.0);
}

void generator_begin(bool dyn) {
  double v = kGenV, theta = kGenThetaDeg / kRadToDeg, p = kGenP, q = kGenQ, scale = 100.0, vb = kGenVb,
         ib = kGenIb, c3 = 2.0, rel = 0.1, c5 = 0.05, h = kGeneratorData.inertia;
  if (dyn)
    generic_sg_1dyn_begin(v, theta, p, q, scale, vb, ib, c3, rel, c5, h);
  else
    generic_sg_1out_begin(v, theta, p, q, scale, vb, ib, c3, rel, c5, h);
}

// One measuring group of the output routine.
void measure(const ModuleCall& c, std::int32_t g) {
  const Group& m = kMeters[static_cast<std::size_t>(g - 1)];
  const wakro::blocks::Slots<double> cfg = take_rtcf(kGcSize);
  const std::int32_t s = kMnGroup + 7 * (g - 1), point = 9 + g, b = c.branch(m.first_branch);
  // The point's three nodes and voltages, read once for the group's meters.
  const std::int32_t n[3] = {point_node(c, point, 0), point_node(c, point, 1), point_node(c, point, 2)};
  double vabc[3];
  for (std::int32_t ph = 0; ph < 3; ++ph) c.f(s + kGrVa + ph) = vabc[ph] = wakro_vvdc(c.ss, n[ph], 0);
  const double p = p3ph3(c.ss, b, b + 1, b + 2, cfg(kGcSmoothing), 0) * cfg(kGcPowerScale);
  const double q = q3ph3(c.ss, b, b + 1, b + 2, cfg(kGcSmoothing), 0) * cfg(kGcPowerScale);
  const double v = vm3ph2(c.ss, n[0], n[1], n[2], cfg(kGcSmoothing)) * cfg(kGcInvVbase);
  double angle = 0.0;
  mphase3ps(1, 0, vabc[0], vabc[1], vabc[2], cfg(kGcSmoothing), cfg(kGcFrequency), angle);
  c.f(s + kGrP) = p;
  c.f(s + kGrQ) = q;
  c.f(s + kGrV) = v;
  c.f(s + kGrAngle) = angle;
  if (!m.runtime) return;
  const std::int32_t id = kIdMeter + g - 1;
  if (e_s1::firststep) {
    quolb_agi2(c.call_no, id, 1, "hide1");
    quolb_agi2(c.call_no, id, 1, "hide2");
  }
  if (e_s4::update_ag != 0) {
    quolb_agr2(c.call_no, id, p, "Pd");
    quolb_agr2(c.call_no, id, q, "Qd");
    quolb_agr2(c.call_no, id, v, "Vd");
  }
}

void configure_group(std::int32_t g) {
  const Group& m = kMeters[static_cast<std::size_t>(g - 1)];
  const wakro::blocks::Slots<double> cfg = take_rtcf(kGcSize);
  cfg(kGcPowerScale) = 0.01;
  cfg(kGcInvVbase) = 1.0 / m.v_base;
  cfg(kGcSmoothing) = m.t;
  cfg(kGcFrequency) = kF0;
}

void write_constants(const ModuleCall& c) {
  c.f(kMnLagT) = kLagT;
  c.f(kMnKp) = kOscKp;
  c.f(kMnKi) = kOscKi;
  c.f(kMnOne) = 1.0;
  c.f(kMnFive) = 5.0;
  c.f(kMnStart) = kOscStart;
  c.f(kMnThird) = 1.0 / 3.0;
  c.f(kMn120) = 120.0;
  c.f(kMn20) = 20.0;
}

}  // namespace

void maindyn_begin() {
  const ModuleCall c = enter_begin(kMain);
  t7_8dyn_begin();
  t8_9dyn_begin();
  configure_transformer(c, 1);
  configure_transformer(c, 2);
  t5_7dyn_begin();
  t6_9dyn_begin();
  t4_5dyn_begin();
  t4_6dyn_begin();
  e3phflt1_cfg(kFaultRoff, 0.0);
  for (std::int32_t k = 1; k <= 6; ++k) configure_oscillator(c, k);
  generator_begin(true);
  gfm_inverter_dev2dyn_begin();
  gfm_inverter_dev2dyn_begin();
  for (std::int32_t k = 1; k <= 4; ++k) configure_delay(k);
  configure_oscillator(c, 7);
  configure_delay(5);
  configure_oscillator(c, 8);
  configure_oscillator(c, 9);
  for (std::int32_t k = 6; k <= 8; ++k) configure_delay(k);
  configure_transformer(c, 3);
  for (std::size_t k = 0; k < kLoads.size(); ++k) {
    component_id(c.call_no, kIdLoad + static_cast<std::int32_t>(k));
    load1p2_cfg(0, 1, kLoadPhaseKv, 1.0, kF0, kLoads[k].p_mw, kLoads[k].q_mvar, kLoadStartCycles, 0.0, 0.0, 0.0, 0.0,
                1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
  }
}

void mainout_begin() {
  (void)enter_begin(kMain);
  t7_8out_begin();
  configure_group(1);
  configure_group(2);
  t8_9out_begin();
  for (std::int32_t g = 3; g <= 5; ++g) configure_group(g);
  t5_7out_begin();
  t6_9out_begin();
  configure_group(6);
  t4_5out_begin();
  configure_group(7);
  t4_6out_begin();
  configure_group(8);
  configure_group(9);
  generator_begin(false);
  gfm_inverter_dev2out_begin();
  gfm_inverter_dev2out_begin();
}

void maindyn() {
  const ModuleCall c = enter_dyn(kMain);
  PageState a = kPageStart;
  restore_arguments(c, a);
  open_data(kMain, "DATADSD:");
  const double t = e_s1::time;
  // 1. Step signals, stored only.
  XPair step{0.0, 0.0};
  wakro_x2comp(0, 0, t, 3.5, 1.05, 0.0, 1.0, step);
  c.f(kMnStep1) = step[0];
  wakro_x2comp(0, 0, t, 5.2, 1.02, 0.0, 1.0, step);
  c.f(kMnStep2) = step[0];
  // 2. The constant channels and signals.
  for (std::size_t k = 0; k < kChannelConstants.size(); ++k)
    e_s4::pgb(c.pgb_base + kChConst1 + static_cast<std::int32_t>(k)) = kChannelConstants[k];
  write_constants(c);
  // 3-5. Lines and the generator's and inverter 1's transformer groups.
  t7_8dyn();
  t8_9dyn();
  step_transformer(c, 1);
  step_transformer(c, 2);
  t5_7dyn();
  t6_9dyn();
  t4_5dyn();
  t4_6dyn();
  // 6. The fault, and "AG1" (1 while it is applied) on the first step and on
  // every change of its state.
  const std::int32_t ctrl = (t >= kFaultOn && t < kFaultOff) ? 1 : 0;
  c.i(kMnFaultCtrlInt) = ctrl;
  c.f(kMnFaultCtrl) = ctrl;
  const std::int32_t fb = c.branch(kFaultFirst);
  e3phflt1_exe(c.ss, fb, fb + 1, fb + 2, fb + 3, fb + 4, fb + 5, false, ctrl, kFaultType, kFaultRon);
  bool all_open = true;
  for (std::int32_t k = 0; k < 6; ++k) all_open = all_open && branches::openbr(fb + k, c.ss);
  const std::int32_t state = e_btoi(all_open);
  c.i(kMnFaultState) = state;
  const wakro::blocks::Slots<std::int32_t> kept = take_stori(kFaultStoriSize);
  if (e_s1::firststep || kept(kFaultStateSent) != state) quolb_agi2(c.call_no, kIdFault, 1 - state, "AG1");
  kept(kFaultStateSent) = state;
  // 7. Time flags (their time-zero values directly at time zero).
  c.i(kMnBefore10) = e_s1::timezero ? 1 : e_btoi(t < 10.0);
  c.i(kMnBefore20) = e_s1::timezero ? 1 : e_btoi(t < 20.0);
  c.i(kMnFrom20) = e_s1::timezero ? 0 : e_btoi(t >= 20.0);
  c.i(kMnBefore5) = e_s1::timezero ? 1 : e_btoi(t < 5.0);
  c.i(kMnBefore20b) = e_s1::timezero ? 1 : e_btoi(t < 20.0);
  // 8. Six oscillators on the 230 kV buses, each with its frequency lag.
  for (std::int32_t k = 1; k <= 3; ++k) oscillator(c, k);
  for (std::int32_t k = 1; k <= 3; ++k) oscillator_lag(c, k);
  for (std::int32_t k = 4; k <= 6; ++k) oscillator(c, k);
  for (std::int32_t k = 4; k <= 6; ++k) oscillator_lag(c, k);
  // 9. The generator.
  generic_sg_1dyn(a.generator);
  // 10. The inverters, 13.8 kV then 16.5 kV.
  gfm_inverter_dev2dyn(a.inverters[0]);
  gfm_inverter_dev2dyn(a.inverters[1]);
  // 11. Delays and the three source-bus oscillators.
  for (std::int32_t k = 1; k <= 4; ++k) delay(c, k);
  oscillator(c, 7);
  delay(c, 5);
  oscillator(c, 8);
  oscillator(c, 9);
  for (std::int32_t k = 6; k <= 8; ++k) delay(c, k);
  for (std::int32_t k = 7; k <= 9; ++k) oscillator_lag(c, k);
  // 12. Inverter 2's transformer group.
  step_transformer(c, 3);
  // 13. Loads.
  for (std::size_t k = 0; k < kLoads.size(); ++k) {
    component_id(c.call_no, kIdLoad + static_cast<std::int32_t>(k));
    const std::int32_t b = c.branch(kLoads[k].first);
    load3p2_exe(c.ss, b, b + 1, b + 2, b + 3, b + 4, b + 5, 1.0);
  }
  save_arguments(c, a);
  close_data();
}

void mainout() {
  const ModuleCall c = enter_out(kMain);
  open_data(kMain, "DATADSO:");
  t7_8out();
  measure(c, 1);
  measure(c, 2);
  t8_9out();
  for (std::int32_t g = 3; g <= 5; ++g) measure(c, g);
  t5_7out();
  t6_9out();
  measure(c, 6);
  t4_5out();
  measure(c, 7);
  t4_6out();
  measure(c, 8);
  measure(c, 9);
  // Channels from 7 on.
  const double ref = c.f(kMnGroup + 7 * (kGroups - 1) + kGrAngle);
  for (std::int32_t g = 1; g <= kGroups; ++g) {
    const std::int32_t s = kMnGroup + 7 * (g - 1), ch = c.pgb_base + kChGroup + 4 * (g - 1);
    e_s4::pgb(ch) = c.f(s + kGrP);
    e_s4::pgb(ch + 1) = c.f(s + kGrQ);
    e_s4::pgb(ch + 2) = c.f(s + kGrV);
    e_s4::pgb(ch + 3) = c.f(s + kGrAngle);
  }
  for (std::int32_t k = 1; k <= kOscillators; ++k)
    e_s4::pgb(c.pgb_base + kChFreq + k - 1) = c.f(kMnOsc + 5 * (k - 1) + kOscLagged);
  for (std::int32_t g = 1; g < kGroups; ++g) {
    double d = c.f(kMnGroup + 7 * (g - 1) + kGrAngle) - ref;
    d = std::remainder(d, 360.0);
    c.f(kMnAngleDiff + g - 1) = d;
    e_s4::pgb(c.pgb_base + kChAngleDiff + g - 1) = d;
  }
  for (std::int32_t k = 1; k <= kDelays; ++k) e_s4::pgb(c.pgb_base + kChDelay + k - 1) = c.f(kMnDelay + k - 1);
  e_s4::pgb(c.pgb_base + kChFault) = 1 - c.i(kMnFaultState);
  generic_sg_1out();
  gfm_inverter_dev2out();
  gfm_inverter_dev2out();
  write_constants(c);
  close_data();
}

void dsdyn() {
  (void)enter_dyn(kStation);
  open_data(kStation, "DATADSD:");
  maindyn();
  close_data();
}

void dsout() {
  (void)enter_out(kStation);
  open_data(kStation, "DATADSO:");
  mainout();
  close_data();
}

void dsdyn_begin() {
  (void)enter_begin(kStation);
  maindyn_begin();
}

void dsout_begin() {
  (void)enter_begin(kStation);
  mainout_begin();
}
