// tldm34: the node-injection dynamic load (see injection_load.h).
//
// With G_Ls = dt / (2 Ls) and R_p = 1 / (G + G_sh), the internal node and the
// series current follow from the node voltage V and the histories I_hs, I_hsh:
//   v_i = (G_Ls V - (I_hsh - I_hs)) R_Ls R_p / (R_Ls + R_p)
//   i_s = G_t V + k (I_hsh - I_hs) + I_hs,  G_t = 1 / (R_Ls + R_p),
//                                          k = R_p / (R_Ls + R_p),
// which is the Norton equivalent injected at the node.
#include "devices/injection_load.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "network/companion.h"
#include "network/matrix.h"

namespace {

using wakro::blocks::Slots;

constexpr std::string_view kTag = "TLDM34";
constexpr double kPi = 3.141592653589793;
using wakro::kTwoPi;
constexpr double kSmall = 1.0e-4;         // smallest power and voltage that count
constexpr double kSeriesShare = 0.1;      // Xs as a share of the base impedance
constexpr double kNoSeries = 1.0e6;       // Xs without a power rating
constexpr double kNoResistance = 1.0e6;   // R without real power
constexpr double kOpenShunt = 1.0e8;      // reactance at f0 of an open shunt inductance
constexpr double kMinG = 1.0 / kNoResistance;  // G never falls below the set-up floor
constexpr double kVpuLow = 0.8;
constexpr double kVpuHigh = 1.25;
constexpr double kRefitStep = 0.01;       // per-unit voltage move that refits
constexpr double kSmoothingPerHz = 3000.0;
constexpr double kRmsPerMean = 1.1107207345395917;  // pi / (2 sqrt 2)
constexpr double kShortestPeriods = 0.75;
constexpr double kFirst = 1.0, kSeen = 2.0;  // first-crossing markers

// Slots of stor.
using namespace wakro::devices::layout::tldm34;

// R_p, G_t and the two share coefficients from G, G_sh and G_Ls.
void shares(const Slots<double>& s) {
  const double rp = 1.0 / (s(kG) + s(kGsh));
  s(kGt) = s(kGLs) / (1.0 + s(kGLs) * rp);
  s(kK) = s(kGt) * rp;
  s(kVcoef) = s(kK) / s(kGLs);
}

void set_up(const Slots<double>& s, std::int32_t node, std::int32_t ss, double p0, double q0,
            double vbase, double f0) {
  const double dt = e_s1::delt;
  const double w0 = kTwoPi * f0;
  // Step 1: series reactance, line current and internal voltage.
  const double sa = std::hypot(p0, q0);
  const double xs = sa >= kSmall ? kSeriesShare * vbase * vbase / sa : kNoSeries;
  const double ls = xs / w0;
  const double ia = sa / vbase;
  const double vi2 = std::pow(vbase - q0 * xs / vbase, 2) + std::pow(p0 * xs / vbase, 2);
  // Step 2: shunt resistance and shunt element.
  const double r = std::abs(p0) > kSmall ? vi2 / p0 : kNoResistance;
  const double qsh = q0 - ia * ia * xs;
  double shunt = 0.0;  // Lsh (H) or -C (F) for the registry
  if (qsh < -kSmall) {
    const double c = std::abs(1.0 / (w0 * (vi2 / qsh)));
    s(kMarker) = -1.0;
    s(kGsh) = wakro::capacitive_conductance_farad(c, dt);
    shunt = -c;
  } else {
    const double lsh = std::abs(qsh) <= kSmall ? kOpenShunt / w0 : (vi2 / qsh) / w0;
    s(kMarker) = 1.0;
    s(kGsh) = wakro::inductive_conductance(lsh, dt);
    shunt = lsh;
  }
  // Step 3: companions, limits, measurement constants and held values.
  s(kG) = 1.0 / r;
  s(kGLs) = wakro::inductive_conductance(ls, dt);
  shares(s);
  s(kVlow) = kVpuLow * vbase;
  s(kVhigh) = kVpuHigh * vbase;
  s(kA) = kSmoothingPerHz * dt / f0;
  s(kB) = 1.0 / (1.0 + s(kA));
  s(kXs) = xs;
  s(kShortest) = kShortestPeriods / f0;
  const double vi = std::sqrt(vi2);
  s(kVheld) = s(kVmax) = s(kVmin) = vi;
  s(kImax) = s(kImin) = s(kIheld) = ia;
  // The smoothed means of |V| and |i_s| start from nothing measured: they
  // follow the network from its first solution (a case that starts at rest
  // rises from zero), while the held values above stand for the rating.
  s(kVmean) = 0.0;
  s(kImean) = 0.0;
  s(kVprev) = e_s0::vdc(node, ss);
  s(kVpuQ) = s(kVpuP) = 1.0;
  s(kFirstFalling) = s(kFirstRising) = kFirst;
  s(kDf) = 0.0;
  // Step 4: the node as a Norton node, and the registry record.
  wakro::enable_norton(kTag, ss, node);
  wakro::harm_record(7, ss, {node, 0}, {r, shunt, ls});
}

// Step 1 of every step: a zero crossing of the node voltage gives, from the
// second one of the same direction on, the frequency deviation.
void frequency(const Slots<double>& s, double v, double f0) {
  const double vp = s(kVprev);
  if (v * vp > 0.0 || v == vp) return;
  const double dv = v - vp;
  const double tc = e_s1::time - (v / dv) * e_s1::delt;
  const std::int32_t last = dv > 0.0 ? kRising : kFalling;
  const std::int32_t marker = dv > 0.0 ? kFirstRising : kFirstFalling;
  if (s(marker) == kFirst) {
    s(last) = tc;
    s(marker) = kSeen;
    return;
  }
  const double period = tc - s(last);
  if (period > s(kShortest)) {
    s(last) = tc;
    s(kDf) = (1.0 / period - f0) / f0;
  }
}

bool crossed(double previous, double present) {
  return std::abs(previous + present) < std::abs(previous - present);
}

}  // namespace

