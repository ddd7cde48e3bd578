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
// Slots, in the order taken:
//   STORF 9: 1 a = 3000 delt / f0, 2 b = 1 / (1 + a), 3 shortest accepted crossing
//            interval 0.75 / f0, 4 smoothed mean of |x|, 5 time of the last
//            falling crossing, 6 time of the last rising crossing, 7 frequency,
//            8 high and 9 low value of the RMS hold
//            (f0 <= 1e-6: a = 0, b = 1, shortest interval 1e6 s)
//   STORL 2: 1 first falling crossing still to come, 2 first rising one
//   stor 3:  the crossing detector (wakro_zcd, 1), then the lag (realp2, 2)
// Slots 4, 5, 6, 8 and 9 start from the storage as the run's clearing left it.
#pragma once

void e_meas_freq(double vbase, double f0, double x, double& vrms, double& freq);
