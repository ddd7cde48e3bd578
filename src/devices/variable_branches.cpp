// The variable R, L, C branches and the variable series impedance branches.
//
// Companion of a single element of value v at time step dt:
//   R: G = 1 / v                flags (1, 0, 0)   rlg = rcg = 0
//   L: G = dt / (2 v)           flags (0, 1, 0)   rlg = 1, G2L = G
//   C: G = 2e-6 v / dt          flags (0, 0, 1)   rcg = 1, G2C = G
// The correction current keeps the stored energy consistent across a change:
//   L (flux L i kept):  I_c := (L_old / L_new - 1) cbr + I_c L_old / L_new,
//                       carried from step to step;
//   C (charge C v kept): I_c := (C_new - C_old) 1e-6 v / dt, for one step.
#include "devices/variable_branches.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/message.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace {

using namespace wakro::devices;

constexpr std::string_view kRlcTag = "VARRLC10";
constexpr std::string_view kCfgTag = "E_VARRLC1";
constexpr std::string_view kImpTag = "VARIMPBRANCH";
constexpr std::string_view kImp2Tag = "VARIMPBRNCH2";

constexpr double kChangeTolerance = 1.0e-4;  // relative to the last applied value
constexpr double kNoValue = wakro::kTiny;         // a value at or below this has no element
constexpr double kShortConductance = 1.0e20;
constexpr double kShortResistance = wakro::kTiny;
constexpr double kOpenResistance = 1.0e8;  // branch of e_varimpbranch2 without parts

enum class Element { resistance, inductance, capacitance };

// The old value passes when the new one lies within 1e-4 of it, relative to it
// (so a negative or zero old value passes only an equal new one).
bool unchanged(double old_value, double value) {
  return std::abs(old_value - value) <= old_value * kChangeTolerance;
}

double threshold_ideal(std::int32_t ss) { return 1.0 / ideal::gonmax(ss); }

void set_flags(std::int32_t br, std::int32_t ss, bool r, bool l, bool c) {
  branches::resistor(br, ss) = r;
  branches::inductor(br, ss) = l;
  branches::capacitr(br, ss) = c;
}

// Writes the companion of one element of value v (flags, shares, part
// conductance, registry value) and returns its conductance. A value at or below
// 1e-20 gives a 1e-20 ohm resistor for R and L and an open branch for C.
double write_element(std::int32_t br, std::int32_t ss, Element el, double v) {
  using namespace branches;
  const double dt = e_s1::delt;
  rlg(br, ss) = rcg(br, ss) = 0.0;
  if (std::abs(v) <= kNoValue) {
    if (el == Element::capacitance) {
      set_flags(br, ss, false, false, false);
      g2c(br, ss) = 0.0;
      harmimp::branch_c(br, ss) = 0.0;
      return 0.0;
    }
    set_flags(br, ss, true, false, false);
    harmimp::branch_r(br, ss) = kShortResistance;
    return kShortConductance;
  }
  switch (el) {
    case Element::resistance:
      set_flags(br, ss, true, false, false);
      harmimp::branch_r(br, ss) = v;
      return 1.0 / v;
    case Element::inductance: {
      const double g = wakro::inductive_conductance(v, dt);
      set_flags(br, ss, false, true, false);
      rlg(br, ss) = 1.0;
      g2l(br, ss) = g;
      harmimp::branch_l(br, ss) = v;
      return g;
    }
    case Element::capacitance: {
      const double g = wakro::capacitive_conductance(v, dt);
      set_flags(br, ss, false, false, true);
      rcg(br, ss) = 1.0;
      g2c(br, ss) = g;
      harmimp::branch_c(br, ss) = 1.0e-6 * v;
      return g;
    }
  }
  return 0.0;
}

// A resistance below the ideal limit of ss makes the branch ideal (conductance 0,
// collapsed by the solution); any other element clears the ideal mark.
double ideal_test(std::int32_t br, std::int32_t ss, Element el, double v, double g) {
  if (el == Element::resistance && std::abs(v) < threshold_ideal(ss)) {
    branches::idealbr(br, ss) = true;
    e_s0::idealss(ss) = true;
    harmimp::branch_r(br, ss) = kShortResistance;
    return 0.0;
  }
  branches::idealbr(br, ss) = false;
  return g;
}

// The new conductance into the matrix (and GEQD at time zero).
void apply_conductance(std::string_view tag, std::int32_t br, std::int32_t ss, double g) {
  wakro::change_branch_conductance(tag, ss, br, g);
  if (e_s1::timezero) branches::geqd(br, ss) = g;
}

void warn_small(Element el) {
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::first_of(2),
             el == Element::capacitance ? "Capacitance value is too small." : "Inductance value is too small.");
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kLastLine,
             "Considering the branch as a small resistive branch.");
}

