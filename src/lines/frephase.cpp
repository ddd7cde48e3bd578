// frephase_setup: the frequency-dependent line in phase coordinates (FRE-PHASE).
//
// Reads the fitted data of one line (after its model line and option lines):
// the characteristic admittance Yc, column by column (poles, each followed by
// its residues by row), its constant term D; the delay groups (travel times in
// seconds) and the propagation function H of each group (poles, then residues
// by group, column, row and pole). Every pole is stored negated, a = -(re + j im).
//
// A pole with |a| >= kFastPole is folded into the constant term, Re(R/a) into D
// or into the group's constant matrix gh, and takes no recursive convolution;
// the remaining (slow) poles and their residues are compacted together in
// reading order. Per slow pole, with E = exp(-a dt) and lambda, mu of
// convolution.h:
//   Yc: alfayc = E, gyc = D + sum Re(lambda R), ycserc = (E lambda + mu) R;
//   H:  a delay of tauj + e steps (tauj whole); for 0.01 < e < 0.99 two
//       exponentials over e dt and (1 - e) dt, else one over dt; alfah, betah,
//       gammah, hserc = R, gh += Re(lambda R) (lambda of the later part).
// Leaves dm = gyc in e_s7::dm, the line's pooled entries (ycserc after npnt2,
// gh after npnt4, hserc after npnt1) and its ring pointers (ppek 0, pek2 2).
// A count beyond its dimension, a conductor count other than the line's, an
// unstable, repeated or zero pole are invalid data lines (message 37).
#include <algorithm>
#include <cmath>
#include <string>

#include "diag/quit.h"
#include "files/listread.h"
#include "lines/convolution.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7ph.h"
#include "model/e_tlint.h"
#include "model/fnames.h"
#include "model/ndde.h"

namespace wakro::lines {
namespace {

constexpr double kFastPole = 1.0e15;  // poles at least this fast are folded into constants
constexpr double kLowSplit = 0.01;    // fractions of a step within (kLowSplit, kHighSplit)
constexpr double kHighSplit = 0.99;   //   take the two-exponential H coefficients

void skip_text(const LineSetup& s) {
  FixedText<72> text;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {text}), s);
}

double real_item(const LineSetup& s) {
  double v = 0.0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {v}), s);
  if (!std::isfinite(v)) read_error(s);
  return v;
}

cplx complex_item(const LineSetup& s) {
  const double re = real_item(s);
  const double im = real_item(s);
  return {re, im};
}

// A count read from the file, refused beyond its dimension.
std::int32_t count_item(const LineSetup& s, std::int32_t limit) {
  std::int32_t v = 0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {v}), s);
  if (v < 0 || v > limit) read_error(s);
  return v;
}

bool fast(cplx a) { return std::abs(a) >= kFastPole; }

// Ring slots and propagation states of the phase lines before line p.
void pooled_before(std::int32_t p, std::int32_t& rings, std::int32_t& states) {
  rings = states = 0;
  for (std::int32_t q = 1; q < p; ++q) {
    const std::int32_t n = e_s7ph::modeph(q);
    rings += n * (e_s7ph::maxtauj(q) + 1);
    for (std::int32_t g = 1; g <= e_s7ph::ng(q); ++g) states += e_s7ph::nh(g, q) * n;
  }
}

