// The dynamic loads of dynamic_loads.h: one load law (Law) that every form reads
// from its own store, the set-up values, the update at a zero crossing and the
// branch values applied each step.
#include "devices/dynamic_loads.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "blocks/continuous.h"
#include "blocks/frequency.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "devices/variable_branches.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "network/branch_terms.h"
#include "network/solution.h"

namespace {

using wakro::blocks::Slots;
using namespace wakro::devices;

constexpr std::string_view kTag = "LOAD_MODEL  ";
using wakro::kTwoPi;
constexpr double kNoPower = 1.0e-10;      // threshold of the configured forms
constexpr double kNoPowerNode = 1.0e-4;   // threshold of load1p and load3p
constexpr double kOpen = 1.0e20;          // R of no real part, X of no inductive part
constexpr double kNoCapacitance = 1.0e-14;  // times 1 / (2 pi f0): C of no capacitive part
constexpr double kVpuLow = 0.8;
constexpr double kVpuHigh = 1.2;
constexpr double kDfLimit = 0.1;
constexpr double kLargeCoefficient = 9.0;  // above it, |df| <= 0.9 / |K|
constexpr double kDfMargin = 0.9;
constexpr double kMinScale = 1.0e-10;
constexpr double kStartCyclesOld = 10.0;   // older forms start after 10 cycles
constexpr double kHighStart = -1.0e20;     // RMS hold: highest and lowest start values
constexpr double kLowStart = 1.0e20;

// The law and the branch values of one load, as all forms keep them.
struct Law {
  bool has_p = false, has_l = false, has_c = false;
  std::int32_t base_flag = 0;
  double r = 0, l = 0, c = 0, df_max = kDfLimit, t_start = 0, p0 = 0, q0 = 0;
  std::array<double, 3> np{}, nq{}, kp{1.0, 0.0, 0.0}, kq{1.0, 0.0, 0.0};
  double vinit = 1.0, kpf = 0, kqf = 0, vbase = 0, f0 = 0;
};

double power_sum(const std::array<double, 3>& k, const std::array<double, 3>& n, double vpu) {
  double sum = 0.0;
  for (int i = 0; i < 3; ++i)
    if (k[i] > 0.0) sum += k[i] * std::pow(vpu, n[i]);
  return sum;
}

// Rated voltage, initial voltage and frequency must be usable before anything
// divides by them.
void check_ratings(double vbase, double vinit, double f0) {
  if (vbase <= 0.0) device_fatal(kTag, "Rated voltage of the load must be positive.");
  if (vinit <= 0.0) device_fatal(kTag, "Initial voltage of the load must be positive.");
  if (f0 <= 0.0) device_fatal(kTag, "Rated frequency of the load must be positive.");
}

// Set-up values from p0 (already not negative), q0 and the parts: flags, R, L,
// C, the df limit. threshold: the smallest power that counts.
void initial_values(Law& a, double threshold) {
  const double w0 = kTwoPi * a.f0;
  const double w = a.vbase * a.vbase * a.vinit * a.vinit;
  double p_eff = a.p0, q_eff = std::abs(a.q0);
  if (a.base_flag == 0) {
    p_eff = a.p0 * power_sum(a.kp, a.np, a.vinit);
    q_eff = std::abs(a.q0) * power_sum(a.kq, a.nq, a.vinit);
  }
  a.has_p = a.p0 > threshold;
  a.has_l = a.q0 > threshold;
  a.has_c = a.q0 < -threshold;
  a.r = a.has_p ? w / p_eff : kOpen;
  a.l = a.has_l ? (w / q_eff) / w0 : kOpen / w0;
  a.c = a.has_c ? 1.0e6 / ((w / q_eff) * w0) : kNoCapacitance / w0;
  if (!a.has_l && !a.has_c) a.q0 = 0.0;
  a.df_max = kDfLimit;
  if (a.has_p && std::abs(a.kpf) > kLargeCoefficient)
    a.df_max = std::min(a.df_max, kDfMargin / std::abs(a.kpf));
  if ((a.has_l || a.has_c) && std::abs(a.kqf) > kLargeCoefficient)
    a.df_max = std::min(a.df_max, kDfMargin / std::abs(a.kqf));
}

// New R and L or C from the mean RMS voltage and frequency of the phases.
void update(Law& a, double vrms, double freq, double scale) {
  double vpu = limit(kVpuLow, kVpuHigh, vrms / a.vbase);
  double vb = a.vbase;
  if (a.base_flag == 1) {
    vpu /= a.vinit;
    vb = a.vbase * a.vinit;
  }
  const double df = limit(-a.df_max, a.df_max, freq / a.f0 - 1.0);
  const double v2 = vpu * vpu * vb * vb;
  if (a.has_p) a.r = v2 / (a.p0 * scale * (a.kpf * df + 1.0) * power_sum(a.kp, a.np, vpu));
  if (a.has_l || a.has_c) {
    const double x = v2 / (std::abs(a.q0) * scale * (a.kqf * df + 1.0) * power_sum(a.kq, a.nq, vpu));
    // The limited frequency: a collapsed voltage whose crossings stop must not
    // drive L or C to extreme values.
    const double w = kTwoPi * a.f0 * (1.0 + df);
    if (a.has_l) a.l = x / w;
    if (a.has_c) a.c = 1.0e6 / (w * x);
  }
}

void set_element(std::int32_t ss, std::int32_t br, std::int32_t kind, double value) {
  double current = 0.0;
  wakro_varrlc10(br, ss, kind, current, value, 0.0);
}

// One phase of two parallel branches.
void apply_pair(const Law& a, std::int32_t ss, std::int32_t b1, std::int32_t b2) {
  const bool reactive = a.has_l || a.has_c;
  const std::int32_t kx = a.has_l ? kVarInductance : kVarCapacitance;
  if (!reactive) {
    set_element(ss, b1, kVarResistance, 2.0 * a.r);
    set_element(ss, b2, kVarResistance, 2.0 * a.r);
  } else if (!a.has_p) {
    const double x = a.has_l ? 2.0 * a.l : 0.5 * a.c;
    set_element(ss, b1, kx, x);
    set_element(ss, b2, kx, x);
  } else {
    set_element(ss, b1, kVarResistance, a.r);
    set_element(ss, b2, kx, a.has_l ? a.l : a.c);
  }
}

// --- The configuration store of the forms with separate set-up. ---

// rtcf layouts of load1p2_cfg (new form) and load1p1_cfg (old form).
using namespace wakro::devices::layout::load_block;

// The block of the configured forms, new (24 reals) or old (13 reals).
struct Block {
  Slots<bool> l;
  Slots<std::int32_t> i;  // empty for the old form
  Slots<double> f;
  bool old_form;
};

Block take_block(bool old_form) {
  Slots<bool> l = wakro::blocks::take_rtcl(kRtclSize);
  Slots<std::int32_t> i = old_form ? Slots<std::int32_t>(nullptr, 0, 0) : wakro::blocks::take_rtci(kRtciSize);
  Slots<double> f =
      wakro::blocks::take_rtcf(old_form ? std::int32_t{kRtcfSizeOld} : std::int32_t{kRtcfSizeNew});
  return {l, i, f, old_form};
}

void write_block(const Block& b, const Law& a) {
  b.l(kHasP) = a.has_p;
  b.l(kHasL) = a.has_l;
  b.l(kHasC) = a.has_c;
  const Slots<double>& f = b.f;
  if (b.old_form) {
    f(kOR) = a.r, f(kOL) = a.l, f(kOC) = a.c, f(kODfMax) = a.df_max, f(kOStart) = a.t_start;
    f(kOP0) = a.p0, f(kOQ0) = a.q0, f(kONp) = a.np[0], f(kONq) = a.nq[0];
    f(kOKpf) = a.kpf, f(kOKqf) = a.kqf, f(kOVbase) = a.vbase, f(kOF0) = a.f0;
    return;
  }
  b.i(kBaseFlag) = a.base_flag;
  f(kR) = a.r, f(kL) = a.l, f(kC) = a.c, f(kDfMax) = a.df_max, f(kStart) = a.t_start;
  f(kP0) = a.p0, f(kQ0) = a.q0, f(kVinit) = a.vinit;
  f(kNp1) = a.np[0], f(kNp2) = a.np[1], f(kNp3) = a.np[2];
  f(kNq1) = a.nq[0], f(kNq2) = a.nq[1], f(kNq3) = a.nq[2];
  f(kKp1) = a.kp[0], f(kKp2) = a.kp[1], f(kKp3) = a.kp[2];
  f(kKq1) = a.kq[0], f(kKq2) = a.kq[1], f(kKq3) = a.kq[2];
  f(kKpf) = a.kpf, f(kKqf) = a.kqf, f(kVbase) = a.vbase, f(kF0) = a.f0;
}

Law read_block(const Block& b) {
  Law a;
  a.has_p = b.l(kHasP);
  a.has_l = b.l(kHasL);
  a.has_c = b.l(kHasC);
  const Slots<double>& f = b.f;
  if (b.old_form) {
    a.r = f(kOR), a.l = f(kOL), a.c = f(kOC), a.df_max = f(kODfMax), a.t_start = f(kOStart);
    a.p0 = f(kOP0), a.q0 = f(kOQ0), a.np[0] = f(kONp), a.nq[0] = f(kONq);
    a.kpf = f(kOKpf), a.kqf = f(kOKqf), a.vbase = f(kOVbase), a.f0 = f(kOF0);
    return a;
  }
  a.base_flag = b.i(kBaseFlag);
  a.r = f(kR), a.l = f(kL), a.c = f(kC), a.df_max = f(kDfMax), a.t_start = f(kStart);
  a.p0 = f(kP0), a.q0 = f(kQ0), a.vinit = f(kVinit);
  a.np = {f(kNp1), f(kNp2), f(kNp3)};
  a.nq = {f(kNq1), f(kNq2), f(kNq3)};
  a.kp = {f(kKp1), f(kKp2), f(kKp3)};
  a.kq = {f(kKq1), f(kKq2), f(kKq3)};
  a.kpf = f(kKpf), a.kqf = f(kKqf), a.vbase = f(kVbase), a.f0 = f(kF0);
  return a;
}

// Proportions of the parts, checked: all P checks, then the Q checks, then one
// stop after any failure.
bool proportion_ok(double k) { return k >= 0.0 && k <= 1.0; }

void set_proportions(std::int32_t parts, double kp1, double kq1, double kp2, double kq2, Law& a) {
  static constexpr std::string_view kFirst = "Proportion of 1st part of the load is out of range.";
  static constexpr std::string_view kSecond = "Proportion of 2nd part of the load is out of range.";
  static constexpr std::string_view kThird = "Proportion of 3rd part of the load is out of range.";
  bool failed = false;
  auto error = [&](std::string_view text) {
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine, text);
    failed = true;
  };
  auto split = [&](double k1, double k2, std::array<double, 3>& k) {
    if (parts == 2) {
      k = {k1, 1.0 - k1, 0.0};
      if (!proportion_ok(k1)) error(kFirst);
    } else if (parts == 3) {
      k = {k1, k2, 1.0 - k1 - k2};
      if (!proportion_ok(k1)) error(kFirst);
      if (!proportion_ok(k2)) error(kSecond);
      if (k[2] < 0.0) error(kThird);
    } else {
      k = {1.0, 0.0, 0.0};
    }
  };
  split(kp1, kp2, a.kp);
  split(kq1, kq2, a.kq);
  if (failed) wakro_quit(kTag, 0);
}

