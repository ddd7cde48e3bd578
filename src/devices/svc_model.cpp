// The compensator's internal circuit over one step: valves, capacitor-stage
// switching at natural instants, and the sub-stepped integration of its 24
// states. The working values live in the device's block and in locals of the
// call, so instances share nothing; nothing is allocated.
#include "devices/svc_model.h"

#include <algorithm>
#include <cmath>

#include "blocks/matrix.h"
#include "devices/svc_firing.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s2.h"

namespace wakro::devices {

namespace {

// Block offsets (1-based from the block's first slot).
using namespace layout::svc_block;
// The firing control's slots (svc_firing.h) lie inside the block.
static_assert(kGateGroup1 == kGatesDelta && kGateGroup2 == kGatesWye && kLoopAngle == kU3Delta + 1 &&
              kLoopIntegral == kLoopAngle + 1 && kLoopIntegral + 1 == kGatesWye);

constexpr double kNoStage = 1.0e-6;  // |C| below this in a switching branch: none left

// The 24 states: X (8), IT (6), VS (6), U (4).
constexpr int kNx = 0, kNit = 8, kNvs = 14, kNu = 20, kNstates = 24;
using States = std::array<double, kNstates>;

// The working values of one pass (loaded from the block).
struct Work {
  std::array<double, 6> p{}, q{}, e{}, f{};  // valve-branch coefficients
  std::array<double, 10> h1{};
  std::array<double, 14> h2{};
  std::array<double, 6> ib{};                // capacitor-branch currents
};

class Block {
 public:
  explicit Block(const blocks::Slots<double>& s) : s_(s) {}
  double& operator()(std::int32_t k) const { return s_(k); }
  double& vst(std::int32_t k, std::int32_t st) const { return s_(kStageVolts + 10 * (k - 1) + st); }
  std::int32_t non(std::int32_t k) const { return static_cast<std::int32_t>(std::lround(s_(kNon + k - 1))); }
  double& cb(std::int32_t k) const { return s_(kCb + k - 1); }

  void load(States& x) const {
    for (int i = 0; i < 3; ++i) {
      x[kNx + i] = s_(kX1 + i);
      x[kNx + 3 + i] = s_(kX2Delta + i);
      x[kNvs + i] = s_(kVsDelta + i);
      x[kNvs + 3 + i] = s_(kVsWye + i);
      x[kNit + i] = s_(kItDelta + i);
      x[kNit + 3 + i] = s_(kItWye + i);
    }
    x[kNx + 6] = s_(kX2Wye);
    x[kNx + 7] = s_(kX2Wye + 1);
    for (int i = 0; i < 2; ++i) {
      x[kNu + i] = s_(kU12 + i);
      x[kNu + 2 + i] = s_(kU34 + i);
    }
  }
  void store(const States& x) const {
    for (int i = 0; i < 3; ++i) {
      s_(kX1 + i) = x[kNx + i];
      s_(kX2Delta + i) = x[kNx + 3 + i];
      s_(kVsDelta + i) = x[kNvs + i];
      s_(kVsWye + i) = x[kNvs + 3 + i];
      s_(kItDelta + i) = x[kNit + i];
      s_(kItWye + i) = x[kNit + 3 + i];
    }
    s_(kX2Wye) = x[kNx + 6];
    s_(kX2Wye + 1) = x[kNx + 7];
    s_(kX2WyeC) = -(x[kNx + 6] + x[kNx + 7]);
    s_(kU12) = x[kNu];
    s_(kU12 + 1) = x[kNu + 1];
    s_(kU3Delta) = -(x[kNu] + x[kNu + 1]);
    s_(kU34) = x[kNu + 2];
    s_(kU34 + 1) = x[kNu + 3];
  }

