// The surge and test-signal generators of surges.h.
//
// The _exe routines and sgen11 take the same slots on every call, whatever path
// they take. A parameter that would make a generator divide by zero (or produce
// a waveform that grows without bound) is a data error: the run stops with a
// message that names it. Nothing is allocated per call.
#include "blocks/surges.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "diag/outmsg.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::block_error_line;
using wakro::blocks::block_fatal;
using wakro::blocks::block_stop;
using wakro::blocks::block_warn;
using wakro::blocks::nint_sat;
using wakro::blocks::Slots;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_rtcl;
using wakro::blocks::take_stor;

namespace {

// The numbered console texts (outmsg) of sgen11.
namespace message {
constexpr std::int32_t kSineSignal = 242;         // sine signal: frequency and amplitude
constexpr std::int32_t kSquareSignal = 243;       // square signal: frequency and amplitude
constexpr std::int32_t kHarmonicGenerator = 244;  // harmonic generator: type and base frequency
constexpr std::int32_t kStartingFrequency = 245;  // its starting frequency
constexpr std::int32_t kHarmonicAmplitude = 246;  // amplitude of each harmonic
constexpr std::int32_t kSignalPeriods = 247;      // periods, their length and the start time
constexpr std::int32_t kSgen11Mistake = 248;      // sgen11's arguments refused; it stays inoperative
}  // namespace message

// Below this a difference or a time counts as none.
using wakro::kTiny;
// Seconds to microseconds.
constexpr double kMicro = 1e6;
using wakro::kTwoPi;

// Time since the start in microseconds, and whether the surge has begun (half a
// step after its start).
bool surge_started(double start, double& tMicro) {
  tMicro = (e_s1::time - start) * kMicro;
  return tMicro > 0.5 * kMicro * e_s1::delt;
}

}  // namespace

// ---------------------------------------------------------------- surge1

void surge1_cfg(double x1, double x2, double x3, double x4, double peak) {
  using namespace wakro::blocks::layout::surge1;
  // Step 1: every check writes its line; any failure stops the run afterwards.
  bool bad = false;
  if (x2 < x1) bad = true, block_error_line("X1 Cannot be greater than X2");
  if (x3 < x2) bad = true, block_error_line("X2 Cannot be greater than X3");
  if (x4 < x3) bad = true, block_error_line("X3 Cannot be greater than X4");
  if (x1 >= x4) bad = true, block_error_line("X1 must be less than X4");
  if (bad) block_stop("SURGE");
  // Step 2: the parts present and their straight lines.
  const Slots<bool> has = take_rtcl(kRtclSize);
  const Slots<double> c = take_rtcf(kRtcfSize);
  has(kHasRise) = x2 > x1;
  has(kHasFall) = x4 > x3;
  has(kHasFlat) = x3 > x2;
  c(kRiseSlope) = has(kHasRise) ? peak / (x2 - x1) : 0.0;
  c(kFallSlope) = has(kHasFall) ? peak / (x3 - x4) : 0.0;
  c(kRiseIntercept) = -c(kRiseSlope) * x1;
  c(kFallIntercept) = -c(kFallSlope) * x4;
  c(kX1) = x1;
  c(kX2) = x2;
  c(kX3) = x3;
  c(kX4) = x4;
  c(kPeak) = peak;
}

void surge1_exe(double x, double& y) {
  using namespace wakro::blocks::layout::surge1;
  const Slots<bool> has = take_rtcl(kRtclSize);
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double riseSlope = c(kRiseSlope), fallSlope = c(kFallSlope), riseIntercept = c(kRiseIntercept), fallIntercept = c(kFallIntercept);
  const double x1 = c(kX1), x2 = c(kX2), x3 = c(kX3), x4 = c(kX4), peak = c(kPeak);
  y = 0.0;
  if (x <= x1) return;
  if (has(kHasRise) && x <= x2)
    y = riseSlope * x + riseIntercept;
  else if (has(kHasFlat) && x <= x3)
    y = peak;
  else if (has(kHasFall) && x <= x4)
    y = fallSlope * x + fallIntercept;
}

// ---------------------------------------------------------------- surge_ieee1

namespace {

constexpr const char* kIeeeTag = "SURGE_IEEE1 ";

// The preset shapes 1 .. 7: normaliser k, fast coefficient b, slow coefficient a.
struct PresetShape {
  double k, b, a;
};
constexpr PresetShape kPresets[7] = {
    {1.0328, 2.8353, 0.0145},        {4.0, 0.1732, 0.0866},           {1.0363, 2.5293, 0.014576},
    {1.2068, 0.0080519, 0.00035239}, {1.4741, 0.0065795, 0.00072065}, {1.0227, 0.3063, 0.0010222},
    {1.0288, 0.51343, 0.0022548},
};

// The normaliser that makes the peak of exp(-a t) - exp(-b t) equal to 1; the
// peak lies at tp = ln(a/b)/(a - b). Needs a, b > 0 and a != b.
double normaliser(double a, double b) {
  const double tp = std::log(a / b) / (a - b);
  return 1.0 / (std::exp(-a * tp) - std::exp(-b * tp));
}

}  // namespace