Law old_form_law(double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
                 double kqf, double threshold) {
  check_ratings(vbase, 1.0, f0);
  Law a;
  a.vbase = vbase;
  a.f0 = f0;
  a.p0 = std::max(p0, 0.0);
  a.q0 = q0;
  a.np[0] = np;
  a.nq[0] = nq;
  a.kpf = kpf;
  a.kqf = kqf;
  a.t_start = kStartCyclesOld / f0;
  initial_values(a, threshold);
  return a;
}

void old_cfg(double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
             double kqf) {
  const Block b = take_block(true);
  write_block(b, old_form_law(vbase, f0, p0, q0, np, nq, kpf, kqf, kNoPower));
}

// Step of one phase: the mean of the highest and lowest RMS since the last
// strict sign change of v, the update at such a change after the start.
void step_1p(const Block& b, std::int32_t ss, std::int32_t b1, std::int32_t b2, double scale) {
  Law a = read_block(b);
  const double v = vbranch(ss, b1);
  double vrms = 0.0, freq = 0.0;
  e_meas_freq(a.vbase, a.f0, v, vrms, freq);
  namespace S = wakro::devices::layout::load_step_1p;
  const Slots<double> s = wakro::blocks::take_storf(S::kStorfSize);
  if (e_s1::timezero) {
    s(S::kHighest) = kHighStart;
    s(S::kLowest) = kLowStart;
  }
  s(S::kHighest) = std::max(s(S::kHighest), vrms);
  s(S::kLowest) = std::min(s(S::kLowest), vrms);
  if (v * s(S::kPrevV) < 0.0) {
    if (e_s1::time > a.t_start) {
      update(a, 0.5 * (s(S::kHighest) + s(S::kLowest)), freq, scale);
      write_block(b, a);
    }
    s(S::kHighest) = kHighStart;
    s(S::kLowest) = kLowStart;
  }
  apply_pair(a, ss, b1, b2);
  s(S::kPrevV) = v;
}

