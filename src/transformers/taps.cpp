// On-load tap changers and the re-formation of a tapped transformer (taps.h).
//
// Workspace: one set of winding matrices (y, r, rli, irli, hs, d) of the
// transformer's order, sized at time zero so that a change later in the run
// allocates nothing. Leaves: hm, sm of the transformer, gm of its subsystem (and
// ideal::gms, mxinv through the admittance stamp), the tap changers' slots and
// their harmonic-registry records.
#include "transformers/taps.h"

#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "blocks/slots.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_warn.h"
#include "model/harmimp.h"
#include "model/temp1.h"
#include "transformers/settfparm.h"
#include "transformers/store_integer.h"
#include "transformers/winding_matrix.h"

namespace wakro {
namespace {

constexpr double kPivotLimit = wakro::kTiny;
constexpr double kTapChange = 1e-10;   // smallest change of tap that re-forms
constexpr double kTapLow = 0.01, kTapHigh = 100.0;  // bounds of trtap5's tap
using wakro::kTwoPi;
constexpr std::int32_t kUmecCore = 1;  // e_s5::nummag of a UMEC transformer
constexpr std::int32_t kResistiveAdmittance = -1;
constexpr std::int32_t kMutualDataMessage = 24;
constexpr std::string_view kChangeTag = "CHANGE_XFMR ";  // tag of the stamp's own checks

// Kinds of harmonic-registry record.
constexpr std::int32_t kTrtap5Record = 8, kAuto2Record = 10, kAuto3Record = 11;

// The records (taps.h).
namespace tap5 = transformers::layout::trtap5::stor;
namespace auto_st = transformers::layout::auto_tap::storf;
namespace cfg2 = transformers::layout::trtap2wa1::rtcf;
namespace cfg3 = transformers::layout::trtap3wa1::rtcf;

struct Work {
  tf::Square y, r, rli, irli, hs, d;
  void resize(std::int32_t n) {
    for (tf::Square* m : {&y, &r, &rli, &irli, &hs, &d}) m->resize(n);
  }
  // At time zero: room for a change of order n later in the run.
  void reserve(std::int32_t n) {
    resize(n);
    tf::reserve_stamp(n);
  }
};
Work g_work;

// The registry record of each auto-transformer instance, by the position of its
// configuration record (filled at time zero, read afterwards).
std::unordered_map<std::int32_t, std::int32_t> g_auto_records;

// The form in which lorig holds a transformer's inductive part, and whether its
// admittance is corrected for the winding resistance. The configuration routine's
// kind decides when it formed the unit (kind 2 stores 2L/dt; kind 1 stores
// (dt/2) Gamma with R applied as A (I + R A)^-1; a UMEC core has R = 0); a unit
// formed by its section entry only follows the entry's form (the sign of tss;
// nummag = -1 marks the admittance form with resistance).
struct UnitForm {
  bool impedance;  // lorig = 2L/dt: the winding matrix R + lorig is inverted
  bool resistive;  // admittance form: Y = A (I + R A)^-1 instead of A
};
UnitForm unit_form(std::int32_t k, std::int32_t mag) {
  switch (e_s5tap::tkind(k)) {
    case kTfInductance: return {true, false};
    case kTfInverseInductance: return {false, true};
    case kTfUmec: return {false, false};
    default: break;
  }
  if (e_s5tap::tss(k) > 0) return {true, false};
  return {false, mag == kResistiveAdmittance};
}
bool impedance_form(std::int32_t k) { return unit_form(k, e_s5::nummag(k)).impedance; }

double L(std::int32_t i, std::int32_t j, std::int32_t k) { return e_s5tap::lorig(i, j, k); }
double R(std::int32_t i, std::int32_t j, std::int32_t k) { return e_s5tap::rorig(i, j, k); }

// The untapped matrix before inversion: L + R (impedance form) or L.
void base_matrix(std::int32_t k, std::int32_t n) {
  const bool z = impedance_form(k);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) temp1::si(i, j) = L(i, j, k) + (z ? R(i, j, k) : 0.0);
}

void set_pair(std::int32_t i, std::int32_t j, double v) { temp1::si(i, j) = temp1::si(j, i) = v; }

// Appends a registry record and returns its number (0 when the registry is full).
std::int32_t register_tap(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                          std::initializer_list<double> values) {
  return harmimp::harm_append(type, ss, nodes, values) ? harmimp::harm_num : 0;
}

[[noreturn]] void refuse(std::string_view tag, std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, msg::kError, msg::kSingleLine, text);
  wakro_quit(tag, 0);
}

