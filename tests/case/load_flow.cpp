// Newton-Raphson load flow (see load_flow.h).
//
// Unknowns: the angle of every bus but the slack, the magnitude of every PQ bus.
// Mismatches dP_i = P_i - Re(V_i conj(sum_k Y_ik V_k)) and dQ_i likewise, with
// the Jacobian in its usual polar form:
//   dP_i/dth_k = V_i V_k (G_ik sin th_ik - B_ik cos th_ik),   k != i
//   dP_i/dth_i = -Q_i - B_ii V_i^2
//   dP_i/dV_k  = V_i (G_ik cos th_ik + B_ik sin th_ik),       k != i
//   dP_i/dV_i  = P_i / V_i + G_ii V_i
//   dQ_i/dth_k = -V_i V_k (G_ik cos th_ik + B_ik sin th_ik),  k != i
//   dQ_i/dth_i = P_i - G_ii V_i^2
//   dQ_i/dV_k  = V_i (G_ik sin th_ik - B_ik cos th_ik),       k != i
//   dQ_i/dV_i  = Q_i / V_i - B_ii V_i
// solved by Gaussian elimination with partial pivoting.
//
// The start: two linear solutions of the network with each PQ bus drawing its
// power as an admittance at 1 pu. The first holds the slack and lets each PV
// bus inject its P as a current, which gives the PV buses' angles; the second
// holds the slack and the PV buses (set magnitude, those angles) and gives the
// PQ buses. Buses joined by a very small impedance so start consistent with
// each other, where a flat start would leave them pulling apart (the power
// through such a branch is its huge admittance times their difference) and
// Newton's steps would not settle.
#include "load_flow.h"

#include <algorithm>
#include <cmath>