Element element_of(std::int32_t kind) {
  switch (kind) {
    case kVarInductance:
    case kVarInductanceCorrected:
      return Element::inductance;
    case kVarCapacitance:
    case kVarCapacitanceCorrected:
      return Element::capacitance;
    default:
      return Element::resistance;
  }
}

// The correction current of a change from old_value to value (values above
// 1e-20 only): L carries ic, C computes the charge step, R has none.
double correction(Element el, std::int32_t br, std::int32_t ss, double old_value, double value,
                  double ic) {
  if (el == Element::inductance) {
    const double ratio = old_value / value;
    return (ratio - 1.0) * branches::cbr(br, ss) + ic * ratio;
  }
  if (el == Element::capacitance)
    return (value - old_value) * 1.0e-6 * vbranch(ss, br) / e_s1::delt;
  return 0.0;
}

// The branch check of wakro_testbrn as one inline comparison chain: true exactly
// when it would pass, so that a call per step pays no routine call; a failing
// number still goes to wakro_testbrn for its message.
bool branch_in_range(std::int32_t br, std::int32_t ss) {
  return ss >= 1 && ss <= int2::nmat && br >= 1 && br <= int2::insb(ss);
}

// A new value of wakro_varrlc10 (or its time-zero pass): the companion and the
// correction current. Kept out of the per-step path, which only reads the stored
// value and the correction. Returns the correction current.
[[gnu::noinline]] double varrlc10_change(std::int32_t ibr, std::int32_t iss, Element el,
                                         std::int32_t f, std::int32_t t, double value, double ic,
                                         const wakro::blocks::Slots<double> s) {
  namespace L = wakro::devices::layout::varrlc10;
  const bool reactive = el != Element::resistance;
  if (e_s1::timezero && reactive) {
    wakro::enable_norton(kRlcTag, iss, f);
    wakro::enable_norton(kRlcTag, iss, t);
  }
  branches::source(ibr, iss) = true;
  if (!e_s1::timezero && std::abs(value) > kNoValue)
    ic = correction(el, ibr, iss, s(L::kValue), value, ic);
  double g = write_element(ibr, iss, el, value);
  g = ideal_test(ibr, iss, el, value, g);
  apply_conductance(kRlcTag, ibr, iss, g);
  s(L::kValue) = value;
  return ic;
}

// The same for e_varrlc1_exe, which then sets the branch's EMF and correction
// current as every step does (ibr2: the companion branch of a corrected kind).
[[gnu::noinline]] void varrlc1_change(std::int32_t iss, std::int32_t ibr, std::int32_t ibr2,
                                      std::int32_t kind, double value, double emf,
                                      const wakro::blocks::Slots<double> s) {
  namespace L = wakro::devices::layout::varrlc1;
  const Element el = element_of(kind);
  const bool corrected = kind == kVarInductanceCorrected || kind == kVarCapacitanceCorrected;
  double ic = kind == kVarInductanceCorrected ? s(L::kCorrection) : 0.0;
  wakro_testbrn(kCfgTag, ibr, iss);
  branches::source(ibr, iss) = true;
  if (std::abs(value) > kNoValue) {
    if (!e_s1::timezero && corrected) ic = correction(el, ibr, iss, s(L::kValue), value, ic);
  } else if (el != Element::resistance) {
    warn_small(el);
  }
  double g = write_element(ibr, iss, el, value);
  g = ideal_test(ibr, iss, el, value, g);
  apply_conductance(kCfgTag, ibr, iss, g);
  s(L::kValue) = value;
  branches::ebr(ibr, iss) = emf;
  if (corrected) branches::ccbr(ibr2, iss) = ic;
  s(L::kCorrection) = ic;
}

}  // namespace

void wakro_varrlc10(std::int32_t ibr, std::int32_t iss, std::int32_t kind, double& current,
                    double value, double emf) {
  using namespace branches;
  namespace L = wakro::devices::layout::varrlc10;
  wakro::blocks::Slots<double> s = wakro::blocks::take_stor(L::kStorSize);
  // Step 1: the end nodes and the carried correction.
  if (!branch_in_range(ibr, iss)) [[unlikely]]
    wakro_testbrn(kRlcTag, ibr, iss);
  const Element el = element_of(kind == kVarInductance || kind == kVarCapacitance ? kind : 0);
  const std::int32_t f = ief(ibr, iss);
  const std::int32_t t = iet(ibr, iss);
  const bool reactive = el != Element::resistance;
  double ic = el == Element::inductance ? s(L::kCorrection) : 0.0;
  // Step 2: a change, or time zero.
  if (e_s1::timezero || !unchanged(s(L::kValue), value)) [[unlikely]]
    ic = varrlc10_change(ibr, iss, el, f, t, value, ic, s);
  // Step 3: the EMF and the correction, every step.
  ebr(ibr, iss) = emf;
  current = cbr(ibr, iss);
  if (reactive) {
    wakro::add_norton(kRlcTag, iss, f, 0.0, -ic);
    wakro::add_norton(kRlcTag, iss, t, 0.0, ic);
    current += ic;
  }
  s(L::kCorrection) = ic;
}