 private:
  const blocks::Slots<double>& s_;
};

// Branch voltage of capacitor branch k (1..6) from the four group voltages.
double branch_voltage(const States& x, std::int32_t k) {
  const double* u = &x[kNu];
  switch (k) {
    case 1: return u[0];
    case 2: return u[1];
    case 3: return -u[0] - u[1];
    case 4: return u[2];
    case 5: return u[3];
    default: return -u[2] - u[3];
  }
}

// Capacitance of a branch with n stages in service: any stage counts.
double branch_capacitance(const SvcConstants& k, std::int32_t n) { return n == 0 ? k.c0 : k.cst * n; }

// The group matrices H1 (delta) and H2 (wye) from the branch capacitances.
void group_matrices(const Block& b, double rd, Work& w) {
  const double c1 = b.cb(1), c2 = b.cb(2), c3 = b.cb(3);
  const double den = 1.0 / (c1 * c3 + c2 * c3 + c1 * c2);
  const double h1[10] = {-(c2 + c3), c3, c2, -(2.0 * c2 + c3) / rd, (c3 - c2) / rd,
                         c3, -(c1 + c3), c1, (c3 - c1) / rd, -(2.0 * c1 + c3) / rd};
  for (int i = 0; i < 10; ++i) b(kH1 + i) = w.h1[i] = h1[i] * den;
  const double c4 = b.cb(4), c5 = b.cb(5), c6 = b.cb(6);
  const double den2 = 1.0 / (c4 * c6 + c5 * c6 + c4 * c5);
  const double h2[14] = {c5, -c6, -(c5 + c6), c6, c5, -(2.0 * c5 + c6) / rd, (c6 - c5) / rd,
                         c4, c4 + c6, c6, -(c4 + c6), c4, (c6 - c4) / rd, -(2.0 * c4 + c6) / rd};
  for (int i = 0; i < 14; ++i) {
    w.h2[i] = h2[i] * den2;
    b(i < 8 ? kH2a + i : kH2b + i - 8) = w.h2[i];
  }
}

void load_group_matrices(const Block& b, Work& w) {
  for (int i = 0; i < 10; ++i) w.h1[i] = b(kH1 + i);
  for (int i = 0; i < 14; ++i) w.h2[i] = b(i < 8 ? kH2a + i : kH2b + i - 8);
}

// d(U1, U2)/dt and d(U3, U4)/dt.
void capacitor_rates(const States& x, const Work& w, double (&du)[4]) {
  const double* it = &x[kNit];
  const double* u = &x[kNu];
  const double a[5] = {x[kNx + 3] + it[0], x[kNx + 4] + it[1], x[kNx + 5] + it[2], u[0], u[1]};
  const double b[7] = {x[kNx + 6], x[kNx + 7], it[3], it[4], it[5], u[2], u[3]};
  for (int r = 0; r < 2; ++r) {
    double s1 = 0.0, s2 = 0.0;
    for (int j = 0; j < 5; ++j) s1 += w.h1[5 * r + j] * a[j];
    for (int j = 0; j < 7; ++j) s2 += w.h2[7 * r + j] * b[j];
    du[r] = s1;
    du[2 + r] = s2;
  }
}

// f(x) of the 24 states for the predicted terminal voltages v.
void dervs(const SvcConstants& k, const Work& w, const double (&v)[3], const States& x, States& dx) {
  const double* u = &x[kNu];
  for (int i = 0; i < 8; ++i) {
    double s = 0.0;
    for (int j = 0; j < 3; ++j) s += k.minv[8 * i + j] * v[j];
    for (int j = 0; j < 4; ++j) s += k.minvb[4 * i + j] * u[j];
    dx[kNx + i] = s;
  }
  for (int i = 0; i < 6; ++i) {
    const double it = x[kNit + i], vs = x[kNvs + i];
    const double* ug = i < 3 ? &u[0] : &u[2];
    const int row = i % 3;
    dx[kNvs + i] = w.p[i] * it + w.q[i] * vs;
    dx[kNit + i] = k.d[2 * row] * ug[0] + k.d[2 * row + 1] * ug[1] + w.e[i] * it + w.f[i] * vs;
  }
  double du[4];
  capacitor_rates(x, w, du);
  for (int i = 0; i < 4; ++i) dx[kNu + i] = du[i];
}

// Valve-pair current of TCR branch i: the reactor current less the snubber's.
double valve_current(const SvcConstants& k, const Work& w, const States& x, int i) {
  const double it = x[kNit + i];
  return it - k.cs * (w.p[i] * it + w.q[i] * x[kNvs + i]);
}

// Gate and resistance slots of the two valves of TCR branch i (0..5).
struct ValvePair {
  std::int32_t gf, gr, rf, rr;
};
ValvePair valves(int i) {
  const int p = i % 3;
  if (i < 3) return {kGatesDelta + p, kGatesDelta + 3 + p, kRfDelta + p, kRrDelta + p};
  return {kGatesWye + p, kGatesWye + 3 + p, kRfWye + p, kRrWye + p};
}

// thyrx on all twelve valves; returns whether any changed, and sets turned_off
// when one turned off. rv receives each pair's resistance.
bool switch_valves(const SvcConstants& k, const Block& b, const Work& w, const States& x,
                   std::array<double, 6>& rv, bool& turned_off) {
  bool any = false;
  for (int i = 0; i < 6; ++i) {
    const ValvePair s = valves(i);
    const double iv = valve_current(k, w, x, i);
    std::int32_t ff = 0, fr = 0;
    thyrx(iv, b(s.gf), b(s.rf), k.ron, k.roff, ff);
    thyrx(-iv, b(s.gr), b(s.rr), k.ron, k.roff, fr);
    rv[i] = std::min(b(s.rf), b(s.rr));
    any = any || ff != 0 || fr != 0;
    turned_off = turned_off || ff < 0 || fr < 0;
  }
  return any;
}

void valve_coefficients(const SvcConstants& k, const Block& b, const std::array<double, 6>& rv, Work& w) {
  for (int i = 0; i < 6; ++i) {
    const double a = 1.0 / (k.r / rv[i] + 1.0);
    w.p[i] = b(kP + i) = a / k.cs;
    w.q[i] = b(kQ + i) = -a / (k.cs * rv[i]);
    w.e[i] = b(kE + i) = -a * k.r / k.lt;
    w.f[i] = b(kF + i) = -a / k.lt;
  }
}

// Redistributes the charges q of one group of three branches (a closed loop):
// one common circulating charge brings the three voltages back to a zero sum.
void redistribute(const Block& b, std::int32_t first, double (&q)[6]) {
  const double ca = b.cb(first), cc = b.cb(first + 2), cbb = b.cb(first + 1);
  const double cs3 = 1.0 / (1.0 / ca + 1.0 / cbb + 1.0 / cc);
  const double sum_v = q[first - 1] / ca + q[first] / cbb + q[first + 1] / cc;
  for (int j = 0; j < 3; ++j) q[first - 1 + j] -= cs3 * sum_v;
}

// Capacitor-stage switching of branch kk at its natural instant; returns whether
// the branch switched.
bool capsw(const SvcConstants& k, const Block& b, const Work& w, States& x, std::int32_t kk,
           std::int32_t ncord, std::int32_t cmode) {
  // Steps 1-3: the voltage across the next stage's switch, and whether to act.
  const double vk = branch_voltage(x, kk);
  const std::int32_t non = b.non(kk);
  double& dvp = b(kDvPrev + kk - 1);
  double dv = 0.0;
  if (non < k.ncap) {
    dv = vk - b.vst(kk, non + 1);
    if (cmode == 0) {
      dvp = dv;
      return false;
    }
  }
  if (cmode == 0 || non == ncord) return false;
  // Step 4: insertion once the switch voltage has changed sign.
  if (cmode > 0 && dvp * dv >= 0.0) {
    dvp = dv;
    return false;
  }
  // Step 5: removal at a zero crossing of the branch current.
  if (cmode < 0 && w.ib[kk - 1] * b(kIbPrev + kk - 1) > 0.0) return false;
  // Steps 6-7: the branch charges with the stage's charge added or taken away.
  double q[6];
  for (std::int32_t j = 1; j <= 6; ++j) q[j - 1] = branch_voltage(x, j) * b.cb(j);
  if (cmode > 0) {
    q[kk - 1] += b.vst(kk, non + 1) * k.cst;
  } else if (non > 1) {
    q[kk - 1] -= vk * k.cst;
  } else {
    q[kk - 1] -= (k.cst - k.c0) * vk;
  }
  // Step 8: the new capacitance.
  const std::int32_t n = non + cmode;
  b.cb(kk) = branch_capacitance(k, n);
  // Step 9: one circulating charge per group; the group's two voltages.
  const std::int32_t first = kk <= 3 ? 1 : 4;
  redistribute(b, first, q);
  x[kNu + (first == 1 ? 0 : 2)] = q[first - 1] / b.cb(first);
  x[kNu + (first == 1 ? 1 : 3)] = q[first] / b.cb(first + 1);
  // Step 10: a removed stage keeps its voltage.
  if (cmode < 0) b.vst(kk, non) = vk;
  b(kNon + kk - 1) = n;
  return true;
}

struct PassFlags {
  bool first = false;    // first pass of the step's first sub-step
  bool timezero = false;
};

// One pass of length hp; returns whether a valve turned off at its end.
bool pass(const SvcConstants& k, const Block& b, const double (&v)[3], SvcOrders& io, double hp,
          PassFlags pf) {
  Work w;
  States x;
  b.load(x);
  load_group_matrices(b, w);
  // Step 1: capacitor-branch currents from the rates of the group voltages.
  {
    double du[4];
    capacitor_rates(x, w, du);
    w.ib = {b.cb(1) * du[0], b.cb(2) * du[1], -(du[0] + du[1]) * b.cb(3),
            b.cb(4) * du[2], b.cb(5) * du[3], -(du[2] + du[3]) * b.cb(6)};
  }
  // Steps 2, 4, 5: valve currents with the stored coefficients, the valves'
  // switching, and the coefficients of the resulting resistances.
  for (int i = 0; i < 6; ++i) {
    w.p[i] = b(kP + i);
    w.q[i] = b(kQ + i);
  }
  std::array<double, 6> rv{};
  bool ignored = false;
  b(kValveEvent) = switch_valves(k, b, w, x, rv, ignored) ? 1.0 : 0.0;
  valve_coefficients(k, b, rv, w);
  // Step 6: a capacitor order is taken only while no switching is in progress.
  double& cord = *io.cord;
  if (io.cmode != 0) {
    cord = 0.0;
  } else if (cord > 0.0) {
    cord = 1.0;
    if (io.ncord == k.ncap) {
      cord = 0.0;
    } else {
      ++io.ncord;
      io.cmode = 1;
    }
  } else if (cord < 0.0) {
    cord = -1.0;
    if (io.ncord == 0) {
      cord = 0.0;
    } else {
      --io.ncord;
      io.cmode = -1;
    }
  }
  // Steps 7-8: the stage switches of the six branches; the end of a switching.
  const std::int32_t mode = io.cmode;
  std::int32_t switched = 0;
  for (std::int32_t kk = 1; kk <= 6; ++kk)
    if (capsw(k, b, w, x, kk, io.ncord, mode)) ++switched;
  if (cord != 0.0 || io.cmode != 0) {
    bool done = true;
    for (std::int32_t kk = 1; kk <= 6; ++kk) done = done && b.non(kk) == io.ncord;
    if (done) io.cmode = 0;
  }
  // Step 9: branch currents; the stages out of service discharge once a step, the
  // stages in service follow their branch.
  const double decay = std::max(0.0, 1.0 - e_s1::delt / (k.rd * k.cst));
  for (std::int32_t kk = 1; kk <= 6; ++kk) {
    b(kIbPrev + kk - 1) = w.ib[kk - 1];
    const std::int32_t non = b.non(kk);
    if (pf.first)
      for (std::int32_t s = non + 1; s <= k.ncap; ++s) b.vst(kk, s) *= decay;
    const double vk = branch_voltage(x, kk);
    for (std::int32_t s = 1; s <= non; ++s) b.vst(kk, s) = vk;
  }
  b(kNcord) = io.ncord;
  b(kCmode) = io.cmode;
  // Step 10: new group matrices after a switching.
  if (pf.timezero || switched > 0) group_matrices(b, k.rd, w);
  // Step 11: three fixed-point passes of x := x0 + hp f(x).
  States x1 = x, dx;
  for (int it = 0; it < 3; ++it) {
    dervs(k, w, v, x1, dx);
    for (int i = 0; i < kNstates; ++i) x1[i] = x[i] + hp * dx[i];
  }
  // Step 12: the valves at the pass's end.
  bool turned_off = false;
  switch_valves(k, b, w, x1, rv, turned_off);
  // Step 13: the states and the branch voltages.
  b.store(x1);
  for (std::int32_t kk = 1; kk <= 6; ++kk) b(kBranchVolts + kk - 1) = branch_voltage(x1, kk);
  return turned_off;
}

// The time-zero state: stages and valves as configured, all else 0.
void start(const SvcConstants& k, const Block& b, SvcOrders& io) {
  for (std::int32_t i = 1; i <= kSvcBlock; ++i)
    if (i != kLoopAngle && i != kLoopIntegral) b(i) = 0.0;
  for (std::int32_t kk = 1; kk <= 6; ++kk) {
    b(kNon + kk - 1) = k.nc0;
    b.cb(kk) = branch_capacitance(k, k.nc0);
  }
  for (std::int32_t i = 0; i < 3; ++i)
    for (const std::int32_t r : {kRfDelta, kRrDelta, kRfWye, kRrWye}) b(r + i) = k.roff;
  std::array<double, 6> rv;
  rv.fill(k.roff);
  Work w;
  valve_coefficients(k, b, rv, w);
  group_matrices(b, k.rd, w);
  io.ncord = k.nc0;
  io.cmode = 0;
  b(kNcord) = k.nc0;
  b(kCmode) = 0.0;
}

}  // namespace

void svc_transformer(std::string_view tag, const double* l9, SvcConstants& k) {
  // T (9 x 8): the identity in rows 1-8, (0, ..., 0, -1, -1) as row 9.
  double t[72] = {};
  for (int j = 0; j < 8; ++j) t[9 * j + j] = 1.0;
  t[9 * 6 + 8] = t[9 * 7 + 8] = -1.0;
  double tt[72];  // T' (8 x 9)
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 8; ++j) tt[8 * i + j] = t[9 * j + i];
  double l9t[72], m[64], minv[64], x[8], work[64];
  std::int32_t lw[8], mw[8];
  mymatmul(l9, t, 9, 9, 8, l9t, 1.0);
  mymatmul(tt, l9t, 8, 9, 8, m, 1.0);
  matinv_or_stop(tag, m, minv, 8, x, work, lw, mw);
  // B (8 x 4): the capacitor-group voltages in the winding equations.
  double b[32] = {};
  auto bset = [&b](int i, int j, double value) { b[8 * (j - 1) + (i - 1)] = value; };
  bset(4, 1, 1.0);
  bset(6, 1, -1.0);
  bset(5, 2, 1.0);
  bset(6, 2, -1.0);
  bset(7, 3, -1.0);
  bset(7, 4, -1.0);
  bset(8, 4, -1.0);
  double mb[32];
  mymatmul(minv, b, 8, 8, 4, mb, 1.0);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) k.minv[8 * i + j] = minv[8 * j + i];
    for (int j = 0; j < 4; ++j) k.minvb[4 * i + j] = mb[8 * j + i];
    k.row9[i] = l9t[9 * i + 8];
  }
}

