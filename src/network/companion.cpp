// The trapezoidal companion of a series R-L-C branch and its set-up entry.
//
// The expressions are kept in the order written in companion.h (the sums left to
// right, the products as written), so that every caller gets the same bits.
#include "network/companion.h"

#include <cmath>

#include <string_view>

#include "diag/message.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/harmimp.h"
#include "network/matrix.h"
#include "network/stamp_pattern.h"
#include "network/solution.h"

namespace wakro {

namespace {
// Kind of a registry record that names a branch of the branch arrays.
constexpr std::int32_t kBranchRecord = 9;
bool full_warned = false;
}  // namespace

Companion series_companion(double r, double l, double c_uf, bool has_l, bool has_c, double dt) {
  Companion k;
  k.r = r;
  if (has_l) k.xl = inductive_resistance(l, dt);
  if (has_c) k.xc = capacitive_resistance(c_uf, dt);
  k.z = r + k.xl + k.xc;
  k.g = series_conductance(k.z);
  return k;
}

void set_part_conductances(std::int32_t b, std::int32_t ss, const Companion& k) {
  branches::g2l(b, ss) = std::abs(k.xl) > kNoImpedance ? 1.0 / k.xl : 0.0;
  branches::g2c(b, ss) = std::abs(k.xc) > kNoImpedance ? 1.0 / k.xc : 0.0;
}

void set_branch_companion(std::int32_t b, std::int32_t ss, const Companion& k) {
  using namespace branches;
  const double g = k.g;
  geq(b, ss) = geqd(b, ss) = geqon(b, ss) = geqof(b, ss) = g;
  set_part_conductances(b, ss, k);
  rlg(b, ss) = g * k.xl;
  rcg(b, ss) = g * k.xc;
  rcl(b, ss) = k.xc * g * k.xl;
  rsc(b, ss) = (k.xc + k.r) * g * k.xl;
  rsl(b, ss) = (k.xl + k.r) * g * k.xc;
}

void set_series_shares(std::int32_t b, std::int32_t ss, double rl, double reff, double rc, double g) {
  using namespace branches;
  geqd(b, ss) = geqon(b, ss) = geqof(b, ss) = g;
  rlg(b, ss) = rl * g;
  rcg(b, ss) = rc * g;
  rcl(b, ss) = rc * rl * g;
  rsc(b, ss) = rl * g * (rc + reff);
  rsl(b, ss) = g * rc * (rl + reff);
}

void clear_branch_companion(std::int32_t b, std::int32_t ss) {
  using namespace branches;
  geqd(b, ss) = geqon(b, ss) = geqof(b, ss) = 0.0;
  rlg(b, ss) = rcg(b, ss) = rcl(b, ss) = rsc(b, ss) = rsl(b, ss) = 0.0;
}

void set_rc_shares(std::int32_t b, std::int32_t ss, double r, double rc, double g) {
  using namespace branches;
  g2c(b, ss) = part_conductance(rc);
  rcg(b, ss) = rc * g;
  rsl(b, ss) = rc * g * r;
}

void set_fixed_conductances(std::int32_t b, std::int32_t ss, double g) {
  using namespace branches;
  geqd(b, ss) = geqon(b, ss) = geqof(b, ss) = g;
}

void set_off_conductance(std::int32_t b, std::int32_t ss, double roff) {
  branches::geqof(b, ss) = part_conductance(roff);
}

void set_on_conductance(std::int32_t b, std::int32_t ss, double ron) {
  branches::geqon(b, ss) = part_conductance(ron);
}

void set_ideal_on(std::int32_t b, std::int32_t ss) { branches::geqon(b, ss) = 0.0; }

bool harm_record(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                 std::initializer_list<double> values) {
  if (harmimp::harm_append(type, ss, nodes, values)) return true;
  if (!full_warned) {
    full_warned = true;
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine,
               "Harmonic impedance registry full: further records are not kept");
  }
  return false;
}

bool harm_branch_record(std::int32_t br, std::int32_t ss) { return harm_record(kBranchRecord, ss, {br, 0}); }

