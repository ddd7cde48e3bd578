// The numerics of the induction machine models (see induction_numerics.h).
#include "machines/induction_numerics.h"

#include <cmath>
#include <utility>

#include "diag/console.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"

namespace wakro::machines {

namespace {

constexpr std::int32_t kCurvePoints = 10;
constexpr std::int32_t kSeverityError = 2;
constexpr std::int32_t kSingleLine = 1;
constexpr std::int32_t kNoContext = 0;

[[noreturn]] void induction_refuse(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, kSeverityError, kSingleLine, text);
  wakro_quit(kInductionTag, kNoContext);
}

// A curve of up to ten interleaved points, read through get(k), k = 0 for x1.
struct Curve {
  std::array<double, kCurvePoints> x{}, y{};
  std::int32_t m = 0;
  double x1 = 0.0, y1 = 0.0;  // the first point as stored, read even when m = 0
};

template <class Get>
Curve read_curve(Get get) {
  Curve c;
  c.x1 = get(0);
  c.y1 = get(1);
  for (std::int32_t i = 0; i < kCurvePoints; ++i) {
    const double x = get(2 * i);
    if (x < -kTiny) break;
    c.x[static_cast<std::size_t>(i)] = x;
    c.y[static_cast<std::size_t>(i)] = get(2 * i + 1);
    c.m = i + 1;
  }
  return c;
}

bool curve_sound(const Curve& c) {
  if (std::fabs(c.x1) > kTiny || std::fabs(c.y1) > kTiny) return false;
  for (std::int32_t i = 1; i < c.m; ++i) {
    const auto u = static_cast<std::size_t>(i);
    if (!(c.x[u] - c.x[u - 1] >= kTiny) || !(c.y[u] - c.y[u - 1] >= kTiny)) return false;
  }
  return true;
}

// The ratio of the saturated to the unsaturated flux at x; 1 on the first
// segment, the last segment extended beyond the last point.
double curve_factor(const Curve& c, double x) {
  if (c.m < 3 || x <= c.x[1]) return 1.0;
  const auto slope = [&c](std::int32_t i) {  // segment i (1-based) from point i to i + 1
    const auto u = static_cast<std::size_t>(i - 1);
    return (c.y[u + 1] - c.y[u]) / (c.x[u + 1] - c.x[u]);
  };
  std::int32_t k = c.m - 1;
  for (std::int32_t j = 2; j <= c.m - 1; ++j) {
    if (x <= c.x[static_cast<std::size_t>(j)]) {
      k = j;
      break;
    }
  }
  const auto u = static_cast<std::size_t>(k - 1);
  return (c.y[u] + slope(k) * (x - c.x[u])) / (slope(1) * x);
}

}  // namespace

void trns_nv(Phases& abc, Phases& dq0, double theta, std::int32_t direction) {
  const double c0 = std::cos(theta), c1 = std::cos(theta - kThirdTurnRounded), c2 = std::cos(theta + kThirdTurnRounded);
  const double s0 = std::sin(theta), s1 = std::sin(theta - kThirdTurnRounded), s2 = std::sin(theta + kThirdTurnRounded);
  if (direction >= 1) {
    const double a = abc[0], b = abc[1], c = abc[2];
    dq0[0] = (a * c0 + b * c1 + c * c2) * kTwoThirdsRounded;
    dq0[1] = (a * s0 + b * s1 + c * s2) * kTwoThirdsRounded;
    dq0[2] = (a + b + c) * kThirdRounded;
  } else {
    const double d = dq0[0], q = dq0[1], z = dq0[2];
    abc[0] = d * c0 + q * s0 + z;
    abc[1] = d * c1 + q * s1 + z;
    abc[2] = d * c2 + q * s2 + z;
  }
}

void stormat_nv(WindingMatrix& m, std::int32_t offset, std::int32_t direction, std::int32_t n) {
  const std::int32_t base = e_s2::nexc + offset;
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= n; ++j) {
      double& s = e_s2::stor(base + (i - 1) * n + j);
      if (direction >= 1) {
        s = at(m, i, j);
      } else {
        at(m, i, j) = s;
      }
    }
  }
}