void svc_reactor_matrix(SvcConstants& k) {
  const double g = 1.0 / k.lt;
  k.d = {g, 0.0, 0.0, g, -g, -g};
}

void svc_head_from(const blocks::Slots<double>& s, SvcConstants& k) {
  namespace H = layout::svc_head;
  k.lt = s(H::kLt);
  k.r = s(H::kR);
  k.cs = s(H::kCs);
  k.ron = s(H::kRon);
  k.roff = s(H::kRoff);
  k.cst = s(H::kCst);
  k.c0 = s(H::kC0);
  k.rd = s(H::kRd);
}

double svc_primary_current(const blocks::Slots<double>& blk, std::int32_t p) { return blk(kX1 + p - 1); }

void svc_step(const SvcConstants& k, const blocks::Slots<double>& blk, const double (&v)[3], SvcOrders& io) {
  const Block b(blk);
  io.cmode = static_cast<std::int32_t>(std::lround(b(kCmode)));
  io.ncord = static_cast<std::int32_t>(std::lround(b(kNcord)));
  const bool timezero = e_s1::timezero;
  if (timezero) start(k, b, io);
  // The gate signals, once a step: the own firing control works on the block
  // through nexc placed just before it; gates from outside are cleared when the
  // firing is disabled.
  if (io.fsrc == 0) {
    const std::int32_t saved = e_s2::nexc;
    e_s2::nexc = blk.index(kGatesDelta) - 1;
    firctl(io.alpha, io.kp, io.ki, io.enab, v[0], v[1], v[2]);
    e_s2::nexc = saved;
  } else if (io.enab < 1) {
    for (std::int32_t g = 0; g < 6; ++g) b(kGatesDelta + g) = b(kGatesWye + g) = 0.0;
  }
  // Sub-steps; one in which a valve turns off is taken again in finer passes up
  // to the next turn-off, the rest of it in one pass.
  const double h = e_s1::delt / k.nsub;
  std::array<double, kSvcBlock> saved{};
  for (std::int32_t sub = 1; sub <= k.nsub; ++sub) {
    const bool first = sub == 1;
    const std::int32_t cmode0 = io.cmode, ncord0 = io.ncord;
    const double cord0 = *io.cord;
    if (k.nref > 1)
      for (std::int32_t i = 1; i <= kSvcBlock; ++i) saved[i - 1] = b(i);
    const bool off = pass(k, b, v, io, h, {first, timezero});
    if (!off || k.nref <= 1) continue;
    for (std::int32_t i = 1; i <= kSvcBlock; ++i) b(i) = saved[i - 1];
    io.cmode = cmode0;
    io.ncord = ncord0;
    *io.cord = cord0;
    const double hf = h / k.nref;
    for (std::int32_t j = 1; j <= k.nref; ++j) {
      if (!pass(k, b, v, io, hf, {first && j == 1, timezero})) continue;
      if (j < k.nref) pass(k, b, v, io, hf * (k.nref - j), {false, timezero});
      break;
    }
  }
}

}  // namespace wakro::devices

double stsvc2(double vp, double xair, double fknee, double v1, double isc, double f, double tflux, double& psi) {
  constexpr double kPeakPerUnit = 1.225;
  constexpr double kAirOffset = 0.001;
  namespace L = wakro::devices::layout::stsvc2;
  const auto s = wakro::blocks::take_stor(L::kStorSize);
  const double d_old = s(L::kDerivative);
  const double psi_old = s(L::kFlux);
  const double d = wakro::kTwoPi * f * (kPeakPerUnit * vp / v1) - psi_old / tflux;
  psi = psi_old + (d_old + d) * e_s1::delt / 2.0;
  double i = 0.0;
  if (psi > fknee) i = -(1.0 / xair - kAirOffset) * (psi - fknee);
  if (psi < -fknee) i = -(1.0 / xair - kAirOffset) * (psi + fknee);
  s(L::kDerivative) = d;
  s(L::kFlux) = psi;
  return i * isc;
}
