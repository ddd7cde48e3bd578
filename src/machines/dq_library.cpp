// The frame transform and the machine-data library (see dq_library.h).
#include "machines/dq_library.h"

#include <cmath>
#include <string>

#include "blocks/last_call.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "model/constants.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"

namespace {

using namespace wakro::machines;

constexpr std::int32_t kCurvePoints = 9;
constexpr std::int32_t kTablePoints = 10;
constexpr std::int32_t kMonotonicText = 264;  // numbered console text of a non-monotonic curve

double& slot(std::int32_t k) { return e_s2::stor(e_s2::nexc + k); }

void library_warning(const std::string& text) {
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, "MAC100/SQC100: " + text);
}

// ------------------------------------------------------------------ param

struct TypicalClass {
  double s4, s5, s6, s24, s27, s28, s29, s58_numerator, s59, s61, s62;
  std::array<double, 2 * kCurvePoints> curve1;
};

constexpr TypicalClass kSmall{0.424, 0.071, 0.311, 0.0767, 0.0799, 1.917, 0.171, 136.0, 0.01, 0.0, 1.0,
                              {0.099, 1.0, 0.148, 0.98, 0.194, 0.978, 0.246, 0.965, 0.301, 0.941, 0.358, 0.923,
                               0.424, 0.886, 0.894, 0.561, 1.219, 0.428}};
constexpr TypicalClass kMedium{0.105, 0.298, 0.018, 0.066, 0.046, 3.86, 0.122, 200.0, 0.008, 0.0, 1.0,
                               {0.151, 1.0, 0.215, 0.984, 0.248, 0.975, 0.307, 0.919, 0.342, 0.88, 0.377, 0.838,
                                0.429, 0.77, 0.493, 0.684, 0.555, 0.646}};
constexpr TypicalClass kLarge{0.0539, 0.0507, 0.0095, 0.015, 0.091, 6.319, 0.1418, 373.3, 0.0062, 0.0, 0.0,
                              {0.078, 0.5, 0.111, 0.7, 0.128, 0.8, 0.159, 0.938, 0.177, 1.0, 0.195, 1.05, 0.222,
                               1.1, 0.255, 1.125, 0.287, 1.197}};
// Curve 2 of the small class, already in ratio form (slots 83 .. 100).
constexpr std::array<double, 2 * kCurvePoints> kSmallCurve2{0.781, 1.0,   0.995, 0.951, 1.312, 0.934,
                                                            1.637, 0.872, 2.094, 0.824, 2.856, 0.759,
                                                            3.821, 0.7,   4.714, 0.659, 5.287, 0.642};
// Curve 2 of the medium and large classes as raw data, then the end marker.
constexpr std::array<double, 8> kRawCurve2{1.196, 0.286, 1.82, 0.4, 2.861, 0.564, 5.882, 0.981};
constexpr double kEndMarker = -1.0;

void write_class(const TypicalClass& t) {
  slot(kTypD4) = t.s4;
  slot(kQWinding1R) = t.s5;
  slot(kQWinding2R) = t.s6;
  slot(kArmatureR) = t.s24;
  slot(kLeakageX) = t.s27;
  slot(kCurve1Base) = t.s28;
  slot(kCurve2Leak) = t.s29;
  if (slot(kTypical58Divisor) != 0.0) {
    slot(kTypical58) = t.s58_numerator / slot(kTypical58Divisor);
  } else {
    library_warning("typical data: slot 60 is zero, slot 58 left unchanged.");
  }
  slot(kTypical59) = t.s59;
  slot(kCurve1Flag0) = t.s61;
  slot(kCurve1Flag) = t.s62;
  for (std::int32_t k = 0; k < 2 * kCurvePoints; ++k) slot(kCurve1 + k) = t.curve1[static_cast<std::size_t>(k)];
}

// -------------------------------------------------------------- table value

// A table of up to ten points, P1 first: Pj.x at position first + 2 (j - 1),
// read from the data block, the configuration store or a local copy.
enum class Source { kBlock, kConfig, kCopy };
struct Table {
  Source source;
  std::int32_t first;                     // position of P1.x
  const double* copy = nullptr;           // kCopy: P1.x at copy[0]
  double read(std::int32_t k) const {
    switch (source) {
      case Source::kBlock: return e_s2::stor(e_s2::nexc + k);
      case Source::kConfig: return rt_config::rtcf(rt_config::nrtcf + k - 1);
      case Source::kCopy: break;
    }
    return copy[k - first];
  }
  double x(std::int32_t j) const { return read(first + 2 * (j - 1)); }
  double y(std::int32_t j) const { return read(first + 2 * (j - 1) + 1); }
};

