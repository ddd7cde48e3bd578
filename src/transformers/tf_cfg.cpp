// The nameplate configuration routines (see tf_cfg.h).
//
// Every member reduces its nameplate to one Windings record: N windings with
// rated voltages v, resistances r and pair reactances x(i, j), i < j, in pu on
// the base of winding i. From it:
//   kind 1 (form 1), two windings:   Gamma = y [[1, -t], [-t, t^2]],
//            y = w / (x12 Zb1), t = V1 / V2;
//   kind 1, three windings: the star of the pair reactances referred to
//            winding 1, l1 = (x12 + x13 - x23) Zb1 / 2w, ... , and
//            Gamma(i, j) = +-(ti tj) (sum of the other two l) / D or -tk l / D,
//            D = l1 l3 + l2 l3 + l1 l2;
//   kind 2: Li = Vi / (Ii a), a = 0.01 Im w, and
//            Mij = sqrt(Li Lj) (1 - x(i, j) Zbi / (2 w Li)),
// with Ii = S / Vi, Zbi = Vi / Ii and w = 2 pi f. The record holds, for i <= j,
// tfdata(2i - 1, j) = r(j) on the diagonal (0 off it) and tfdata(2i, j) =
// Gamma(i, j) or L(i, j).
#include "transformers/tf_cfg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string_view>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/rt_config.h"
#include "model/e_warn.h"
#include "transformers/cfg_checks.h"
#include "transformers/ideal_windings.h"
#include "transformers/settfparm.h"

namespace {

using wakro::kTwoPi;
constexpr double kSmallest = 1e-32;  // the least rating, voltage or reactance accepted
constexpr int kMaxWindings = 4;
constexpr double kStarCancellation = 1e-12;  // relative size of a star denominator taken as zero

using namespace wakro::nameplate_text;
constexpr std::string_view kHvText = "Voltage rating at HV side is too small";
constexpr std::string_view kLvText = "Voltage rating at LV side is too small";
constexpr std::string_view kLossText =
    "Unrealistic Copper losses, maximum loss between any two windings cannot be more than the half "
    "of the sum of total losses.";

// The checks of one call (cfg_checks.h).
using Checks = wakro::CfgChecks;

// A value that passes a lower limit (a NaN does not).
bool at_least(double v, double limit) { return v >= limit; }

struct Windings {
  int n = 0;
  double s = 0.0, omega = 0.0, im = 0.0;
  std::array<double, kMaxWindings> v{}, r{};
  std::array<std::array<double, kMaxWindings>, kMaxWindings> x{};  // x[i][j], i < j, 0-based