// Step of three phases: the update when any phase changed sign (or touched 0).
void step_3p(const Block& b, std::int32_t ss, const std::array<std::int32_t, 6>& br, double scale) {
  Law a = read_block(b);
  std::array<double, 3> v{}, vrms{}, freq{};
  // vbranch of each phase, the subsystem's columns taken once for the three.
  const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss);
  for (int k = 0; k < 3; ++k) v[k] = wakro::branch_voltage(c, br[k]);
  for (int k = 0; k < 3; ++k) e_meas_freq(a.vbase, a.f0, v[k], vrms[k], freq[k]);
  namespace S = wakro::devices::layout::load_step_3p;
  const Slots<double> s = wakro::blocks::take_storf(S::kStorfSize);
  const bool crossed =
      v[0] * s(S::kPrevV) <= 0.0 || v[1] * s(S::kPrevV + 1) <= 0.0 || v[2] * s(S::kPrevV + 2) <= 0.0;
  if (crossed && e_s1::time > a.t_start) {
    update(a, (vrms[0] + vrms[1] + vrms[2]) / 3.0, (freq[0] + freq[1] + freq[2]) / 3.0, scale);
    write_block(b, a);
  }
  for (int k = 0; k < 3; ++k) apply_pair(a, ss, br[k], br[k + 3]);
  for (int k = 0; k < 3; ++k) s(S::kPrevV + k) = v[k];
}

