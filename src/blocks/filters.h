// Analogue filter design and the tuned filter block.
//
// chlpfn designs a Butterworth (approximation 1) or Chebyshev type I
// (approximation 2) filter of order N: low-pass (kind 1), high-pass (2),
// band-pass (3) or band-stop (4), as denominator and numerator polynomials of 11
// coefficients, element k the coefficient of s^(k-1). The given frequency w is
// the half-power point (the cutoff of a low-pass or high-pass; for band filters
// the mid-band frequency, with band edges w/Q apart). The pass-band gain is K:
// 1 for Butterworth and odd Chebyshev prototypes, 10^(-ripple/20) for even ones;
// band-pass and band-stop filters have exactly the gain K (positive) at mid-band
// and at zero frequency respectively, for every order.
//
// filn15 runs such a filter through tfdn10, designing it at the first step of a
// run and whenever f, Q or the ripple moves by more than 1e-6. It keeps 25 reals
// of STOR from NEXC on entry (wakro::blocks::layout::filn15 below): f, ripple and
// Q last seen, the 11 denominator and the 11 numerator coefficients; tfdn10's
// STORF slots follow.
//
// Fatal errors stop under "CHLPFN      " (odd order of a band filter, a ripple
// outside (0, 10 log10 2] dB, an unknown approximation or kind, an order below 1,
// f <= 0, Q <= 0 for band filters), under "TFDN10      " for an order above 10,
// and under "FILN15      " for band edges in the wrong order.
#pragma once

#include <complex>
#include <cstdint>

namespace wakro::blocks::layout::filn15 {  // stor: coefficient k of each polynomial at its first slot plus k - 1
enum : std::int32_t {
  kCoefficients = 11, kF = 1, kRipple, kQ, kDen, kNum = kDen + kCoefficients, kStorSize = kNum + kCoefficients - 1
};
}  // namespace wakro::blocks::layout::filn15

// The tuned filter block: f in Hz, Q, ripple in dB; y receives the output.
void filn15(std::int32_t n, double f, double q, double ripple, std::int32_t approximation,
            std::int32_t kind, std::int32_t inputMode, double x, double& y);

// Mid-band frequency sqrt(fLow fHigh) and quality factor fMid/(fHigh - fLow).
void filn15_pre(double fLow, double fHigh, double& fMid, double& q);

// The filter polynomials for w in rad/s; den and num of 11 reals, cleared first.
void chlpfn(std::int32_t n, double ripple, double w, double q, std::int32_t approximation,
            std::int32_t kind, double* den, double* num);

// Real parts of the 11 coefficients of prod_k (s - roots[k]), k < n <= 10.
void polycn(const std::complex<double>* roots, std::int32_t n, double* coef);

// Real parts of the 11 coefficients of prod_k (a_k s^2 + b_k s + c_k), n <= 5.
void polyqn(const std::complex<double>* a, const std::complex<double>* b,
            const std::complex<double>* c, std::int32_t n, double* coef);
