// A Newton-Raphson load flow in polar form: the reference for the simulated
// case's steady state. Buses are the slack (V and angle given), PV buses (P and
// V given) and PQ buses (P and Q given, constant power); the network is a dense
// nodal admittance matrix in per unit.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "case_network.h"

namespace casetest {

enum class BusKind { slack, pv, pq };

// Specified values: p and q are injections (a load is negative).
struct BusSpec {
  BusKind kind = BusKind::pq;
  double p = 0.0, q = 0.0;
  double v = 1.0, theta = 0.0;  // the slack's and the PV buses' voltage; the start
};

using Matrix = std::vector<std::vector<std::complex<double>>>;

struct LoadFlowResult {
  std::vector<std::complex<double>> v;  // bus voltages
  std::vector<std::complex<double>> s;  // injections V conj(Y V)
  std::int32_t iterations = 0;          // Jacobian solutions made
  double mismatch = 0.0;                // largest |dP|, |dQ| of the result
  bool converged = false;
};

// Solves from a linear start (load_flow.cpp); stops when the largest mismatch
// is below tolerance, after max_iterations solutions, or when the start's
// system or the Jacobian is singular.
LoadFlowResult newton_raphson(const Matrix& y, const std::vector<BusSpec>& buses,
                              std::int32_t max_iterations, double tolerance);

// The case's network as nodal admittances of its points (index = point - 1).
Matrix admittance_matrix(const Network& n);

// The case's buses: the sources' set-points at their terminal points, the loads
// (the points of their branches in Main.dta) as constant-power injections.
std::vector<BusSpec> case_buses(const MainFile& m);

}  // namespace casetest
