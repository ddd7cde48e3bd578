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
// Slots: STORF 1 (the filter cutoff last designed); the STOR of pfft49 (reserved
// even with the filter off), then 4N + 6 of its own: the time of the next sample,
// the buffer position of the latest sample (a real), the previous input, the
// buffer of L samples, N magnitudes, N phases, the DC (wakro::blocks::layout::
// ftn180 below). pfft49 keeps 49 reals of STOR: the 6 x 6 transition matrix, the
// input vector, the state, the previous input. ftrac2 keeps 2: the estimate, the
// last angle.
//
// Phase forms: 1 degrees; 2 radians + pi/2 (a sine reference), less 2 pi above
// pi; 3 degrees + 90, less 360 above 180; any other value radians. Magnitude
// form 0 gives RMS values, any other peak values.
//
// Fatal errors stop under "ON_LINE_FFT ": a sample interval shorter than the
// time step, an N + 1 that is not a power of two from 8 to 1024, f0 <= 0.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace pfft49 {  // stor: the 6 x 6 transition matrix column by column, the input vector, the state
enum : std::int32_t {
  kOrder = 6, kTransition = 1, kInputVector = kTransition + kOrder * kOrder, kState = kInputVector + kOrder,
  kPrevious = kState + kOrder, kStorSize = kPrevious
};
}
namespace ftn180 {
enum : std::int32_t { kCutoff = 1, kStorfSize = kCutoff };  // STORF
// stor after pfft49's: the head, then the buffer of L = 2(N+1) samples, N
// magnitudes and N phases (harmonic h at the head plus h), the DC last.
enum : std::int32_t { kNextSample = 1, kPosition, kPrevious, kBufferHead = kPrevious };
constexpr std::int32_t buffer_length(std::int32_t n) { return 2 * (n + 1); }
constexpr std::int32_t magnitude_head(std::int32_t n) { return kBufferHead + buffer_length(n); }
constexpr std::int32_t phase_head(std::int32_t n) { return magnitude_head(n) + n; }
constexpr std::int32_t dc_slot(std::int32_t n) { return phase_head(n) + n + 1; }
constexpr std::int32_t stor_own(std::int32_t n) { return dc_slot(n); }
constexpr std::int32_t stor_size(std::int32_t n) { return pfft49::kStorSize + stor_own(n); }
}
namespace ftrac2 {  // stor
enum : std::int32_t { kEstimate = 1, kLastAngle, kStorSize = kLastAngle };
}
}  // namespace wakro::blocks::layout

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
