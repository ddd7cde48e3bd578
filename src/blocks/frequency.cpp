// e_meas_freq: RMS and frequency of one AC quantity (see frequency.h).
#include "blocks/frequency.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "blocks/continuous.h"
#include "blocks/conventions.h"
#include "blocks/events.h"
#include "blocks/lag_frame.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;

constexpr double kNoRating = 1e-6;          // f0 or vbase at or below this is no rating
constexpr double kSmoothingPerHz = 3000.0;  // a = kSmoothingPerHz delt / f0
constexpr double kShortestPeriods = 0.75;   // a shorter crossing interval is noise
constexpr double kNoInterval = 1e6;         // shortest interval when there is no f0
constexpr double kLagPerA = 0.01;           // time constant of the mean's lag, per a
constexpr double kRmsPerMean = 1.1107207345395917;  // pi / (2 sqrt 2): RMS over rectified mean
constexpr double kLowSignal = 0.001;        // below this fraction of vbase: report f0

using namespace wakro::blocks::layout::meas_freq;

// A crossing in one direction at time tc: the interval from the last one of that
// direction gives the frequency when it is long enough.
void take_crossing(const Slots<double>& f, const Slots<bool>& l, std::int32_t last, std::int32_t first,
                   double tc, double& freq) {
  const double P = tc - f(last);
  if (l(first)) {
    l(first) = false;
    f(last) = tc;
  }
  if (P > f(kShortest)) {
    freq = 1.0 / P;
    f(last) = tc;
  }
}

}  // namespace

void e_meas_freq(double vbase, double f0, double x, double& vrms, double& freq) {
  const Slots<double> f = wakro::blocks::take_storf(kStorfSize);
  const Slots<bool> l = wakro::blocks::take_storl(kStorlSize);

  // 1. Time zero: the constants and the first-crossing flags.
  if (e_s1::timezero) {
    const bool rated = f0 > kNoRating;
    f(kA) = rated ? kSmoothingPerHz * e_s1::delt / f0 : 0.0;
    f(kB) = 1.0 / (1.0 + f(kA));
    f(kShortest) = rated ? kShortestPeriods / f0 : kNoInterval;
    f(kFreq) = f0;
    l(kFirstFalling) = true;
    l(kFirstRising) = true;
  }

  // 2. The crossing, and the smoothed mean of |x| as an RMS estimate.
  freq = f(kFreq);
  XPair crossing{};
  wakro_zcd(x, crossing);
  const std::int32_t d = wakro::blocks::nint_sat(crossing[0]);
  const double a = f(kA);
  const double y = (std::fabs(x) * a + f(kMean)) * f(kB);
  const double m = wakro::blocks::lag_frame::realp2(1.0, kLagPerA * a, y);  // realp2 inline
  f(kMean) = m;
  const double r = m * kRmsPerMean;
  vrms = (std::max(f(kHigh), r) + std::min(f(kLow), r)) / 2.0;
  if (d == 0) return;

  // 3. A crossing: the interval since the last one of the same direction.
  const double tc = e_s1::time - crossing[1];
  if (d < 0) {
    take_crossing(f, l, kFalling, kFirstFalling, tc, freq);
  } else {
    take_crossing(f, l, kRising, kFirstRising, tc, freq);
  }

  // 4. Too small a signal has no frequency of its own: report the rated one.
  if (vbase <= kNoRating || vrms / vbase < kLowSignal) freq = f0;
  f(kFreq) = freq;
  f(kHigh) = vrms;
  f(kLow) = vrms;
}
