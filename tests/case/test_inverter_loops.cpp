// The inverter's four control modules run from data under a bench page that
// feeds them chosen inputs step by step: the phase-locked loop's frequency and
// angle at zero error, its crossed limits and their one warning per instance,
// the current limiter's four cases, and the two dq loops' closed forms with
// their integrators held at zero.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "blocks/interpolated.h"
#include "case/inverter_loops.h"
#include "case/module_frame.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/quolbv3.h"
#include "model/storage.h"
#include "support/shared_state.h"
#include "module_run.h"

namespace casetest {
namespace {

using namespace wakro::casecode;
using wakro::kTwoPi;

constexpr ModuleCounts kBench{"Bench", 5};
constexpr double kDt = 50.0e-6;

// The bench's body for one test: called in the dyn pass with the step number
// (0 at time zero), and the begin and out entries of the modules it calls.
std::function<void(std::int32_t)> g_body;
std::function<void()> g_out, g_begin_dyn, g_begin_out;
std::int32_t g_step = 0;

ModuleRunResult run_bench(const std::vector<std::string>& modules, double finish) {
  g_step = 0;
  CaseRoutines r;
  r.dyn = [] {
    (void)enter_dyn(kBench);
    open_data(kBench, "DATADSD:");
    g_body(g_step);
    close_data();
    ++g_step;
  };
  r.out = [] {
    (void)enter_out(kBench);
    open_data(kBench, "DATADSO:");
    g_out();
    close_data();
  };
  r.dyn_begin = [] {
    (void)enter_begin(kBench);
    g_begin_dyn();
  };
  r.out_begin = [] {
    (void)enter_begin(kBench);
    g_begin_out();
  };
  const std::string dims =
      " NODES = 3\n SUBSYS = 1\n BRANCHES = 3\n NNODES = 20\n NPAGES = 10\n STOF = 400\n STOI = 30\n PGBS = 20\n"
      " STOR = 40\n STORF = 200\n STORI = 40\n STORL = 10\n RTCF = 20\n RTCI = 30\n";
  std::vector<std::pair<std::string, std::string>> pages{{"Bench.dta", "1 3 1 2 3"}};
  std::map<std::string, std::string> files{{"Bench.dta", module_file("BRANCHES:\n 1 0 R 1.0\n 2 0 R 1.0\n 3 0 R 1.0\n")}};
  for (const std::string& m : modules) {
    pages.push_back({m + ".dta", "1 0"});
    files[m + ".dta"] = module_file("");
  }
  files["loops.map"] = map_file(dims, finish, 3, pages);
  return run_modules(files, "loops.map", r);
}

// ---------------------------------------------------------------- PLL

struct PllIn {
  double error = 0.0, filter = 60.0, kp = 10.0, ki = 50.0, f0 = 60.0, upper = 1.1, lower = 0.8;
  std::int32_t selector = 0;
};
struct PllOut {
  double angle, omega;
};

std::vector<PllOut> run_pll(const PllIn& in, int instances, double finish, std::string* console = nullptr) {
  static PllIn s_in;
  static std::vector<PllOut> s_out;
  static int s_instances;
  s_in = in;
  s_out.clear();
  s_instances = instances;
  g_body = [](std::int32_t) {
    for (int k = 0; k < s_instances; ++k) {
      PllIn v = s_in;
      double angle = 0.0, omega = 0.0;
      phaselocked_loopdyn(angle, v.error, omega, v.filter, v.kp, v.ki, v.f0, v.upper, v.lower, v.selector);
      if (k == 0) s_out.push_back({angle, omega});
    }
  };
  g_out = [] {
    for (int k = 0; k < s_instances; ++k) phaselocked_loopout();
  };
  g_begin_dyn = [] {
    for (int k = 0; k < s_instances; ++k) phaselocked_loopdyn_begin();
  };
  g_begin_out = [] {
    for (int k = 0; k < s_instances; ++k) phaselocked_loopout_begin();
  };
  const ModuleRunResult r = run_bench(std::vector<std::string>(static_cast<std::size_t>(instances), "PhaseLocked_Loop"),
                                      finish);
  EXPECT_EQ(r.status, -1) << r.console;
  if (console) *console = r.console;
  return s_out;
}

TEST(InverterLoops, PllAtZeroErrorRunsAtNominalFrequency) {
  for (double f0 : {60.0, 50.0}) {
    PllIn in;
    in.f0 = f0;
    const std::vector<PllOut> s = run_pll(in, 1, 0.05);
    ASSERT_GT(s.size(), 900u);
    // Time zero: the integral is 0 and an angle of exactly 0 reads 2 pi.
    EXPECT_EQ(s[0].angle, kTwoPi);
    for (std::size_t k = 0; k < s.size(); ++k) {
      EXPECT_EQ(s[k].omega, kTwoPi * f0) << k;
      const double expected = wrap_angle(kTwoPi * f0 * static_cast<double>(k) * kDt);
      double diff = std::fabs(s[k].angle - expected);
      diff = std::min(diff, kTwoPi - diff);  // either side of the wrap
      EXPECT_LT(diff, 1e-9) << k;
      EXPECT_GT(s[k].angle, 0.0);
      EXPECT_LE(s[k].angle, kTwoPi);
    }
  }
}

TEST(InverterLoops, PllFrequencyLimitsAndCrossedLimitsWarnOncePerInstance) {
  PllIn in;
  in.error = 100.0;  // a lag started at its input: e_f = 100; Kp e_f far above the upper limit
  in.ki = 0.0;
  std::string console;
  std::vector<PllOut> s = run_pll(in, 2, 0.01, &console);
  ASSERT_FALSE(s.empty());
  EXPECT_DOUBLE_EQ(s.back().omega, 1.1 * kTwoPi * 60.0);
  EXPECT_EQ(console.find("WARN"), std::string::npos);

  in.upper = 0.8;
  in.lower = 1.1;
  s = run_pll(in, 2, 0.01, &console);
  ASSERT_FALSE(s.empty());
  EXPECT_DOUBLE_EQ(s.back().omega, kTwoPi * 60.0 + 10.0 * 100.0);  // unlimited
  const std::string text = "Lower limit is more than the upper limit, limits not enforced.";
  EXPECT_EQ(text.size(), 62u);
  std::size_t count = 0;
  for (std::size_t p = console.find(text); p != std::string::npos; p = console.find(text, p + 1)) ++count;
  EXPECT_EQ(count, 2u) << console;
  // Each under its own instance's call number (bench 1, the two loops 2 and 3).
  EXPECT_NE(console.find(text + "[           2 :           1 ]"), std::string::npos) << console;
  EXPECT_NE(console.find(text + "[           3 :           1 ]"), std::string::npos) << console;
}

// ---------------------------------------------------------------- limiter

struct LimOut {
  std::int32_t flag;
  Dq limited;
  double m, imax, scale, w, h1;
  std::int32_t recorded11, recorded12;
};

TEST(InverterLoops, CurrentLimiterCases) {
  // Rating 100000 kVA given as MVA by the unit selector, 13.8 kV, limit 1.1 pu:
  // I_max = (100 / 13.8) kA * sqrt(2/3) * 1.1, in amperes.
  const double imax = 100.0 / 13.8 * 1000.0 * 0.8164965809277263 * 1.1;
  // Per step: the pulse and the reference.
  struct Step {
    std::int32_t pulse;
    Dq ref;
    std::int32_t flag;
    Dq limited;
    double scale;
  };
  const double r = 1.5 * imax / std::sqrt(2.0);
  const std::vector<Step> steps{
      {0, {3.0 * imax, 0.0}, 0, {3.0 * imax, 0.0}, 1.0 / 3.0},      // before the pulse: margin 1.0
      {1, {0.3 * imax, -0.4 * imax}, 0, {0.3 * imax, -0.4 * imax}, 2.0},  // inside the limit
      {1, {r, r}, 1, {imax / std::sqrt(2.0), imax / std::sqrt(2.0)}, 1.0 / 1.5},  // 1.5 I_max
      {1, {0.0, 0.0}, 0, {0.0, 0.0}, imax / 1.0e-5},               // zero: divisor 1e-5
  };
  static std::vector<LimOut> s_out;
  static const std::vector<Step>* s_steps;
  s_out.clear();
  s_steps = &steps;
  g_body = [](std::int32_t k) {
    const Step& st = (*s_steps)[static_cast<std::size_t>(std::min<std::int32_t>(k, 3))];
    std::int32_t flag = -1, pulse = st.pulse, unit = 1, axis = 1, r11 = 5, r12 = 6, offset = 0;
    Dq limited{}, ref = st.ref;
    double divisor = 0.0, rating = 100000.0, kv = 13.8, pu = 1.1, cap = 0.6, v = 13.8;
    current_limiter_scaledyn(flag, limited, ref, divisor, rating, unit, kv, pulse, pu, axis, r11, r12, cap, offset,
                             v);
    const std::int32_t f = quolbv3::txfr(2, 3), i = quolbv3::txfr(2, 2);
    s_out.push_back({flag, limited, e_s4::pgb(2), e_s4::pgb(3), e_s4::pgb(4), quolbv3::stof(f + kClsW),
                     quolbv3::stof(f + kClsH1), quolbv3::stoi(i + kClsRecorded11), quolbv3::stoi(i + kClsRecorded12)});
  };
  g_out = [] { current_limiter_scaleout(); };
  g_begin_dyn = [] { current_limiter_scaledyn_begin(); };
  g_begin_out = [] { current_limiter_scaleout_begin(); };
  const ModuleRunResult res = run_bench({"Current_Limiter_Scale"}, 3.0 * kDt);
  ASSERT_EQ(res.status, -1) << res.console;
  ASSERT_GE(s_out.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    const Step& st = steps[k];
    const LimOut& o = s_out[k];
    EXPECT_EQ(o.flag, st.flag) << k;
    EXPECT_NEAR(o.limited[0], st.limited[0], 1e-12 * imax) << k;
    EXPECT_NEAR(o.limited[1], st.limited[1], 1e-12 * imax) << k;
    EXPECT_NEAR(o.imax, imax, 1e-12 * imax) << k;
    EXPECT_NEAR(o.scale, st.scale, 1e-12 * std::fabs(st.scale)) << k;
  }
  // W = 2/3 Y (1000 V)^2 with Y = 1 / (Zb 0.6), Zb = 13.8^2 / 100; held from
  // the pulse (step 1) on; the two recorded integers kept in the block.
  const double w = 0.666666666666667 / (13.8 * 13.8 / 100.0 * 0.6) * 13800.0 * 13800.0;
  for (const LimOut& o : s_out) {
    EXPECT_NEAR(o.w, w, 1e-12 * w);
    EXPECT_NEAR(o.h1, w, 1e-12 * w);
    EXPECT_EQ(o.recorded11, 5);
    EXPECT_EQ(o.recorded12, 6);
  }
  // 1.5 I_max comes out at magnitude I_max.
  EXPECT_NEAR(std::hypot(s_out[2].limited[0], s_out[2].limited[1]), imax, 1e-12 * imax);
  EXPECT_EQ(s_out[3].m, 0.0);
}

// ---------------------------------------------------------------- dq loops

TEST(InverterLoops, DqLoopsClosedFormsWithIntegratorsAtZero) {
  struct Out {
    Dq iref, vref;
    double ch_vl[3], ch_cl;
  };
  static std::vector<Out> s_out;
  s_out.clear();
  const double kff = 0.9, w = 377.0, kp = 2.5, ki = 40.0, cf = 150.0, l = 0.005, kffv = 1.0, kpc = 3.0, kic = 7.0;
  const Dq v{100.0, 11000.0}, i{3000.0, -500.0}, vref{20.0, 11200.0}, iref{2500.0, 400.0};
  g_body = [=](std::int32_t) {
    Dq vv = v, ii = i, vr = vref, out{}, ir = iref, vo{};
    std::int32_t freeze = 1, sign = 1;
    double a = kff, b = w, c = kp, d = ki, e = cf;
    voltage_loopdyn(vv, out, ii, vr, freeze, a, b, c, d, sign, e);
    Out o{};
    o.iref = out;
    o.ch_vl[0] = e_s4::pgb(1);
    o.ch_vl[1] = e_s4::pgb(2);
    o.ch_vl[2] = e_s4::pgb(3);
    double f = kffv, g = w, h = kpc, k = kic, ll = l;
    current_loop_1dyn(ii, vo, vv, ir, f, g, h, k, sign, ll);
    o.vref = vo;
    o.ch_cl = e_s4::pgb(4);
    s_out.push_back(o);
  };
  g_out = [] {
    voltage_loopout();
    current_loop_1out();
  };
  g_begin_dyn = [] {
    voltage_loopdyn_begin();
    current_loop_1dyn_begin();
  };
  g_begin_out = [] {
    voltage_loopout_begin();
    current_loop_1out_begin();
  };
  const ModuleRunResult res = run_bench({"Voltage_Loop", "Current_Loop_1"}, 10.0 * kDt);
  ASSERT_EQ(res.status, -1) << res.console;
  ASSERT_GT(s_out.size(), 5u);
  // s = -1: i_ref,d = Kff i_d + Kp e_d + w Cf v_q; i_ref,q = Kff i_q + Kp e_q - w Cf v_d.
  const double cf_f = cf * 1e-6;
  const double ird = kff * i[0] + kp * (vref[0] - v[0]) + w * cf_f * v[1];
  const double irq = kff * i[1] + kp * (vref[1] - v[1]) - w * cf_f * v[0];
  for (const Out& o : s_out) {  // the frozen integrators stay at 0 on every step
    EXPECT_DOUBLE_EQ(o.iref[0], ird);
    EXPECT_DOUBLE_EQ(o.iref[1], irq);
    EXPECT_EQ(o.ch_vl[0], o.iref[1]);
    EXPECT_EQ(o.ch_vl[1], o.iref[0]);
    EXPECT_EQ(o.ch_vl[2], o.iref[0]);
  }
  // The current loop at time zero (its integrators at their initial 0):
  // v_ref,d = Kff v_d + Kp e_d + w L i_q; v_ref,q = Kff v_q + Kp e_q - w L i_d.
  const Out& o = s_out.front();
  EXPECT_DOUBLE_EQ(o.vref[0], kffv * v[0] + kpc * (iref[0] - i[0]) + w * l * i[1]);
  EXPECT_DOUBLE_EQ(o.vref[1], kffv * v[1] + kpc * (iref[1] - i[1]) - w * l * i[0]);
  EXPECT_EQ(o.ch_cl, o.vref[0]);
  // One step later the integrals have taken the trapezoidal step dt/2 (e0 + e1) = dt e.
  const Out& o1 = s_out[1];
  EXPECT_NEAR(o1.vref[0] - o.vref[0], kic * kDt * (iref[0] - i[0]), 1e-9);
}

// The out entries rewrite the constant signals of their dyn entries' blocks
// (cleared here after each dyn pass, so that only the out entry can restore them).
TEST(InverterLoops, OutEntriesRewriteTheirConstantSignals) {
  struct Seen {
    double pll17, pll19, pll24, pll26, vl39, vl40, cls_tiny;
    std::int32_t vl3, vl4, cl2, cl3;
  };
  static std::vector<Seen> s_seen;
  s_seen.clear();
  // Rows of the call record: bench 1, then the four modules in call order.
  auto base_f = [](std::int32_t row) { return quolbv3::txfr(row, 3); };
  auto base_i = [](std::int32_t row) { return quolbv3::txfr(row, 2); };
  g_body = [=](std::int32_t) {
    PllIn p;
    double angle = 0, omega = 0;
    phaselocked_loopdyn(angle, p.error, omega, p.filter, p.kp, p.ki, p.f0, p.upper, p.lower, p.selector);
    Dq v{1, 2}, ir{}, i{3, 4}, vr{5, 6};
    std::int32_t freeze = 0, sign = 1, flag = 0, pulse = 1, unit = 1, axis = 1, r11 = 0, r12 = 0, off = 0;
    double kff = 1, w = 377, kp = 1, ki = 1, cf = 10, div = 0, rating = 1000, kv = 1, lim = 1, cap = 1, vv = 1, l = 1;
    voltage_loopdyn(v, ir, i, vr, freeze, kff, w, kp, ki, sign, cf);
    Dq limited{};
    current_limiter_scaledyn(flag, limited, ir, div, rating, unit, kv, pulse, lim, axis, r11, r12, cap, off, vv);
    current_loop_1dyn(i, vr, v, limited, kff, w, kp, ki, sign, l);
    for (std::int32_t k : {17, 19, 24, 26}) quolbv3::stof(base_f(2) + k) = -7.0;
    for (std::int32_t k : {39, 40}) quolbv3::stof(base_f(3) + k) = -7.0;
    quolbv3::stof(base_f(4) + kClsTiny) = -7.0;
    for (std::int32_t k : {3, 4}) quolbv3::stoi(base_i(3) + k) = 7;
    for (std::int32_t k : {2, 3}) quolbv3::stoi(base_i(5) + k) = 7;
  };
  g_out = [=] {
    phaselocked_loopout();
    voltage_loopout();
    current_limiter_scaleout();
    current_loop_1out();
    auto f = [](std::int32_t row, std::int32_t k) { return quolbv3::stof(quolbv3::txfr(row, 3) + k); };
    auto i = [](std::int32_t row, std::int32_t k) { return quolbv3::stoi(quolbv3::txfr(row, 2) + k); };
    s_seen.push_back({f(2, 17), f(2, 19), f(2, 24), f(2, 26), f(3, 39), f(3, 40), f(4, kClsTiny), i(3, 3), i(3, 4),
                      i(5, 2), i(5, 3)});
  };
  g_begin_dyn = [] {
    phaselocked_loopdyn_begin();
    voltage_loopdyn_begin();
    current_limiter_scaledyn_begin();
    current_loop_1dyn_begin();
  };
  g_begin_out = [] {
    phaselocked_loopout_begin();
    voltage_loopout_begin();
    current_limiter_scaleout_begin();
    current_loop_1out_begin();
  };
  const ModuleRunResult res =
      run_bench({"PhaseLocked_Loop", "Voltage_Loop", "Current_Limiter_Scale", "Current_Loop_1"}, 3.0 * kDt);
  ASSERT_EQ(res.status, -1) << res.console;
  ASSERT_GE(s_seen.size(), 3u);
  for (const Seen& x : s_seen) {
    EXPECT_EQ(x.pll17, kTwoPi);
    EXPECT_EQ(x.pll19, kTwoPi);
    EXPECT_EQ(x.pll24, 0.0);
    EXPECT_EQ(x.pll26, 1.570796326794896);
    EXPECT_EQ(x.vl39, 0.0);
    EXPECT_EQ(x.vl40, 0.0);
    EXPECT_EQ(x.cls_tiny, 1.0e-5);
    EXPECT_EQ(x.vl3, 1);
    EXPECT_EQ(x.vl4, -1);
    EXPECT_EQ(x.cl2, -1);
    EXPECT_EQ(x.cl3, 1);
  }
}

// The angle integrator's output moves back by whole turns from kAngleWrap on
// and is left alone below it; the reported angle is unchanged.
TEST(InverterLoops, AngleIntegratorWrapsByWholeTurns) {
  wakro_test::reset_shared_state();
  storage::storf.allocate(6);
  using wakro::blocks::layout::xint::kOut;
  struct Row {
    double before, after;
  };
  const double big = kAngleWrap + 1.25;  // 15000 turns and 1.25 rad
  for (const Row& r : {Row{kAngleWrap - 0.5, kAngleWrap - 0.5}, Row{big, big - kTwoPi * std::floor(big / kTwoPi)},
                       Row{-big, -big - kTwoPi * std::floor(-big / kTwoPi)}, Row{3.0, 3.0}}) {
    storage::storf(2 + kOut - 1) = r.before;
    wrap_angle_integrator(2);
    EXPECT_EQ(storage::storf(2 + kOut - 1), r.after) << r.before;
    EXPECT_LT(std::fabs(r.after), kAngleWrap);
    EXPECT_NEAR(wrap_angle(r.after), wrap_angle(r.before), 1e-9) << r.before;
  }
  // wrap_angle: (0, 2 pi], 0 itself reads 2 pi.
  EXPECT_EQ(wrap_angle(0.0), kTwoPi);
  EXPECT_NEAR(wrap_angle(-0.5), kTwoPi - 0.5, 1e-15);
  EXPECT_NEAR(wrap_angle(7.0), 7.0 - kTwoPi, 1e-15);
  storage::storf.release();
  wakro_test::reset_shared_state();
}

}  // namespace
}  // namespace casetest
