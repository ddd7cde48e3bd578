// The sector frequency meters (see sector_frequency.h).
#include "blocks/sector_frequency.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "blocks/conventions.h"
#include "blocks/rms_meters.h"
#include "blocks/slots.h"
#include "diag/outmsg.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;

using wakro::kTwoPi;
constexpr double kSector = 1.047197551196598;     // 60 degrees in radians
constexpr double kStartOffset = 1.042;            // first turn-on time is -kStartOffset / w0
constexpr double kFirstCheck = 0.1;               // s: first magnitude check
constexpr double kCheckEvery = 0.001;             // s between magnitude checks
constexpr double kSqrt3 = 1.732050807568877;
using wakro::kThird;
constexpr double kQuarter = 0.25;
constexpr double kInvTwoPi = 0.159154943091895;
constexpr double kUnbalance = 0.05;               // zero sequence per unit of VR that is reported
constexpr double kNoValue = 1e-6;
constexpr double kShortestTS = 0.001;
constexpr std::int32_t kUnbalanceText = 263;
constexpr std::int32_t kZeroArgumentText = 422;
constexpr double kTimeTolerance = 1e-9;           // of delt, in the check-time comparison

using Flags = std::array<std::int32_t, 6>;

Flags sector_flags(double va, double vb, double vc) {
  return {va > 0.0, vc <= 0.0, vb > 0.0, va <= 0.0, vc > 0.0, vb <= 0.0};
}

double check_interval() { return std::max(e_s1::delt, kCheckEvery); }
bool check_due(double next) { return e_s1::time >= next - kTimeTolerance * e_s1::delt; }

// The awaited sector as an index 1 .. 6.
std::int32_t sector_of(double stored) { return std::clamp(wakro::blocks::nint_sat(stored), 1, 6); }

double spread(double va, double vb, double vc) { return std::max({va, vb, vc}) - std::min({va, vb, vc}); }

void report_unbalance(double va, double vb, double vc, double VR) {
  const double u = std::fabs((va + vb + vc) / VR);
  if (u > kUnbalance) outmsg(kUnbalanceText, 0, 0, 0, VR, u);
}

// 2 pi over the sum of six durations from slot first on.
double raw_frequency(const Slots<double>& s, std::int32_t first) {
  double sum = 0.0;
  for (std::int32_t j = first; j < first + 6; ++j) sum += s(j);
  return kTwoPi / sum;
}

}  // namespace

void fwav22(double va, double vb, double vc, double VR, double WO, double TS, double& f, double& w, double& dw,
            double& V) {
  using namespace wakro::blocks::layout::fwav22;
  const Flags flags = sector_flags(va, vb, vc);
  // 1. Time zero: the arguments first, then the initial state.
  if (e_s1::timezero && (std::fabs(TS) <= kNoValue || std::fabs(WO) <= kNoValue || std::fabs(VR) <= kNoValue))
    outmsg(kZeroArgumentText);
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  if (e_s1::timezero) {
    const double D = check_interval();
    for (std::int32_t j = 1; j <= 6; ++j) s(kFlags - 1 + j) = flags[j - 1];
    s(kAwaited) = 2.1;
    s(kLastOn) = -kStartOffset / WO;
    s(kNextCheck) = kFirstCheck;
    s(kRaw) = s(kSlow) = s(kOut) = WO;
    s(kA1) = D / TS;
    s(kA2) = D * WO * kThird;
    for (std::int32_t j = kDur; j < kDur + 6; ++j) s(j) = kSector / WO;
    s(kA3) = D * WO * kQuarter;
    s(kMag) = rms3ph(va, vb, vc) * kSqrt3;
  }

  // 2. The turn-on of the awaited sector: its duration, when plausible.
  const std::int32_t k = sector_of(s(kAwaited));
  if (flags[k - 1] - s(kFlags - 1 + k) >= 0.5) {
    const double D = e_s1::time - s(kLastOn);
    s(kLastOn) = e_s1::time;
    s(kAwaited) += 1.0;
    if (s(kAwaited) > 6.5) s(kAwaited) = 1.1;
    const double E = kSector / s(kRaw);
    const double deviation = (D - E) / E;
    if (deviation >= -0.9 && deviation <= 1.9) {
      s(kDur - 1 + k) = D;
      s(kRaw) = raw_frequency(s, kDur);
    }
  }
  for (std::int32_t j = 1; j <= 6; ++j) s(kFlags - 1 + j) = flags[j - 1];

  // 3. The magnitude check: unbalance, magnitude, and the filters while the
  //    voltage is at least 80 % of rated.
  if (check_due(s(kNextCheck))) {
    s(kNextCheck) = e_s1::time + kCheckEvery;
    report_unbalance(va, vb, vc, VR);
    const double x = spread(va, vb, vc) * 0.7407;
    s(kMag) += (x - s(kMag)) * s(kA3);
    if (VR <= 1.25 * std::min(x, s(kMag))) {
      s(kSlow) += (s(kRaw) - s(kSlow)) * s(kA1);
      s(kOut) += (s(kRaw) - s(kOut)) * s(kA2);
    } else {
      for (std::int32_t j = kDur; j < kDur + 6; ++j) s(j) = kSector / s(kOut);
    }
  }
  w = s(kOut);
  f = w * kInvTwoPi;
  dw = (s(kSlow) - WO) * TS;
  V = s(kMag);
}

