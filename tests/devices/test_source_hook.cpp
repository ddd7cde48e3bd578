// The registered voltage source as the network solution reaches it through its
// hook: with source extrapolation on, the solution evaluates the source itself
// for the end of each step, so a 60 Hz source of 1 kV peak behind 1 ohm into
// 9 ohm gives the node 0.9 sin(w t) kV at every step.
#include <cmath>

#include "device_fixture.h"
#include "devices/voltage_sources.h"
#include "network/hooks.h"

namespace {

class SourceHook : public devtest::Devices {};

TEST_F(SourceHook, DeviceServicesRegisterTheSourceEvaluator) {
  EXPECT_NE(wakro::network_hooks().wakro_vsrc_dyn, &wakro_vsrc_dyn);
  wakro::devices::use_device_services();
  EXPECT_EQ(wakro::network_hooks().wakro_vsrc_dyn, &wakro_vsrc_dyn);
}

TEST_F(SourceHook, SolutionEvaluatesTheRegisteredSource) {
  constexpr double kW = 2.0 * 3.141592653589793 * 60.0;
  wakro::devices::use_device_services();
  size(1, 2);
  nettest::Options o;
  o.extrapolate = true;
  set_options(o);
  const std::int32_t src = add_branch(1, 0, 1, 1.0, 0.0, 0.0);
  add_branch(1, 1, 0, 9.0, 0.0, 0.0);
  devices([&] { wakro_1pvsrc(1, src, 0.0, 1, 1.0, kW, 0.0); });
  start_run(200);
  for (int k = 0; k < 200; ++k) {
    step();
    ASSERT_NEAR(v(1), 0.9 * std::sin(kW * k * e_s1::delt), 1e-9) << "step " << k;
  }
}

}  // namespace