// The scale of the configured new forms: checked every step, applied to the
// stored R, L, C once at time zero.
void scale_block(const Block& b, double scale) {
  if (scale < kMinScale) device_fatal(kTag, "Load scaling factor is too small.");
  if (!e_s1::timezero) return;
  b.f(kR) /= scale;
  b.f(kL) /= scale;
  b.f(kC) *= scale;
}

}  // namespace

void load1p2_cfg(std::int32_t base_flag, std::int32_t parts, double vbase, double vinit, double f0,
                 double p0, double q0, double start_cycles, double kpf, double kqf, double np1,
                 double nq1, double kp1, double kq1, double np2, double nq2, double kp2, double kq2,
                 double np3, double nq3) {
  // Step 1: the powers and the ratings.
  if (p0 < 0.0) {
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::first_of(2), "Specified real power is negative. ");
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kLastLine, "Proceeding with assuming it as zero. ");
    p0 = 0.0;
  }
  check_ratings(vbase, vinit, f0);
  // Step 2: the parts.
  Law a;
  set_proportions(parts, kp1, kq1, kp2, kq2, a);
  a.base_flag = base_flag;
  a.vbase = vbase;
  a.vinit = vinit;
  a.f0 = f0;
  a.p0 = p0;
  a.q0 = q0;
  a.t_start = start_cycles / f0;
  a.kpf = kpf;
  a.kqf = kqf;
  a.np = {np1, np2, np3};
  a.nq = {nq1, nq2, nq3};
  // Step 3: the set-up values, into the block.
  initial_values(a, kNoPower);
  const Block b = take_block(false);
  write_block(b, a);
}

