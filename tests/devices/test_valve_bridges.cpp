// Valve bridges through the network solution with the default options (switching
// instants interpolated, chatter removed), on either solver: a single-phase and a
// three-phase diode bridge on an R-C load and a three-phase thyristor bridge
// fired at 30 deg on an R-L load (valves RON 1 mohm, ROFF 1 Mohm, 5 V forward
// drop, 50 us) run 0.2 s without one safety turn-off: every valve turns off at
// its current's zero inside the step, so that an ON valve never ends a step with
// a current below zero. Every node's currents sum to zero in every sample (to
// 1e-9 of the largest branch current). Before, a turn-on behind a source
// inductance left its valve with a negative current at the step's end (the
// values moved back to the turn-on instant overshoot a current that rises with
// the square of the time), which the valve met with a safety turn-off and a new
// firing, and the node currents did not balance in those samples.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "devices/pe_switch.h"
#include "network/order_fixture.h"
#include "network/klu_adapter.h"
#include "network/solution.h"
#include "network/switching.h"

namespace {

constexpr double kW = 2.0 * std::numbers::pi * 50.0;
constexpr double kDt = 50e-6;
constexpr double kRon = 1e-3, kRoff = 1e6, kVf = 0.005;

struct Valve {
  std::int32_t br = 0;
  std::int32_t kind = 0;
  double fire_deg = 0.0;  // thyristor: firing angle of its phase voltage's cycle
};

class ValveBridge : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    extra_dims_ = {{dim::stor, 400},  {dim::storl, 64}, {dim::stori, 128},
                   {dim::storf, 128}, {dim::rtcf, 64},  {dim::rtci, 64}};
  }
  // A phase source 0 -> node behind rs (and ls), E sin(wt + shift).
  std::int32_t source(std::int32_t node, double rs, double ls, double shift) {
    const std::int32_t b = add_branch(1, 0, node, rs, ls, 0.0);
    sources_.push_back({b, shift});
    return b;
  }
  std::int32_t valve(std::int32_t f, std::int32_t t, std::int32_t kind = 0, double fire_deg = 0.0) {
    const std::int32_t b = add_branch(1, f, t, 0.0, 0.0, 0.0, 0.0, 0.0, true);
    valves_.push_back({b, kind, fire_deg});
    return b;
  }
  // The models of each step: the sources, then every valve (a thyristor gated
  // for 120 deg from its firing instant, the edge handed over inside its step).
  void models() {
    devices([this] {
      const double t = e_s1::time;
      for (const auto& [b, shift] : sources_) {
        branches::ebr(b, 1) = 10.0 * std::sin(kW * t + shift);
        branches::source(b, 1) = true;
      }
      for (const Valve& v : valves_) {
        std::int32_t g = 0;
        double tedge = 0.0;
        if (v.kind == 1) {
          const double period = 2.0 * std::numbers::pi / kW;
          const double fire = v.fire_deg / 360.0 * period;
          const double k = std::floor((t - fire) / period);
          const double edge = fire + k * period;  // the last edge at or before t
          const double since = t - edge;
          g = since <= period / 3.0 ? 1 : 0;
          if (since < kDt && since > 0.0) tedge = since;
        }
        std::int32_t kind = v.kind;  // a gate of 2 would change it; this test never gives one
        wakro_peswitch2(1, v.br, kRon, kRoff, g, tedge, kind, 1, 100.0, 100.0, kVf, 0.0);
      }
    });
  }
  // Builds the case afresh (the callback sizes it and adds its parts) on either
  // solver, runs 0.2 s, counts safety turn-offs and ON valves ending a step below
  // zero, and checks them.
  template <class Build>
  void run(Build&& build, bool sparse) {
    release_all_and_reset();
    wakro::release_sparse_solver();
    sources_.clear();
    valves_.clear();
    peak_ = balance_ = mean_dc_ = 0.0;
    negative_ = turn_ons_ = 0;
    was_open_.assign(16, true);
    build();
    set_options({true, true, true, true});
    models();
    if (sparse) {
      int3::enable_sparse = true;
      int3::sparse_limit = 0;
      set_klu();
    }
    const std::int32_t steps = static_cast<std::int32_t>(std::lround(0.2 / kDt));
    start_run(steps);
    const auto out = nettest::capture([&] {
      for (std::int32_t n = 0; n < steps; ++n) {
        step();
        for (std::int32_t br = 1; br <= int2::insb(1); ++br)
          peak_ = std::max(peak_, std::abs(branches::cbr(br, 1)));
        if (n >= 1) balance_ = std::max(balance_, nettest::worst_node_balance());
        if (n * kDt >= 0.1) {
          mean_dc_ += (v(dc_p_) - v(dc_n_)) / (0.1 / kDt);
          for (const Valve& v : valves_) turn_ons_ += !branches::openbr(v.br, 1) && was_open_[v.br];
        }
        for (const Valve& v : valves_) was_open_[v.br] = branches::openbr(v.br, 1);
        for (const Valve& v : valves_)
          if (!branches::openbr(v.br, 1) && branches::cbr(v.br, 1) < 0.0) {
            ++negative_;
            if (getenv("DBG") && negative_ < 6) {
              printf("n=%d br=%d i=%g v=%g\n", n, v.br, branches::cbr(v.br, 1), vbranch(1, v.br));
              for (const Valve& w : valves_) printf("   br=%d open=%d i=%g v=%g iorv=%d\n", w.br, (int)branches::openbr(w.br, 1), branches::cbr(w.br, 1), vbranch(1, w.br), int1::iorv(w.br, 1));
            }
          }
      }
    });
    safety_offs_ = 0;
    for (std::size_t p = out.text.find("Safety turn off"); p != std::string::npos;
         p = out.text.find("Safety turn off", p + 1))
      ++safety_offs_;
    EXPECT_EQ(out.status, -1) << out.text;
    EXPECT_EQ(safety_offs_, 0) << sparse << "\n" << out.text.substr(0, 2000);
    EXPECT_EQ(negative_, 0) << sparse;
    EXPECT_LT(balance_ / peak_, 1e-9) << sparse;
    int3::enable_sparse = false;
    int3::use_klu.fill(false);
  }

  std::int32_t dc_p_ = 0, dc_n_ = 0;  // the DC terminals
  double mean_dc_ = 0.0;               // mean DC voltage over the last 0.1 s
  int turn_ons_ = 0;                   // valve turn-ons seen at step ends in it
  std::vector<bool> was_open_ = std::vector<bool>(16, true);
  std::vector<std::pair<std::int32_t, double>> sources_;
  std::vector<Valve> valves_;
  double peak_ = 0.0;
  double balance_ = 0.0;
  int negative_ = 0;
  int safety_offs_ = 0;
};

