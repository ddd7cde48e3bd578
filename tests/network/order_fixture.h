// Helpers of the convergence tests of switchings: runs of one case at a step and
// at half of it, with either solver, sampled on the coarse grid; the error ratio
// of the two; and the current balance of every node in a sample.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/e_s5.h"
#include "network/klu_adapter.h"
#include "sparse_fixture.h"

namespace nettest {

// Largest sum of the currents leaving a node of subsystem 1 (branches and
// transformer windings, each counted from its from-node to its to-node).
inline double worst_node_balance() {
  const std::int32_t n = e_s0::mbus(1);
  std::vector<double> sum(static_cast<std::size_t>(n) + 1, 0.0);
  const auto add = [&sum](std::int32_t f, std::int32_t t, double i) {
    if (f > 0) sum[static_cast<std::size_t>(f)] += i;
    if (t > 0) sum[static_cast<std::size_t>(t)] -= i;
  };
  for (std::int32_t br = 1; br <= int2::insb(1); ++br)
    add(branches::ief(br, 1), branches::iet(br, 1), branches::cbr(br, 1));
  for (std::int32_t k = 1; k <= e_s5::jset; ++k)
    for (std::int32_t w = 1; w <= e_s5::msiz(k); ++w)
      add(e_s5::mcb(w, k), e_s5::ncb(w, k), e_s0::cdctr(w, k));
  double worst = 0.0;
  for (std::int32_t k = 1; k <= n; ++k) worst = std::max(worst, std::abs(sum[static_cast<std::size_t>(k)]));
  return worst;
}

// Samples of one run: per step the values `sample` takes, and the largest node
// balance against the largest branch current seen.
struct Samples {
  std::vector<std::vector<double>> at;  // at[step][quantity]
  double balance = 0.0;                 // largest node balance / largest branch current
};

template <class Base = SparseNetwork>
class OrderNetworkOf : public Base {
 protected:
  // Builds a case at step dt (the callback sizes the network, adds its branches,
  // sets model_ and returns the number of steps), optionally on the sparse solver,
  // runs it and keeps every `every`-th sample.
  Samples run_case(const std::function<std::int32_t(double)>& build, double dt, bool sparse,
                   const std::function<std::vector<double>()>& sample, std::int32_t every = 1) {
    this->release_all_and_reset();
    wakro::release_sparse_solver();
    const std::int32_t steps = build(dt);
    if (sparse) this->force_sparse();
    this->start_run(steps);
    Samples r;
    double peak = 0.0;
    double worst = 0.0;
    for (std::int32_t n = 0; n < steps; ++n) {
      this->step();
      for (std::int32_t br = 1; br <= int2::insb(1); ++br)
        peak = std::max(peak, std::abs(branches::cbr(br, 1)));
      // From the first step on: the time-zero solution of a source switched on at
      // time zero holds the data's inductor currents beside node voltages of half
      // a step later (the first step moves them back to time zero).
      if (n >= 1) worst = std::max(worst, worst_node_balance());
      if (n % every == 0) r.at.push_back(sample());
    }
    r.balance = worst / peak;
    if (sparse) {
      int3::enable_sparse = false;
      int3::use_klu.fill(false);
    }
    return r;
  }
};
using OrderNetwork = OrderNetworkOf<>;

// Largest difference of quantity q between a run and its reference on the same
// samples from sample `from` on, relative to the largest reference value.
inline double error_of(const Samples& a, const Samples& ref, std::size_t q, std::size_t from = 0) {
  double err = 0.0;
  double peak = 0.0;
  const std::size_t n = std::min(a.at.size(), ref.at.size());
  for (std::size_t k = 0; k < n; ++k) peak = std::max(peak, std::abs(ref.at[k][q]));
  for (std::size_t k = from; k < n; ++k) err = std::max(err, std::abs(a.at[k][q] - ref.at[k][q]));
  return err / peak;
}

}  // namespace nettest
