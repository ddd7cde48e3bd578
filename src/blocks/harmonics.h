// On-line harmonic analysis: the frequency scanner ftn180 with its anti-alias
// low-pass pfft49, its transform ftcaln and the filter compensation zftn; the
// sequence components of three scanned phases (ftseqn); and a frequency tracker
// driven by a phase angle (ftrac2).
//
// ftn180 samples its input L = 2(N+1) times per period of f0 (N+1 a power of two
// from 8 to 1024), by linear interpolation between the inputs of two steps, into
// a one-period ring buffer whose position 1 holds the samples at whole periods
// from time zero; after each sample it outputs the DC and the magnitudes and
// phases of harmonics 1 .. N of the last period, phases referred to time zero.
// Slots: STORF 1 (the filter cutoff last designed); STOR 49 of pfft49 (reserved
// even with the filter off), then 4N + 6 of its own:
//   1 time of the next sample, 2 buffer position of the latest sample (a real),
//   3 previous input, 4 .. L+3 the buffer, L+4 .. L+N+3 magnitudes,
//   L+N+4 .. L+2N+3 phases, L+2N+4 DC.
// pfft49 keeps 49 reals of STOR: 1..36 transition matrix, 37..42 input vector,
// 43..48 state, 49 previous input. ftrac2 keeps 2: the estimate, the last angle.
//
// Phase forms: 1 degrees; 2 radians + pi/2 (a sine reference), less 2 pi above
// pi; 3 degrees + 90, less 360 above 180; any other value radians. Magnitude
// form 0 gives RMS values, any other peak values.
//
// Fatal errors stop under "ON_LINE_FFT ": a sample interval shorter than the
// time step, an N + 1 that is not a power of two from 8 to 1024, f0 <= 0.
#pragma once

#include <cstdint>

// Largest number of harmonics of the scanner, and its largest transform length.
inline constexpr std::int32_t kFtMaxHarmonics = 1023;
inline constexpr std::int32_t kFtMaxLength = 2 * (kFtMaxHarmonics + 1);

// The scanner; magnitudes and phases receive N reals, index the buffer position
// just written (0 on a call without a new sample).
void ftn180(std::int32_t magnitudeForm, std::int32_t phaseForm, std::int32_t n, std::int32_t filter,
            std::int32_t spare, double f0, double x, std::int32_t& index, double* magnitudes,
            double* phases, double& dc);

// Sixth-order low-pass 1/(c6 (s/wc)^6 + ... + c0), wc = 2 pi fc, trapezoidal.
double pfft49(double x, double fc, double c0, double c1, double c2, double c3, double c4, double c5,
              double c6, std::int32_t redesign);

// DC, magnitudes and phases (radians) of harmonics 1 .. N of the L = 2(N+1)
// samples of buffer.
void ftcaln(const double* buffer, std::int32_t n, double* magnitudes, double* phases, double& dc);

// Removes the gain and the phase lag of pfft49's Butterworth filter, designed at
// 0.84375 (N+1) f0, from harmonics 1 .. N.
void zftn(std::int32_t n, double* magnitudes, double* phases);
// The compensation tables, k = 1 .. 1023: gain sqrt(1 + u^12) and phase lag of
// the unit Butterworth low-pass at u = k/864.
double zftn_gain(std::int32_t k);
double zftn_phase(std::int32_t k);

// Positive, negative and zero sequence of three spectra (N harmonics each,
// phases in radians); the results replace (ma, mb, mc) and (pa, pb, pc).
void ftseqn(std::int32_t n, std::int32_t phaseForm, double* ma, double* mb, double* mc, double* pa,
            double* pb, double* pc);

// Frequency estimate corrected from the drift of theta (radians for angle unit 0
// or 2, else degrees) once time >= 2/f.
void ftrac2(std::int32_t on, std::int32_t angleUnit, double theta, double fStart, double& f);
