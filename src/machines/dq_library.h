// The frame transform and the machine-data library of the older two-axis
// machine models.
//
//   trdqo         phase quantities a, b, c to the rotating d-q-0 frame (2/3
//                 scaling, the zero sequence as the mean) and back;
//   param         typical data by rating class into the machine's data block;
//   sat, satm     conversion of a block's saturation curve into ratio form,
//                 with the monotonic check;
//   lsatdataconv, msatdataconv   the same two conversions on caller arrays;
//   satrn, satrn1, satrn2        evaluation of a saturation table with
//                 exponential extension beyond its segments;
//   xinv          the inverse of an axis's 2x2 or 3x3 winding matrix;
//   axis          the axis derivative vectors from those inverses.
//
// The data block (DataSlot) is e_s2::stor from e_s2::nexc on: slot k is
// stor(nexc + k). satrn1 and satrn2 read their table from the configuration
// store instead: slot k is rtcf(nrtcf + k - 1), slot 1 being the next free one.
//
// Data faults never give Inf or NaN: a zero divisor or a logarithm of a
// non-positive ratio is reported as a warning under the component's ids
// ("MAC100/SQC100: ...") and the value or curve concerned is left as it was (a
// table value falls back to its nearer point). A one-point table (P2.x
// negative) gives y = y1 and g = y1.
#pragma once

#include <array>
#include <cstdint>

#include "model/constants.h"

namespace wakro::machines {

// Named slots of the data block that these routines read and write.
enum DataSlot : std::int32_t {
  kDMutual = 1,          // d-axis mutual term of the flux (axis)
  kTypD4 = 4,            // typical data written by param (slots 4, 5, 6)
  kQWinding1R = 5,       // q-axis winding resistance terms (axis)
  kQWinding2R = 6,
  kDSource = 7,          // d-axis source terms (axis)
  kQSource = 8,
  kArmatureR = 24,       // armature resistance; the negative rating before param
  kLeakageX = 27,        // leakage reactance Xa
  kCurve1Base = 28,      // base of curve 1's x scaling
  kCurve2Leak = 29,      // added to Xa for curve 2's x scaling
  kSpeed = 30,           // cross-coupling factor of the flux terms (axis)
  kQMutual = 31,
  kQWinding1RB = 35,     // second set's resistances and sources (axis)
  kQWinding2RB = 36,
  kDSourceB = 37,
  kQSourceB = 38,
  kCommonLeak = 54,      // common leakage term of the winding matrices
  kTypical58 = 58,       // typical value divided by slot 60
  kTypical59 = 59,
  kTypical58Divisor = 60,
  kCurve1Flag0 = 61,     // the point before curve 1 (x), and its form flag
  kCurve1Flag = 62,
  kCurve1 = 63,          // nine points (x, y) at 63 .. 80
  kCurve2Flag0 = 81,
  kCurve2Flag = 82,
  kCurve2 = 83,          // points (x, y) from 83 on
};

// Inverse elements written by xinv after slot k: (1,1) (1,2) (1,3) (2,2) (2,3) (3,3).
inline constexpr std::int32_t kInverseOffset = 14;
// axis raises its block positions by this much.
inline constexpr std::int32_t kAxisStride = 13;

// The rotating d-q-0 frame at one angle theta: the cosines and sines of theta,
// of theta - 2 pi / 3 and of the third phase (minus the sum of the other two).
struct DqFrame {
  double c0 = 0.0, c1 = 0.0, c2 = 0.0;
  double s0 = 0.0, s1 = 0.0, s2 = 0.0;
};

// The frame at theta, computed.
DqFrame dq_frame_at(double theta);

// a, b, c to d, q, z in frame f (2/3 scaling, the zero sequence as the mean):
// trdqo's forward direction.
inline void to_dq(const DqFrame& f, double a, double b, double c, double& d, double& q, double& z) {
  d = kTwoThirdsRounded * (f.c0 * a + f.c1 * b + f.c2 * c);
  q = kTwoThirdsRounded * (f.s0 * a + f.s1 * b + f.s2 * c);
  z = (a + b + c) * kThirdRounded;
}

// d, q, z in frame f to a, b, c: trdqo's backward direction.
inline void from_dq(const DqFrame& f, double d, double q, double z, double& a, double& b, double& c) {
  a = f.c0 * d + f.s0 * q + z;
  b = f.c1 * d + f.s1 * q + z;
  c = f.c2 * d + f.s2 * q + z;
}

}  // namespace wakro::machines

// direction < 0: a, b, c from d, q, z; otherwise d, q, z from a, b, c.
void trdqo(double& a, double& b, double& c, double& d, double& q, double& z, double theta, std::int32_t direction);

void param();
void sat(std::int32_t k);
void satm();
void lsatdataconv(double X, std::array<double, 10>& x, std::array<double, 10>& y);
void msatdataconv(double X, std::array<double, 10>& x, std::array<double, 10>& y);

// Table value y and incremental value g (slope of x y over the segment) at x;
// P1 at slots k-2, k-1 and P2 at slots k, k+1.
void satrn(double x, double& y, double& g, std::int32_t k);
void satrn1(double x, double& y, double& g, std::int32_t k);
void satrn2(double x, double& y, double& g, std::int32_t k);

// mode 3: inverse of [b a a; a d c; a c e]; mode 2: of [b a; a d]; any other
// mode is refused with a warning and writes nothing.
void xinv(std::int32_t k, std::int32_t mode);

void axis(const std::array<double, 3>& i, std::array<double, 3>& u, const std::array<double, 3>& j,
          std::array<double, 3>& w, std::int32_t& k1, std::int32_t& k2);
