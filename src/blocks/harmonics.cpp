// The harmonic analysis blocks of harmonics.h.
//
// The transform is a radix-2 decimation-in-time FFT over the whole one-period
// buffer, Y(k) = sum_n x(n) exp(-j 2 pi k n / L), with exact twiddle factors
// from one table of the largest length. For harmonic h, a = Y(L-h):
//   magnitude = |a + conj(Y(h))| / L,  phase = atan2(-Im a, Re a) (0 when |a| < 1e-20),
//   DC = |Y(0) + conj(Y(L/2))| / L, signed like Re Y(0) (0 when |Y(0)| < 1e-20).
#include "blocks/harmonics.h"

#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "blocks/conventions.h"
#include "blocks/matrix.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::block_fatal;
using wakro::blocks::nint_sat;
using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::take_storf;
using cx = std::complex<double>;

namespace {

constexpr char kTag[] = "ON_LINE_FFT";
constexpr double kPi = std::numbers::pi;
using wakro::kTwoPi;
using wakro::kTiny;
constexpr double kRms = 0.707106781186548;
// The filter cutoff as a fraction of (N+1) f0, and the move that designs again.
constexpr double kCutoffFactor = 0.84375;
constexpr double kRedesign = 0.5;
// The sixth-order Butterworth denominator, ascending powers of s/wc.
constexpr std::array<double, 7> kButter6{1.0, 3.863703305156273, 7.464101615137755,
                                         9.141620172685641, 7.464101615137755, 3.863703305156273,
                                         1.0};
// Table index of the filter cutoff, and the table length.
constexpr std::int32_t kCutoffIndex = 864;
constexpr std::int32_t kTableSize = 1023;
constexpr std::int32_t kFilterSlots = wakro::blocks::layout::pfft49::kStorSize;

bool valid_order(std::int32_t n) {
  const std::int32_t l = n + 1;
  return l >= 8 && l <= kFtMaxHarmonics + 1 && (l & (l - 1)) == 0;
}

void stop_length() {
  block_fatal(kTag, {"Number of harmonics plus one must be a power of two from 8 to 1024."});
}

// cos and -sin of 2 pi k / kFtMaxLength, k = 0 .. kFtMaxLength/2 - 1.
struct Twiddles {
  std::array<double, kFtMaxLength / 2> wr, wi;
  Twiddles() {
    for (std::int32_t k = 0; k < kFtMaxLength / 2; ++k) {
      const double th = kTwoPi * k / kFtMaxLength;
      wr[k] = std::cos(th);
      wi[k] = -std::sin(th);
    }
  }
};
const Twiddles& twiddles() {
  static const Twiddles t;
  return t;
}

// In-place forward FFT of (re, im)[0 .. l-1], l a power of two up to
// kFtMaxLength. Real and imaginary parts apart: the butterflies then stay in
// registers (complex pairs went through the stack on every product).
void fft(double* re, double* im, std::int32_t l) {
  // Step 1: bit-reversed order.
  for (std::int32_t i = 1, j = 0; i < l; ++i) {
    std::int32_t bit = l >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  // Step 2: butterflies of growing span: t = w y(k + half);
  // y(k + half) = y(k) - t; y(k) = y(k) + t.
  const Twiddles& w = twiddles();
  for (std::int32_t span = 2; span <= l; span <<= 1) {
    const std::int32_t stride = kFtMaxLength / span, half = span / 2;
    for (std::int32_t start = 0; start < l; start += span)
      for (std::int32_t k = 0; k < half; ++k) {
        const double wr = w.wr[k * stride], wi = w.wi[k * stride];
        const std::int32_t p = start + k, q = p + half;
        const double tr = wr * re[q] - wi * im[q], ti = wr * im[q] + wi * re[q];
        re[q] = re[p] - tr;
        im[q] = im[p] - ti;
        re[p] += tr;
        im[p] += ti;
      }
  }
}

struct Tables {
  std::array<double, kTableSize + 1> gain{}, phase{};
  Tables() {
    for (std::int32_t k = 1; k <= kTableSize; ++k) {
      const double u = static_cast<double>(k) / kCutoffIndex;
      gain[k] = std::sqrt(1.0 + std::pow(u, 12));
      double lag = 0.0;
      for (std::int32_t m = 1; m <= 6; ++m) {
        const cx p = std::polar(1.0, kPi * (0.5 + (2.0 * m - 1.0) / 12.0));
        lag += std::atan2(u - p.imag(), -p.real());
      }
      phase[k] = lag;
    }
  }
};
const Tables& tables() {
  static const Tables t;
  return t;
}

double phase_in_form(double phi, std::int32_t form) {
  switch (form) {
    case 1:
      return phi * 180.0 / kPi;
    case 2: {
      const double v = phi + 0.5 * kPi;
      return v > kPi ? v - kTwoPi : v;
    }
    case 3: {
      const double v = phi * 180.0 / kPi + 90.0;
      return v > 180.0 ? v - 360.0 : v;
    }
    default:
      return phi;
  }
}

}  // namespace

double zftn_gain(std::int32_t k) { return tables().gain[k]; }
double zftn_phase(std::int32_t k) { return tables().phase[k]; }

void ftcaln(const double* buffer, std::int32_t n, double* magnitudes, double* phases, double& dc) {
  if (!valid_order(n)) stop_length();
  const std::int32_t l = 2 * (n + 1);
  std::array<double, kFtMaxLength> re, im;
  for (std::int32_t i = 0; i < l; ++i) {
    re[i] = buffer[i];
    im[i] = 0.0;
  }
  fft(re.data(), im.data(), l);
  for (std::int32_t h = 1; h <= n; ++h) {
    // a = Y(L - h); the sum a + conj(Y(h)).
    const double ar = re[l - h], ai = im[l - h];
    const double sr = ar + re[h], si = ai - im[h];
    magnitudes[h - 1] = std::sqrt(sr * sr + si * si) / l;
    const bool tiny = ar * ar + ai * ai < kTiny * kTiny;
    phases[h - 1] = tiny ? 0.0 : std::atan2(-ai, ar);
  }
  const double y0 = std::hypot(re[0], im[0]);
  const double sr = re[0] + re[l / 2], si = im[0] - im[l / 2];
  dc = y0 < kTiny ? 0.0 : std::copysign(std::sqrt(sr * sr + si * si) / l, re[0]);
}

void zftn(std::int32_t n, double* magnitudes, double* phases) {
  const std::int32_t step = 1024 / (n + 1);
  const Tables& t = tables();
  for (std::int32_t h = 1; h <= n; ++h) {
    const std::int32_t k = h * step;
    if (k < 1 || k > kTableSize) continue;
    magnitudes[h - 1] *= t.gain[k];
    const double p = phases[h - 1] + t.phase[k];
    phases[h - 1] = p > kPi ? p - kTwoPi : p;
  }
}

double pfft49(double x, double fc, double c0, double c1, double c2, double c3, double c4, double c5,
              double c6, std::int32_t redesign) {
  using namespace wakro::blocks::layout::pfft49;
  constexpr std::int32_t kN = kOrder;
  const Slots<double> s = take_stor(kFilterSlots);
  if (e_s1::timezero || redesign == 1) {
    // Companion form, output = first state: x_i' = wc x_(i+1),
    // x_6' = wc (u - c0 x1 - ... - c5 x6)/c6; Phi = (I - hA)^-1 (I + hA).
    const double wc = kTwoPi * fc, h = 0.5 * e_s1::delt;
    const std::array<double, kN> c{c0, c1, c2, c3, c4, c5};
    std::array<double, kN * kN> plus{}, minus{}, inv{}, work{};
    std::array<std::int32_t, kN> l{}, m{};
    for (std::int32_t i = 0; i < kN; ++i) plus[i * kN + i] = minus[i * kN + i] = 1.0;
    for (std::int32_t i = 0; i + 1 < kN; ++i) {
      plus[(i + 1) * kN + i] += h * wc;
      minus[(i + 1) * kN + i] -= h * wc;
    }
    for (std::int32_t k = 0; k < kN; ++k) {
      const double a6k = -wc * c[k] / c6;
      plus[k * kN + kN - 1] += h * a6k;
      minus[k * kN + kN - 1] -= h * a6k;
    }
    matinv_or_stop(kTag, minus.data(), inv.data(), kN, nullptr, work.data(), l.data(), m.data());
    for (std::int32_t j = 0; j < kN; ++j)
      for (std::int32_t i = 0; i < kN; ++i) {
        double phi = 0.0;
        for (std::int32_t k = 0; k < kN; ++k) phi += inv[k * kN + i] * plus[j * kN + k];
        s(kTransition + j * kN + i) = phi;
      }
    for (std::int32_t i = 0; i < kN; ++i) s(kInputVector + i) = e_s1::delt * inv[(kN - 1) * kN + i] * wc / c6;
  }
  const double u = 0.5 * (s(kPrevious) + x);
  std::array<double, kN> next{};
  for (std::int32_t i = 0; i < kN; ++i) {
    double v = s(kInputVector + i) * u;
    for (std::int32_t j = 0; j < kN; ++j) v += s(kTransition + j * kN + i) * s(kState + j);
    next[i] = v;
  }
  for (std::int32_t i = 0; i < kN; ++i) s(kState + i) = next[i];
  s(kPrevious) = x;
  return next[0];
}

void ftn180(std::int32_t magnitudeForm, std::int32_t phaseForm, std::int32_t n, std::int32_t filter,
            std::int32_t /*spare*/, double f0, double x, std::int32_t& index, double* magnitudes,
            double* phases, double& dc) {
  using namespace wakro::blocks::layout::ftn180;
  // Step 1: arguments, then the filter and its slots.
  if (!valid_order(n)) stop_length();
  if (!(f0 > 0.0)) block_fatal(kTag, {"Fundamental frequency of the scanner must be positive."});
  const std::int32_t l = buffer_length(n);
  const double ts = 1.0 / (f0 * l), delt = e_s1::delt;
  const Slots<double> fcSlot = take_storf(kStorfSize);
  double u = x;
  if (filter == 1) {
    const double fc = kCutoffFactor * (n + 1) * f0;
    const std::int32_t request = std::abs(fc - fcSlot(kCutoff)) > kRedesign ? 1 : 0;
    fcSlot(kCutoff) = fc;
    const auto& c = kButter6;
    u = pfft49(x, fc, c[0], c[1], c[2], c[3], c[4], c[5], c[6], request);
  } else {
    take_stor(kFilterSlots);
  }
  const Slots<double> s = take_stor(stor_own(n));
  const std::int32_t kMag = magnitude_head(n), kPha = phase_head(n), kDc = dc_slot(n);

  // Step 2: at time zero the first sample falls one interval later.
  if (e_s1::timezero) {
    s(kNextSample) = ts;
    s(kPosition) = 1.0;
  }

  // Step 3: no sample due: the last outputs again.
  if (e_s1::time < s(kNextSample)) {
    for (std::int32_t h = 1; h <= n; ++h) {
      magnitudes[h - 1] = s(kMag + h);
      phases[h - 1] = s(kPha + h);
    }
    dc = s(kDc);
    index = 0;
    s(kPrevious) = u;
    return;
  }

  // Step 4: the sample at the due instant, interpolated within the step.
  if (ts < delt)
    block_fatal(kTag, {"Sampling rate is too high for calculation time step.",
                       " Reduce time step in Project Settings or Reduce ",
                       "Number of Harmonics in On-Line Frequency Scanner."});
  const std::int32_t i = ((nint_sat(s(kPosition)) % l) + l) % l + 1;
  s(kBufferHead + i) = s(kPrevious) + (u - s(kPrevious)) * (s(kNextSample) - e_s1::time + delt) / delt;

  // Step 5: the spectrum of the last period, in the forms asked for.
  ftcaln(&s(kBufferHead + 1), n, magnitudes, phases, dc);
  if (filter == 1) zftn(n, magnitudes, phases);
  for (std::int32_t h = 1; h <= n; ++h) {
    if (magnitudeForm == 0) magnitudes[h - 1] *= kRms;
    phases[h - 1] = phase_in_form(phases[h - 1], phaseForm);
    s(kMag + h) = magnitudes[h - 1];
    s(kPha + h) = phases[h - 1];
  }
  s(kDc) = dc;
  s(kNextSample) += ts;
  s(kPosition) = i;
  index = i;
  s(kPrevious) = u;
}

void ftseqn(std::int32_t n, std::int32_t phaseForm, double* ma, double* mb, double* mc, double* pa,
            double* pb, double* pc) {
  using wakro::kThird;
  const cx alpha(-0.5, 0.8660254037844385), alpha2 = alpha * alpha;
  for (std::int32_t k = 0; k < n; ++k) {
    const cx a = std::polar(ma[k], pa[k]), b = std::polar(mb[k], pb[k]), c = std::polar(mc[k], pc[k]);
    const cx pos = a + alpha * b + alpha2 * c, neg = a + alpha2 * b + alpha * c, zero = a + b + c;
    ma[k] = kThird * std::abs(pos);
    mb[k] = kThird * std::abs(neg);
    mc[k] = kThird * std::abs(zero);
    pa[k] = phase_in_form(std::abs(pos) < kTiny ? 0.0 : std::arg(pos), phaseForm);
    pb[k] = phase_in_form(std::abs(neg) < kTiny ? 0.0 : std::arg(neg), phaseForm);
    pc[k] = phase_in_form(mc[k] < kTiny ? 0.0 : std::arg(zero), phaseForm);
  }
}

void ftrac2(std::int32_t on, std::int32_t angleUnit, double theta, double fStart, double& f) {
  using namespace wakro::blocks::layout::ftrac2;
  const Slots<double> s = take_stor(kStorSize);
  const bool radians = angleUnit == 0 || angleUnit == 2;
  const double p = radians ? kPi : 180.0, perTurn = radians ? 0.159154943091895 : 0.002777777777778;
  if (e_s1::timezero) s(kEstimate) = fStart;
  if (on == 1 && s(kEstimate) > 0.0 && e_s1::time >= 2.0 / s(kEstimate)) {
    double d = theta - s(kLastAngle);
    if (std::abs(d) > p) d = std::remainder(d, 2.0 * p);
    s(kEstimate) *= 1.0 + d * perTurn;
  }
  // Stored on every call, so that switching on later applies no stale jump.
  s(kLastAngle) = theta;
  f = s(kEstimate);
}
