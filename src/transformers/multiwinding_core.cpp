// The shared skeleton of the multi-winding core-saturation members
// (multiwinding_core.h).
#include "transformers/multiwinding_core.h"

#include "diag/message.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_warn.h"
#include "model/harmimp.h"
#include "network/matrix.h"
#include "network/solution.h"
#include "transformers/store_integer.h"

namespace wakro::mw {
namespace {

constexpr double kOneOverSqrt3 = 0.577350269189626;
constexpr std::int32_t kSaturationRecord = 9;
namespace common = transformers::layout::multiwinding;
namespace curve = transformers::layout::multiwinding::curve;
constexpr std::int32_t kRatioPos = common::kRatios;
constexpr std::int32_t kLeakagePos = common::kLeakages;  // L12, L13, L23, then three more
constexpr std::int32_t kShareSlots = common::kShareSlots;

constexpr std::string_view kWindingsText = "Number of windings must be 2, 3 or 4.";
constexpr std::string_view kLeakageText = "Unrealistic Transformer Leakage Reactance.";
constexpr std::string_view kUnitText =
    "Transformer number of the saturation component is out of range.";
constexpr std::string_view kCountText =
    "Winding count of the transformer differs from the saturation data.";

bool present_set(const Branches& br, std::int32_t w) {
  return br(w, 1) != 0 && br(w, 2) != 0 && br(w, 3) != 0;
}

}  // namespace

void Refusals::require(bool ok, std::string_view text) {
  if (ok) return;
  failed_ = true;
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, msg::kError, msg::kSingleLine, text);
}

void Refusals::stop() const {
  if (failed_) wakro_quit(tag_, 0);
}

// ---------------------------------------------------------------------------
// Set-up

bool check_rating(Refusals& no, const Rating& a, bool check_f) {
  if (a.nw < kMinWindings || a.nw > kMaxWindings) {
    no.require(false, kWindingsText);
    return false;
  }
  no.require(a.s > 0.0, sat::kMvaText);
  bool volts = true;
  for (std::int32_t j = 0; j < a.nw; ++j) volts = volts && a.v[j] > 0.0;
  no.require(volts, sat::kVoltageText);
  if (check_f) no.require(a.f > 0.0, sat::kFrequencyText);
  const std::int32_t used = a.nw == 2 ? 1 : a.nw == 3 ? 3 : 6;
  bool leakage = true;
  for (std::int32_t j = 0; j < used; ++j) leakage = leakage && a.x[j] > 0.0;
  no.require(leakage, kLeakageText);
  return true;
}

void check_branches(std::string_view tag, std::int32_t nw, const Branches& br, std::int32_t ss) {
  wakro_testssn(tag, ss);
  for (std::int32_t w = 1; w <= nw; ++w)
    for (std::int32_t p = 1; p <= kPhases; ++p)
      if (br(w, p) != 0) wakro_testbrn(tag, br(w, p), ss);
}

void take_branches(std::string_view tag, std::int32_t nw, const Branches& br, std::int32_t ss) {
  for (std::int32_t p = 1; p <= kPhases; ++p) {
    for (std::int32_t w = 1; w <= nw; ++w) {
      const std::int32_t b = br(w, p);
      if (b == 0) continue;
      change_branch_conductance(tag, ss, b, 0.0);
      branches::defrdbr(b, ss) = true;
      harmimp::harm_append(kSaturationRecord, ss, {b}, {});
    }
  }
}

void write_windings(const Record& r, const Rating& a, const Branches& br) {
  const double omega = kTwoPi * a.f;
  const double wdt = omega * e_s1::delt;
  const bool full_set = present_set(br, 1);
  r[common::kAdvance1] = full_set ? 1.0 - wdt * wdt : 1.0;
  r[common::kAdvance2] = full_set ? kOneOverSqrt3 * wdt : 0.0;
  for (std::int32_t j = 2; j <= a.nw; ++j) r[kRatioPos + j - 2] = a.v[0] / a.v[j - 1];
  const double to_henry = a.v[0] * a.v[0] / (a.s * omega);
  for (std::int32_t j = 0; j < common::kLeakageCount; ++j) r[kLeakagePos + j] = a.x[j] * to_henry;
}

