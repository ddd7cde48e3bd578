// Fixture of the machine-in-a-network tests: one subsystem of three nodes (the
// machine's terminal phases a, b, c) with nine branches, in the order a case
// generator's page gives them:
//   1-3  a stiff three-phase source, ground -> node k, 1 micro-ohm behind its EMF
//        (left empty when the test drives the terminals otherwise),
//   4-6  the machine's phase branches, node k -> ground,
//   7-9  its R-C interface branches, node k -> ground;
// the stores sized for one machine and one exciter; and the model pass of each
// step, which starts every store pointer afresh as the run loop does.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>

#include "machine_fixture.h"
#include "machines/exciter_ac7b.h"
#include "machines/sync_machine.h"
#include "model/e_s2.h"
#include "model/harmimp.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "network/companion.h"
#include "network/net_fixture.h"

namespace mtest {

inline constexpr std::array<std::int32_t, 3> kSourceBr{1, 2, 3}, kPhaseBr{4, 5, 6}, kRcBr{7, 8, 9};

// The case generator's machine data of the machine fixture.
struct CaseMachine : Machines {
  static SyncMachineData data() { return case_data(); }
};

class MachineNet : public nettest::Network {
 protected:
  void SetUp() override {
    nettest::Network::SetUp();
    wakro::reset_harm_warning();
    extra_dims_ = {{dim::stor, 2 * kMachineBlockSize + 100}, {dim::storl, 16}, {dim::stori, 32},
                   {dim::storf, 64}, {dim::rtcf, 2 * kConfigReals + 40},    {dim::rtci, 2 * kConfigInts}};
  }

  // The network: with a stiff source of RMS phase voltage v_pu (per unit of
  // kVb) at angle theta, or with its three branches left open.
  void build(bool stiff_source) {
    size(3, 9);
    for (std::int32_t k = 1; k <= 3; ++k) {
      if (stiff_source) {
        add_branch(1, 0, k, 1.0e-6, 0.0, 0.0);
      } else {
        add_branch(1, 0, k, 0.0, 0.0, 0.0);
      }
    }
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, k, 0, 0.0, 0.0, 0.0);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, k, 0, 0.0, 0.0, 0.0);
  }

  static void rewind() {
    storage::nstori = storage::nstorl = storage::nstorf = storage::nstorc = 1;
    rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
    e_s2::nexc = 0;
  }

  // The step inputs of the case generator's machine.
  static SyncStepIn case_inputs() {
    SyncStepIn in;
    in.ss = 1;
    in.phase = kPhaseBr;
    in.rc = kRcBr;
    in.multiplier = 1.0;
    in.imposed_speed = kW;
    in.factor = 1.0;
    in.ref_speed = kW;
    return in;
  }

  // Runs each step's model pass: every pointer at its start, then calls().
  void models(std::function<void()> calls) {
    model_ = [calls = std::move(calls)] {
      rewind();
      calls();
    };
  }

  // The block of the first machine (slot k).
  static double slot(std::int32_t k) { return e_s2::stor(k); }
};

}  // namespace mtest