// g, the slope of x y between the two points; the left value on a zero span.
double slope_of_xy(double xa, double ya, double xb, double yb, const char* where) {
  if (xb == xa) {
    library_warning(std::string(where) + ": two table points share an x; incremental value taken as y.");
    return ya;
  }
  return (yb * xb - ya * xa) / (xb - xa);
}

void interpolate(const Table& t, std::int32_t lo, std::int32_t hi, double x, double& y, double& g,
                 const char* where) {
  const double xl = t.x(lo), yl = t.y(lo), xh = t.x(hi), yh = t.y(hi);
  if (xh == xl) {
    library_warning(std::string(where) + ": two table points share an x; value taken at the lower point.");
    y = yl;
    g = yl;
    return;
  }
  y = (x - xl) * (yh - yl) / (xh - xl) + yl;
  g = (yh * xh - yl * xl) / (xh - xl);
}

void extend(const Table& t, std::int32_t a, std::int32_t b, double x, double& y, double& g, const char* where) {
  const double xa = t.x(a), ya = t.y(a), xb = t.x(b), yb = t.y(b);
  g = slope_of_xy(xa, ya, xb, yb, where);
  if (xa == xb || !(ya != 0.0) || !(yb / ya > 0.0)) {
    library_warning(std::string(where) + ": the extension's points give no positive ratio; value held at its point.");
    y = ya;
    return;
  }
  y = ya * std::exp((xa - x) * std::log(yb / ya) / (xa - xb));
}

// The search of satrn / satrn1 (tests P3.x .. P10.x) and satrn2 (P3.x .. P9.x,
// extending with P9-P10 from P9.x on).
void evaluate(const Table& t, std::int32_t last_tested, double x, double& y, double& g, const char* where) {
  if (t.x(2) < 0.0) {  // one point: no segment
    y = t.y(1);
    g = t.y(1);
    return;
  }
  if (x < t.x(2)) {
    interpolate(t, 1, 2, x, y, g, where);
    return;
  }
  for (std::int32_t j = 3; j <= last_tested; ++j) {
    const double xj = t.x(j);
    if (xj < 0.0) {
      extend(t, j - 2, j - 1, x, y, g, where);
      return;
    }
    if (xj > x) {
      interpolate(t, j - 1, j, x, y, g, where);
      return;
    }
  }
  extend(t, kTablePoints - 1, kTablePoints, x, y, g, where);
}

// ------------------------------------------------------------ 3x3 helpers

using Mat3 = std::array<std::array<double, 3>, 3>;

Mat3 unfold(std::int32_t k) {
  const double e11 = slot(k + 1), e12 = slot(k + 2), e13 = slot(k + 3), e22 = slot(k + 4), e23 = slot(k + 5),
               e33 = slot(k + 6);
  return {{{e11, e12, e13}, {e12, e22, e23}, {e13, e23, e33}}};
}

std::array<double, 3> times(const Mat3& m, const std::array<double, 3>& v) {
  std::array<double, 3> r{};
  for (std::size_t row = 0; row < 3; ++row) r[row] = m[row][0] * v[0] + m[row][1] * v[1] + m[row][2] * v[2];
  return r;
}

// The frame of trdqo's angle. A model transforms several quantities with one
// angle in a row, so the frame of the last angle is kept for the next call with it.
wakro::blocks::LastCall<DqFrame> g_frame;

// A new angle: its frame computed and kept, then the transform.
[[gnu::noinline]] const DqFrame& new_frame(double theta) {
  return g_frame.of(theta, [](double th) { return dq_frame_at(th); });
}

}  // namespace

DqFrame wakro::machines::dq_frame_at(double theta) {
  DqFrame f;
  f.c0 = std::cos(theta);
  f.c1 = std::cos(theta - wakro::kThirdTurnRounded);
  f.c2 = -f.c0 - f.c1;
  f.s0 = std::sin(theta);
  f.s1 = std::sin(theta - wakro::kThirdTurnRounded);
  f.s2 = -f.s0 - f.s1;
  return f;
}

void trdqo(double& a, double& b, double& c, double& d, double& q, double& z, double theta,
           std::int32_t direction) {
  const DqFrame& f = g_frame.holds(theta) ? g_frame.kept() : new_frame(theta);
  if (direction < 0) {
    from_dq(f, d, q, z, a, b, c);
  } else {
    to_dq(f, a, b, c, d, q, z);
  }
}

