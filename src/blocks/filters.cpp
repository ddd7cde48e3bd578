// The filter design and the tuned filter block of filters.h.
//
// Prototype (n poles; n = N for low- and high-pass, N/2 for band filters):
//   Butterworth: a = b = 1, F = 1, K = 1.
//   Chebyshev:   eps = sqrt(10^(ripple/10) - 1), u = 1/eps,
//                g = (u + sqrt(u^2 + 1))^(1/n), a = (g - 1/g)/2, b = (g + 1/g)/2,
//                c = cosh(acosh(u)/n), F = 1/c (low-pass) or c (others),
//                K = 10^(-ripple/20) for n even, 1 for n odd.
//   poles p_k = a cos(theta_k) + j b sin(theta_k), theta_k = ((k - 1/2)/n + 1/2) pi.
// Low-pass: prod (s - p_k) with numerator K times its constant term, scaled by
// s -> s/(F w); high-pass: the same with s -> F w/s.
// Band-pass: prod ((QF/w) s^2 - p_k s + QF w), numerator G s^n;
// band-stop: prod (-p_k s^2 + (Fw/Q) s - w^2 p_k), numerator G (s^2 + w^2)^n;
// with G = K prod(-p_k), so that the gain is +K at mid-band (band-pass) and at
// zero frequency (band-stop): every factor reduces there to -p_k times the same
// power of s (or of w^2) as the numerator's.
#include "blocks/filters.h"

#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "blocks/conventions.h"
#include "blocks/transfer_function.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::block_fatal;
using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using cx = std::complex<double>;

namespace {

constexpr char kTag[] = "CHLPFN";
constexpr std::int32_t kCoef = kTfMaxOrder + 1;
constexpr std::int32_t kLowPass = 1, kHighPass = 2, kBandPass = 3, kBandStop = 4;
constexpr std::int32_t kButterworth = 1, kChebyshev = 2;
// A filter parameter that moves by more than this designs the filter again.
constexpr double kChange = 1e-6;
using wakro::kTwoPi;

void check_design(std::int32_t n, double ripple, double w, double q, std::int32_t approximation,
                  std::int32_t kind) {
  if (kind < kLowPass || kind > kBandStop)
    block_fatal(kTag, {"Filter type must be 1 (low-pass), 2 (high-pass), 3 (band-pass) or 4 (band-stop)."});
  if (approximation != kButterworth && approximation != kChebyshev)
    block_fatal(kTag, {"Filter approximation must be 1 (Butterworth) or 2 (Chebyshev)."});
  if (n < 1) block_fatal(kTag, {"Filter order must be at least 1."});
  if (n > kTfMaxOrder)
    block_fatal("TFDN10", {"Transfer Function TFDN10 array overflow: Order of ",
                           "denominator cannot be greater than 10",
                           ". Try factoring the transfer function ",
                           "and use two or more cascaded blocks."});
  if ((kind == kBandPass || kind == kBandStop) && n % 2 != 0) {
    const std::string order = "be an even number, Change order from " + std::to_string(n);
    block_fatal(kTag, {"Bandpass or Bandstop filer order must ", order});
  }
  if (!(w > 0.0)) block_fatal(kTag, {"Filter frequency must be positive."});
  if ((kind == kBandPass || kind == kBandStop) && !(q > 0.0))
    block_fatal(kTag, {"Filter quality factor must be positive."});
  // The half-power factor of a Chebyshev design exists only for 0 < eps <= 1.
  if (approximation == kChebyshev && !(ripple > 0.0 && std::pow(10.0, 0.1 * ripple) - 1.0 <= 1.0))
    block_fatal(kTag, {"Chebyshev ripple must be above 0 dB and at most 3.0103 dB."});
}

}  // namespace

void polycn(const cx* roots, std::int32_t n, double* coef) {
  std::array<cx, kCoef> p{};
  p[0] = 1.0;
  for (std::int32_t k = 0; k < n; ++k) {
    // p := p (s - r): shift up, subtract r times.
    for (std::int32_t i = k + 1; i >= 1; --i) p[i] = p[i - 1] - roots[k] * p[i];
    p[0] = -roots[k] * p[0];
  }
  for (std::int32_t i = 0; i < kCoef; ++i) coef[i] = p[i].real();
}

void polyqn(const cx* a, const cx* b, const cx* c, std::int32_t n, double* coef) {
  std::array<cx, kCoef + 2> p{};
  p[0] = 1.0;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t deg = 2 * k;  // degree of p so far
    for (std::int32_t i = deg + 2; i >= 0; --i) {
      cx v = c[k] * p[i];
      if (i >= 1) v += b[k] * p[i - 1];
      if (i >= 2) v += a[k] * p[i - 2];
      p[i] = v;
    }
  }
  for (std::int32_t i = 0; i < kCoef; ++i) coef[i] = p[i].real();
}