void inverse_nv(const WindingMatrix& a, WindingMatrix& inverse, std::int32_t n) {
  // [A | I], n rows of 2n, row-major in a fixed work array.
  std::array<std::array<double, 2 * kWindingOrder>, kWindingOrder> w{};
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = 0; j < n; ++j) w[i][j] = at(a, i + 1, j + 1);
    w[i][n + i] = 1.0;
  }
  const std::int32_t cols = 2 * n;
  for (std::int32_t k = 0; k < n; ++k) {
    double p = w[k][k];
    if (std::fabs(p) <= kTiny) {
      std::int32_t r = -1;
      for (std::int32_t i = k + 1; i < n; ++i) {
        if (w[i][k] > kTiny) {
          r = i;
          break;
        }
      }
      if (r < 0) induction_refuse("Unable to find the inverse of the matrix");
      for (std::int32_t j = k; j < cols; ++j) std::swap(w[k][j], w[r][j]);
      p = w[k][k];
    }
    for (std::int32_t j = k + 1; j < cols; ++j) {
      if (std::fabs(w[k][j]) > kTiny) w[k][j] /= p;
    }
    for (std::int32_t i = 0; i < n; ++i) {
      if (i == k) continue;
      const double f = w[i][k];
      for (std::int32_t j = k + 1; j < cols; ++j) w[i][j] -= w[k][j] * f;
    }
  }
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = 0; j < n; ++j) at(inverse, i + 1, j + 1) = w[i][n + j];
  }
}

void frmlmat_nv(const ReactanceVector& x, double scale, WindingMatrix& m, std::int32_t n) {
  const double s = 1.0 / scale;
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i; j <= n; ++j) at(m, i, j) = x[0] * s;
  }
  for (std::int32_t i = 1; i <= n; ++i) at(m, i, i) += x[static_cast<std::size_t>(i)] * s;
  // Mutual leakages of the rotor circuit pairs, X(7..12) in this order.
  constexpr std::array<std::pair<std::int32_t, std::int32_t>, 6> kPairs{
      {{2, 3}, {2, 4}, {2, 5}, {3, 4}, {3, 5}, {4, 5}}};
  for (std::size_t p = 0; p < kPairs.size(); ++p) {
    const auto [i, j] = kPairs[p];
    if (j > n) continue;
    const double xp = x[6 + p] * s;
    at(m, i, i) += xp;
    at(m, j, j) += xp;
    at(m, i, j) += xp;
  }
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) at(m, i, j) = at(m, j, i);
  }
}

void euler_nv(FluxStep& f, const WindingMatrix& inverse, double w, const Phases& v, double wb, double valpha,
              double vbeta, std::int32_t n) {
  const double dt = e_s1::delt;
  WindingVector pd{}, pq{}, id{}, iq{};
  for (std::int32_t i = 0; i < n; ++i) {
    pd[i] = f.psi_d[i] + dt * f.dpsi_d[i];
    pq[i] = f.psi_q[i] + dt * f.dpsi_q[i];
  }
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = 0; j < n; ++j) {
      id[i] += at(inverse, i + 1, j + 1) * pd[j];
      iq[i] += at(inverse, i + 1, j + 1) * pq[j];
    }
  }
  const double i0 = (f.psi_0 + dt * f.dpsi_0) * wb / f.x0;
  WindingVector fd{}, fq{};
  for (std::int32_t i = 0; i < n; ++i) {
    fd[i] = -f.r[i] * id[i];
    fq[i] = -f.r[i] * iq[i];
  }
  fd[0] += v[0] - pq[0] * wb * w;
  fq[0] += v[1] + wb * w * pd[0];
  fd[1] += valpha;
  fq[1] += vbeta;
  for (std::int32_t i = 0; i < n; ++i) {
    f.psi_d[i] += (fd[i] + f.dpsi_d[i]) * dt * 0.5;
    f.psi_q[i] += (fq[i] + f.dpsi_q[i]) * dt * 0.5;
  }
  f.psi_0 += ((v[2] - i0 * f.r[0]) + f.dpsi_0) * dt * 0.5;
}

void satur_nvrt(double x, double& factor, std::int32_t offset) {
  const std::int32_t base = rt_config::nrtcf + offset;
  const Curve c = read_curve([base](std::int32_t k) { return rt_config::rtcf(base + k); });
  if (e_s1::timezero && !curve_sound(c)) induction_refuse("ERROR in saturation data");
  factor = curve_factor(c, x);
}

void satur_nv(double x, double& factor, std::int32_t selector) {
  const std::int32_t base = e_s2::nexc + (selector == 1 ? kMagnetisingCurveSlot : kLeakageCurveSlot);
  const Curve c = read_curve([base](std::int32_t k) { return e_s2::stor(base + k); });
  if (e_s1::timezero && !curve_sound(c)) {
    wakro::console() << "ERROR in saturation data\n"
                     << "First point need to be 0,0 and Second point\n"
                     << "should be in the unsaturated region\n"
                     << "Points should be entered in ascending order.\n";
    wakro_quit(kInductionTag, kNoContext);
  }
  factor = curve_factor(c, x);
}

}  // namespace wakro::machines
