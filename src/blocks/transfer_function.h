// Rational transfer functions: the block tfdn10 that runs an order-N transfer
// function num(s)/den(s) (N <= 10) discretised by the trapezoidal rule, the
// variant tfnn35 that takes its polynomials in s/w and designs again when they
// or w change, and their helpers cscaln (frequency scaling of a coefficient pair)
// and swminn (inverse of the leading N-by-N block of a 10-row matrix).
//
// Coefficient arrays hold the coefficient of s^(k-1) in element k (index k-1 in
// C++), elements 1 .. N+1. The blocks design from copies of their own: the
// caller's arrays are never changed.
//
// tfdn10 realises the system in observable companion form (output = first state)
// and keeps, from NSTORF on entry, N*N + 2N + 2 reals: the transition matrix Phi
// column by column, the input vector Gamma, the state, the direct feed-through D,
// the previous input (input mode 1). tfnn35 keeps 56 reals of STOR from NEXC on
// entry: the numerator, denominator and w last seen, the scaled numerator and
// denominator, 10 not used; then tfdn10's slots follow. wakro::blocks::layout
// below names them.
//
// Fatal errors stop under "TFDN10      ": an order outside 1 .. 10, an input mode
// other than 0 or 1, a vanishing leading denominator coefficient, a singular
// (I - hA), and a scaling frequency w <= 0 in tfnn35.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace tfdn10 {  // STORF for order n: Phi's entry (i, j) at (j - 1) n + i
constexpr std::int32_t gamma_head(std::int32_t n) { return n * n; }      // Gamma(i) at the head plus i
constexpr std::int32_t state_head(std::int32_t n) { return n * n + n; }  // state(i) at the head plus i
constexpr std::int32_t d_slot(std::int32_t n) { return state_head(n) + n + 1; }
constexpr std::int32_t previous_slot(std::int32_t n) { return d_slot(n) + 1; }
constexpr std::int32_t storf_size(std::int32_t n) { return previous_slot(n); }
}
namespace tfnn35 {  // stor: coefficient k of each group at its first slot plus k - 1
enum : std::int32_t {
  kCoefficients = 11, kNumSeen = 1, kDenSeen = kNumSeen + kCoefficients, kWSeen = kDenSeen + kCoefficients,
  kScaledNum, kScaledDen = kScaledNum + kCoefficients, kUnused = kScaledDen + kCoefficients,
  kStorSize = kUnused + 10
};
}
}  // namespace wakro::blocks::layout

// Largest order of the transfer function blocks.
inline constexpr std::int32_t kTfMaxOrder = 10;

// One step of the transfer function; design (the flag equal to 1) first.
// num, den: N+1 reals; x0: N reals, the state loaded by a design at time zero.
void tfdn10(std::int32_t n, const double* num, const double* den, const double* x0,
            std::int32_t inputMode, std::int32_t design, double x, double& y);

// The transfer function in s/w: num, den of 11 reals (N+1 used), x0 of 10.
void tfnn35(std::int32_t n, const double* num, const double* den, const double* x0,
            std::int32_t inputMode, double w, double x, double& y);

// Mode 1: s -> s/w (element k times (1/w)^(k-1)); mode 2: s -> w/s times s^N
// (element k times w^(k-1), then both arrays reversed); other modes: unchanged.
void cscaln(std::int32_t n, double w, std::int32_t mode, double* num, double* den);

// AINV := inverse of the leading N-by-N block of A (both of leading dimension ld,
// N <= 10); A is unchanged. A singular block returns false, AINV unchanged.
[[nodiscard]] bool swminn(const double* a, std::int32_t n, std::int32_t ld, double* ainv);