void tldm34(std::int32_t node, std::int32_t iss, double p0, double q0, double vbase, double np,
            double nq, double kpf, double kqf, double f0) {
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  p0 = std::max(p0, 0.0);
  if (e_s1::timezero) {
    if (f0 <= 0.0) wakro::devices::device_fatal(kTag, "Rated frequency of the load must be positive.");
    if (vbase <= kSmall) wakro::devices::device_fatal(kTag, "Rated voltage of the load is too small.");
    set_up(s, node, iss, p0, q0, vbase, f0);
  }
  const double v = e_s0::vdc(node, iss);
  frequency(s, v, f0);
  s(kVprev) = v;
  s(kVnow) = v;
  // Histories from the last step, then the internal state.
  const double gsh = s(kGsh), gls = s(kGLs);
  const double ihsh = s(kMarker) > 0.0 ? s(kVi) * gsh + s(kIsh) : -s(kIsh) - s(kVi) * gsh;
  const double ihs = (v - s(kVi)) * gls + s(kIs);
  const double vi = (gls * v - (ihsh - ihs)) * s(kVcoef);
  const double ish = gsh * vi + ihsh;
  const double ir = s(kG) * vi;
  const double is = (v - vi) * gls + ihs;
  // RMS of the node voltage and the series current.
  s(kVmean) = (std::abs(v) * s(kA) + s(kVmean)) * s(kB);
  const double rv = s(kVmean) * kRmsPerMean;
  s(kVmax) = std::max(s(kVmax), rv);
  s(kVmin) = std::min(s(kVmin), rv);
  s(kImean) = (std::abs(is) * s(kA) + s(kImean)) * s(kB);
  const double ri = s(kImean) * kRmsPerMean;
  s(kImax) = std::max(s(kImax), ri);
  s(kImin) = std::min(s(kImin), ri);
  const double one_plus_p = kpf * s(kDf) + 1.0;
  const double one_plus_q = kqf * s(kDf) + 1.0;
  // The resistance, at a zero of its current.
  if (crossed(s(kIr), ir)) {
    s(kVheld) = s(kVmax) = s(kVmin) = 0.5 * (s(kVmax) + s(kVmin));
    s(kIheld) = s(kImax) = s(kImin) = 0.5 * (s(kImax) + s(kImin));
    const double vpu = limit(kVpuLow, kVpuHigh, s(kVheld) / vbase);
    if (std::abs(vpu - s(kVpuP)) > kRefitStep) {
      s(kVpuP) = vpu;
      const double vl = limit(s(kVlow), s(kVhigh), s(kVheld));
      s(kG) = std::max(std::pow(vpu, np) * p0 * one_plus_p / (vl * vl), kMinG);
      shares(s);
    }
  }
  // The shunt element, at a zero of its current.
  if (crossed(s(kIsh), ish)) {
    const double vpu = limit(kVpuLow, kVpuHigh, s(kVheld) / vbase);
    if (std::abs(vpu - s(kVpuQ)) > kRefitStep) {
      s(kVpuQ) = vpu;
      const double vl = limit(s(kVlow), s(kVhigh), s(kVheld));
      const double qsh = std::pow(vpu, nq) * q0 * one_plus_q - s(kIheld) * s(kIheld) * s(kXs);
      // Companion conductance of C = |Qsh| / (w Vl^2) or of L = Vl^2 / (w Qsh).
      if (qsh < 0.0) {
        s(kGsh) = -qsh / (kPi * f0 * e_s1::delt * vl * vl);
        s(kMarker) = -1.0;
      } else {
        s(kGsh) = qsh * kPi * f0 * e_s1::delt / (vl * vl);
        s(kMarker) = 1.0;
      }
      shares(s);
    }
  }
  // The Norton equivalent, and the state for the next step.
  wakro::add_norton(kTag, iss, node, s(kGt), -(s(kK) * (ihsh - ihs) + ihs));
  s(kVi) = vi;
  s(kIsh) = ish;
  s(kIs) = is;
  s(kIr) = ir;
}
