// The floor of a network step: the network of a benchmark case solved by KLU
// alone, with nothing of the engine around it. It is what a step cannot go below,
// and the engine benchmarks report their time as a multiple of it.
//
// Built from the branches of subsystem 1 as bench_case.h fills them (series R-L
// branches with their companion terms; GEQ, G2L, RLG, RSC read once) and a Norton
// conductance at node 1. The conductance matrix is packed into compressed columns,
// analysed and factorised once. A floor step is then:
//   history     ccl = v12l g2l + i,  h = ccl rlg,  summed into the nodes;
//   right side  b = 1 kA into node 1 minus the history sum;
//   solution    klu_solve in place;
//   new state   u = v_f - v_t,  i = geq u + h,  v12l = rlg u - rsc ccl;
// the refactorising variant also changes the Norton conductance at node 1 each
// step (one entry of the compressed matrix) and calls klu_refactor before the
// solve. Nothing is allocated per step.
#pragma once

#include <klu.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"

namespace wakro_bench {

// Repetitions of every timed block that a ratio to the floor is formed from.
inline constexpr int kRepetitions = 7;

// Seconds per step of `step`: blocks of as many steps as make a block last at
// least 2 ms (doubled from one step until one does), then kRepetitions such
// blocks, the median of their times per step. Engine and floor figures are all
// taken this way, so that their ratios compare the same statistic.
template <class Step>
double median_seconds_per_step(Step&& step) {
  using clock = std::chrono::steady_clock;
  std::int64_t steps = 1;
  const auto block = [&step, &steps] {
    const auto t0 = clock::now();
    for (std::int64_t k = 0; k < steps; ++k) step();
    return std::chrono::duration<double>(clock::now() - t0).count();
  };
  while (block() < 2e-3 && steps < (std::int64_t{1} << 24)) steps *= 2;
  std::array<double, kRepetitions> per_step{};
  for (double& t : per_step) t = block() / static_cast<double>(steps);
  std::nth_element(per_step.begin(), per_step.begin() + kRepetitions / 2, per_step.end());
  return per_step[kRepetitions / 2];
}

class Floor {
 public:
  // Reads the branches of subsystem 1 (nodes 1..n) and factorises once.
  explicit Floor(std::int32_t n) : n_(n) {
    using namespace branches;
    klu_defaults(&common_);
    common_.tol = 0.1;
    const std::int32_t nbr = int2::insb(1);
    for (std::int32_t b = 1; b <= nbr; ++b) {
      if (!inductor(b, 1) || switch_(b, 1)) continue;  // the R-L branches of the network
      from_.push_back(ief(b, 1) - 1);
      to_.push_back(iet(b, 1) - 1);
      geq_.push_back(geq(b, 1));
      g2l_.push_back(g2l(b, 1));
      rlg_.push_back(rlg(b, 1));
      rsc_.push_back(rsc(b, 1));
    }
    const std::size_t m = from_.size();
    i_.assign(m, 0.0);
    v12l_.assign(m, 0.0);
    ccl_.assign(m, 0.0);
    h_.assign(m, 0.0);
    x_.assign(static_cast<std::size_t>(n), 0.0);
    pack();
    symbolic_ = klu_analyze(n_, colp_.data(), rowi_.data(), &common_);
    numeric_ = klu_factor(colp_.data(), rowi_.data(), val_.data(), symbolic_, &common_);
  }
  ~Floor() {
    if (numeric_ != nullptr) klu_free_numeric(&numeric_, &common_);
    if (symbolic_ != nullptr) klu_free_symbolic(&symbolic_, &common_);
  }
  Floor(const Floor&) = delete;
  Floor& operator=(const Floor&) = delete;

