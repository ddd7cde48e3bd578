// Test fixture of the network solution: sizes and allocates the shared state for
// a small case, adds R/L/C branches through the branch reader's companion and
// matrix entry, builds the matrices as the time step does at time zero, and runs
// steps as the run loop does. Module state is global, so every test starts from released
// arrays and default hooks and leaves them so.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "diag/console.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s8.h"
#include "model/fatal.h"
#include "model/groups.h"
#include "model/ideal.h"
#include "model/initialz.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/quolbv3.h"
#include "model/spcial.h"
#include "model/temp1.h"
#include "network/companion.h"
#include "network/hooks.h"
#include "network/small_subsystem.h"
#include "network/matrix.h"
#include "network/solution.h"
#include "network/switching.h"
#include "support/console_capture.h"
#include "support/shared_state.h"

namespace nettest {

inline void release_all() { wakro_test::release_arrays(); }

// Sets the flags of the run: interpolation, chatter removal, chatter detection
// and source extrapolation of every subsystem.
struct Options {
  bool interpolate = false;
  bool remove_chatter = false;
  bool detect_chatter = false;
  bool extrapolate = false;
};

// Console text written while f runs, and the status of the FatalExit it throws
// (-1 when none).
struct Captured {
  std::string text;
  int status = -1;
};

template <class F>
Captured capture(F&& f) {
  wakro_test::Outcome o = wakro_test::run_captured(f);
  return {std::move(o.console), o.status};
}

// The values a run recorded step by step and the console text it wrote.
struct Trace {
  std::vector<double> values;
  std::string text;
};

class Network : public ::testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override { wakro_test::reset_shared_state(); }

  // Allocates the state for nss subsystems of `nodes` nodes and `nbr` branches;
  // sparsity 0 takes the full-triangle default.
  void size(std::int32_t nodes, std::int32_t nbr, std::int32_t nss = 1, std::int32_t sparsity = 0,
            double delt = 5.0e-5) {
    for (int k = 1; k <= 80; ++k) ndde::e_ndim(k) = 0;
    ndde::e_ndim(dim::nodes) = nodes;
    ndde::e_ndim(dim::subsys) = nss;
    ndde::e_ndim(dim::branches) = nbr;
    for (const auto& [k, value] : extra_dims_) ndde::e_ndim(k) = value;
    ndde::e_ndim(dim::sparsity) =
        sparsity > 0 ? sparsity : static_cast<std::int32_t>(ndde::sparsity_default(nodes));
    ndde::nd74 = ndde::nd75 = 0;
    std::int32_t status = 0;
    ndde::allocate_nd(status);
    a_sparsity();
    wakro_initialz();
    ndde::use_subsysdim = false;
    e_s0::allocate_ssdim_array(nss, status);
    for (std::int32_t s = 1; s <= nss; ++s) e_s0::ssdim(s) = nodes;
    if (entry_store_) {  // the sparse solver known before the matrices are made
      int3::enable_sparse = true;
      int3::sparse_limit = 0;
    }
    e_s0::allocate_ss_matrices(nss, e_s0::ssdim, status);
    e_s0::allocate_ss_matrices2(nss, e_s0::ssdim, status);
    int2::nmat = nss;
    for (std::int32_t s = 1; s <= nss; ++s) {
      e_s0::mbus(s) = nodes;
      int2::insb(s) = 0;
      branches::nsw(s) = 0;
    }
    e_s1::delt = delt;
    ctrl::ddelt = delt;
    ctrl::iii = 0;
    ctrl::firstrun = true;
    ctrl::mmm = 1;
    ndde::e_ndim(dim::sparsity) = 0;  // the factorisation records what it needs
    set_options({});
  }

  // Back to a released state within a test (for a second run of a case).
  void release_all_and_reset() {
    release_all();
    model_ = nullptr;
  }

  void set_options(const Options& o) {
    for (std::int32_t s = 1; s <= int2::nmat; ++s) {
      options::interpss(s) = o.interpolate;
      options::rmchatter(s) = o.remove_chatter;
      options::dtchatter(s) = o.detect_chatter;
      options::xterpsrc(s) = o.extrapolate;
    }
  }

