// The transfer function blocks of transfer_function.h.
//
// Design (Delta = delt, h = Delta/2): with the coefficients reversed (highest
// power first) and divided by the leading denominator coefficient, beta the
// numerator and alpha the denominator (alpha_1 = 1):
//   A(i, i+1) = 1, A(N, k) = -alpha_{N+2-k}; output = first state;
//   c_1 = beta_1, c_k = beta_k - sum_{j=1}^{k-1} alpha_{j+1} c_{k-j};
//   D = c_1, m = (c_2 .. c_{N+1});
//   Phi = (I - hA)^-1 (I + hA),  Gamma = Delta (I - hA)^-1 m.
// Step: u = x (mode 0) or (x + x_prev)/2 (mode 1);  s := Phi s + Gamma u;
//   y = s_1 + D x.
#include "blocks/transfer_function.h"

#include <array>
#include <cmath>
#include <utility>

#include "blocks/conventions.h"
#include "blocks/matrix.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::block_fatal;
using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::take_storf;

namespace {

constexpr char kTag[] = "TFDN10";
// A leading denominator coefficient below this makes the design ill conditioned.
constexpr double kTinyLead = wakro::kTiny;
// A coefficient of tfnn35 that moves by more than this designs the filter again.
constexpr double kChange = 1e-6;
// Capacity of the coefficient arrays.
constexpr std::int32_t kCoef = kTfMaxOrder + 1;

using Square = std::array<double, kTfMaxOrder * kTfMaxOrder>;
using Vec = std::array<double, kCoef>;

void stop_order() {
  block_fatal(kTag, {"Transfer Function TFDN10 array overflow: Order of ",
                     "denominator cannot be greater than 10",
                     ". Try factoring the transfer function ",
                     "and use two or more cascaded blocks."});
}

void check_arguments(std::int32_t n, std::int32_t inputMode) {
  if (n < 1 || n > kTfMaxOrder) stop_order();
  if (inputMode != 0 && inputMode != 1)
    block_fatal(kTag, {"Transfer Function TFDN10: input mode must be 0 or 1."});
}

// Designs Phi, Gamma and D into the slots f (laid out as in the header).
void design(std::int32_t n, const double* num, const double* den, const Slots<double>& f) {
  const double delt = e_s1::delt, h = 0.5 * delt;
  // Step 1: reverse and normalise into beta and alpha.
  Vec beta{}, alpha{};
  for (std::int32_t k = 1; k <= n + 1; ++k) {
    beta[k - 1] = num[n + 1 - k];
    alpha[k - 1] = den[n + 1 - k];
  }
  const double lead = alpha[0];
  if (std::abs(lead) < kTinyLead)
    block_fatal(kTag, {"Ill conditioned coefficient matrix in ",
                       "non-linear transfer function block. Denominator ",
                       "should be of higher order than the order of Numerator."});
  for (std::int32_t k = 1; k <= n + 1; ++k) beta[k - 1] /= lead;
  for (std::int32_t k = 2; k <= n + 1; ++k) alpha[k - 1] /= lead;
  alpha[0] = 1.0;

  // Step 2: Markov series c: D and the input vector m.
  Vec c{};
  c[0] = beta[0];
  for (std::int32_t k = 2; k <= n + 1; ++k) {
    double ck = beta[k - 1];
    for (std::int32_t j = 1; j <= k - 1; ++j) ck -= alpha[j] * c[k - j - 1];
    c[k - 1] = ck;
  }

  // Step 3: I + hA and I - hA, column by column with leading dimension 10.
  Square plus{}, minus{}, minusInv{};
  auto at = [](Square& m, std::int32_t i, std::int32_t j) -> double& {
    return m[(j - 1) * kTfMaxOrder + (i - 1)];
  };
  for (std::int32_t i = 1; i <= n; ++i) {
    at(plus, i, i) = 1.0;
    at(minus, i, i) = 1.0;
  }
  for (std::int32_t i = 1; i < n; ++i) {
    at(plus, i, i + 1) += h;
    at(minus, i, i + 1) -= h;
  }
  for (std::int32_t k = 1; k <= n; ++k) {
    const double aNk = -alpha[n + 1 - k];
    at(plus, n, k) += h * aNk;
    at(minus, n, k) -= h * aNk;
  }
  if (!swminn(minus.data(), n, kTfMaxOrder, minusInv.data()))
    block_fatal(kTag, {"Matrix is singular and cannot be inverted."});

  // Step 4: Phi, Gamma and D into their slots.
  const std::int32_t n2 = n * n;
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= n; ++i) {
      double phi = 0.0;
      for (std::int32_t k = 1; k <= n; ++k) phi += at(minusInv, i, k) * at(plus, k, j);
      f((j - 1) * n + i) = phi;
    }
  for (std::int32_t i = 1; i <= n; ++i) {
    double gamma = 0.0;
    for (std::int32_t k = 1; k <= n; ++k) gamma += at(minusInv, i, k) * c[k];
    f(n2 + i) = delt * gamma;
  }
  f(wakro::blocks::layout::tfdn10::d_slot(n)) = c[0];
}

}  // namespace