bool transformer_exists(std::int32_t k) { return k >= 1 && k <= e_s5::jset; }
bool winding_of(std::int32_t w, std::int32_t k) { return w >= 1 && w <= e_s5::msiz(k); }

// The two console lines with which trtap5 refuses (k, w, ss); empty when it acts.
struct Refusal {
  std::string_view heading, reason;
};
Refusal trtap5_refusal(std::int32_t k, std::int32_t w, std::int32_t ss) {
  if (!transformer_exists(k) || std::abs(e_s5tap::tss(k)) != ss)
    return {"ERROR IN TRTAP5!", "INVALID TRANSFORMER # OR SUBSYSTEM"};
  if (!winding_of(w, k)) return {"ERROR IN TRTAP5", "INVALID WINDING NUMBER"};
  if (e_s5::nummag(k) == kUmecCore) return {"ERROR IN TRTAP5", "TAPS ON A UMEC TRANSFORMER ARE NOT MODELLED"};
  return {};
}

constexpr std::int32_t kNoRecord = 0;  // a tap changer's record number when the registry was full

// Whether registry record r is one of this kind whose first nodes are these.
bool is_record(std::int32_t r, std::int32_t type, std::initializer_list<std::int32_t> nodes) {
  if (r < 1 || r > harmimp::harm_num || harmimp::harm_type(r) != type) return false;
  std::int32_t j = 1;
  for (const std::int32_t n : nodes)
    if (harmimp::harm_node(r, j++) != n) return false;
  return true;
}

// The registry record of this kind and these nodes, or kNoRecord.
std::int32_t find_record(std::int32_t type, std::initializer_list<std::int32_t> nodes) {
  for (std::int32_t r = 1; r <= harmimp::harm_num; ++r)
    if (is_record(r, type, nodes)) return r;
  return kNoRecord;
}

// The registry record whose number trtap5 keeps as a real (a snapshot may bring
// any value there): 0, or a record of this tap changer; the run stops on any
// other value.
std::int32_t trtap5_record(double kept, std::int32_t k, std::int32_t w) {
  const auto name = [&] {
    return "harmonic-registry record of the tap changer on winding " + std::to_string(w) + " of transformer " +
           std::to_string(k);
  };
  const std::int32_t r = transformers::store_integer(kTrtap5Tag, kept, kNoRecord, harmimp::harm_num, name);
  // A record number of another component would have its value overwritten.
  if (r != kNoRecord && !is_record(r, kTrtap5Record, {k, w}))
    refuse(kTrtap5Tag, "WAKRO: Store value names another component's record: " + name() + " = " +
                           std::to_string(r));
  return r;
}

}  // namespace
}  // namespace wakro

using namespace wakro;

void e_change_xfmr(std::int32_t ss, std::int32_t k, std::int32_t mag, std::int32_t n) {
  Work& m = g_work;
  m.resize(n);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) {
      m.y(i, j) = temp1::si(i, j);
      m.r(i, j) = R(i, j, k);
    }

  // Step 1: the new admittance Y of the windings.
  bool regular = true;
  const UnitForm form = unit_form(k, mag);
  if (form.impedance) {
    regular = tf::invert_in_place(m.y, kPivotLimit);
  } else if (form.resistive && n > 0) {
    // Y = A (I + R A)^-1 = A (I - (I + R A)^-1 R A).
    m.hs = m.y;
    tf::multiply(m.r, m.hs, m.rli);
    m.irli = m.rli;
    for (std::int32_t w = 1; w <= n; ++w) m.irli(w, w) += 1.0;
    regular = tf::invert_in_place(m.irli, kPivotLimit);
    if (regular) {
      tf::multiply(m.irli, m.rli, m.y);
      for (std::int32_t i = 1; i <= n; ++i)
        for (std::int32_t j = 1; j <= n; ++j) m.rli(i, j) = (i == j ? 1.0 : 0.0) - m.y(i, j);
      tf::multiply(m.hs, m.rli, m.y);
    }
  }
  if (!regular) outmsg(kMutualDataMessage, ss);  // ends the run (blank offending line)

  // Step 2: the change since hm into gm, in the form gm has now.
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) m.d(i, j) = m.y(i, j) - e_s5::hm(i, j, k);
  tf::stamp_windings(kChangeTag, k, ss, m.d);

  // Step 3: hm = Y, sm = I - 2 Y R.
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) {
      double yr = 0.0;
      for (std::int32_t l = 1; l <= n; ++l) yr += m.y(i, l) * m.r(l, j);
      e_s5::sm(i, j, k) = -2.0 * yr + (i == j ? 1.0 : 0.0);
    }
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) e_s5::hm(i, j, k) = m.y(i, j);
}