void e_varrlc1_cfg(std::int32_t kind, std::int32_t iss, std::int32_t ibr, std::int32_t ibr2) {
  using namespace branches;
  wakro_testbrn(kCfgTag, ibr, iss);
  source(ibr, iss) = true;
  set_flags(ibr, iss, false, false, false);
  const bool corrected = kind > kVarCapacitance;
  if (corrected) {
    wakro_testbrn(kCfgTag, ibr2, iss);
    defrdbr(ibr2, iss) = true;
    wakro::change_branch_conductance(kCfgTag, iss, ibr2, 0.0);
    wakro::clear_branch_companion(ibr2, iss);
  }
  // Kinds 0 to 2 have no companion branch (callers pass 0 for it): their record
  // names the variable branch itself, so that no record names branch 0.
  wakro::harm_branch_record(corrected ? ibr2 : ibr, iss);
}

void e_varrlc1_exe(std::int32_t kind, std::int32_t iss, std::int32_t ibr, std::int32_t ibr2,
                   double value, double emf) {
  namespace L = wakro::devices::layout::varrlc1;
  wakro::blocks::Slots<double> s = wakro::blocks::take_storf(L::kStorfSize);
  // A new value (or the time-zero pass) forms the companion; the step's EMF and
  // correction follow there as here.
  if (e_s1::timezero || !unchanged(s(L::kValue), value)) [[unlikely]] {
    varrlc1_change(iss, ibr, ibr2, kind, value, emf, s);
    return;
  }
  const bool corrected = kind == kVarInductanceCorrected || kind == kVarCapacitanceCorrected;
  const double ic = kind == kVarInductanceCorrected ? s(L::kCorrection) : 0.0;
  branches::ebr(ibr, iss) = emf;
  if (corrected) branches::ccbr(ibr2, iss) = ic;
  s(L::kCorrection) = ic;
}

namespace {

// The series companion of e_varimpbranch and e_varimpbranch2 with its
// conductance: shares as network/companion.h states them.
void write_series(std::string_view tag, std::int32_t br, std::int32_t ss, double rl, double reff,
                  double rc, double g) {
  apply_conductance(tag, br, ss, g);
  wakro::set_series_shares(br, ss, rl, reff, rc, g);
}

// Part values in force: a part whose flag is 0 counts as 0.
struct ImpedanceInput {
  bool use_r, use_l, use_c;
  double r, l, c;
};

}  // namespace

void e_varimpbranch(std::int32_t ibr, std::int32_t iss, std::int32_t use_r, std::int32_t use_l,
                    std::int32_t use_c, double r, double l, double c_uf) {
  using namespace branches;
  namespace L = wakro::devices::layout::varimpbranch;
  wakro::blocks::Slots<double> s = wakro::blocks::take_storf(L::kStorfSize);
  // Step 1: the inputs in force. A part switched off counts as 0, so switching it
  // off is a change like any other.
  const double rin = use_r != 0 ? std::max(r, 0.0) : 0.0;
  const double lin = use_l != 0 ? std::max(l, 0.0) : 0.0;
  const double cin = use_c != 0 ? std::max(c_uf, 0.0) : 0.0;
  const bool tz = e_s1::timezero;
  const bool dr = tz || !unchanged(s(L::kR), rin);
  const bool dl = tz || !unchanged(s(L::kL), lin);
  const bool dc = tz || !unchanged(s(L::kC), cin);
  if (!(dr || dl || dc)) return;
  wakro_testbrn(kImpTag, ibr, iss);
  if (tz) set_flags(ibr, iss, false, false, false);
  const double dt = e_s1::delt;
  // Step 2: the capacitive and the inductive part.
  if (dc) {
    const bool has = cin > kNoValue;
    const double rc = has ? wakro::capacitive_resistance(cin, dt) : 0.0;
    capacitr(ibr, iss) = has;
    g2c(ibr, iss) = has ? wakro::part_conductance(rc) : 0.0;
    if (has) harmimp::branch_c(ibr, iss) = 1.0e-6 * cin;
    s(L::kRc) = rc;
  }
  if (dl) {
    const bool has = lin > kNoValue;
    const double rl = has ? wakro::inductive_resistance(lin, dt) : 0.0;
    inductor(ibr, iss) = has;
    g2l(ibr, iss) = has ? wakro::part_conductance(rl) : 0.0;
    if (has) harmimp::branch_l(ibr, iss) = lin;
    s(L::kRl) = rl;
  }
  // Step 3: the resistive part.
  if (dr) {
    const bool has = rin > 0.0;
    resistor(ibr, iss) = has;
    harmimp::branch_r(ibr, iss) = has ? rin : kShortResistance;
    s(L::kReff) = has ? rin : 0.0;
  }
  double reff = s(L::kReff);
  // Step 4: a resistance below the ideal limit: ideal alone, dropped in series.
  bool is_ideal = false;
  if (resistor(ibr, iss) && reff < threshold_ideal(iss)) {
    is_ideal = !inductor(ibr, iss) && !capacitr(ibr, iss);
    if (is_ideal) e_s0::idealss(iss) = true;
    reff = 0.0;
  }
  idealbr(ibr, iss) = is_ideal;
  // Step 5: the series conductance and shares.
  const double rc = s(L::kRc), rl = s(L::kRl);
  const double g = is_ideal ? 0.0 : wakro::series_conductance(rl + reff + rc);
  write_series(kImpTag, ibr, iss, rl, reff, rc, g);
  s(L::kR) = rin;
  s(L::kL) = lin;
  s(L::kC) = cin;
}