// Node 1 the AC terminal (1 ohm, 1 mH; the source's other end is ground), 2 and
// 3 the DC terminals; 200 uF and 50 ohm between them.
TEST_F(ValveBridge, SinglePhaseDiodeBridgeOnAnRcLoad) {
  for (const bool sparse : {false, true}) {
    run(
        [this] {
          size(3, 8);
          dc_p_ = 2;
          dc_n_ = 3;
          source(1, 1.0, 0.001, 0.0);
          valve(1, 2);
          valve(0, 2);
          valve(3, 1);
          valve(3, 0);
          add_branch(1, 2, 3, 50.0, 0.0, 0.0);
          add_branch(1, 2, 3, 0.0, 0.0, 200.0);
        },
        sparse);
    EXPECT_EQ(turn_ons_, 20);  // two valves twice a cycle, 5 cycles
    EXPECT_GT(mean_dc_, 6.0);  // 10 kV peak, 10 ms load time constant
    EXPECT_LT(mean_dc_, 10.0);
  }
}

// Phases a, b, c at nodes 1, 2, 3 (1 ohm, 1 mH each), DC terminals 4 and 5.
TEST_F(ValveBridge, ThreePhaseDiodeBridgeOnAnRcLoad) {
  for (const bool sparse : {false, true}) {
    run(
        [this] {
          size(5, 11);
          dc_p_ = 4;
          dc_n_ = 5;
          for (std::int32_t p = 0; p < 3; ++p) source(p + 1, 1.0, 0.001, -2.0 * std::numbers::pi * p / 3.0);
          for (std::int32_t p = 1; p <= 3; ++p) {
            valve(p, 4);
            valve(5, p);
          }
          add_branch(1, 4, 5, 50.0, 0.0, 0.0);
          add_branch(1, 4, 5, 0.0, 0.0, 200.0);
        },
        sparse);
    EXPECT_EQ(turn_ons_, 30);  // each valve once a cycle
    EXPECT_GT(mean_dc_, 0.85 * std::sqrt(3.0) * 10.0);  // near the line-to-line peak
    EXPECT_LT(mean_dc_, std::sqrt(3.0) * 10.0);
  }
}

// The same phases; thyristor k of the upper group (phase p) fired at 30 deg after
// its natural commutation (30 deg of its phase voltage), the lower group half a
// cycle later; an R-L load of 20 ohm and 50 mH.
TEST_F(ValveBridge, ThreePhaseThyristorBridgeFiredAtThirtyDegrees) {
  for (const bool sparse : {false, true}) {
    run(
        [this] {
          size(6, 12);
          dc_p_ = 4;
          dc_n_ = 5;
          for (std::int32_t p = 0; p < 3; ++p) source(p + 1, 1.0, 0.001, -2.0 * std::numbers::pi * p / 3.0);
          for (std::int32_t p = 0; p < 3; ++p) {
            valve(p + 1, 4, 1, 60.0 + 120.0 * p);
            valve(5, p + 1, 1, 240.0 + 120.0 * p);
          }
          add_branch(1, 4, 6, 20.0, 0.0, 0.0);
          add_branch(1, 6, 5, 0.0, 0.05, 0.0);
        },
        sparse);
    EXPECT_EQ(turn_ons_, 30);
    // Mean DC voltage 3 sqrt(3)/pi E cos 30 deg less the commutation drop 3 w Ls/pi
    // and the two conducting sources' 2 Rs, times Id = Vd / 20 ohm.
    const double ideal = 3.0 * std::sqrt(3.0) / std::numbers::pi * 10.0 * std::cos(std::numbers::pi / 6);
    const double drop = (3.0 * kW * 0.001 / std::numbers::pi + 2.0) * mean_dc_ / 20.0;
    EXPECT_NEAR(mean_dc_, ideal - drop, 0.01 * ideal);
  }
}

}  // namespace