  double current(int i) const { return s / v[static_cast<std::size_t>(i)]; }
  double base(int i) const { return v[static_cast<std::size_t>(i)] / current(i); }
  double pair(int i, int j) const { return x[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; }
};

// The common checks: rating, frequency, voltages, pair reactances, and the
// magnetising current where the magnetising inductance is used.
void common_checks(Checks& c, const Windings& w, double f, bool magnetising) {
  c.require(at_least(w.s, kSmallest), kMvaText);
  bool volts = true;
  for (int i = 0; i < w.n; ++i) volts = volts && at_least(w.v[static_cast<std::size_t>(i)], kSmallest);
  c.require(volts, kVoltageText);
  bool leak = true;
  for (int i = 0; i < w.n; ++i)
    for (int j = i + 1; j < w.n; ++j) leak = leak && at_least(w.pair(i, j), kSmallest);
  c.require(leak, kLeakageText);
  c.require(f > 0.0, kFrequencyText);
  if (magnetising) c.require(w.im > 0.0, kMagnetisingText);
}

void put(int i, int j, double resistance, double value) {  // 1-based, i <= j
  rt_config::tfdata(2 * i - 1, j) = resistance;
  rt_config::tfdata(2 * i, j) = value;
}

// Kind 2: self and mutual inductances with the magnetising branch.
void inductance_record(const Windings& w) {
  const double a = 0.01 * w.im * w.omega;
  std::array<double, kMaxWindings> l{};
  for (int i = 0; i < w.n; ++i) l[static_cast<std::size_t>(i)] = w.v[static_cast<std::size_t>(i)] / (w.current(i) * a);
  for (int j = 0; j < w.n; ++j) {
    for (int i = 0; i < j; ++i) {
      const double li = l[static_cast<std::size_t>(i)];
      const double m = std::sqrt(li * l[static_cast<std::size_t>(j)]) *
                       (1.0 - w.pair(i, j) * w.base(i) / (2.0 * w.omega * li));
      put(i + 1, j + 1, 0.0, m);
    }
    put(j + 1, j + 1, w.r[static_cast<std::size_t>(j)], l[static_cast<std::size_t>(j)]);
  }
}

// Kind 1, two windings: the leakage inverse inductance referred to winding 1.
void gamma_record_2(const Windings& w) {
  const double t = w.v[0] / w.v[1];
  const double y = w.omega / (w.pair(0, 1) * w.base(0));
  put(1, 1, w.r[0], y);
  put(1, 2, 0.0, -t * y);
  put(2, 2, w.r[1], t * t * y);
}

// Kind 1, three windings: the star equivalent; a zero denominator (within the
// rounding of its products) is refused.
void gamma_record_3(Checks& c, const Windings& w) {
  const double k = 0.5 * w.base(0) / w.omega;
  const double x12 = w.pair(0, 1), x13 = w.pair(0, 2), x23 = w.pair(1, 2);
  const double l1 = (x12 + x13 - x23) * k, l2 = (x12 - x13 + x23) * k, l3 = (x13 - x12 + x23) * k;
  const double d = l1 * l3 + l2 * l3 + l1 * l2;
  // A denominator lost in the rounding of its three products is a zero one.
  const double scale = std::abs(l1 * l3) + std::abs(l2 * l3) + std::abs(l1 * l2);
  c.require(std::abs(d) > kStarCancellation * scale && std::isfinite(d), kLeakageText);
  c.finish();
  const double t2 = w.v[0] / w.v[1], t3 = w.v[0] / w.v[2];
  put(1, 1, w.r[0], (l2 + l3) / d);
  put(1, 2, 0.0, -t2 * l3 / d);
  put(2, 2, w.r[1], t2 * t2 * (l1 + l3) / d);
  put(1, 3, 0.0, -t3 * l2 / d);
  put(2, 3, 0.0, -t2 * t3 * l1 / d);
  put(3, 3, w.r[2], t3 * t3 * (l1 + l2) / d);
}

// Kind 1, any number of windings: the ideal coupling of idealymatrix; a
// singular reactance matrix is refused.
void gamma_record_n(Checks& c, const Windings& w) {
  std::array<double, kMaxWindings * (kMaxWindings - 1) / 2> x{};
  std::array<double, kMaxWindings * kMaxWindings> y{};
  for (int j = 1; j < w.n; ++j)
    for (int i = 0; i < j; ++i) x[static_cast<std::size_t>(j * (j - 1) / 2 + i)] = w.pair(i, j);
  const std::span<const double> v(w.v.data(), static_cast<std::size_t>(w.n));
  c.require(idealymatrix(w.n, w.omega / kTwoPi, w.s, x, v, y), kLeakageText);
  c.finish();
  for (int j = 0; j < w.n; ++j)
    for (int i = 0; i <= j; ++i)
      put(i + 1, j + 1, i == j ? w.r[static_cast<std::size_t>(j)] : 0.0,
          y[static_cast<std::size_t>(j * w.n + i)]);
}

// Writes the record of the checked windings and forms transformer k, once k is
// known to be a transformer read with as many windings.
void hand_over(Checks& c, std::int32_t k, std::int32_t form, const Windings& w) {
  const bool ideal = form == 1;
  const std::int32_t kind = ideal ? wakro::kTfInverseInductance : wakro::kTfInductance;
  wakro::check_tf_handover(k, kind, c.tag(), w.n);
  if (!ideal) {
    inductance_record(w);
  } else if (w.n == 2) {
    gamma_record_2(w);
  } else if (w.n == 3) {
    gamma_record_3(c, w);
  } else {
    gamma_record_n(c, w);
  }
  wakro_settfparm(k, kind, c.tag(), w.n);
}

Windings nameplate(int n, double s, double f, double im) {
  Windings w;
  w.n = n;
  w.s = s;
  w.omega = kTwoPi * f;
  w.im = im;
  return w;
}

// Equal shares of the loss power p to each winding: r = p / I^2.
void equal_losses(Windings& w, double share) {
  for (int i = 0; i < w.n; ++i) {
    const double c = w.current(i);
    w.r[static_cast<std::size_t>(i)] = share / (c * c);
  }
}

}  // namespace

void e_tf2w_cfg(std::int32_t k, std::int32_t form, double s, double f, double x, double pcu,
                double v1, double v2, double im) {
  Checks c("TF_2WDG     ", false);
  Windings w = nameplate(2, s, f, im);
  w.v = {v1, v2};
  w.x[0][1] = x;
  common_checks(c, w, f, form != 1);
  c.finish();
  if (pcu > 0.0) equal_losses(w, 0.5 * pcu * s);
  hand_over(c, k, form, w);
}

void e_tf2wa_cfg(std::int32_t k, std::int32_t form, double s, double f, double x, double pcu,
                 double vh, double vl, double im) {
  Checks c("AUTO_TF_2WDG", false);
  c.require(vh >= 1.02 * vl, kHvText);
  c.require(vh <= 51.0 * vl, kLvText);
  Windings terminals = nameplate(2, s, f, im);
  terminals.v = {vh, vl};
  terminals.x[0][1] = x;
  common_checks(c, terminals, f, form != 1);
  c.finish();
  // The series winding (VH - VL) and the common winding (VL); the leakage and
  // the loss referred to the series winding's base.
  const double d = vh - vl;
  const double refer = vh * vh / (d * d);
  Windings w = nameplate(2, s, f, im);
  w.v = {d, vl};
  w.x[0][1] = x * refer;
  if (pcu > 0.0) equal_losses(w, 0.5 * pcu * s * refer);
  hand_over(c, k, form, w);
}

void e_tf3w_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                double x23, double pcu, double v1, double v2, double v3, double im) {
  Checks c("TF_3WDG     ", false);
  Windings w = nameplate(3, s, f, im);
  w.v = {v1, v2, v3};
  w.x[0][1] = x12;
  w.x[0][2] = x13;
  w.x[1][2] = x23;
  common_checks(c, w, f, form != 1);
  c.finish();
  if (pcu > 0.0) equal_losses(w, wakro::kThird * pcu * s);
  hand_over(c, k, form, w);
}

