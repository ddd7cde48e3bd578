// Coefficients of the recursive convolutions of the frequency-dependent lines.
//
// A pole term R/(s + a) convolved with a signal that is linear between samples
// over a step dt gives, with E = exp(-a dt):
//   y(n) = E y(n-1) + R (lambda u(n) + mu u(n-1))
//   lambda = (1 - (1 - E)/(a dt)) / a,   mu = ((1 - E)/(a dt) - E) / a
// and a step response share (1 - E)/a. For |a dt| below kSeriesLimit these
// quotients lose every digit to cancellation, so their Taylor series are used.
#pragma once

#include <complex>

namespace wakro::lines {

using cplx = std::complex<double>;

// |a dt| below this takes the series forms.
inline constexpr double kSeriesLimit = 1.0e-5;

struct PoleStep {
  cplx E;       // exp(-a dt)
  cplx share;   // (1 - E) / a
  cplx lambda;  // weight of the present sample
  cplx mu;      // weight of the previous sample
};

// The coefficients of pole a (a != 0) over a step dt.
inline PoleStep pole_step(cplx a, double dt) {
  const cplx x = a * dt;
  PoleStep k;
  k.E = std::exp(-x);
  if (std::abs(x) < kSeriesLimit) {
    k.share = dt * (1.0 - x / 2.0 + x * x / 6.0);
    k.lambda = dt * (0.5 - x / 6.0 + x * x / 24.0);
    k.mu = dt * (0.5 - x / 3.0 + x * x / 8.0);
    return k;
  }
  const cplx q = (1.0 - k.E) / x;
  k.share = (1.0 - k.E) / a;
  k.lambda = (1.0 - q) / a;
  k.mu = (q - k.E) / a;
  return k;
}

}  // namespace wakro::lines
