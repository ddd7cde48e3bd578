// Fixture of the device tests: the network fixture with storage and a
// configuration store, and a model pass that starts every store pointer afresh
// each step as the run loop does.
#pragma once

#include <functional>

#include "devices/device_support.h"
#include "model/e_s2.h"
#include "model/harmimp.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "network/companion.h"
#include "network/net_fixture.h"

namespace devtest {

class Devices : public nettest::Network {
 protected:
  void SetUp() override {
    nettest::Network::SetUp();
    wakro::reset_harm_warning();
    extra_dims_ = {{dim::stor, 64},  {dim::storl, 64}, {dim::stori, 64},
                   {dim::storf, 64}, {dim::rtcf, 64},  {dim::rtci, 64}};
  }

  // The devices' calls of each step, with every store pointer at its start.
  void devices(std::function<void()> calls) {
    model_ = [calls = std::move(calls)] {
      storage::nstori = storage::nstorl = storage::nstorf = storage::nstorc = 1;
      rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
      e_s2::nexc = 0;
      calls();
    };
  }
  // An empty branch f -> t (no part, conductance 0) for a device to set up.
  std::int32_t empty_branch(std::int32_t f, std::int32_t t) { return add_branch(1, f, t, 0.0, 0.0, 0.0); }
};

}  // namespace devtest