void surge_ieee1_cfg(std::int32_t type, std::int32_t polarity, double a, double b, double peak,
                     double start) {
  using namespace wakro::blocks::layout::surge_ieee1;
  double alpha = 0.0, beta = 0.0, k = 0.0;
  if (type == -2) {
    // Front time a and half-value time b, in microseconds.
    if (a < kTiny) block_fatal(kIeeeTag, {"The Wavefront time should be greater than zero"});
    if (b <= a)
      block_fatal(kIeeeTag, {"The half-value time should be greater than the wavefront time"});
    alpha = 0.69315 / b;
    beta = (polarity != 0 ? 3.24318 : 2.74653) / a;
    k = normaliser(alpha, beta);  // a < b, since the tail is longer than the front
  } else if (type == -1) {
    if (std::abs(a - b) < kTiny)
      block_fatal(kIeeeTag, {"The Alpha and Beta values should be different"});
    if (a <= 0.0 || b <= 0.0)
      block_fatal(kIeeeTag, {"The Alpha and Beta values should be greater than zero"});
    alpha = a;
    beta = b;
    k = normaliser(alpha, beta);
  } else if (type >= 1 && type <= 7) {
    const PresetShape& s = kPresets[type - 1];
    alpha = s.a;
    beta = s.b;
    k = s.k;
  } else {
    block_fatal(kIeeeTag, {"The surge type must be -2, -1 or 1 to 7"});
  }
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kA) = alpha;
  c(kB) = beta;
  c(kNormaliser) = k;
  c(kPeak) = peak;
  c(kStart) = start;
}

void surge_ieee1_exe(double& y) {
  using namespace wakro::blocks::layout::surge_ieee1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double a = c(kA), b = c(kB), k = c(kNormaliser), peak = c(kPeak), start = c(kStart);
  double t = 0.0;
  y = surge_started(start, t) ? k * peak * (std::exp(-a * t) - std::exp(-b * t)) : 0.0;
}

// ---------------------------------------------------------------- surge_cigre1

namespace {

constexpr const char* kCigreTag = "SURGE_CIGRE1";
constexpr double kLn2 = 0.6931471805599453;

}  // namespace

void surge_cigre1_cfg(double sm, double th, double tf, double i, double start) {
  using namespace wakro::blocks::layout::surge_cigre1;
  // Step 1: the front A t + B (t/tn)^n up to tn, the tail I1 e^-(t-tn)/tau1 - I2 e^-(t-tn)/tau2.
  double A = 0.0, B = 0.0, n = 1.0, tn = 1.0, tau1 = 1.0, tau2 = 1.0, i1 = 0.0, i2 = 0.0;
  if (std::abs(i) > 1e-6 && sm > 1e-6) {
    const double sn = sm * tf / i;
    n = 1.0 + 2.0 * (sn - 1.0) * (2.0 + 1.0 / sn);
    tn = 0.6 * tf * 3.0 * sn * sn / (1.0 + sn * sn);
    if (std::abs(n - 1.0) < kTiny)
      block_fatal(kCigreTag, {"The front time times the steepness must differ from the peak"});
    A = (0.9 * i * n / tn - sm) / (n - 1.0);
    B = (sm * tn - 0.9 * i) / (n - 1.0);
    tau1 = (th - tn) / kLn2;
    tau2 = 0.1 * i / sm;
    if (tau1 <= 0.0)
      block_fatal(kCigreTag, {"The tail half-value time must be longer than the front"});
    if (std::abs(tau1 - tau2) < kTiny)
      block_fatal(kCigreTag,
                  {"The tail time constants must differ; change the tail half-value time"});
    const double g = tau1 * tau2 / (tau1 - tau2);
    i1 = g * (sm + 0.9 * i / tau2);
    i2 = g * (sm + 0.9 * i / tau1);
  } else {
    // Step 2: no usable surge; the output stays 0.
    block_warn("Specified parameters are unrealistically low. Output is set to zero.");
  }
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kA) = A;
  c(kB) = B;
  c(kN) = n;
  c(kTn) = tn;
  c(kTau1) = tau1;
  c(kTau2) = tau2;
  c(kI1) = i1;
  c(kI2) = i2;
  c(kStart) = start;
}

void surge_cigre1_exe(double& y) {
  using namespace wakro::blocks::layout::surge_cigre1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double A = c(kA), B = c(kB), n = c(kN), tn = c(kTn), tau1 = c(kTau1), tau2 = c(kTau2), i1 = c(kI1),
               i2 = c(kI2), start = c(kStart);
  double t = 0.0;
  if (!surge_started(start, t))
    y = 0.0;
  else if (t < tn)
    y = A * t + B * std::pow(t / tn, n);
  else
    y = i1 * std::exp((tn - t) / tau1) - i2 * std::exp((tn - t) / tau2);
}

