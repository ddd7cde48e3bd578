// Small dense work matrices of the winding formation: a square matrix indexed
// from 1, the in-place inversion without pivot search, and the stamp of a change
// of winding admittance into a subsystem's conductance matrix.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace wakro::tf {

// An n x n real matrix, column-major, indexed from 1; sized at set-up only.
struct Square {
  std::int32_t n = 0;
  std::vector<double> a;

  void resize(std::int32_t order) {
    n = order;
    a.assign(static_cast<std::size_t>(order) * static_cast<std::size_t>(order), 0.0);
  }
  double& operator()(std::int32_t i, std::int32_t j) {
    return a[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n) + static_cast<std::size_t>(i - 1)];
  }
  double operator()(std::int32_t i, std::int32_t j) const {
    return a[static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(n) + static_cast<std::size_t>(i - 1)];
  }
};

// Inverts m in place by pivoting on the diagonal in order, without search.
// Returns false, leaving m partly eliminated, when a pivot's magnitude is not at
// least `limit` (a NaN pivot fails too).
bool invert_in_place(Square& m, double limit);

// c = a * b (all of order n).
void multiply(const Square& a, const Square& b, Square& c);

// Adds the winding admittance change d (order msiz(k)) of transformer k to the
// conductance matrix of subsystem ss through the network's admittance stamp: the
// windings' terminals (e_s5::winding_terminals) are the stamp's nodes, and d
// seen from them is the nodal admittance A' d A of the winding incidence A.
// Its workspace is kept between calls; reserve_stamp(n) makes room for order n
// ahead (at time zero) so that a later stamp of that order allocates nothing.
void stamp_windings(std::string_view caller, std::int32_t k, std::int32_t ss, const Square& d);
void reserve_stamp(std::int32_t n);

}  // namespace wakro::tf