void param() {
  const double rating = -slot(kArmatureR);
  if (rating <= 10.0) {
    write_class(kSmall);
    slot(kCurve2Flag0) = 0.0;
    slot(kCurve2Flag) = 1.0;
    for (std::int32_t k = 0; k < 2 * kCurvePoints; ++k) slot(kCurve2 + k) = kSmallCurve2[static_cast<std::size_t>(k)];
    return;
  }
  const bool large = rating > 500.0;
  write_class(large ? kLarge : kMedium);
  if (large) satm();
  slot(kCurve2Flag0) = 0.0;
  slot(kCurve2Flag) = 0.0;
  for (std::int32_t k = 0; k < 8; ++k) slot(kCurve2 + k) = kRawCurve2[static_cast<std::size_t>(k)];
  slot(kCurve2 + 8) = kEndMarker;
  slot(kCurve2 + 9) = kEndMarker;
  sat(kCurve2);
}

void sat(std::int32_t k) {
  // 1. Conversion into ratio form, unless the flag says it is done.
  const double flag = slot(k - 1);
  if (!(flag > 0.999 && flag <= 1.001)) {
    const double x1 = slot(k);
    double scale_divisor = 1.0, scale_numerator = 1.0;
    if (x1 == 0.0) {
      library_warning("saturation curve: its first x is zero; curve left unchanged.");
      return;
    }
    const double c = slot(k + 1) / x1;
    if (k == kCurve1) {
      scale_numerator = c * std::sqrt(2.0);
      scale_divisor = slot(kCurve1Base);
    } else if (k == kCurve2) {
      scale_numerator = c;
      scale_divisor = slot(kLeakageX) + slot(kCurve2Leak);
    }
    bool zero = c == 0.0 || scale_divisor == 0.0;
    for (std::int32_t p = 0; p < kCurvePoints && !zero; ++p) {
      const double x = slot(k + 2 * p);
      if (x < 0.0) break;
      zero = x == 0.0;
    }
    if (zero) {
      library_warning("saturation curve: a zero x or scale; curve left unchanged.");
      return;
    }
    const double s = scale_numerator / scale_divisor;
    slot(k - 1) = 1.0;
    for (std::int32_t p = 0; p < kCurvePoints; ++p) {
      double& x = slot(k + 2 * p);
      if (x < 0.0) break;
      double& y = slot(k + 2 * p + 1);
      y = y / (x * c);
      x = x * s;
    }
  }
  // 2. The monotonic check, the slots before the curve as its point 0.
  if (slot(k) < 0.0) return;
  double xp = slot(k - 2), yp = slot(k - 1);
  for (std::int32_t p = 0; p < kCurvePoints; ++p) {
    const double x = slot(k + 2 * p), y = slot(k + 2 * p + 1);
    if (p > 0 && x < 0.0) break;
    if (x < xp || y > yp) {
      outmsg(kMonotonicText);
      return;
    }
    xp = x;
    yp = y;
  }
}

void satm() {
  const double y1 = slot(kCurve1 + 1);
  if (y1 >= 0.999 && y1 < 1.001) return;
  const double xa = slot(kLeakageX);
  const double x1 = slot(kCurve1);
  if (x1 < 0.0) {
    slot(kCurve1Flag) = 1.0;
    return;
  }
  const double m = x1 != 0.0 ? y1 / x1 - xa : 0.0;
  bool zero = m == 0.0;
  for (std::int32_t p = 1; p < kCurvePoints && !zero; ++p) {
    const double x = slot(kCurve1 + 2 * p);
    if (x < 0.0) break;
    zero = x == 0.0;
  }
  if (zero) {
    library_warning("saturation curve 1: a zero x or slope; curve left unchanged.");
    return;
  }
  slot(kCurve1Flag) = 1.0;
  slot(kCurve1 + 1) = (y1 / x1 - xa) / m;
  for (std::int32_t p = 1; p < kCurvePoints; ++p) {
    const double x = slot(kCurve1 + 2 * p);
    if (x < 0.0) break;
    double& y = slot(kCurve1 + 2 * p + 1);
    y = (y / x - xa) / m;
  }
}

void lsatdataconv(double X, std::array<double, 10>& x, std::array<double, 10>& y) {
  if (std::fabs(y[0] - 1.0) > 0.001) {
    const double c = x[1] != 0.0 ? y[1] / x[1] : 0.0;
    bool zero = c == 0.0 || X == 0.0;
    for (std::size_t i = 1; i < x.size() && !zero && x[i] >= 0.0; ++i) zero = x[i] == 0.0;
    if (zero) {
      library_warning("saturation curve: a zero x, slope or base; curve left unchanged.");
      return;
    }
    y[0] = 1.0;
    for (std::size_t i = 1; i < x.size() && x[i] >= 0.0; ++i) {
      y[i] = y[i] / (x[i] * c);
      x[i] = x[i] * c / X;
    }
  }
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (x[i] < 0.0) return;
    if (x[i - 1] > x[i] || y[i] > y[i - 1]) {
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, "Saturation Curve not Monotonic");
      return;
    }
  }
}