void trtap5(std::int32_t k, std::int32_t w, std::int32_t ss, double tap) {
  const blocks::Slots<double> s = blocks::take_stor(tap5::kSize);
  const double t = tap <= kTapLow ? kTapLow : (tap >= kTapHigh ? kTapHigh : tap);

  // Step 1: the transformer and winding (reported at time zero only).
  const Refusal why = trtap5_refusal(k, w, ss);
  if (!why.heading.empty()) {
    if (e_s1::timezero) {
      ListLine() << why.heading;
      ListLine() << why.reason;
    }
    return;
  }

  // Step 2: the tap in effect, and the registry record.
  double p = 1.0;
  if (e_s1::timezero) {
    g_work.reserve(e_s5::msiz(k));
    s(tap5::kTap) = 1.0;
    s(tap5::kRecord) = register_tap(kTrtap5Record, ss, {k, w}, {t});
  } else {
    p = s(tap5::kTap);
    const std::int32_t record = trtap5_record(s(tap5::kRecord), k, w);
    if (record != kNoRecord) harmimp::harm_var(record, 1) = t;
  }

  // Step 3: a new tap at a zero of the watched current.
  const double i_w = e_s0::cdctr(w, k);
  if (std::abs(t - p) >= kTapChange && i_w * s(tap5::kCurrent) <= 0.0) {
    const std::int32_t n = e_s5::msiz(k);
    base_matrix(k, n);
    if (impedance_form(k)) {
      temp1::si(w, w) = L(w, w, k) * t * t + R(w, w, k);
      for (std::int32_t i = 1; i <= n; ++i)
        if (i != w) set_pair(i, w, t * L(i, w, k) + R(i, w, k));
    } else {
      temp1::si(w, w) = L(w, w, k) / (t * t);
      for (std::int32_t i = 1; i <= n; ++i)
        if (i != w) set_pair(i, w, L(i, w, k) / t);
    }
    e_change_xfmr(ss, k, e_s5::nummag(k), n);
    s(tap5::kTap) = t;
  }
  s(tap5::kCurrent) = i_w;
}

// ---------------------------------------------------------------------------
// Auto-transformers.

namespace {

void check_auto_unit(std::string_view tag, std::int32_t k, std::int32_t windings,
                     std::string_view count_text) {
  if (!transformer_exists(k)) refuse(tag, "Invalid Transformer Number");
  if (e_s5::msiz(k) != windings) refuse(tag, count_text);
  if (e_s5::nummag(k) == kUmecCore) refuse(tag, "Taps are not modelled on a UMEC transformer");
}

// Time zero: the record of the instance configured at `key`; afterwards its tap
// (and c) written into that record. A run resumed from a snapshot has no time
// zero, and a table left by an earlier run of the process may name another
// record: the record is then found in the restored registry by its kind and
// nodes (the first step of a resumed run adds the instance to the table).
void keep_auto_record(std::int32_t key, std::int32_t type, std::int32_t ss,
                      std::initializer_list<std::int32_t> nodes, double t, double c) {
  if (e_s1::timezero) {
    g_auto_records[key] = register_tap(type, ss, nodes, {t, c});
    return;
  }
  const auto [it, added] = g_auto_records.try_emplace(key, kNoRecord);
  std::int32_t& r = it->second;
  if (added || (r != kNoRecord && !is_record(r, type, nodes))) r = find_record(type, nodes);
  if (r == kNoRecord) return;
  harmimp::harm_var(r, 1) = t;
  harmimp::harm_var(r, 2) = c;
}

double clamp_tap(double tap, double tmin, double tmax) {
  double t = tap < tmin ? tmin : tap;
  return t > tmax ? tmax : t;
}

}  // namespace

