// The phase-angle meters (see phase_meters.h).
#include "blocks/phase_meters.h"

#include <cmath>

#include "blocks/conventions.h"
#include "blocks/last_call.h"
#include "blocks/poles.h"
#include "blocks/rms_meters.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;
namespace L = wakro::blocks::layout;

using wakro::kTwoPi;
constexpr double kHalfPi = wakro::kHalfPiCut;
constexpr double kTwoPiThirds = 2.094395102393195;
constexpr double kPiSixths = 0.523598775598299;
constexpr double kInvSqrt3 = 0.577350269189626;
constexpr double kDegrees = 57.29577951308232;
constexpr double kDegToRad = 0.017453292519943;
constexpr double kNoVector = 1e-10;   // X and Y both within this: angle 0
constexpr double kNoSet = 1e-4;       // an RMS at most this: no angle
constexpr double kBand = 0.2;         // crossing band of d1ph10, per unit of A

// The cosines of mphase3ps's reference angle th: cos th, cos(th - 2 pi/3) and
// the same 90 degrees on, cos(th + pi/2), cos(th - pi/6).
struct ReferenceTerms {
  double c0, c1, s0, s1;
};
wakro::blocks::LastCall<ReferenceTerms> g_reference;

// A plain first-order lag of gain 1 that starts at its input.
double smooth(double T, double x) { return realpole(0, 1, 0, 1.0, T, x, 0.0, 0.0, 0.0); }

// Smooths Y, then X, and gives their angle (inline in both meters: two lags and
// an angle on every call).
[[gnu::always_inline]] inline double angle_of(std::int32_t deg, double T, double Y, double X) {
  const double Yf = smooth(T, Y);
  const double Xf = smooth(T, X);
  double out = (std::fabs(Yf) <= kNoVector && std::fabs(Xf) <= kNoVector) ? 0.0 : std::atan2(Yf, Xf);
  if (wakro::blocks::switch_on(deg)) out *= kDegrees;
  return out;
}

// The reference angle advanced by one step, wrapped once past 2 pi.
double advance(double theta, double f) {
  theta += kTwoPi * f * e_s1::delt;
  if (theta > kTwoPi) theta -= kTwoPi;
  return theta;
}

// One side of d1ph10: the minimum search of u with its state, time and pending
// slots.
void find_minimum(const Slots<double>& s, double u, std::int32_t prev, std::int32_t state, std::int32_t when,
                  std::int32_t pending) {
  const double thr = s(L::d1ph10::kThreshold);
  if (u <= thr && s(state) <= 0.5) {
    s(state) = 0.0;
    if (u > s(prev)) {  // the minimum has passed
      s(state) = 1.0;
      s(when) = e_s1::time;
      s(pending) = 0.0;
    }
  } else if (u <= thr && u - s(prev) < 0.0) {
    s(state) = 0.0;
  }
  s(prev) = u;
}

}  // namespace

void mphase3ps(std::int32_t deg, std::int32_t ref, double va, double vb, double vc, double T, double f, double& out) {
  using namespace L::mphase3ps;
  const Slots<double> s = wakro::blocks::take_storf(kStorfOwn);
  if (e_s1::timezero) {
    s(kTheta) = wakro::blocks::switch_on(ref) ? -kHalfPi : 0.0;
  } else {
    s(kTheta) = advance(s(kTheta), f);
  }
  const double th = s(kTheta);

  // The reference terms, and the inputs advanced by 90 degrees. The meters of one
  // frequency share their reference angle, so its cosines are kept for the next.
  const ReferenceTerms& r = g_reference.of(th, [](double t) {
    return ReferenceTerms{std::cos(t), std::cos(t - kTwoPiThirds), std::cos(t + kHalfPi),
                          std::cos(t - kPiSixths)};
  });
  const double c0 = r.c0, c1 = r.c1, c2 = -c0 - c1;
  const double s0 = r.s0, s1 = r.s1, s2 = -s0 - s1;
  const double qa = (vc - vb) * kInvSqrt3, qb = (va - vc) * kInvSqrt3, qc = -qa - qb;

  const double X = va * c0 + vb * c1 + vc * c2 + qa * s0 + qb * s1 + qc * s2;
  const double Y = va * s0 + vb * s1 + vc * s2 - (qa * c0 + qb * c1 + qc * c2);
  out = angle_of(deg, T, Y, X);
}