void reset_harm_warning() { full_warned = false; }

void start_branch(std::int32_t b, std::int32_t ss, double i0, double e) {
  using namespace branches;
  ccl(b, ss) = ccld(b, ss) = ccc(b, ss) = cccd(b, ss) = ccbr(b, ss) = 0.0;
  cbr(b, ss) = i0;
  const double vb = vbranch(ss, b);
  v12l(b, ss) = rcl(b, ss) * ccc(b, ss) + vb * rlg(b, ss) - rsc(b, ss) * ccl(b, ss);
  v20l(b, ss) = rcl(b, ss) * ccl(b, ss) + vb * rcg(b, ss) - rsl(b, ss) * ccc(b, ss);
  ebr(b, ss) = ebron(b, ss) = ebrof(b, ss) = ebrd(b, ss) = e;
}

void mark_branch(const e_s0::FilledView& filled, std::int32_t f, std::int32_t t) {
  if (stamps_entry(f, t)) filled(t, f) = filled(f, t) = true;
}

void add_setup_conductance(const e_s0::GmView& gm, std::int32_t f, std::int32_t t, double g) {
  if (f == 0 || t == 0) {
    const std::int32_t n = f == 0 ? t : f;
    gm(n, n) += g;
  } else {
    gm(t, f) += g;
    gm(f, t) = gm(t, f);
  }
}

void stamp_branch(std::int32_t ss, std::int32_t f, std::int32_t t, double g) {
  e_s0::FilledView filled = e_s0::assign_filled_ptr(ss);
  e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
  mark_branch(filled, f, t);
  add_setup_conductance(gm, f, t, g);
}

}  // namespace wakro

namespace {
constexpr std::string_view kRcTag = "RCBRANCH";
constexpr std::string_view kIfTag = "INTFC_BRNCH1";
constexpr double kNoCapacitor = 1.0e-12;  // uF
}  // namespace

void rcbranch(std::int32_t iss, std::int32_t ibr, double r, double c_uf) {
  using namespace branches;
  if (!e_s1::timezero) return;
  wakro_testbrn(kRcTag, ibr, iss);
  if (r > 0.0) {
    double g = wakro::part_conductance(r);
    if (c_uf < kNoCapacitor) {
      capacitr(ibr, iss) = false;
    } else {
      const double rc = wakro::capacitive_resistance(c_uf, e_s1::delt);
      g = wakro::part_conductance(r + rc);
      wakro::set_rc_shares(ibr, iss, r, rc, g);
      capacitr(ibr, iss) = true;
      harmimp::branch_c(ibr, iss) = c_uf * 1.0e-6;
    }
    wakro::change_branch_conductance(kRcTag, iss, ibr, g);
    wakro::set_fixed_conductances(ibr, iss, g);
    resistor(ibr, iss) = true;
    inductor(ibr, iss) = false;
    harmimp::branch_r(ibr, iss) = r;
  } else {
    defrdbr(ibr, iss) = true;
    wakro::change_branch_conductance(kRcTag, iss, ibr, 0.0);
  }
  wakro::harm_branch_record(ibr, iss);
}

void intfc_brnch1_cfg(std::int32_t iss, std::int32_t ibr, double r) {
  using namespace branches;
  wakro_testbrn(kIfTag, ibr, iss);
  wakro::change_branch_conductance(kIfTag, iss, ibr, r > 0.0 ? wakro::part_conductance(r) : 0.0);
  resistor(ibr, iss) = true;
  harmimp::branch_r(ibr, iss) = 1.0;  // the registry sees a one-ohm branch
  defrdbr(ibr, iss) = true;
  wakro::harm_branch_record(ibr, iss);
}

void intfc_brnch1_exe(std::int32_t iss, std::int32_t ibr) {
  using namespace branches;
  const double j = ccbr(ibr, iss);
  const double g = geq(ibr, iss);
  ccbr(ibr, iss) = j - vbranch(iss, ibr) * g;
}