namespace casetest {
namespace {

using Vector = std::vector<double>;

// Solves a x = b in place (b becomes x); false when a pivot vanishes.
template <typename T>
bool solve_dense(std::vector<std::vector<T>>& a, std::vector<T>& b) {
  const std::size_t n = b.size();
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < n; ++r)
      if (std::abs(a[r][c]) > std::abs(a[p][c])) p = r;
    if (!(std::abs(a[p][c]) > 1e-300)) return false;
    std::swap(a[p], a[c]);
    std::swap(b[p], b[c]);
    for (std::size_t r = c + 1; r < n; ++r) {
      const T f = a[r][c] / a[c][c];
      for (std::size_t k = c; k < n; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (std::size_t c = n; c-- > 0;) {
    T s = b[c];
    for (std::size_t k = c + 1; k < n; ++k) s -= a[c][k] * b[k];
    b[c] = s / a[c][c];
  }
  return true;
}

std::vector<std::complex<double>> injections(const Matrix& y, const std::vector<std::complex<double>>& v) {
  std::vector<std::complex<double>> s(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::complex<double> current = 0.0;
    for (std::size_t k = 0; k < v.size(); ++k) current += y[i][k] * v[k];
    s[i] = v[i] * std::conj(current);
  }
  return s;
}

// One linear solution of the network for the buses that are not `fixed`: a
// fixed bus is held at polar(vm, th); a PV bus that is not fixed injects its P
// as a current at angle 0; a PQ bus draws its power as an admittance at 1 pu.
bool linear_solution(const Matrix& y, const std::vector<BusSpec>& buses, const std::vector<bool>& fixed,
                     Vector& vm, Vector& th) {
  const std::size_t n = buses.size();
  std::vector<std::size_t> free;
  for (std::size_t i = 0; i < n; ++i)
    if (!fixed[i]) free.push_back(i);
  std::vector<std::vector<std::complex<double>>> a(free.size(), std::vector<std::complex<double>>(free.size()));
  std::vector<std::complex<double>> b(free.size());
  for (std::size_t r = 0; r < free.size(); ++r) {
    const BusSpec& bus = buses[free[r]];
    for (std::size_t c = 0; c < free.size(); ++c) a[r][c] = y[free[r]][free[c]];
    if (bus.kind == BusKind::pq) a[r][r] -= std::conj(std::complex<double>(bus.p, bus.q));
    b[r] = bus.kind == BusKind::pv ? bus.p : 0.0;
    for (std::size_t k = 0; k < n; ++k)
      if (fixed[k]) b[r] -= y[free[r]][k] * std::polar(vm[k], th[k]);
  }
  if (!solve_dense(a, b)) return false;
  for (std::size_t r = 0; r < free.size(); ++r) {
    vm[free[r]] = std::abs(b[r]);
    th[free[r]] = std::arg(b[r]);
  }
  return true;
}

// The start described at the head of this file: the PV buses' angles from a
// first solution with only the slack held, then every other bus from a second
// one with the slack and the PV buses held at their set magnitudes.
bool start_values(const Matrix& y, const std::vector<BusSpec>& buses, Vector& vm, Vector& th) {
  std::vector<bool> fixed(buses.size());
  for (std::size_t i = 0; i < buses.size(); ++i) fixed[i] = buses[i].kind == BusKind::slack;
  if (!linear_solution(y, buses, fixed, vm, th)) return false;
  for (std::size_t i = 0; i < buses.size(); ++i) {
    if (buses[i].kind != BusKind::pv) continue;
    fixed[i] = true;
    vm[i] = buses[i].v;
  }
  return linear_solution(y, buses, fixed, vm, th);
}

}  // namespace

LoadFlowResult newton_raphson(const Matrix& y, const std::vector<BusSpec>& buses,
                              std::int32_t max_iterations, double tolerance) {
  const std::size_t n = buses.size();
  Vector vm(n), th(n);
  for (std::size_t i = 0; i < n; ++i) {
    vm[i] = buses[i].kind == BusKind::pq ? 1.0 : buses[i].v;
    th[i] = buses[i].kind == BusKind::slack ? buses[i].theta : 0.0;
  }
  LoadFlowResult r;
  if (!start_values(y, buses, vm, th)) return r;
  // Positions of the unknowns: angles, then the PQ magnitudes.
  std::vector<std::size_t> angle, magnitude;
  for (std::size_t i = 0; i < n; ++i) {
    if (buses[i].kind != BusKind::slack) angle.push_back(i);
    if (buses[i].kind == BusKind::pq) magnitude.push_back(i);
  }
  const std::size_t m = angle.size() + magnitude.size();

  for (;;) {
    std::vector<std::complex<double>> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = std::polar(vm[i], th[i]);
    const std::vector<std::complex<double>> s = injections(y, v);

    // 1. Mismatches.
    Vector f(m);
    double worst = 0.0;
    for (std::size_t a = 0; a < angle.size(); ++a) f[a] = buses[angle[a]].p - s[angle[a]].real();
    for (std::size_t b = 0; b < magnitude.size(); ++b)
      f[angle.size() + b] = buses[magnitude[b]].q - s[magnitude[b]].imag();
    for (double x : f) worst = std::max(worst, std::abs(x));
    r.v = v;
    r.s = s;
    r.mismatch = worst;
    if (worst < tolerance) {
      r.converged = true;
      return r;
    }
    if (r.iterations >= max_iterations) return r;

    // 2. Jacobian.
    auto dp_dth = [&](std::size_t i, std::size_t k) {
      if (i == k) return -s[i].imag() - y[i][i].imag() * vm[i] * vm[i];
      const double t = th[i] - th[k];
      return vm[i] * vm[k] * (y[i][k].real() * std::sin(t) - y[i][k].imag() * std::cos(t));
    };
    auto dp_dv = [&](std::size_t i, std::size_t k) {
      if (i == k) return s[i].real() / vm[i] + y[i][i].real() * vm[i];
      const double t = th[i] - th[k];
      return vm[i] * (y[i][k].real() * std::cos(t) + y[i][k].imag() * std::sin(t));
    };
    auto dq_dth = [&](std::size_t i, std::size_t k) {
      if (i == k) return s[i].real() - y[i][i].real() * vm[i] * vm[i];
      const double t = th[i] - th[k];
      return -vm[i] * vm[k] * (y[i][k].real() * std::cos(t) + y[i][k].imag() * std::sin(t));
    };
    auto dq_dv = [&](std::size_t i, std::size_t k) {
      if (i == k) return s[i].imag() / vm[i] - y[i][i].imag() * vm[i];
      const double t = th[i] - th[k];
      return vm[i] * (y[i][k].real() * std::sin(t) - y[i][k].imag() * std::cos(t));
    };
    std::vector<Vector> j(m, Vector(m));
    for (std::size_t a = 0; a < angle.size(); ++a) {
      for (std::size_t c = 0; c < angle.size(); ++c) j[a][c] = dp_dth(angle[a], angle[c]);
      for (std::size_t c = 0; c < magnitude.size(); ++c) j[a][angle.size() + c] = dp_dv(angle[a], magnitude[c]);
    }
    for (std::size_t b = 0; b < magnitude.size(); ++b) {
      for (std::size_t c = 0; c < angle.size(); ++c) j[angle.size() + b][c] = dq_dth(magnitude[b], angle[c]);
      for (std::size_t c = 0; c < magnitude.size(); ++c)
        j[angle.size() + b][angle.size() + c] = dq_dv(magnitude[b], magnitude[c]);
    }

    // 3. The correction.
    if (!solve_dense(j, f)) return r;
    ++r.iterations;
    for (std::size_t a = 0; a < angle.size(); ++a) th[angle[a]] += f[a];
    for (std::size_t b = 0; b < magnitude.size(); ++b) vm[magnitude[b]] += f[angle.size() + b];
  }
}

Matrix admittance_matrix(const Network& n) {
  Matrix y(kPoints, std::vector<std::complex<double>>(kPoints, 0.0));
  for (const SeriesElement& e : n.series) {
    const auto f = static_cast<std::size_t>(e.from - 1), t = static_cast<std::size_t>(e.to - 1);
    const std::complex<double> ys = 1.0 / e.z;
    y[f][f] += ys + e.y_half;
    y[t][t] += ys + e.y_half;
    y[f][t] -= ys;
    y[t][f] -= ys;
  }
  for (const auto& [p, ysh] : n.shunts) y[static_cast<std::size_t>(p - 1)][static_cast<std::size_t>(p - 1)] += ysh;
  return y;
}

std::vector<BusSpec> case_buses(const MainFile& m) {
  std::vector<BusSpec> buses(kPoints);
  for (std::size_t k = 0; k < kSources.size(); ++k) {
    BusSpec& b = buses[static_cast<std::size_t>(kSources[k].point - 1)];
    b.kind = k == kSlack ? BusKind::slack : BusKind::pv;
    b.p = kSources[k].p_pu;
    b.v = kSources[k].v_pu;
  }
  for (const Load& l : kLoads) {
    const BranchLine& first = m.branches.at(static_cast<std::size_t>(l.first_branch - 1));
    BusSpec& b = buses[static_cast<std::size_t>(point_of(first.from) - 1)];
    b.p -= 3.0 * l.p_mw / kSbase;
    b.q -= 3.0 * l.q_mvar / kSbase;
  }
  return buses;
}

}  // namespace casetest
