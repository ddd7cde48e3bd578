// Load and filter set-up from ratings.
#include "devices/loads.h"

#include <cmath>
#include <string_view>

#include "blocks/conventions.h"
#include "devices/branch_cfg.h"
#include "devices/device_support.h"
#include "model/constants.h"

namespace {

using wakro::kTwoPi;
using wakro::kThird;
using wakro::kTiny;
// Smallest usable filter ratings (a value at its limit passes).
constexpr double kMinQf = 1.0e-5;
constexpr double kMinQ = 1.0e-4;
constexpr double kMinV = 0.01;
constexpr double kMinF = 0.01;
constexpr double kMinH = 1.01;

enum class Part { resistive, inductive, capacitive };

// The load's flag K: a rating of a delta-connected load whenever it is set
// (any value but 0), not only when it is 1.
bool delta(std::int32_t k) { return wakro::blocks::flag_set(k); }

// The three branches with one part of value x (or no part when !valid).
void three_branches(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, Part part,
                    bool valid, double x) {
  const bool lr = valid && part == Part::resistive;
  const bool ll = valid && part == Part::inductive;
  const bool lc = valid && part == Part::capacitive;
  const double r = part == Part::resistive ? x : 0.0;
  const double l = part == Part::inductive ? x : 0.0;
  const double c = part == Part::capacitive ? x : 0.0;
  for (const std::int32_t b : {b1, b2, b3}) e_branch_cfg(b, iss, lr, ll, lc, r, l, c);
}

struct Tuned {
  double r, l, c;
};

// C_F from the reactive power at the fundamental; L tunes it to f2.
Tuned tuned(double qf, double f1, double f2, double q, double v, bool band_pass) {
  const double w1 = kTwoPi * f1;
  const double w2 = kTwoPi * f2;
  const double cf = std::abs(q) / (v * v * w1);
  const double l = 1.0 / (w2 * w2 * cf);
  const double r = band_pass ? w2 * l * qf : w2 * l / qf;
  return {r, l, cf * 1.0e6};
}

bool filter_ok(double qf, double f1, double f2_or_h, double f2_limit, double q, double v) {
  return qf >= kMinQf && std::abs(q) >= kMinQ && v >= kMinV && f1 >= kMinF && f2_or_h >= f2_limit;
}

}  // namespace

void resload_cfg(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, std::int32_t k,
                 double p, double v) {
  const bool valid = p > kTiny && v > kTiny;
  double r = 1.0;
  if (valid) {
    r = v * v / std::abs(p);
    if (delta(k)) r *= 3.0;
  } else {
    wakro::devices::device_warn("Resistive load disabled due to unrealistic data");
  }
  three_branches(iss, b1, b2, b3, Part::resistive, valid, r);
}

void indload_cfg(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, std::int32_t k,
                 double q, double v, double f) {
  const bool valid = std::abs(q) > kTiny && f > kTiny && v > kTiny;
  double l = 1.0;
  if (valid) {
    l = v * v / (std::abs(q) * kTwoPi * f);
    if (delta(k)) l *= 3.0;
  } else {
    wakro::devices::device_warn("Reactive load disabled due to unrealistic load or frequency");
  }
  three_branches(iss, b1, b2, b3, Part::inductive, valid, l);
}

void capload_cfg(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, std::int32_t k,
                 double q, double v, double f) {
  const bool valid = v > kTiny && f > kTiny && std::abs(q) > kTiny;
  double c = 1.0;
  if (valid) {
    c = std::abs(q) * 1.0e6 / (kTwoPi * f * v * v);
    if (delta(k)) c *= kThird;
  } else {
    wakro::devices::device_warn("Capacitive load disabled due to unrealistic voltage or frequency");
  }
  three_branches(iss, b1, b2, b3, Part::capacitive, valid, c);
}

void tunedfilter1_cfg(double qf, double f1, double f2, double q, double v, double& r, double& l,
                      double& c) {
  if (!filter_ok(qf, f1, f2, kMinF, q, v)) {
    wakro::devices::device_fatal("TUNED_FILTER", "Unrealistic specifications in Tuned Filter");
  }
  const Tuned t = tuned(qf, f1, f2, q, v, false);
  r = t.r;
  l = t.l;
  c = t.c;
}

void bandpassfilter1_cfg(double qf, double f1, double f2, double q, double v, double& r, double& l,
                         double& c) {
  if (!filter_ok(qf, f1, f2, kMinF, q, v)) {
    wakro::devices::device_fatal("BPASS_FILTER", "Unrealistic specifications in Band Pass Filter");
  }
  const Tuned t = tuned(qf, f1, f2, q, v, true);
  r = t.r;
  l = t.l;
  c = t.c;
}

void ctypefilter1_cfg(double qf, double f1, double h, double q, double v, double& r, double& l,
                      double& c2, double& c1) {
  if (!filter_ok(qf, f1, h, kMinH, q, v)) {
    wakro::devices::device_fatal("CTYPE_FILTER", "Unrealistic specifications in C-Type Filter");
  }
  const double w1 = kTwoPi * f1;
  const double x = v * v / std::abs(q);
  c1 = 1.0e6 / (x * w1);
  l = x / (w1 * (h * h - 1.0));
  c2 = (h * h - 1.0) * c1;
  r = qf * x / h;
}