void write_curve(const Record& r, const sat::Curve& q, double s) {
  r[curve::kAirReactance] = q.xa;
  r[curve::kMagnetising] = q.im;
  r[curve::kKneeVoltage] = q.vk;
  r[curve::kOmega] = q.omega;
  r[curve::kRating] = s;
  r[curve::kCurveC] = q.c;
  r[curve::kCurveH] = q.h;
  r[curve::kKneeFlux] = q.phik;
}

Record claim_record(const Refusals& no, std::string_view tag, const Rating& a, const Branches& br,
                    std::int32_t ss, std::int32_t size) {
  no.stop();
  check_branches(tag, a.nw, br, ss);
  take_branches(tag, a.nw, br, ss);
  const Record r(blocks::take_rtcf(size));
  write_windings(r, a, br);
  return r;
}

// ---------------------------------------------------------------------------
// Per step

void check_units(std::string_view tag, const Units& k, std::int32_t nw, const Branches& br,
                 std::int32_t ss) {
  bool in_range = true;
  for (const std::int32_t u : k) in_range = in_range && u >= 1 && u <= e_s5::jset;
  if (!in_range) {
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, msg::kError, msg::kSingleLine, kUnitText);
    wakro_quit(tag, 0);
  }
  if (e_s5::msiz(k[0]) != nw) {
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, msg::kError, msg::kSingleLine, kCountText);
    wakro_quit(tag, 0);
  }
  check_branches(tag, nw, br, ss);
}

StepCall open_step(std::string_view tag, std::int32_t record_size, std::int32_t state_size,
                   std::int32_t nw_pos, const Units& k, const Branches& br, std::int32_t ss) {
  const Record r(blocks::take_rtcf(record_size));
  const blocks::Slots<double> st = blocks::take_stor(state_size);
  // (The count is kept as a real in the record, which a snapshot restores.)
  const std::int32_t nw = transformers::store_integer(tag, r[nw_pos], kMinWindings, kMaxWindings, [&] {
    return "winding count in the saturation record of transformer " + std::to_string(k[0]);
  });
  if (e_s1::timezero) check_units(tag, k, nw, br, ss);
  return {r, st, nw};
}

Unit unit_at_step(const Record& r, std::int32_t nw, std::int32_t ka, std::int32_t tap_winding,
                  double tap, std::int32_t core_winding) {
  Unit u;
  u.nw = nw;
  const double t = tap < kLeastTap ? kLeastTap : tap;
  // Step 1: turns ratios, the tap scaling the turns of its winding.
  u.n[1] = 1.0;
  for (std::int32_t j = 2; j <= nw; ++j) u.n[j] = r[kRatioPos + j - 2];
  if (tap_winding == 1) {
    for (std::int32_t j = 2; j <= nw; ++j) u.n[j] *= t;
  } else if (tap_winding >= 2 && tap_winding <= nw) {
    u.n[tap_winding] /= t;
  }
  // Step 2: the core's scale and the leakages referred to winding 1.
  u.scale = tap_winding == core_winding ? t : 1.0;
  const double t2 = u.scale * u.scale;
  const double l12 = r[kLeakagePos] * t2, l13 = r[kLeakagePos + 1] * t2,
               l23 = r[kLeakagePos + 2] * t2;
  if (nw == 2) {
    u.l[1] = u.l[2] = 0.5 * l12;
  } else if (nw == 3) {
    u.l[1] = 0.5 * (l12 + l13 - l23);
    u.l[2] = 0.5 * (l12 - l13 + l23);
    u.l[3] = 0.5 * (l13 + l23 - l12);
  } else {
    double sum = 0.0;
    for (std::int32_t j = 0; j < common::kLeakageCount; ++j) sum += r[kLeakagePos + j];
    u.l[1] = sum * t2 / 12.0;
  }
  // Step 3: half-step resistances referred to winding 1.
  const double half_dt = 0.5 * e_s1::delt;
  u.r1 = e_s5tap::rorig(1, 1, ka);
  for (std::int32_t j = 1; j <= nw && j <= 3; ++j)
    u.rh[j] = u.n[j] * u.n[j] * e_s5tap::rorig(j, j, ka) * half_dt;
  return u;
}

