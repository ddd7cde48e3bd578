// Frequency measurement of one sampled AC quantity: its RMS value from a smoothed
// mean of |x|, and its frequency from the time between successive zero crossings
// in the same direction.
//
// e_meas_freq(vbase, f0, x, vrms, freq)
//   vbase  in   rated value of the signal (for the low-signal test)
//   f0     in   rated frequency, Hz
//   x      in   the present sample
//   vrms   out  RMS estimate: the mean of the present estimate and the one held
//               at the last crossing
//   freq   out  frequency, Hz; it changes only at accepted crossings
//
// Slots, in the order taken (wakro::blocks::layout::meas_freq below):
//   STORF 9: a = 3000 delt / f0, b = 1 / (1 + a), the shortest accepted crossing
//            interval 0.75 / f0, the smoothed mean of |x|, the times of the last
//            falling and rising crossings, the frequency, the high and low value
//            of the RMS hold (f0 <= 1e-6: a = 0, b = 1, shortest interval 1e6 s)
//   STORL 2: the first falling crossing still to come, the first rising one
//   stor 3:  the crossing detector (wakro_zcd), then the lag (realp2)
// The mean, the crossing times and the hold start from the storage as the run's
// clearing left it.
#pragma once

#include <cstdint>

#include "blocks/continuous.h"
#include "blocks/events.h"

namespace wakro::blocks::layout::meas_freq {
enum : std::int32_t { kA = 1, kB, kShortest, kMean, kFalling, kRising, kFreq, kHigh, kLow, kStorfSize = kLow };
enum : std::int32_t { kFirstFalling = 1, kFirstRising, kStorlSize = kFirstRising };
constexpr std::int32_t kStorSize = std::int32_t{zcd::kStorSize} + realp2::kStorSize;
}  // namespace wakro::blocks::layout::meas_freq

void e_meas_freq(double vbase, double f0, double x, double& vrms, double& freq);