void mphase1ps(std::int32_t deg, std::int32_t ref, double v, double T, double f, double& out) {
  if (e_s1::timezero && f == 0.0)
    wakro::blocks::block_fatal("MPHASE1PS", {"Frequency of the reference must not be zero"});
  using namespace L::mphase1ps;
  const Slots<double> s = wakro::blocks::take_storf(kStorfOwn);
  const double step = kTwoPi * f * e_s1::delt;
  if (e_s1::timezero) {
    s(kTheta) = -(step * 0.5) - (wakro::blocks::switch_on(ref) ? kHalfPi : 0.0);
    s(kGain) = 1.0 / step;
    // No step before time zero: the input is taken as steady there, so that the
    // lags (which start at their input) do not latch a derivative k v of a jump
    // from the cleared slot.
    s(kPrevInput) = v;
  } else {
    s(kTheta) = advance(s(kTheta), f);
  }
  const double th = s(kTheta);  // the reference at the middle of the step

  // The input at the middle of the step and its derivative over w (90 degrees on).
  const double dv = s(kGain) * (v - s(kPrevInput));
  const double vm = (v + s(kPrevInput)) * 0.5;
  const double Y = -vm * std::sin(th) - dv * std::cos(th);
  const double X = vm * std::cos(th) - dv * std::sin(th);
  s(kPrevInput) = v;
  out = angle_of(deg, T, Y, X);
}

double phas3p(double a1, double b1, double c1, double a2, double b2, double c2, double& rms1, double& rms2) {
  rms1 = rms3ph(a1, b1, c1);
  rms2 = rms3ph(a2, b2, c2);
  if (rms1 <= kNoSet || rms2 <= kNoSet) return 0.0;
  const double g = kInvSqrt3;
  const double qa1 = (c1 - b1) * g, qb1 = (a1 - c1) * g, qc1 = (b1 - a1) * g;
  const double qa2 = (c2 - b2) * g, qb2 = (a2 - c2) * g, qc2 = (b2 - a2) * g;
  const double X = qa1 * qa2 + qb1 * qb2 + qc1 * qc2 + a1 * a2 + b1 * b2 + c1 * c2;
  const double Y = qa2 * a1 + qb2 * b1 + qc2 * c1 - (qa1 * a2 + qb1 * b2 + qc1 * c2);
  return std::atan2(Y, X);
}

double d1ph10(double x, double phi, double w, double A) {
  using namespace L::d1ph10;
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  if (e_s1::timezero) {
    s(kPrevInput) = A;
    s(kPrevRef) = A;
    s(kThreshold) = kBand * A;
    s(kRefState) = 1.0;
    s(kRefWhen) = 0.0;
    s(kRefPending) = 1.0;
    s(kInState) = 1.0;
    s(kInWhen) = 0.0;
    s(kInPending) = 1.0;
    s(kAngle) = 0.0;
  }
  const double r = std::fabs(A * std::sin(e_s1::time * w + phi * kDegToRad));
  find_minimum(s, r, kPrevRef, kRefState, kRefWhen, kRefPending);
  find_minimum(s, std::fabs(x), kPrevInput, kInState, kInWhen, kInPending);
  if (s(kRefPending) + s(kInPending) <= 0.5) {  // both minima found since the last output
    s(kAngle) = (s(kRefWhen) - s(kInWhen)) * w;
    s(kRefPending) = 1.0;
    s(kInPending) = 1.0;
  }
  return s(kAngle);
}