Terminal terminal(const blocks::Slots<double>& st, const Record& r, Layout at, const Unit& u,
                  const Branches& br, std::int32_t sel, std::int32_t ss, const Units& k) {
  Terminal term;
  const std::int32_t winding = sel == 0 ? 1 : sel;
  PerPhase v{};
  for (std::int32_t p = 1; p <= kPhases; ++p) {
    const std::int32_t b = br(winding, p);
    term.present[p - 1] = b != 0;
    if (b == 0) continue;
    v[p - 1] = vbranch(ss, b);
    if (sel != 0) continue;
    const double share = u.nw == 4 ? 0.25 * st(at.current + p - 1) : st(at.shares + (p - 1) * u.nw);
    term.ip[p - 1] = share + e_s0::cdctr(1, k[p - 1]);
    v[p - 1] -= term.ip[p - 1] * u.r1;
  }
  const double a1 = r[common::kAdvance1], a2 = r[common::kAdvance2];
  term.w = {a1 * v[0] + a2 * (v[2] - v[1]), a1 * v[1] + a2 * (v[0] - v[2]),
            a1 * v[2] + a2 * (v[1] - v[0])};
  return term;
}

namespace {

// New shares of one phase (NW = 2 or 3) from the previous ones s0 and the change
// di of its magnetising current; they add up to the current when s0 did.
std::array<double, 4> shares_of(const Unit& u, const std::array<double, 4>& s0, double di) {
  std::array<double, 4> a{}, b{}, s{};
  for (std::int32_t j = 1; j <= u.nw; ++j) {
    a[j] = u.l[j] + u.rh[j];
    b[j] = u.l[j] - u.rh[j];
  }
  const double* rh = u.rh.data();
  if (u.nw == 2) {
    const double den = a[1] + a[2];
    s[1] = ((b[1] + a[2]) * s0[1] + 2.0 * rh[2] * s0[2] + a[2] * di) / den;
    s[2] = ((b[2] + a[1]) * s0[2] + 2.0 * rh[1] * s0[1] + a[1] * di) / den;
    return s;
  }
  const double den = a[1] * a[2] + a[1] * a[3] + a[2] * a[3];
  for (std::int32_t j = 1; j <= 3; ++j) {
    const std::int32_t m = j == 1 ? 2 : 1, l = j == 3 ? 2 : 3;
    s[j] = ((b[j] * (a[m] + a[l]) + a[m] * a[l]) * s0[j] +
            2.0 * (a[l] * rh[m] * s0[m] + a[m] * rh[l] * s0[l]) + a[m] * a[l] * di) /
           den;
  }
  return s;
}

}  // namespace

void inject(const blocks::Slots<double>& st, Layout at, const Unit& u, const Branches& br,
            std::int32_t sel, std::int32_t ss, std::int32_t enable, const PerPhase& previous,
            const Terminal& term) {
  if (enable == 0) {
    for (std::int32_t p = 0; p < kPhases; ++p) st(at.current + p) = 0.0;
    return;
  }
  // Directly across a selected winding: each current into its branch.
  if (sel != 0) {
    for (std::int32_t p = 1; p <= kPhases; ++p)
      if (term.present[p - 1]) branches::ccbr(br(sel, p), ss) = st(at.current + p - 1);
    for (std::int32_t n = 0; n < kShareSlots; ++n) st(at.shares + n) = 0.0;
    return;
  }
  // Behind winding 1: the shares, referred to each winding by its turns ratio.
  for (std::int32_t p = 1; p <= kPhases; ++p) {
    const double i = st(at.current + p - 1);
    std::array<double, 4> s{};
    if (term.present[p - 1] && u.nw < 4) {
      std::array<double, 4> s0{};
      for (std::int32_t j = 1; j <= u.nw; ++j) s0[j] = st(at.shares + (p - 1) * u.nw + j - 1);
      s = shares_of(u, s0, i - previous[p - 1]);
    }
    for (std::int32_t j = 1; j <= u.nw; ++j) {
      const double share = u.nw == 4 ? (term.present[p - 1] ? 0.25 * i : 0.0) : s[j];
      if (br(j, p) != 0) branches::ccbr(br(j, p), ss) = u.n[j] * share;
      if (u.nw < 4) st(at.shares + (p - 1) * u.nw + j - 1) = s[j];
    }
  }
  if (u.nw == 4)
    for (std::int32_t n = 0; n < kShareSlots; ++n) st(at.shares + n) = 0.0;
}

}  // namespace wakro::mw