// ---------------------------------------------------------------- sgen11

namespace {

namespace sgen = wakro::blocks::layout::sgen11;
// The increment slots of the five components; each one's phase follows it.
constexpr std::int32_t kIncrement[5] = {sgen::kIncrement1, sgen::kIncrement2, sgen::kIncrement3, sgen::kIncrement4,
                                        sgen::kIncrement5};
using sgen::kStopTime;
constexpr std::int32_t kSlots = sgen::kStorSize;
// The amplitude of one harmonic relative to the whole series.
constexpr double kHarmonicScale = 0.7285;
// Threshold of the three-level square: sin(45 degrees).
constexpr double kSquareLevel = 0.7071;

// The set-up at time zero: the console report, the increments and the initial
// phases (each the negative of its increment, so the first step in the window
// lands on phase 0) and the stop time; 0 as stop time when the data are unusable.
void sgen11_setup(const Slots<double>& s, std::int32_t type, double amplitude, double f,
                  std::int32_t m, double rampCycles, double signalCycles, double start) {
  const std::int32_t mp = std::max(m, 1);
  const bool usable = f > 0.0 && start >= 0.0 && type >= 1 && !(type >= 3 && type < m);
  for (std::int32_t k = 1; k <= kSlots; ++k) s(k) = 0.0;
  if (!usable) {
    outmsg(message::kSgen11Mistake);
    return;
  }
  const double fm = f * mp;
  s(kStopTime) = (rampCycles + signalCycles) / fm + start;
  double inc[5] = {kTwoPi * f * e_s1::delt, 0.0, 0.0, 0.0, 0.0};
  if (type == 1) outmsg(message::kSineSignal, 0, 0, 0, f, amplitude);
  if (type == 2) outmsg(message::kSquareSignal, 0, 0, 0, f, amplitude);
  if (type >= 3) {
    outmsg(message::kHarmonicGenerator, type, 0, 0, f);
    const std::int32_t nPrime = m >= 2 ? type + 1 - mp : type;
    outmsg(message::kStartingFrequency, 0, 0, 0, fm);
    outmsg(message::kHarmonicAmplitude, 0, 0, 0, amplitude / (nPrime * kHarmonicScale));
    const double h = std::numbers::pi * f * e_s1::delt;
    inc[0] = (type + 1) * h;
    inc[1] = type * h;
    inc[2] = h;
    if (m >= 2) {
      inc[3] = mp * h;
      inc[4] = (mp + 1) * h;
    }
  }
  outmsg(message::kSignalPeriods, nint_sat(signalCycles), 0, 0, 1.0 / fm, start + rampCycles / fm);
  for (std::int32_t c = 0; c < 5; ++c) {
    s(kIncrement[c]) = inc[c];
    s(kIncrement[c] + 1) = -inc[c];
  }
}

}  // namespace

double sgen11(std::int32_t type, double amplitude, double f, std::int32_t m, double rampCycles,
              double signalCycles, double start) {
  const Slots<double> s = take_stor(kSlots);
  if (e_s1::timezero) sgen11_setup(s, type, amplitude, f, m, rampCycles, signalCycles, start);
  // An inoperative generator (stop time 0) stays at 0 whatever its start.
  const double t = e_s1::time;
  if (s(kStopTime) <= 0.0 || t < start || t > s(kStopTime)) return 0.0;

  // Step 1: the envelope and the phases, each kept in [0, 2 pi].
  const std::int32_t mp = std::max(m, 1);
  const double r = rampCycles < 1.0 ? 1.0 : std::min(1.0, (t - start) * f * mp / rampCycles);
  double sinPhi[5];
  for (std::int32_t c = 0; c < 5; ++c) {
    double& phi = s(kIncrement[c] + 1);
    phi += s(kIncrement[c]);
    if (phi > kTwoPi) phi = std::fmod(phi, kTwoPi);
    sinPhi[c] = std::sin(phi);
  }

  // Step 2: the waveform.
  if (type == 1) return r * amplitude * sinPhi[0];
  if (type == 2) {
    const double level = sinPhi[0] > kSquareLevel ? 1.0 : (sinPhi[0] < -kSquareLevel ? -1.0 : 0.0);
    return r * amplitude * level;
  }
  const double sinBase = std::sin(s(kIncrement[2] + 1) + 1e-6);
  if (std::abs(sinBase) < kTiny) return 0.0;
  if (m < 2) return r * amplitude * sinPhi[0] * sinPhi[1] / (sinBase * kHarmonicScale * type);
  return r * amplitude * (sinPhi[0] * sinPhi[1] - sinPhi[4] * sinPhi[3]) /
         ((type + 1 - mp) * sinBase * kHarmonicScale);
}
