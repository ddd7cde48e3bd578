// Phase-angle meters: the angle of the positive-sequence component of a
// three-phase set (mphase3ps) or of one signal (mphase1ps) against a reference
// rotating at a given frequency, the angle between two three-phase sets (phas3p),
// and the angle between a signal and a reference sinusoid from the times of their
// zero crossings (d1ph10).
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on):
//   mphase3ps  STORF 1: reference angle theta; then realpole of Y (STORF 5,
//              STORI 2), then realpole of X (STORF 5, STORI 2)
//   mphase1ps  STORF 3: k = 1 / (2 pi f delt), theta, previous input; then the
//              two realpole as mphase3ps
//   phas3p     none
//   d1ph10     stor 10: 1 previous |x|, 2 previous |r|, 3 detection threshold,
//              4 reference state (1 after a minimum, 0 falling inside the band),
//              5 time of the last reference minimum, 6 reference minimum pending
//              (0 = found), 7 input state, 8 time of the last input minimum,
//              9 input minimum pending, 10 output angle
//
// The reference of mphase3ps / mphase1ps is a cosine (reference switch 0) or a
// sine (switch 1) starting at time zero; the angle is in radians, or degrees
// when the degree switch is 1; both X and Y within 1e-10 of 0 give 0. The
// realpole lags start at their input, so a steady set is measured from the first
// step. mphase1ps at f = 0 stops at its time-zero pass with "Frequency of the
// reference must not be zero" (tag "MPHASE1PS"), a data error rather than an
// infinite derivative gain.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace mphase3ps {  // STORF before the two realpole records
enum : std::int32_t { kTheta = 1, kStorfOwn = kTheta };
}
namespace mphase1ps {  // STORF before the two realpole records
enum : std::int32_t { kGain = 1, kTheta, kPrevInput, kStorfOwn = kPrevInput };  // kGain = 1 / (2 pi f delt)
}
namespace d1ph10 {  // stor
enum : std::int32_t {
  kPrevInput = 1, kPrevRef, kThreshold, kRefState, kRefWhen, kRefPending, kInState, kInWhen, kInPending, kAngle,
  kStorSize = kAngle
};
}
}  // namespace wakro::blocks::layout

void mphase3ps(std::int32_t deg, std::int32_t ref, double va, double vb, double vc, double T, double f, double& out);
void mphase1ps(std::int32_t deg, std::int32_t ref, double v, double T, double f, double& out);
// The angle by which set 1 leads set 2, radians in (-pi, pi]; 0 when either RMS
// is at most 1e-4. rms1, rms2 receive rms3ph of each set.
double phas3p(double a1, double b1, double c1, double a2, double b2, double c2, double& rms1, double& rms2);
// The angle (radians) between x and A sin(w time + phi degrees) from their
// minima of |.| inside the band 0.2 A: 0 until both have been seen, then the
// last angle, held.
double d1ph10(double x, double phi, double w, double A);