void trtap2wa1_cfg(std::int32_t k, std::int32_t wb, std::int32_t wa, double v1, double v2) {
  check_auto_unit(kAuto2Tag, k, 2, "2 Winding tap routine called from a non 2-Winding transformer");
  if (wa < 1 || wa > 2 || wb < 1 || wb > 2 || wa == wb) refuse(kAuto2Tag, "Invalid Winding Number");
  if (!(v2 > 0.0) || !(v1 > 0.0) || v1 == v2)
    refuse(kAuto2Tag, "Unrealistic Transformer Voltage Rating.");
  const double r = v1 / v2;
  const blocks::Slots<double> c = blocks::take_rtcf(cfg2::kSize);
  c(cfg2::kTapLow) = r / 51.0;
  c(cfg2::kTapHigh) = r / 1.02;
  c(cfg2::kRatioLess1) = r - 1.0;
}

void trtap2wa1_exe(std::int32_t k, std::int32_t wb, std::int32_t wa, double tap) {
  const blocks::Slots<double> cfg = blocks::take_rtcf(cfg2::kSize);
  const blocks::Slots<double> s = blocks::take_storf(auto_st::kSize);
  if (!transformer_exists(k) || e_s5::msiz(k) != 2 || !winding_of(wa, k) || !winding_of(wb, k) || wa == wb)
    return;  // refused at set-up
  const std::int32_t ss = std::abs(e_s5tap::tss(k));
  const double t = clamp_tap(tap, cfg(cfg2::kTapLow), cfg(cfg2::kTapHigh));
  const double c = 1.0 + (1.0 - t) / cfg(cfg2::kRatioLess1);

  double p = 1.0;
  if (e_s1::timezero) {
    g_work.reserve(2);
    s(auto_st::kTap) = 1.0;
  } else {
    p = s(auto_st::kTap);
  }
  keep_auto_record(cfg.index(cfg2::kTapLow), kAuto2Record, ss, {k, wa, wb}, t, c);

  const double i_w = e_s0::cdctr(wa, k);
  if (std::abs(t - p) >= kTapChange && i_w * s(auto_st::kCurrent) <= 0.0) {
    if (impedance_form(k)) {
      const double sp = std::sqrt(L(wb, wb, k) * L(wa, wa, k));
      temp1::si(wa, wa) = L(wa, wa, k) * t * t + R(wa, wa, k);
      temp1::si(wb, wb) = L(wb, wb, k) * c * c + R(wb, wb, k);
      set_pair(wa, wb, (sp - (sp - L(wa, wb, k)) / (c * c)) * t * c);
    } else {
      temp1::si(wa, wa) = L(wa, wa, k) * c * c / (t * t);
      temp1::si(wb, wb) = L(wb, wb, k);
      set_pair(wa, wb, c * L(wa, wb, k) / t);
    }
    e_change_xfmr(ss, k, e_s5::nummag(k), 2);
    s(auto_st::kTap) = t;
  }
  s(auto_st::kCurrent) = i_w;
}

void trtap3wa1_cfg(std::int32_t k, double s, double f, double v1, double v2, double v3, double x,
                   double x1, double x2, double x3) {
  check_auto_unit(kAuto3Tag, k, 3, "3 Winding tap routine called from a non 3-Winding transformer");
  if (!(s > 0.0)) refuse(kAuto3Tag, "Unrealistic Transformer MVA Rating.");
  if (!(f > 0.0)) refuse(kAuto3Tag, "Unrealistic Transformer Frequency.");
  if (!(v1 > 0.0) || !(v2 > 0.0) || !(v3 > 0.0) || v1 == v2)
    refuse(kAuto3Tag, "Unrealistic Transformer Voltage Rating.");
  if (!(x > 0.0)) refuse(kAuto3Tag, "Unrealistic Transformer Leakage Value.");
  const double w = kTwoPi * f;
  const blocks::Slots<double> c = blocks::take_rtcf(cfg3::kSize);
  c(cfg3::kP1) = v3 * v3 / s / w;
  c(cfg3::kP2) = (v1 - v2) * (v1 - v2) / s / w;
  c(cfg3::kP3) = v2 * v2 / s / w;
  c(cfg3::kX1) = x1;
  c(cfg3::kX2) = x2;
  c(cfg3::kX3) = x3;
  c(cfg3::kKa) = v3 / (v1 - v2);
  c(cfg3::kKb) = v3 / v2;
  c(cfg3::kM) = x * 0.01;
  c(cfg3::kTapLow) = v1 / (v2 * 51.0);
  c(cfg3::kTapHigh) = v1 / (v2 * 1.02);
}