void e_fwav1_cfg(double VR, double f0, double TS) {
  using namespace wakro::blocks::layout::fwav1;
  const double w0 = kTwoPi * f0;
  if (std::fabs(TS) < kShortestTS || std::fabs(w0) <= kNoValue || std::fabs(VR) <= kNoValue)
    wakro::blocks::block_fatal("FWAV22", {"Exteremely small values in Time constant, voltage or Frequency"});
  const double D = check_interval();
  const Slots<double> c = wakro::blocks::take_rtcf(kRtcfSize);
  c(kVR) = VR;
  c(kW0) = w0;
  c(kTS) = TS;
  c(kD) = D;
  c(kDOverTS) = D / TS;
  c(kW0D) = w0 * D;
  c(kInvVR) = 1.0 / VR;
}

void e_fwav1_exe(std::span<const double, 3> V, double& w, double& dw, double& Vpu) {
  using namespace wakro::blocks::layout::fwav1;
  const Slots<double> c = wakro::blocks::take_rtcf(kRtcfSize);
  const Slots<std::int32_t> si = wakro::blocks::take_stori(kStoriSize);
  const Slots<double> s = wakro::blocks::take_storf(kStorfSize);
  const double va = V[0], vb = V[1], vc = V[2], VR = c(kVR), w0 = c(kW0), TS = c(kTS);
  const Flags flags = sector_flags(va, vb, vc);
  if (e_s1::timezero) {
    si(kAwaited) = 2;
    for (std::int32_t j = 1; j <= 6; ++j) si(kFlags - 1 + j) = flags[j - 1];
    s(kLastOn) = -kStartOffset / w0;
    s(kNextCheck) = kFirstCheck;
    s(kRaw) = s(kSlow) = s(kOut) = w0;
    for (std::int32_t j = kDur; j < kDur + 6; ++j) s(j) = kSector / w0;
    s(kMag) = rms3ph(va, vb, vc) * kSqrt3;
  }

  // 1. The turn-on of the awaited sector, placed inside the step on the phase
  //    voltage that its flag follows (flags 1, 4: va; 2, 5: vc; 3, 6: vb).
  constexpr std::array<std::int32_t, 6> kPhase{0, 2, 1, 0, 2, 1};
  const std::int32_t k = std::clamp(si(kAwaited), 1, 6);
  if (flags[k - 1] - si(kFlags - 1 + k) >= 1) {
    const std::int32_t p = kPhase[k - 1];
    const double x = V[p], d = x - s(kPrev + p);
    const double frac = std::fabs(d) <= wakro::kTiny ? 0.5 : x / d;
    const double tOn = e_s1::time - frac * e_s1::delt;
    const double D = tOn - s(kLastOn);
    s(kLastOn) = tOn;
    si(kAwaited) = k == 6 ? 1 : k + 1;
    s(kDur - 1 + si(kAwaited)) = D;
    s(kRaw) = raw_frequency(s, kDur);
  }
  for (std::int32_t j = 1; j <= 6; ++j) si(kFlags - 1 + j) = flags[j - 1];
  for (std::int32_t p = 0; p < 3; ++p) s(kPrev + p) = V[p];

  // 2. The magnitude check; the filters while at least 1 % of rated is present.
  if (check_due(s(kNextCheck))) {
    s(kNextCheck) = e_s1::time + kCheckEvery;
    report_unbalance(va, vb, vc, VR);
    const double x = spread(va, vb, vc) * 0.7404804896930607;
    s(kMag) += (x - s(kMag)) * c(kW0D) * kQuarter;
    if (VR <= 100.0 * std::min(x, s(kMag))) {
      s(kSlow) += (s(kRaw) - s(kSlow)) * c(kDOverTS);
      s(kOut) += (s(kRaw) - s(kOut)) * c(kW0D) * kThird;
    } else {
      for (std::int32_t j = kDur; j < kDur + 6; ++j) s(j) = kSector / s(kOut);
    }
  }
  w = s(kOut);
  dw = (s(kSlow) - w0) * TS;
  Vpu = s(kMag) * c(kInvVR);
}