void msatdataconv(double X, std::array<double, 10>& x, std::array<double, 10>& y) {
  if (std::fabs(y[1] - 1.0) <= 0.001) return;
  const double m = x[1] != 0.0 ? y[1] / x[1] - X : 0.0;
  bool zero = m == 0.0;
  for (std::size_t i = 1; i < x.size() && !zero && x[i] >= 0.0; ++i) zero = x[i] == 0.0;
  if (zero) {
    library_warning("saturation curve: a zero x or slope; curve left unchanged.");
    return;
  }
  y[0] = 1.0;
  for (std::size_t i = 1; i < x.size() && x[i] >= 0.0; ++i) y[i] = (y[i] / x[i] - X) / m;
}

void satrn(double x, double& y, double& g, std::int32_t k) {
  evaluate(Table{Source::kBlock, k - 2}, kTablePoints, x, y, g, "SATRN");
}

void satrn1(double x, double& y, double& g, std::int32_t k) {
  evaluate(Table{Source::kConfig, k - 2}, kTablePoints, x, y, g, "SATRN1");
}

void satrn2(double x, double& y, double& g, std::int32_t k) {
  // The ten points are copied first, then searched in the copy.
  const Table stored{Source::kConfig, k - 2};
  std::array<double, 2 * kTablePoints> copy{};
  for (std::int32_t p = 0; p < 2 * kTablePoints; ++p) copy[static_cast<std::size_t>(p)] = stored.read(k - 2 + p);
  evaluate(Table{Source::kCopy, 0, copy.data()}, kTablePoints - 1, x, y, g, "SATRN2");
}

void xinv(std::int32_t k, std::int32_t mode) {
  const double a = slot(k + 1), b = slot(kCommonLeak) + a, c = slot(k + 2) + a, d = slot(k + 3) + c,
               e = slot(k + 4) + c;
  std::array<double, 6> inv{};
  if (mode == 3) {
    // Cofactors of [b a a; a d c; a c e], the determinant along row 1.
    const double c11 = d * e - c * c, c12 = -(a * e - c * a), c13 = a * c - d * a;
    const double c22 = b * e - a * a, c23 = -(b * c - a * a), c33 = b * d - a * a;
    const double det = b * c11 + a * c12 + a * c13;
    if (det == 0.0) {
      library_warning("winding matrix is singular; its inverse is left unchanged.");
      return;
    }
    inv = {c11 / det, c12 / det, c13 / det, c22 / det, c23 / det, c33 / det};
  } else if (mode == 2) {
    const double det = b * d - a * a;
    if (det == 0.0) {
      library_warning("winding matrix is singular; its inverse is left unchanged.");
      return;
    }
    inv = {d / det, -a / det, 0.0, b / det, 0.0, 0.0};
  } else {
    library_warning("winding matrix inverse asked for mode " + std::to_string(mode) + "; only 2 and 3 exist.");
    return;
  }
  for (std::int32_t n = 0; n < 6; ++n) slot(k + kInverseOffset + n) = inv[static_cast<std::size_t>(n)];
}

void axis(const std::array<double, 3>& i, std::array<double, 3>& u, const std::array<double, 3>& j,
          std::array<double, 3>& w, std::int32_t& k1, std::int32_t& k2) {
  k1 += kAxisStride;
  k2 += kAxisStride;
  const Mat3 A = unfold(k1), B = unfold(k2);
  u = {0.0, 0.0, 0.0};
  w = {0.0, 0.0, 0.0};
  const double psi1 = slot(kCommonLeak) * i[0] + slot(kDMutual) * (i[0] + i[1] + i[2]);
  const double psi2 = slot(kCommonLeak) * j[0] + slot(kQMutual) * (j[0] + j[1] + j[2]);
  const std::array<double, 3> r{slot(kDSource) - slot(kArmatureR) * i[0] - slot(kSpeed) * psi2,
                                slot(kQSource) - slot(kQWinding1R) * i[1], -slot(kQWinding2R) * i[2]};
  const std::array<double, 3> s{slot(kDSourceB) - slot(kArmatureR) * j[0] + slot(kSpeed) * psi1,
                                slot(kQSourceB) - slot(kQWinding1RB) * j[1], -slot(kQWinding2RB) * j[2]};
  u = times(A, r);
  w = times(B, s);
}