void e_varimpbranch2(std::int32_t ibr, std::int32_t iss, std::int32_t use_r, std::int32_t use_l,
                     std::int32_t use_c, double r, double l, double c_uf) {
  using namespace branches;
  namespace L = wakro::devices::layout::varimpbranch;
  wakro::blocks::Slots<double> s = wakro::blocks::take_storf(L::kStorfSize);
  const ImpedanceInput in{use_r != 0, use_l != 0, use_c != 0, r, l, c_uf};
  // Step 1: the change test on the raw inputs of the selected parts.
  const bool tz = e_s1::timezero;
  const bool changed = tz || (in.use_r && !unchanged(s(L::kR), in.r)) ||
                       (in.use_l && !unchanged(s(L::kL), in.l)) || (in.use_c && !unchanged(s(L::kC), in.c));
  if (!changed) return;
  wakro_testbrn(kImp2Tag, ibr, iss);
  set_flags(ibr, iss, false, false, false);
  idealbr(ibr, iss) = false;
  const double dt = e_s1::delt;
  // Step 2: no part, or a vanishing selected capacitance: an open branch.
  const bool no_part = !in.use_r && !in.use_l && !in.use_c;
  if (no_part || (in.use_c && in.c <= kNoValue)) {
    resistor(ibr, iss) = true;
    harmimp::branch_r(ibr, iss) = kOpenResistance;
    if (!no_part) g2c(ibr, iss) = 0.0;
    write_series(kImp2Tag, ibr, iss, 0.0, kOpenResistance, 0.0, 1.0 / kOpenResistance);
    s(L::kR) = no_part ? kOpenResistance : 0.0;
    s(L::kL) = 0.0;
    s(L::kC) = 0.0;
    return;
  }
  // Step 3: the capacitive and the inductive part.
  double rc = 0.0, rl = 0.0, reff = 0.0;
  if (in.use_c) {
    rc = wakro::capacitive_resistance(in.c, dt);
    capacitr(ibr, iss) = true;
    g2c(ibr, iss) = wakro::part_conductance(rc);
    harmimp::branch_c(ibr, iss) = 1.0e-6 * in.c;
  }
  const bool has_l = in.use_l && in.l > kNoValue;
  bool is_ideal = in.use_l && !has_l && !in.use_c && !in.use_r;
  if (has_l) {
    rl = wakro::inductive_resistance(in.l, dt);
    inductor(ibr, iss) = true;
    g2l(ibr, iss) = wakro::part_conductance(rl);
    harmimp::branch_l(ibr, iss) = in.l;
  }
  // Step 4: the resistive part; below the ideal limit ideal alone, else dropped.
  if (in.use_r) {
    if (in.r < threshold_ideal(iss)) {
      is_ideal = !has_l && !in.use_c;
    } else {
      resistor(ibr, iss) = true;
      harmimp::branch_r(ibr, iss) = in.r;
      reff = in.r;
    }
  }
  if (is_ideal) {
    idealbr(ibr, iss) = true;
    e_s0::idealss(iss) = true;
  }
  // Step 5: conductance, shares and the values applied.
  const double g = is_ideal ? 0.0 : wakro::series_conductance(rc + reff + rl);
  write_series(kImp2Tag, ibr, iss, rl, reff, rc, g);
  s(L::kR) = reff;
  s(L::kL) = has_l ? in.l : 0.0;
  s(L::kC) = in.use_c ? in.c : 0.0;
}