void load1p2_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2, double scale) {
  const Block b = take_block(false);
  scale_block(b, scale);
  step_1p(b, iss, ib1, ib2, scale);
}

void load3p2_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2, std::int32_t ib3,
                 std::int32_t ib4, std::int32_t ib5, std::int32_t ib6, double scale) {
  const Block b = take_block(false);
  scale_block(b, scale);
  step_3p(b, iss, {ib1, ib2, ib3, ib4, ib5, ib6}, scale);
}

void load1p1_cfg(double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
                 double kqf) {
  old_cfg(vbase, f0, p0, q0, np, nq, kpf, kqf);
}

void load3p1_cfg(double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
                 double kqf) {
  old_cfg(vbase, f0, p0, q0, np, nq, kpf, kqf);
}

void load1p1_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2) {
  step_1p(take_block(true), iss, ib1, ib2, 1.0);
}

void load3p1_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2, std::int32_t ib3,
                 std::int32_t ib4, std::int32_t ib5, std::int32_t ib6) {
  step_3p(take_block(true), iss, {ib1, ib2, ib3, ib4, ib5, ib6}, 1.0);
}

namespace {

// The own store of load1p and load3p: flags, then R, L, C, df limit, start
// after the previous voltages (1 for load1p, 3 for load3p), then for load1p the
// RMS hold.
struct NodeStore {
  Slots<bool> flags;
  Slots<double> f;
  std::int32_t base;  // slot of R
};

namespace N = wakro::devices::layout::node_load;

NodeStore take_node_store(std::int32_t phases) {
  Slots<bool> l = wakro::blocks::take_storl(N::kStorlSize);
  Slots<double> f = wakro::blocks::take_storf(N::kStorfSize);
  return {l, f, N::law_slot(phases, N::kR)};
}

// The law of an oldest-form load: set up at time zero, read back later.
Law node_law(const NodeStore& st, double vbase, double f0, double p0, double q0, double np, double nq,
             double kpf, double kqf, bool has_r_branch, bool has_x_branch) {
  const std::int32_t k = st.base;
  if (e_s1::timezero) {
    Law a = old_form_law(vbase, f0, p0, q0, np, nq, kpf, kqf, kNoPowerNode);
    a.has_p = a.has_p && has_r_branch;
    a.has_l = a.has_l && has_x_branch;
    a.has_c = a.has_c && has_x_branch;
    st.flags(N::kHasP) = a.has_p;
    st.flags(N::kHasL) = a.has_l;
    st.flags(N::kHasC) = a.has_c;
    st.f(k + N::kR) = a.r, st.f(k + N::kL) = a.l, st.f(k + N::kC) = a.c, st.f(k + N::kDfMax) = a.df_max;
    st.f(k + N::kStart) = a.t_start;
    return a;
  }
  Law a;
  a.vbase = vbase, a.f0 = f0, a.p0 = std::max(p0, 0.0), a.q0 = q0;
  a.np[0] = np, a.nq[0] = nq, a.kpf = kpf, a.kqf = kqf;
  a.has_p = st.flags(N::kHasP), a.has_l = st.flags(N::kHasL), a.has_c = st.flags(N::kHasC);
  a.r = st.f(k + N::kR), a.l = st.f(k + N::kL), a.c = st.f(k + N::kC), a.df_max = st.f(k + N::kDfMax);
  a.t_start = st.f(k + N::kStart);
  return a;
}

void keep_values(const NodeStore& st, const Law& a) {
  st.f(st.base + N::kR) = a.r;
  st.f(st.base + N::kL) = a.l;
  st.f(st.base + N::kC) = a.c;
}

// R on the R branch, L or C on the X branch, for the parts in use.
void apply_node(const Law& a, std::int32_t ss, std::int32_t br_r, std::int32_t br_x) {
  if (br_r >= 1) set_element(ss, br_r, kVarResistance, a.r);
  if (br_x >= 1) set_element(ss, br_x, a.has_c ? kVarCapacitance : kVarInductance, a.has_c ? a.c : a.l);
}

}  // namespace