  // A branch f -> t of subsystem ss: R in ohm, L in henry, C in microfarad, initial
  // current i0, source voltage e; returns its number. The companion and the
  // matrix entry are the production ones (network/companion.h); a switch enters
  // the switch list and not the constant matrix.
  std::int32_t add_branch(std::int32_t ss, std::int32_t f, std::int32_t t, double r, double l,
                          double c_uf, double i0 = 0.0, double e = 0.0, bool is_switch = false) {
    using namespace branches;
    const std::int32_t b = ++int2::insb(ss);
    ief(b, ss) = f;
    iet(b, ss) = t;
    resistor(b, ss) = r != 0.0;
    inductor(b, ss) = l != 0.0;
    capacitr(b, ss) = c_uf != 0.0;
    switch_(b, ss) = is_switch;
    if (is_switch) {
      brnsw(++nsw(ss), ss) = b;
    }
    int1::xstor(b, ss) = wakro::kNoCrossing;
    thisbr(b, ss) = 0;
    int1::iorv(b, ss) = wakro::switch_mode::none;
    const wakro::Companion k =
        wakro::series_companion(r, l, c_uf, inductor(b, ss), capacitr(b, ss), e_s1::delt);
    wakro::set_branch_companion(b, ss, k);
    wakro::start_branch(b, ss, i0, e);
    source(b, ss) = std::abs(e) > 1e-20;
    e_s0::FilledView filled = e_s0::assign_filled_ptr(ss);
    wakro::mark_branch(filled, f, t);
    if (!is_switch) {
      e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
      wakro::add_setup_conductance(gm, f, t, k.g);
    }
    return b;
  }

  // The time-zero matrix build of the time step.
  void buildgm() { wakro_buildgm(); }

  // Start of a run of nsteps steps (the last one with e_s1::laststep set) from
  // data: every matrix to be factorised from row 1, chatter
  // expected, counters cleared; then the time-zero preparation.
  void start_run(std::int32_t nsteps) {
    last_step_ = nsteps;
    for (std::int32_t s = 1; s <= int2::nmat; ++s) {
      int2::ntriang(s) = 0;
      temp1::stabck(s) = true;
      e_s8::mxinv(s) = 1;
    }
    ctrl::iii = 0;
    e_s1::timezero = true;
    e_s1::firststep = true;
    e_s1::laststep = nsteps == 1;
    buildgm();
  }

  // One step as the run loop runs it: the models' injections (after the reset
  // of GGIN and CCIN), the solution, then the step counter.
  void step() {
    e_s1::time = e_s1::delt * ctrl::iii;
    int1::solution_time = e_s1::delt * (ctrl::iii - 1.0);
    e_s0::ccin.fill(0.0);
    e_s0::ggin.fill(0.0);
    if (model_) model_();
    intsolvi();
    e_s1::timezero = false;
    e_s1::firststep = false;
    ++ctrl::iii;
    e_s1::laststep = ctrl::iii == last_step_ - 1;
  }

  // A run of `steps` steps (start_run, then step), record(t) after each: what
  // it recorded and the console text the run wrote.
  template <class Record>
  nettest::Trace traced_run(std::int32_t steps, Record&& record) {
    nettest::Trace t;
    start_run(steps);
    t.text = capture([&] {
               for (std::int32_t k = 0; k < steps; ++k) {
                 step();
                 record(t);
               }
             }).text;
    return t;
  }

  double v(std::int32_t node, std::int32_t ss = 1) const { return e_s0::vdc(node, ss); }
  double i(std::int32_t br, std::int32_t ss = 1) const { return branches::cbr(br, ss); }

  // The next size() sets USE_SPARSE with SPARSE_LIMIT 0 before the matrices are
  // made, so that gm and filled keep their entries only (e_s0::sparse_store).
  bool entry_store_ = false;
  // Further required sizes (dimension-table entry, value) for the next size().
  std::vector<std::pair<int, std::int32_t>> extra_dims_;
  std::function<void()> model_;
  std::int32_t last_step_ = -1;
};

// A network whose every step takes the general path: a few nodes would take the
// small subsystem's step of its own.
class GeneralPathNetwork : public Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    wakro::detail::small_step_disabled = true;
  }
  void TearDown() override {
    wakro::detail::small_step_disabled = false;
    Network::TearDown();
  }
  using Trace = nettest::Trace;
};

// The chatter counters of every node and branch cleared, and every report asked.
inline void reset_chatter_counters() {
  clvi::icntv.fill(0);
  clvi::icntbr.fill(0);
  clvi::nchat_rep.fill(true);
  clvi::brchat_rep.fill(true);
}

// Relative difference of a and b.
inline double rel(double a, double b) { return std::abs(a - b) / std::max(std::abs(b), 1e-300); }

// A model's switching of switch b of subsystem ss to its other state.
inline void toggle_switch(std::int32_t ss, std::int32_t b) {
  if (branches::openbr(b, ss)) {
    wakro_turnon(ss, b, 6, 0.0);
  } else {
    wakro_turnoff(ss, b, 6, 0.0);
  }
}

}  // namespace nettest