void e_tf3w2_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                 double x23, double p12, double p13, double p23, double v1, double v2, double v3,
                 double im) {
  Checks c("TF_3WDG     ", false);
  Windings w = nameplate(3, s, f, im);
  w.v = {v1, v2, v3};
  w.x[0][1] = x12;
  w.x[0][2] = x13;
  w.x[1][2] = x23;
  common_checks(c, w, f, form != 1);
  const double pt = p12 + p13 + p23;
  c.require(!(std::max({p12, p13, p23}) > 0.5 * pt), kLossText);
  c.finish();
  if (p12 > 0.0 || p13 > 0.0) w.r[0] = (pt - 2.0 * p23) * 0.5 * w.base(0);
  if (p12 > 0.0 || p23 > 0.0) w.r[1] = (pt - 2.0 * p13) * 0.5 * w.base(1);
  if (p13 > 0.0 || p23 > 0.0) w.r[2] = (pt - 2.0 * p12) * 0.5 * w.base(2);
  hand_over(c, k, form, w);
}

void e_tf3wa_cfg(std::int32_t k, std::int32_t form, double s, double f, double xhl, double xht,
                 double xlt, double /*pcu: the windings of this unit carry no resistance*/,
                 double vh, double vl, double vt, double im) {
  Checks c("AUTO_TF_3WDG", false);
  c.require(vh >= 1.02 * vl, kHvText);
  c.require(vh <= 51.0 * vl, kLvText);
  Windings terminals = nameplate(3, s, f, im);
  terminals.v = {vh, vl, vt};
  terminals.x[0][1] = xhl;
  terminals.x[0][2] = xht;
  terminals.x[1][2] = xlt;
  common_checks(c, terminals, f, form != 1);
  c.finish();
  // Tertiary, series (VH - VL) and common (VL) windings.
  const double d = vh - vl;
  Windings w = nameplate(3, s, f, im);
  w.v = {vt, d, vl};
  w.x[0][1] = (vh * xht + xhl * vh * vl / d - xlt * vl) / d;
  w.x[0][2] = xlt;
  w.x[1][2] = xhl * vh * vh / (d * d);
  hand_over(c, k, form, w);
}

namespace {

// The four-winding nameplate common to e_tf4w_cfg, e_tf4w3_cfg and e_tf4w2_cfg.
Windings four_windings(double s, double f, double x12, double x13, double x14, double x23,
                       double x24, double x34, double v1, double v2, double v3, double v4, double im) {
  Windings w = nameplate(4, s, f, im);
  w.v = {v1, v2, v3, v4};
  w.x[0][1] = x12;
  w.x[0][2] = x13;
  w.x[0][3] = x14;
  w.x[1][2] = x23;
  w.x[1][3] = x24;
  w.x[2][3] = x34;
  return w;
}

}  // namespace

void e_tf4w_cfg(std::int32_t k, double s, double f, double x12, double x13, double x14, double x23,
                double x24, double x34, double pcu, double v1, double v2, double v3, double v4,
                double im) {
  Checks c("TF_4WDG     ", true);
  Windings w = four_windings(s, f, x12, x13, x14, x23, x24, x34, v1, v2, v3, v4, im);
  common_checks(c, w, f, true);
  if (pcu > 0.0) equal_losses(w, 0.25 * pcu * s);
  hand_over(c, k, 2, w);
}

void e_tf4w3_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                 double x14, double x23, double x24, double x34, double p1, double p2, double p3,
                 double p4, double v1, double v2, double v3, double v4, double im) {
  Checks c("TF_4WDG     ", false);
  Windings w = four_windings(s, f, x12, x13, x14, x23, x24, x34, v1, v2, v3, v4, im);
  common_checks(c, w, f, form != 1);
  c.finish();
  const std::array<double, kMaxWindings> p{p1, p2, p3, p4};
  for (int i = 0; i < w.n; ++i) {
    const double ci = w.current(i);
    if (p[static_cast<std::size_t>(i)] > 0.0) w.r[static_cast<std::size_t>(i)] = p[static_cast<std::size_t>(i)] * s / (ci * ci);
  }
  hand_over(c, k, form, w);
}

void e_tf4w2_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                 double x14, double x23, double x24, double x34, double pcu, double v1, double v2,
                 double v3, double v4, double im) {
  Checks c("TF_4WDG     ", false);
  Windings w = four_windings(s, f, x12, x13, x14, x23, x24, x34, v1, v2, v3, v4, im);
  common_checks(c, w, f, form != 1);
  c.finish();
  if (pcu > 0.0) equal_losses(w, 0.25 * pcu * s);
  hand_over(c, k, form, w);
}