// Step 1: the characteristic admittance. Slow poles and their residues are
// compacted in reading order; the fast ones fold into D once it is read.
void admittance(const LineSetup& s, std::int32_t p, std::int32_t n) {
  using e_tlint::yckladd;
  using e_tlint::ycsera;
  using e_tlint::ycserd;
  for (std::int32_t c = 1; c <= n; ++c)
    for (std::int32_t r = 1; r <= n; ++r) e_s7::dn(r, c) = 0.0;  // folded fast poles
  for (std::int32_t c = 1; c <= n; ++c) {
    const std::int32_t nc = count_item(s, ndde::nd49);
    std::int32_t slow = 0;
    for (std::int32_t q = 1; q <= nc; ++q) {
      const cplx a = -complex_item(s);
      if (fast(a)) {
        for (std::int32_t r = 1; r <= n; ++r) e_s7::dn(r, c) += (complex_item(s) / a).real();
        continue;
      }
      for (std::int32_t k = 1; k <= slow; ++k)
        if (ycsera(c, k) == a) read_error(s);
      if (!(a.real() > 0.0)) read_error(s);
      ycsera(c, ++slow) = a;
      for (std::int32_t r = 1; r <= n; ++r) yckladd(r, c, slow) = complex_item(s);
    }
    e_s7ph::nyc(c, p) = slow;
  }
  for (std::int32_t c = 1; c <= n; ++c)
    for (std::int32_t r = 1; r <= n; ++r) ycserd(r, c) = real_item(s) + e_s7::dn(r, c);

  // Coefficients: gyc = D + sum Re(lambda R); ycserc = (E lambda + mu) R in the
  // order column, row, pole.
  std::int32_t used = e_s7ph::npnt2;
  for (std::int32_t c = 1; c <= n; ++c) used += e_s7ph::nyc(c, p) * n;
  if (used > e_s7ph::ycserc.extent(1)) read_error(s);
  for (std::int32_t c = 1; c <= n; ++c) {
    const std::int32_t nc = e_s7ph::nyc(c, p);
    for (std::int32_t q = 1; q <= nc; ++q) {
      const PoleStep k = pole_step(ycsera(c, q), e_s1::delt);
      e_s7ph::alfayc(q, c, p) = k.E;
      e_tlint::lambyc(c, q) = k.lambda;
      e_tlint::muyc(c, q) = k.mu;
      e_s7ph::xyck(q, c, p) = e_s7ph::xycm(q, c, p) = cplx(0.0, 0.0);
    }
    for (std::int32_t r = 1; r <= n; ++r) {
      double g = ycserd(r, c);
      for (std::int32_t q = 1; q <= nc; ++q) {
        const cplx R = yckladd(r, c, q);
        g += (e_tlint::lambyc(c, q) * R).real();
        e_s7ph::ycserc(++e_s7ph::npnt2) =
            (e_s7ph::alfayc(q, c, p) * e_tlint::lambyc(c, q) + e_tlint::muyc(c, q)) * R;
      }
      e_s7ph::gyc(r, c, p) = g;
      e_s7::dm(r, c) = g;
    }
  }
}

// Step 2: the delay of each group in whole steps and a fraction.
void delays(const LineSetup& s, std::int32_t p, std::int32_t ng, const LineOptions& options) {
  std::int32_t longest = 0;
  for (std::int32_t g = 1; g <= ng; ++g) {
    double x = e_tlint::tau(g) / e_s1::delt;
    if (!convertible_steps(x) || x < 0.0) read_error(s);
    if (options.inflength) {
      x = 1.0;
    } else if (x < 1.0) {
      short_travel_time(e_tlint::tau(g) * 1.0e6, s);
      x = 1.0;
    }
    e_s7ph::tauj(p, g) = wave_slots(x, options);
    e_s7ph::epsarr(p, g) = wave_fraction(x, options);
    e_s7ph::pek2(g, p) = 2;
    longest = std::max(longest, e_s7ph::tauj(p, g));
  }
  e_s7ph::ppek(p) = 0;
  e_s7ph::maxtauj(p) = longest;
}