void chlpfn(std::int32_t bigN, double ripple, double w, double q, std::int32_t approximation,
            std::int32_t kind, double* den, double* num) {
  check_design(bigN, ripple, w, q, approximation, kind);
  for (std::int32_t i = 0; i < kCoef; ++i) den[i] = num[i] = 0.0;

  // Step 1: prototype constants.
  const bool band = kind == kBandPass || kind == kBandStop;
  const std::int32_t n = band ? bigN / 2 : bigN;
  const double r = 1.0 / n;
  double a = 1.0, b = 1.0, factor = 1.0, gain = 1.0;
  if (approximation == kChebyshev) {
    const double u = 1.0 / std::sqrt(std::pow(10.0, 0.1 * ripple) - 1.0);
    if (n % 2 == 0) gain = std::pow(10.0, -0.05 * ripple);
    const double g = std::pow(u + std::sqrt(u * u + 1.0), r);
    a = 0.5 * (g - 1.0 / g);
    b = 0.5 * (g + 1.0 / g);
    const double c = std::cosh(r * std::log(u + std::sqrt(u * u - 1.0)));
    factor = kind == kLowPass ? 1.0 / c : c;
  }

  // Step 2: prototype poles in the left half-plane.
  std::array<cx, kTfMaxOrder> p{};
  cx prodMinusP = 1.0;
  for (std::int32_t k = 1; k <= n; ++k) {
    const double theta = ((k - 0.5) * r + 0.5) * std::numbers::pi;
    p[k - 1] = cx(a * std::cos(theta), b * std::sin(theta));
    prodMinusP *= -p[k - 1];
  }

  // Step 3: the frequency transformation of the kind.
  if (!band) {
    polycn(p.data(), n, den);
    num[0] = gain * den[0];
    cscaln(n, factor * w, kind, num, den);
    return;
  }
  const double g = gain * prodMinusP.real();
  std::array<cx, kTfMaxOrder / 2> qa{}, qb{}, qc{};
  if (kind == kBandPass) {
    for (std::int32_t k = 0; k < n; ++k) {
      qa[k] = q * factor / w;
      qb[k] = -p[k];
      qc[k] = q * factor * w;
    }
    polyqn(qa.data(), qb.data(), qc.data(), n, den);
    num[n] = g;
    return;
  }
  for (std::int32_t k = 0; k < n; ++k) {
    qa[k] = -p[k];
    qb[k] = factor * w / q;
    qc[k] = -w * w * p[k];
  }
  polyqn(qa.data(), qb.data(), qc.data(), n, den);
  for (std::int32_t k = 0; k < n; ++k) {
    qa[k] = 1.0;
    qb[k] = 0.0;
    qc[k] = w * w;
  }
  polyqn(qa.data(), qb.data(), qc.data(), n, num);
  for (std::int32_t i = 0; i < kCoef; ++i) num[i] *= g;
}

void filn15_pre(double fLow, double fHigh, double& fMid, double& q) {
  if (!(fHigh > fLow)) block_fatal("FILN15", {"Upper Frequency must be greater than Lower Frequency"});
  fMid = std::sqrt(fLow * fHigh);
  q = fMid / (fHigh - fLow);
}

void filn15(std::int32_t n, double f, double q, double ripple, std::int32_t approximation,
            std::int32_t kind, std::int32_t inputMode, double x, double& y) {
  using namespace wakro::blocks::layout::filn15;
  // Step 1: parameters, then the slots.
  check_design(n, ripple, kTwoPi * f, q, approximation, kind);
  const Slots<double> s = take_stor(kStorSize);

  // Step 2: change detection; at time zero the values are only stored.
  bool changed = e_s1::firststep;
  auto see = [&](std::int32_t slot, double v) {
    if (e_s1::timezero) {
      s(slot) = v;
    } else if (std::abs(v - s(slot)) > kChange) {
      s(slot) = v;
      changed = true;
    }
  };
  see(kF, f);
  see(kRipple, ripple);
  see(kQ, q);

  // Step 3: design on a change, else step with the stored polynomials.
  std::array<double, kCoef> den{}, num{};
  constexpr std::array<double, kTfMaxOrder> zero{};
  if (changed) {
    chlpfn(n, ripple, kTwoPi * f, q, approximation, kind, den.data(), num.data());
    for (std::int32_t k = 1; k <= kCoef; ++k) {
      s(kDen - 1 + k) = den[k - 1];
      s(kNum - 1 + k) = num[k - 1];
    }
  } else {
    for (std::int32_t k = 1; k <= kCoef; ++k) {
      den[k - 1] = s(kDen - 1 + k);
      num[k - 1] = s(kNum - 1 + k);
    }
  }
  tfdn10(n, num.data(), den.data(), zero.data(), inputMode, changed ? 1 : 0, x, y);
}