void load1p(std::int32_t iss, std::int32_t node, std::int32_t br_r, std::int32_t br_x, double vbase,
            double f0, double p0, double q0, double np, double nq, double kpf, double kqf) {
  const NodeStore st = take_node_store(1);
  Law a = node_law(st, vbase, f0, p0, q0, np, nq, kpf, kqf, br_r >= 1, br_x >= 1);
  const double v = e_s0::vdc(node, iss);
  double vrms = 0.0, freq = 0.0;
  e_meas_freq(vbase, f0, v, vrms, freq);
  constexpr std::int32_t kHigh = N::kHighest, kLow = N::kLowest;
  if (e_s1::timezero) {
    st.f(kHigh) = kHighStart;
    st.f(kLow) = kLowStart;
  }
  st.f(kHigh) = std::max(st.f(kHigh), vrms);
  st.f(kLow) = std::min(st.f(kLow), vrms);
  if (v * st.f(N::kPrevV) < 0.0 && e_s1::time > a.t_start) {
    update(a, 0.5 * (st.f(kHigh) + st.f(kLow)), freq, 1.0);
    keep_values(st, a);
    st.f(kHigh) = kHighStart;
    st.f(kLow) = kLowStart;
  }
  apply_node(a, iss, br_r, br_x);
  st.f(N::kPrevV) = v;
}

void load3p(std::int32_t iss, std::int32_t n1, std::int32_t n2, std::int32_t n3, std::int32_t r1,
            std::int32_t r2, std::int32_t r3, std::int32_t x1, std::int32_t x2, std::int32_t x3,
            double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
            double kqf) {
  const NodeStore st = take_node_store(3);
  const std::array<std::int32_t, 3> nodes{n1, n2, n3}, rb{r1, r2, r3}, xb{x1, x2, x3};
  const bool has_r = r1 >= 1 && r2 >= 1 && r3 >= 1;
  const bool has_x = x1 >= 1 && x2 >= 1 && x3 >= 1;
  Law a = node_law(st, vbase, f0, p0, q0, np, nq, kpf, kqf, has_r, has_x);
  std::array<double, 3> v{}, vrms{}, freq{};
  bool crossed = false;
  for (int k = 0; k < 3; ++k) {
    v[k] = e_s0::vdc(nodes[k], iss);
    e_meas_freq(vbase, f0, v[k], vrms[k], freq[k]);
    crossed = crossed || v[k] * st.f(N::kPrevV + k) < 0.0;
  }
  if (crossed && e_s1::time > a.t_start) {
    update(a, (vrms[0] + vrms[1] + vrms[2]) / 3.0, (freq[0] + freq[1] + freq[2]) / 3.0, 1.0);
    keep_values(st, a);
  }
  for (int k = 0; k < 3; ++k) apply_node(a, iss, has_r ? rb[k] : 0, has_x ? xb[k] : 0);
  for (int k = 0; k < 3; ++k) st.f(N::kPrevV + k) = v[k];
}