// Step 3: the propagation function of each group: its poles, then every
// residue; fast poles fold into the group's gh, slow ones are compacted, in
// reading order, with their residues.
void propagation(const LineSetup& s, std::int32_t p, std::int32_t n, std::int32_t ng) {
  using e_tlint::hsera;
  // The poles as read; nh holds the count read until the slow ones are known.
  for (std::int32_t g = 1; g <= ng; ++g) {
    const std::int32_t np = count_item(s, ndde::nd49);
    e_s7ph::nh(g, p) = np;
    for (std::int32_t q = 1; q <= np; ++q) hsera(g, q) = -complex_item(s);
  }
  skip_text(s);

  // The pooled space the line takes must lie inside what the pass counted.
  std::int32_t rings = 0, states = 0;
  pooled_before(p, rings, states);
  std::int64_t residues = e_s7ph::npnt1;
  for (std::int32_t g = 1; g <= ng; ++g) {
    std::int32_t slow = 0;
    for (std::int32_t q = 1; q <= e_s7ph::nh(g, p); ++q)
      if (!fast(hsera(g, q))) {
        if (!(hsera(g, q).real() > 0.0)) read_error(s);
        for (std::int32_t k = 1; k < q; ++k)
          if (hsera(g, k) == hsera(g, q)) read_error(s);
        ++slow;
      }
    residues += static_cast<std::int64_t>(slow) * n * n;
    states += slow * n;
  }
  if (e_s7ph::npnt4 + ng * n * n > e_s7ph::gh.extent(1) || residues > e_s7ph::hserc.extent(1) ||
      states > e_s7ph::xhk.extent(1) || rings + n * (e_s7ph::maxtauj(p) + 1) > e_s7ph::ikr.extent(1))
    read_error(s);

  for (std::int32_t g = 1; g <= ng; ++g) {
    const std::int32_t np = e_s7ph::nh(g, p);
    const double e = e_s7ph::epsarr(p, g);
    const bool split = e > kLowSplit && e < kHighSplit;
    // Weights of the slow poles, compacted.
    std::int32_t slow = 0;
    for (std::int32_t q = 1; q <= np; ++q) {
      const cplx a = hsera(g, q);
      if (fast(a)) continue;
      ++slow;
      if (split) {
        const PoleStep k1 = pole_step(a, e * e_s1::delt);
        const PoleStep k2 = pole_step(a, (1.0 - e) * e_s1::delt);
        e_s7ph::alfah(slow, g, p) = k1.E * k2.E;
        e_s7ph::betah(slow, g, p) = k2.mu + k2.E * k1.lambda;
        e_s7ph::gammah(slow, g, p) = k1.E * k2.E * k2.lambda + k2.E * k1.mu;
      } else {
        const PoleStep k = pole_step(a, e_s1::delt);
        e_s7ph::alfah(slow, g, p) = k.E;
        e_s7ph::betah(slow, g, p) = cplx(0.0, 0.0);
        e_s7ph::gammah(slow, g, p) = k.mu + k.E * k.lambda;
      }
    }
    // Residues by column, row, pole: hserc and the constant matrix gh.
    const std::int32_t gh0 = e_s7ph::npnt4;
    for (std::int32_t c = 1; c <= n; ++c)
      for (std::int32_t r = 1; r <= n; ++r) {
        double& gh = e_s7ph::gh(gh0 + (c - 1) * n + r);
        gh = 0.0;
        for (std::int32_t q = 1; q <= np; ++q) {
          const cplx R = complex_item(s);
          const cplx a = hsera(g, q);
          if (fast(a)) {
            gh += (R / a).real();
            continue;
          }
          const cplx lambda = split ? pole_step(a, (1.0 - e) * e_s1::delt).lambda
                                    : pole_step(a, e_s1::delt).lambda;
          gh += (lambda * R).real();
          e_s7ph::hserc(++e_s7ph::npnt1) = R;
        }
      }
    e_s7ph::npnt4 += n * n;
    e_s7ph::nh(g, p) = slow;
  }

  // The line's state starts from rest.
  for (std::int32_t k = rings + 1; k <= rings + n * (e_s7ph::maxtauj(p) + 1); ++k)
    e_s7ph::ikr(k) = e_s7ph::imr(k) = 0.0;
  std::int32_t first_state = 0;
  pooled_before(p, rings, first_state);
  for (std::int32_t k = first_state + 1; k <= states; ++k) e_s7ph::xhk(k) = e_s7ph::xhm(k) = cplx(0.0, 0.0);
  for (std::int32_t c = 1; c <= n; ++c) {
    e_s7ph::ihisk(c, p) = e_s7ph::ihism(c, p) = 0.0;
    e_s7ph::iki(c, p) = e_s7ph::imi(c, p) = 0.0;
    for (std::int32_t g = 1; g <= ng; ++g)
      e_s7ph::oldinterpk(c, g, p) = e_s7ph::oldinterpm(c, g, p) = 0.0;
  }
}

}  // namespace

void frephase_setup(LineSetup& s) {
  const std::int32_t p = s.l;
  // Step 0: options, the header texts and the conductor count.
  LineOptions options;
  check_read(read_options(fnames::iunit, options), s);
  e_s7ph::inflengthph(p) = options.inflength;
  skip_text(s);
  skip_text(s);
  std::int32_t n = 0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {n}), s);
  if (n != e_s7ph::modeph(p)) {
    conductor_count_block(s);
    read_error(s);
  }
  if (n > ndde::nd43) read_error(s);
  skip_text(s);

  // Step 1: the characteristic admittance.
  admittance(s, p, n);

  // Step 2: the delay groups.
  skip_text(s);
  skip_text(s);
  const std::int32_t ng = count_item(s, ndde::nd43);
  e_s7ph::ng(p) = ng;
  skip_text(s);
  for (std::int32_t g = 1; g <= ng; ++g) e_tlint::tau(g) = real_item(s);
  skip_text(s);
  delays(s, p, ng, options);

  // Step 3: the propagation function.
  propagation(s, p, n, ng);
}

}  // namespace wakro::lines