void trtap3wa1_exe(std::int32_t k, std::int32_t wa, std::int32_t wb, std::int32_t wc, double tap) {
  const blocks::Slots<double> cfg = blocks::take_rtcf(cfg3::kSize);
  const blocks::Slots<double> st = blocks::take_storf(auto_st::kSize);
  const bool valid = transformer_exists(k) && e_s5::msiz(k) == 3 && winding_of(wa, k) &&
                     winding_of(wb, k) && winding_of(wc, k) && wa != wb && wa != wc && wb != wc;
  if (!valid) {
    if (e_s1::timezero) refuse(kAuto3Tag, "Invalid Winding Number");
    return;
  }
  const std::int32_t ss = std::abs(e_s5tap::tss(k));
  const double p1 = cfg(cfg3::kP1), p2 = cfg(cfg3::kP2), p3 = cfg(cfg3::kP3);
  const double x1 = cfg(cfg3::kX1), x2 = cfg(cfg3::kX2), x3 = cfg(cfg3::kX3);
  const double ka = cfg(cfg3::kKa), kb = cfg(cfg3::kKb), m = cfg(cfg3::kM);
  const double t = clamp_tap(tap, cfg(cfg3::kTapLow), cfg(cfg3::kTapHigh));
  const double c = (1.0 - t) * ka / kb + 1.0;

  double p = 1.0;
  if (e_s1::timezero) {
    g_work.reserve(3);
    st(auto_st::kTap) = 1.0;
  } else {
    p = st(auto_st::kTap);
  }
  keep_auto_record(cfg.index(cfg3::kP1), kAuto3Record, ss, {k, wb, wa, wc, cfg.index(cfg3::kP1)}, t,
                   c);

  const double i_w = e_s0::cdctr(wb, k);
  if (std::abs(t - p) >= kTapChange && i_w * st(auto_st::kCurrent) <= 0.0) {
    const double s = ka + kb;
    const double q = s * s * x1 / (c * c * kb * kb);
    const double v = x2 * s / (kb * c) + ka * s * x1 * t / (kb * kb * c * c) - x3 * ka * t / (kb * c);
    if (impedance_form(k)) {
      const double y = 2.0 / (e_s1::delt * m);
      temp1::si(wc, wc) = p1 * y;
      temp1::si(wa, wa) = p2 * c * c * y;
      temp1::si(wb, wb) = p3 * t * t * y;
      set_pair(wa, wc, (1.0 - v * 0.5 * m) * c * std::sqrt(p1 * p2) * y);
      set_pair(wb, wc, (1.0 - x3 * 0.5 * m) * t * std::sqrt(p1 * p3) * y);
      set_pair(wa, wb, y * (1.0 - q * 0.5 * m) * t * c * std::sqrt(p2 * p3));
    } else {
      const double za = (x3 - q + v) * 0.5 * p1;
      const double zb = (v - x3 + q) * 0.5 * p1;
      const double zc = (x3 - v + q) * 0.5 * p1;
      const double g = 0.5 * e_s1::delt / (za * zc + zb * zc + za * zb);
      temp1::si(wc, wc) = (zb + zc) * g;
      temp1::si(wa, wa) = (za + zc) * g * ka * ka / (c * c);
      temp1::si(wb, wb) = (za + zb) * g * kb * kb / (t * t);
      set_pair(wc, wa, -zc * ka * g / c);
      set_pair(wc, wb, -zb * kb * g / t);
      set_pair(wa, wb, -kb * ka * za * g / (c * t));
    }
    e_change_xfmr(ss, k, e_s5::nummag(k), 3);
    st(auto_st::kTap) = t;
  }
  st(auto_st::kCurrent) = i_w;
}
