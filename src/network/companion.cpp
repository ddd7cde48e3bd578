// The trapezoidal companion of a series R-L-C branch and its set-up entry.
//
// The expressions are kept in the order written in companion.h (the sums left to
// right, the products as written), so that every caller gets the same bits.
#include "network/companion.h"

#include <cmath>

#include "model/branches.h"
#include "network/solution.h"

namespace wakro {

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
  if (f != 0 && t != 0) filled(t, f) = filled(f, t) = true;
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