  // One step; with refactor, the Norton conductance at node 1 changes first.
  void step(bool refactor) {
    const std::size_t m = from_.size();
    // History and right-hand side.
    std::fill(x_.begin(), x_.end(), 0.0);
    x_[0] = 1.0;
    for (std::size_t k = 0; k < m; ++k) {
      ccl_[k] = v12l_[k] * g2l_[k] + i_[k];
      h_[k] = ccl_[k] * rlg_[k];
      if (from_[k] >= 0) x_[static_cast<std::size_t>(from_[k])] -= h_[k];
      if (to_[k] >= 0) x_[static_cast<std::size_t>(to_[k])] += h_[k];
    }
    // Factors and solution.
    if (refactor) {
      ++steps_;
      val_[static_cast<std::size_t>(norton_)] = norton_base_ + 1e-3 * static_cast<double>(1 + (steps_ & 1));
      klu_refactor(colp_.data(), rowi_.data(), val_.data(), symbolic_, numeric_, &common_);
    }
    klu_solve(symbolic_, numeric_, n_, 1, x_.data(), &common_);
    // New branch states.
    for (std::size_t k = 0; k < m; ++k) {
      const double u = at(from_[k]) - at(to_[k]);
      i_[k] = geq_[k] * u + h_[k];
      v12l_[k] = rlg_[k] * u - rsc_[k] * ccl_[k];
    }
  }

  // The time per step in seconds, measured as every engine figure beside it is
  // (median_seconds_per_step).
  double seconds_per_step(bool refactor) {
    return median_seconds_per_step([this, refactor] { step(refactor); });
  }

  double voltage(std::int32_t node) const { return x_[static_cast<std::size_t>(node - 1)]; }

 private:
  double at(std::int32_t k) const { return k >= 0 ? x_[static_cast<std::size_t>(k)] : 0.0; }

  // The conductance matrix in compressed columns, rows ascending.
  void pack() {
    std::vector<std::vector<std::pair<std::int32_t, double>>> cols(static_cast<std::size_t>(n_));
    auto add = [&cols](std::int32_t r, std::int32_t c, double g) {
      auto& col = cols[static_cast<std::size_t>(c)];
      for (auto& e : col)
        if (e.first == r) {
          e.second += g;
          return;
        }
      col.emplace_back(r, g);
    };
    add(0, 0, 1e-3);
    for (std::size_t k = 0; k < from_.size(); ++k) {
      const std::int32_t f = from_[k];
      const std::int32_t t = to_[k];
      const double g = geq_[k];
      if (f >= 0) add(f, f, g);
      if (t >= 0) add(t, t, g);
      if (f >= 0 && t >= 0) {
        add(f, t, -g);
        add(t, f, -g);
      }
    }
    colp_.assign(1, 0);
    for (std::int32_t c = 0; c < n_; ++c) {
      auto& col = cols[static_cast<std::size_t>(c)];
      std::sort(col.begin(), col.end());
      for (const auto& e : col) {
        if (e.first == 0 && c == 0) {
          norton_ = static_cast<std::int32_t>(val_.size());
          norton_base_ = e.second - 1e-3;
        }
        rowi_.push_back(e.first);
        val_.push_back(e.second);
      }
      colp_.push_back(static_cast<std::int32_t>(rowi_.size()));
    }
  }

  std::int32_t n_;
  klu_common common_{};
  klu_symbolic* symbolic_ = nullptr;
  klu_numeric* numeric_ = nullptr;
  std::vector<std::int32_t> colp_, rowi_;
  std::vector<double> val_;
  std::int32_t norton_ = 0;
  double norton_base_ = 0.0;
  std::int64_t steps_ = 0;
  std::vector<std::int32_t> from_, to_;
  std::vector<double> geq_, g2l_, rlg_, rsc_, i_, v12l_, ccl_, h_, x_;
};

// The engine's time per step as a multiple of the floor's, both measured on the
// network the benchmark built and both medians of kRepetitions blocks
// (median_seconds_per_step): "x_floor" against the floor step that solves only,
// "x_floor_refactor" against the floor step with one klu_refactor; with a
// chatter-off time, "x_floor_chatter_off" and "x_floor_refactor_chatter_off".
inline void report_floor_ratios(benchmark::State& state, std::int32_t n, double engine_seconds,
                                double chatter_off_seconds = 0.0) {
  double solve = 0.0;
  double refactor = 0.0;
  {
    Floor floor(n);
    solve = floor.seconds_per_step(false);
    refactor = floor.seconds_per_step(true);
  }
  state.counters["x_floor"] = engine_seconds / solve;
  state.counters["x_floor_refactor"] = engine_seconds / refactor;
  if (chatter_off_seconds > 0.0) {
    state.counters["x_floor_chatter_off"] = chatter_off_seconds / solve;
    state.counters["x_floor_refactor_chatter_off"] = chatter_off_seconds / refactor;
  }
}

}  // namespace wakro_bench