void tfdn10(std::int32_t n, const double* num, const double* den, const double* x0,
            std::int32_t inputMode, std::int32_t designFlag, double x, double& y) {
  using namespace wakro::blocks::layout::tfdn10;
  // Step 1: arguments, then the slots.
  check_arguments(n, inputMode);
  const Slots<double> f = take_storf(storf_size(n));
  const std::int32_t gamma = gamma_head(n), state = state_head(n), dSlot = d_slot(n), prevSlot = previous_slot(n);

  // Step 2: design on request; at time zero the state starts at x0.
  if (designFlag == 1) {
    if (e_s1::timezero)
      for (std::int32_t i = 1; i <= n; ++i) f(state + i) = x0[i - 1];
    design(n, num, den, f);
  }

  // Step 3: s := Phi s + Gamma u, y = state 1 + D x.
  double u = x;
  if (inputMode == 1) {
    u = 0.5 * (x + f(prevSlot));
    f(prevSlot) = x;
  }
  std::array<double, kTfMaxOrder> next{};
  for (std::int32_t i = 1; i <= n; ++i) {
    double si = f(gamma + i) * u;
    for (std::int32_t j = 1; j <= n; ++j) si += f((j - 1) * n + i) * f(state + j);
    next[i - 1] = si;
  }
  for (std::int32_t i = 1; i <= n; ++i) f(state + i) = next[i - 1];
  y = f(state + 1) + f(dSlot) * x;
}

void tfnn35(std::int32_t n, const double* num, const double* den, const double* x0,
            std::int32_t inputMode, double w, double x, double& y) {
  using namespace wakro::blocks::layout::tfnn35;
  check_arguments(n, inputMode);
  if (!(w > 0.0)) block_fatal(kTag, {"Transfer Function TFNN35: frequency must be positive."});
  const Slots<double> s = take_stor(kStorSize);

  // Step 1: change detection (at time zero the values are only stored).
  bool changed = false;
  auto see = [&](std::int32_t slot, double v) {
    if (e_s1::timezero) {
      s(slot) = v;
    } else if (std::abs(v - s(slot)) > kChange) {
      s(slot) = v;
      changed = true;
    }
  };
  for (std::int32_t k = 1; k <= n + 1; ++k) {
    see(kNumSeen - 1 + k, num[k - 1]);
    see(kDenSeen - 1 + k, den[k - 1]);
  }
  see(kWSeen, w);
  if (e_s1::firststep) changed = true;

  // Step 2: scale and design on a change, else step with the stored scaling.
  Vec b{}, a{};
  if (changed) {
    for (std::int32_t k = 1; k <= kCoef; ++k) {
      b[k - 1] = num[k - 1];
      a[k - 1] = den[k - 1];
    }
    cscaln(n, w, 1, b.data(), a.data());
    for (std::int32_t k = 1; k <= kCoef; ++k) {
      s(kScaledNum - 1 + k) = b[k - 1];
      s(kScaledDen - 1 + k) = a[k - 1];
    }
  } else {
    for (std::int32_t k = 1; k <= kCoef; ++k) {
      b[k - 1] = s(kScaledNum - 1 + k);
      a[k - 1] = s(kScaledDen - 1 + k);
    }
  }
  tfdn10(n, b.data(), a.data(), x0, inputMode, changed ? 1 : 0, x, y);
}

void cscaln(std::int32_t n, double w, std::int32_t mode, double* num, double* den) {
  if (mode == 1) {
    const double r = 1.0 / w;
    double scale = 1.0;
    for (std::int32_t k = 2; k <= n + 1; ++k) {
      scale *= r;
      num[k - 1] *= scale;
      den[k - 1] *= scale;
    }
  } else if (mode == 2) {
    double scale = 1.0;
    for (std::int32_t k = 2; k <= n + 1; ++k) {
      scale *= w;
      num[k - 1] *= scale;
      den[k - 1] *= scale;
    }
    for (std::int32_t k = 1; k <= (n + 1) / 2; ++k) {
      std::swap(num[k - 1], num[n + 1 - k]);
      std::swap(den[k - 1], den[n + 1 - k]);
    }
  }
}

bool swminn(const double* a, std::int32_t n, std::int32_t ld, double* ainv) {
  if (n < 1 || n > kTfMaxOrder) return false;
  Square packed{}, inverse{}, work{};
  std::array<std::int32_t, kTfMaxOrder> l{}, m{};
  for (std::int32_t j = 0; j < n; ++j)
    for (std::int32_t i = 0; i < n; ++i) packed[j * n + i] = a[j * ld + i];
  if (!matinv(packed.data(), inverse.data(), n, nullptr, work.data(), l.data(), m.data())) return false;
  for (std::int32_t j = 0; j < n; ++j)
    for (std::int32_t i = 0; i < n; ++i) ainv[j * ld + i] = inverse[j * n + i];
  return true;
}
