// Fixture of the induction machine tests: one subsystem of three nodes (the
// stator terminals a, b, c) with nine branches as a case generator's page
// gives them: 1-3 a stiff source ground -> node k, 4-6 the machine's stator
// branches node k -> ground, 7-9 its stator R-C branches node k -> ground.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "devices/voltage_sources.h"
#include "machines/induction_machine.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "sync_net_fixture.h"

namespace mtest {

inline constexpr double kWb = 376.99111843077515;  // 60 Hz
inline constexpr double kImS = 10.0, kImV = 2.0;   // MVA, kV phase
inline constexpr double kImIb = kImS / (3.0 * kImV);

// A two-circuit machine without saturation (curves of two points).
inline InductionData induction_data() {
  InductionData d;
  d.extra_cages = 0;
  d.rotor_option = 2;
  d.power = kImS;
  d.voltage = kImV;
  d.base_w = kWb;
  d.inertia = 0.5;
  d.damping = 0.02;
  d.turns = 1.0;
  d.rc_resistance = 50.0;
  d.rc_factor = 10.0;
  d.r = {0.02, 0.05, 0.0, 0.0, 0.0};
  d.x = {3.0, 0.1, 0.1, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  for (auto* c : {&d.leak_x, &d.mag_x}) *c = {0.0, 1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
  for (auto* c : {&d.leak_y, &d.mag_y}) *c = {0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  return d;
}

inline InductionStepIn induction_inputs() {
  InductionStepIn in;
  in.ss = 1;
  in.stator = kPhaseBr;
  in.stator_rc = kRcBr;
  in.zero_sequence = 0;
  return in;
}

class InductionNet : public MachineNet {
 protected:
  void SetUp() override {
    MachineNet::SetUp();
    extra_dims_.push_back({dim::rtcl, 8});
  }
  // The time step of the next run, and for a wound rotor the resistance (ohms)
  // of each phase of the star its rotor branches feed: rotor nodes 4-6, the
  // machine's rotor branches 10-12, the resistors 13-15 (0: a cage).
  double dt_ = kDt;
  double rotor_star_r_ = 0.0;

  // Runs the machine on a source of RMS phase voltage kImV for `seconds`, stiff
  // or behind source_r ohms; each() is called after every solution.
  void run(const InductionData& d, const InductionStepIn& in, bool second_form, double seconds,
           const std::function<void()>& each, double source_r = 0.0) {
    const bool wound = rotor_star_r_ > 0.0;
    size(wound ? 6 : 3, wound ? 15 : 9, 1, 0, dt_);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, 0, k, source_r > 0.0 ? source_r : 1.0e-6, 0.0, 0.0);
    for (std::int32_t k = 1; k <= 6; ++k) add_branch(1, (k - 1) % 3 + 1, 0, 0.0, 0.0, 0.0);
    if (wound) {
      for (std::int32_t k = 4; k <= 6; ++k) add_branch(1, k, 0, 0.0, 0.0, 0.0);
      for (std::int32_t k = 4; k <= 6; ++k) add_branch(1, k, 0, rotor_star_r_, 0.0, 0.0);
    }
    rewind();
    if (second_form) {
      inducmc2_cfg(d);
    } else {
      inducmc1_cfg(d);
    }
    models([&] {
      wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, std::sqrt(2.0) * kImV, kWb, 0.0);
      if (second_form) {
        inducmc2_exe(in);
      } else {
        inducmc1_exe(in);
      }
    });
    const auto steps = static_cast<std::int32_t>(std::lround(seconds / dt_)) + 1;
    start_run(steps);
    for (std::int32_t k = 0; k < steps; ++k) {
      step();
      if (each) each();
    }
  }
};

}  // namespace mtest
